// The firmware information the camera's flash carries: a 5-byte tag and three 10-byte fields, byte texts
// at flash addresses that depend on the controller's chip id. Two tables place them: one for the export
// file name and one for the firmware-version box; they differ in the rows for chip ids 0x16 and 0x70.
//
// Everything here is pure: the tables, the assembly of the export file name and of the version text.
// Reading the fields from the camera is the operations' business.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>

#include "rom/FlashLayout.h"

namespace torvane::operations {

constexpr std::size_t kInfoTagSize = 5;
constexpr std::size_t kInfoFieldSize = 10;

// The places of the fields by chip id (rom/FlashLayout.h).
using rom::FindExportInfoAddresses;
using rom::FindVersionInfoAddresses;
using rom::FirmwareInfoAddresses;

// The fields as read from the flash, not necessarily zero-terminated.
struct FirmwareInfo {
  std::array<std::uint8_t, kInfoTagSize> InfoTag{};
  std::array<std::uint8_t, kInfoFieldSize> InfoField1{};
  std::array<std::uint8_t, kInfoFieldSize> InfoField2{};
  std::array<std::uint8_t, kInfoFieldSize> InfoField3{};
};

// The file the export writes when no name can be built from the firmware information.
inline constexpr const char* kDefaultExportFileName = "ZidizAllRomFile.src";

// The export file name built from the fields, e.g. ABCD-12345678-E-V123456_78_AB-98765432.src, or nothing
// when a character outside 0-9, A-Z, a-z, '-' and '_' would end up in it (a zero byte in InfoField1 or
// InfoField2 included). Texts taken from the tag and InfoField3 end at their first zero byte; every byte
// of InfoField1 and InfoField2 but '-' is taken one by one.
std::optional<std::string> ComposeExportFileName(const FirmwareInfo& info);

// The four-line version text (tag, InfoField2, InfoField1, InfoField3, separated by CR LF) as UTF-8. It ends
// at the first zero byte inside the fields, as a zero-terminated byte text does; bytes of 0x80 and above are
// taken as Latin-1.
std::string ComposeVersionText(const FirmwareInfo& info);

}  // namespace torvane::operations
