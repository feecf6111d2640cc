#include "rom/RomFile.h"

#include <cerrno>
#include <random>
#include <system_error>
#include <vector>

#if defined(_WIN32)
#include <io.h>
#else
#include <fcntl.h>
#include <unistd.h>
#endif

namespace torvane::rom {
namespace {

namespace fs = std::filesystem;

// Temporary names carry a random suffix; a clash (a leftover of an earlier crash) just takes another.
constexpr int kTemporaryNameAttempts = 16;

std::FILE* OpenFile(const fs::path& path, const char* mode) {
#if defined(_WIN32)
  std::wstring wideMode;
  for (const char* m = mode; *m != '\0'; ++m) wideMode.push_back(static_cast<wchar_t>(*m));
  return _wfopen(path.c_str(), wideMode.c_str());
#else
  return std::fopen(path.c_str(), mode);
#endif
}

bool SyncToDisk(std::FILE* file) {
#if defined(_WIN32)
  return _commit(_fileno(file)) == 0;
#else
  return fsync(fileno(file)) == 0;
#endif
}

// After a rename, so that the new name survives a power cut too. Best effort: the file's own bytes are
// already on the disk, and the old name still points at a whole file either way.
void SyncFolder(const fs::path& folder) {
#if !defined(_WIN32)
  const int fd = open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY);
  if (fd >= 0) {
    fsync(fd);
    close(fd);
  }
#else
  static_cast<void>(folder);
#endif
}

std::string RandomSuffix() {
  static std::random_device device;
  char text[16];
  std::snprintf(text, sizeof text, ".tmp%08x", static_cast<unsigned>(device()));
  return text;
}

bool SameFile(const fs::path& a, const fs::path& b) {
  if (a.empty() || b.empty()) return false;
  std::error_code errorA;
  std::error_code errorB;
  const fs::path normalA = fs::absolute(a, errorA).lexically_normal();
  const fs::path normalB = fs::absolute(b, errorB).lexically_normal();
  if (!errorA && !errorB && normalA == normalB) return true;
  std::error_code error;
  const bool equivalent = fs::equivalent(a, b, error);
  return !error && equivalent;
}

}  // namespace

std::string PathText(const fs::path& path) {
  const std::u8string text = path.u8string();
  return std::string(text.begin(), text.end());
}

LoadStatus LoadImageFile(RomImage& image, const fs::path& file, platform::MessageSink& messages) {
  std::FILE* stream = OpenFile(file, "rb");
  if (stream == nullptr) {
    messages.ShowMessage(kCantOpenFile);
    return LoadStatus::CannotOpen;
  }
  // One byte more than an image: a longer file shows itself without trusting a length found earlier.
  std::vector<std::uint8_t> buffer(kRomSize + 1, 0xFF);
  const std::size_t got = std::fread(buffer.data(), 1, buffer.size(), stream);
  const bool readError = std::ferror(stream) != 0;
  std::fclose(stream);
  if (readError) {
    // A short image is never taken for a whole one: the old image stays.
    messages.ShowMessage(kCantOpenFile);
    return LoadStatus::CannotOpen;
  }
  if (got != kRomSize) {
    messages.ShowMessage(kNotRomFile);
    return LoadStatus::NotRomFile;
  }
  image.Replace(ImageBytes(buffer.data(), kRomSize), file);
  return LoadStatus::Loaded;
}

bool CheckFileOpens(const fs::path& file, platform::MessageSink& messages) {
  std::FILE* stream = OpenFile(file, "rb");
  if (stream == nullptr) {
    messages.ShowMessage(kCantOpenFile);
    return false;
  }
  std::fclose(stream);
  return true;
}

AtomicFileWriter::Pending::~Pending() {
  if (stream_ != nullptr) std::fclose(stream_);
  if (!temporary_.empty() && !committed_) {
    std::error_code error;
    fs::remove(temporary_, error);
  }
}

AtomicFileWriter::Result AtomicFileWriter::Write(const fs::path& target, std::span<const std::uint8_t> bytes) {
  Pending pending;
  const Result begun = Begin(target, pending);
  return begun == Result::Written ? Finish(pending, bytes) : begun;
}

AtomicFileWriter::Result AtomicFileWriter::Begin(const fs::path& given, Pending& pending) {
  std::error_code error;
  const bool exists = fs::exists(given, error);
  // Through a symbolic link the file it names is replaced, not the link.
  const fs::path target = exists ? fs::canonical(given, error) : given;
  if (error) return Result::CannotCreate;
  if (exists) {
    std::FILE* probe = OpenFile(target, "r+b");  // opens without changing anything
    if (probe == nullptr) return Result::CannotCreate;
    std::fclose(probe);
  }

  for (int attempt = 0; attempt < kTemporaryNameAttempts && pending.stream_ == nullptr; ++attempt) {
    fs::path temporary = target;
    temporary += RandomSuffix();
    pending.stream_ = OpenFile(temporary, "wbx");  // never opens an existing file
    if (pending.stream_ != nullptr) pending.temporary_ = temporary;
    if (pending.stream_ == nullptr && errno != EEXIST) break;
  }
  if (pending.stream_ == nullptr) return Result::CannotCreate;
  pending.target_ = target;
  pending.targetExists_ = exists;
  return Result::Written;
}

AtomicFileWriter::Result AtomicFileWriter::Finish(Pending& pending, std::span<const std::uint8_t> bytes) {
  if (pending.stream_ == nullptr) return Result::Failed;
  std::FILE* stream = pending.stream_;
  pending.stream_ = nullptr;
  bool ok = WriteContents(stream, bytes);
  ok = std::fflush(stream) == 0 && ok;
  ok = ok && SyncToDisk(stream);
  ok = std::fclose(stream) == 0 && ok;
  if (ok && pending.targetExists_) {
    std::error_code error;
    const fs::perms permissions = fs::status(pending.target_, error).permissions();
    if (!error) fs::permissions(pending.temporary_, permissions, error);  // best effort: the bytes matter most
  }
  ok = ok && RenameOver(pending.temporary_, pending.target_);
  if (!ok) return Result::Failed;  // the temporary file goes with `pending`
  pending.committed_ = true;
  SyncFolder(pending.target_.parent_path());
  return Result::Written;
}

bool AtomicFileWriter::WriteContents(std::FILE* file, std::span<const std::uint8_t> bytes) {
  return std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
}

bool AtomicFileWriter::RenameOver(const fs::path& from, const fs::path& to) {
  std::error_code error;
  fs::rename(from, to, error);
  return !error;
}

SaveStatus SaveImageToFile(RomImage& image, const fs::path& romPath, const IdentityTexts& fields,
                           platform::MessageSink& messages) {
  AtomicFileWriter writer;
  return SaveImageToFile(image, romPath, fields, messages, writer);
}

SaveStatus SaveImageToFile(RomImage& image, const fs::path& romPath, const IdentityTexts& fields,
                           platform::MessageSink& messages, AtomicFileWriter& writer) {
  if (romPath.empty()) return SaveStatus::NoPath;
  if (!SameFile(image.SourcePath(), romPath)) {
    messages.ShowMessage("The image in memory was not loaded from \"" + PathText(romPath) +
                         "\", so it is not saved there: that file keeps its own contents. Browse for the "
                         "file again to change it.");
    return SaveStatus::NotLoadedFromPath;
  }
  const ApplyResult applied = ApplyIdentityToImage(image, fields);
  if (!applied.applied) {
    messages.ShowMessage(applied.problem);
    return SaveStatus::IdentityRefused;
  }
  switch (writer.Write(romPath, image.Bytes())) {
    case AtomicFileWriter::Result::Written:
      return SaveStatus::Saved;
    case AtomicFileWriter::Result::CannotCreate:
      messages.ShowMessage(kSaveCannotOpen);
      return SaveStatus::CannotCreate;
    case AtomicFileWriter::Result::Failed:
      break;
  }
  messages.ShowMessage("Saving failed; \"" + PathText(romPath) + "\" was left as it was.");
  return SaveStatus::WriteFailed;
}

}  // namespace torvane::rom
