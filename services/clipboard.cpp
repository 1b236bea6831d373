#include "services/clipboard.h"

#include <windows.h>

#include <cstring>

#include "support/handle_guard.h"

namespace {

// A global block, freed on every path unless the clipboard has taken it.
using GlobalBlock = HandleGuard<HGLOBAL, GlobalFree>;

// The clipboard, opened without an owner window and closed on every path.
void CloseOpenedClipboard(bool) { CloseClipboard(); }
using OpenedClipboard = HandleGuard<bool, CloseOpenedClipboard>;

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
    GlobalBlock block(GlobalAlloc(GMEM_MOVEABLE | GMEM_DDESHARE, text.Size() + 1));
    if (!block || !FillBlock(block.Get(), text)) return 0;

    const OpenedClipboard clipboard(OpenClipboard(nullptr) != FALSE);
    if (!clipboard) return 0;
    // Its result is not needed: SetClipboardData alone tells whether the text got in.
    EmptyClipboard();
    if (!SetClipboardData(CF_TEXT, block.Get())) return 0;
    block.HandOver();
    return 1;
}
