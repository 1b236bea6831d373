#include "support/text.h"

#include <cstdlib>
#include <cstring>
#include <utility>

namespace {

TextAllocateFunction allocateText = std::malloc;

// The sizes Text can hold: the size, its NUL and the doubling of a growing capacity must
// all stay countable.
constexpr size_t kMaxTextSize = (static_cast<size_t>(-1) >> 1) - 1;

}  // namespace

void SetTextAllocator(TextAllocateFunction allocate) noexcept {
    allocateText = allocate ? allocate : std::malloc;
}

Text::Text(std::string_view bytes) noexcept {
    Assign(bytes);
}

Text::Text(const Text& other) noexcept {
    Assign(other.View());
}

Text::Text(Text&& other) noexcept
    : bytes_(other.bytes_), size_(other.size_), capacity_(other.capacity_) {
    other.bytes_ = nullptr;
    other.size_ = other.capacity_ = 0;
}

Text& Text::operator=(const Text& other) noexcept {
    if (this != &other && !Assign(other.View())) Resize(0);
    return *this;
}

Text& Text::operator=(Text&& other) noexcept {
    if (this != &other) {
        std::free(bytes_);
        bytes_ = other.bytes_;
        size_ = other.size_;
        capacity_ = other.capacity_;
        other.bytes_ = nullptr;
        other.size_ = other.capacity_ = 0;
    }
    return *this;
}

Text::~Text() {
    std::free(bytes_);
}

bool Text::Reserve(size_t size) noexcept {
    if (size <= capacity_ && bytes_) return true;
    if (size > kMaxTextSize) return false;
    // Growing by appends doubles, so that building a text piece by piece stays linear.
    size_t capacity = capacity_ * 2 > size && capacity_ * 2 <= kMaxTextSize ? capacity_ * 2 : size;
    char* bytes = static_cast<char*>(allocateText(capacity + 1));
    if (!bytes) return false;
    if (size_) std::memcpy(bytes, bytes_, size_);
    bytes[size_] = '\0';
    std::free(bytes_);
    bytes_ = bytes;
    capacity_ = capacity;
    return true;
}

bool Text::Assign(std::string_view bytes) noexcept {
    if (bytes.empty()) return Resize(0);
    // The bytes may be this text's own, so they are copied before the old ones go.
    Text copy;
    if (!copy.Reserve(bytes.size())) return false;
    std::memcpy(copy.bytes_, bytes.data(), bytes.size());
    copy.size_ = bytes.size();
    copy.bytes_[copy.size_] = '\0';
    *this = std::move(copy);
    return true;
}

bool Text::Append(std::string_view bytes) noexcept {
    if (bytes.size() > kMaxTextSize - size_) return false;
    if (bytes.empty()) return true;
    // Bytes of this text itself stay valid through the reallocation only as an offset.
    const bool own = bytes_ && bytes.data() >= bytes_ && bytes.data() < bytes_ + size_;
    const size_t ownOffset = own ? static_cast<size_t>(bytes.data() - bytes_) : 0;
    if (!Reserve(size_ + bytes.size())) return false;
    std::memmove(bytes_ + size_, own ? bytes_ + ownOffset : bytes.data(), bytes.size());
    size_ += bytes.size();
    bytes_[size_] = '\0';
    return true;
}

bool Text::Resize(size_t size) noexcept {
    if (size > size_) {
        if (!Reserve(size)) return false;
        std::memset(bytes_ + size_, 0, size - size_);
    }
    size_ = size;
    if (bytes_) bytes_[size_] = '\0';
    return true;
}

bool AppendNumber(Text* text, size_t number) noexcept {
    char digits[24];
    size_t at = sizeof digits;
    do digits[--at] = static_cast<char>('0' + number % 10);
    while ((number /= 10) > 0);
    return text->Append(std::string_view(digits + at, sizeof digits - at));
}

size_t Utf8SequenceLength(std::string_view text) noexcept {
    const auto byte = [&](size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(0);
    size_t length;
    unsigned char low = 0x80, high = 0xBF;  // the range of the second byte
    if (lead < 0x80) {
        return 1;
    } else if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        if (lead == 0xE0) low = 0xA0;
        if (lead == 0xED) high = 0x9F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        if (lead == 0xF0) low = 0x90;
        if (lead == 0xF4) high = 0x8F;
    } else {
        return 0;
    }
    if (text.size() < length || byte(1) < low || byte(1) > high) return 0;
    for (size_t i = 2; i < length; ++i) {
        if (byte(i) < 0x80 || byte(i) > 0xBF) return 0;
    }
    return length;
}
