// The three map layers and what is drawn on them: cells, fine cells, nodes and streets,
// the display views, and the colour gradient of the node measures.
#pragma once

#include <string>

#include "display/canvas.h"
#include "simulation/simulation.h"

namespace veltmoor {

// Colour-gradient routine: direction 0 runs top to bottom, 1 left to right; other values
// draw nothing. Both edges are painted, the last row (or column) exactly in colour2.
void GradientFill(Canvas& canvas, Colour colour1, Colour colour2, int direction, int left, int top,
                  int right, int bottom);

// Creates MapImage and FineImage (white) and AgentImage (black, shown transparent) of the
// drawing area's size.
void CreateLayerImages(Simulation& sim);
void DrawGradientBar(Simulation& sim);
// Colour of the gradient bar at v in 0..1 (blue, cyan, lime, yellow, red), worked out from
// the same blend the bar is painted with. Values beyond the bar take its nearer end; NaN the
// top.
Colour GradientColourAt(double v);
// Reads TB_color and sets ColourExponent, Lbl_colScal and the top of Lbl_half.
void AdjustColourScale(Simulation& sim);

void ClearAgentLayer(Simulation& sim);
void DrawAllEdges(Simulation& sim);
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
