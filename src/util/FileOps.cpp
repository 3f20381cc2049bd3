#include "FileOps.h"

#include "MallowError.h"
#include "Paths.h"

#include <cerrno>
#include <cstdio>
#include <dirent.h>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

namespace mallow {

namespace {

const char* const Source = "FileSystem";

struct Fd
{
    int fd = -1;
    explicit Fd(int fd) : fd(fd) {}
    ~Fd()
    {
        if (fd >= 0)
            ::close(fd);
    }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
};

} // namespace

void RaiseFileError(int error, const std::string& source, bool aboutFolder)
{
    switch (error) {
    case ENOENT:
        RaiseRuntimeError(aboutFolder ? err::PathNotFound : err::FileNotFound, source);
    case ENOTDIR:
        RaiseRuntimeError(err::PathNotFound, source);
    case EEXIST:
        RaiseRuntimeError(err::FileAlreadyExists, source);
    case ENOSPC:
    case EDQUOT:
        RaiseRuntimeError(err::DiskFull, source);
    case EACCES:
    case EPERM:
    case EROFS:
    case EBUSY:
    case ETXTBSY:
        RaiseRuntimeError(err::PermissionDenied, source);
    case EXDEV:
        RaiseRuntimeError(74, source);
    case EIO:
        RaiseRuntimeError(57, source);
    default:
        RaiseRuntimeError(err::PathFileAccess, source);
    }
}

bool FileExists(const std::string& path)
{
    struct stat st{};
    return ::stat(NativePath(path).c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

std::int64_t FileLength(const std::string& path)
{
    struct stat st{};
    if (::stat(NativePath(path).c_str(), &st) != 0)
        RaiseFileError(errno, Source);
    return static_cast<std::int64_t>(st.st_size);
}

void DeleteFile(const std::string& path)
{
    if (::unlink(NativePath(path).c_str()) != 0)
        RaiseFileError(errno, Source);
}

void RenameFile(const std::string& from, const std::string& to)
{
    if (::rename(NativePath(from).c_str(), NativePath(to).c_str()) != 0)
        RaiseFileError(errno, Source);
}

void CopyDescriptorToFile(int sourceFd, const std::string& to, Flush flush, unsigned mode)
{
    const std::string target = NativePath(to);
    // Made private first and given its bits once it exists, whatever the process's umask.
    Fd out(::open(target.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600));
    if (out.fd < 0)
        RaiseFileError(errno, Source);
    try {
        if (::fchmod(out.fd, static_cast<mode_t>(mode & 0777)) != 0)
            RaiseFileError(errno, Source);
        off_t offset = 0;
        for (;;) {
            // The kernel copies without the bytes passing through this process.
            ssize_t n = ::copy_file_range(sourceFd, &offset, out.fd, nullptr, 1 << 30, 0);
            if (n < 0 && (errno == EXDEV || errno == ENOSYS || errno == EINVAL ||
                          errno == EOPNOTSUPP)) {
                char buffer[1 << 16];
                n = ::pread(sourceFd, buffer, sizeof buffer, offset);
                if (n > 0) {
                    for (ssize_t done = 0; done < n;) {
                        const ssize_t w = ::write(out.fd, buffer + done, n - done);
                        if (w < 0)
                            RaiseFileError(errno, Source);
                        done += w;
                    }
                    offset += n;
                }
            }
            if (n < 0)
                RaiseFileError(errno, Source);
            if (n == 0)
                break;
        }
        if (flush == Flush::Now && ::fsync(out.fd) != 0)
            RaiseFileError(errno, Source);
    } catch (...) {
        ::unlink(target.c_str());
        throw;
    }
}

void SyncFile(const std::string& path)
{
    Fd fd(::open(NativePath(path).c_str(), O_RDONLY | O_CLOEXEC));
    if (fd.fd < 0 || ::fsync(fd.fd) != 0)
        RaiseFileError(errno, Source);
}

void SyncFolder(const std::string& folder)
{
    Fd fd(::open(NativePath(folder.empty() ? "." : folder).c_str(),
                 O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (fd.fd < 0)
        RaiseFileError(errno, Source, true);
    // Some file systems cannot flush a folder; the entries are then as safe as they get.
    if (::fsync(fd.fd) != 0 && errno != EINVAL && errno != EROFS)
        RaiseFileError(errno, Source, true);
}

std::vector<std::string> FolderFileNames(const std::string& folder)
{
    const std::string path = NativePath(folder);
    std::unique_ptr<DIR, int (*)(DIR*)> dir(::opendir(path.c_str()), ::closedir);
    if (!dir)
        RaiseFileError(errno == ENOENT ? ENOTDIR : errno, Source, true);
    std::vector<std::string> names;
    while (const dirent* entry = ::readdir(dir.get())) {
        if (entry->d_type == DT_DIR)
            continue;
        const std::string name = entry->d_name;
        if (entry->d_type == DT_UNKNOWN || entry->d_type == DT_LNK) {
            // Only some file systems say what an entry is; ask the others.
            struct stat st{};
            if (::stat((path + "/" + name).c_str(), &st) != 0 || !S_ISREG(st.st_mode))
                continue;
        }
        names.push_back(name);
    }
    return names;
}

} // namespace mallow
