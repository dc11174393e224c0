#include "convert/slidingbox.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <vector>

using namespace mosaiq;

TEST(SlidingBox, isTheBoxOfTheWindowsCellsHoweverItsEndsMove)
{
    // Windows that grow, slide and shrink to one cell, their start asked often or seldom, the
    // box checked against the cells themselves.
    std::mt19937 random(5);
    SlidingBox window;
    for (int trial = 0; trial < 200; ++trial) {
        const std::size_t count = 1 + random() % 300;
        std::vector<double> channels[3];
        for (auto& channel : channels) {
            for (std::size_t i = 0; i < count; ++i)
                channel.push_back(double(int(random() % 2001) - 1000) / 10.0);
        }
        window.reset(channels[0].data(), channels[1].data(), channels[2].data(), count);
        std::size_t first = 0;
        for (std::size_t end = 1; end <= count; ++end) {
            window.push();
            const auto move = random() % 8;
            if (move == 0)
                first = end - 1;
            else if (move < 4)
                first = std::min(end - 1, first + random() % 3);
            double low[3], high[3];
            window.box(first, low, high);
            for (std::size_t c = 0; c < 3; ++c) {
                const auto [least, greatest]
                    = std::minmax_element(channels[c].begin() + std::ptrdiff_t(first),
                        channels[c].begin() + std::ptrdiff_t(end));
                ASSERT_EQ(low[c], *least) << trial << " from " << first << " to " << end;
                ASSERT_EQ(high[c], *greatest) << trial << " from " << first << " to " << end;
            }
        }
    }
}
