#pragma once

#include <array>
#include <cstdint>

namespace mallow::platform {

inline constexpr std::uint32_t VER_PLATFORM_WIN32_WINDOWS = 1;
inline constexpr std::uint32_t VER_PLATFORM_WIN32_NT = 2;

/// The operating-system version record (148 bytes on the platform it comes from).
struct OSVERSIONINFO
{
    std::uint32_t dwOSVersionInfoSize = 148;
    std::uint32_t dwMajorVersion = 0;
    std::uint32_t dwMinorVersion = 0;
    std::uint32_t dwBuildNumber = 0;
    std::uint32_t dwPlatformId = 0;
    std::array<char, 128> szCSDVersion{};
};

/// Answers the version record, as GetVersionExA does.
class VersionSource
{
public:
    virtual ~VersionSource() = default;
    virtual OSVERSIONINFO GetVersionEx() const = 0;
};

/// This machine: the NT family at the level of the server library it talks through (Samba's
/// implementation of the NT 5.1 server interfaces), so that the NT server calls are chosen.
/// The service-pack field names the kernel and the library for whoever reads the raw record.
const VersionSource& SystemVersion();

} // namespace mallow::platform
