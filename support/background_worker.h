// One long-lived thread that runs one job at a time for its owner, so that
// file transfers and decoding overlap the owner's own work without starting
// a thread per job.
#pragma once

#include <atomic>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

namespace korva {

class BackgroundWorker {
 public:
  BackgroundWorker();
  ~BackgroundWorker();  // waits for the running job, then ends the thread
  BackgroundWorker(const BackgroundWorker&) = delete;
  BackgroundWorker& operator=(const BackgroundWorker&) = delete;

  // Waits for the previous job, then hands `job` to the thread. Without a
  // thread (none could be started) the job runs here, before start returns.
  void start(std::function<void()> job);
  // Returns once the last job handed over has finished.
  void wait();
  // Whether a job is waiting or running: start() would wait.
  bool busy() const { return has_job_.load(std::memory_order_acquire); }

 private:
  void run();
  // Watches `has_job_` for a while until it reads `wanted`, without
  // sleeping; false if it did not within the while.
  bool watch_for(bool wanted) const;

  std::mutex mutex_;
  std::condition_variable changed_;
  std::function<void()> job_;  // set while a job waits or runs
  // Whether job_ is set, readable without the mutex.
  std::atomic<bool> has_job_{false};
  bool stopping_ = false;
  // Whether a thread that is about to sleep should first watch for a while:
  // only where the two threads can run at once.
  const bool watch_first_;
  std::thread thread_;  // last, so it starts after the members it uses
};

}  // namespace korva
