// The application object of a program that paints pictures without a window (veltmoor-batch,
// the benchmarks): offscreen unless the user names another platform, and without Qt's
// start-up notes on stderr.
#pragma once

#include <QGuiApplication>
#include <memory>

namespace veltmoor {

std::unique_ptr<QGuiApplication> StartHeadlessApplication(char* program_name);

}  // namespace veltmoor
