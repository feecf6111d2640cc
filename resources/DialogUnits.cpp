#include "resources/DialogUnits.h"

#include <cmath>

namespace torvane::resources {
namespace {

int Scale(int units, double baseUnit, double divisor, double dpi) {
  const double pixels = static_cast<double>(units) * baseUnit * (dpi / kReferenceDpi) / divisor;
  return static_cast<int>(std::lround(pixels));
}

}  // namespace

int DialogUnitsToPixelsX(int units, double dpi) { return Scale(units, kBaseUnitX, 4.0, dpi); }
int DialogUnitsToPixelsY(int units, double dpi) { return Scale(units, kBaseUnitY, 8.0, dpi); }

PixelRect DialogUnitsToPixels(const DialogRect& rect, double dpi) {
  const int left = DialogUnitsToPixelsX(rect.x, dpi);
  const int top = DialogUnitsToPixelsY(rect.y, dpi);
  const int right = DialogUnitsToPixelsX(rect.x + rect.width, dpi);
  const int bottom = DialogUnitsToPixelsY(rect.y + rect.height, dpi);
  return {left, top, right - left, bottom - top};
}

}  // namespace torvane::resources
