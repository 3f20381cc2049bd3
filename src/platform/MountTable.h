#pragma once

#include <optional>
#include <string>
#include <vector>

namespace mallow::platform {

/// One line of the mount table (/proc/self/mountinfo), with its escapes undone.
struct MountEntry
{
    std::string mountPoint;
    std::string fsType;
    std::string source;
    std::string superOptions;
};

std::vector<MountEntry> ParseMountInfo(const std::string& text);
/// This process's mount table.
std::vector<MountEntry> ReadMountTable();

/// The network connection that holds a local path: the "drive" (the mount point of a share)
/// and the remote name. A cifs or smb3 mount gives the mount's //server/share; a FUSE mount of
/// the whole network (fuse.smbnetfs, laid out MOUNT/SERVER/SHARE/...) gives \\SERVER\SHARE
/// with MOUNT/SERVER/SHARE as the drive.
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

} // namespace mallow::platform
