#include "platform/linux/SystemCalls.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <memory>

namespace torvane::platform::uvc {

namespace {

SysResult FromCall(long value) { return {value, value == -1 ? errno : 0}; }

}  // namespace

SysResult PosixSystemCalls::Open(const std::string& path, int flags) { return FromCall(::open(path.c_str(), flags)); }

SysResult PosixSystemCalls::Close(int fd) { return FromCall(::close(fd)); }

SysResult PosixSystemCalls::Ioctl(int fd, unsigned long request, void* argument) {
  return FromCall(::ioctl(fd, request, argument));
}

SysResult PosixSystemCalls::Fstat(int fd, struct stat& status) { return FromCall(::fstat(fd, &status)); }

int PosixSystemCalls::ListDirectory(const std::string& path, std::vector<std::string>& names) {
  names.clear();
  const std::unique_ptr<DIR, int (*)(DIR*)> dir(::opendir(path.c_str()), ::closedir);
  if (!dir) return errno;
  for (;;) {
    errno = 0;
    const dirent* entry = ::readdir(dir.get());
    if (entry == nullptr) return errno;
    const std::string name = entry->d_name;
    if (name != "." && name != "..") names.push_back(name);
  }
}

int PosixSystemCalls::ReadFile(const std::string& path, std::size_t maxBytes, std::vector<std::uint8_t>& content) {
  content.clear();
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return errno;
  int error = 0;
  // sysfs files do not know their size in advance (st_size is 4096 whatever they hold): read until
  // end of file, one byte past the limit so that an oversized file is told from one that fits.
  std::uint8_t chunk[4096];
  for (;;) {
    const ssize_t n = ::read(fd, chunk, sizeof chunk);
    if (n < 0) {
      if (errno == EINTR) continue;
      error = errno;
      break;
    }
    if (n == 0) break;
    content.insert(content.end(), chunk, chunk + n);
    if (content.size() > maxBytes) {
      error = EFBIG;
      break;
    }
  }
  ::close(fd);
  if (error != 0) content.clear();
  return error;
}

int PosixSystemCalls::ResolvePath(const std::string& path, std::string& resolved) {
  const std::unique_ptr<char, void (*)(void*)> real(::realpath(path.c_str(), nullptr), std::free);
  if (!real) return errno;
  resolved = real.get();
  return 0;
}

}  // namespace torvane::platform::uvc
