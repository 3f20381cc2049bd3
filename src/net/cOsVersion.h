#pragma once

#include "platform/VersionProbe.h"

#include <cstdint>
#include <string>

namespace mallow::net {

/// The operating-system probe: classifies the platform's version record once, at creation.
/// Types 1 to 4 are the NT family (NT 3.51, NT 4.0, Windows 2000, Windows XP), 5 to 7 the 9x
/// family (Windows 95, 98, ME), 0 a system that is not accepted.
class cOsVersion
{
public:
    cOsVersion();
    explicit cOsVersion(const platform::VersionSource& source);
    explicit cOsVersion(const platform::OSVERSIONINFO& record);

    bool IsValidOS() const { return isValid; }
    std::int32_t TypeValidOS() const { return type; }
    const std::string& OS_TypeError() const { return typeError; }
    const std::string& OS_VersionText() const { return versionText; }

private:
    bool isValid = false;
    std::int32_t type = 0;
    std::string typeError;
    std::string versionText;
};

} // namespace mallow::net
