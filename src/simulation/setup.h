// Building a fresh world from the current settings, and freeing it again.
#pragma once

#include <cstdint>
#include <stdexcept>

#include "simulation/simulation.h"

namespace veltmoor {

// A world too large for the memory there is; nothing was allocated or freed.
class WorldSizeError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Bytes a new world takes before it grows: the three picture layers of the drawing area and,
// per coarse cell, the cell, its nine fine cells and its potential.
std::uint64_t WorldBytes(std::int64_t width, std::int64_t height, std::int64_t cell_size);

// The memory a world may take: the machine's physical memory, or less when the process is
// limited.
std::uint64_t MemoryBudget();

// Throws WorldSizeError, naming the bytes needed and the largest number of cells that fits,
// when the world of that drawing area and SE_cellScale would not fit in `budget` bytes.
void CheckWorldFits(std::int64_t width, std::int64_t height, std::int64_t cell_size,
                    std::uint64_t budget);
// The same for the next world of `sim` (its drawing area and settings) and MemoryBudget().
void CheckWorldFits(const Simulation& sim);

// Builds the world for a drawing area of sim.map.PanelWidth x sim.map.PanelHeight pixels and, when
// "start with initial street" is ticked, plants the first node in the middle.
void NewSetup(Simulation& sim);

// The two halves of building a world around its cells. BeginWorld makes the layers of the
// drawing area, zeroes the counters, sizes the world from SE_cellScale and empties its
// lists; EndWorld sizes the scratch grids and shows the labels, charts and values of a world
// that has not run. NewSetup puts fresh cells between them, a restored world its own.
void BeginWorld(Simulation& sim);
void EndWorld(Simulation& sim);

// The first node of a new world's network, in its middle cell.
void PlantCentreNode(Simulation& sim);

// Frees every object of the world and clears the charts and series that describe it.
void ClearWorld(Simulation& sim);

// "new setup": ClearWorld then NewSetup; a world that would not fit is refused before the
// old one is cleared. The step timer and FieldType are left alone.
void B_setupClick(Simulation& sim);

}  // namespace veltmoor
