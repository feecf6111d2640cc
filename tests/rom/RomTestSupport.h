// Hand-made images, a message recorder and a scratch directory for the ROM image tests. The images are
// written byte by byte here, not by the code under test, so a wrong offset in either shows.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <algorithm>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "platform/MessageSink.h"
#include "rom/RomImage.h"

namespace torvane::rom::test {

class RecordingSink : public platform::MessageSink {
 public:
  void ShowMessage(const std::string& text) override { messages.push_back(text); }
  std::vector<std::string> messages;
};

// A 131072-byte image, 0xFF except what a test puts in.
struct HandImage {
  std::vector<std::uint8_t> bytes = std::vector<std::uint8_t>(kRomSize, 0xFF);

  HandImage& Put(std::size_t at, const std::vector<std::uint8_t>& data) {
    std::copy(data.begin(), data.end(), bytes.begin() + static_cast<std::ptrdiff_t>(at));
    return *this;
  }
  HandImage& Field(std::size_t at, std::uint32_t value, std::uint8_t lowByte = 0) {
    return Put(at, {static_cast<std::uint8_t>(value >> 24), static_cast<std::uint8_t>(value >> 16),
                    static_cast<std::uint8_t>(value >> 8), lowByte});
  }
  // Signature and the three header fields.
  HandImage& Header(std::uint32_t identity, std::uint32_t length, std::uint32_t crcBlock) {
    Put(0, {'V', 'I', '9', 'R'});
    return Field(367, identity).Field(371, length).Field(391, crcBlock);
  }
  // A name descriptor with the given bLength and UTF-16 units (written as given, whatever bLength says).
  HandImage& Descriptor(std::size_t at, std::uint8_t bLength, std::u16string units) {
    bytes[at] = bLength;
    bytes[at + 1] = 0x03;
    for (std::size_t i = 0; i < units.size(); ++i) {
      bytes[at + 2 + 2 * i] = static_cast<std::uint8_t>(units[i] & 0xFF);
      bytes[at + 3 + 2 * i] = static_cast<std::uint8_t>(units[i] >> 8);
    }
    return *this;
  }
  ImageBytes View() const { return ImageBytes(bytes.data(), kRomSize); }
};

// The layout most tests use: identity block at 0x1000, 0x200 bytes checksummed, checksum at 0x1414
// (outside the range).
constexpr std::uint32_t kIdentity = 0x1000;
constexpr std::uint32_t kLength = 0x200;
constexpr std::uint32_t kCrcBlock = 0x1400;
constexpr std::uint32_t kCrcAt = kCrcBlock + 20;

inline HandImage StandardImage() {
  HandImage image;
  image.Header(kIdentity, kLength, kCrcBlock);
  // The identity block's fields start zeroed, as a firmware's would.
  std::fill_n(image.bytes.begin() + kIdentity, 384, std::uint8_t{0});
  image.Put(kIdentity + 6, {0x12, 0x34, 0x56, 0x78});
  image.Descriptor(kIdentity + 320, 14, u"Camera");
  return image;
}

inline RomImage Loaded(const HandImage& hand) {
  RomImage image;
  image.Replace(hand.View(), {});
  return image;
}

inline std::vector<std::uint8_t> ReadFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void WriteFile(const std::filesystem::path& path, const std::vector<std::uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

// A fresh directory per test, removed afterwards.
class ScratchDir : public ::testing::Test {
 protected:
  void SetUp() override {
    std::random_device random;
    dir_ = std::filesystem::temp_directory_path() / ("torvane-rom-" + std::to_string(random()));
    std::filesystem::create_directories(dir_);
  }
  void TearDown() override {
    std::error_code ignored;
    std::filesystem::remove_all(dir_, ignored);
  }
  std::filesystem::path Path(const std::string& name) const { return dir_ / name; }
  std::vector<std::filesystem::path> Entries() const {
    std::vector<std::filesystem::path> out;
    for (const auto& entry : std::filesystem::directory_iterator(dir_)) out.push_back(entry.path().filename());
    std::sort(out.begin(), out.end());
    return out;
  }

  std::filesystem::path dir_;
};

}  // namespace torvane::rom::test
