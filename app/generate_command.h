#pragma once
// The command behind "Paste permutations in Clipboard": reads the keywords and options from
// the main dialog's controls, puts the permutation text on the clipboard and tells the user.

#include <windows.h>

// notificationCode is the high word of the command's wParam; the command runs for 0 (a click)
// and 1 (an accelerator) and ignores every other code. Its message boxes have no owner, so the
// dialog stays usable while one is open and a second press runs the command again inside it.
void GeneratePermutations(HWND dialog, int notificationCode);
