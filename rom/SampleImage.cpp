#include "rom/SampleImage.h"

#include <algorithm>
#include <array>
#include <cstdio>

#include "rom/FlashLayout.h"
#include "rom/RomImage.h"
#include "rom/Utf.h"

namespace torvane::rom {
namespace {

constexpr std::uint8_t kBlank = 0xFF;
constexpr std::uint32_t kHeaderBlockEnd = 0x200;
constexpr std::uint32_t kFieldAlignment = 256;
// The identity block's fields end with the name area.
constexpr std::uint32_t kIdentityFieldsEnd = IdentityLayout::NameOffset + kNameBufferSize;

// Code-like content, one stretch in each 64 KiB half.
struct Region {
  std::uint32_t begin;
  std::uint32_t end;
};
constexpr Region kCodeRegions[] = {{0x0200, 0x7400}, {0x10000, 0x16C00}};

// A piece the builder places; pieces may not overlap one another.
struct Piece {
  std::uint64_t begin;
  std::uint64_t end;
  std::string what;
};

class XorShift32 {
 public:
  explicit XorShift32(std::uint32_t seed) : state_(seed != 0 ? seed : 1) {}
  std::uint32_t Next() {
    state_ ^= state_ << 13;
    state_ ^= state_ >> 17;
    state_ ^= state_ << 5;
    return state_;
  }

 private:
  std::uint32_t state_;
};

// Routines of random bytes separated by runs of 0xFF, half of them none, some long enough to blank
// several whole 8-byte groups.
void FillCodeLike(std::vector<std::uint8_t>& bytes, const Region& region, XorShift32& random) {
  std::uint32_t at = region.begin;
  while (at < region.end) {
    const std::uint32_t routine = 24 + random.Next() % 360;
    for (std::uint32_t i = 0; i < routine && at < region.end; ++i, ++at) {
      bytes[at] = static_cast<std::uint8_t>(random.Next() & 0xFF);
    }
    const std::uint32_t gap = random.Next() % 8;
    if (gap == 4 || gap == 5) {
      at += 1 + random.Next() % 7;
    } else if (gap == 6) {
      at += 8 + random.Next() % 57;
    } else if (gap == 7) {
      at += 64 + random.Next() % 449;
    }
  }
}

void PutBigEndian32(std::vector<std::uint8_t>& bytes, std::size_t at, std::uint32_t value) {
  for (std::size_t i = 0; i < 4; ++i) bytes[at + i] = static_cast<std::uint8_t>(value >> (24 - 8 * i));
}

void PutText(std::vector<std::uint8_t>& bytes, std::uint32_t at, const std::string& text, std::size_t width) {
  for (std::size_t i = 0; i < width; ++i) {
    bytes[at + i] = i < text.size() ? static_cast<std::uint8_t>(text[i]) : 0;
  }
}

std::string Hex(std::uint64_t value) {
  char text[24];
  std::snprintf(text, sizeof text, "0x%llX", static_cast<unsigned long long>(value));
  return text;
}

bool PrintableAscii(const std::string& text) {
  return std::all_of(text.begin(), text.end(), [](char c) { return c >= 0x20 && c <= 0x7E; });
}

SampleImage Problem(std::string text) { return SampleImage{{}, std::move(text)}; }

}  // namespace

SampleImage BuildSampleImage(const SampleImageParams& params) {
  if (params.deviceName.size() > kMaxNameUnits) return Problem("the device name is longer than 31 characters");
  if (params.InfoTag.size() > kInfoTagSize) return Problem("the information tag is longer than 5 bytes");
  for (const std::string* field : {&params.InfoField1, &params.InfoField2, &params.InfoField3}) {
    if (field->size() > kInfoFieldSize) return Problem("an information field is longer than 10 bytes");
  }
  for (std::uint32_t value : {params.identityOffset, params.identityLength, params.crcBlockOffset}) {
    if (value % kFieldAlignment != 0) return Problem("header fields must be multiples of 256, not " + Hex(value));
  }

  std::vector<Piece> pieces{
      {0, kRomSignature.size(), "the signature"},
      {kIdentityOffsetField, kIdentityOffsetField + kHeaderFieldSize, "a header field"},
      {kIdentityLengthField, kIdentityLengthField + kHeaderFieldSize, "a header field"},
      {kCrcBlockOffsetField, kCrcBlockOffsetField + kHeaderFieldSize, "a header field"},
      {std::uint64_t{params.identityOffset} + IdentityLayout::VidOffset,
       std::uint64_t{params.identityOffset} + IdentityLayout::PidOffset + 2, "the vendor and product ids"},
      {std::uint64_t{params.identityOffset} + IdentityLayout::NameOffset,
       std::uint64_t{params.identityOffset} + kIdentityFieldsEnd, "the device-name area"},
      {std::uint64_t{params.crcBlockOffset} + IdentityLayout::CrcOffset,
       std::uint64_t{params.crcBlockOffset} + IdentityLayout::CrcOffset + 2, "the checksum"},
  };
  struct Text {
    std::uint32_t at;
    const std::string* text;
    std::size_t width;
  };
  std::vector<Text> texts;
  for (const auto& place : {FindExportInfoAddresses(params.chipId), FindVersionInfoAddresses(params.chipId)}) {
    if (!place) continue;
    const Text here[] = {{place->InfoTag, &params.InfoTag, kInfoTagSize},
                         {place->InfoField1, &params.InfoField1, kInfoFieldSize},
                         {place->InfoField2, &params.InfoField2, kInfoFieldSize},
                         {place->InfoField3, &params.InfoField3, kInfoFieldSize}};
    for (const Text& text : here) {
      // Where both tables agree, the field is placed once.
      if (std::none_of(texts.begin(), texts.end(), [&](const Text& t) { return t.at == text.at; })) {
        texts.push_back(text);
        pieces.push_back({text.at, text.at + text.width, "an information field at " + Hex(text.at)});
      }
    }
  }
  const std::uint32_t pinAddress = PinConfigAddress(params.chipId);
  pieces.push_back({pinAddress, pinAddress + 1u, "the pin-configuration byte"});

  for (std::size_t i = 0; i < pieces.size(); ++i) {
    if (pieces[i].end > kRomSize) return Problem(pieces[i].what + " lies outside the image");
    for (std::size_t j = i + 1; j < pieces.size(); ++j) {
      if (pieces[i].begin < pieces[j].end && pieces[j].begin < pieces[i].end) {
        return Problem(pieces[i].what + " overlaps " + pieces[j].what);
      }
    }
  }

  std::vector<std::uint8_t> bytes(kRomSize, kBlank);
  XorShift32 random(params.seed);
  for (const Region& region : kCodeRegions) FillCodeLike(bytes, region, random);

  std::fill(bytes.begin(), bytes.begin() + kHeaderBlockEnd, std::uint8_t{0});
  std::copy(kRomSignature.begin(), kRomSignature.end(), bytes.begin());
  PutBigEndian32(bytes, kIdentityOffsetField, params.identityOffset);
  PutBigEndian32(bytes, kIdentityLengthField, params.identityLength);
  PutBigEndian32(bytes, kCrcBlockOffsetField, params.crcBlockOffset);
  std::fill_n(bytes.begin() + params.identityOffset, kIdentityFieldsEnd, std::uint8_t{0});
  std::fill_n(bytes.begin() + params.crcBlockOffset + IdentityLayout::CrcOffset, 2, std::uint8_t{0});
  for (const Text& text : texts) PutText(bytes, text.at, *text.text, text.width);
  bytes[pinAddress] = params.pinConfig;

  // The identity goes in last, through the same patching as the dialog's, so the checksum covers the
  // finished range.
  RomImage image;
  image.Replace(ImageBytes(bytes.data(), kRomSize), {});
  const ApplyResult applied = ApplyIdentity(image, params.vendorId, params.productId, params.deviceName);
  if (!applied.applied) return Problem(applied.problem);
  return SampleImage{std::vector<std::uint8_t>(image.Bytes().begin(), image.Bytes().end()), {}};
}

namespace {

// 1 to `maxDigits` hexadecimal digits and nothing else.
std::optional<std::uint32_t> ParseHex(const std::string& text, std::size_t maxDigits) {
  if (text.empty() || text.size() > maxDigits) return std::nullopt;
  std::uint32_t value = 0;
  for (char c : text) {
    std::uint32_t digit = 0;
    if (c >= '0' && c <= '9') {
      digit = static_cast<std::uint32_t>(c - '0');
    } else if (c >= 'a' && c <= 'f') {
      digit = static_cast<std::uint32_t>(c - 'a' + 10);
    } else if (c >= 'A' && c <= 'F') {
      digit = static_cast<std::uint32_t>(c - 'A' + 10);
    } else {
      return std::nullopt;
    }
    value = value * 16 + digit;
  }
  return value;
}

}  // namespace

std::optional<SampleImageCommand> ParseSampleImageArguments(std::span<const std::string> args, std::string& error) {
  SampleImageCommand command;
  SampleImageParams& p = command.params;
  bool haveOutput = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    std::string option = args[i];
    if (option == "-h" || option == "--help") {
      command.help = true;
      continue;
    }
    if (option.rfind("--", 0) != 0) {
      if (haveOutput) {
        error = "more than one output file: " + option;
        return std::nullopt;
      }
      command.output = std::filesystem::path(std::u8string(option.begin(), option.end()));
      haveOutput = true;
      continue;
    }
    std::string value;
    if (const std::size_t equals = option.find('='); equals != std::string::npos) {
      value = option.substr(equals + 1);
      option.resize(equals);
    } else if (i + 1 < args.size()) {
      value = args[++i];
    } else {
      error = option + " needs a value";
      return std::nullopt;
    }
    auto hexOption = [&](std::size_t digits) -> std::optional<std::uint32_t> {
      const auto parsed = ParseHex(value, digits);
      if (!parsed) error = option + " takes 1 to " + std::to_string(digits) + " hexadecimal digits, not \"" + value + "\"";
      return parsed;
    };
    auto textOption = [&](std::string& into, std::size_t width) {
      if (value.size() > width || !PrintableAscii(value)) {
        error = option + " takes printable ASCII of at most " + std::to_string(width) + " bytes, not \"" + value + "\"";
        return false;
      }
      into = value;
      return true;
    };
    if (option == "--vid" || option == "--pid") {
      const auto parsed = hexOption(4);
      if (!parsed) return std::nullopt;
      (option == "--vid" ? p.vendorId : p.productId) = static_cast<std::uint16_t>(*parsed);
    } else if (option == "--chip-id" || option == "--pin-config") {
      const auto parsed = hexOption(2);
      if (!parsed) return std::nullopt;
      (option == "--chip-id" ? p.chipId : p.pinConfig) = static_cast<std::uint8_t>(*parsed);
    } else if (option == "--name") {
      const std::optional<std::u16string> name = Utf8ToUtf16(value);
      if (!name) {
        error = "--name is not valid UTF-8";
        return std::nullopt;
      }
      if (name->size() > kMaxNameUnits) {
        error = "--name takes at most 31 characters (UTF-16 code units), not " + std::to_string(name->size());
        return std::nullopt;
      }
      p.deviceName = *name;
    } else if (option == "--tag") {
      if (!textOption(p.InfoTag, kInfoTagSize)) return std::nullopt;
    } else if (option == "--field1") {
      if (!textOption(p.InfoField1, kInfoFieldSize)) return std::nullopt;
    } else if (option == "--field2") {
      if (!textOption(p.InfoField2, kInfoFieldSize)) return std::nullopt;
    } else if (option == "--field3") {
      if (!textOption(p.InfoField3, kInfoFieldSize)) return std::nullopt;
    } else {
      error = "unknown option " + option;
      return std::nullopt;
    }
  }
  if (!haveOutput && !command.help) {
    error = "no output file given";
    return std::nullopt;
  }
  return command;
}

std::string SampleImageOptionsHelp() {
  const SampleImageParams d;
  auto hex = [](unsigned value, int digits) {
    char text[16];
    std::snprintf(text, sizeof text, "%0*x", digits, value);
    return std::string(text);
  };
  return "  OUTPUT              the image file to write (131072 bytes; replaced atomically)\n"
         "  --vid HEX           vendor id, 1 to 4 hex digits (default " + hex(d.vendorId, 4) + ")\n"
         "  --pid HEX           product id, 1 to 4 hex digits (default " + hex(d.productId, 4) + ")\n"
         "  --name TEXT         device name, at most 31 characters (default \"" + Utf16ToUtf8(d.deviceName) + "\")\n"
         "  --chip-id HEX       controller chip id whose addresses the information fields and the\n"
         "                      pin-configuration byte take (default " + hex(d.chipId, 2) + ")\n"
         "  --pin-config HEX    pin-configuration byte (default " + hex(d.pinConfig, 2) +
         ": the write-protect pin driven high)\n"
         "  --tag TEXT          information tag, at most 5 bytes (default " + d.InfoTag + ")\n"
         "  --field1 TEXT       information field 1, at most 10 bytes (default " + d.InfoField1 + ")\n"
         "  --field2 TEXT       information field 2, at most 10 bytes (default " + d.InfoField2 + ")\n"
         "  --field3 TEXT       information field 3, at most 10 bytes (default " + d.InfoField3 + ")\n"
         "  Shorter texts are padded with zero bytes.\n";
}

}  // namespace torvane::rom
