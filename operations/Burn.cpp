#include <algorithm>
#include <cstdio>
#include <vector>

#include "operations/FlashWalk.h"
#include "operations/Operations.h"
#include "resources/ResourceIds.h"

namespace torvane::operations {
namespace {

constexpr std::array<std::uint8_t, 4> kSignature{0x56, 0x49, 0x39, 0x52};  // "VI9R"

// Bar 1004 counts the stages of a burn.
constexpr int kStagesMax = 9;
constexpr int kStageStart = 0;
constexpr int kStageErased = 1;
constexpr int kStageBlank = 3;
constexpr int kStageProgrammed = 6;
constexpr int kStageVerified = 8;
constexpr int kStageDone = 9;

// Bar 1003 while write protection is switched off, then through each pass over the addresses.
constexpr int kSetupMax = 2;
constexpr int kSetupDone = 2;
constexpr int kPassMax = 13004;
constexpr int kVerifyBarOffset = 100;

// The blank check and the verification read one group in 128: 127 groups, the last at 129024.
constexpr std::uint32_t kSampleStep = 1024;
constexpr std::uint32_t kSampleEnd = 130046;
// Programming covers every group up to 0x1FFF0; the group at 0x1FFF8 is never programmed.
constexpr std::uint32_t kProgramEnd = 131062;

// The full verification compares everything the burn programs, in pieces of 8 KiB (one read request and
// a run of fetches each), showing its progress between pieces.
constexpr std::uint32_t kFullVerifyEnd = 0x1FFF8;
constexpr std::uint32_t kFullVerifyPiece = 0x2000;
constexpr int kFullVerifyMax = static_cast<int>(kFullVerifyEnd / 10);

int BarPosition(std::uint32_t value) { return static_cast<int>(value); }

bool AllBlank(ImageBytes image, std::uint32_t address) {
  return std::all_of(image.begin() + address, image.begin() + address + kGroupSize,
                     [](std::uint8_t b) { return b == 0xFF; });
}

// Leaves the back end's read bank as every later window read expects it: the low bank.
class ReadBankReset {
 public:
  explicit ReadBankReset(camera::Backend& backend) : backend_(backend) {}
  ~ReadBankReset() { backend_.ReadHighBank = false; }
  ReadBankReset(const ReadBankReset&) = delete;
  ReadBankReset& operator=(const ReadBankReset&) = delete;

 private:
  camera::Backend& backend_;
};

// Reads back every group below 0x1FFF8 through the back end (open since write protection was switched
// off) and compares it with the image. The read bank is chosen explicitly for each half rather than left
// to the transfer's own switch at the end of the low bank.
bool FullVerify(CameraContext& context, DialogControls& controls, ImageBytes image, BurnReport& report) {
  camera::Backend& backend = context.backend;
  ReadBankReset bankReset(backend);
  controls.SetBarRange(kBarStep, 0, kFullVerifyMax);
  std::vector<std::uint8_t> piece(kFullVerifyPiece);
  for (std::uint32_t a = 0; a < kFullVerifyEnd; a += kFullVerifyPiece) {
    const std::uint32_t length = std::min(kFullVerifyPiece, kFullVerifyEnd - a);
    const std::span<std::uint8_t> bytes(piece.data(), length);
    std::fill(bytes.begin(), bytes.end(), std::uint8_t{0xFF});
    backend.ReadHighBank = a >= kBankSize;
    if (!backend.ReadMemory(camera::TransferMode::ReadWindow, a, bytes)) {
      report.failedAddress = a;
      controls.ShowMessage(AtAddress("Read Flash Failed", a));
      return false;
    }
    const auto expected = image.subspan(a, length);
    const auto [got, want] = std::mismatch(bytes.begin(), bytes.end(), expected.begin());
    if (got != bytes.end()) {
      const auto at = a + static_cast<std::uint32_t>(got - bytes.begin());
      report.failedAddress = at;
      controls.ShowMessage(AtAddress("Check Data Failed", at));
      return false;
    }
    controls.SetBarPosition(kBarStep, BarPosition((a + length) / 10));
  }
  return true;
}

}  // namespace

BurnReport BurnImage(CameraContext& context, DialogControls& controls, ImageBytes image, const BurnOptions& options) {
  BurnReport report;
  camera::CameraLink& link = context.link;
  const auto fail = [&](const char* text, std::optional<std::uint32_t> address = std::nullopt) {
    link.HighBankFlag = 0;
    report.failedAddress = address;
    controls.ShowMessage(text);
    report.result = 0;
    return report;
  };

  // 1. The image: an empty buffer (all 0xFF from the start) and a file of another kind are refused.
  if (image[0] == 0xFF && image[1] == 0xFF) return fail(message::kNoSourceFile);
  if (!std::equal(kSignature.begin(), kSignature.end(), image.begin())) return fail(message::kNotZidizRom);

  HighBankReset bankReset(link);

  // 2. The step display.
  controls.SetControlText(kStatusLine, controls.LoadString(resources::kStrBurning));
  controls.ShowControl(kBarTotal, true);
  controls.SetBarRange(kBarTotal, 0, kStagesMax);
  controls.SetBarPosition(kBarTotal, kStageStart);
  controls.ShowControl(kLabelEraseAndCheck, true);
  controls.SetBarRange(kBarStep, 0, kSetupMax);

  // 3. Write protection off.
  if (flash::DisableWriteProtect(link, context.flash, controls) == 0) return fail(message::kDisableProtectFailed);

  // 4. Chip erase. No firmware tag is known to the workflow: the erase takes its default register.
  controls.SetBarPosition(kBarStep, kSetupDone);
  controls.SetBarPosition(kBarTotal, kStageStart);
  flash::EraseFlashChip(flash::RomTag{}, context.flash, context.selection, controls);
  controls.SetBarPosition(kBarTotal, kStageErased);

  // 5. Blank check of one group in 128. A read the camera does not answer proves nothing blank.
  controls.SetBarRange(kBarStep, 0, kPassMax);
  Group group{};
  for (std::uint32_t a = 0; a < kSampleEnd; a += kSampleStep) {
    controls.SetBarPosition(kBarStep, BarPosition(a / 10));
    if (!ReadGroup(link, a, group) || !LooksBlank(group)) return fail(message::kEraseCheckFailed, a);
  }

  // 6.
  controls.SetBarPosition(kBarTotal, kStageBlank);
  link.HighBankFlag = 0;
  controls.ShowControl(kLabelEraseOk, true);
  controls.ShowControl(kLabelBurning, true);

  // 7. Programming of every group that is not blank in the image. The bar fills once per bank. A write
  // the camera refuses fails the burn at once: the group is missing, whatever the sampled check would say.
  for (std::uint32_t a = 0; a < kProgramEnd; a += kGroupSize) {
    controls.SetBarPosition(kBarStep, BarPosition((a < kBankSize ? a : a - kBankSize) / 5));
    SelectBank(link, a);
    if (AllBlank(image, a)) continue;
    std::copy_n(image.begin() + a, kGroupSize, group.begin());
    if (!WriteGroup(link, a, group)) return fail(message::kCheckDataFailed, a);
  }

  // 8.
  controls.SetBarPosition(kBarTotal, kStageProgrammed);
  link.HighBankFlag = 0;
  controls.ShowControl(kLabelBurnOk, true);
  controls.ShowControl(kLabelVerify, true);

  // 9. Verification of one group in 128. A difference in the very first group means the flash wrapped
  // around (a 64 KiB part); an unanswered read is a failed check, never a size problem.
  for (std::uint32_t a = 0; a < kSampleEnd; a += kSampleStep) {
    controls.SetBarPosition(kBarStep, BarPosition(a / 10 + kVerifyBarOffset));
    if (!ReadGroup(link, a, group)) return fail(message::kCheckDataFailed, a);
    if (!std::equal(group.begin(), group.end(), image.begin() + a))
      return fail(a == 0 ? message::kFlashTooSmall : message::kCheckDataFailed, a);
  }
  link.HighBankFlag = 0;

  if (options.fullVerify && !FullVerify(context, controls, image, report)) {
    report.result = 0;
    return report;
  }

  // 10. Write protection on; a failure here is reported but the image is in the flash.
  controls.SetBarPosition(kBarTotal, kStageVerified);
  link.HighBankFlag = 0;
  if (flash::EnableWriteProtect(link, context.flash, controls) == 0) controls.ShowMessage(message::kEnableProtectFailed);

  // 11.
  controls.SetBarPosition(kBarTotal, kStageDone);
  controls.ShowControl(kLabelVerifyOk, true);
  report.result = 1;
  return report;
}

}  // namespace torvane::operations
