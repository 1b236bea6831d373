#include "services/clipboard.h"

#include <windows.h>

#include <cstring>

namespace {

// A global block that is freed on every path unless the clipboard has taken it.
class ClipboardBlock {
public:
    explicit ClipboardBlock(SIZE_T size) : block_(GlobalAlloc(GMEM_MOVEABLE | GMEM_DDESHARE, size)) {}
    ~ClipboardBlock() {
        if (block_) GlobalFree(block_);
    }
    ClipboardBlock(const ClipboardBlock&) = delete;
    ClipboardBlock& operator=(const ClipboardBlock&) = delete;

    HGLOBAL Get() const { return block_; }
    void HandOverToClipboard() { block_ = nullptr; }

private:
    HGLOBAL block_;
};

// The clipboard, opened without an owner window and closed on every path.
class OpenedClipboard {
public:
    OpenedClipboard() : open_(OpenClipboard(nullptr) != FALSE) {}
    ~OpenedClipboard() {
        if (open_) CloseClipboard();
    }
    OpenedClipboard(const OpenedClipboard&) = delete;
    OpenedClipboard& operator=(const OpenedClipboard&) = delete;

    bool IsOpen() const { return open_; }

private:
    bool open_;
};

// Copies the text and a terminating NUL into the block; false when it cannot be locked.
bool FillBlock(HGLOBAL block, const Text& text) {
    char* bytes = static_cast<char*>(GlobalLock(block));
    if (!bytes) return false;
    std::memcpy(bytes, text.Data(), text.Size());
    bytes[text.Size()] = '\0';
    GlobalUnlock(block);
    return true;
}

}  // namespace

int CopyTextToClipboard(Text text) {
    if (text.IsEmpty()) return 0;

    // Filled before the clipboard is opened, so that other programs wait on it only briefly.
    ClipboardBlock block(text.Size() + 1);
    if (!block.Get() || !FillBlock(block.Get(), text)) return 0;

    OpenedClipboard clipboard;
    if (!clipboard.IsOpen()) return 0;
    // Its result is not needed: SetClipboardData alone tells whether the text got in.
    EmptyClipboard();
    if (!SetClipboardData(CF_TEXT, block.Get())) return 0;
    block.HandOverToClipboard();
    return 1;
}
