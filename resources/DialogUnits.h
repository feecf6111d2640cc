// Dialog units to pixels. A horizontal dialog unit is a quarter of the dialog font's average
// character width, a vertical one an eighth of its height. The dialog font's base units are 6 by 13
// pixels at 96 dpi (so 320 x 185 units are 480 x 301 pixels) and grow with the screen's dpi.
#pragma once

#include "resources/DialogTemplates.h"

namespace torvane::resources {

constexpr int kBaseUnitX = 6;
constexpr int kBaseUnitY = 13;
constexpr double kReferenceDpi = 96.0;

struct PixelRect {
  int x = 0;
  int y = 0;
  int width = 0;
  int height = 0;
  friend bool operator==(const PixelRect&, const PixelRect&) = default;
};

int DialogUnitsToPixelsX(int units, double dpi);
int DialogUnitsToPixelsY(int units, double dpi);
// Edges are converted, not sizes, so that neighbouring controls keep touching after rounding.
PixelRect DialogUnitsToPixels(const DialogRect& rect, double dpi);

}  // namespace torvane::resources
