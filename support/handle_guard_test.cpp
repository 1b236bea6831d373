#include "support/handle_guard.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// Handles are letters; releasing one appends it to the log.
std::string released;
void Release(const char* handle) { released += *handle; }
using Guard = HandleGuard<const char*, Release>;

// A handle with a part that is not tested, like a device context and its window.
struct Pair {
    const char* held;
    int window;
    explicit operator bool() const { return held != nullptr; }
};
void ReleasePair(Pair pair) { released += std::string(pair.held) + std::to_string(pair.window); }

TEST(HandleGuard, ReleasesWhatItHoldsOnceWhenItGoes) {
    released.clear();
    {
        Guard a("a");
        Guard none;
        Guard handedOn("h");
        EXPECT_STREQ(handedOn.HandOver(), "h");
        EXPECT_FALSE(handedOn);
        Guard received;
        *received.Receive() = "r";
        EXPECT_STREQ(received.Get(), "r");
        Guard moved(std::move(a));
        EXPECT_FALSE(a);
        EXPECT_STREQ(moved.Get(), "a");
        Guard replaced("x");
        replaced = Guard("y");
        EXPECT_EQ(released, "x");
        HandleGuard<Pair, ReleasePair> pair(Pair{"p", 7});
        HandleGuard<Pair, ReleasePair> nullPair(Pair{nullptr, 8});
        EXPECT_EQ(released, "x");
    }
    // In the reverse order of their making.
    EXPECT_EQ(released, "xp7yar");
}

}  // namespace
