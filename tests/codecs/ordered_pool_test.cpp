#include "codecs/ordered_pool.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <stdexcept>
#include <thread>

using codecs::TOrderedPool;

TEST(OrderedPool, ReportsJobsInSubmissionOrderWhateverOrderTheyFinishIn) {
    for (int threads : {1, 3}) {
        std::vector<int> done;
        std::vector<int> results(40, -1);
        TOrderedPool pool(threads, [&](int i) {
            EXPECT_EQ(results[std::size_t(i)], i * i) << "reported before it finished";
            done.push_back(i);
        });
        for (int i = 0; i < 40; ++i)
            pool.Submit([&results, i] {
                // Early jobs take longest, so later ones finish first.
                std::this_thread::sleep_for(std::chrono::microseconds((40 - i) * 50));
                results[std::size_t(i)] = i * i;
            });
        pool.Wait();
        ASSERT_EQ(done.size(), 40u);
        for (int i = 0; i < 40; ++i)
            EXPECT_EQ(done[std::size_t(i)], i);
    }
}

TEST(OrderedPool, AFailingJobIsRethrownInItsTurnAndNothingAfterItIsReported) {
    std::vector<int> done;
    std::atomic<int> started{0};
    auto run = [&] {
        TOrderedPool pool(3, [&](int i) { done.push_back(i); });
        for (int i = 0; i < 30; ++i)
            pool.Submit([i, &started] {
                ++started;
                if (i == 4)
                    throw std::runtime_error("frame 4");
            });
        pool.Wait();
    };
    try {
        run();
        FAIL() << "no error";
    } catch (const std::runtime_error& e) {
        EXPECT_STREQ(e.what(), "frame 4");
    }
    EXPECT_EQ(done, (std::vector<int>{0, 1, 2, 3}));
    EXPECT_LT(started.load(), 30) << "the queue is bounded, so not every job was started";
}
