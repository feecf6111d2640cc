#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/linux/UvcDescriptors.h"
#include "tests/platform_linux/DescriptorBlobs.h"

using namespace blobs;
using torvane::platform::Guid;
using torvane::platform::uvc::DescriptorParse;
using torvane::platform::uvc::FindVideoControl;
using torvane::platform::uvc::ParseUsbDescriptors;

namespace {

struct XuExpect {
  std::uint8_t bUnitID;
  std::string guid;
  std::uint8_t bNumControls;
  Bytes baSourceID;
  Bytes selectors;
};

struct Case {
  const char* name;
  Bytes blob;
  // A parse: the node ids and extension units of the first VideoControl interface.
  Bytes nodeIds;
  std::vector<XuExpect> units;
  // A failure: the offset of the bad descriptor the error must name.
  long errorOffset = -1;
};

const char* kVendor = "{28F03370-6311-4A2E-BA2C-6890EB334016}";
const char* kOther = "{0F3F95DC-2632-4C4E-92C9-A04782F43BC8}";

// A single VideoControl interface holding `entities` after its header, then a streaming interface.
Bytes CameraWith(const Bytes& entities) {
  return Cat({Device(), Config(1, Cat({VideoControl(0), VcHeader(), entities, Streaming(1)}))});
}

// Offset of the first VideoControl entity in CameraWith(): device, configuration, interface, header.
const long kFirstEntity = 18 + 9 + 9 + 13;

Bytes WithLength(Bytes d, std::uint8_t bLength) {
  d[0] = bLength;
  return d;
}

std::vector<Case> Cases() {
  const Bytes typical = TypicalCamera();
  const long typicalXu = 18 + 9 + 8 + 9 + 13 + 18 + 11;  // after the terminal and processing unit
  return {
      {"typical camera: one extension unit among the units, a format of subtype 6 in streaming",
       typical, {1, 2, 3, 4}, {{3, kVendor, 5, {2}, {1, 2, 3, 4, 5}}}},
      {"several units and two extension units, in descriptor order",
       CameraWith(Cat({CameraTerminal(1), ProcessingUnit(2, 1), ExtensionUnit(7, kOtherUnitWire, 2, {2}, {0x03}),
                       ExtensionUnit(3, kVendorUnitWire, 5, {7}, {0x1F}), SelectorUnit(5, 3, 7),
                       OutputTerminal(6, 5)})),
       {1, 2, 7, 3, 5, 6},
       {{7, kOther, 2, {2}, {1, 2}}, {3, kVendor, 5, {7}, {1, 2, 3, 4, 5}}}},
      {"extension unit with two input pins",
       CameraWith(Cat({CameraTerminal(1), ProcessingUnit(2, 1), ExtensionUnit(5, kVendorUnitWire, 2, {2, 1}, {0x81}),
                       OutputTerminal(6, 5)})),
       {1, 2, 5, 6}, {{5, kVendor, 2, {2, 1}, {1, 8}}}},
      {"bControlSize 0: no selectors",
       CameraWith(ExtensionUnit(3, kVendorUnitWire, 0, {1}, {})), {3}, {{3, kVendor, 0, {1}, {}}}},
      {"bControlSize 2: selector 10",
       CameraWith(ExtensionUnit(3, kVendorUnitWire, 1, {1}, {0x00, 0x02})), {3}, {{3, kVendor, 1, {1}, {10}}}},
      {"bControlSize 3: selectors 1 and 24",
       CameraWith(ExtensionUnit(3, kVendorUnitWire, 2, {1}, {0x01, 0x00, 0x80})), {3},
       {{3, kVendor, 2, {1}, {1, 24}}}},
      {"units of other interfaces and before any interface are not the camera's",
       Cat({Device(), ExtensionUnit(9, kVendorUnitWire, 1, {1}, {0x01}),
            Config(1, Cat({VideoControl(0), VcHeader(), CameraTerminal(1), OutputTerminal(2, 1), Streaming(1),
                           Interface(2, 0, kAudioClass, kAudioControl),
                           ExtensionUnit(8, kVendorUnitWire, 1, {1}, {0x01})}))}),
       {1, 2}, {}},
      {"a descriptor past the end (truncated blob)", Bytes(typical.begin(), typical.begin() + typicalXu + 20), {}, {},
       typicalXu},
      {"bLength 0", CameraWith(Cat({CameraTerminal(1), Bytes{0, USB_DT_CS_INTERFACE, 0, 0}})), {}, {},
       kFirstEntity + 18},
      {"bLength 1", CameraWith(Cat({Bytes{1, 0}, CameraTerminal(1)})), {}, {}, kFirstEntity},
      {"one byte left after the last descriptor", Cat({typical, Bytes{9}}), {}, {},
       static_cast<long>(typical.size())},
      {"extension unit shorter than its fixed fields",
       CameraWith(WithLength(ExtensionUnit(3, kVendorUnitWire, 1, {}, {}), 23)), {}, {}, kFirstEntity},
      {"extension unit whose input pins run past its bLength",
       CameraWith(WithLength(ExtensionUnit(3, kVendorUnitWire, 1, {1, 2}, {0x01}), 26)), {}, {}, kFirstEntity},
      {"extension unit whose bControlSize runs past its bLength",
       CameraWith(WithLength(ExtensionUnit(3, kVendorUnitWire, 1, {1}, {0x01, 0x02}), 26)), {}, {}, kFirstEntity},
      {"an extension unit sharing its id with another unit",
       CameraWith(Cat({CameraTerminal(1), ProcessingUnit(3, 1), ExtensionUnit(3, kVendorUnitWire, 1, {3}, {0x01})})),
       {}, {}, kFirstEntity + 18 + 11},
      {"terminal without an id", CameraWith(Bytes{3, USB_DT_CS_INTERFACE, UVC_VC_INPUT_TERMINAL}), {}, {},
       kFirstEntity},
  };
}

TEST(UvcDescriptors, TableOfBlobs) {
  for (const Case& c : Cases()) {
    SCOPED_TRACE(c.name);
    const DescriptorParse parse = ParseUsbDescriptors(c.blob);
    if (c.errorOffset >= 0) {
      EXPECT_FALSE(parse.Ok());
      EXPECT_NE(parse.error.find("offset " + std::to_string(c.errorOffset) + ":"), std::string::npos) << parse.error;
      EXPECT_TRUE(parse.interfaces.empty());
      continue;
    }
    ASSERT_TRUE(parse.Ok()) << parse.error;
    ASSERT_EQ(parse.interfaces.size(), 1u);
    const auto& vc = parse.interfaces[0];
    Bytes ids;
    for (const auto& n : vc.nodes) ids.push_back(n.bID);
    EXPECT_EQ(ids, c.nodeIds);
    ASSERT_EQ(vc.extensionUnits.size(), c.units.size());
    for (std::size_t i = 0; i < c.units.size(); ++i) {
      const auto& xu = vc.extensionUnits[i];
      EXPECT_EQ(xu.bUnitID, c.units[i].bUnitID);
      EXPECT_EQ(xu.guidExtensionCode.ToString(), c.units[i].guid);
      EXPECT_EQ(xu.bNumControls, c.units[i].bNumControls);
      EXPECT_EQ(xu.baSourceID, c.units[i].baSourceID);
      EXPECT_EQ(xu.Selectors(), c.units[i].selectors);
    }
    // Each extension-unit node points at its own unit.
    for (const auto& n : vc.nodes) {
      EXPECT_EQ(n.extensionUnit.has_value(), n.bDescriptorSubtype == UVC_VC_EXTENSION_UNIT);
      if (n.extensionUnit) {
        EXPECT_EQ(vc.extensionUnits[*n.extensionUnit].bUnitID, n.bID);
      }
    }
  }
}

TEST(UvcDescriptors, VendorUnitGuidReadFromItsWireForm) {
  const DescriptorParse parse = ParseUsbDescriptors(TypicalCamera());
  ASSERT_TRUE(parse.Ok()) << parse.error;
  const Guid g = parse.interfaces.at(0).extensionUnits.at(0).guidExtensionCode;
  EXPECT_EQ(g, Guid::FromString("{28F03370-6311-4A2E-BA2C-6890EB334016}"));
  EXPECT_EQ(g.ToString(), "{28F03370-6311-4A2E-BA2C-6890EB334016}");
  EXPECT_EQ(g.ToWire(), kVendorUnitWire);
}

TEST(UvcDescriptors, VideoControlChosenByConfigurationAndInterface) {
  // Two camera functions in configuration 1 (interfaces 0 and 2), and configuration 2 again.
  const Bytes blob = Cat({Device(),
                          Config(1, Cat({VideoControl(0), VcHeader(), ExtensionUnit(3, kOtherUnitWire, 1, {1}, {0x01}),
                                         Streaming(1), VideoControl(2), VcHeader(),
                                         ExtensionUnit(4, kVendorUnitWire, 5, {1}, {0x1F}), Streaming(3)})),
                          Config(2, Cat({VideoControl(0), VcHeader(), ExtensionUnit(6, kVendorUnitWire, 1, {1}, {0x01}),
                                         Streaming(1)}))});
  const DescriptorParse parse = ParseUsbDescriptors(blob);
  ASSERT_TRUE(parse.Ok()) << parse.error;
  EXPECT_EQ(parse.interfaces.size(), 3u);
  const struct {
    std::uint8_t configuration, interface, unit;
  } picks[] = {{1, 0, 3}, {1, 2, 4}, {2, 0, 6}};
  for (const auto& p : picks) {
    const auto* vc = FindVideoControl(parse, p.configuration, p.interface);
    ASSERT_NE(vc, nullptr);
    EXPECT_EQ(vc->extensionUnits.at(0).bUnitID, p.unit);
  }
  EXPECT_EQ(FindVideoControl(parse, 1, 1), nullptr);  // a streaming interface
  EXPECT_EQ(FindVideoControl(parse, 3, 0), nullptr);
}

TEST(UvcDescriptors, EmptyBlobHasNoVideoControl) {
  const DescriptorParse parse = ParseUsbDescriptors({});
  EXPECT_TRUE(parse.Ok());
  EXPECT_TRUE(parse.interfaces.empty());
}

}  // namespace
