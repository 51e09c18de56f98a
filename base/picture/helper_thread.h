#pragma once
// A second core for the picture work: one helper thread that runs one job at
// a time while the caller goes on with its own share.
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

namespace mirabo {

// Start() hands over a job once the previous one is done; Wait() returns
// once the last job is done. Destroying it waits for the job in hand.
class Helper {
 public:
  Helper() : thread_([this] { Run(); }) {}
  Helper(const Helper&) = delete;
  Helper& operator=(const Helper&) = delete;
  ~Helper() {
    {
      std::unique_lock lock(mutex_);
      idle_.wait(lock, [this] { return !job_; });
      quit_ = true;
    }
    wake_.notify_one();
    thread_.join();
  }
  void Start(std::function<void()> job) {
    std::unique_lock lock(mutex_);
    idle_.wait(lock, [this] { return !job_; });
    job_ = std::move(job);
    wake_.notify_one();
  }
  void Wait() {
    std::unique_lock lock(mutex_);
    idle_.wait(lock, [this] { return !job_; });
  }

 private:
  void Run() {
    std::unique_lock lock(mutex_);
    for (;;) {
      wake_.wait(lock, [this] { return quit_ || job_; });
      if (!job_) return;
      lock.unlock();
      job_();
      lock.lock();
      job_ = nullptr;
      idle_.notify_all();
    }
  }
  std::mutex mutex_;
  std::condition_variable wake_, idle_;
  std::function<void()> job_;
  bool quit_ = false;
  std::thread thread_;
};

}  // namespace mirabo
