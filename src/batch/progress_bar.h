// A one-line progress bar on a terminal; silent when the stream is not a terminal, so logs
// and pipes stay clean.
#pragma once

#include <ostream>
#include <string>

namespace veltmoor {

class ProgressBar {
 public:
  ProgressBar(std::ostream& out, bool enabled, std::string label);
  ~ProgressBar();
  // fraction in 0..1; redraws only when the shown percentage changes.
  void Update(double fraction);
  void Finish();

 private:
  std::ostream& out_;
  bool enabled_;
  std::string label_;
  int shown_ = -1;
  bool finished_ = false;
};

// Whether standard error is a terminal.
bool StderrIsTerminal();

}  // namespace veltmoor
