#include "operations/FirmwareInfo.h"

#include <algorithm>
#include <span>

namespace torvane::operations {
namespace {

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
