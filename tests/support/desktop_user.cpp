// Keeps the Wine session's desktop in use for as long as the session lasts (tests/wine/session.sh
// starts it). Wine closes a desktop one second after its last program ends; the next program to
// use a window then starts the desktop's process again, as a child of its own: a test that
// counts the processes it started would count it, and pays for the desktop's start-up.
#include <windows.h>

#include <cstdio>

int main() {
    if (!GetDesktopWindow()) return 1;
    std::puts("desktop in use");
    std::fflush(stdout);
    Sleep(INFINITE);
}
