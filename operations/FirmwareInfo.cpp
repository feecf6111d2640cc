#include "operations/FirmwareInfo.h"

#include <algorithm>
#include <span>

namespace torvane::operations {
namespace {

// FirmwareInfoMap: where the export name's fields lie, by chip id.
constexpr std::array<FirmwareInfoAddresses, 11> kExportInfoMap{{
    // chip   InfoField1 InfoField2 InfoField3 InfoTag
    {0x16, 0x3E00, 0x3E0A, 0x3E14, 0x01F3},
    {0x23, 0x1E00, 0x1E0A, 0x1E14, 0x01F3},
    {0x25, 0x3E00, 0x3E0A, 0x3E14, 0x01F3},
    {0x32, 0x0FD0, 0x0FDA, 0x0FE4, 0x0153},
    {0x33, 0x1E00, 0x1E0A, 0x1E14, 0x01F3},
    {0x56, 0x3E00, 0x3E0A, 0x3E14, 0x01F3},
    {0x71, 0x3E05, 0x3E0F, 0x3E19, 0x3E00},
    {0x76, 0x3FD0, 0x3FDA, 0x3FE4, 0x0153},
    {0x83, 0x2000, 0x2012, 0x201C, 0x200A},
    {0x90, 0x3E00, 0x3E0A, 0x3E14, 0x0150},
    {0x92, 0x2000, 0x2012, 0x201C, 0x200A},
}};

// The firmware-version query's table: 0x16 reads the 0x0FD0 group here, and 0x70 has a row only here.
constexpr std::array<FirmwareInfoAddresses, 12> kVersionInfoMap{{
    {0x16, 0x0FD0, 0x0FDA, 0x0FE4, 0x0153},
    {0x23, 0x1E00, 0x1E0A, 0x1E14, 0x01F3},
    {0x25, 0x3E00, 0x3E0A, 0x3E14, 0x01F3},
    {0x32, 0x0FD0, 0x0FDA, 0x0FE4, 0x0153},
    {0x33, 0x1E00, 0x1E0A, 0x1E14, 0x01F3},
    {0x56, 0x3E00, 0x3E0A, 0x3E14, 0x01F3},
    {0x70, 0x3E05, 0x3E0F, 0x3E19, 0x3E00},
    {0x71, 0x3E05, 0x3E0F, 0x3E19, 0x3E00},
    {0x76, 0x3FD0, 0x3FDA, 0x3FE4, 0x0153},
    {0x83, 0x2000, 0x2012, 0x201C, 0x200A},
    {0x90, 0x3E00, 0x3E0A, 0x3E14, 0x0150},
    {0x92, 0x2000, 0x2012, 0x201C, 0x200A},
}};

template <std::size_t N>
std::optional<FirmwareInfoAddresses> FindRow(const std::array<FirmwareInfoAddresses, N>& table, std::uint8_t chipId) {
  const auto row = std::find_if(table.begin(), table.end(), [chipId](const auto& r) { return r.chipId == chipId; });
  if (row == table.end()) return std::nullopt;
  return *row;
}

// Bytes as a zero-terminated byte text: everything before the first zero byte.
void AppendText(std::string& out, std::span<const std::uint8_t> bytes) {
  for (const std::uint8_t b : bytes) {
    if (b == 0) return;
    out.push_back(static_cast<char>(b));
  }
}

// Every byte but '-' on its own, zero bytes included (they make the name invalid further on).
void AppendWithoutDashes(std::string& out, std::span<const std::uint8_t> bytes) {
  for (const std::uint8_t b : bytes) {
    if (b != '-') out.push_back(static_cast<char>(b));
  }
}

bool IsNameCharacter(char c) {
  return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '-' || c == '_';
}

}  // namespace

std::optional<FirmwareInfoAddresses> FindExportInfoAddresses(std::uint8_t chipId) {
  return FindRow(kExportInfoMap, chipId);
}

std::optional<FirmwareInfoAddresses> FindVersionInfoAddresses(std::uint8_t chipId) {
  return FindRow(kVersionInfoMap, chipId);
}

std::optional<std::string> ComposeExportFileName(const FirmwareInfo& info) {
  const std::span<const std::uint8_t> tag(info.InfoTag);
  const std::span<const std::uint8_t> field3(info.InfoField3);
  std::string name;
  AppendText(name, tag.first(4));
  name += '-';
  AppendWithoutDashes(name, info.InfoField2);
  // A firmware tagged "220R" was meant to leave out the tag's fifth character and its dash, but no tag is
  // ever read for the name, so both are always part of it.
  name += '-';
  AppendText(name, tag.subspan(4, 1));
  name += "-V";
  AppendText(name, field3.first(6));
  name += '_';
  AppendText(name, field3.subspan(6, 2));
  name += '_';
  AppendText(name, field3.subspan(8, 2));
  name += '-';
  AppendWithoutDashes(name, info.InfoField1);
  // Bytes of 0x80 and above never make an allowed character, whatever code page they are read in.
  if (!std::all_of(name.begin(), name.end(), IsNameCharacter)) return std::nullopt;
  return name + ".src";
}

std::string ComposeVersionText(const FirmwareInfo& info) {
  std::string bytes;
  const auto append = [&bytes](std::span<const std::uint8_t> field) { bytes.append(field.begin(), field.end()); };
  append(info.InfoTag);
  bytes += "\r\n";
  append(info.InfoField2);
  bytes += "\r\n";
  append(info.InfoField1);
  bytes += "\r\n";
  append(info.InfoField3);

  std::string text;
  for (const char c : bytes) {
    const auto b = static_cast<std::uint8_t>(c);
    if (b == 0) break;
    if (b < 0x80) {
      text.push_back(c);
    } else {  // Latin-1 to UTF-8
      text.push_back(static_cast<char>(0xC0 | (b >> 6)));
      text.push_back(static_cast<char>(0x80 | (b & 0x3F)));
    }
  }
  return text;
}

}  // namespace torvane::operations
