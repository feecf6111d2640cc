// The ROM image held in memory: the 131072 bytes of the camera's serial flash, byte for byte from flash
// address 0, and the places in it that the tool reads and writes.
//
//   offset 0        4 bytes  signature "VI9R" (tested by the burn, not by loading)
//   offset 367      4 bytes  header field IdentityOffset: where the identity block starts
//   offset 371      4 bytes  header field IdentityLength: how many bytes from there the checksum covers
//   offset 391      4 bytes  header field CrcBlockOffset: the block holding the identity checksum
//
// A header field is four bytes B0 B1 B2 B3, big-endian, whose lowest byte B3 is 0, so offsets and
// lengths are multiples of 256. In the identity block: vendor id at +6 and product id at +8 (big-endian),
// the device name at +320 as a USB string descriptor (bLength = 2n + 2, type 0x03, n UTF-16LE code units,
// no terminator). The checksum, big-endian, lies at CrcBlockOffset + 20: Crc16 over the IdentityLength
// bytes from IdentityOffset.
//
// Rule for headers the tool cannot trust. The image itself always loads (the loader looks at the size
// only, and the burn judges the signature), but its identity is refused as a whole - not shown, not
// patched, and SetToFile refuses to save - when any of these holds, with a message that says which:
//   - a header field's fourth byte B3 is not 0 (such a field is not reproduced by folding B3 into the
//     value: it describes no layout this tool knows, and patching there could overwrite firmware code);
//   - the vendor id, product id or the 64 bytes the device name may take (IdentityOffset + 384) do not
//     lie inside the image;
//   - the checksummed range (IdentityOffset + IdentityLength) or the checksum (CrcBlockOffset + 22) does
//     not lie inside the image;
//   - the name descriptor's bLength is above 64, the most a name of 31 characters takes (the dialog's
//     field holds 31 at most, and the 64-byte working buffer has no room for more);
//   - a place the tool writes (vendor id, product id, name area, checksum) overlaps the signature or the
//     header fields, so that patching would change the header it was parsed from.
// A descriptor of exactly 64 bytes (a 31-character name, as the tool itself writes it) is accepted: the
// working buffer then has no terminator and the name ends with the descriptor, at 31 characters.
//
// The layout always belongs to the bytes in memory: every load parses the header of the new image, so no
// patch is ever made at offsets taken from another image's header.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace torvane::rom {

// The dialog's m_nRomSize: every image is exactly this long (128 KiB, the whole flash).
inline constexpr std::size_t kRomSize = 131072;
using ImageBytes = std::span<const std::uint8_t, kRomSize>;

inline constexpr std::array<std::uint8_t, 4> kRomSignature{0x56, 0x49, 0x39, 0x52};  // "VI9R"

// Image offsets of the three header fields.
inline constexpr std::size_t kIdentityOffsetField = 367;  // 0x16F
inline constexpr std::size_t kIdentityLengthField = 371;  // 0x173
inline constexpr std::size_t kCrcBlockOffsetField = 391;  // 0x187
inline constexpr std::size_t kHeaderFieldSize = 4;

// The name descriptor's working buffer: two header bytes and at most 31 UTF-16 code units.
inline constexpr std::size_t kNameBufferSize = 64;
inline constexpr std::size_t kMaxNameUnits = 31;
inline constexpr std::uint8_t kStringDescriptorType = 0x03;

struct HeaderField {
  std::size_t at = 0;  // image offset of B0
  std::array<std::uint8_t, kHeaderFieldSize> bytes{};

  // B0 * 2^24 + B1 * 2^16 + B2 * 2^8; meaningful only when B3 is 0.
  std::uint32_t Value() const;
  bool LowByteClear() const { return bytes[3] == 0; }
};

struct RomHeader {
  HeaderField IdentityOffset;
  HeaderField IdentityLength;
  HeaderField CrcBlockOffset;
};

RomHeader ReadRomHeader(ImageBytes image);

struct IdentityLayout {
  std::uint32_t IdentityOffset = 0;
  std::uint32_t IdentityLength = 0;
  std::uint32_t CrcBlockOffset = 0;
  static constexpr std::uint32_t VidOffset = 6;
  static constexpr std::uint32_t PidOffset = 8;
  static constexpr std::uint32_t NameOffset = 320;
  static constexpr std::uint32_t CrcOffset = 20;
  // The checksum as stored when the layout was parsed, then the last one written by ApplyIdentity
  // (a value; the image holds it big-endian).
  std::uint16_t StoredCrc = 0;
};

struct LayoutParse {
  std::optional<IdentityLayout> layout;
  std::string problem;  // when there is no layout: the message for the user, saying why
};

// Applies the rule above to the header of `image`.
LayoutParse ParseIdentityLayout(ImageBytes image);

class RomImage;
struct ApplyResult;
ApplyResult ApplyIdentity(RomImage& image, std::uint16_t vendorId, std::uint16_t productId,
                          std::u16string_view deviceName);

class RomImage {
 public:
  // All 0xFF: holds no image, comes from no file, has no layout.
  RomImage();

  ImageBytes Bytes() const { return ImageBytes(bytes_.data(), kRomSize); }
  // False while the first two bytes are both 0xFF (the burn's "No Source File!").
  bool HoldsImage() const;
  bool HasSignature() const;

  // The file the bytes were loaded from; empty for an image from anywhere else.
  const std::filesystem::path& SourcePath() const { return source_; }
  // The identity layout of these bytes, or why there is none.
  const std::optional<IdentityLayout>& Layout() const { return layout_.layout; }
  const std::string& LayoutProblem() const { return layout_.problem; }

  // Replaces the whole contents, as a successful load does, and parses the new header. `source` is the
  // file the bytes came from, or empty.
  void Replace(ImageBytes bytes, std::filesystem::path source);

 private:
  // The only writer of the bytes besides Replace.
  friend ApplyResult ApplyIdentity(RomImage& image, std::uint16_t vendorId, std::uint16_t productId,
                                   std::u16string_view deviceName);

  std::vector<std::uint8_t> bytes_;
  std::filesystem::path source_;
  LayoutParse layout_;
};

// ---- Identity read-out, as the dialog shows it ----

struct Identity {
  std::uint16_t vendorId = 0;
  std::uint16_t productId = 0;
  std::uint8_t bLength = 0;    // of the stored name descriptor
  std::u16string deviceName;   // code units from byte 2 of the descriptor up to the first zero unit
  std::uint16_t storedCrc = 0;    // the checksum field
  std::uint16_t computedCrc = 0;  // Crc16 over the checksummed range as it is now
};

struct IdentityReadout {
  std::optional<Identity> identity;
  std::string problem;  // when there is no identity: the message for the user
};

IdentityReadout ReadIdentity(const RomImage& image);

// The texts of the dialog's identity fields (m_strVid, m_strPid, m_strDeviceName). They are UTF-16,
// as the edit controls hold them and the field checks count them; the vendor and product ids are plain
// ASCII hexadecimal.
struct IdentityTexts {
  std::u16string vid;
  std::u16string pid;
  std::u16string deviceName;
};

// "%0.4x": at least four lower-case hexadecimal digits, zero-padded (0x0ABC -> "0abc").
std::string FormatIdField(std::uint16_t value);
// The three texts as the dialog puts them into its fields after Browse.
IdentityTexts ShownTexts(const Identity& identity);

// ---- Identity patching ----

// The value of the leading hexadecimal digits of `text`, kept to its low 16 bits; 0 when there are
// none ("" -> 0, "0abc" -> 0x0ABC, "12G4" -> 0x12).
std::uint16_t ParseHexField(std::u16string_view text);

// The USB string descriptor of a device name: byte 0 = 2n + 2, byte 1 = 0x03, then the n UTF-16 code
// units little-endian; the rest of the buffer is zero.
struct NameDescriptor {
  std::array<std::uint8_t, kNameBufferSize> bytes{};
  std::size_t Length() const { return bytes[0]; }
};

// Nothing for a name longer than 31 code units (its descriptor would not fit the 64-byte area).
std::optional<NameDescriptor> MakeNameDescriptor(std::u16string_view name);

struct ApplyResult {
  bool applied = false;
  std::string problem;  // when not applied: the message for the user; the image is then unchanged
};

// Writes the vendor id and product id (big-endian), then the name descriptor's 2n + 2 bytes (bytes
// after them, left by a longer earlier name, stay as they were), then renews the checksum over the
// patched range and stores it big-endian. Refused, changing nothing, when the image has no layout or
// the name is longer than 31 code units.
ApplyResult ApplyIdentity(RomImage& image, std::uint16_t vendorId, std::uint16_t productId,
                          std::u16string_view deviceName);

// GO's and SetToFile's step: the dialog's three texts read as ParseHexField does, then ApplyIdentity.
ApplyResult ApplyIdentityToImage(RomImage& image, const IdentityTexts& fields);

}  // namespace torvane::rom
