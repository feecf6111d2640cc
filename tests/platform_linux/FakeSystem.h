// A machine with UVC cameras, seen through the platform's system calls: the /dev listing, video nodes
// answering VIDIOC_QUERYCAP, the sysfs links and files, and one camera's extension-unit controls
// behind UVCIOC_CTRL_QUERY. The controls follow the driver's rules: GET_CUR and SET_CUR must carry
// exactly the control's length (ENOBUFS otherwise), GET_LEN 2 bytes and GET_INFO 1, a direction the
// control's GET_INFO does not offer is EBADRQC, an unknown unit or selector ENOENT.
#pragma once

#include <fcntl.h>
#include <linux/uvcvideo.h>
#include <linux/videodev2.h>
#include <sys/sysmacros.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <deque>
#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "platform/linux/SystemCalls.h"

namespace fake {

using Bytes = std::vector<std::uint8_t>;
using torvane::platform::uvc::SysResult;

struct VideoNode {
  int openError = 0;
  std::string driver = "uvcvideo";
  std::string card;
  std::string busInfo;
  std::uint32_t deviceCaps = V4L2_CAP_VIDEO_CAPTURE | V4L2_CAP_STREAMING;
  dev_t rdev = 0;
};

struct Control {
  std::uint16_t length = 0;
  std::uint8_t info = 0;  // GET_INFO: bit 0 get, bit 1 set
  Bytes value;            // what GET_CUR answers; SET_CUR stores here
};

struct XuCall {
  std::uint8_t unit, selector, query;
  std::uint16_t size;
  Bytes sent;  // the buffer as it was handed to the driver

  friend bool operator==(const XuCall&, const XuCall&) = default;
};

class FakeSystem final : public torvane::platform::uvc::SystemCalls {
 public:
  // The machine.
  std::vector<std::string> devNames;
  int listError = 0;
  std::map<std::string, VideoNode> nodes;    // by path
  std::map<std::string, Bytes> files;        // sysfs files by path
  std::map<std::string, std::string> links;  // sysfs paths and what they resolve to
  std::map<std::pair<std::uint8_t, std::uint8_t>, Control> controls;  // by (unit, selector)
  // Results forced on the next UVCIOC_CTRL_QUERY calls, before the controls answer.
  std::deque<SysResult> xuScript;

  // What the platform did.
  std::vector<std::pair<std::string, int>> opens;  // path, flags
  std::vector<XuCall> xuLog;
  std::set<int> openFds;

  SysResult Open(const std::string& path, int flags) override {
    opens.emplace_back(path, flags);
    const auto it = nodes.find(path);
    if (it == nodes.end()) return {-1, ENOENT};
    if (it->second.openError != 0) return {-1, it->second.openError};
    const int fd = nextFd_++;
    openFds.insert(fd);
    fdPath_[fd] = path;
    return {fd, 0};
  }

  SysResult Close(int fd) override {
    if (openFds.erase(fd) == 0) return {-1, EBADF};
    return {0, 0};
  }

  SysResult Ioctl(int fd, unsigned long request, void* argument) override {
    if (openFds.count(fd) == 0) return {-1, EBADF};
    const VideoNode& node = nodes.at(fdPath_.at(fd));
    if (request == VIDIOC_QUERYCAP) {
      auto& caps = *static_cast<v4l2_capability*>(argument);
      caps = {};
      std::memcpy(caps.driver, node.driver.data(), std::min(node.driver.size(), sizeof caps.driver));
      std::memcpy(caps.card, node.card.data(), std::min(node.card.size(), sizeof caps.card));
      std::memcpy(caps.bus_info, node.busInfo.data(), std::min(node.busInfo.size(), sizeof caps.bus_info));
      caps.device_caps = node.deviceCaps;
      caps.capabilities = node.deviceCaps | V4L2_CAP_VIDEO_CAPTURE | V4L2_CAP_META_CAPTURE | V4L2_CAP_DEVICE_CAPS;
      return {0, 0};
    }
    if (request == UVCIOC_CTRL_QUERY) return XuQuery(*static_cast<uvc_xu_control_query*>(argument));
    return {-1, ENOTTY};
  }

  SysResult Fstat(int fd, struct stat& status) override {
    if (openFds.count(fd) == 0) return {-1, EBADF};
    status = {};
    status.st_mode = S_IFCHR | 0660;
    status.st_rdev = nodes.at(fdPath_.at(fd)).rdev;
    return {0, 0};
  }

  int ListDirectory(const std::string& path, std::vector<std::string>& names) override {
    if (path != "/dev") return ENOENT;
    if (listError != 0) return listError;
    names = devNames;
    return 0;
  }

  int ReadFile(const std::string& path, std::size_t maxBytes, std::vector<std::uint8_t>& content) override {
    const auto it = files.find(path);
    if (it == files.end()) return ENOENT;
    if (it->second.size() > maxBytes) return EFBIG;
    content = it->second;
    return 0;
  }

  int ResolvePath(const std::string& path, std::string& resolved) override {
    const auto it = links.find(path);
    if (it == links.end()) return ENOENT;
    resolved = it->second;
    return 0;
  }

  std::size_t CountQueries(std::uint8_t query) const {
    return static_cast<std::size_t>(
        std::count_if(xuLog.begin(), xuLog.end(), [&](const XuCall& c) { return c.query == query; }));
  }

 private:
  SysResult XuQuery(uvc_xu_control_query& q) {
    xuLog.push_back({q.unit, q.selector, q.query, q.size, Bytes(q.data, q.data + q.size)});
    if (!xuScript.empty()) {
      const SysResult forced = xuScript.front();
      xuScript.pop_front();
      return forced;
    }
    const auto it = controls.find({q.unit, q.selector});
    if (it == controls.end()) return {-1, ENOENT};
    Control& c = it->second;
    switch (q.query) {
      case UVC_GET_LEN:
        if (q.size != 2) return {-1, ENOBUFS};
        q.data[0] = static_cast<std::uint8_t>(c.length);
        q.data[1] = static_cast<std::uint8_t>(c.length >> 8);
        return {0, 0};
      case UVC_GET_INFO:
        if (q.size != 1) return {-1, ENOBUFS};
        q.data[0] = c.info;
        return {0, 0};
      case UVC_GET_CUR:
        if (q.size != c.length) return {-1, ENOBUFS};
        if ((c.info & UVC_CONTROL_CAP_GET) == 0) return {-1, EBADRQC};
        c.value.resize(c.length);
        std::copy(c.value.begin(), c.value.end(), q.data);
        return {0, 0};
      case UVC_SET_CUR:
        if (q.size != c.length) return {-1, ENOBUFS};
        if ((c.info & UVC_CONTROL_CAP_SET) == 0) return {-1, EBADRQC};
        c.value.assign(q.data, q.data + q.size);
        return {0, 0};
      default:
        return {-1, EINVAL};
    }
  }

  int nextFd_ = 3;
  std::map<int, std::string> fdPath_;
};

}  // namespace fake
