#include "simulation/colour_scale.h"

#include <algorithm>
#include <cmath>

#include "simulation/numbers.h"
#include "simulation/simulation.h"
#include "simulation/window_outputs.h"

namespace veltmoor {

namespace {

// The gradient bar: four 40-row blends between five stops, value 0 at the top.
constexpr Colour kGradientStops[] = {colours::kBlue, colours::kCyan, colours::kLime,
                                     colours::kYellow, colours::kRed};
constexpr int kGradientSegments = 4;
constexpr int kGradientSegmentRows = 40;
constexpr int kGradientBarWidth = 35;
constexpr int kGradientLastRow = kGradientSegments * kGradientSegmentRows;

int BlendChannel(int from, int to, int step, int steps) {
  return RoundToInt(from + static_cast<double>(step) * (to - from) / steps);
}

// Colour of step `step` of `steps` on the way from colour1 to colour2, each channel rounded
// half to even; step == steps gives colour2 exactly.
Colour BlendColour(Colour colour1, Colour colour2, int step, int steps) {
  return MakeColour(BlendChannel(RedOf(colour1), RedOf(colour2), step, steps),
                    BlendChannel(GreenOf(colour1), GreenOf(colour2), step, steps),
                    BlendChannel(BlueOf(colour1), BlueOf(colour2), step, steps));
}

}  // namespace

void GradientFill(Canvas& canvas, Colour colour1, Colour colour2, int direction, int left, int top,
                  int right, int bottom) {
  const int savedWidth = canvas.pen.width;
  const PenStyle savedStyle = canvas.pen.style;
  canvas.pen.width = 1;
  canvas.pen.style = PenStyle::InsideFrame;
  const int steps = direction == 0 ? bottom - top : right - left;
  if ((direction == 0 || direction == 1) && steps > 0) {
    // steps + 1 lines, so the far edge is painted too.
    for (int d = 0; d <= steps; ++d) {
      const Colour colour = BlendColour(colour1, colour2, d, steps);
      canvas.pen.colour = colour;
      canvas.brush = colour;
      if (direction == 0) {
        canvas.Rectangle(left, top + d, right, top + d + 1);
      } else {
        canvas.Rectangle(left + d, top, left + d + 1, bottom);
      }
    }
  }
  canvas.pen.width = savedWidth;
  canvas.pen.style = savedStyle;
}

void DrawGradientBar(Simulation& sim) {
  if (!sim.ImageGradient) {
    return;
  }
  for (int s = 0; s < kGradientSegments; ++s) {
    const int top = s * kGradientSegmentRows;
    GradientFill(*sim.ImageGradient, kGradientStops[s], kGradientStops[s + 1], 0, 0, top,
                 kGradientBarWidth, top + kGradientSegmentRows);
  }
}

Colour GradientColourAt(double v) {
  // A value outside 0..1 (or not a number, from a measure with no spread) takes the nearer
  // end of the bar instead of a pixel beyond it.
  int row = 0;
  if (v >= 1.0) {
    row = kGradientLastRow;
  } else if (v > 0.0) {
    row = RoundToInt(kGradientLastRow * v);
  }
  // Rows 40, 80 and 120 end one fill and start the next with the same colour; the bottom
  // row belongs to the last fill.
  const int segment = std::min(row / kGradientSegmentRows, kGradientSegments - 1);
  return BlendColour(kGradientStops[segment], kGradientStops[segment + 1],
                     row - segment * kGradientSegmentRows, kGradientSegmentRows);
}

void AdjustColourScale(Simulation& sim) {
  const double p = static_cast<double>(sim.settings.Int(setting::kColorAdjust));
  const double k = p <= 5 ? p * 0.1 + 0.5 : (p - 5) / 2.0 + 1.0;
  sim.world.ColourExponent = k;
  sim.labels.Set(label::kColourScale, FormatNumber(k));
  sim.labels.SetTop(label::kColourHalf, RoundToInt(170.0 - 155.0 * std::pow(0.5, k)));
}

}  // namespace veltmoor
