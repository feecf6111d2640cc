// The firmware-version and ROM-type queries, and the status texts the workers make of results.
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "operations/Operations.h"
#include "rom/SampleImage.h"
#include "tests/operations/Bench.h"

namespace torvane::operations::testing {
namespace {

using Event = ControlEvent;

// A camera of this chip id whose flash holds a sample image made for it (the default fields).
Bench& WithSample(Bench& bench, std::uint8_t chipId, const std::string& tag = "TVSM1") {
  rom::SampleImageParams params;
  params.chipId = chipId;
  params.InfoTag = tag;
  const auto sample = rom::BuildSampleImage(params);
  EXPECT_EQ(sample.problem, "");
  std::copy(sample.bytes.begin(), sample.bytes.end(), bench.Flash().begin());
  return bench;
}

simcam::SimConfig Chip(std::uint8_t chipId) {
  simcam::SimConfig config;
  config.controller.chipId = chipId;
  return config;
}

// The window read requests (12 bytes, read bit set): address and control byte.
std::vector<std::pair<int, int>> WindowReadRequests(const Bench& bench) {
  std::vector<std::pair<int, int>> found;
  for (const auto& r : bench.sim.Requests()) {
    if (r.id == simcam::kSelectorWindow && r.flags == Bench::kSet && r.sent.size() == 12 && (r.sent[2] & 0x80) != 0)
      found.emplace_back(r.sent[0] | (r.sent[1] << 8), r.sent[2]);
  }
  return found;
}

TEST(FirmwareVersion, ShowsFourLinesReadWhereTheChipIdPlacesThem) {
  struct Case {
    std::uint8_t chipId;
    std::vector<std::pair<int, int>> reads;  // InfoField1, InfoField2, InfoField3 (two requests each), InfoTag
  };
  const Case cases[] = {
      {0x16, {{0x0FD0, 0x88}, {0x0FD8, 0x82}, {0x0FDA, 0x88}, {0x0FE2, 0x82}, {0x0FE4, 0x88}, {0x0FEC, 0x82}, {0x0153, 0x85}}},
      {0x70, {{0x3E05, 0x88}, {0x3E0D, 0x82}, {0x3E0F, 0x88}, {0x3E17, 0x82}, {0x3E19, 0x88}, {0x3E21, 0x82}, {0x3E00, 0x85}}},
  };
  for (const Case& c : cases) {
    Bench bench(Chip(c.chipId));
    WithSample(bench, c.chipId);
    ShowFirmwareVersion(bench.context, bench.controls);
    EXPECT_EQ(bench.controls.Events(),
              std::vector<Event>{Event::CaptionedBox("TVSM1\r\nCAM-000042\r\n2024-06-01\r\n010203AB01", "Get F/W Version")});
    EXPECT_EQ(WindowReadRequests(bench), c.reads) << int{c.chipId};
    EXPECT_EQ(bench.context.link.ChipId, c.chipId);
    EXPECT_FALSE(bench.context.backend.SlotOpen(0));
  }
}

TEST(FirmwareVersion, ZeroFirstTagByteGivesAnEmptyBox) {
  Bench bench(Chip(0x32));
  WithSample(bench, 0x32, "");
  ShowFirmwareVersion(bench.context, bench.controls);
  EXPECT_EQ(bench.controls.Events(), std::vector<Event>{Event::CaptionedBox("", "Get F/W Version")});
}

TEST(FirmwareVersion, ShowsNothingWithoutACamera) {
  simcam::SimConfig config;
  config.devices.clear();
  Bench bench(config);
  ShowFirmwareVersion(bench.context, bench.controls);
  EXPECT_EQ(bench.controls.Events(), std::vector<Event>{});
}

TEST(FirmwareVersion, ChipIdWithoutARowIsSaidPlainly) {
  Bench bench(Chip(0x42));
  ShowFirmwareVersion(bench.context, bench.controls);
  EXPECT_EQ(bench.controls.Events(), std::vector<Event>{Event::Box("No F/W Version for Chip ID 0x42!")});
  EXPECT_TRUE(WindowReadRequests(bench).empty());
  EXPECT_FALSE(bench.context.backend.SlotOpen(0));
}

// The number of the request of a healthy run of the query that matches `pick` (counted from 1).
template <typename Pick>
std::uint64_t RequestNumberOf(std::uint8_t chipId, Pick pick) {
  Bench bench(Chip(chipId));
  WithSample(bench, chipId);
  ShowFirmwareVersion(bench.context, bench.controls);
  std::vector<std::uint64_t> numbers;
  for (const auto& r : bench.sim.Requests()) {
    if (pick(r)) numbers.push_back(r.number);
  }
  return numbers.empty() ? 0 : numbers.back();
}

TEST(FirmwareVersion, UnreadBytesAreNeverShown) {
  // The last chip-id read of the query (after discovery and the back end's open) and the read of the tag.
  const std::uint64_t chipIdRead = RequestNumberOf(0x32, [](const simcam::RequestRecord& r) {
    return r.id == simcam::kSelectorRegister && r.flags == Bench::kSet && r.sent[0] == 0x1F && r.sent[1] == 0x10;
  });
  const std::uint64_t tagRead = RequestNumberOf(0x32, [](const simcam::RequestRecord& r) {
    return r.id == simcam::kSelectorWindow && r.flags == Bench::kSet;
  });
  ASSERT_GT(chipIdRead, 0u);
  ASSERT_GT(tagRead, chipIdRead);

  const std::pair<std::uint64_t, const char*> cases[] = {
      {chipIdRead, "GetChipIDValue Failed!"},
      {tagRead, "Read F/W Version Failed!"},
  };
  for (const auto& [request, message] : cases) {
    simcam::SimConfig config = Chip(0x32);
    config.faults.failRequest = request;
    Bench bench(config);
    WithSample(bench, 0x32);
    ShowFirmwareVersion(bench.context, bench.controls);
    EXPECT_EQ(bench.controls.Events(), std::vector<Event>{Event::Box(message)});
    EXPECT_FALSE(bench.context.backend.SlotOpen(0));
  }
}

TEST(RomType, ShowsTheMaskRomRowInTheStatusLine) {
  for (const bool blockReads : {true, false}) {
    simcam::SimConfig config;
    config.controller.blockRead = blockReads;
    Bench bench(config);
    bench.FindCamera();
    QueryRomType(bench.context, bench.controls);
    EXPECT_EQ(bench.controls.Events(),
              std::vector<Event>{Event::SetText(kStatusLine, blockReads ? "Rom Type: 23" : "Rom Type: unknown")});
  }
}

TEST(OperationResult, ShowsTheStringOfItsOperationInTheLanguage) {
  struct Case {
    Operation operation;
    int result;
    resources::Language language;
    const char* text;
  };
  const Case cases[] = {
      {Operation::Burn, 1, resources::Language::English, "Burn Successes!"},
      {Operation::Burn, 0, resources::Language::English, "Burn Failed!"},
      {Operation::Erase, 1, resources::Language::English, "Flash Erase Successes!"},
      {Operation::Erase, 0, resources::Language::Chinese, "擦除失败！"},
      {Operation::Export, 1, resources::Language::Chinese, "导出成功！"},
      {Operation::Export, 0, resources::Language::English, "Export Failed!"},
  };
  for (const Case& c : cases) {
    RecordingControls controls(c.language);
    ShowOperationResult(controls, c.operation, c.result);
    EXPECT_EQ(controls.Events(), std::vector<Event>{Event::SetText(kStatusLine, c.text)});
  }
}
}  // namespace
}  // namespace torvane::operations::testing
