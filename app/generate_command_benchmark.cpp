// Time of one generate press with four 32 KiB keywords and subsets (reading the edit boxes,
// building the text, putting it on the clipboard), against the builder alone. The
// confirmation box is stopped from being created, and the press is timed up to that moment.
// Run by hand under Wine: generate_command_benchmark.exe [presses]
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "app/control_ids.h"
#include "app/generate_command.h"
#include "app/main_dialog.h"
#include "generator/permutation_text.h"
#include "services/clipboard.h"

namespace {

constexpr size_t kKeywordLength = 32 * 1024;

LARGE_INTEGER boxMoment;
int boxesStopped = 0;

double Milliseconds(LARGE_INTEGER from, LARGE_INTEGER to) {
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    return 1000.0 * static_cast<double>(to.QuadPart - from.QuadPart) /
           static_cast<double>(frequency.QuadPart);
}

LARGE_INTEGER Now() {
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return now;
}

// Notes when the confirmation box is about to be created and stops its creation.
LRESULT CALLBACK StopMessageBoxes(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HCBT_CREATEWND) {
        char className[16] = {};
        GetClassNameA(reinterpret_cast<HWND>(wParam), className, sizeof className);
        if (std::strcmp(className, "#32770") == 0) {
            boxMoment = Now();
            ++boxesStopped;
            return 1;
        }
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

struct Figures {
    double median;
    double fastest;
};

Figures Summarise(std::vector<double> times) {
    std::sort(times.begin(), times.end());
    return {times[times.size() / 2], times.front()};
}

}  // namespace

int main(int argc, char** argv) {
    const int presses = argc > 1 ? std::max(1, std::atoi(argv[1])) : 25;

    std::string words[4];
    const int keywordIds[] = {IDC_KEYWORD1, IDC_KEYWORD2, IDC_KEYWORD3, IDC_KEYWORD4};
    HWND dialog = BuildMainDialog(nullptr);
    for (size_t k = 0; k < 4; ++k) {
        HWND edit = GetDlgItem(dialog, keywordIds[k]);
        SendMessageA(edit, EM_SETLIMITTEXT, 0, 0);
        words[k].assign(kKeywordLength, static_cast<char>('a' + k));
        SetWindowTextA(edit, words[k].c_str());
        if (GetWindowTextLengthA(edit) != static_cast<int>(kKeywordLength)) {
            std::printf("keyword %zu holds %d bytes, not %zu\n", k + 1, GetWindowTextLengthA(edit),
                        kKeywordLength);
            return 1;
        }
    }
    CheckDlgButton(dialog, IDC_SUBSETS, BST_CHECKED);
    const KeywordList keywords{{words[0], words[1], words[2], words[3]}};

    std::vector<double> builder, clipboard, press;
    size_t textBytes = 0;
    for (int run = 0; run < presses; ++run) {
        const LARGE_INTEGER start = Now();
        const Text text = BuildPermutationText(keywords, kQuoteDelimiters, true);
        const LARGE_INTEGER built = Now();
        const int placed = CopyTextToClipboard(text);
        const LARGE_INTEGER copied = Now();
        if (!placed) {
            std::printf("the clipboard refused the text\n");
            return 1;
        }
        textBytes = text.Size();
        builder.push_back(Milliseconds(start, built));
        clipboard.push_back(Milliseconds(built, copied));
    }

    HHOOK hook = SetWindowsHookExA(WH_CBT, StopMessageBoxes, nullptr, GetCurrentThreadId());
    for (int run = 0; run < presses; ++run) {
        const int stoppedBefore = boxesStopped;
        const LARGE_INTEGER start = Now();
        GeneratePermutations(dialog, BN_CLICKED);
        if (boxesStopped != stoppedBefore + 1) {
            std::printf("the press showed no box\n");
            return 1;
        }
        press.push_back(Milliseconds(start, boxMoment));
    }
    UnhookWindowsHookEx(hook);
    DestroyWindow(dialog);

    const Figures builderFigures = Summarise(builder);
    const Figures clipboardFigures = Summarise(clipboard);
    const Figures pressFigures = Summarise(press);
    std::printf("four keywords of %zu bytes with subsets: %zu bytes of text, %d runs each\n",
                kKeywordLength, textBytes, presses);
    std::printf("builder alone:                 median %8.2f ms, fastest %8.2f ms\n",
                builderFigures.median, builderFigures.fastest);
    std::printf("clipboard writer alone:        median %8.2f ms, fastest %8.2f ms\n",
                clipboardFigures.median, clipboardFigures.fastest);
    std::printf("generate press (box left out): median %8.2f ms, fastest %8.2f ms\n",
                pressFigures.median, pressFigures.fastest);
    std::printf("press / builder (medians): %.1f\n", pressFigures.median / builderFigures.median);
    return 0;
}
