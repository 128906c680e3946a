// One long-lived thread that runs one job at a time for its owner, so that
// work nobody waits for (closing the files an assembly replaced) overlaps
// the owner's own without starting a thread per job.
#pragma once

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

 private:
  void run();

  std::mutex mutex_;
  std::condition_variable changed_;
  std::function<void()> job_;  // set while a job waits or runs
  bool stopping_ = false;
  std::thread thread_;  // last, so it starts after the members it uses
};

}  // namespace korva
