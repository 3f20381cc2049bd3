#include "Registry.h"

#include "util/MallowError.h"
#include "util/Paths.h"

#include <cerrno>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <fstream>
#include <memory>
#include <optional>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

namespace mallow::registry {

namespace {

bool IsRunKey(const std::string& subKey)
{
    return detail::SameText(subKey, RunKey);
}

// A store that cannot be read or is no store is an error the user sees, never a store that
// is quietly taken as empty and written over.
Store LoadOrRaise(const std::string& path, Store::Writers writers = Store::Writers::Anyone)
{
    try {
        return Store::Load(path, writers);
    } catch (const StoreError& error) {
        throw MallowError(err::PathFileAccess, "Registry", error.what());
    }
}

// Quotes one argument of a desktop entry's Exec line and escapes it as a string value.
std::string ExecArgument(const std::string& argument)
{
    std::string quoted = "\"";
    for (char c : argument) {
        if (c == '"' || c == '`' || c == '$' || c == '\\')
            quoted += '\\';
        quoted += c;
    }
    quoted += '"';
    std::string escaped;
    for (char c : quoted)
        escaped += c == '\\' ? std::string("\\\\") : std::string(1, c);
    return escaped;
}

// The program an autostart entry starts: its Exec line with the escapes undone.
std::optional<std::string> ExecOf(const std::string& file)
{
    std::ifstream in(file);
    std::string line;
    while (std::getline(in, line)) {
        if (line.rfind("Exec=", 0) != 0)
            continue;
        // Two levels: the string value's escapes, then the quoting of the argument.
        std::string unescaped;
        const std::string raw = line.substr(5);
        for (std::size_t i = 0; i < raw.size(); ++i) {
            if (raw[i] == '\\' && i + 1 < raw.size() && raw[i + 1] == '\\')
                ++i;
            unescaped += raw[i];
        }
        if (unescaped.size() < 2 || unescaped.front() != '"' || unescaped.back() != '"')
            return unescaped;
        std::string value;
        for (std::size_t i = 1; i + 1 < unescaped.size(); ++i) {
            if (unescaped[i] == '\\' && i + 2 < unescaped.size())
                ++i;
            value += unescaped[i];
        }
        return value;
    }
    return std::nullopt;
}

std::vector<Value> AutostartValues(const std::string& folder)
{
    std::vector<Value> values;
    std::unique_ptr<DIR, int (*)(DIR*)> dir(opendir(folder.c_str()), closedir);
    if (!dir)
        return values;
    while (const dirent* entry = readdir(dir.get())) {
        const std::string name = entry->d_name;
        const std::string suffix = ".desktop";
        if (name.size() <= suffix.size() || name.compare(name.size() - suffix.size(), suffix.size(), suffix) != 0)
            continue;
        if (const auto program = ExecOf(folder + "/" + name))
            values.push_back(StringValue(name.substr(0, name.size() - suffix.size()), *program));
    }
    return values;
}

std::string EntryPath(const Places& places, const std::string& name)
{
    return places.autostartFolder + "/" + name + ".desktop";
}

// The values of a key: the user's, else the machine's.
std::optional<std::vector<Value>> KeyValues(RootKey root, const std::string& subKey,
                                            const Places& places)
{
    if (IsRunKey(subKey))
        return AutostartValues(places.autostartFolder);
    for (const std::string* path : {&places.userStore, &places.machineStore}) {
        if (path->empty())
            continue;
        const Store store = LoadOrRaise(*path, path == &places.machineStore
                                                   ? Store::Writers::RootOrSelf
                                                   : Store::Writers::Anyone);
        if (store.KeyExists(root, subKey))
            return store.Values(root, subKey);
    }
    return std::nullopt;
}

} // namespace

Places DefaultPlaces()
{
    Places places;
    places.userStore = Store::DefaultPath();
    places.machineStore = StateFolder() + "/registry";
    const char* config = std::getenv("XDG_CONFIG_HOME");
    const char* home = std::getenv("HOME");
    places.autostartFolder = config && config[0] == '/'
                                 ? std::string(config) + "/autostart"
                                 : std::string(home && *home ? home : "") + "/.config/autostart";
    return places;
}

std::string AutostartEntry(const std::string& name, const std::string& program)
{
    return "[Desktop Entry]\nType=Application\nName=" + name + "\nExec=" + ExecArgument(program) +
           "\nTerminal=false\nX-GNOME-Autostart-enabled=true\n";
}

void SaveRegString(RootKey root, const std::string& subKey, const std::string& valueName,
                   const std::string& text, const Places& places)
{
    if (IsRunKey(subKey)) {
        detail::MakeFolders(places.autostartFolder);
        const std::string path = EntryPath(places, valueName);
        const std::string temporary = path + ".new";
        {
            std::ofstream out(temporary, std::ios::trunc);
            out << AutostartEntry(valueName, text);
            if (!out.flush())
                return;
        }
        if (std::rename(temporary.c_str(), path.c_str()) != 0)
            std::remove(temporary.c_str());
        return;
    }
    // A store that is damaged is said; one that cannot be written is not.
    LoadOrRaise(places.userStore);
    try {
        Modify(places.userStore,
               [&](Store& store) { return store.SetValue(root, subKey, StringValue(valueName, text)); });
    } catch (const StoreError&) {
        // Writing what cannot be written is not reported.
    }
}

void DeleteRegValue(RootKey root, const std::string& subKey, const std::string& valueName,
                    const Places& places)
{
    if (IsRunKey(subKey)) {
        unlink(EntryPath(places, valueName).c_str());
        return;
    }
    LoadOrRaise(places.userStore);
    try {
        Modify(places.userStore,
               [&](Store& store) { return store.DeleteValue(root, subKey, valueName); });
    } catch (const StoreError&) {
        // Removing what cannot be removed is not reported.
    }
}

std::string GetRegValueByEnum(RootKey root, const std::string& subKey,
                              const std::string& valueName, const Places& places)
{
    const auto values = KeyValues(root, subKey, places);
    if (!values)
        return {};
    for (const Value& value : *values) {
        const std::string data = TextOf(value);
        if (value.name.size() > 254 || data.size() > 254)
            break;
        if (value.name == valueName)
            return data;
    }
    return {};
}

bool GetKeyValue(RootKey root, const std::string& keyName, const std::string& valueName,
                 std::string& keyValue, const Places& places)
{
    const auto values = KeyValues(root, keyName, places);
    const Value* found = nullptr;
    if (values) {
        for (const Value& value : *values)
            if (detail::SameText(value.name, valueName))
                found = &value;
    }
    if (!found) {
        keyValue.clear();
        return false;
    }
    if (found->type == REG_SZ) {
        keyValue = found->data.substr(0, std::min<std::size_t>(found->data.find('\0'), 1023));
    } else if (found->type == REG_DWORD) {
        keyValue = std::to_string(DwordOf(*found));
    }
    return true;
}

} // namespace mallow::registry
