// The progress bar's text: share, counts, detail and time left.
#include <gtest/gtest.h>

#include "tool/progress_bar.h"

namespace {

TEST(ProgressText, ShowsShareCountsDetailAndTimeLeft) {
    EXPECT_EQ(format_progress(50, 100, "2001/01/01", 10.0, 10), "[#####     ]  50%  50/100  2001/01/01  ETA 0:10");
    EXPECT_EQ(format_progress(100, 100, "", 10.0, 4), "[####] 100%  100/100");
    EXPECT_EQ(format_progress(1, 3, "", 65.0, 3), "[#  ]  33%  1/3  ETA 2:10");
    EXPECT_EQ(format_progress(7, 0, "read", 1.0, 10), "7  read");  // no total known
    EXPECT_EQ(format_progress(9, 4, "", 1.0, 4), "[####] 100%  4/4");  // never past the end
}

}  // namespace
