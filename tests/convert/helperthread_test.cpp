#include "convert/helperthread.h"

#include <gtest/gtest.h>

#include <atomic>
#include <stdexcept>
#include <thread>

using namespace mosaiq;

TEST(HelperThread, runsEachJobOnItsOwnThreadAndHandsBackWhatItThrew)
{
    HelperThread helper;
    std::thread::id ranOn;
    int total = 0;
    for (int job = 1; job <= 50; ++job) {
        helper.start([&, job] {
            ranOn = std::this_thread::get_id();
            total += job;
        });
        helper.wait();
    }
    EXPECT_EQ(total, 50 * 51 / 2);
    EXPECT_NE(ranOn, std::this_thread::get_id());

    helper.start([] { throw std::runtime_error("plein"); });
    EXPECT_THROW(helper.wait(), std::runtime_error);
    // The thread serves on after a job that failed.
    helper.start([&] { total = -1; });
    helper.wait();
    EXPECT_EQ(total, -1);
}
