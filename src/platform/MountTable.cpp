#include "platform/MountTable.h"

#include <algorithm>
#include <fstream>
#include <sstream>

#include <strings.h>

namespace mallow::platform {

namespace {

std::string Unescape(const std::string& field)
{
    std::string out;
    for (std::size_t i = 0; i < field.size(); ++i) {
        if (field[i] == '\\' && i + 3 < field.size() + 0 && field[i + 1] >= '0' &&
            field[i + 1] <= '3' && field[i + 2] >= '0' && field[i + 2] <= '7' &&
            field[i + 3] >= '0' && field[i + 3] <= '7') {
            out += static_cast<char>((field[i + 1] - '0') * 64 + (field[i + 2] - '0') * 8 +
                                     (field[i + 3] - '0'));
            i += 3;
        } else {
            out += field[i];
        }
    }
    return out;
}


std::vector<std::string> Components(const std::string& path)
{
    std::vector<std::string> parts;
    std::stringstream in(path);
    for (std::string part; std::getline(in, part, '/');)
        if (!part.empty())
            parts.push_back(part);
    return parts;
}

std::string OptionValue(const std::string& options, const std::string& key)
{
    std::stringstream in(options);
    for (std::string option; std::getline(in, option, ',');)
        if (option.rfind(key + "=", 0) == 0)
            return option.substr(key.size() + 1);
    return {};
}

bool IsShareMount(const MountEntry& m)
{
    return m.fsType == "cifs" || m.fsType == "smb3";
}

std::string Joined(const std::vector<std::string>& parts, std::size_t from)
{
    std::string path;
    for (std::size_t i = from; i < parts.size(); ++i)
        path += "/" + parts[i];
    return path;
}

/// "//server/share/folder" of a share mount. The source names the share and the folder
/// inside it that was mounted, if any. The root is the folder the mount shows, counted from
/// the root of the file system: "/" for the mounted folder itself, the folder below it for a
/// bind mount of part of it, or the whole folder from the share's root where the kernel
/// mounted the share and walked down to the folder.
std::string RemoteOfShareMount(const MountEntry& m)
{
    const auto parts = Components(m.source);
    if (parts.size() < 2)
        return m.source;
    const std::string folder = Joined(parts, 2);
    const std::string root = Joined(Components(m.root), 0);
    std::string inside = folder + root;
    if (!folder.empty() && (root == folder || root.rfind(folder + "/", 0) == 0))
        inside = root;
    return "//" + parts[0] + "/" + parts[1] + inside;
}

} // namespace

std::vector<MountEntry> ParseMountInfo(const std::string& text)
{
    std::vector<MountEntry> mounts;
    std::stringstream lines(text);
    for (std::string line; std::getline(lines, line);) {
        std::stringstream in(line);
        std::vector<std::string> fields;
        for (std::string f; in >> f;)
            fields.push_back(f);
        std::size_t separator = 6;
        while (separator < fields.size() && fields[separator] != "-")
            ++separator;
        if (fields.size() < 5 || separator + 2 >= fields.size())
            continue;
        MountEntry m;
        m.root = Unescape(fields[3]);
        m.mountPoint = Unescape(fields[4]);
        m.fsType = fields[separator + 1];
        m.source = Unescape(fields[separator + 2]);
        if (separator + 3 < fields.size())
            m.superOptions = fields[separator + 3];
        mounts.push_back(std::move(m));
    }
    return mounts;
}

std::vector<MountEntry> ReadMountTable()
{
    std::ifstream in("/proc/self/mountinfo");
    std::stringstream text;
    text << in.rdbuf();
    return ParseMountInfo(text.str());
}

std::optional<NetworkConnection> NetworkConnectionOf(const std::string& path,
                                                     const std::vector<MountEntry>& mounts)
{
    // The mount that holds a path is the last, deepest one over it.
    const MountEntry* holder = nullptr;
    std::string rest;
    for (const auto& m : mounts) {
        const auto below = PathBelow(path, m.mountPoint);
        if (below && (!holder || m.mountPoint.size() >= holder->mountPoint.size())) {
            holder = &m;
            rest = *below;
        }
    }
    if (!holder)
        return std::nullopt;
    if (IsShareMount(*holder))
        return NetworkConnection{holder->mountPoint, RemoteOfShareMount(*holder),
                                 OptionValue(holder->superOptions, "username")};
    if (holder->fsType == "fuse.smbnetfs") {
        const auto parts = Components(rest);
        if (parts.size() < 2)
            return std::nullopt;
        const std::string base = holder->mountPoint == "/" ? "" : holder->mountPoint;
        return NetworkConnection{base + "/" + parts[0] + "/" + parts[1],
                                 "\\\\" + parts[0] + "\\" + parts[1], std::string()};
    }
    return std::nullopt;
}

std::vector<NetworkConnection> MountedShares(const std::vector<MountEntry>& mounts)
{
    std::vector<NetworkConnection> shares;
    for (const auto& m : mounts)
        if (IsShareMount(m))
            shares.push_back(
                {m.mountPoint, RemoteOfShareMount(m), OptionValue(m.superOptions, "username")});
    return shares;
}

std::vector<std::string> KnownServers(const std::vector<std::string>& given,
                                      const std::string& named,
                                      const std::vector<MountEntry>& mounts)
{
    std::vector<std::string> servers = given;
    std::string list = named;
    std::replace_if(
        list.begin(), list.end(), [](char c) { return c == ',' || c == ';'; }, ' ');
    std::istringstream words(list);
    for (std::string word; words >> word;)
        servers.push_back(word);
    for (const auto& m : mounts)
        if (IsShareMount(m))
            if (const auto parts = Components(m.source); !parts.empty())
                servers.push_back(parts[0]);
    std::vector<std::string> unique;
    for (auto& name : servers) {
        name.erase(0, name.find_first_not_of("\\/"));
        const bool seen = std::any_of(unique.begin(), unique.end(), [&](const std::string& u) {
            return strcasecmp(u.c_str(), name.c_str()) == 0;
        });
        if (!name.empty() && !seen)
            unique.push_back(name);
    }
    return unique;
}

std::optional<std::string> PathBelow(const std::string& path, const std::string& mountPoint)
{
    if (mountPoint == "/")
        return path.empty() || path[0] != '/' ? std::nullopt
                                              : std::optional<std::string>(path.substr(1));
    if (path.compare(0, mountPoint.size(), mountPoint) != 0)
        return std::nullopt;
    if (path.size() == mountPoint.size())
        return std::string();
    if (path[mountPoint.size()] != '/')
        return std::nullopt;
    return path.substr(mountPoint.size() + 1);
}

} // namespace mallow::platform
