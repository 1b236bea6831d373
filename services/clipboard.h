#pragma once

#include "support/text.h"

// Replaces the clipboard's contents with the text as CF_TEXT (its bytes and one NUL).
// Returns 1 when the text is on the clipboard, 0 when it is not. After an empty text, memory
// that cannot be had, or another program holding the clipboard open, the clipboard keeps what
// it held; when the clipboard refuses the data after being emptied, it may be left empty.
int CopyTextToClipboard(Text text);
