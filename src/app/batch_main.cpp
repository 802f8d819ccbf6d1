// veltmoor-batch: the simulator without a window.
#include <iostream>

#include "batch/batch_cli.h"
#include "render/headless_app.h"

int main(int argc, char** argv) {
  const auto app = veltmoor::StartHeadlessApplication(argv[0]);
  return veltmoor::RunBatch(argc, argv, std::cout, std::cerr);
}
