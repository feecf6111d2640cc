#include "flash/FlashOperations.h"

#include <array>
#include <string_view>

#include "flash/SfRegisters.h"

namespace torvane::flash {

namespace {

// ---- Identification: the answers that decide family and part, as data ----

// One answer byte and the part (SfModel) it names.
struct ModelCode {
  std::uint8_t answer;
  std::uint8_t model;
};

std::uint8_t LookupModel(std::span<const ModelCode> codes, std::uint8_t answer) {
  for (const ModelCode& code : codes) {
    if (code.answer == answer) return code.model;
  }
  return 0;
}

constexpr std::array<ModelCode, 8> kC2Capacity{{
    {0x10, 1}, {0x11, 2}, {0x12, 3}, {0x13, 4}, {0x14, 5}, {0x15, 6}, {0x16, 7}, {0x17, 8}}};
constexpr std::array<ModelCode, 2> k20Capacity{{{0x10, 0x10}, {0x11, 0x11}}};
constexpr std::array<ModelCode, 3> kEF20Capacity{{{0x14, 0x73}, {0x15, 0x74}, {0x16, 0x75}}};
constexpr std::array<ModelCode, 4> kEF30Capacity{{{0x11, 0x78}, {0x12, 0x79}, {0x13, 0x7A}, {0x14, 0x7B}}};
constexpr std::array<ModelCode, 4> k9DDevice{{{0x7B, 0x80}, {0x7C, 0x81}, {0x7D, 0x82}, {0x7E, 0x83}}};
constexpr std::array<ModelCode, 6> k37Capacity{{
    {0x12, 0x95}, {0x22, 0x94}, {0x11, 0x93}, {0x21, 0x92}, {0x10, 0x91}, {0x20, 0x90}}};
constexpr std::array<ModelCode, 4> kC8Capacity{{{0x10, 0xA3}, {0x11, 0xA2}, {0x12, 0xA1}, {0x13, 0xA0}}};
constexpr std::array<ModelCode, 4> k1FDevice15{{{0x65, 0x20}, {0x60, 0x21}, {0x63, 0x22}, {0x64, 0x23}}};
constexpr std::array<ModelCode, 2> kBFDevice90{{{0x48, 0x50}, {0x49, 0x51}}};
constexpr std::array<ModelCode, 8> kEFDevice90{{
    {0x10, 0x70}, {0x11, 0x71}, {0x12, 0x72}, {0x13, 0x73}, {0x14, 0x74}, {0x15, 0x75}, {0x32, 0x76}, {0x42, 0x77}}};
constexpr std::array<ModelCode, 8> kC2Device90{{
    {0x05, 1}, {0x10, 2}, {0x11, 3}, {0x12, 4}, {0x13, 5}, {0x14, 6}, {0x15, 7}, {0x16, 8}}};

// JEDEC answer (0x9F): manufacturer M, memory type T, capacity C.
constexpr std::uint8_t kManufacturer1F = 0x1F;
constexpr std::uint8_t kManufacturerC8 = 0xC8;
constexpr std::uint8_t kTypeC8Decides = 0x40;
constexpr std::uint8_t kTypeUnknownJedec = 0x20;  // with another non-zero M: family 0xFF
constexpr std::uint8_t kType1FModel30 = 0x66;
constexpr std::uint8_t kRxData1FModel30 = 0x04;
constexpr std::uint8_t kModel1F30 = 0x30;

struct JedecFamily {
  std::uint8_t manufacturer;
  std::uint8_t family;
};
constexpr std::array<JedecFamily, 6> kJedecFamilies{{
    {0xC2, 1}, {0x20, 2}, {kManufacturer1F, 5}, {0xEF, 7}, {0x9D, 8}, {0x37, 10}}};

enum class ModelKey { Type, Capacity };
struct JedecModelRule {
  std::uint8_t manufacturer;
  bool anyType;       // true: T is not examined
  std::uint8_t type;  // the T the rule needs otherwise
  ModelKey key;       // the byte the models are keyed on
  std::span<const ModelCode> models;
};
const std::array<JedecModelRule, 6> kJedecModels{{
    {0xC2, false, 0x20, ModelKey::Capacity, kC2Capacity},
    {0x20, false, 0x20, ModelKey::Capacity, k20Capacity},
    {0xEF, false, 0x20, ModelKey::Capacity, kEF20Capacity},
    {0xEF, false, 0x30, ModelKey::Capacity, kEF30Capacity},
    {0x9D, true, 0, ModelKey::Type, k9DDevice},
    {0x37, true, 0, ModelKey::Capacity, k37Capacity},
}};

// Manufacturer and device answer (0x90 with three address bytes).
struct ManufacturerDeviceRule {
  std::uint8_t manufacturer;
  std::uint8_t family;
  std::span<const ModelCode> models;
};
const std::array<ManufacturerDeviceRule, 3> kDevice90Rules{{
    {0xBF, 3, kBFDevice90}, {0xEF, 7, kEFDevice90}, {0xC2, 1, kC2Device90}}};

// Signature answer (0xAB with three address bytes): e decides, f names the part for e 0x9D.
constexpr std::uint8_t kSignature05 = 0x05;
constexpr std::uint8_t kSignature10 = 0x10;
constexpr std::uint8_t kSignature9D = 0x9D;

// Status answer of the page-organised family (0xD7): the second byte.
constexpr std::array<ModelCode, 2> kPageStatusModels{{{0x0C, 0x40}, {0x1C, 0x41}}};

constexpr std::uint8_t kFamily1F15 = 4;
constexpr std::uint8_t kFamily20 = 2;
constexpr std::uint8_t kFamily9D = 8;

// One identification command: select, opcode, dummy bytes 0x00, `count` receives, deselect.
template <std::size_t N>
std::array<std::uint8_t, N> Exchange(SerialFlash& flash, std::uint8_t opcode, int dummyCount) {
  std::array<std::uint8_t, N> answer{};
  flash.SfSelect();
  flash.SfSendByte(opcode);
  for (int i = 0; i < dummyCount; ++i) flash.SfSendByte(0x00);
  for (std::uint8_t& byte : answer) flash.SfReceiveByte(byte);
  flash.SfDeselect();
  return answer;
}

// Stage 1 and 2 share the JEDEC read; true when the identification has ended.
bool DecideByJedec(SerialFlash& flash, FlashSelection& selection) {
  auto answer = Exchange<3>(flash, kOpReadJedecId, 0);
  std::uint8_t m = answer[0], t = answer[1], c = answer[2];
  if (m == kJedecContinuation) {
    const auto again = Exchange<4>(flash, kOpReadJedecId, 0);  // the leading 0x7F is dropped
    m = again[1];
    t = again[2];
    c = again[3];
  }
  for (const JedecFamily& family : kJedecFamilies) {
    if (family.manufacturer != m) continue;
    selection.SFType = family.family;
    if (m == kManufacturer1F) {
      // The receive register still holds the last byte received; read it once more, no transfer.
      std::uint8_t last = 0;
      flash.backend().ReadRegister(SfRxData, last);
      if (t == kType1FModel30 && last == kRxData1FModel30) selection.SfModel = kModel1F30;
      return true;
    }
    for (const JedecModelRule& rule : kJedecModels) {
      if (rule.manufacturer != m || (!rule.anyType && rule.type != t)) continue;
      selection.SfModel = LookupModel(rule.models, rule.key == ModelKey::Type ? t : c);
      break;
    }
    return true;
  }
  if (m != 0 && t == kTypeUnknownJedec) selection.SFType = kSfTypeUnknownJedec;

  // Stage 2: the JEDEC read once more; a leading 0x7F is not special here.
  answer = Exchange<3>(flash, kOpReadJedecId, 0);
  if (answer[0] == kManufacturerC8) {
    selection.SFType = kSfTypeNone;
    if (answer[1] == kTypeC8Decides) {
      selection.SfModel = LookupModel(kC8Capacity, answer[2]);
      return true;
    }
  }
  return false;
}

}  // namespace

void DetectFlashType(SerialFlash& flash, FlashSelection& selection) {
  selection = FlashSelection{};
  flash.SfOpenPort();
  [&] {
    if (DecideByJedec(flash, selection)) return;

    const auto id15 = Exchange<2>(flash, kOpReadId15, 0);
    if (id15[0] == kManufacturer1F) {
      selection.SFType = kFamily1F15;
      selection.SfModel = LookupModel(k1FDevice15, id15[1]);
      return;
    }

    const auto status = Exchange<2>(flash, kOpPageStatusD7, 0);
    if (const std::uint8_t model = LookupModel(kPageStatusModels, status[1]); model != 0) {
      selection.SFType = kSfTypePageOrganised;
      selection.SfModel = model;
      return;
    }

    const auto id90 = Exchange<2>(flash, kOpReadId90, 3);
    for (const ManufacturerDeviceRule& rule : kDevice90Rules) {
      if (rule.manufacturer != id90[0]) continue;
      selection.SFType = rule.family;
      selection.SfModel = LookupModel(rule.models, id90[1]);
      return;
    }

    // Last stage: the signature. Anything else keeps what the JEDEC answer left (0 or 0xFF).
    const auto signature = Exchange<2>(flash, kOpReadSignatureAB, 3);
    if (signature[0] == kSignature05 || signature[0] == kSignature10) {
      selection.SFType = kFamily20;
      selection.SfModel = signature[0] == kSignature05 ? 0x10 : 0x11;
    } else if (signature[0] == kSignature9D) {
      selection.SFType = kFamily9D;
      selection.SfModel = LookupModel(k9DDevice, signature[1]);
    }
  }();

  // Port configuration for the family, whatever the outcome.
  camera::Backend& backend = flash.backend();
  flash.SfClosePort();
  backend.WriteRegister(SfReadDummyBytes, 0);
  backend.WriteRegister(kPortRegister108D, kPortRegister108xValue);
  backend.WriteRegister(kPortRegister108E, kPortRegister108xValue);
  backend.WriteRegister(kPortRegister108F, kPortRegister108xValue);
  if (selection.SFType == kSfTypePageOrganised) {
    backend.WriteRegister(SfStatusOpcode, kOpPageStatusD7);
    backend.WriteRegister(SfReadOpcode, kOpPageRead);
    backend.WriteRegister(SfReadyMask, 0x80);
    backend.WriteRegister(SfReadyLevel, 1);
    backend.WriteRegister(SfReadDummyBytes, 4);
  } else {
    backend.WriteRegister(SfStatusOpcode, kOpReadStatus);
    backend.WriteRegister(SfReadOpcode, kOpRead);
    backend.WriteRegister(SfReadyMask, kStatusBusyBit);
    backend.WriteRegister(SfReadyLevel, 0);
  }
}

// ---- SFType registration ----

namespace {

// The register the controller's mask ROM reads the flash family from, in its block of flash settings
// beside the write-enable and program opcodes (0x05F3, 0x05F5).
constexpr std::uint16_t kDefaultSfTypeRegister = 0x05F0;

// Only the default row is known. A firmware that announces itself could be given its own register by
// adding a row; the search below already honours codes, versions and both match modes.
constexpr std::array<SfTypeRegisterRow, 1> kSfTypeRegisterRows{{
    {{'\0', '\0', '\0', '\0'}, {0, 0, 0}, kDefaultSfTypeRegister, kMatchExactVersion},
}};

constexpr std::size_t kTagVersionMajor = 5;
constexpr std::string_view kEraseModeCode = "230R";  // the first four characters of "230RO"
constexpr std::uint8_t kEraseModeMajor = 1;

constexpr std::uint8_t FoldCase(std::uint8_t c) {
  return c >= 'a' && c <= 'z' ? static_cast<std::uint8_t>(c - 'a' + 'A') : c;
}

template <typename Code>
bool CodeEquals(const RomTag& tag, const Code& code) {
  for (std::size_t i = 0; i < 4; ++i) {
    if (FoldCase(tag.bytes[i]) != FoldCase(static_cast<std::uint8_t>(code[i]))) return false;
  }
  return true;
}

// Family 4's erase: chip select stays asserted this long after 0x62 (the part starts erasing only when it is
// released, so the hold delays the erase and does not replace the busy wait), then a pause before the wait.
constexpr std::uint32_t kFamily4HoldMs = 2500;
constexpr std::uint32_t kFamily4SettleMs = 900;

}  // namespace

const std::span<const SfTypeRegisterRow> SfTypeRegisterTable{kSfTypeRegisterRows};

std::size_t FindSfTypeRegisterRow(const RomTag& tag, std::span<const SfTypeRegisterRow> table) {
  for (std::size_t row = 0; row < table.size(); ++row) {
    const SfTypeRegisterRow& r = table[row];
    if (!CodeEquals(tag, r.code)) continue;
    const bool fits = r.matchMode == kMatchExactVersion
                          ? tag.bytes[5] == r.version[0] && tag.bytes[6] == r.version[1] && tag.bytes[7] == r.version[2]
                          : tag.bytes[kTagVersionMajor] >= r.version[0];
    if (fits) return row;
  }
  return 0;
}

namespace {

int SwitchWriteProtect(WpDirection direction, camera::CameraLink& link, SerialFlash& flash,
                       platform::MessageSink& messages) {
  WpRecord record;
  camera::Backend& backend = flash.backend();
  const int rc = backend.OpenDevice();
  if (rc != camera::kOpenOk) {
    messages.ShowMessage(rc == camera::kOpenNoDevice        ? "No Device!"
                         : rc == camera::kOpenUnknownBackend ? "Unknown Backend!"
                                                             : "Camera init failed!");
    return 0;
  }
  std::uint8_t chipId = 0;
  if (!link.GetChipIDValue(chipId)) {
    messages.ShowMessage("GetChipIDValue Failed!");
    backend.CloseDevice();
    return 0;
  }
  link.ChipId = chipId;

  std::array<std::uint8_t, 1> pinConfig{0};
  // A byte the camera did not deliver drives no pin: any value guessed for it could drive a pin the
  // board uses for something else; with no pin driven, the board keeps the level it gives the pin.
  if (!backend.ReadMemory(camera::TransferMode::ReadWindow, PinConfigAddress(chipId), pinConfig)) pinConfig[0] = 0;
  record.WpPinConfig = pinConfig[0];
  return flash.ApplyWriteProtect(direction, record);
}

}  // namespace

int DisableWriteProtect(camera::CameraLink& link, SerialFlash& flash, platform::MessageSink& messages) {
  return SwitchWriteProtect(WpDirection::Off, link, flash, messages);
}

int EnableWriteProtect(camera::CameraLink& link, SerialFlash& flash, platform::MessageSink& messages) {
  return SwitchWriteProtect(WpDirection::On, link, flash, messages);
}

void EraseFlashChip(const RomTag& tag, SerialFlash& flash, FlashSelection& selection,
                    platform::MessageSink& messages) {
  camera::Backend& backend = flash.backend();
  const SfTypeRegisterRow& row = SfTypeRegisterTable[FindSfTypeRegisterRow(tag, SfTypeRegisterTable)];
  DetectFlashType(flash, selection);
  if (!backend.WriteRegister(row.sfTypeRegister, selection.SFType)) {
    messages.ShowMessage("Write SFType Data To Mask Rom Failed!");  // the erase still runs
  }
  if (CodeEquals(tag, kEraseModeCode) || tag.bytes[kTagVersionMajor] == kEraseModeMajor) {
    backend.WriteRegister(kEraseModeRegister, 0);
  }

  auto command = [&flash](std::initializer_list<std::uint8_t> bytes) {
    flash.SfSelect();
    for (std::uint8_t b : bytes) flash.SfSendByte(b);
    flash.SfDeselect();
  };
  // No busy wait between the commands: the only one follows the last command.
  flash.SfOpenPort();
  switch (selection.SFType) {
    case 2:
    case 7:
    case 8:
    case 10:
      command({kOpWriteEnable});
      command({kOpChipEraseC7});
      break;
    case kSfTypeStatusEnable:
      command({kOpEnableWriteStatus});
      command({kOpWriteStatus, 0x00});
      command({kOpWriteEnable});
      command({kOpChipErase60});
      break;
    case kSfTypeHeldErase:
      command({kOpWriteEnable});
      flash.SfSelect();
      flash.SfSendByte(kOpChipErase62);
      backend.Clock().SleepMs(kFamily4HoldMs);
      flash.SfDeselect();
      backend.Clock().SleepMs(kFamily4SettleMs);
      break;
    default:  // 0, 1, 5, 6, 9, 0xFF and the rest
      command({kOpWriteEnable});
      command({kOpChipErase60});
      break;
  }
  flash.WaitWhileBusy();
  flash.SfClosePort();
}

}  // namespace torvane::flash
