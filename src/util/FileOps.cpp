#include "FileOps.h"

#include "MallowError.h"
#include "Paths.h"
#include "Work.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
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
    struct stat st
    {
    };
    return ::stat(NativePath(path).c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

std::int64_t FileLength(const std::string& path)
{
    struct stat st
    {
    };
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

namespace {

// Copies the bytes of `sourceFd` into the new file `out`, gives it its bits and flushes it;
// `discard` removes the new file when anything fails.
template <typename Discard>
void CopyInto(int sourceFd, int out, Flush flush, unsigned mode, Discard&& discard)
{
    try {
        if (::fchmod(out, static_cast<mode_t>(mode & 0777)) != 0)
            RaiseFileError(errno, Source);
        struct stat source
        {
        };
        const auto size =
            ::fstat(sourceFd, &source) == 0 ? static_cast<std::uint64_t>(source.st_size) : 0;
        off_t offset = 0;
        for (;;) {
            // The kernel copies without the bytes passing through this process, in pieces
            // that let the copy be followed.
            ssize_t n = ::copy_file_range(sourceFd, &offset, out, nullptr, 64 << 20, 0);
            if (n < 0 &&
                (errno == EXDEV || errno == ENOSYS || errno == EINVAL || errno == EOPNOTSUPP)) {
                char buffer[1 << 16];
                n = ::pread(sourceFd, buffer, sizeof buffer, offset);
                if (n > 0) {
                    for (ssize_t done = 0; done < n;) {
                        const ssize_t w = ::write(out, buffer + done, n - done);
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
            ReportProgress(static_cast<std::uint64_t>(offset),
                           std::max<std::uint64_t>(size, offset));
        }
        if (flush == Flush::Now && ::fsync(out) != 0)
            RaiseFileError(errno, Source);
    } catch (...) {
        discard();
        throw;
    }
}

} // namespace

void CopyDescriptorToFile(int sourceFd, const std::string& to, Flush flush, unsigned mode)
{
    const std::string target = NativePath(to);
    // Made private first and given its bits once it exists, whatever the process's umask.
    Fd out(::open(target.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600));
    if (out.fd < 0)
        RaiseFileError(errno, Source);
    CopyInto(sourceFd, out.fd, flush, mode, [&] { ::unlink(target.c_str()); });
}

void CopyDescriptorToFile(int sourceFd, Folder& folder, const std::string& name, Flush flush,
                          unsigned mode)
{
    Fd out(folder.CreateFile(name));
    CopyInto(sourceFd, out.fd, flush, mode, [&] { folder.RemoveEntry(name); });
}

int OpenRegularFile(const std::string& path, int flags, unsigned mode)
{
    const int fd = ::open(NativePath(path).c_str(), flags | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC,
                          static_cast<mode_t>(mode));
    if (fd < 0)
        return -1;
    struct stat st{};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        errno = EINVAL;
        return -1;
    }
    return fd;
}

FileIdentity IdentityOf(const std::string& path)
{
    struct stat st
    {
    };
    if (::stat(NativePath(path).c_str(), &st) != 0)
        RaiseFileError(errno, Source);
    return {static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino)};
}

FileIdentity IdentityOfDescriptor(int fd)
{
    struct stat st
    {
    };
    if (::fstat(fd, &st) != 0)
        RaiseFileError(errno, Source);
    return {static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino)};
}

Folder::Folder(const std::string& folderPath) : path(folderPath)
{
    fd = ::open(NativePath(path.empty() ? "." : path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        RaiseFileError(errno == ENOENT ? ENOTDIR : errno, Source, true);
}

Folder::~Folder()
{
    if (fd >= 0)
        ::close(fd);
}

Folder::Folder(Folder&& other) noexcept : path(std::move(other.path)), fd(other.fd)
{
    other.fd = -1;
}

std::vector<std::string> Folder::RegularFileNames() const
{
    const int listing = ::dup(fd);
    if (listing < 0)
        RaiseFileError(errno, Source, true);
    std::unique_ptr<DIR, int (*)(DIR*)> dir(::fdopendir(listing), ::closedir);
    if (!dir) {
        ::close(listing);
        RaiseFileError(errno, Source, true);
    }
    ::rewinddir(dir.get());
    std::vector<std::string> names;
    while (const dirent* entry = ::readdir(dir.get())) {
        const std::string name = entry->d_name;
        bool regular = entry->d_type == DT_REG;
        if (entry->d_type == DT_UNKNOWN) {
            // Only some file systems say what an entry is; ask the others, without following.
            struct stat st
            {
            };
            regular =
                ::fstatat(fd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISREG(st.st_mode);
        }
        if (regular)
            names.push_back(name);
    }
    return names;
}

bool Folder::Holds(const std::string& name) const
{
    struct stat st
    {
    };
    return ::fstatat(fd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0;
}

void Folder::RemoveEntry(const std::string& name)
{
    if (::unlinkat(fd, name.c_str(), 0) != 0)
        RaiseFileError(errno, Source);
}

bool Folder::RemoveRegularFile(const std::string& name)
{
    struct stat st
    {
    };
    if (::fstatat(fd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0)
        RaiseFileError(errno, Source);
    if (!S_ISREG(st.st_mode))
        return false;
    RemoveEntry(name);
    return true;
}

void Folder::Rename(const std::string& from, const std::string& to)
{
    if (::renameat(fd, from.c_str(), fd, to.c_str()) != 0)
        RaiseFileError(errno, Source);
}

void Folder::Sync()
{
    // Some file systems cannot flush a folder; the entries are then as safe as they get.
    if (::fsync(fd) != 0 && errno != EINVAL && errno != EROFS)
        RaiseFileError(errno, Source, true);
}

int Folder::CreateFile(const std::string& name)
{
    const int out =
        ::openat(fd, name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (out < 0)
        RaiseFileError(errno, Source);
    return out;
}

void WriteFileInOneStep(const std::string& path, const std::string& text, unsigned mode)
{
    std::string temporary = path + ".XXXXXX";
    const int fd = mkstemp(temporary.data());
    if (fd < 0)
        RaiseFileError(errno, Source);
    int error = fchmod(fd, static_cast<mode_t>(mode & 0777)) == 0 ? 0 : errno;
    for (std::size_t done = 0; error == 0 && done < text.size();) {
        const ssize_t n = write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno != EINTR)
            error = errno;
        else if (n > 0)
            done += static_cast<std::size_t>(n);
    }
    if (error == 0 && fsync(fd) != 0)
        error = errno;
    if (close(fd) != 0 && error == 0)
        error = errno;
    if (error == 0 && rename(temporary.c_str(), path.c_str()) != 0)
        error = errno;
    if (error != 0) {
        unlink(temporary.c_str());
        RaiseFileError(error, Source);
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

} // namespace mallow
