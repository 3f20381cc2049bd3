#pragma once

#include "platform/Mpr.h"

#include <string>

namespace mallow::multiuser {

/// The remote name (\\server\share) of a drive: on this machine the mount point of a share.
/// On success `remote` gets it without its terminating NUL and trailing blanks and 0 comes
/// back; otherwise `remote` gets the drive followed by "\" and the provider's status comes back.
platform::DWORD GetRemoteName(platform::NetProvider& provider, const std::string& drive,
                              std::string& remote);

} // namespace mallow::multiuser
