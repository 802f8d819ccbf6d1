// Planting nodes and re-classifying the coarse cells around the network into the candidate
// sites on which the street network grows next; and the pixel distance every geometric
// operation of the program uses.
#pragma once

#include <cstdint>

#include "simulation/growth_sink.h"
#include "simulation/world.h"

namespace veltmoor {

// Euclidean distance of two pixels, squares summed in 32-bit floats, rounded half to even.
int PixelDistance(int x1, int y1, int x2, int y2);

// Appends a node in `cell` to NodeList, reports it (numbered when asked), and rebuilds the
// candidate sites. No test for an existing node: a second node may share the cell.
TAgent& CreateNode(const GrowthContext& growth, TCell& cell);

// What the 3 x 3 block of coarse cells around a cell holds.
enum class NeighbourhoodClass : std::uint8_t {
  kFarFromNodes = 0,
  kNodeNearby = 1,        // a node cell
  kNextToNodeNearby = 2,  // no node cell, but a cell next to a node
};

NeighbourhoodClass ClassifyNeighbourhood(const World& world, int column, int row);

// Classifies a cell that holds no node and writes the State that follows: 2 next to a node,
// 3 a candidate site; a free cell far from the network keeps its State. Returns the class.
NeighbourhoodClass MarkNeighbourhoodState(World& world, TCell& cell);

// Two full sweeps over CellGrid; the list is emptied once, so cells listed in both sweeps
// appear twice (and get two draws in network growth).
void UpdateCandidateSites(World& world);

// The same result after a new node in (column, row), from the cells around it alone while
// the world's States are known to follow from its nodes; otherwise the two full sweeps.
void UpdateCandidateSitesAround(World& world, int column, int row);

}  // namespace veltmoor
