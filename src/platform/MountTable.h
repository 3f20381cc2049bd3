#pragma once

#include <optional>
#include <string>
#include <vector>

namespace mallow::platform {

/// One line of the mount table (/proc/self/mountinfo), with its escapes undone.
struct MountEntry
{
    /// The folder of the file system that the mount shows, from the file system's own root.
    std::string root;
    std::string mountPoint;
    std::string fsType;
    std::string source;
    std::string superOptions;
};

std::vector<MountEntry> ParseMountInfo(const std::string& text);
/// The part of `path` below `mountPoint` (without the separator), or nothing when the mount
/// does not hold it.
std::optional<std::string> PathBelow(const std::string& path, const std::string& mountPoint);
/// This process's mount table.
std::vector<MountEntry> ReadMountTable();

/// The network connection that holds a local path: the "drive" (the mount point of a share)
/// and the remote name. A cifs or smb3 mount gives the mount's //server/share, followed by the
/// folder inside the share when the mount shows one (//fs2/Data/Apps for a mount of that
/// folder); a FUSE mount of the whole network (fuse.smbnetfs, laid out MOUNT/SERVER/SHARE/...)
/// gives \\SERVER\SHARE with MOUNT/SERVER/SHARE as the drive.
struct NetworkConnection
{
    std::string drive;
    std::string remoteName;
    std::string userName;
};

std::optional<NetworkConnection> NetworkConnectionOf(const std::string& path,
                                                     const std::vector<MountEntry>& mounts);
/// Every share mounted by cifs or smb3.
std::vector<NetworkConnection> MountedShares(const std::vector<MountEntry>& mounts);

/// The servers Mallow knows of without a browse master, once each (case does not matter) and
/// without leading backslashes: those `given`, those `named` in a list separated by blanks,
/// commas or semicolons, and those whose shares are mounted.
std::vector<std::string> KnownServers(const std::vector<std::string>& given,
                                      const std::string& named,
                                      const std::vector<MountEntry>& mounts);

} // namespace mallow::platform
