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
/// Flushes a file's data, or a folder's entries, to disk.
void SyncFile(const std::string& path);
void SyncFolder(const std::string& folder);
/// The names of the files (not folders) in a folder, in the order the folder gives them;
/// raises 76 when the folder does not exist.
std::vector<std::string> FolderFileNames(const std::string& folder);

/// Raises the runtime error that matches an errno value of a file operation.
[[noreturn]] void RaiseFileError(int error, const std::string& source, bool aboutFolder = false);

} // namespace mallow
