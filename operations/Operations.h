// The firmware operations: burn, erase, export, and the firmware-version and ROM-type queries. Each runs
// synchronously on the caller's thread against one CameraContext, drives the dialog's controls through
// DialogControls in the dialog's own order of calls, and shows its failures as messages there.
//
// The camera must have been found (context.link.FindCamera()) before a burn, erase or export; the
// firmware-version query finds it itself. HighBankFlag is 0 again on every way out of every operation.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>

#include "operations/CameraContext.h"
#include "operations/DialogControls.h"
#include "rom/RomImage.h"

namespace torvane::operations {

// Every image and the whole flash are 128 KiB.
inline constexpr std::size_t kFlashSize = rom::kRomSize;
using ImageBytes = rom::ImageBytes;

// Message texts the operations show (the same in both languages).
namespace message {
inline constexpr const char* kNoSourceFile = "No Source File!";
inline constexpr const char* kNotZidizRom = "It isn't Zidiz Rom File!";
inline constexpr const char* kDisableProtectFailed = "Disable Flash Write Protect Failed!";
inline constexpr const char* kEnableProtectFailed = "Enable Flash Write Protect Failed!";
inline constexpr const char* kEraseCheckFailed = "Check Flash Erase Failed!";
inline constexpr const char* kFlashTooSmall = "The Flash size is less than 128K, please confirm!";
inline constexpr const char* kCheckDataFailed = "Check Data Failed!";
inline constexpr const char* kCameraInitFailed = "Camera Init Failed!";
inline constexpr const char* kChipIdFailed = "GetChipIDValue Failed!";
inline constexpr const char* kVersionCaption = "Get F/W Version";
}  // namespace message

// ---- Burn ----

struct BurnOptions {
  // After the sampled verification, read back every group up to 0x1FFF0 with the back end's streaming
  // window reads and compare it with the image. The dialog does not offer it; the command line does.
  bool fullVerify = false;
};

struct BurnReport {
  int result = 0;  // 1 burnt (also when write protection could not be switched on again), 0 failed
  // The flash address of the group whose check, read or write failed; for the full verification the
  // first byte that differs.
  std::optional<std::uint32_t> failedAddress;
};

// Writes `image` into the flash: signature test, write protection off, chip erase, blank check of one
// group in 128, programming of every group that is not all 0xFF (the group at 0x1FFF8 never), sampled
// verification of one group in 128, optionally the full verification, write protection on.
BurnReport BurnImage(CameraContext& context, DialogControls& controls, ImageBytes image,
                     const BurnOptions& options = {});

// ---- Erase ----

// Erases the flash and checks one group in four for blankness. 1 success, 0 failure. Write protection
// stays off.
int EraseAndCheck(CameraContext& context, DialogControls& controls);

// ---- Export ----

// Builds the export file name from the firmware information of the camera's flash. Nothing when the
// back end cannot be opened, the chip id cannot be read or has no row, a field cannot be read, or the
// name would hold a character outside 0-9, A-Z, a-z, '-' and '_'. Stores the chip id in link.ChipId.
std::optional<std::string> BuildExportFileName(CameraContext& context);

struct ExportReport {
  int result = 0;              // 1 the file holds the flash, 0 nothing was written under the name
  std::filesystem::path file;  // the file written (or that would have been)
  std::optional<std::uint32_t> failedReadAddress;  // the group whose read failed
};

// Copies the flash into `directory`/<name> (the name from BuildExportFileName, or ZidizAllRomFile.src).
// The last group (0x1FFF8) is not read and stays 0xFF. The file is written beside the target under a
// temporary name and renamed only when complete, so a failure never leaves a partial file under the name.
// A failure says why in a message (the file that cannot be made or written, or the address of the read
// that failed) before the result 0.
ExportReport ExportRom(CameraContext& context, DialogControls& controls,
                       const std::filesystem::path& directory = std::filesystem::path("."));

// The same copy into a file the caller names (the command line's --output); no name is built.
ExportReport ExportRomTo(CameraContext& context, DialogControls& controls, const std::filesystem::path& file);

// ---- Queries ----

// Shows the firmware information fields, one per line, in a box captioned "Get F/W Version". Without a
// camera nothing is shown; every other failure is shown as a clear message, never as bytes not read.
void ShowFirmwareVersion(CameraContext& context, DialogControls& controls);

// Probes the controller's mask-ROM type and puts the result into the status line.
void QueryRomType(CameraContext& context, DialogControls& controls);

// ---- Results as status texts ----

enum class Operation { Burn, Erase, Export };

// The string ids the worker of each operation shows for success and failure.
struct ResultStrings {
  int success;
  int failure;
};
ResultStrings ResultStringsOf(Operation operation);

// What the worker does with an operation's result: the success or failure string of the operation, in the
// current language, into the status line.
void ShowOperationResult(DialogControls& controls, Operation operation, int result);

}  // namespace torvane::operations
