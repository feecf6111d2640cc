// The few system calls the UVC platform makes, behind one interface, so that everything above them
// (the errno-to-result mapping, the payload padding, enumeration and the sysfs walk) runs in tests
// without a camera. Each call reports errno in its result instead of leaving it in a global.
#pragma once

#include <sys/stat.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace torvane::platform::uvc {

struct SysResult {
  long value = 0;  // what the call returned: a descriptor, 0, a count; -1 on failure
  int error = 0;   // errno when value is -1, else 0
};

class SystemCalls {
 public:
  virtual ~SystemCalls() = default;
  virtual SysResult Open(const std::string& path, int flags) = 0;
  virtual SysResult Close(int fd) = 0;
  virtual SysResult Ioctl(int fd, unsigned long request, void* argument) = 0;
  virtual SysResult Fstat(int fd, struct stat& status) = 0;
  // The names in a directory (without "." and ".."), in no particular order; 0 or an errno.
  virtual int ListDirectory(const std::string& path, std::vector<std::string>& names) = 0;
  // The whole file, refused with EFBIG when it holds more than `maxBytes`; 0 or an errno.
  virtual int ReadFile(const std::string& path, std::size_t maxBytes, std::vector<std::uint8_t>& content) = 0;
  // The canonical path with every symbolic link followed; 0 or an errno.
  virtual int ResolvePath(const std::string& path, std::string& resolved) = 0;
};

// The machine's own calls.
class PosixSystemCalls final : public SystemCalls {
 public:
  SysResult Open(const std::string& path, int flags) override;
  SysResult Close(int fd) override;
  SysResult Ioctl(int fd, unsigned long request, void* argument) override;
  SysResult Fstat(int fd, struct stat& status) override;
  int ListDirectory(const std::string& path, std::vector<std::string>& names) override;
  int ReadFile(const std::string& path, std::size_t maxBytes, std::vector<std::uint8_t>& content) override;
  int ResolvePath(const std::string& path, std::string& resolved) override;
};

}  // namespace torvane::platform::uvc
