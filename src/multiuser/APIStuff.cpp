#include "APIStuff.h"

namespace mallow::multiuser {

platform::DWORD GetRemoteName(platform::NetProvider& provider, const std::string& drive,
                              std::string& remote)
{
    std::string buffer(255, ' ');
    platform::DWORD length = 255;
    const platform::DWORD status = provider.WNetGetConnectionA(drive.c_str(), buffer.data(), &length);
    if (status != 0) {
        remote = drive + "\\";
        return status;
    }
    buffer.resize(buffer.find('\0') == std::string::npos ? buffer.size() : buffer.find('\0'));
    while (!buffer.empty() && buffer.back() == ' ')
        buffer.pop_back();
    remote = buffer;
    return 0;
}

} // namespace mallow::multiuser
