#include "cli/console_io.h"

#include <gtest/gtest.h>

// --unique's hashes are seeded with these, so that no file made before a run can know them: two
// asked for one after the other differ, where a constant (or a failing source) would not.
TEST(ConsoleIo, EachUnpredictableNumberIsNew) {
    EXPECT_NE(UnpredictableNumber(), UnpredictableNumber());
}
