#include "platform/SrvsvcNdr.h"

#include <variant>

namespace mallow::platform::srvsvc {

namespace {

// Little-endian NDR writer for the requests (and for replies in tests).
class Writer
{
public:
    void U32(std::uint32_t v)
    {
        Align4();
        for (int i = 0; i < 4; ++i)
            bytes.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
    }
    void Align4()
    {
        while (bytes.size() % 4)
            bytes.push_back(0);
    }
    void Pointer(bool present) { U32(present ? NextReferent() : 0); }
    /// A conformant varying UTF-16 string with its terminator.
    void String(const std::u16string& text)
    {
        const auto count = static_cast<std::uint32_t>(text.size() + 1);
        U32(count);
        U32(0);
        U32(count);
        for (char16_t c : text) {
            bytes.push_back(static_cast<std::uint8_t>(c & 0xFF));
            bytes.push_back(static_cast<std::uint8_t>(c >> 8));
        }
        bytes.push_back(0);
        bytes.push_back(0);
        Align4();
    }
    void UniqueString(const std::u16string* text)
    {
        Pointer(text != nullptr);
        if (text)
            String(*text);
    }
    std::vector<std::uint8_t> Take()
    {
        Align4();
        return std::move(bytes);
    }

private:
    std::uint32_t NextReferent() { return referent += 4; }
    std::vector<std::uint8_t> bytes;
    std::uint32_t referent = 0x00020000;
};

// Bounds-checked NDR reader: every read is checked against the end of the data first.
class Reader
{
public:
    explicit Reader(std::span<const std::uint8_t> data) : data(data) {}

    std::size_t Remaining() const { return data.size() - pos; }
    std::size_t Position() const { return pos; }

    std::uint32_t U32()
    {
        Align4();
        Need(4, "a 32-bit value");
        const std::uint32_t v = std::uint32_t(data[pos]) | std::uint32_t(data[pos + 1]) << 8 |
                                std::uint32_t(data[pos + 2]) << 16 |
                                std::uint32_t(data[pos + 3]) << 24;
        pos += 4;
        return v;
    }
    void Align4()
    {
        const std::size_t pad = (4 - pos % 4) % 4;
        Need(pad, "alignment padding");
        pos += pad;
    }
    std::u16string String()
    {
        const std::uint32_t maxCount = U32();
        const std::uint32_t offset = U32();
        const std::uint32_t actual = U32();
        if (offset != 0 || actual > maxCount)
            throw NdrError("string with inconsistent counts");
        if (actual > Remaining() / 2)
            throw NdrError("string longer than the reply");
        std::u16string text;
        text.reserve(actual);
        for (std::uint32_t i = 0; i < actual; ++i, pos += 2)
            text += static_cast<char16_t>(data[pos] | (data[pos + 1] << 8));
        while (!text.empty() && text.back() == 0)
            text.pop_back();
        return text;
    }

private:
    void Need(std::size_t n, const char* what)
    {
        if (n > Remaining())
            throw NdrError(std::string("reply truncated before ") + what);
    }
    std::span<const std::uint8_t> data;
    std::size_t pos = 0;
};

template <class Entry> using Field = std::variant<std::u16string Entry::*, std::uint32_t Entry::*>;

template <class Entry> using Layout = std::vector<Field<Entry>>;

const Layout<SessionEntry>* SessionLayout(std::uint32_t level)
{
    using E = SessionEntry;
    static const Layout<E> l0 = {&E::client};
    static const Layout<E> l1 = {&E::client, &E::user,     &E::numOpens,
                                 &E::time,   &E::idleTime, &E::userFlags};
    static const Layout<E> l2 = {&E::client,   &E::user,      &E::numOpens,  &E::time,
                                 &E::idleTime, &E::userFlags, &E::clientType};
    static const Layout<E> l10 = {&E::client, &E::user, &E::time, &E::idleTime};
    static const Layout<E> l502 = {&E::client,   &E::user,      &E::numOpens,   &E::time,
                                   &E::idleTime, &E::userFlags, &E::clientType, &E::transport};
    switch (level) {
    case 0:
        return &l0;
    case 1:
        return &l1;
    case 2:
        return &l2;
    case 10:
        return &l10;
    case 502:
        return &l502;
    default:
        return nullptr;
    }
}

const Layout<ConnectionEntry>* ConnectionLayout(std::uint32_t level)
{
    using E = ConnectionEntry;
    static const Layout<E> l0 = {&E::id};
    static const Layout<E> l1 = {&E::id,   &E::type, &E::numOpens, &E::numUsers,
                                 &E::time, &E::user, &E::netName};
    switch (level) {
    case 0:
        return &l0;
    case 1:
        return &l1;
    default:
        return nullptr;
    }
}

/// The request shared by both enumerations: an information container at `level` holding an
/// empty array, the preferred length and the resume handle.
void WriteEnumTail(Writer& w, std::uint32_t level, std::uint32_t maxBuffer, std::uint32_t resume)
{
    w.U32(level);
    w.U32(level);
    w.Pointer(true);
    w.U32(0);
    w.Pointer(false);
    w.U32(maxBuffer);
    w.Pointer(true);
    w.U32(resume);
}

std::uint32_t TrailingStatus(std::span<const std::uint8_t> reply)
{
    if (reply.size() < 4 || reply.size() % 4)
        throw NdrError("reply too short or not a whole number of 32-bit units");
    Reader r(reply.subspan(reply.size() - 4));
    return r.U32();
}

template <class Entry>
EnumReply<Entry> DecodeEnum(std::span<const std::uint8_t> reply, std::uint32_t requestedLevel,
                            const Layout<Entry>* layout)
{
    if (!layout)
        throw NdrError("level not known to the decoder");
    EnumReply<Entry> result;
    result.status = TrailingStatus(reply);
    result.level = requestedLevel;
    if (result.status != 0)
        return result;

    Reader r(reply.first(reply.size() - 4));
    const std::uint32_t level = r.U32();
    const std::uint32_t discriminant = r.U32();
    if (level != requestedLevel || discriminant != requestedLevel)
        throw NdrError("reply at another level than requested");
    if (r.U32() != 0) {
        const std::uint32_t count = r.U32();
        const std::uint32_t arrayPointer = r.U32();
        if (arrayPointer == 0 && count != 0)
            throw NdrError("entries counted but no array sent");
        if (arrayPointer != 0) {
            const std::uint32_t maxCount = r.U32();
            if (maxCount != count)
                throw NdrError("array size does not match the entry count");
            const std::size_t fixedSize = layout->size() * 4;
            if (count > r.Remaining() / fixedSize)
                throw NdrError("entry count beyond the reply");
            result.entries.resize(count);
            // Which string pointers are present, entry by entry, in field order.
            std::vector<std::vector<std::u16string Entry::*>> deferred(count);
            for (auto& entry : result.entries) {
                auto& strings = deferred[&entry - result.entries.data()];
                for (const auto& field : *layout) {
                    const std::uint32_t v = r.U32();
                    if (auto* text = std::get_if<std::u16string Entry::*>(&field)) {
                        if (v != 0)
                            strings.push_back(*text);
                    } else {
                        entry.*std::get<std::uint32_t Entry::*>(field) = v;
                    }
                }
            }
            for (std::size_t i = 0; i < count; ++i)
                for (auto member : deferred[i])
                    result.entries[i].*member = r.String();
        }
    }
    result.totalEntries = r.U32();
    if (r.U32() != 0)
        result.resumeHandle = r.U32();
    if (r.Remaining() != 0)
        throw NdrError("unexpected data after the reply");
    return result;
}

template <class Entry>
std::vector<std::uint8_t> EncodeEnum(const EnumReply<Entry>& reply, const Layout<Entry>* layout)
{
    if (!layout)
        throw NdrError("level not known to the encoder");
    Writer w;
    w.U32(reply.level);
    w.U32(reply.level);
    w.Pointer(true);
    w.U32(static_cast<std::uint32_t>(reply.entries.size()));
    w.Pointer(!reply.entries.empty());
    if (!reply.entries.empty()) {
        w.U32(static_cast<std::uint32_t>(reply.entries.size()));
        for (const auto& entry : reply.entries)
            for (const auto& field : *layout) {
                if (auto* text = std::get_if<std::u16string Entry::*>(&field))
                    w.Pointer(true);
                else
                    w.U32(entry.*std::get<std::uint32_t Entry::*>(field));
            }
        for (const auto& entry : reply.entries)
            for (const auto& field : *layout)
                if (auto* text = std::get_if<std::u16string Entry::*>(&field))
                    w.String(entry.**text);
    }
    w.U32(reply.totalEntries);
    w.Pointer(reply.resumeHandle.has_value());
    if (reply.resumeHandle)
        w.U32(*reply.resumeHandle);
    w.U32(reply.status);
    return w.Take();
}

} // namespace

bool IsSessionLevel(std::uint32_t level)
{
    return SessionLayout(level) != nullptr;
}

bool IsConnectionLevel(std::uint32_t level)
{
    return ConnectionLayout(level) != nullptr;
}

std::vector<std::uint8_t> EncodeSessionEnumRequest(const std::u16string& server,
                                                   const std::u16string* client,
                                                   const std::u16string* user, std::uint32_t level,
                                                   std::uint32_t maxBuffer,
                                                   std::uint32_t resumeHandle)
{
    Writer w;
    w.UniqueString(&server);
    w.UniqueString(client);
    w.UniqueString(user);
    WriteEnumTail(w, level, maxBuffer, resumeHandle);
    return w.Take();
}

SessionEnumReply DecodeSessionEnumReply(std::span<const std::uint8_t> reply,
                                        std::uint32_t requestedLevel)
{
    return DecodeEnum(reply, requestedLevel, SessionLayout(requestedLevel));
}

std::vector<std::uint8_t> EncodeSessionEnumReply(const SessionEnumReply& reply)
{
    return EncodeEnum(reply, SessionLayout(reply.level));
}

std::vector<std::uint8_t> EncodeSessionDelRequest(const std::u16string& server,
                                                  const std::u16string* client,
                                                  const std::u16string* user)
{
    Writer w;
    w.UniqueString(&server);
    w.UniqueString(client);
    w.UniqueString(user);
    return w.Take();
}

std::uint32_t DecodeSessionDelReply(std::span<const std::uint8_t> reply)
{
    if (reply.size() != 4)
        throw NdrError("a session deletion reply holds only its status");
    return TrailingStatus(reply);
}

std::vector<std::uint8_t> EncodeConnectionEnumRequest(const std::u16string& server,
                                                      const std::u16string* qualifier,
                                                      std::uint32_t level, std::uint32_t maxBuffer,
                                                      std::uint32_t resumeHandle)
{
    Writer w;
    w.UniqueString(&server);
    w.UniqueString(qualifier);
    WriteEnumTail(w, level, maxBuffer, resumeHandle);
    return w.Take();
}

ConnectionEnumReply DecodeConnectionEnumReply(std::span<const std::uint8_t> reply,
                                              std::uint32_t requestedLevel)
{
    return DecodeEnum(reply, requestedLevel, ConnectionLayout(requestedLevel));
}

std::vector<std::uint8_t> EncodeConnectionEnumReply(const ConnectionEnumReply& reply)
{
    return EncodeEnum(reply, ConnectionLayout(reply.level));
}

} // namespace mallow::platform::srvsvc
