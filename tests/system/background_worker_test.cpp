#include "system/background_worker.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

namespace korva {
namespace {

TEST(BackgroundWorker, RunsJobsOneAtATimeInOrder) {
  std::vector<int> order;
  std::atomic<int> running{0};
  bool overlapped = false;
  {
    BackgroundWorker worker;
    for (int i = 0; i < 200; ++i) {
      worker.start([&order, &running, &overlapped, i] {
        if (running.fetch_add(1) != 0) overlapped = true;
        order.push_back(i);
        running.fetch_sub(1);
      });
    }
    worker.wait();
    ASSERT_EQ(order.size(), 200u);
    for (int i = 0; i < 200; ++i) EXPECT_EQ(order[static_cast<std::size_t>(i)], i);
    EXPECT_FALSE(overlapped);
  }
}

// Jobs of every length: wait() returns only once the job's writes are seen.
TEST(BackgroundWorker, WaitSeesWhatJobsOfEveryLengthWrote) {
  BackgroundWorker worker;
  for (const auto length : {std::chrono::microseconds(0), std::chrono::microseconds(100),
                            std::chrono::microseconds(3000)}) {
    std::vector<int> written;
    for (int i = 0; i < 5; ++i) {
      worker.start([&written, length, i] {
        std::this_thread::sleep_for(length);
        written.push_back(i);
      });
      worker.wait();
      EXPECT_EQ(written.size(), static_cast<std::size_t>(i + 1)) << length.count() << " us";
    }
  }
}

TEST(BackgroundWorker, WaitAndDestructionWaitForTheRunningJob) {
  std::atomic<bool> finished{false};
  {
    BackgroundWorker worker;
    worker.start([&finished] {
      std::this_thread::sleep_for(std::chrono::milliseconds(30));
      finished = true;
    });
    worker.wait();
    EXPECT_TRUE(finished);
    finished = false;
    worker.start([&finished] {
      std::this_thread::sleep_for(std::chrono::milliseconds(30));
      finished = true;
    });
  }
  EXPECT_TRUE(finished) << "the worker ended before its job";
}

}  // namespace
}  // namespace korva
