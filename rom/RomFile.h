// ROM image files: loading (Browse, drop), the open check of the Rename button, and saving (SetToFile)
// without ever losing a file.
//
// How the dialog's handlers use this:
//   Browse:    path edit and m_strRomPath take the chosen path; LoadImageFile; on Loaded the status line
//              takes string 105 and ReadIdentity fills the three fields (ShownTexts), or its `problem` is
//              shown through the message sink when the header is refused.
//   Drop:      path edit takes the path; LoadImageFile; the fields stay as they were.
//   Rename:    CheckFileOpens.
//   GO:        ApplyIdentityToImage with the three fields (RomImage.h) before the burn starts.
//   SetToFile: SaveImageToFile with m_strRomPath and the three fields.
// The command line uses the same calls.
#pragma once

#include <cstdio>
#include <filesystem>
#include <span>
#include <string>

#include "platform/MessageSink.h"
#include "rom/RomImage.h"

namespace torvane::rom {

// The tool's own texts.
inline constexpr char kCantOpenFile[] = "Can't Open File!";
inline constexpr char kNotRomFile[] = "It is not a Rom file!";
// "Cannot open file", the same under both interface languages.
inline constexpr char kSaveCannotOpen[] = "无法打开文件";
static_assert(sizeof kSaveCannotOpen == 6 * 3 + 1, "the source must be compiled as UTF-8");

enum class LoadStatus { Loaded, CannotOpen, NotRomFile };

// Loads a file of exactly kRomSize bytes into `image` (the whole contents, the source path, the layout).
// A file that cannot be opened or read shows "Can't Open File!"; any other length shows "It is not a
// Rom file!". On either failure `image` is left exactly as it was. The length is found by reading at most
// one byte more than kRomSize, so the check and the read cannot disagree.
LoadStatus LoadImageFile(RomImage& image, const std::filesystem::path& file, platform::MessageSink& messages);

// The Rename button: opens the file for reading and closes it again; "Can't Open File!" if it cannot.
bool CheckFileOpens(const std::filesystem::path& file, platform::MessageSink& messages);

// Replaces a file without a moment in which it is missing or half-written: the bytes go to a new
// temporary file beside the target, are flushed to the disk, and that file is renamed over the target.
// On any failure the target is left as it was and the temporary file is removed. An existing target
// keeps its permissions, and one that cannot be opened for writing is not replaced (as truncating it in
// place would have failed).
class AtomicFileWriter {
 public:
  enum class Result {
    Written,
    CannotCreate,  // the target is not writable or no temporary file could be created beside it
    Failed,        // writing, flushing or renaming failed; the target is unchanged
  };

  // A replacement under way: the temporary file beside the target, open for writing. It is removed
  // unless Finish renamed it over the target.
  class Pending {
   public:
    Pending() = default;
    ~Pending();
    Pending(const Pending&) = delete;
    Pending& operator=(const Pending&) = delete;

   private:
    friend class AtomicFileWriter;
    std::filesystem::path target_;
    std::filesystem::path temporary_;
    std::FILE* stream_ = nullptr;
    bool targetExists_ = false;
    bool committed_ = false;
  };

  virtual ~AtomicFileWriter() = default;
  Result Write(const std::filesystem::path& target, std::span<const std::uint8_t> bytes);

  // The same in two steps, for a writer that must know the file can be made before it gathers the
  // bytes. Begin gives Written when `pending` is ready, else CannotCreate; Finish gives Written or Failed.
  Result Begin(const std::filesystem::path& target, Pending& pending);
  Result Finish(Pending& pending, std::span<const std::uint8_t> bytes);

 protected:
  // Seams for tests that make a step fail; the defaults do the real work.
  virtual bool WriteContents(std::FILE* file, std::span<const std::uint8_t> bytes);
  virtual bool RenameOver(const std::filesystem::path& from, const std::filesystem::path& to);
};

enum class SaveStatus {
  Saved,
  NoPath,              // m_strRomPath empty: nothing happens, nothing is shown
  NotLoadedFromPath,   // the image in memory did not come from that file: refused
  IdentityRefused,     // no identity layout, or a name too long: refused, image unchanged
  CannotCreate,        // "无法打开文件"; the image in memory is patched, the file unchanged
  WriteFailed,         // reported; the image in memory is patched, the file unchanged
};

// SetToFile: applies the three fields to the image and writes the whole image over `romPath`, only when
// that is the file the image was loaded from. After a refused load, or when the image came from
// elsewhere (a drop of another file), saving to the remembered path would overwrite an unrelated file
// with a different image; it is refused with a message naming the file.
SaveStatus SaveImageToFile(RomImage& image, const std::filesystem::path& romPath, const IdentityTexts& fields,
                           platform::MessageSink& messages);
SaveStatus SaveImageToFile(RomImage& image, const std::filesystem::path& romPath, const IdentityTexts& fields,
                           platform::MessageSink& messages, AtomicFileWriter& writer);

// A path as UTF-8 text, for messages.
std::string PathText(const std::filesystem::path& path);

}  // namespace torvane::rom
