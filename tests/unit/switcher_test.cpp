// Which task the switcher shows in its first row: the selected one sits in the middle row,
// and the rows wrap around the end of the task table.
#include <gtest/gtest.h>

#include "shell/switcher.h"

namespace {

TEST(SwitcherRows, TheSelectionSitsInTheMiddleRowAndTheRowsWrap) {
    struct {
        int selected, count, rows, first;
    } const kCases[] = {
        {1, 2, 2, 0},  {0, 2, 2, 1},                 // two tasks: the selected one in row 1
        {0, 3, 3, 2},                                // entries 2, 0, 1
        {1, 10, 7, 8}, {9, 10, 7, 6}, {0, 10, 7, 7}, // seven of ten, selected in row 3
        {3, 7, 7, 0},
    };
    for (const auto& c : kCases)
        EXPECT_EQ(FirstSwitcherRow(c.selected, c.count, c.rows), c.first)
            << c.selected << " of " << c.count << " in " << c.rows << " rows";
}

} // namespace
