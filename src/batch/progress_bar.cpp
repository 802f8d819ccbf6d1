#include "batch/progress_bar.h"

#include <unistd.h>
#include <algorithm>

namespace veltmoor {

ProgressBar::ProgressBar(std::ostream& out, bool enabled, std::string label)
    : out_(out), enabled_(enabled), label_(std::move(label)) {}

ProgressBar::~ProgressBar() {
  Finish();
}

void ProgressBar::Update(double fraction) {
  if (!enabled_ || finished_) {
    return;
  }
  const int percent = static_cast<int>(std::clamp(fraction, 0.0, 1.0) * 100.0);
  if (percent == shown_) {
    return;
  }
  shown_ = percent;
  constexpr int kWidth = 40;
  const int filled = percent * kWidth / 100;
  out_ << '\r' << label_ << " [" << std::string(filled, '#') << std::string(kWidth - filled, ' ')
       << "] " << percent << '%' << std::flush;
}

void ProgressBar::Finish() {
  if (enabled_ && !finished_ && shown_ >= 0) {
    out_ << '\n' << std::flush;
  }
  finished_ = true;
}

bool StderrIsTerminal() {
  return ::isatty(STDERR_FILENO) == 1;
}

}  // namespace veltmoor
