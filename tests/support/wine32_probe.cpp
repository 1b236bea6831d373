// The smallest 32-bit program: tests/wine/wine32.sh runs it to learn whether this machine
// executes 32-bit programs at all, and reads back what it prints.
#include <cstdio>

int main() {
    std::printf("%u-bit program ran\n", static_cast<unsigned>(sizeof(void*) * 8));
    return 0;
}
