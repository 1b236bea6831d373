#pragma once

#include <string>

// Replaces the clipboard's contents with the text as CF_TEXT (its bytes and one NUL).
// Returns 1 when the text is on the clipboard; 0 when it is not, and then the clipboard
// keeps what it held (an empty text, memory that cannot be had, or another program
// holding the clipboard), or, when the clipboard refuses the data after being emptied,
// is left empty.
int CopyTextToClipboard(std::string text);
