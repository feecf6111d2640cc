#include "rom/RomImage.h"

#include <algorithm>
#include <cstdio>

#include "rom/Crc16.h"

namespace torvane::rom {
namespace {

constexpr std::uint8_t kBlank = 0xFF;
constexpr std::uint64_t kImageEnd = kRomSize;
constexpr std::uint64_t kIdSize = 2;   // vendor id, product id
constexpr std::uint64_t kCrcSize = 2;  // the checksum field
// The device name may take up to this many bytes from NameOffset: the whole working buffer.
constexpr std::uint64_t kNameAreaEnd = IdentityLayout::NameOffset + kNameBufferSize;

constexpr char kNoImage[] = "No ROM image is loaded.";

std::string Hex(std::uint64_t value) {
  char text[24];
  std::snprintf(text, sizeof text, "0x%llX", static_cast<unsigned long long>(value));
  return text;
}

std::string Refused(const std::string& reason) {
  return "The header of this image does not describe an identity block the tool can use: " + reason +
         ". The image is loaded, but its vendor id, product id and device name are not shown and cannot "
         "be changed.";
}

// Half-open byte range of the image, in 64 bits so that no header value can wrap it.
struct Span64 {
  std::uint64_t begin;
  std::uint64_t end;
  const char* what;
};

bool Overlaps(const Span64& a, const Span64& b) { return a.begin < b.end && b.begin < a.end; }

HeaderField ReadField(ImageBytes image, std::size_t at) {
  HeaderField field;
  field.at = at;
  std::copy_n(image.begin() + static_cast<std::ptrdiff_t>(at), kHeaderFieldSize, field.bytes.begin());
  return field;
}

std::uint16_t BigEndian16(ImageBytes image, std::uint64_t at) {
  return static_cast<std::uint16_t>((image[at] << 8) | image[at + 1]);
}

void PutBigEndian16(std::uint8_t* at, std::uint16_t value) {
  at[0] = static_cast<std::uint8_t>(value >> 8);
  at[1] = static_cast<std::uint8_t>(value & 0xFF);
}

bool IsHexDigit(char16_t c) {
  return (c >= u'0' && c <= u'9') || (c >= u'A' && c <= u'F') || (c >= u'a' && c <= u'f');
}

unsigned HexDigitValue(char16_t c) {
  if (c <= u'9') return static_cast<unsigned>(c - u'0');
  if (c <= u'F') return static_cast<unsigned>(c - u'A' + 10);
  return static_cast<unsigned>(c - u'a' + 10);
}

}  // namespace

std::uint32_t HeaderField::Value() const {
  return (static_cast<std::uint32_t>(bytes[0]) << 24) | (static_cast<std::uint32_t>(bytes[1]) << 16) |
         (static_cast<std::uint32_t>(bytes[2]) << 8);
}

RomHeader ReadRomHeader(ImageBytes image) {
  return RomHeader{ReadField(image, kIdentityOffsetField), ReadField(image, kIdentityLengthField),
                   ReadField(image, kCrcBlockOffsetField)};
}

LayoutParse ParseIdentityLayout(ImageBytes image) {
  const RomHeader header = ReadRomHeader(image);
  for (const HeaderField* field : {&header.IdentityOffset, &header.IdentityLength, &header.CrcBlockOffset}) {
    if (!field->LowByteClear()) {
      return {std::nullopt, Refused("the header field at offset " + std::to_string(field->at) +
                                    " has a non-zero fourth byte (" + Hex(field->bytes[3]) + ")")};
    }
  }
  const std::uint64_t identity = header.IdentityOffset.Value();
  const std::uint64_t length = header.IdentityLength.Value();
  const std::uint64_t crcBlock = header.CrcBlockOffset.Value();

  if (identity + kNameAreaEnd > kImageEnd) {
    return {std::nullopt, Refused("the identity block at " + Hex(identity) +
                                  " leaves no room for the device name inside the image")};
  }
  if (identity + length > kImageEnd) {
    return {std::nullopt, Refused("the checksummed range from " + Hex(identity) + ", " + Hex(length) +
                                  " bytes long, ends outside the image")};
  }
  const std::uint64_t crcAt = crcBlock + IdentityLayout::CrcOffset;
  if (crcAt + kCrcSize > kImageEnd) {
    return {std::nullopt, Refused("the checksum at " + Hex(crcAt) + " lies outside the image")};
  }

  // Patching must never rewrite the header it was parsed from.
  const Span64 writes[] = {
      {identity + IdentityLayout::VidOffset, identity + IdentityLayout::PidOffset + kIdSize,
       "the vendor and product ids"},
      {identity + IdentityLayout::NameOffset, identity + kNameAreaEnd, "the device-name area"},
      {crcAt, crcAt + kCrcSize, "the checksum"},
  };
  const Span64 kept[] = {
      {0, kRomSignature.size(), "the signature"},
      {kIdentityOffsetField, kIdentityOffsetField + kHeaderFieldSize, "the header field at offset 367"},
      {kIdentityLengthField, kIdentityLengthField + kHeaderFieldSize, "the header field at offset 371"},
      {kCrcBlockOffsetField, kCrcBlockOffsetField + kHeaderFieldSize, "the header field at offset 391"},
  };
  for (const Span64& write : writes) {
    for (const Span64& keep : kept) {
      if (Overlaps(write, keep)) {
        return {std::nullopt, Refused(std::string(write.what) + " would overwrite " + keep.what)};
      }
    }
  }

  const std::uint8_t bLength = image[identity + IdentityLayout::NameOffset];
  if (bLength > kNameBufferSize) {
    return {std::nullopt, Refused("the device-name descriptor is " + std::to_string(bLength) +
                                  " bytes long, more than the 64 bytes of a 31-character name")};
  }

  IdentityLayout layout;
  layout.IdentityOffset = static_cast<std::uint32_t>(identity);
  layout.IdentityLength = static_cast<std::uint32_t>(length);
  layout.CrcBlockOffset = static_cast<std::uint32_t>(crcBlock);
  layout.StoredCrc = BigEndian16(image, crcAt);
  return {layout, {}};
}

RomImage::RomImage() : bytes_(kRomSize, kBlank), layout_{std::nullopt, kNoImage} {}

bool RomImage::HoldsImage() const { return !(bytes_[0] == kBlank && bytes_[1] == kBlank); }

bool RomImage::HasSignature() const {
  return std::equal(kRomSignature.begin(), kRomSignature.end(), bytes_.begin());
}

void RomImage::Replace(ImageBytes bytes, std::filesystem::path source) {
  std::copy(bytes.begin(), bytes.end(), bytes_.begin());
  source_ = std::move(source);
  layout_ = ParseIdentityLayout(Bytes());
}

IdentityReadout ReadIdentity(const RomImage& image) {
  if (!image.Layout()) return {std::nullopt, image.LayoutProblem()};
  const IdentityLayout& layout = *image.Layout();
  const ImageBytes bytes = image.Bytes();
  const std::uint64_t identity = layout.IdentityOffset;

  Identity out;
  out.vendorId = BigEndian16(bytes, identity + IdentityLayout::VidOffset);
  out.productId = BigEndian16(bytes, identity + IdentityLayout::PidOffset);

  // The descriptor goes into a zero-filled working buffer, bLength bytes of it (at most the whole buffer,
  // which the layout rule guarantees); the name runs from byte 2 to the first zero code unit or to the
  // end of the buffer, so a 64-byte descriptor gives all 31 characters.
  const std::size_t nameAt = static_cast<std::size_t>(identity + IdentityLayout::NameOffset);
  out.bLength = bytes[nameAt];
  std::array<std::uint8_t, kNameBufferSize> buffer{};
  std::copy_n(bytes.begin() + static_cast<std::ptrdiff_t>(nameAt), std::min<std::size_t>(out.bLength, buffer.size()),
              buffer.begin());
  for (std::size_t i = 2; i + 1 < buffer.size(); i += 2) {
    const auto unit = static_cast<char16_t>(buffer[i] | (buffer[i + 1] << 8));
    if (unit == 0) break;
    out.deviceName.push_back(unit);
  }

  out.storedCrc = BigEndian16(bytes, std::uint64_t{layout.CrcBlockOffset} + IdentityLayout::CrcOffset);
  out.computedCrc = Crc16(bytes.subspan(layout.IdentityOffset, layout.IdentityLength));
  return {out, {}};
}

std::string FormatIdField(std::uint16_t value) {
  char text[8];
  // "%0.4x" in the dialog's terms; the precision alone gives the zero-padding ("%.4x").
  std::snprintf(text, sizeof text, "%.4x", static_cast<unsigned>(value));
  return text;
}

IdentityTexts ShownTexts(const Identity& identity) {
  const std::string vid = FormatIdField(identity.vendorId);
  const std::string pid = FormatIdField(identity.productId);
  return IdentityTexts{std::u16string(vid.begin(), vid.end()), std::u16string(pid.begin(), pid.end()),
                       identity.deviceName};
}

std::uint16_t ParseHexField(std::u16string_view text) {
  unsigned value = 0;
  for (char16_t c : text) {
    if (!IsHexDigit(c)) break;
    value = ((value << 4) | HexDigitValue(c)) & 0xFFFFu;  // the low 16 bits of the number
  }
  return static_cast<std::uint16_t>(value);
}

std::optional<NameDescriptor> MakeNameDescriptor(std::u16string_view name) {
  if (name.size() > kMaxNameUnits) return std::nullopt;
  NameDescriptor descriptor;
  descriptor.bytes[0] = static_cast<std::uint8_t>(2 * name.size() + 2);
  descriptor.bytes[1] = kStringDescriptorType;
  for (std::size_t i = 0; i < name.size(); ++i) {
    descriptor.bytes[2 + 2 * i] = static_cast<std::uint8_t>(name[i] & 0xFF);
    descriptor.bytes[3 + 2 * i] = static_cast<std::uint8_t>(name[i] >> 8);
  }
  return descriptor;
}

ApplyResult ApplyIdentity(RomImage& image, std::uint16_t vendorId, std::uint16_t productId,
                          std::u16string_view deviceName) {
  if (!image.layout_.layout) return {false, image.layout_.problem};
  const std::optional<NameDescriptor> descriptor = MakeNameDescriptor(deviceName);
  if (!descriptor) {
    return {false, "The device name has " + std::to_string(deviceName.size()) +
                       " characters; at most 31 fit in the image."};
  }
  IdentityLayout& layout = *image.layout_.layout;
  std::uint8_t* identity = image.bytes_.data() + layout.IdentityOffset;
  PutBigEndian16(identity + IdentityLayout::VidOffset, vendorId);
  PutBigEndian16(identity + IdentityLayout::PidOffset, productId);
  std::copy_n(descriptor->bytes.begin(), descriptor->Length(), identity + IdentityLayout::NameOffset);

  // After the new ids and name are in place, so the checksum covers them.
  layout.StoredCrc = Crc16(std::span<const std::uint8_t>(identity, layout.IdentityLength));
  PutBigEndian16(image.bytes_.data() + layout.CrcBlockOffset + IdentityLayout::CrcOffset, layout.StoredCrc);
  return {true, {}};
}

ApplyResult ApplyIdentityToImage(RomImage& image, const IdentityTexts& fields) {
  return ApplyIdentity(image, ParseHexField(fields.vid), ParseHexField(fields.pid), fields.deviceName);
}

}  // namespace torvane::rom
