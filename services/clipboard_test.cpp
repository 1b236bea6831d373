#include "services/clipboard.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "tests/support/clipboard_holder_process.h"
#include "tests/support/win_test_support.h"

namespace {

using namespace std::string_literals;

const std::string kSentinel = "left by the test";

// Leaked blocks of the sizes these tests copy would show far above this.
constexpr SIZE_T kMemorySlack = 16 * 1024 * 1024;

std::string WithNul(const std::string& text) { return text + '\0'; }

// A window of the test's own that owns the clipboard. When the next writer empties the
// clipboard, the platform tells this window first, and the window closes the clipboard under
// that writer's feet, so that the clipboard refuses the writer's data.
class ClipboardSaboteur {
public:
    ClipboardSaboteur() {
        WNDCLASSA windowClass{};
        windowClass.lpfnWndProc = Procedure;
        windowClass.hInstance = GetModuleHandleA(nullptr);
        windowClass.lpszClassName = "VarnholtClipboardSaboteur";
        RegisterClassA(&windowClass);
        window_ = OwnedWindow(CreateWindowExA(0, windowClass.lpszClassName, "", WS_POPUP, 0, 0, 1, 1,
                                              nullptr, nullptr, windowClass.hInstance, nullptr));
        notices_ = 0;
    }

    // Takes the clipboard over with the sentinel as its text.
    bool TakeOwnership() {
        if (!OpenClipboard(window_.Get())) return false;
        EmptyClipboard();
        HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, kSentinel.size() + 1);
        CopyMemory(GlobalLock(block), kSentinel.c_str(), kSentinel.size() + 1);
        GlobalUnlock(block);
        const bool placed = SetClipboardData(CF_TEXT, block) != nullptr;
        CloseClipboard();
        return placed && GetClipboardOwner() == window_.Get();
    }

    static int Notices() { return notices_; }

private:
    static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
        if (message != WM_DESTROYCLIPBOARD) return DefWindowProcA(window, message, wParam, lParam);
        ++notices_;
        CloseClipboard();
        return 0;
    }

    OwnedWindow window_;
    static int notices_;
};
int ClipboardSaboteur::notices_ = 0;

TEST(ClipboardWriter, ReplacesTheClipboardWithTheTextByteForByte) {
    // An earlier owner's formats, a registered one among them.
    const UINT richFormat = RegisterClipboardFormatA("Varnholt test rich text");
    PutSentinelOnClipboard(kSentinel);
    ASSERT_TRUE(OpenClipboard(nullptr));
    HGLOBAL rich = GlobalAlloc(GMEM_MOVEABLE, 16);
    ASSERT_NE(SetClipboardData(richFormat, rich), nullptr);
    CloseClipboard();
    ASSERT_TRUE(IsClipboardFormatAvailable(richFormat));

    const std::string lines = "first line\r\nGr\xFC\xDF" "e \xE9\x80\xFF\r\n\r\nlast line";
    EXPECT_EQ(CopyTextToClipboard(Text(lines)), 1);
    EXPECT_EQ(ReadClipboardTextBlock(), WithNul(lines));
    EXPECT_FALSE(IsClipboardFormatAvailable(richFormat));

    EXPECT_EQ(CopyTextToClipboard(Text("x")), 1);
    EXPECT_EQ(ReadClipboardTextBlock(), "x\0"s);

    // Readers of CF_TEXT stop at the first NUL, but the block holds every byte.
    EXPECT_EQ(CopyTextToClipboard(Text("ab\0cd"s)), 1);
    EXPECT_EQ(ReadClipboardTextBlock(), "ab\0cd\0"s);

    // As large as the text of four long keywords with subsets.
    std::string large(8 * 1024 * 1024, 'k');
    large[1] = '\r';
    large[2] = '\n';
    large.back() = '\xA0';
    EXPECT_EQ(CopyTextToClipboard(Text(large)), 1);
    EXPECT_EQ(ReadClipboardTextBlock(), WithNul(large));
}

TEST(ClipboardWriter, EmptyTextLeavesTheClipboardAlone) {
    PutSentinelOnClipboard(kSentinel);
    const DWORD sequence = GetClipboardSequenceNumber();
    EXPECT_EQ(CopyTextToClipboard(Text("")), 0);
    EXPECT_EQ(GetClipboardSequenceNumber(), sequence);
    EXPECT_EQ(ReadClipboardTextBlock(), WithNul(kSentinel));
}

TEST(ClipboardWriter, ClipboardHeldByAnotherProcess) {
    PutSentinelOnClipboard(kSentinel);
    const std::string text(4 * 1024 * 1024, 'h');
    {
        ClipboardHolderProcess holder;
        ASSERT_TRUE(holder.IsHolding());
        EXPECT_EQ(CopyTextToClipboard(Text(text)), 0);
        const SIZE_T before = PrivateBytesInUse();
        ASSERT_GT(before, 0u);
        for (int attempt = 0; attempt < 16; ++attempt) EXPECT_EQ(CopyTextToClipboard(Text(text)), 0);
        EXPECT_LT(PrivateBytesInUse(), before + kMemorySlack);
    }
    EXPECT_EQ(ReadClipboardTextBlock(), WithNul(kSentinel));
    // Once the other program lets go, the same text goes in.
    EXPECT_EQ(CopyTextToClipboard(Text("after")), 1);
    EXPECT_EQ(ReadClipboardTextBlock(), "after\0"s);
}

TEST(ClipboardWriter, RefusedDataIsReportedAndFreed) {
    ClipboardSaboteur saboteur;
    ASSERT_TRUE(saboteur.TakeOwnership());
    const std::string text(8 * 1024 * 1024, 'r');
    EXPECT_EQ(CopyTextToClipboard(Text(text)), 0);
    ASSERT_EQ(ClipboardSaboteur::Notices(), 1);

    const SIZE_T before = PrivateBytesInUse();
    ASSERT_GT(before, 0u);
    for (int attempt = 0; attempt < 16; ++attempt) EXPECT_EQ(CopyTextToClipboard(Text(text)), 0);
    EXPECT_EQ(ClipboardSaboteur::Notices(), 17);
    EXPECT_LT(PrivateBytesInUse(), before + kMemorySlack);
    // The writer never got to empty the clipboard, and it did not try again.
    EXPECT_EQ(ReadClipboardTextBlock(), WithNul(kSentinel));
}

}  // namespace
