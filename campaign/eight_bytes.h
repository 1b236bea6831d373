#pragma once
// Text read eight bytes at a time: the engine's cells and keywords are mostly a few bytes long,
// where a byte at a time, or a call to the library, costs more than the bytes.

#include <cstdint>
#include <cstring>

constexpr uint64_t kEveryByte = 0x0101010101010101ull;
constexpr uint64_t kHighBits = 0x8080808080808080ull;

inline uint64_t EightBytesAt(const char* bytes) {
    uint64_t chunk;
    std::memcpy(&chunk, bytes, 8);
    return chunk;
}
