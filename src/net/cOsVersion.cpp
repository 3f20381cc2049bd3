#include "net/cOsVersion.h"

#include <algorithm>

namespace mallow::net {

namespace {

std::string TrimBlanks(const std::string& text)
{
    const auto first = text.find_first_not_of(' ');
    if (first == std::string::npos)
        return {};
    return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

} // namespace

cOsVersion::cOsVersion() : cOsVersion(platform::SystemVersion()) {}

cOsVersion::cOsVersion(const platform::VersionSource& source) : cOsVersion(source.GetVersionEx()) {}

cOsVersion::cOsVersion(const platform::OSVERSIONINFO& record)
{
    // A field without any NUL is not a valid text and counts as empty.
    const auto& field = record.szCSDVersion;
    const auto nul = std::find(field.begin(), field.end(), '\0');
    const std::string servicePackText =
        nul == field.end() ? std::string() : TrimBlanks(std::string(field.begin(), nul));

    const auto build = static_cast<std::int16_t>(record.dwBuildNumber & 0xFFFF);
    int servicePack = 0;
    if (!servicePackText.empty()) {
        const char last = servicePackText.back();
        servicePack = (last >= '0' && last <= '9') ? last - '0' : 0;
    }

    const std::uint32_t major = record.dwMajorVersion;
    const std::uint32_t minor = record.dwMinorVersion;
    std::string numeric = std::to_string(major) + "." + std::to_string(minor);
    if (build > 0)
        numeric += " Build " + std::to_string(build);
    if (servicePack > 0)
        numeric += " SP " + std::to_string(servicePack);
    versionText = numeric;

    auto accept = [&](const std::string& prefix, std::int32_t acceptedType) {
        versionText = prefix + numeric;
        type = acceptedType;
        isValid = true;
    };

    if (record.dwPlatformId == platform::VER_PLATFORM_WIN32_WINDOWS) {
        if (minor < 10)
            accept("Windows 95 ", 5);
        else if (minor >= 90)
            accept("Windows ME ", 7);
        else
            accept("Windows 98 ", 6);
    } else if (record.dwPlatformId == platform::VER_PLATFORM_WIN32_NT) {
        if (major == 3 && minor < 5)
            typeError = "You are running " + numeric + ". You must be running at least NT 3.5";
        else if (major == 3)
            accept("NT, Pre Version 4.0 ", 1);
        else if (major == 4)
            accept("NT 4.0 ", 2);
        else if (major == 5 && minor == 0)
            accept("Windows 2000 ", 3);
        else if (major == 5)
            accept("Windows XP ", 4);
        else
            typeError = "Unknown operating system: " + numeric;
    } else {
        typeError = "Unknown operating system: " + numeric;
    }
}

} // namespace mallow::net
