// Street networks laid out node by node for the path and table tests: nodes without a map,
// segments added in the order a test needs them.
#pragma once

#include <memory>

#include "support/test_simulation.h"
#include "support/test_world.h"

namespace veltmoor::testing {

struct PathNetwork {
  explicit PathNetwork(int nodes) {
    for (int i = 0; i < nodes; ++i) {
      AddNode();
    }
  }

  void AddNode() {
    world().NodeList.push_back(std::make_unique<TAgent>());
    world().NodeCount = static_cast<std::uint32_t>(world().NodeList.size());
  }
  void Link(int a, int b) { testing::Link(world(), a, b); }
  void Chain(int count) {
    for (int i = 0; i + 1 < count; ++i) {
      Link(i, i + 1);
    }
  }

  World& world() { return t.sim.world; }
  Simulation& sim() { return t.sim; }

  TestSimulation t;
};

}  // namespace veltmoor::testing
