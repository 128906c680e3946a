#include "support/background_worker.h"

#include <system_error>
#include <utility>

namespace korva {

BackgroundWorker::BackgroundWorker() {
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
  }
  changed_.notify_all();
  thread_.join();
}

void BackgroundWorker::start(std::function<void()> job) {
  if (!thread_.joinable()) {
    job();
    return;
  }
  {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return !job_; });
    job_ = std::move(job);
  }
  changed_.notify_all();
}

void BackgroundWorker::wait() {
  if (!thread_.joinable()) return;
  std::unique_lock lock(mutex_);
  changed_.wait(lock, [this] { return !job_; });
}

bool BackgroundWorker::busy() {
  if (!thread_.joinable()) return false;
  const std::lock_guard lock(mutex_);
  return static_cast<bool>(job_);
}

void BackgroundWorker::run() {
  std::unique_lock lock(mutex_);
  for (;;) {
    changed_.wait(lock, [this] { return job_ || stopping_; });
    if (!job_) return;
    lock.unlock();
    job_();
    lock.lock();
    job_ = nullptr;
    changed_.notify_all();
  }
}

}  // namespace korva
