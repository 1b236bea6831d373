#include "app/generate_command.h"

#include "app/control_ids.h"
#include "generator/keyword_set.h"
#include "generator/permutation_text.h"
#include "support/text.h"
#include "services/clipboard.h"

namespace {

constexpr int kAcceleratorNotification = 1;

// Reads exactly the bytes the control reports as copied into `text`; false when memory for
// them cannot be had.
bool ReadControlText(HWND dialog, int controlId, Text& text) {
    HWND control = GetDlgItem(dialog, controlId);
    const int length = GetWindowTextLengthA(control);
    if (length <= 0) return true;
    // One byte more than the text, for the NUL the platform writes after it.
    if (!text.Resize(static_cast<size_t>(length) + 1)) return false;
    const int copied = GetWindowTextA(control, text.MutableData(), length + 1);
    text.Resize(copied > 0 ? static_cast<size_t>(copied) : 0);  // shorter: cannot fail
    return true;
}

bool IsChecked(HWND dialog, int controlId) {
    return SendMessageA(GetDlgItem(dialog, controlId), BM_GETCHECK, 0, 0) != 0;
}

constexpr UINT kNoIcon = 0;

// No owner: the dialog stays enabled while the box is open.
void ShowMessage(const char* text, UINT icon) {
    MessageBoxA(nullptr, text, "Varnholt", MB_OK | icon);
}

// Also what a keyword that cannot be read for want of memory ends in: calling it missing would
// blame the user, and going on without it would quietly drop lines.
void ShowCopyFailure() {
    ShowMessage("Cannot put the text in the clipboard. Close any program that is using it and try "
                "again.",
                MB_ICONHAND);
}

}  // namespace

void GeneratePermutations(HWND dialog, int notificationCode) {
    if (notificationCode != BN_CLICKED && notificationCode != kAcceleratorNotification) return;

    // Each keyword is read only when it can still matter, so that a keyword that cannot be
    // read for want of memory never hides what the user is to be told about the others.
    Text words[4];
    KeywordList keywords{};
    auto read = [&](int keyword) {
        constexpr int kKeywordControls[] = {IDC_KEYWORD1, IDC_KEYWORD2, IDC_KEYWORD3, IDC_KEYWORD4};
        if (!ReadControlText(dialog, kKeywordControls[keyword], words[keyword])) return false;
        keywords.words[keyword] = words[keyword].View();
        return true;
    };
    if (!read(0)) return ShowCopyFailure();
    if (FindMissingKeyword(keywords) != MissingKeyword::kKeyword1 && !read(1)) return ShowCopyFailure();
    switch (FindMissingKeyword(keywords)) {
        case MissingKeyword::kKeyword1: return ShowMessage("Need to enter Keyword 1.  Try again.", MB_ICONHAND);
        case MissingKeyword::kKeyword2: return ShowMessage("Need at least two keywords. Enter Keyword 2.", MB_ICONHAND);
        case MissingKeyword::kNone: break;
    }
    if (!read(2)) return ShowCopyFailure();
    // Keyword 4 counts only after a keyword 3, so it is not even read without one.
    if (CountKeywords(keywords) == 3 && !read(3)) return ShowCopyFailure();

    // "Brackets" is not consulted: brackets are whatever "Quotes" is not.
    const DelimiterPair delimiters =
        IsChecked(dialog, IDC_QUOTES) ? kQuoteDelimiters : kBracketDelimiters;
    const bool includeSubsets = IsChecked(dialog, IDC_SUBSETS);

    // A text that could not be built is empty, and the writer refuses an empty text.
    if (!CopyTextToClipboard(BuildPermutationText(keywords, delimiters, includeSubsets))) {
        return ShowCopyFailure();
    }
    ShowMessage("The text is in the clipboard (ready for pasting).", kNoIcon);
}
