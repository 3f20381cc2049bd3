#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace mallow {

/// File operations with the runtime's error numbers (53 file not found, 58 file already
/// exists, 61 disk full, 70 permission denied, 75 path/file access error, 76 path not found).
/// Paths may use either separator.

bool FileExists(const std::string& path);      ///< a regular file (or a link to one)
std::int64_t FileLength(const std::string& path);
void DeleteFile(const std::string& path);
/// Renames in one step; an existing `to` is replaced atomically.
void RenameFile(const std::string& from, const std::string& to);
/// Whether a new copy is flushed to disk before the call returns.
enum class Flush { Now, Later };
/// Copies the bytes of an open descriptor to a new file with the permission bits `mode`; with
/// Flush::Now it is on disk when the call returns (a failure to write it out is raised), with
/// Flush::Later it is in the system's cache, safe from this process ending but not from the
/// machine losing power until SyncFile. The kernel copies where it can (copy_file_range), so
/// that file systems with shared extents and servers that copy for their clients do the work.
/// A failed copy leaves no file behind.
void CopyDescriptorToFile(int sourceFd, const std::string& to, Flush flush = Flush::Now,
                          unsigned mode = 0644);
/// Opens a file where others may have put something else in its place: never through a
/// symbolic link (errno ELOOP), never waiting on a pipe or a device, and only a regular file
/// (errno EINVAL for anything else). `flags` are open's; -1 on failure.
int OpenRegularFile(const std::string& path, int flags, unsigned mode = 0);

/// Which file a path leads to, whatever names it has: its device and inode.
struct FileIdentity
{
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    bool operator==(const FileIdentity&) const = default;
};
/// The identity of the file `path` names, through symbolic links; raises the runtime's file
/// errors.
FileIdentity IdentityOf(const std::string& path);
/// The identity of an open file.
FileIdentity IdentityOfDescriptor(int fd);

/// A folder opened once, by the name it had then: files in it are created, listed, renamed,
/// flushed and removed through the folder itself, so that a folder or a link put in its place
/// (or in place of a file in it) later is never followed. Raises 76 when the folder does not
/// exist.
class Folder
{
public:
    explicit Folder(const std::string& path);
    ~Folder();
    Folder(Folder&& other) noexcept;
    Folder& operator=(Folder&&) = delete;
    Folder(const Folder&) = delete;
    Folder& operator=(const Folder&) = delete;

    int Fd() const { return fd; }
    const std::string& Path() const { return path; }
    /// The names of the regular files in the folder, in the order it gives them; links,
    /// folders and other entries are left out.
    std::vector<std::string> RegularFileNames() const;
    /// Whether the folder holds an entry of that name, of any kind.
    bool Holds(const std::string& name) const;
    /// Removes the entry of that name itself (a link, never what it leads to).
    void RemoveEntry(const std::string& name);
    /// Removes the entry when it is a regular file; false, and it is left alone, when it is
    /// anything else.
    bool RemoveRegularFile(const std::string& name);
    /// Renames in one step; an entry already named `to` is replaced (a link is replaced, not
    /// followed).
    void Rename(const std::string& from, const std::string& to);
    /// Flushes the folder's entries to disk.
    void Sync();
    /// A new file `name` (never through a link), readable and writable by its owner only;
    /// raises 58 when the name is taken.
    int CreateFile(const std::string& name);

private:
    std::string path;
    int fd = -1;
};

/// CopyDescriptorToFile into the new file `name` of an open folder.
void CopyDescriptorToFile(int sourceFd, Folder& folder, const std::string& name,
                          Flush flush = Flush::Now, unsigned mode = 0644);

/// Writes `text` to `path` in one step: into a new file beside it, flushed, mode `mode`, then
/// renamed over the old one, so that a reader never sees a part. Nothing is left behind on
/// failure.
void WriteFileInOneStep(const std::string& path, const std::string& text, unsigned mode = 0644);

/// Flushes a file's data, or a folder's entries, to disk.
void SyncFile(const std::string& path);
void SyncFolder(const std::string& folder);

/// Raises the runtime error that matches an errno value of a file operation.
[[noreturn]] void RaiseFileError(int error, const std::string& source, bool aboutFolder = false);

} // namespace mallow
