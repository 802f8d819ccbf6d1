#include "simulation/row_splitter.h"

namespace veltmoor {

RowSplitter::~RowSplitter() {
  {
    std::lock_guard lock(mutex_);
    stop_ = true;
  }
  wake_.notify_one();
  if (helper_.joinable()) {
    helper_.join();
  }
}

void RowSplitter::ForRows(int rows, int columns, const std::function<void(int, int)>& body) {
  // Below this many cells a pass takes less than handing half of it to another thread.
  constexpr long long kCellsWorthSplitting = 16384;
  std::unique_lock caller(busy_, std::try_to_lock);
  if (!caller.owns_lock() || static_cast<long long>(rows) * columns < kCellsWorthSplitting) {
    body(0, rows);
    return;
  }
  const int middle = rows / 2;
  {
    std::lock_guard lock(mutex_);
    if (!helper_.joinable()) {
      helper_ = std::thread([this] { Serve(); });
    }
    job_ = [&body, middle, rows] { body(middle, rows); };
    done_ = false;
  }
  wake_.notify_one();
  body(0, middle);
  std::unique_lock lock(mutex_);
  finished_.wait(lock, [this] { return done_; });
}

void RowSplitter::Serve() {
  std::unique_lock lock(mutex_);
  for (;;) {
    wake_.wait(lock, [this] { return stop_ || job_ != nullptr; });
    if (stop_) {
      return;
    }
    auto job = std::move(job_);
    job_ = nullptr;
    lock.unlock();
    job();
    lock.lock();
    done_ = true;
    finished_.notify_one();
  }
}

}  // namespace veltmoor
