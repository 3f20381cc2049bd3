#pragma once

// The registry store: the keys and values that Windows keeps in its registry, kept for Mallow in
// one file of the user's. The store is header-only on purpose: the calendar library, which links
// nothing of Mallow, registers itself by reading and writing this same format.
//
// File format (UTF-8 or any bytes, lines end with LF):
//
//     Mallow registry store 1
//     key<TAB>HKEY_CLASSES_ROOT<TAB>CLSID\{...}\InprocServer32
//     value<TAB>1<TAB><TAB>/usr/lib/libquillon.so
//     value<TAB>4<TAB>Count<TAB>42
//
// - The first line names the format and its version; a file that does not start with it is not
//   a store, and Mallow refuses to read it or write over it.
// - "key" lines name a root (HKEY_CLASSES_ROOT, HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE, HKEY_USERS,
//   HKEY_CURRENT_CONFIG) and a sub-key path; every key appears once, parents before children.
// - "value" lines belong to the key line above them: the type as a decimal number, the value's
//   name (empty for the key's default value) and its data. A REG_DWORD's data is its decimal
//   number; every other type's data is its bytes as they were written.
// - In paths, names and data, "%", control characters (below 0x20 and 0x7F) are written as "%"
//   and two upper-case hexadecimal digits ("%09" for a tab, "%25" for "%").
// - Lines that start with "#" and empty lines are ignored.
//
// Key paths and value names are compared without regard to the case of A to Z, as Windows does;
// they keep the case they were created with. Values keep the order they were first written in,
// which is the order enumeration returns.

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace mallow::registry {

using RootKey = std::uint32_t;
inline constexpr RootKey HKEY_CLASSES_ROOT = 0x80000000;
inline constexpr RootKey HKEY_CURRENT_USER = 0x80000001;
inline constexpr RootKey HKEY_LOCAL_MACHINE = 0x80000002;
inline constexpr RootKey HKEY_USERS = 0x80000003;
inline constexpr RootKey HKEY_CURRENT_CONFIG = 0x80000005;

inline constexpr std::uint32_t REG_SZ = 1;
inline constexpr std::uint32_t REG_DWORD = 4;

/// The store's file could not be read or written, or it is damaged or no store at all. The
/// message names the file and says what is wrong, fit to be shown to the administrator.
class StoreError : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

/// One named value of a key. `data` holds the bytes as they were written: a REG_DWORD is four
/// bytes, least significant first; a REG_SZ holds the text, with a terminating NUL only when the
/// writer counted one.
struct Value
{
    std::string name;
    std::uint32_t type = REG_SZ;
    std::string data;
};

inline Value StringValue(std::string name, std::string_view text)
{
    return {std::move(name), REG_SZ, std::string(text)};
}

inline Value DwordValue(std::string name, std::uint32_t number)
{
    std::string data(4, '\0');
    for (int i = 0; i < 4; ++i)
        data[i] = static_cast<char>((number >> (8 * i)) & 0xFF);
    return {std::move(name), REG_DWORD, data};
}

/// The text of a string value without any terminating NULs.
inline std::string TextOf(const Value& value)
{
    std::string text = value.data;
    while (!text.empty() && text.back() == '\0')
        text.pop_back();
    return text;
}

inline std::uint32_t DwordOf(const Value& value)
{
    std::uint32_t number = 0;
    for (std::size_t i = 0; i < 4 && i < value.data.size(); ++i)
        number |= std::uint32_t(static_cast<unsigned char>(value.data[i])) << (8 * i);
    return number;
}

/// The name of a root key as the file writes it, or "" for a handle that is no root.
inline std::string_view RootName(RootKey root)
{
    switch (root) {
    case HKEY_CLASSES_ROOT:
        return "HKEY_CLASSES_ROOT";
    case HKEY_CURRENT_USER:
        return "HKEY_CURRENT_USER";
    case HKEY_LOCAL_MACHINE:
        return "HKEY_LOCAL_MACHINE";
    case HKEY_USERS:
        return "HKEY_USERS";
    case HKEY_CURRENT_CONFIG:
        return "HKEY_CURRENT_CONFIG";
    default:
        return {};
    }
}

namespace detail {

inline bool SameText(std::string_view a, std::string_view b)
{
    auto fold = [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; };
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(),
                                              [&](char x, char y) { return fold(x) == fold(y); });
}

/// A sub-key path is empty (the root itself) or names separated by single backslashes.
inline bool ValidPath(std::string_view path)
{
    if (path.empty())
        return true;
    if (path.front() == '\\' || path.back() == '\\')
        return false;
    return path.find("\\\\") == std::string_view::npos;
}

inline std::string Escape(std::string_view text)
{
    static const char hex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7F || c == '%') {
            out += '%';
            out += hex[byte >> 4];
            out += hex[byte & 0xF];
        } else {
            out += c;
        }
    }
    return out;
}

inline int HexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

inline std::optional<std::string> Unescape(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto byte = static_cast<unsigned char>(text[i]);
        if (byte < 0x20 || byte == 0x7F)
            return std::nullopt;
        if (text[i] != '%') {
            out += text[i];
            continue;
        }
        if (i + 2 >= text.size())
            return std::nullopt;
        const int high = HexDigit(text[i + 1]);
        const int low = HexDigit(text[i + 2]);
        if (high < 0 || low < 0)
            return std::nullopt;
        out += static_cast<char>(high * 16 + low);
        i += 2;
    }
    return out;
}

inline std::vector<std::string_view> SplitTabs(std::string_view line)
{
    std::vector<std::string_view> fields;
    std::size_t start = 0;
    for (;;) {
        const std::size_t tab = line.find('\t', start);
        fields.push_back(line.substr(start, tab - start));
        if (tab == std::string_view::npos)
            return fields;
        start = tab + 1;
    }
}

inline std::string SystemText(int error)
{
    return std::strerror(error);
}

/// The folder part of a path ("." when there is none).
inline std::string FolderOf(const std::string& path)
{
    const std::size_t slash = path.find_last_of('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

/// Creates the folder and its missing parents, readable by the owner only.
inline void MakeFolders(const std::string& folder)
{
    struct stat info
    {
    };
    if (folder.empty() || ::stat(folder.c_str(), &info) == 0)
        return;
    MakeFolders(FolderOf(folder));
    if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST)
        throw StoreError("Cannot create the folder " + folder +
                         " of the registry store: " + SystemText(errno) + ".");
}

} // namespace detail

/// All keys and values of one store file, held in memory between Load and Save.
class Store
{
public:
    static constexpr std::string_view Header = "Mallow registry store 1";
    /// A store larger than this is no store of ours.
    static constexpr std::size_t MaxFileSize = 16 * 1024 * 1024;

    /// An empty store that Save writes to `path`.
    explicit Store(std::string path) : path(std::move(path)) {}

    /// The store of this user: $MALLOW_REGISTRY when it is set, else "mallow/registry" under
    /// $XDG_CONFIG_HOME (when it is an absolute path) or under ~/.config.
    static std::string DefaultPath()
    {
        if (const char* explicitPath = std::getenv("MALLOW_REGISTRY");
            explicitPath && *explicitPath)
            return explicitPath;
        if (const char* config = std::getenv("XDG_CONFIG_HOME"); config && config[0] == '/')
            return std::string(config) + "/mallow/registry";
        const char* home = std::getenv("HOME");
        return std::string(home && *home ? home : "") + "/.config/mallow/registry";
    }

    /// Who may have changed a store that is read.
    enum class Writers
    {
        Anyone,
        /// Only root or the user running the program: a store shared by a machine names
        /// programs and libraries that Mallow starts and loads, so a store that someone else
        /// could have written (a link, a file writable by group or others, or owned by another
        /// user) is refused.
        RootOrSelf,
    };

    /// Reads the store at `path`. A file that does not exist is an empty store; a file that
    /// cannot be read, is damaged or is no store throws StoreError and is left as it is.
    static Store Load(const std::string& path, Writers writers = Writers::Anyone)
    {
        Store store(path);
        const int flags = writers == Writers::Anyone ? O_RDONLY | O_CLOEXEC
                                                     : O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK;
        const int fd = ::open(path.c_str(), flags);
        if (fd < 0 && errno == ELOOP)
            throw StoreError("The registry store " + path +
                             " is a symbolic link; it is not used.");
        if (fd < 0) {
            if (errno == ENOENT)
                return store;
            throw StoreError("Cannot read the registry store " + path + ": " +
                             detail::SystemText(errno) + ".");
        }
        std::string text;
        const auto failed = [&](const std::string& why) {
            ::close(fd);
            return StoreError("Cannot read the registry store " + path + ": " + why);
        };
        struct stat info
        {
        };
        if (::fstat(fd, &info) != 0)
            throw failed(detail::SystemText(errno) + ".");
        if (!S_ISREG(info.st_mode))
            throw failed("it is not a file.");
        if (writers == Writers::RootOrSelf &&
            ((info.st_uid != 0 && info.st_uid != ::geteuid()) || (info.st_mode & 0022) != 0)) {
            ::close(fd);
            throw StoreError("The registry store " + path +
                             " may be changed by others than root and you; it is not used "
                             "(chown root: " + path + "; chmod go-w " + path + ").");
        }
        char buffer[65536];
        for (;;) {
            const ssize_t got = ::read(fd, buffer, sizeof buffer);
            if (got < 0 && errno == EINTR)
                continue;
            if (got < 0)
                throw failed(detail::SystemText(errno) + ".");
            if (got == 0)
                break;
            text.append(buffer, static_cast<std::size_t>(got));
            if (text.size() > MaxFileSize)
                throw failed("the file is too large to be a registry store.");
        }
        ::close(fd);
        store.Parse(text);
        return store;
    }

    const std::string& Path() const { return path; }

    /// Writes the whole store to its file: into a new file beside it, flushed, then renamed over
    /// the old one, so that a reader sees the old store or the new one, never a part. The file
    /// is readable and writable by its owner only; missing folders are created.
    void Save() const
    {
        const std::string folder = detail::FolderOf(path);
        detail::MakeFolders(folder);
        std::string temporary = path + ".XXXXXX";
        const int fd = ::mkstemp(temporary.data());
        if (fd < 0)
            throw StoreError("Cannot write the registry store " + path + ": " +
                             detail::SystemText(errno) + ".");
        const std::string text = Serialize();
        int error = ::fchmod(fd, 0600) == 0 ? 0 : errno;
        for (std::size_t done = 0; error == 0 && done < text.size();) {
            const ssize_t wrote = ::write(fd, text.data() + done, text.size() - done);
            if (wrote < 0 && errno != EINTR)
                error = errno;
            else if (wrote > 0)
                done += static_cast<std::size_t>(wrote);
        }
        if (error == 0 && ::fsync(fd) != 0)
            error = errno;
        if (::close(fd) != 0 && error == 0)
            error = errno;
        if (error == 0 && ::rename(temporary.c_str(), path.c_str()) != 0)
            error = errno;
        if (error != 0) {
            ::unlink(temporary.c_str());
            throw StoreError("Cannot write the registry store " + path + ": " +
                             detail::SystemText(error) + ".");
        }
        // The rename itself is durable only once the folder is flushed.
        if (const int dir = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC); dir >= 0) {
            ::fsync(dir);
            ::close(dir);
        }
    }

    bool KeyExists(RootKey root, std::string_view subKey) const { return FindKey(root, subKey); }

    /// Creates the key and its missing parents. Returns false for a root that is no root or a
    /// path with an empty name in it.
    bool CreateKey(RootKey root, std::string_view subKey)
    {
        if (RootName(root).empty() || !detail::ValidPath(subKey))
            return false;
        AddKey(root, subKey);
        return true;
    }

    /// Removes the key with all its values and sub-keys; false when it does not exist.
    bool DeleteKey(RootKey root, std::string_view subKey)
    {
        if (subKey.empty() || !FindKey(root, subKey))
            return false;
        std::erase_if(keys, [&](const Key& key) {
            return key.root == root &&
                   (detail::SameText(key.path, subKey) ||
                    (key.path.size() > subKey.size() && key.path[subKey.size()] == '\\' &&
                     detail::SameText(std::string_view(key.path).substr(0, subKey.size()),
                                      subKey)));
        });
        return true;
    }

    /// The value, or nullptr when the key or the value does not exist.
    const Value* Find(RootKey root, std::string_view subKey, std::string_view name) const
    {
        const Key* key = FindKey(root, subKey);
        if (!key)
            return nullptr;
        for (const Value& value : key->values)
            if (detail::SameText(value.name, name))
                return &value;
        return nullptr;
    }

    /// Writes the value, creating its key when needed; a value of the same name is replaced in
    /// its place. Returns false where CreateKey would, or for a REG_DWORD that is not 4 bytes.
    bool SetValue(RootKey root, std::string_view subKey, Value value)
    {
        if (RootName(root).empty() || !detail::ValidPath(subKey) ||
            (value.type == REG_DWORD && value.data.size() != 4))
            return false;
        Key& key = AddKey(root, subKey);
        for (Value& existing : key.values) {
            if (detail::SameText(existing.name, value.name)) {
                existing.type = value.type;
                existing.data = std::move(value.data);
                return true;
            }
        }
        key.values.push_back(std::move(value));
        return true;
    }

    /// Removes one value and leaves its key; false when there was no such value.
    bool DeleteValue(RootKey root, std::string_view subKey, std::string_view name)
    {
        Key* key = FindKey(root, subKey);
        if (!key)
            return false;
        return std::erase_if(key->values,
                             [&](const Value& v) { return detail::SameText(v.name, name); }) > 0;
    }

    /// The key's values in enumeration order; empty for a key that does not exist.
    std::vector<Value> Values(RootKey root, std::string_view subKey) const
    {
        const Key* key = FindKey(root, subKey);
        return key ? key->values : std::vector<Value>();
    }

    /// The file's text as Save writes it.
    std::string Serialize() const
    {
        std::string text(Header);
        text += '\n';
        for (const Key& key : keys) {
            text += "key\t";
            text += RootName(key.root);
            text += '\t' + detail::Escape(key.path) + '\n';
            for (const Value& value : key.values) {
                text += "value\t" + std::to_string(value.type) + '\t' + detail::Escape(value.name) +
                        '\t';
                text += value.type == REG_DWORD ? std::to_string(DwordOf(value))
                                                : detail::Escape(value.data);
                text += '\n';
            }
        }
        return text;
    }

private:
    struct Key
    {
        RootKey root;
        std::string path;
        std::vector<Value> values;
    };

    const Key* FindKey(RootKey root, std::string_view subKey) const
    {
        for (const Key& key : keys)
            if (key.root == root && detail::SameText(key.path, subKey))
                return &key;
        return nullptr;
    }

    Key* FindKey(RootKey root, std::string_view subKey)
    {
        return const_cast<Key*>(std::as_const(*this).FindKey(root, subKey));
    }

    Key& AddKey(RootKey root, std::string_view subKey)
    {
        if (Key* key = FindKey(root, subKey))
            return *key;
        if (const std::size_t slash = subKey.rfind('\\'); slash != std::string_view::npos)
            AddKey(root, subKey.substr(0, slash));
        return keys.emplace_back(Key{root, std::string(subKey), {}});
    }

    void Parse(std::string_view text)
    {
        const auto damaged = [&](std::size_t lineNumber, const std::string& why) {
            return StoreError("The registry store " + path + " is damaged: line " +
                              std::to_string(lineNumber) + " " + why + ".");
        };
        if (text.empty())
            throw StoreError("The registry store " + path +
                             " is empty; it is not a Mallow "
                             "registry store.");
        std::size_t lineNumber = 0;
        Key* current = nullptr;
        for (std::size_t start = 0; start < text.size();) {
            std::size_t end = text.find('\n', start);
            if (end == std::string_view::npos)
                throw damaged(lineNumber + 1,
                              "is cut short (the file does not end with a line end)");
            const std::string_view line = text.substr(start, end - start);
            start = end + 1;
            ++lineNumber;
            if (lineNumber == 1) {
                if (line == Header)
                    continue;
                if (line.starts_with("Mallow registry store "))
                    throw StoreError("The registry store " + path +
                                     " was written by a newer "
                                     "version of Mallow (\"" +
                                     std::string(line) + "\").");
                throw StoreError("The file " + path + " is not a Mallow registry store.");
            }
            if (line.empty() || line.front() == '#')
                continue;
            const auto fields = detail::SplitTabs(line);
            if (fields[0] == "key") {
                if (fields.size() != 3)
                    throw damaged(lineNumber, "is a key line without exactly a root and a path");
                RootKey root = 0;
                for (RootKey candidate : {HKEY_CLASSES_ROOT, HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE,
                                          HKEY_USERS, HKEY_CURRENT_CONFIG})
                    if (RootName(candidate) == fields[1])
                        root = candidate;
                const auto keyPath = detail::Unescape(fields[2]);
                if (root == 0)
                    throw damaged(lineNumber, "names no root key");
                if (!keyPath || !detail::ValidPath(*keyPath))
                    throw damaged(lineNumber, "holds a key path that is not valid");
                if (FindKey(root, *keyPath))
                    throw damaged(lineNumber, "names a key a second time");
                current = &AddKey(root, *keyPath);
            } else if (fields[0] == "value") {
                if (!current)
                    throw damaged(lineNumber, "holds a value before any key");
                if (fields.size() != 4)
                    throw damaged(lineNumber, "is a value line without exactly a type, a name "
                                              "and data");
                const auto type = ParseNumber(fields[1]);
                const auto name = detail::Unescape(fields[2]);
                if (!type || !name)
                    throw damaged(lineNumber, "holds a value type or name that is not valid");
                for (const Value& value : current->values)
                    if (detail::SameText(value.name, *name))
                        throw damaged(lineNumber, "names a value a second time");
                Value value{*name, *type, {}};
                if (*type == REG_DWORD) {
                    const auto number = ParseNumber(fields[3]);
                    if (!number)
                        throw damaged(lineNumber, "holds a REG_DWORD that is no number");
                    value = DwordValue(*name, *number);
                } else {
                    const auto data = detail::Unescape(fields[3]);
                    if (!data)
                        throw damaged(lineNumber, "holds data that is not valid");
                    value.data = *data;
                }
                current->values.push_back(std::move(value));
            } else {
                throw damaged(lineNumber, "is neither a key nor a value");
            }
        }
    }

    static std::optional<std::uint32_t> ParseNumber(std::string_view text)
    {
        if (text.empty() || text.size() > 10)
            return std::nullopt;
        std::uint64_t number = 0;
        for (char c : text) {
            if (c < '0' || c > '9')
                return std::nullopt;
            number = number * 10 + std::uint64_t(c - '0');
        }
        if (number > 0xFFFFFFFFu)
            return std::nullopt;
        return static_cast<std::uint32_t>(number);
    }

    std::string path;
    std::vector<Key> keys;
};

/// Loads the store at `path`, lets `change` edit it and saves it when `change` returns true.
/// An exclusive lock on the file `path` + ".lock" is held throughout, so that two programs that
/// change the store at once do not lose each other's changes. A damaged store throws
/// StoreError before `change` runs and is not written.
template <typename Change> void Modify(const std::string& path, Change&& change)
{
    detail::MakeFolders(detail::FolderOf(path));
    const std::string lockPath = path + ".lock";
    const int lock = ::open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (lock < 0)
        throw StoreError("Cannot lock the registry store " + path + ": " +
                         detail::SystemText(errno) + ".");
    struct Unlock
    {
        int fd;
        ~Unlock() { ::close(fd); } // closing the descriptor drops the lock
    } unlock{lock};
    while (::flock(lock, LOCK_EX) != 0)
        if (errno != EINTR)
            throw StoreError("Cannot lock the registry store " + path + ": " +
                             detail::SystemText(errno) + ".");
    Store store = Store::Load(path);
    if (change(store))
        store.Save();
}

} // namespace mallow::registry
