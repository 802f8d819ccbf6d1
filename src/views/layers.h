// What the display buttons draw on the map layers: land use, sub-states, candidate sites,
// the developed mask, the nodes in their own or in one grey colour. Views read the world and
// the analyses' results and change only colours; growth never calls them.
#pragma once

#include <string>

#include "display/canvas.h"
#include "simulation/colour_scale.h"
#include "simulation/simulation.h"

namespace veltmoor {

void DrawAllNodes(Simulation& sim);
void GreyAllNodes(Simulation& sim);
void ClearCellLayer(Simulation& sim);
void ShowLandUse(Simulation& sim);
void ShowSubStates(Simulation& sim);
void ShowCandidateSites(Simulation& sim);
void ShowDevelopedMask(Simulation& sim);

// What the display buttons do: the node layer redrawn ("rePaint nodes", node size change),
// and the views that also show ("show states", "sub states") or hide ("pot. field",
// "cand. sites") the fine-cell layer.
void RepaintNodes(Simulation& sim);
void ShowStatesView(Simulation& sim);
void ShowSubStatesView(Simulation& sim);
void ShowPotentialView(Simulation& sim);
void ShowCandidateSitesView(Simulation& sim);

}  // namespace veltmoor
