#include "support/startup.h"

namespace {
bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}
}  // namespace

char* CommandLineTail(char* commandLine) {
    char* at = commandLine;
    if (*at == '"') {
        ++at;
        while (*at && *at != '"') ++at;
        if (*at) ++at;  // the closing quote
    } else {
        while (*at && !IsBlank(*at)) ++at;
    }
    while (IsBlank(*at)) ++at;
    return at;
}

int StartupShowCommand(const STARTUPINFOA& startup) {
    return (startup.dwFlags & STARTF_USESHOWWINDOW) ? startup.wShowWindow : SW_SHOWDEFAULT;
}
