#include "platform/VersionProbe.h"

#include <string>
#include <sys/utsname.h>

namespace mallow::platform {

namespace {

class LinuxVersion : public VersionSource
{
public:
    OSVERSIONINFO GetVersionEx() const override
    {
        OSVERSIONINFO info;
        info.dwMajorVersion = 5;
        info.dwMinorVersion = 1;
        info.dwBuildNumber = 0;
        info.dwPlatformId = VER_PLATFORM_WIN32_NT;
        utsname names{};
        uname(&names);
        // Ends in ")" on purpose: the record's last character would otherwise be read as a
        // service-pack number.
        const std::string text =
            std::string("(") + names.sysname + " " + names.release + ", Samba)";
        text.copy(info.szCSDVersion.data(), info.szCSDVersion.size() - 1);
        return info;
    }
};

} // namespace

const VersionSource& SystemVersion()
{
    static const LinuxVersion version;
    return version;
}

} // namespace mallow::platform
