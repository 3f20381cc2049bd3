#include "platform/NetBuffer.h"

#include <cstdlib>
#include <cstring>
#include <new>
#include <stdexcept>

namespace mallow::platform {

NetBufferWriter::NetBufferWriter(std::size_t recordBytes, std::size_t stringChars)
{
    // Strings start at an 8-byte boundary so that the records before them stay aligned.
    stringOffset = (recordBytes + 7) & ~std::size_t(7);
    capacity = stringOffset + stringChars * sizeof(char16_t);
    block = static_cast<std::uint8_t*>(std::calloc(1, capacity ? capacity : 1));
    if (!block)
        throw std::bad_alloc();
    used = stringOffset;
}

NetBufferWriter::~NetBufferWriter()
{
    std::free(block);
}

char16_t* NetBufferWriter::Add(std::u16string_view text)
{
    const std::size_t bytes = (text.size() + 1) * sizeof(char16_t);
    if (bytes > capacity - used)
        throw std::length_error("server-library buffer too small for its strings");
    auto* target = reinterpret_cast<char16_t*>(block + used);
    if (!text.empty())
        std::memcpy(target, text.data(), text.size() * sizeof(char16_t));
    target[text.size()] = 0;
    used += bytes;
    return target;
}

std::uint8_t* NetBufferWriter::Release()
{
    std::uint8_t* result = block;
    block = nullptr;
    return result;
}

void NetBufferFree(void* buffer)
{
    std::free(buffer);
}

} // namespace mallow::platform
