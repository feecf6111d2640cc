#include "app/FieldChecks.h"

namespace torvane::app {
namespace {

bool IsHexDigitUnit(char16_t unit) {
  return (unit >= 0x30 && unit <= 0x39) || (unit >= 0x41 && unit <= 0x46) || (unit >= 0x61 && unit <= 0x66);
}

}  // namespace

bool IsAcceptedHexField(std::u16string_view text) {
  if (text.size() > kMaxHexFieldUnits) return false;
  for (char16_t unit : text) {
    if (!IsHexDigitUnit(unit)) return false;
  }
  return true;
}

bool IsAcceptedDeviceName(std::u16string_view text) { return text.size() <= kMaxDeviceNameUnits; }

}  // namespace torvane::app
