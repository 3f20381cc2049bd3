#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace mallow::platform {

/// Lays out one server-library buffer: an array of records followed by the UTF-16 strings they
/// point to, in a single allocation that NetBufferFree releases. The caller states the space
/// up front (records and the total characters of all strings, terminators included), so that
/// every pointer handed out stays inside the block.
class NetBufferWriter
{
public:
    NetBufferWriter(std::size_t recordBytes, std::size_t stringChars);
    ~NetBufferWriter();
    NetBufferWriter(const NetBufferWriter&) = delete;
    NetBufferWriter& operator=(const NetBufferWriter&) = delete;

    template <class Record> Record* Records() { return reinterpret_cast<Record*>(block); }
    /// Copies `text` with its terminator into the string area; throws std::length_error when
    /// the stated space is exhausted.
    char16_t* Add(std::u16string_view text);
    /// Hands the block over; the writer no longer owns it.
    std::uint8_t* Release();

private:
    std::uint8_t* block = nullptr;
    std::size_t stringOffset = 0;
    std::size_t capacity = 0;
    std::size_t used = 0;
};

/// Releases a block made by NetBufferWriter.
void NetBufferFree(void* buffer);

} // namespace mallow::platform
