#pragma once

#include "platform/RegistryStore.h"

#include <string>

namespace mallow::registry {

/// The key whose values start programs with the user's session; on this machine they are the
/// user's XDG autostart entries (NAME.desktop in the autostart folder).
inline constexpr const char* RunKey = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";

/// Where the routines below keep their values: the user's store, the machine's store beside the
/// program (read where the user's store has no such key; the package registers components
/// there), and the folder of the user's autostart entries.
struct Places
{
    std::string userStore;
    std::string machineStore;
    std::string autostartFolder;
};
Places DefaultPlaces();

/// Writes a string value, creating its key. Failures to write are not reported; a store that
/// is damaged or not a store raises an error (number 75) and is left as it is.
void SaveRegString(RootKey root, const std::string& subKey, const std::string& valueName,
                   const std::string& text, const Places& places = DefaultPlaces());
/// Removes one value and leaves its key; a value that does not exist is no error.
void DeleteRegValue(RootKey root, const std::string& subKey, const std::string& valueName,
                    const Places& places = DefaultPlaces());
/// The data of the value named exactly `valueName` (case counts), found by walking the key's
/// values in order; "" when the key or the value does not exist. A value whose name or data
/// does not fit in 255 characters ends the walk.
std::string GetRegValueByEnum(RootKey root, const std::string& subKey,
                              const std::string& valueName, const Places& places = DefaultPlaces());
/// True when the value was read: a string value's text up to its first NUL, a double word as
/// its decimal number; a value of another type leaves `keyValue` as it was. When the key or
/// the value cannot be read, `keyValue` becomes "" and the answer is false.
bool GetKeyValue(RootKey root, const std::string& keyName, const std::string& valueName,
                 std::string& keyValue, const Places& places = DefaultPlaces());

/// The desktop entry that starts `program` with the session, named `name`.
std::string AutostartEntry(const std::string& name, const std::string& program);

} // namespace mallow::registry
