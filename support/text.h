#pragma once
// Text: the program's counted byte string, owned by value. Any byte, NUL included, is data;
// the bytes are always followed by one NUL of the text's own, so the platform can take them as
// a C string (which then ends at the first NUL). Memory that cannot be had never throws: an
// operation that needs it reports false and leaves the text as it was, and a copy made without
// it is empty, so that callers can go on with an empty text.
// Platform-free, so it is built and tested natively as well.

#include <cstddef>
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

// The length of the valid UTF-8 sequence at the start of `text` (RFC 3629: no overlong forms,
// no surrogates, nothing past U+10FFFF), or 0 when it does not start with one.
size_t Utf8SequenceLength(std::string_view text) noexcept;

// Appends the number in decimal digits; false when memory cannot be had.
bool AppendNumber(Text* text, size_t number) noexcept;

// Where Text gets its memory: malloc and free unless a test puts its own in place to reach the
// paths where memory cannot be had. Null restores the default.
using TextAllocateFunction = void* (*)(size_t size);
void SetTextAllocator(TextAllocateFunction allocate) noexcept;
