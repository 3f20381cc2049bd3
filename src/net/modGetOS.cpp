#include "net/modGetOS.h"

namespace mallow::net::modGetOS {

bool IsWin9xFamily()
{
    return IsWin9xFamily(platform::SystemVersion());
}

bool IsWin9xFamily(const platform::VersionSource& source)
{
    return source.GetVersionEx().dwPlatformId == platform::VER_PLATFORM_WIN32_WINDOWS;
}

} // namespace mallow::net::modGetOS
