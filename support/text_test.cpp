#include "support/text.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>

namespace {

using namespace std::string_literals;

// Refuses every allocation while it lives.
struct RefusedMemory {
    RefusedMemory() {
        SetTextAllocator([](size_t) -> void* { return nullptr; });
    }
    ~RefusedMemory() { SetTextAllocator(nullptr); }
};

TEST(Text, HoldsAnyBytesCountedAndEndedByItsOwnNul) {
    const Text empty;
    EXPECT_EQ(empty.Size(), 0u);
    EXPECT_TRUE(empty.IsEmpty());
    EXPECT_STREQ(empty.Data(), "");

    const std::string bytes = "a\0b\r\n\xFF"s;
    const Text text(bytes);
    EXPECT_EQ(text.Size(), 6u);
    EXPECT_EQ(std::string(text.View()), bytes);
    EXPECT_EQ(text.Data()[6], '\0');
    // As a C string it ends at its first NUL.
    EXPECT_STREQ(text.Data(), "a");
}

TEST(Text, CopiesAreIndependentAndMovesLeaveTheSourceEmpty) {
    Text original("keyword"s);
    Text copy = original;
    copy.MutableData()[0] = 'K';
    EXPECT_EQ(original.View(), "keyword");
    EXPECT_EQ(copy.View(), "Keyword");
    EXPECT_NE(copy, original);

    copy = original;
    EXPECT_EQ(copy, original);
    Text& same = copy;
    copy = same;
    EXPECT_EQ(copy.View(), "keyword");

    Text moved = std::move(copy);
    EXPECT_EQ(moved.View(), "keyword");
    EXPECT_TRUE(copy.IsEmpty());
    EXPECT_STREQ(copy.Data(), "");
    original = std::move(moved);
    EXPECT_EQ(original.View(), "keyword");
}

TEST(Text, AppendResizeAndAssignKeepEveryByte) {
    Text text;
    EXPECT_TRUE(text.Append("%1"));
    EXPECT_TRUE(text.Append(std::string_view("\0x", 2)));
    EXPECT_TRUE(text.Append(""));
    EXPECT_EQ(text.View(), "%1\0x"s);

    // Its own bytes, even when appending them moves the text.
    for (int i = 0; i < 6; ++i) ASSERT_TRUE(text.Append(text.View()));
    EXPECT_EQ(text.Size(), 4u << 6);
    EXPECT_EQ(text.View().substr(252), "%1\0x"s);
    EXPECT_TRUE(text.Assign(text.View().substr(2, 2)));
    EXPECT_EQ(text.View(), "\0x"s);

    EXPECT_TRUE(text.Resize(5));
    EXPECT_EQ(text.View(), "\0x\0\0\0"s);
    EXPECT_TRUE(text.Resize(1));
    EXPECT_EQ(text.View(), "\0"s);
    EXPECT_EQ(text.Data()[1], '\0');
    EXPECT_TRUE(text.Assign(""));
    EXPECT_TRUE(text.IsEmpty());

    // Grown piece by piece, a long text stays whole.
    std::string expected;
    Text grown;
    for (int i = 0; i < 5000; ++i) {
        const std::string piece = std::to_string(i) + ' ';
        ASSERT_TRUE(grown.Append(piece));
        expected += piece;
    }
    EXPECT_EQ(std::string(grown.View()), expected);
}

TEST(Text, MemoryThatCannotBeHadFailsWithoutChangingTheText) {
    Text text("kept"s);
    {
        RefusedMemory refused;
        EXPECT_FALSE(text.Append(" and more"));
        EXPECT_FALSE(text.Resize(100));
        EXPECT_FALSE(text.Assign("other"));
        EXPECT_EQ(text.View(), "kept");
        // Shrinking needs no memory.
        EXPECT_TRUE(text.Resize(2));
        EXPECT_EQ(text.View(), "ke");

        const Text copy = text;
        EXPECT_TRUE(copy.IsEmpty());
        Text assigned("x"s);
        EXPECT_TRUE(assigned.IsEmpty());
        assigned = text;
        EXPECT_TRUE(assigned.IsEmpty());
    }
    // Sizes no memory can hold are refused before anything is asked for.
    EXPECT_FALSE(text.Resize(static_cast<size_t>(-1)));
    EXPECT_FALSE(text.Append(std::string_view(text.Data(), static_cast<size_t>(-1) - 1)));
    EXPECT_EQ(text.View(), "ke");
}

}  // namespace
