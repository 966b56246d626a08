#include "ui/percent.h"

#include <gtest/gtest.h>

TEST(ShownPercent, RoundsUpAndStopsAt100) {
    PercentCount count{100, 1};  // 1 byte of 10 000
    EXPECT_EQ(1, shown_percent(count));
    count.bytes_done = 100;
    EXPECT_EQ(1, shown_percent(count));
    count.bytes_done = 101;
    EXPECT_EQ(2, shown_percent(count));
    count.bytes_done = 10000;
    EXPECT_EQ(100, shown_percent(count));
    count.bytes_done = 25000;  // a mailbox that grew while we read it
    EXPECT_EQ(100, shown_percent(count));
    count.bytes_done = 0;
    EXPECT_EQ(0, shown_percent(count));
}

TEST(ShownPercent, FractionalBase) {
    PercentCount count{0.03, 1};  // 3 bytes in all
    EXPECT_EQ(34, shown_percent(count));
    count.bytes_done = 3;
    EXPECT_EQ(100, shown_percent(count));
}

TEST(ShownPercent, ZeroBaseShowsZero) {
    PercentCount count{0, 0};
    EXPECT_EQ(0, shown_percent(count));
    count.bytes_done = 500;
    EXPECT_EQ(0, shown_percent(count));
}

// Adding up 0.01 per report drifts above whole numbers and would show one percent too many.
TEST(ShownPercent, ManySmallReportsLandOnWholeNumbers) {
    PercentCount count{100, 0};
    for (int i = 1; i <= 10000; ++i) {
        count.bytes_done += 1;
        if (i % 100 == 0) {
            ASSERT_EQ(i / 100, shown_percent(count)) << i;
        }
    }
    count = {1234567.89, 0};
    for (int i = 0; i < 100; ++i) count.bytes_done += 1234567;
    EXPECT_EQ(100, shown_percent(count));
}

// Byte counts past 4 GiB: carried in 32 bits, the bar would fall back to the start.
TEST(ShownPercent, ExactPastFourGibibytes) {
    const std::uint64_t gib = 1ull << 30;
    PercentCount count{static_cast<double>(6 * gib) / 100, 3 * gib};
    EXPECT_EQ(50, shown_percent(count));
    count.bytes_done = 3 * gib + 1;
    EXPECT_EQ(51, shown_percent(count));
    count.bytes_done = 5 * gib;  // 83.3
    EXPECT_EQ(84, shown_percent(count));
    count.bytes_done = 6 * gib - 1;
    EXPECT_EQ(100, shown_percent(count));
    count = {static_cast<double>(300 * gib) / 100, 3 * gib};  // 1 % of 300 GiB
    EXPECT_EQ(1, shown_percent(count));
    count.bytes_done = 3 * gib + 1;
    EXPECT_EQ(2, shown_percent(count));
}

TEST(PercentTexts, TitleIsPaddedLabelIsNot) {
    EXPECT_EQ("  0 % - parcelo", minimised_title(0));
    EXPECT_EQ("  7 % - parcelo", minimised_title(7));
    EXPECT_EQ("100 % - parcelo", minimised_title(100));
    EXPECT_EQ("7 %", percent_text(7));
    EXPECT_EQ("100 %", percent_text(100));
}

TEST(CentredPosition, NinetyPixelsAboveTheMiddle) {
    ScreenPoint place = centred_position(1024, 768, 19, 505, 195);
    EXPECT_EQ(259, place.x);
    EXPECT_EQ(187, place.y);
    place = centred_position(1025, 769, 19, 505, 195);  // odd sizes round down
    EXPECT_EQ(260, place.x);
    EXPECT_EQ(187, place.y);
    place = centred_position(400, 200, 20, 505, 195);  // a screen smaller than the window
    EXPECT_EQ(-53, place.x);
    EXPECT_EQ(-98, place.y);
}
