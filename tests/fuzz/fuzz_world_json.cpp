// What `run --from`, `analyse --from` and the desktop program read: a world.json from
// anywhere. Damage must be refused with a message (WorldFileError), never crash, hang, throw
// anything else or take memory beyond the world the file holds; what is accepted must
// restore into the world it describes, down to its grids' shapes.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "simulation/world_json.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  try {
    const veltmoor::WorldDocument world = veltmoor::ParseWorldJson(text);
    const auto cells = static_cast<std::size_t>(world.columns) * world.rows;
    if (world.coarse.Cells().size() != cells || world.fine.Cells().size() != 9 * cells ||
        world.nodes.size() != world.node_count) {
      std::abort();
    }
  } catch (const veltmoor::WorldFileError&) {
  }
  return 0;
}
