// A loop over the rows of a grid run in two halves at once: the upper half on one helper
// thread, the lower half on the caller's. The simulation owns one, so the helper lives as
// long as the world it works for, and the passes of a step do not start threads.
#pragma once

#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

namespace veltmoor {

class RowSplitter {
 public:
  RowSplitter() = default;
  RowSplitter(const RowSplitter&) = delete;
  RowSplitter& operator=(const RowSplitter&) = delete;
  ~RowSplitter();

  // body(first, end) for rows [first, end). Rows must be independent in `body`, so the
  // result is the same as one loop's. Small grids, and a second caller while the helper is
  // busy, run on the caller's thread alone.
  void ForRows(int rows, int columns, const std::function<void(int, int)>& body);

 private:
  void Serve();

  std::mutex busy_;  // one caller at a time
  std::mutex mutex_;
  std::condition_variable wake_;
  std::condition_variable finished_;
  std::function<void()> job_;
  bool done_ = true;
  bool stop_ = false;
  std::thread helper_;
};

}  // namespace veltmoor
