#pragma once
// Text: the program's counted byte string, owned by value. Any byte, NUL included, is data;
// the bytes are always followed by one NUL of the text's own, so the platform can take them as
// a C string (which then ends at the first NUL). Memory that cannot be had never throws: an
// operation that needs it reports false and leaves the text as it was, and a copy made without
// it is empty, so that callers can go on with an empty text.
// Platform-free, so it is built and tested natively as well.

#include <cstddef>
#include <cstring>
#include <string_view>

class Text {
public:
    Text() noexcept = default;
    // A copy of the bytes; empty when memory for them cannot be had.
    explicit Text(std::string_view bytes) noexcept;
    Text(const Text& other) noexcept;
    Text(Text&& other) noexcept;
    Text& operator=(const Text& other) noexcept;
    Text& operator=(Text&& other) noexcept;
    ~Text();

    // Never null: an empty text gives an empty C string.
    const char* Data() const noexcept { return bytes_ ? bytes_ : ""; }
    size_t Size() const noexcept { return size_; }
    bool IsEmpty() const noexcept { return size_ == 0; }
    std::string_view View() const noexcept { return {Data(), size_}; }

    // The bytes to write into; null for an empty text. Writing past Size() is not allowed
    // (the NUL at Size() is the text's own).
    char* MutableData() noexcept { return bytes_; }

    // Replaces the bytes with a copy of these; false when memory cannot be had.
    bool Assign(std::string_view bytes) noexcept;
    // Appends the bytes; false when memory cannot be had.
    bool Append(std::string_view bytes) noexcept;
    // Makes the text `size` bytes long: new bytes are NUL, a shorter size cuts the text (which
    // never fails). False when memory cannot be had.
    bool Resize(size_t size) noexcept;

    friend bool operator==(const Text& a, const Text& b) noexcept { return a.View() == b.View(); }
    friend bool operator!=(const Text& a, const Text& b) noexcept { return !(a == b); }

private:
    bool Reserve(size_t size) noexcept;

    char* bytes_ = nullptr;  // size_ bytes and a NUL, in capacity_ + 1 allocated bytes
    size_t size_ = 0;
    size_t capacity_ = 0;
};

// The bytes of `text` from `from` on, where `from` is at most its size. string_view::substr
// checks that with an exception, which would bring the C++ runtime's into the programs.
constexpr std::string_view TextFrom(std::string_view text, size_t from) noexcept {
    return {text.data() + from, text.size() - from};
}

// Copies a few bytes inline, as keywords mostly are: short fixed-size copies, overlapping where
// the size is no multiple of them, are plain moves, where a call to memcpy would cost more.
// Local to each file that uses it, so that the compiler may call it as it likes there: the
// window's callers are smaller so.
static inline void CopyShort(char* to, const char* from, size_t size) {
    if (size >= 16) {
        for (size_t at = 0; at + 16 < size; at += 16) std::memcpy(to + at, from + at, 16);
        std::memcpy(to + size - 16, from + size - 16, 16);
    } else if (size >= 8) {
        std::memcpy(to, from, 8);
        std::memcpy(to + size - 8, from + size - 8, 8);
    } else if (size >= 4) {
        std::memcpy(to, from, 4);
        std::memcpy(to + size - 4, from + size - 4, 4);
    } else if (size > 0) {
        to[0] = from[0];
        to[size / 2] = from[size / 2];
        to[size - 1] = from[size - 1];
    }
}

// The length of the valid UTF-8 sequence at the start of `text` (RFC 3629: no overlong forms,
// no surrogates, nothing past U+10FFFF), or 0 when it does not start with one.
size_t Utf8SequenceLength(std::string_view text) noexcept;

// Appends the number in decimal digits; false when memory cannot be had.
bool AppendNumber(Text* text, size_t number) noexcept;

// Where Text gets its memory: malloc and free unless a test puts its own in place to reach the
// paths where memory cannot be had. Null restores the default.
using TextAllocateFunction = void* (*)(size_t size);
void SetTextAllocator(TextAllocateFunction allocate) noexcept;
