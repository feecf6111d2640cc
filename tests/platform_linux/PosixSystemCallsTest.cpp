// The machine's own calls behind the seam, on files of a temporary directory, and the platform on
// this machine's /dev.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <linux/videodev2.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "platform/linux/SystemCalls.h"
#include "platform/linux/UvcPlatform.h"

namespace fs = std::filesystem;
using namespace torvane::platform;
using uvc::PosixSystemCalls;

namespace {

class PosixSystemCallsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (fs::temp_directory_path() / "torvane-uvc-XXXXXX").string();
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    dir = pattern;
  }
  void TearDown() override { fs::remove_all(dir); }

  void Write(const std::string& name, const std::string& content) {
    std::ofstream(dir / name, std::ios::binary) << content;
  }

  fs::path dir;
  PosixSystemCalls sys;
};

TEST_F(PosixSystemCallsTest, ReadFileIsBoundedAndWhole) {
  const std::string descriptors(10000, '\x24');  // more than one read's worth
  Write("descriptors", descriptors);
  std::vector<std::uint8_t> content;
  ASSERT_EQ(sys.ReadFile((dir / "descriptors").string(), 10000, content), 0);
  EXPECT_EQ(content.size(), 10000u);
  EXPECT_EQ(sys.ReadFile((dir / "descriptors").string(), 9999, content), EFBIG);
  EXPECT_TRUE(content.empty());
  EXPECT_EQ(sys.ReadFile((dir / "missing").string(), 100, content), ENOENT);
}

TEST_F(PosixSystemCallsTest, ListingAndLinks) {
  Write("video0", "");
  fs::create_directory(dir / "usb1-2");
  fs::create_directory_symlink(dir / "usb1-2", dir / "device");
  std::vector<std::string> names;
  ASSERT_EQ(sys.ListDirectory(dir.string(), names), 0);
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"device", "usb1-2", "video0"}));
  EXPECT_EQ(sys.ListDirectory((dir / "missing").string(), names), ENOENT);

  std::string resolved;
  ASSERT_EQ(sys.ResolvePath((dir / "device").string(), resolved), 0);
  EXPECT_EQ(resolved, fs::canonical(dir / "usb1-2").string());
  EXPECT_EQ(sys.ResolvePath((dir / "nothing" / "device").string(), resolved), ENOENT);
}

TEST_F(PosixSystemCallsTest, ErrnoComesBackWithTheResult) {
  Write("plain", "x");
  const uvc::SysResult opened = sys.Open((dir / "plain").string(), O_RDONLY | O_CLOEXEC);
  ASSERT_GE(opened.value, 0);
  const int fd = static_cast<int>(opened.value);
  EXPECT_NE(::fcntl(fd, F_GETFD) & FD_CLOEXEC, 0);
  v4l2_capability caps{};
  const uvc::SysResult r = sys.Ioctl(fd, VIDIOC_QUERYCAP, &caps);  // a plain file is no video node
  EXPECT_EQ(r.value, -1);
  EXPECT_EQ(r.error, ENOTTY);
  EXPECT_EQ(sys.Close(fd).value, 0);
  EXPECT_EQ(sys.Open((dir / "missing").string(), O_RDONLY).error, ENOENT);
}

// On a machine without cameras (the build machines), enumeration says so with kS_FALSE; on a bench
// it finds them or names what kept it from them.
TEST(UvcPlatformOnThisMachine, EnumerationEndsCleanly) {
  bool anyVideoNode = false;
  for (const auto& entry : fs::directory_iterator("/dev"))
    anyVideoNode |= entry.path().filename().string().rfind("video", 0) == 0;
  uvc::UvcPlatform platform;
  std::size_t count = 0;
  const HResult r = platform.EnumerateDevices(count);
  if (!anyVideoNode) {
    EXPECT_EQ(r, kS_FALSE) << platform.LastError();
    EXPECT_EQ(count, 0u);
  } else {
    EXPECT_TRUE(r == kS_OK || r == kS_FALSE || r == kE_ACCESSDENIED) << r << " " << platform.LastError();
  }
}

}  // namespace
