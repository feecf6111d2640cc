// Memory transfers of the back end against the simulated camera: the exact window and block requests,
// the bytes that land in the caller's buffer (or in the flash), and the bank switch at the top of the
// low 64 KiB.
#include <gtest/gtest.h>

#include <algorithm>
#include <numeric>
#include <string>
#include <vector>

#include "camera/Backend.h"
#include "tests/camera/WireLog.h"

namespace torvane::camera::test {
namespace {

constexpr std::uint8_t kGuard = 0xA5;  // fills the caller's buffer around the transfer
constexpr std::size_t kGuardBytes = 4;

// Distinct bytes in both banks, so that a read from the wrong bank or address shows.
std::uint8_t FlashPattern(std::size_t i) {
  return static_cast<std::uint8_t>((i * 131 + (i >> 8) + (i >> 16) * 0x5B) & 0xFF);
}

class MemoryTransferTest : public ::testing::Test {
 protected:
  MemoryTransferTest() : sim_(simcam::SimConfig{}), backend_(sim_, sim_.Clock()) {}

  void Open() {
    ArmControllerProgramming(sim_);
    ASSERT_EQ(backend_.OpenDevice(), kOpenOk);
    sim_.ClearLogs();
  }
  void FillFlashWithPattern() {
    auto& contents = sim_.Flash().Contents();
    for (std::size_t i = 0; i < contents.size(); ++i) contents[i] = FlashPattern(i);
  }

  simcam::SimCamera sim_;
  Backend backend_;
};

// A buffer with guard bytes on both sides; View() is the part handed to the transfer.
struct GuardedBuffer {
  explicit GuardedBuffer(std::size_t length, std::uint8_t fill = kGuard) : bytes(length + 2 * kGuardBytes, fill) {
    std::fill(bytes.begin(), bytes.begin() + kGuardBytes, kGuard);
    std::fill(bytes.end() - kGuardBytes, bytes.end(), kGuard);
  }
  std::span<std::uint8_t> View() { return std::span(bytes).subspan(kGuardBytes, bytes.size() - 2 * kGuardBytes); }
  bool GuardsIntact() const {
    return std::all_of(bytes.begin(), bytes.begin() + kGuardBytes, [](auto b) { return b == kGuard; }) &&
           std::all_of(bytes.end() - kGuardBytes, bytes.end(), [](auto b) { return b == kGuard; });
  }
  std::vector<std::uint8_t> bytes;
};

// ---- Window reads (mode 7) ----------------------------------------------------------------------

struct ReadCase {
  std::string name;
  std::uint32_t chunk;
  std::uint32_t address;
  std::size_t length;
  std::vector<Wire> wire;
  std::uint32_t flashStart;  // flash address of the first byte read
  bool highBankAfter;        // ReadHighBank when the transfer is done
};

void PrintTo(const ReadCase& c, std::ostream* os) { *os << c.name; }

class WindowReadTest : public MemoryTransferTest, public ::testing::WithParamInterface<ReadCase> {};

TEST_P(WindowReadTest, SendsTheRequestsAndStoresTheFlashBytes) {
  const ReadCase& c = GetParam();
  FillFlashWithPattern();
  Open();
  backend_.ChunkSize = c.chunk;
  GuardedBuffer buffer(c.length);

  EXPECT_TRUE(backend_.ReadMemory(TransferMode::ReadWindow, c.address, buffer.View()));

  EXPECT_EQ(KsRequests(sim_), c.wire);
  std::vector<std::uint8_t> expected(c.length);
  for (std::size_t i = 0; i < c.length; ++i) expected[i] = FlashPattern(c.flashStart + i);
  EXPECT_EQ(std::vector<std::uint8_t>(buffer.View().begin(), buffer.View().end()), expected);
  EXPECT_TRUE(buffer.GuardsIntact());
  EXPECT_EQ(backend_.ReadHighBank, c.highBankAfter);
}

std::vector<Wire> Fetches(std::size_t n) { return std::vector<Wire>(n, WindowGet()); }
std::vector<Wire> Concat(std::initializer_list<std::vector<Wire>> parts) {
  std::vector<Wire> out;
  for (const auto& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}

INSTANTIATE_TEST_SUITE_P(
    Reads, WindowReadTest,
    ::testing::Values(
        // A run of one piece, then the remainder with a read request of its own.
        ReadCase{"TenBytesAt3E00", 8, 0x3E00, 10,
                 {WindowSet(0x3E00, 0x88), WindowGet(), WindowSet(0x3E08, 0x82), WindowGet()}, 0x3E00, false},
        ReadCase{"OneByteAtC034", 8, 0xC034, 1, {WindowSet(0xC034, 0x81), WindowGet()}, 0xC034, false},
        // One run of three pieces would pass 0xFFFF: the run ends after the piece at 0xFFF8 and a new one
        // starts at 0 of the high bank.
        ReadCase{"AcrossTheBankAtFFF0", 8, 0xFFF0, 24,
                 {WindowSet(0xFFF0, 0x88), WindowGet(), WindowGet(), WindowSet(0x0000, 0x98), WindowGet()}, 0xFFF0,
                 true},
        // Ends exactly after the piece at 0xFFF8: the remainder is read at 0 of the high bank, and its
        // request announces only its own two bytes.
        ReadCase{"RemainderInTheHighBank", 8, 0xFFF8, 10,
                 {WindowSet(0xFFF8, 0x88), WindowGet(), WindowSet(0x0000, 0x92), WindowGet()}, 0xFFF8, true},
        // The last piece of the low bank switches the bank even when nothing follows.
        ReadCase{"EndsAtTheTopOfTheLowBank", 8, 0xFFF8, 8, {WindowSet(0xFFF8, 0x88), WindowGet()}, 0xFFF8, true},
        ReadCase{"OneBytePieces", 1, 0x2000, 10, Concat({{WindowSet(0x2000, 0x81)}, Fetches(10)}), 0x2000, false},
        // One-byte pieces switch after the byte at 0xFFFF and go on one byte per fetch.
        ReadCase{"OneBytePiecesAcrossTheBank", 1, 0xFFFD, 5,
                 Concat({{WindowSet(0xFFFD, 0x81)}, Fetches(3), {WindowSet(0x0000, 0x91)}, Fetches(2)}), 0xFFFD, true},
        // A start that is not a multiple of the piece: the piece that would straddle 0xFFFF is cut there.
        ReadCase{"UnalignedPiecesAcrossTheBank", 8, 0xFFFC, 12,
                 {WindowSet(0xFFFC, 0x84), WindowGet(), WindowSet(0x0000, 0x98), WindowGet()}, 0xFFFC, true},
        ReadCase{"RemainderAcrossTheBank", 8, 0xFFFE, 5,
                 {WindowSet(0xFFFE, 0x82), WindowGet(), WindowSet(0x0000, 0x93), WindowGet()}, 0xFFFE, true},
        // Pieces larger than the window are taken as eight bytes.
        ReadCase{"ChunkAboveEight", 64, 0x0100, 16, {WindowSet(0x0100, 0x88), WindowGet(), WindowGet()}, 0x0100,
                 false},
        // The address's low 16 bits go on the wire; the bank comes from ReadHighBank alone.
        ReadCase{"AddressAboveSixteenBits", 8, 0x13E00, 8, {WindowSet(0x3E00, 0x88), WindowGet()}, 0x3E00, false},
        ReadCase{"LengthZero", 8, 0x3E00, 0, {WindowSet(0x3E00, 0x80), WindowGet()}, 0x3E00, false}),
    CaseName{});

TEST_F(MemoryTransferTest, ReadHighBankStaysOnUntilTheNextOpenOrWindowWrite) {
  FillFlashWithPattern();
  Open();
  std::array<std::uint8_t, 24> crossing{};
  ASSERT_TRUE(backend_.ReadMemory(TransferMode::ReadWindow, 0xFFF0, crossing));
  sim_.ClearLogs();

  // Still in the high bank: the read at 0x3E00 reads flash 0x13E00.
  std::array<std::uint8_t, 2> bytes{};
  EXPECT_TRUE(backend_.ReadMemory(TransferMode::ReadWindow, 0x3E00, bytes));
  EXPECT_EQ(KsRequests(sim_), (std::vector<Wire>{WindowSet(0x3E00, 0x92), WindowGet()}));
  EXPECT_EQ(bytes[0], FlashPattern(0x13E00));
  EXPECT_EQ(bytes[1], FlashPattern(0x13E01));

  // A new open turns it off.
  ASSERT_EQ(backend_.OpenDevice(), kOpenOk);
  sim_.ClearLogs();
  EXPECT_TRUE(backend_.ReadMemory(TransferMode::ReadWindow, 0x3E00, bytes));
  EXPECT_EQ(KsRequests(sim_), (std::vector<Wire>{WindowSet(0x3E00, 0x82), WindowGet()}));
  EXPECT_EQ(bytes[0], FlashPattern(0x3E00));

  // So does any window write.
  backend_.ReadHighBank = true;
  const std::array<std::uint8_t, 1> one{0xFF};
  EXPECT_TRUE(backend_.XuWriteWindow(0, 0x0040, 1, one));
  EXPECT_FALSE(backend_.ReadHighBank);
}

TEST_F(MemoryTransferTest, NothingIsReadPastTheTopOfTheFlash) {
  Open();
  backend_.ReadHighBank = true;
  GuardedBuffer buffer(16);
  // 0x1FFF8 + 16 runs past the 128 KiB flash: refused whole, nothing sent, buffer untouched.
  EXPECT_FALSE(backend_.ReadMemory(TransferMode::ReadWindow, 0xFFF8, buffer.View()));
  EXPECT_TRUE(KsRequests(sim_).empty());
  EXPECT_TRUE(std::all_of(buffer.bytes.begin(), buffer.bytes.end(), [](auto b) { return b == kGuard; }));

  // Up to the top exactly is a read like any other.
  FillFlashWithPattern();
  std::array<std::uint8_t, 8> top{};
  EXPECT_TRUE(backend_.ReadMemory(TransferMode::ReadWindow, 0xFFF8, top));
  EXPECT_EQ(KsRequests(sim_), (std::vector<Wire>{WindowSet(0xFFF8, 0x98), WindowGet()}));
  EXPECT_EQ(top[7], FlashPattern(0x1FFFF));
}

// ---- Window writes (mode 6) ---------------------------------------------------------------------

struct WriteCase {
  std::string name;
  std::uint32_t chunk;
  std::uint32_t address;
  std::size_t length;
  std::vector<Wire> wire;  // data bytes are the case's data: byte i is 0x10 + i
  std::uint32_t flashStart;
};

void PrintTo(const WriteCase& c, std::ostream* os) { *os << c.name; }

std::uint8_t WriteData(std::size_t i) { return static_cast<std::uint8_t>(0x10 + i); }

class WindowWriteTest : public MemoryTransferTest, public ::testing::WithParamInterface<WriteCase> {};

TEST_P(WindowWriteTest, WritesAlignedPiecesIntoTheFlash) {
  const WriteCase& c = GetParam();
  Open();  // the flash is blank: a write stores exactly its bytes
  backend_.ChunkSize = c.chunk;
  std::vector<std::uint8_t> data(c.length);
  for (std::size_t i = 0; i < c.length; ++i) data[i] = WriteData(i);

  EXPECT_TRUE(backend_.ReadMemory(TransferMode::WriteWindow, c.address, data));

  EXPECT_EQ(KsRequests(sim_), c.wire);
  const auto& flash = sim_.Flash().Contents();
  for (std::size_t i = 0; i < c.length; ++i) EXPECT_EQ(flash[c.flashStart + i], WriteData(i)) << "byte " << i;
  // Nothing around the written bytes changed.
  const auto blank = [](std::uint8_t b) { return b == 0xFF; };
  EXPECT_TRUE(std::all_of(flash.begin(), flash.begin() + c.flashStart, blank));
  EXPECT_TRUE(std::all_of(flash.begin() + c.flashStart + static_cast<std::ptrdiff_t>(c.length), flash.end(), blank));
}

INSTANTIATE_TEST_SUITE_P(
    Writes, WindowWriteTest,
    ::testing::Values(
        // 3 bytes up to the next multiple of eight, two pieces, one remainder byte.
        WriteCase{"TwentyBytesAt5", 8, 5, 20,
                  {WindowSet(5, 0x03, {0x10, 0x11, 0x12}),
                   WindowSet(8, 0x08, {0x13, 0x14, 0x15, 0x16, 0x17, 0x18, 0x19, 0x1A}),
                   WindowSet(16, 0x08, {0x1B, 0x1C, 0x1D, 0x1E, 0x1F, 0x20, 0x21, 0x22}), WindowSet(24, 0x01, {0x23})},
                  5},
        // The alignment piece covers the whole length.
        WriteCase{"AlignmentCoversAll", 8, 5, 2, {WindowSet(5, 0x02, {0x10, 0x11})}, 5},
        // The write at 0xFFF8 ends the low bank; the next, at wire address 0, goes to the high bank.
        WriteCase{"AcrossTheBank", 8, 0xFFF0, 24,
                  {WindowSet(0xFFF0, 0x08, {0x10, 0x11, 0x12, 0x13, 0x14, 0x15, 0x16, 0x17}),
                   WindowSet(0xFFF8, 0x08, {0x18, 0x19, 0x1A, 0x1B, 0x1C, 0x1D, 0x1E, 0x1F}),
                   WindowSet(0x0000, 0x18, {0x20, 0x21, 0x22, 0x23, 0x24, 0x25, 0x26, 0x27})},
                  0xFFF0},
        // A short write in the high bank announces only its own bytes, so nothing past them is programmed.
        WriteCase{"ShortWriteInTheHighBank", 8, 0xFFF8, 10,
                  {WindowSet(0xFFF8, 0x08, {0x10, 0x11, 0x12, 0x13, 0x14, 0x15, 0x16, 0x17}),
                   WindowSet(0x0000, 0x12, {0x18, 0x19})},
                  0xFFF8},
        // One-byte pieces: only the byte at 0xFFFF ends the low bank.
        WriteCase{"OneBytePiecesAcrossTheBank", 1, 0xFFFE, 4,
                  {WindowSet(0xFFFE, 0x01, {0x10}), WindowSet(0xFFFF, 0x01, {0x11}), WindowSet(0x0000, 0x11, {0x12}),
                   WindowSet(0x0001, 0x11, {0x13})},
                  0xFFFE},
        // A short write at 0xFFF8 does not reach 0xFFFF: the bytes after it stay in the low bank.
        WriteCase{"OneBytePiecesBelowTheTop", 1, 0xFFF8, 3,
                  {WindowSet(0xFFF8, 0x01, {0x10}), WindowSet(0xFFF9, 0x01, {0x11}), WindowSet(0xFFFA, 0x01, {0x12})},
                  0xFFF8},
        WriteCase{"LengthZero", 8, 0x0100, 0, {WindowSet(0x0100, 0x00)}, 0x0100}),
    CaseName{});

TEST_F(MemoryTransferTest, WindowWriteAtFFF8TwiceGoesToBothBanks) {
  Open();
  const std::array<std::uint8_t, 8> data{1, 2, 3, 4, 5, 6, 7, 8};
  EXPECT_TRUE(backend_.XuWriteWindow(0, 0xFFF8, 8, data));
  EXPECT_TRUE(backend_.WriteHighBank);
  EXPECT_TRUE(backend_.XuWriteWindow(0, 0xFFF8, 8, data));

  EXPECT_EQ(KsRequests(sim_), (std::vector<Wire>{WindowSet(0xFFF8, 0x08, {1, 2, 3, 4, 5, 6, 7, 8}),
                                                 WindowSet(0xFFF8, 0x18, {1, 2, 3, 4, 5, 6, 7, 8})}));
  const auto& flash = sim_.Flash().Contents();
  EXPECT_EQ(flash[0xFFF8], 1);
  EXPECT_EQ(flash[0x1FFFF], 8);

  // WriteHighBank holds until the next open.
  ASSERT_EQ(backend_.OpenDevice(), kOpenOk);
  EXPECT_FALSE(backend_.WriteHighBank);
}

TEST_F(MemoryTransferTest, NothingIsWrittenPastTheTopOfTheFlash) {
  Open();
  backend_.WriteHighBank = true;
  const auto before = sim_.Flash().Contents();
  std::vector<std::uint8_t> data(16, 0x00);
  // 0x1FFF8 + 16 runs past the 128 KiB flash; the second piece would wrap to flash 0x10000.
  EXPECT_FALSE(backend_.ReadMemory(TransferMode::WriteWindow, 0xFFF8, data));
  EXPECT_TRUE(KsRequests(sim_).empty());
  EXPECT_EQ(sim_.Flash().Contents(), before);

  // Up to the top exactly is a write like any other.
  EXPECT_TRUE(backend_.ReadMemory(TransferMode::WriteWindow, 0xFFF8, std::span(data).first(8)));
  EXPECT_EQ(KsRequests(sim_), (std::vector<Wire>{WindowSet(0xFFF8, 0x18, {0, 0, 0, 0, 0, 0, 0, 0})}));
  EXPECT_EQ(sim_.Flash().Contents()[0x1FFFF], 0x00);
}

// ---- Block reads (mode 9) -----------------------------------------------------------------------

TEST_F(MemoryTransferTest, BlockReadsAskEightBytesPerPiece) {
  Open();
  GuardedBuffer buffer(10);
  EXPECT_TRUE(backend_.ReadMemory(TransferMode::ReadBlocks, 0x9FF8, buffer.View()));
  EXPECT_EQ(KsRequests(sim_), (std::vector<Wire>{BlockSet(0x9FF8), BlockGet(), BlockSet(0xA000), BlockGet()}));
  for (std::size_t i = 0; i < 10; ++i)
    EXPECT_EQ(buffer.View()[i], simcam::BlockReadPattern(static_cast<std::uint16_t>(0x9FF8 + i)));
  EXPECT_TRUE(buffer.GuardsIntact());
}

// ---- Refusals and failures ----------------------------------------------------------------------

TEST_F(MemoryTransferTest, RefusedModesAndChunkZeroSendNothing) {
  Open();
  std::array<std::uint8_t, 8> buffer{};
  for (const int mode : {0, 5, 8, 10, -7}) {
    EXPECT_FALSE(backend_.ReadMemory(mode, 0x3E00, buffer)) << "mode " << mode;
  }
  for (const int mode : {6, 7, 9}) {
    EXPECT_FALSE(backend_.MemoryTransfer(0, mode, 0x3E00, buffer, 0)) << "mode " << mode;
  }
  EXPECT_TRUE(KsRequests(sim_).empty());
}

TEST_F(MemoryTransferTest, NothingIsSentOnAClosedSlot) {
  std::array<std::uint8_t, 8> buffer{};
  std::uint8_t value = 0;
  std::uint16_t word = 0;
  const auto allRefused = [&] {
    EXPECT_FALSE(backend_.ReadMemory(TransferMode::ReadWindow, 0x3E00, buffer));
    EXPECT_FALSE(backend_.ReadMemory(TransferMode::WriteWindow, 0x3E00, buffer));
    EXPECT_FALSE(backend_.ReadMemory(TransferMode::ReadBlocks, 0x3E00, buffer));
    EXPECT_FALSE(backend_.WriteRegister(0x1080, 1));
    EXPECT_FALSE(backend_.ReadRegister(0x1084, value));
    EXPECT_FALSE(backend_.ReadDeviceInfoByte(value));
    EXPECT_FALSE(backend_.ReadDeviceInfoWord(word));
    EXPECT_EQ(backend_.ProbeMaskRomType(buffer), 0);
    EXPECT_FALSE(backend_.MemoryTransfer(0, 7, 0x3E00, buffer, 8));
    EXPECT_FALSE(backend_.CloseDevice());
  };
  allRefused();  // never opened
  EXPECT_TRUE(sim_.Requests().empty());

  Open();
  EXPECT_FALSE(backend_.ReadRegister(1, 0x1084, value));  // another slot was never opened
  EXPECT_FALSE(backend_.ReadRegister(Backend::kSlotCount, 0x1084, value));
  EXPECT_FALSE(backend_.ReadRegister(-1, 0x1084, value));
  EXPECT_TRUE(backend_.CloseDevice());
  EXPECT_EQ(backend_.Binding().filter, nullptr);
  allRefused();  // closed
  EXPECT_TRUE(sim_.Requests().empty());
}

TEST_F(MemoryTransferTest, AFailedRequestEndsTheTransfer) {
  FillFlashWithPattern();
  Open();
  // The second fetch of a three-piece run fails: nothing more is sent.
  sim_.Faults().failRequest = sim_.RequestCount() + 3;
  std::array<std::uint8_t, 24> buffer{};
  EXPECT_FALSE(backend_.ReadMemory(TransferMode::ReadWindow, 0x1000, buffer));
  EXPECT_EQ(KsRequests(sim_), (std::vector<Wire>{WindowSet(0x1000, 0x88), WindowGet(), WindowGet()}));

  // A refused read request sends no fetch.
  sim_.ClearLogs();
  sim_.Faults().failRequest = sim_.RequestCount() + 1;
  EXPECT_FALSE(backend_.ReadMemory(TransferMode::ReadWindow, 0x1000, buffer));
  EXPECT_EQ(KsRequests(sim_), (std::vector<Wire>{WindowSet(0x1000, 0x88)}));

  // A refused write piece ends the write.
  sim_.ClearLogs();
  sim_.Faults().failRequest = sim_.RequestCount() + 1;
  EXPECT_FALSE(backend_.ReadMemory(TransferMode::WriteWindow, 0x2000, buffer));
  EXPECT_EQ(KsRequests(sim_).size(), 1u);

  // A refused block read request sends no get.
  sim_.ClearLogs();
  sim_.Faults().failRequest = sim_.RequestCount() + 1;
  EXPECT_FALSE(backend_.ReadMemory(TransferMode::ReadBlocks, 0x2000, buffer));
  EXPECT_EQ(KsRequests(sim_), (std::vector<Wire>{BlockSet(0x2000)}));
}

}  // namespace
}  // namespace torvane::camera::test
