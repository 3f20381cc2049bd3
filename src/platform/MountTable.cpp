#include "platform/MountTable.h"

#include <fstream>
#include <sstream>

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

/// The part of `path` below `mountPoint`, or nothing when the mount does not hold it.
std::optional<std::string> Below(const std::string& path, const std::string& mountPoint)
{
    if (mountPoint == "/")
        return path.substr(1);
    if (path.compare(0, mountPoint.size(), mountPoint) != 0)
        return std::nullopt;
    if (path.size() == mountPoint.size())
        return std::string();
    if (path[mountPoint.size()] != '/')
        return std::nullopt;
    return path.substr(mountPoint.size() + 1);
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

/// "//server/share" of a share mount's source, which may name a folder below the share.
std::string ShareOfSource(const std::string& source)
{
    const auto parts = Components(source);
    if (parts.size() < 2)
        return source;
    return "//" + parts[0] + "/" + parts[1];
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
        const auto below = Below(path, m.mountPoint);
        if (below && (!holder || m.mountPoint.size() >= holder->mountPoint.size())) {
            holder = &m;
            rest = *below;
        }
    }
    if (!holder)
        return std::nullopt;
    if (IsShareMount(*holder))
        return NetworkConnection{holder->mountPoint, ShareOfSource(holder->source),
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
                {m.mountPoint, ShareOfSource(m.source), OptionValue(m.superOptions, "username")});
    return shares;
}

} // namespace mallow::platform
