#include "convert/cheapestrun.h"

#include <gtest/gtest.h>

#include <array>
#include <random>

using namespace mosaiq;

TEST(CheapestRun, findsTheLeastPriceBelowTheLimitAndItsLastPlace)
{
    // Few distinct values, so that the least is often shared; every count up to a multiple of
    // four, the values past it cheaper than any, which must not be taken.
    std::mt19937 random(3);
    for (int trial = 0; trial < 2000; ++trial) {
        const std::size_t count = random() % 25;
        std::array<double, 28> costs {}, roots {}, prices {};
        for (std::size_t r = 0; r < costs.size(); ++r) {
            costs[r] = r < count ? double(random() % 6) : -1000.0;
            roots[r] = double(random() % 3) / 4.0;
        }
        const double weight = 2.0, extra = 23.0;
        const double limit = 23.0 + double(random() % 8);
        double expected = limit;
        std::size_t expectedPlace = 0;
        for (std::size_t r = 0; r < count; ++r) {
            const double price = costs[r] + extra + weight * roots[r];
            if (price < expected || (price == expected && price < limit)) {
                expected = price;
                expectedPlace = r;
            }
        }
        std::size_t place = 99;
        const double least = cheapestRun(
            costs.data(), roots.data(), weight, extra, prices.data(), count, limit, place);
        ASSERT_EQ(least, expected) << trial;
        if (expected < limit) {
            ASSERT_EQ(place, expectedPlace) << trial;
        }
        // The prices kept, searched again once a run is set aside, give the same cheapest.
        std::size_t again = 99;
        ASSERT_EQ(cheapestOf(prices.data(), count, limit, again), expected) << trial;
        if (expected < limit) {
            ASSERT_EQ(again, expectedPlace) << trial;
        }
    }
}
