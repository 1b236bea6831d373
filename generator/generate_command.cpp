#include "generator/generate_command.h"

#include <new>
#include <string>

#include "app/control_ids.h"
#include "generator/permutation_text.h"
#include "services/clipboard.h"

namespace {

constexpr int kAcceleratorNotification = 1;

// Exactly the bytes the control reports as copied; empty when memory for them cannot be had.
std::string ReadControlText(HWND dialog, int controlId) {
    HWND control = GetDlgItem(dialog, controlId);
    const int length = GetWindowTextLengthA(control);
    try {
        std::string text(static_cast<size_t>(length) + 1, '\0');
        const int copied = GetWindowTextA(control, &text[0], length + 1);
        text.resize(copied > 0 ? static_cast<size_t>(copied) : 0);
        return text;
    } catch (const std::bad_alloc&) {
        return std::string();
    }
}

bool IsChecked(HWND dialog, int controlId) {
    return SendMessageA(GetDlgItem(dialog, controlId), BM_GETCHECK, 0, 0) != 0;
}

constexpr UINT kNoIcon = 0;

// No owner: the dialog stays enabled while the box is open.
void ShowMessage(const char* text, UINT icon) {
    MessageBoxA(nullptr, text, "Varnholt", MB_OK | icon);
}

}  // namespace

void GeneratePermutations(HWND dialog, int notificationCode) {
    if (notificationCode != BN_CLICKED && notificationCode != kAcceleratorNotification) return;

    KeywordList keywords;
    keywords.words[0] = ReadControlText(dialog, IDC_KEYWORD1);
    if (keywords.words[0].empty()) {
        ShowMessage("Need to enter Keyword 1.  Try again.", MB_ICONHAND);
        return;
    }
    keywords.words[1] = ReadControlText(dialog, IDC_KEYWORD2);
    if (keywords.words[1].empty()) {
        ShowMessage("Need at least two keywords. Enter Keyword 2.", MB_ICONHAND);
        return;
    }
    keywords.words[2] = ReadControlText(dialog, IDC_KEYWORD3);
    // Keyword 4 counts only after a keyword 3, so it is not even read without one.
    if (!keywords.words[2].empty()) keywords.words[3] = ReadControlText(dialog, IDC_KEYWORD4);

    // "Brackets" is not consulted: brackets are whatever "Quotes" is not.
    const DelimiterPair delimiters =
        IsChecked(dialog, IDC_QUOTES) ? kQuoteDelimiters : kBracketDelimiters;
    const bool includeSubsets = IsChecked(dialog, IDC_SUBSETS);

    if (!CopyTextToClipboard(BuildPermutationText(keywords, delimiters, includeSubsets))) {
        ShowMessage(
            "Cannot put the text in the clipboard. Close any program that is using it and try "
            "again.",
            MB_ICONHAND);
        return;
    }
    ShowMessage("The text is in the clipboard (ready for pasting).", kNoIcon);
}
