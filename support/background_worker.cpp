#include "support/background_worker.h"

#include <chrono>
#include <system_error>
#include <utility>

#if defined(__x86_64__) || defined(__i386__) || defined(_M_X64) || defined(_M_IX86)
#include <immintrin.h>
#endif

namespace korva {
namespace {

// A thread that sleeps gives its processor back; waking it again takes a
// few microseconds, but in a virtual machine an idle processor sometimes
// takes a millisecond or more to come back. The owner hands the worker a
// job every millisecond or two while it assembles, and waits for it now and
// then, so each side watches this long for the other before it sleeps.
constexpr auto kWatchTime = std::chrono::microseconds(500);

void pause_briefly() {
#if defined(__x86_64__) || defined(__i386__) || defined(_M_X64) || defined(_M_IX86)
  _mm_pause();
#else
  std::this_thread::yield();
#endif
}

}  // namespace

BackgroundWorker::BackgroundWorker() : watch_first_(std::thread::hardware_concurrency() > 1) {
  try {
    thread_ = std::thread([this] { run(); });
  } catch (const std::system_error&) {
    // Jobs run on the caller's thread instead.
  }
}

BackgroundWorker::~BackgroundWorker() {
  if (!thread_.joinable()) return;
  {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return !job_; });
    stopping_ = true;
    // Ends the worker's watch for a job.
    has_job_.store(true, std::memory_order_release);
  }
  changed_.notify_all();
  thread_.join();
}

bool BackgroundWorker::watch_for(bool wanted) const {
  if (!watch_first_) return false;
  const auto until = std::chrono::steady_clock::now() + kWatchTime;
  for (;;) {
    // The clock is read only every so often: reading it costs more than a
    // look at the flag.
    for (int i = 0; i < 64; ++i) {
      if (has_job_.load(std::memory_order_acquire) == wanted) return true;
      pause_briefly();
    }
    if (std::chrono::steady_clock::now() >= until) return false;
  }
}

void BackgroundWorker::start(std::function<void()> job) {
  if (!thread_.joinable()) {
    job();
    return;
  }
  watch_for(false);
  {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return !job_; });
    job_ = std::move(job);
    has_job_.store(true, std::memory_order_release);
  }
  changed_.notify_all();
}

void BackgroundWorker::wait() {
  if (!thread_.joinable()) return;
  // What the job wrote is seen once the flag is: the worker clears it after.
  if (watch_for(false)) return;
  std::unique_lock lock(mutex_);
  changed_.wait(lock, [this] { return !job_; });
}

void BackgroundWorker::run() {
  for (;;) {
    watch_for(true);
    {
      std::unique_lock lock(mutex_);
      changed_.wait(lock, [this] { return job_ || stopping_; });
      if (!job_) return;
    }
    // Nothing else touches the job while it is set.
    job_();
    {
      const std::lock_guard lock(mutex_);
      job_ = nullptr;
      has_job_.store(false, std::memory_order_release);
    }
    changed_.notify_all();
  }
}

}  // namespace korva
