#include "operations/FlashWalk.h"
#include "operations/Operations.h"
#include "resources/ResourceIds.h"

namespace torvane::operations {
namespace {

// The check reads one group in four: 4096 groups, the last at 131040. The bar's range ends at 6552, so
// it is full from 65520 on and stays full through the upper bank.
constexpr int kEraseBarMax = 6552;
constexpr int kEraseBarStart = 1;
constexpr std::uint32_t kEraseCheckStep = 32;
constexpr std::uint32_t kEraseCheckEnd = 131064;

}  // namespace

int EraseAndCheck(CameraContext& context, DialogControls& controls) {
  camera::CameraLink& link = context.link;
  HighBankReset bankReset(link);

  controls.SetControlText(kStatusLine, controls.LoadString(resources::kStrErasing));
  controls.SetBarRange(kBarStep, 0, kEraseBarMax);
  controls.SetBarPosition(kBarStep, kEraseBarStart);

  if (flash::DisableWriteProtect(link, context.flash, controls) == 0) {
    controls.ShowMessage(message::kDisableProtectFailed);
    return 0;
  }
  // No firmware tag is known to the workflow: the erase takes its default register.
  flash::EraseFlashChip(flash::RomTag{}, context.flash, context.selection, controls);

  // A read the camera does not answer proves nothing blank: it fails the check.
  Group group{};
  for (std::uint32_t a = 0; a < kEraseCheckEnd; a += kEraseCheckStep) {
    controls.SetBarPosition(kBarStep, static_cast<int>(a / 10));
    if (!ReadGroup(link, a, group) || !LooksBlank(group)) {
      link.HighBankFlag = 0;
      controls.ShowMessage(message::kEraseCheckFailed);
      return 0;
    }
  }
  link.HighBankFlag = 0;
  return 1;
}

}  // namespace torvane::operations
