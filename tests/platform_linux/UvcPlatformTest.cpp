#include <gtest/gtest.h>

#include <array>
#include <string>

#include "platform/linux/UvcPlatform.h"
#include "tests/platform_linux/DescriptorBlobs.h"
#include "tests/platform_linux/FakeSystem.h"

using namespace torvane::platform;
using blobs::Cat;
using fake::Bytes;
using fake::XuCall;
using uvc::UvcDevice;
using uvc::UvcPlatform;

namespace {

const Guid kVendorSet = Guid::FromString("{28F03370-6311-4A2E-BA2C-6890EB334016}");
const Guid kOtherSet = Guid::FromString("{0F3F95DC-2632-4C4E-92C9-A04782F43BC8}");
constexpr std::uint32_t kSet = KSPROPERTY_TYPE_SET | KSPROPERTY_TYPE_TOPOLOGY;
constexpr std::uint32_t kGet = KSPROPERTY_TYPE_GET | KSPROPERTY_TYPE_TOPOLOGY;
constexpr std::uint32_t kProbe = KSPROPERTY_TYPE_SETSUPPORT | KSPROPERTY_TYPE_TOPOLOGY;

// The camera's topology: node 0 camera terminal 1, node 1 processing unit 2, node 2 another maker's
// extension unit 4 (selectors 1 to 3), node 3 the vendor unit 6 (selectors 1 to 5), node 4 output
// terminal 5. The vendor unit's id differs from its node index on purpose.
constexpr std::uint32_t kVendorNode = 3;
constexpr std::uint8_t kVendorUnit = 6;
constexpr std::uint8_t kOtherUnit = 4;

const std::string kUsbDevice = "/sys/devices/pci0000:00/0000:00:14.0/usb1/1-2";
const std::string kInterface = kUsbDevice + "/1-2:1.0";

Bytes Text(const std::string& s) { return Bytes(s.begin(), s.end()); }

Bytes CameraDescriptors() {
  using namespace blobs;
  return Cat({Device(), Config(1, Cat({Association(0, 2), VideoControl(0), VcHeader(), CameraTerminal(1),
                                       ProcessingUnit(2, 1), ExtensionUnit(kOtherUnit, kOtherUnitWire, 3, {2}, {0x07}),
                                       ExtensionUnit(kVendorUnit, kVendorUnitWire, 5, {4}, {0x1F}),
                                       OutputTerminal(5, 6), Endpoint(0x83), Streaming(1)}))});
}

class UvcPlatformTest : public ::testing::Test {
 protected:
  void SetUp() override {
    sys.devNames = {"video1", "null", "video0"};
    sys.nodes["/dev/video0"] = {0, "uvcvideo", "USB Camera", "usb-0000:00:14.0-2",
                                V4L2_CAP_VIDEO_CAPTURE | V4L2_CAP_STREAMING, makedev(81, 0)};
    sys.nodes["/dev/video1"] = {0, "uvcvideo", "USB Camera", "usb-0000:00:14.0-2",
                                V4L2_CAP_META_CAPTURE | V4L2_CAP_STREAMING, makedev(81, 1)};
    sys.links["/sys/dev/char/81:0/device"] = kInterface;
    sys.files[kInterface + "/bInterfaceNumber"] = Text("00\n");
    sys.files[kUsbDevice + "/bConfigurationValue"] = Text("1\n");
    sys.files[kUsbDevice + "/descriptors"] = CameraDescriptors();
    sys.controls[{kVendorUnit, 1}] = {4, 3, {}};
    sys.controls[{kVendorUnit, 2}] = {8, 3, {}};
    sys.controls[{kVendorUnit, 3}] = {12, 3, {}};
    sys.controls[{kVendorUnit, 4}] = {12, 3, {}};
    sys.controls[{kVendorUnit, 5}] = {12, 1, {}};  // device information: get only
    for (std::uint8_t s = 1; s <= 3; ++s) sys.controls[{kOtherUnit, s}] = {4, 3, {}};
  }

  // Enumerates and binds the first camera.
  std::unique_ptr<BoundDevice> Bind() {
    std::size_t count = 0;
    EXPECT_EQ(platform.EnumerateDevices(count), kS_OK) << platform.LastError();
    std::unique_ptr<BoundDevice> device;
    EXPECT_EQ(platform.BindDevice(0, device), kS_OK) << platform.LastError();
    EXPECT_NE(device, nullptr);
    return device;
  }

  static const UvcDevice& Uvc(const std::unique_ptr<BoundDevice>& d) { return dynamic_cast<const UvcDevice&>(*d); }

  static HResult Request(BoundDevice& d, std::uint32_t selector, std::uint32_t flags, std::span<std::uint8_t> data,
                         std::uint32_t node = kVendorNode, const Guid& set = kVendorSet) {
    return d.KsProperty({set, selector, flags, node, 0}, data);
  }

  fake::FakeSystem sys;
  UvcPlatform platform{sys};
};

// ---------------------------------------------------------------------------------------------------
// Enumeration and binding

TEST_F(UvcPlatformTest, EnumeratesUvcCaptureNodesInNodeNumberOrder) {
  const std::string fullCard(32, 'C');  // a card that fills its field has no terminating zero
  sys.devNames = {"video10", "video2", "video1", "videoX", "video", "media0", "video0"};
  sys.nodes["/dev/video2"] = {0, "vivid", "Virtual", "platform:vivid-000", V4L2_CAP_VIDEO_CAPTURE, makedev(81, 2)};
  sys.nodes["/dev/video10"] = {0, "uvcvideo", fullCard, "usb-0000:00:14.0-3", V4L2_CAP_VIDEO_CAPTURE,
                               makedev(81, 10)};
  std::size_t count = 0;
  ASSERT_EQ(platform.EnumerateDevices(count), kS_OK);
  ASSERT_EQ(count, 2u);
  std::string name, path;
  EXPECT_EQ(platform.ReadDevicePath(0, path), kS_OK);
  EXPECT_EQ(path, "/dev/video0");
  EXPECT_EQ(platform.ReadFriendlyName(0, name), kS_OK);
  EXPECT_EQ(name, "USB Camera");
  EXPECT_EQ(platform.ReadDevicePath(1, path), kS_OK);
  EXPECT_EQ(path, "/dev/video10");
  EXPECT_EQ(platform.ReadFriendlyName(1, name), kS_OK);
  EXPECT_EQ(name, fullCard);
  EXPECT_LT(platform.ReadFriendlyName(2, name), 0);

  // Every node asked was opened close-on-exec and closed again.
  std::vector<std::string> opened;
  for (const auto& [p, flags] : sys.opens) {
    opened.push_back(p);
    EXPECT_EQ(flags & O_CLOEXEC, O_CLOEXEC) << p;
  }
  EXPECT_EQ(opened, (std::vector<std::string>{"/dev/video0", "/dev/video1", "/dev/video2", "/dev/video10"}));
  EXPECT_TRUE(sys.openFds.empty());
}

TEST_F(UvcPlatformTest, NoCameraIsSFalse) {
  for (const auto& names : {std::vector<std::string>{}, std::vector<std::string>{"null", "video1"}}) {
    sys.devNames = names;
    std::size_t count = 7;
    EXPECT_EQ(platform.EnumerateDevices(count), kS_FALSE);
    EXPECT_EQ(count, 0u);
    std::unique_ptr<BoundDevice> device;
    EXPECT_LT(platform.BindDevice(0, device), 0);
    EXPECT_EQ(device, nullptr);
  }
  // A node gone between the listing and the open is no camera, and no error.
  sys.devNames = {"video0", "video5"};
  std::size_t count = 0;
  sys.nodes["/dev/video0"].openError = ENODEV;
  EXPECT_EQ(platform.EnumerateDevices(count), kS_FALSE);
  EXPECT_EQ(platform.LastError(), "");
}

TEST_F(UvcPlatformTest, UnreadableDevIsAnError) {
  sys.listError = EACCES;
  std::size_t count = 0;
  EXPECT_LT(platform.EnumerateDevices(count), 0);
  EXPECT_NE(platform.LastError().find("/dev"), std::string::npos);
}

TEST_F(UvcPlatformTest, NodesThatCannotBeOpenedNameTheVideoGroup) {
  sys.nodes["/dev/video0"].openError = EACCES;
  sys.nodes["/dev/video1"].openError = EACCES;
  std::size_t count = 0;
  // Not "no cameras": there may be one behind the refusal.
  EXPECT_EQ(platform.EnumerateDevices(count), kE_ACCESSDENIED);
  EXPECT_EQ(count, 0u);
  EXPECT_NE(platform.LastError().find("cannot open /dev/video0"), std::string::npos) << platform.LastError();
  EXPECT_NE(platform.LastError().find("group \"video\""), std::string::npos) << platform.LastError();

  // With another camera open to us, that one is offered and the refused node still told.
  sys.devNames.push_back("video2");
  sys.nodes["/dev/video2"] = {0, "uvcvideo", "Second", "usb-0000:00:14.0-4", V4L2_CAP_VIDEO_CAPTURE, makedev(81, 2)};
  EXPECT_EQ(platform.EnumerateDevices(count), kS_OK);
  EXPECT_EQ(count, 1u);
  EXPECT_NE(platform.LastError().find("group \"video\""), std::string::npos);

  // Refused at binding time.
  sys.nodes["/dev/video2"].openError = EPERM;
  std::unique_ptr<BoundDevice> device;
  EXPECT_EQ(platform.BindDevice(0, device), kE_ACCESSDENIED);
  EXPECT_EQ(device, nullptr);
  EXPECT_NE(platform.LastError().find("group \"video\""), std::string::npos);
}

TEST_F(UvcPlatformTest, BoundDeviceKeepsOneCloexecDescriptorUntilReleased) {
  auto device = Bind();
  ASSERT_EQ(sys.openFds.size(), 1u);
  EXPECT_EQ(sys.opens.back().first, "/dev/video0");
  EXPECT_EQ(sys.opens.back().second, O_RDWR | O_CLOEXEC);
  EXPECT_EQ(device->QueryPropertySet(), nullptr);  // the chip-id fallback has nothing to ask here
  device.reset();
  EXPECT_TRUE(sys.openFds.empty());
}

TEST_F(UvcPlatformTest, BindRefusesANodeThatIsNoLongerTheCamera) {
  std::size_t count = 0;
  ASSERT_EQ(platform.EnumerateDevices(count), kS_OK);
  sys.nodes["/dev/video0"].busInfo = "usb-0000:00:14.0-7";  // replugged: another camera took the number
  std::unique_ptr<BoundDevice> device;
  EXPECT_LT(platform.BindDevice(0, device), 0);
  EXPECT_EQ(device, nullptr);
  EXPECT_TRUE(sys.openFds.empty());
}

TEST_F(UvcPlatformTest, TopologyIsTheUnitsAndTerminalsOfTheNodesInterface) {
  auto device = Bind();
  std::uint32_t count = 0;
  ASSERT_EQ(device->NodeCount(count), kS_OK);
  ASSERT_EQ(count, 5u);
  for (std::uint32_t n = 0; n < count; ++n) {
    Guid type = KSNODETYPE_DEV_SPECIFIC;
    ASSERT_EQ(device->NodeType(n, type), kS_OK);
    EXPECT_EQ(type == KSNODETYPE_DEV_SPECIFIC, n == 2 || n == kVendorNode) << n;
  }
  Guid type;
  EXPECT_LT(device->NodeType(count, type), 0);

  // A device with two camera functions: the node belongs to VideoControl interface 2, whose only
  // unit is the vendor unit 9.
  using namespace blobs;
  sys.files[kUsbDevice + "/descriptors"] =
      Cat({Device(), Config(1, Cat({VideoControl(0), VcHeader(), CameraTerminal(1), Streaming(1), VideoControl(2),
                                    VcHeader(), ExtensionUnit(9, kVendorUnitWire, 1, {1}, {0x01}), Streaming(3)}),
                            4)});
  sys.links["/sys/dev/char/81:0/device"] = kUsbDevice + "/1-2:1.2";
  sys.files[kUsbDevice + "/1-2:1.2/bInterfaceNumber"] = Text("02\n");
  device = Bind();
  ASSERT_EQ(device->NodeCount(count), kS_OK);
  ASSERT_EQ(count, 1u);
  ASSERT_EQ(device->NodeType(0, type), kS_OK);
  EXPECT_EQ(type, KSNODETYPE_DEV_SPECIFIC);
  sys.controls[{9, 1}] = {4, 3, {}};
  std::array<std::uint8_t, 4> payload{};
  EXPECT_EQ(Request(*device, 1, kSet, payload, 0), kS_OK);
  ASSERT_FALSE(sys.xuLog.empty());
  EXPECT_EQ(sys.xuLog.back().unit, 9);
}

TEST_F(UvcPlatformTest, UnreadableTopologyFailsTheNodeCallsNotTheBinding) {
  const struct {
    const char* name;
    void (*spoil)(fake::FakeSystem&);
    const char* told;
  } cases[] = {
      {"no sysfs link", [](fake::FakeSystem& s) { s.links.clear(); }, "/sys/dev/char/81:0/device"},
      {"no descriptors", [](fake::FakeSystem& s) { s.files.erase(kUsbDevice + "/descriptors"); }, "descriptors"},
      {"unconfigured device", [](fake::FakeSystem& s) { s.files[kUsbDevice + "/bConfigurationValue"] = Text("\n"); },
       "bConfigurationValue"},
      {"malformed descriptors",
       [](fake::FakeSystem& s) {
         auto& d = s.files[kUsbDevice + "/descriptors"];
         d.resize(d.size() - 3);
       },
       "runs past the end"},
      {"interface not in the descriptors",
       [](fake::FakeSystem& s) { s.files[kInterface + "/bInterfaceNumber"] = Text("01\n"); },
       "no VideoControl interface 1"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    SetUp();
    c.spoil(sys);
    auto device = Bind();
    ASSERT_NE(device, nullptr);
    std::uint32_t count = 0;
    EXPECT_LT(device->NodeCount(count), 0);
    EXPECT_NE(Uvc(device).LastError().find(c.told), std::string::npos) << Uvc(device).LastError();
    std::array<std::uint8_t, 4> payload{};
    EXPECT_LT(Request(*device, 1, kSet, payload), 0);
    EXPECT_TRUE(sys.xuLog.empty());
  }
}

// ---------------------------------------------------------------------------------------------------
// Requests

TEST_F(UvcPlatformTest, RequestsReachOnlyTheExtensionUnitOfTheirPropertySet) {
  auto device = Bind();
  std::array<std::uint8_t, 4> payload = {0x1F, 0x10, 0x00, 0xFF};
  const struct {
    const char* name;
    std::uint32_t node;
    Guid set;
    std::uint32_t flags;
  } refused[] = {
      {"fallback node 1, a processing unit", 1, kVendorSet, kSet},
      {"fallback node 2, another maker's extension unit", 2, kVendorSet, kSet},
      {"node 2 probed for the vendor set", 2, kVendorSet, kProbe},
      {"camera terminal", 0, kVendorSet, kGet},
      {"output terminal", 4, kVendorSet, kSet},
      {"no such node", 5, kVendorSet, kSet},
      {"vendor unit asked for another set", kVendorNode, kOtherSet, kSet},
      {"vendor unit, set and get at once", kVendorNode, kVendorSet, kSet | kGet},
      {"vendor unit, no topology flag", kVendorNode, kVendorSet, KSPROPERTY_TYPE_SET},
  };
  for (const auto& c : refused) {
    SCOPED_TRACE(c.name);
    EXPECT_LT(Request(*device, 1, c.flags, payload, c.node, c.set), 0);
    EXPECT_FALSE(Uvc(device).LastError().empty());
  }
  EXPECT_TRUE(sys.xuLog.empty());

  // The probe of the vendor unit succeeds without troubling the camera.
  EXPECT_EQ(Request(*device, 0, kProbe, {}), kS_OK);
  EXPECT_TRUE(sys.xuLog.empty());
}

TEST_F(UvcPlatformTest, SelectorsTheUnitDoesNotAnnounceAreNotSent) {
  sys.controls[{kVendorUnit, 6}] = {4, 3, {}};  // the camera would answer, but bmControls does not offer it
  auto device = Bind();
  std::array<std::uint8_t, 4> payload{};
  for (const std::uint32_t selector : {0u, 6u, 8u, 256u + 1u}) {
    EXPECT_LT(Request(*device, selector, kSet, payload), 0) << selector;
  }
  EXPECT_TRUE(sys.xuLog.empty());
}

TEST_F(UvcPlatformTest, PayloadIsPaddedToTheControlLengthAskedOncePerDevice) {
  auto device = Bind();
  // An 11-byte window request to the 12-byte control: GET_LEN, GET_INFO, then 12 bytes.
  std::array<std::uint8_t, 11> window = {0x34, 0x12, 0x08, 1, 2, 3, 4, 5, 6, 7, 8};
  ASSERT_EQ(Request(*device, 3, kSet, window), kS_OK) << Uvc(device).LastError();
  const std::vector<XuCall> expected = {
      {kVendorUnit, 3, UVC_GET_LEN, 2, {0, 0}},
      {kVendorUnit, 3, UVC_GET_INFO, 1, {0}},
      {kVendorUnit, 3, UVC_SET_CUR, 12, {0x34, 0x12, 0x08, 1, 2, 3, 4, 5, 6, 7, 8, 0}},
  };
  EXPECT_EQ(sys.xuLog, expected);

  // The 12-byte form goes as it is, and the length is not asked again.
  std::array<std::uint8_t, 12> full = {0x00, 0x00, 0x98, 0, 0, 0, 0, 0, 0, 0, 0, 0};
  ASSERT_EQ(Request(*device, 3, kSet, full), kS_OK);
  EXPECT_EQ(sys.xuLog.size(), 4u);
  EXPECT_EQ(sys.xuLog.back(), (XuCall{kVendorUnit, 3, UVC_SET_CUR, 12, Bytes(full.begin(), full.end())}));

  // A get of 11 bytes sends 12 zeros and copies back 11; the byte after the caller's span is untouched.
  sys.controls[{kVendorUnit, 3}].value = {0, 0, 0x88, 0xA0, 0xA1, 0xA2, 0xA3, 0xA4, 0xA5, 0xA6, 0xA7, 0xEE};
  std::array<std::uint8_t, 12> answer{};
  answer[11] = 0x5A;
  ASSERT_EQ(Request(*device, 3, kGet, std::span(answer).first(11)), kS_OK);
  EXPECT_EQ(sys.xuLog.back(), (XuCall{kVendorUnit, 3, UVC_GET_CUR, 12, Bytes(12, 0)}));
  EXPECT_EQ(answer, (std::array<std::uint8_t, 12>{0, 0, 0x88, 0xA0, 0xA1, 0xA2, 0xA3, 0xA4, 0xA5, 0xA6, 0xA7, 0x5A}));
  EXPECT_EQ(sys.CountQueries(UVC_GET_LEN), 1u);

  // A new binding asks again: the length belongs to the device as bound.
  device = Bind();
  ASSERT_EQ(Request(*device, 3, kSet, full), kS_OK);
  EXPECT_EQ(sys.CountQueries(UVC_GET_LEN), 2u);
}

TEST_F(UvcPlatformTest, PayloadLongerThanTheControlIsRefusedNotCut) {
  auto device = Bind();
  std::array<std::uint8_t, 5> tooLong = {0x1F, 0x10, 0x00, 0xFF, 0x00};
  EXPECT_LT(Request(*device, 1, kSet, tooLong), 0);
  EXPECT_EQ(sys.CountQueries(UVC_SET_CUR), 0u);
  EXPECT_NE(Uvc(device).LastError().find("longer"), std::string::npos) << Uvc(device).LastError();
  EXPECT_LT(Request(*device, 1, kGet, tooLong), 0);
  EXPECT_EQ(sys.CountQueries(UVC_GET_CUR), 0u);
}

TEST_F(UvcPlatformTest, DirectionsGetInfoDeniesAreNotSent) {
  auto device = Bind();
  std::array<std::uint8_t, 12> info{};
  EXPECT_LT(Request(*device, 5, kSet, info), 0);
  EXPECT_EQ(sys.CountQueries(UVC_SET_CUR), 0u);
  sys.controls[{kVendorUnit, 5}].value = {0x34, 0x12, 0x02};
  ASSERT_EQ(Request(*device, 5, kGet, info), kS_OK);
  EXPECT_EQ(info[2], 0x02);
}

TEST_F(UvcPlatformTest, FailedLengthQueryIsNotRemembered) {
  auto device = Bind();
  std::array<std::uint8_t, 4> payload{};
  sys.xuScript = {{-1, EPIPE}};
  EXPECT_LT(Request(*device, 1, kSet, payload), 0);
  EXPECT_EQ(sys.CountQueries(UVC_SET_CUR), 0u);
  EXPECT_EQ(Request(*device, 1, kSet, payload), kS_OK) << Uvc(device).LastError();
  EXPECT_EQ(sys.CountQueries(UVC_GET_LEN), 2u);
}

// What the driver answers, and what the caller sees: success only for exactly 0, the caller's
// buffer untouched on any failure, the errno kept for the message.
TEST_F(UvcPlatformTest, DriverAnswersAndTheirResults) {
  const std::vector<uvc::SysResult> interruptedAlways(64, {-1, EINTR});
  const struct {
    const char* name;
    std::vector<uvc::SysResult> script;  // answers to the GET_CUR attempts
    bool succeeds;
    HResult result;     // checked when not 0
    int error;          // LastErrno()
    const char* told;   // in LastError()
    std::size_t sends;  // GET_CUR attempts
  } cases[] = {
      {"interrupted twice, then answered", {{-1, EINTR}, {-1, EINTR}}, true, kS_OK, 0, "", 3},
      {"interrupted without end", interruptedAlways, false, 0, EINTR, "EINTR", 64},
      {"short answer: a positive count", {{5, 0}}, false, 0, 0, "short answer (5 of 12 bytes)", 1},
      {"stall", {{-1, EPIPE}}, false, 0, EPIPE, "refused the request (EPIPE", 1},
      {"stall, camera not ready", {{-1, EBUSY}}, false, 0, EBUSY, "EBUSY", 1},
      {"stall, wrong state (older kernels)", {{-1, EILSEQ}}, false, 0, EILSEQ, "EILSEQ", 1},
      {"timeout", {{-1, ETIMEDOUT}}, false, kE_TIMEOUT, ETIMEDOUT, "did not answer", 1},
      {"unplugged during the request", {{-1, ESHUTDOWN}}, false, kE_DEVICE_NOT_CONNECTED, ESHUTDOWN, "unplugged", 1},
      {"unplugged before it", {{-1, ENODEV}}, false, kE_DEVICE_NOT_CONNECTED, ENODEV, "unplugged", 1},
      {"length the driver disagrees with", {{-1, ENOBUFS}}, false, 0, ENOBUFS, "ENOBUFS", 1},
      {"metadata node", {{-1, ENOTTY}}, false, 0, ENOTTY, "ENOTTY", 1},
      {"an errno nobody expects", {{-1, EXDEV}}, false, kE_FAIL, EXDEV, "EXDEV", 1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    SetUp();
    sys.controls[{kVendorUnit, 3}].value = Bytes(12, 0x11);
    auto device = Bind();
    std::array<std::uint8_t, 12> buffer{};
    ASSERT_EQ(Request(*device, 3, kGet, buffer), kS_OK);  // the length and directions are known now
    sys.xuLog.clear();
    sys.xuScript.assign(c.script.begin(), c.script.end());
    buffer.fill(0xAB);

    const HResult r = Request(*device, 3, kGet, buffer);
    EXPECT_EQ(sys.CountQueries(UVC_GET_CUR), c.sends);
    EXPECT_EQ(sys.xuLog.size(), c.sends);
    EXPECT_EQ(Uvc(device).LastErrno(), c.error);
    if (c.succeeds) {
      EXPECT_EQ(r, kS_OK);
      EXPECT_EQ(buffer, (std::array<std::uint8_t, 12>{0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x11,
                                                      0x11, 0x11}));
      EXPECT_EQ(Uvc(device).LastError(), "");
      continue;
    }
    EXPECT_LT(r, 0);
    if (c.result != 0) {
      EXPECT_EQ(r, c.result);
    }
    EXPECT_EQ(buffer, (std::array<std::uint8_t, 12>{0xAB, 0xAB, 0xAB, 0xAB, 0xAB, 0xAB, 0xAB, 0xAB, 0xAB, 0xAB,
                                                    0xAB, 0xAB}));
    EXPECT_NE(Uvc(device).LastError().find(c.told), std::string::npos) << Uvc(device).LastError();
    EXPECT_NE(Uvc(device).LastError().find("/dev/video0: GET_CUR of selector 3 on unit 6"), std::string::npos)
        << Uvc(device).LastError();
  }
}

}  // namespace
