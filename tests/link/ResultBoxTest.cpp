#include "link/ResultBox.h"

#include "link/LogText.h"

#include <gtest/gtest.h>

#include <random>

namespace {

using namespace vorlanx::link;

// The running count gives what counting the whole text gives, however the text arrives: a CRLF
// split over two appends, empty pieces, a tail without a line end.
TEST(ResultBox, RunningCountMatchesTheCountOfTheWholeText) {
    ResultBox box;
    EXPECT_EQ(box.successCount(), 0u);
    EXPECT_EQ(box.append("127.0.0.1:3000|设置成功\r"), 1u);
    EXPECT_EQ(box.append("\n"), 1u);
    EXPECT_EQ(box.append("\r\n\r\n"), 3u);
    EXPECT_EQ(box.append("tail"), 4u);
    box.clear();
    EXPECT_EQ(box.successCount(), 0u);

    std::mt19937 random(7);
    const char* pieces[] = {"\r", "\n", "\r\n", "a", "设置成功", ""};
    for (int round = 0; round < 2000; ++round) {
        const std::size_t count = box.append(pieces[random() % 6]);
        ASSERT_EQ(count, countLinePieces(box.text())) << "round " << round;
    }
}

} // namespace
