#include "link/ResultBox.h"

#include "link/LogText.h"

#include <gtest/gtest.h>

#include <cstdint>
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

// A trimmed box holds what an untrimmed one holds from the start of its last complete lines on,
// and counts the same, whichever way the CRLFs fall across appends.
TEST(ResultBox, KeepsItsLastLinesAndCountsEverything) {
    ResultBox whole(SIZE_MAX), trimmed(3);
    std::mt19937 random(11);
    const char* pieces[] = {"\r", "\n", "\r\n", "a", "设置成功\r\n", "b\r\nc\r\n"};
    for (int round = 0; round < 5000; ++round) {
        const char* piece = pieces[random() % 6];
        ASSERT_EQ(trimmed.append(piece), whole.append(piece)) << "round " << round;
        const std::string all = whole.text();
        // Start of the last three complete lines of the whole text.
        std::size_t from = all.size();
        const std::size_t lastEnd = all.rfind(kLineEnd);
        if (lastEnd != std::string::npos) {
            from = lastEnd + 2;
            for (int lines = 0; lines < 3 && from > 0; ++lines) {
                const std::size_t before = from >= 3 ? all.rfind(kLineEnd, from - 3) : std::string::npos;
                from = before == std::string::npos ? 0 : before + 2;
            }
        } else {
            from = 0;
        }
        ASSERT_EQ(trimmed.text(), all.substr(from)) << "round " << round;
    }
}

} // namespace
