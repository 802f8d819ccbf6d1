// The connectivity table and the graph measures taken from the hop distances: each node's
// mean path length (ML) and local measure (loc), the network's MeanLength, the node colours
// on the gradient, and the distribution of segments per node.
#pragma once

#include <ostream>
#include <vector>

#include "simulation/simulation.h"

namespace veltmoor {

// Writes StringGrid1, MeanLength and Lbl_ml from PathMatrix, then colours the nodes by loc
// (CB_locMeas ticked) or ML. Expects ComputeAllPaths to have run on the current NodeList;
// nodes made since then are listed without distances. With no node MeanLength is 0.
void FillConnectivityTable(Simulation& sim);

// Scales one value per node to 0..1 between their minimum and maximum, shaped by
// ColourExponent, and overwrites `values` with the result, which also becomes each node's
// Measure, sML cell and gradient colour; the nodes are redrawn at once. When all values are
// equal they stay unscaled; one outside 0..1 takes the colour of the gradient's nearer end.
void ScaleAndColourNodes(Simulation& sim, std::vector<double>& values);

// Rebuilds Ser_Edges: one bar per number of segments that some node has, in ascending
// order. Degrees above eight get bars of their own like the others.
void ShowDegreeHistogram(Simulation& sim);

// Every cell text of StringGrid1, row by row, comma-separated; a text holding a comma (the
// decimal comma), a quote or a line break is quoted.
void WriteConnectivityTableCsv(const Simulation& sim, std::ostream& out);

}  // namespace veltmoor
