#include "ui/Placement.h"

#include <gtest/gtest.h>

namespace
{

TEST(Placement, CentredOverTheOwnerAndKeptOnTheWorkArea)
{
    const RECT work = {0, 0, 1280, 760}; // a task bar below
    const struct
    {
        const char* what;
        RECT window, over;
        POINT expected;
    } cases[] = {
        {"centred on the work area", {0, 0, 600, 400}, work, {340, 180}},
        {"odd sizes round down", {0, 0, 601, 401}, work, {339, 179}},
        {"centred on its owner", {0, 0, 200, 100}, {100, 100, 500, 300}, {200, 150}},
        {"owner at the right edge: kept inside", {0, 0, 400, 200}, {1100, 100, 1280, 300}, {880, 100}},
        {"owner partly above the top", {0, 0, 400, 300}, {100, -200, 500, 0}, {100, 0}},
        {"larger than the work area: its corner inside", {0, 0, 1400, 900}, work, {0, 0}},
        {"a second monitor to the left", {0, 0, 200, 100}, {-1000, 0, -600, 300}, {0, 100}},
    };
    for (const auto& c : cases)
    {
        const POINT at = UI::CentredOrigin(c.window, c.over, work);
        EXPECT_EQ(at.x, c.expected.x) << c.what;
        EXPECT_EQ(at.y, c.expected.y) << c.what;
    }
}

} // namespace
