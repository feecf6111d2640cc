#include <cstdio>

#include "operations/FirmwareInfo.h"
#include "operations/Operations.h"
#include "resources/ResourceIds.h"

namespace torvane::operations {
namespace {

// The probe's scratch record: it only has to be there, the probe does not write it.
constexpr std::size_t kProbeRecordSize = 8;

struct VersionQuery {
  bool shown = false;  // false: no camera, nothing to show
  bool found = false;  // true: `text` is the version text; false: `text` says what went wrong
  std::string text;
};

std::string ChipIdText(const char* what, std::uint8_t chipId) {
  char text[64];
  std::snprintf(text, sizeof text, "%s 0x%02X!", what, static_cast<unsigned>(chipId));
  return text;
}

template <std::size_t N>
bool ReadField(camera::Backend& backend, std::uint16_t address, std::array<std::uint8_t, N>& field) {
  return backend.ReadMemory(camera::TransferMode::ReadWindow, address, field);
}

// Everything up to the message box; the back end is closed again before anything is shown.
VersionQuery QueryVersion(CameraContext& context) {
  VersionQuery query;
  if (context.link.FindCamera() != 0) return query;
  query.shown = true;

  camera::Backend& backend = context.backend;
  const int opened = backend.OpenDevice();
  struct Closer {
    camera::Backend& backend;
    ~Closer() { backend.CloseDevice(); }  // also after an open that failed half-way with the slot open
  } closer{backend};
  if (opened <= 0) {
    query.text = message::kCameraInitFailed;
    return query;
  }

  std::uint8_t chipId = 0;
  if (!context.link.GetChipIDValue(chipId)) {
    query.text = message::kChipIdFailed;
    return query;
  }
  context.link.ChipId = chipId;

  const auto addresses = FindVersionInfoAddresses(chipId);
  if (!addresses) {
    query.text = ChipIdText("No F/W Version for Chip ID", chipId);
    return query;
  }

  FirmwareInfo info;
  if (!ReadField(backend, addresses->InfoField1, info.InfoField1) ||
      !ReadField(backend, addresses->InfoField2, info.InfoField2) ||
      !ReadField(backend, addresses->InfoField3, info.InfoField3) ||
      !ReadField(backend, addresses->InfoTag, info.InfoTag)) {
    query.text = "Read F/W Version Failed!";
    return query;
  }
  query.found = true;
  query.text = ComposeVersionText(info);
  return query;
}

}  // namespace

void ShowFirmwareVersion(CameraContext& context, DialogControls& controls) {
  const VersionQuery query = QueryVersion(context);
  if (!query.shown) return;
  if (query.found) {
    controls.ShowCaptionedMessage(query.text, message::kVersionCaption);
  } else {
    controls.ShowMessage(query.text);
  }
}

void QueryRomType(CameraContext& context, DialogControls& controls) {
  camera::Backend& backend = context.backend;
  backend.OpenDevice();
  std::array<std::uint8_t, kProbeRecordSize> record{};
  // The probe tells only whether the controller answers the mask-ROM block reads; the row of the
  // mask-ROM table it selects is what the status line shows.
  if (backend.ProbeMaskRomType(record) == 1) {
    char text[32];
    std::snprintf(text, sizeof text, "Rom Type: %d", static_cast<int>(backend.MaskRomTypeIndex(0)));
    controls.SetControlText(kStatusLine, text);
  } else {
    controls.SetControlText(kStatusLine, "Rom Type: unknown");
  }
}

ResultStrings ResultStringsOf(Operation operation) {
  switch (operation) {
    case Operation::Burn:
      return {resources::kStrBurnOk, resources::kStrBurnFailed};
    case Operation::Erase:
      return {resources::kStrEraseOk, resources::kStrEraseFailed};
    case Operation::Export:
      return {resources::kStrExportOk, resources::kStrExportFailed};
  }
  return {0, 0};
}

void ShowOperationResult(DialogControls& controls, Operation operation, int result) {
  const ResultStrings strings = ResultStringsOf(operation);
  controls.SetControlText(kStatusLine, controls.LoadString(result != 0 ? strings.success : strings.failure));
}

}  // namespace torvane::operations
