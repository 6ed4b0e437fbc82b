// The time fields' rules on their own, as the Win32 window applies them to an edit box.

#include "ui/TimeRules.h"

#include <gtest/gtest.h>

namespace {

using namespace vorlanx::ui;

TimeFieldState field(const char* text, int start, int length = 2) {
    return withSelection({text, 0, 0}, start, length);
}

TEST(TimeRules, ClickSelectsThePartAtTheCaret) {
    EXPECT_EQ(selectTimePart(field("05:00:01", 2, 0)).start, 0);
    EXPECT_EQ(selectTimePart(field("05:00:01", 5, 0)).start, 3);
    const auto end = selectTimePart(field("05:00:01", 8, 0));
    EXPECT_EQ(end.start, 6);
    EXPECT_EQ(end.length, 2);
    // A start past the end reads as the length, a negative one as 0.
    EXPECT_EQ(field("05:00:01", 12, 0).start, 8);
    EXPECT_EQ(field("05:00:01", -3, 0).start, 0);
}

TEST(TimeRules, ArrowsMoveBetweenPartsAndStep) {
    EXPECT_EQ(pressTimeKey(field("05:00:01", 6), TimeKey::Right).start, 0); // seconds wrap to hours
    EXPECT_EQ(pressTimeKey(field("05:00:01", 0), TimeKey::Right).start, 3);
    EXPECT_EQ(pressTimeKey(field("05:00:01", 0), TimeKey::Left).start, 0); // no wrap to the left
    EXPECT_EQ(pressTimeKey(field("05:00:01", 6), TimeKey::Left).start, 3);
    EXPECT_EQ(pressTimeKey(field("23:00:59", 0), TimeKey::Up).text, "00:00:59");
    EXPECT_EQ(pressTimeKey(field("23:00:59", 3), TimeKey::Down).text, "23:59:59");
    EXPECT_EQ(stepTime(field("23:00:59", 6), 1).text, "23:00:00");
    const auto nothingSelected = stepTime(field("05:30:01", 4, 0), 1);
    EXPECT_EQ(nothingSelected.text, "06:30:01"); // the hours
    EXPECT_EQ(nothingSelected.start, 0);
    EXPECT_EQ(nothingSelected.length, 2);
}

TEST(TimeRules, DigitsTypeIntoTheSelectedPart) {
    auto f = field("05:30:01", 0);
    f = typeTimeCharacter(f, U'1');
    EXPECT_EQ(f.text, "01:30:01");
    f = typeTimeCharacter(f, U'2');
    EXPECT_EQ(f.text, "12:30:01");
    f = typeTimeCharacter(f, U'3');
    EXPECT_EQ(f.text, "03:30:01"); // 123 > 23 starts again from 3
    EXPECT_EQ(f.start, 0);
    EXPECT_EQ(typeTimeCharacter(field("15:00:01", 0), U'7').text, "07:00:01");
    EXPECT_EQ(typeTimeCharacter(field("15:00:05", 6), U'9').text, "15:00:59");
    // A letter, and a full-width digit, type a 0.
    EXPECT_EQ(typeTimeCharacter(field("15:05:00", 3), U'x').text, "15:50:00");
    EXPECT_EQ(typeTimeCharacter(field("15:12:00", 3), U'５').text, "15:00:00");
    // With nothing selected the part under the caret takes the digit.
    EXPECT_EQ(typeTimeCharacter(field("15:12:00", 7, 0), U'4').text, "15:12:04");
}

} // namespace
