// For tests of code that must never wait on a FIFO: watches a FIFO and, should a reader still be
// waiting on it after two seconds, notes that and lets the reader go (by opening and closing the
// writing end), so that a faulty program fails its test instead of hanging it. A program that
// does not wait is done long before the watch looks, so the watch never mistakes it.
#pragma once

#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>

namespace app {

class FifoReaderWatch {
  public:
    explicit FifoReaderWatch(std::string path)
        : path_(std::move(path)), thread_([this] { Watch(); }) {}
    ~FifoReaderWatch() {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            stop_ = true;
        }
        wake_.notify_all();
        thread_.join();
    }
    FifoReaderWatch(const FifoReaderWatch&) = delete;
    FifoReaderWatch& operator=(const FifoReaderWatch&) = delete;

    // Whether a reader waited on the FIFO.
    bool ReaderWaited() const { return waited_; }

  private:
    void Watch() {
        std::unique_lock<std::mutex> lock(mutex_);
        if (wake_.wait_for(lock, std::chrono::seconds(2), [this] { return stop_; })) return;
        while (!wake_.wait_for(lock, std::chrono::milliseconds(10), [this] { return stop_; })) {
            // Succeeds only while a reader has the FIFO open.
            const int fd = ::open(path_.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
            if (fd >= 0) {
                waited_ = true;
                ::close(fd);
            }
        }
    }

    std::string path_;
    std::mutex mutex_;
    std::condition_variable wake_;
    bool stop_ = false;
    std::atomic<bool> waited_{false};
    std::thread thread_;
};

} // namespace app
