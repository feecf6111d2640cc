// Sample images of our own: a valid 131072-byte image built from a few parameters, for demonstrations,
// benches without a real firmware, and tests. Nothing in it comes from any product's firmware; the
// "code" is deterministic pseudo-random bytes.
//
// What the builder lays out:
//   - the signature "VI9R" and a header block (offsets 0 to 0x1FF, zero apart from its fields) whose
//     three header fields are multiples of 256;
//   - the identity block: vendor id, product id, the device name's descriptor, and the checksum, correct;
//   - the firmware information fields (InfoTag, InfoField1..3) at the flash addresses the export name and
//     the firmware-version query read them for the chosen chip id (both places where the two tables
//     differ; none for a chip id neither knows), each text padded with zero bytes to its width;
//   - the pin-configuration byte at the address write protection reads it from for that chip id;
//   - code-like content in both 64 KiB halves, broken by runs of 0xFF so that whole 8-byte groups are
//     blank and a burn skips them; the last group (0x1FFF8 to 0x1FFFF, which a burn never programs) and
//     everything else stay 0xFF.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace torvane::rom {

inline constexpr std::size_t kInfoTagSize = 5;
inline constexpr std::size_t kInfoFieldSize = 10;

struct SampleImageParams {
  // A vendor and product id set aside for testing, and a name of our own.
  std::uint16_t vendorId = 0x1209;
  std::uint16_t productId = 0x0001;
  std::u16string deviceName = u"Torvane Sample Camera";
  // The simulated camera's default controller.
  std::uint8_t chipId = 0x32;
  // Texts of at most 5 and 10 bytes. With these the export name is
  // TVSM-CAM000042-1-V010203_AB_01-20240601.src.
  std::string InfoTag = "TVSM1";
  std::string InfoField1 = "2024-06-01";
  std::string InfoField2 = "CAM-000042";
  std::string InfoField3 = "010203AB01";
  // Pin 2, level code 2, not table mode: drives the flash's write-protect input high.
  std::uint8_t pinConfig = 0x22;
  // Multiples of 256; the checksum lies outside the range it covers.
  std::uint32_t identityOffset = 0x0600;
  std::uint32_t identityLength = 0x0200;
  std::uint32_t crcBlockOffset = 0x0800;
  std::uint32_t seed = 0x7A11C0DE;  // of the code-like content
};

struct SampleImage {
  std::vector<std::uint8_t> bytes;  // kRomSize bytes, or empty with `problem` set
  std::string problem;
};

SampleImage BuildSampleImage(const SampleImageParams& params);

// The command line of the sample builder, shared by `torvane-sample-image` and `torvane image new`:
//   OUTPUT [--vid HEX] [--pid HEX] [--name TEXT] [--chip-id HEX] [--pin-config HEX]
//          [--tag TEXT] [--field1 TEXT] [--field2 TEXT] [--field3 TEXT]
// Ids are checked as the dialog's fields are (1 to 4 hexadecimal digits, a name of at most 31 UTF-16
// code units); a chip id and pin configuration take 1 or 2 digits; the information texts are printable
// ASCII of at most 5 (tag) and 10 bytes.
struct SampleImageCommand {
  bool help = false;
  std::filesystem::path output;
  SampleImageParams params;
};

// `args` are the words after the program (or command) name. On a usage error: nothing, and `error`
// says what is wrong.
std::optional<SampleImageCommand> ParseSampleImageArguments(std::span<const std::string> args, std::string& error);
// The option lines for --help.
std::string SampleImageOptionsHelp();

}  // namespace torvane::rom
