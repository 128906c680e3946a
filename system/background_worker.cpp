#include "system/background_worker.h"

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

void BackgroundWorker::run() {
  for (;;) {
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
    }
    changed_.notify_all();
  }
}

}  // namespace korva
