// What the main dialog needs from the rest of the tool: the camera link (start-up and the discovery
// before each operation) and the firmware operations it launches. Both are handed in, so that the
// dialog runs unchanged on a real camera, the simulated camera or a test's stand-in.
#pragma once

#include <cstdint>
#include <functional>

#include "operations/DialogControls.h"
#include "rom/RomImage.h"

namespace torvane::app {

class DialogCamera {
 public:
  virtual ~DialogCamera() = default;
  // 0 when a camera with the extension unit is bound, non-zero otherwise; shows nothing.
  virtual std::int32_t FindCamera() = 0;
  // Reads the controller's chip id through the dialog's binding; false when it cannot.
  virtual bool GetChipIDValue(std::uint8_t& chipId) = 0;
  // Keeps the chip id read at start-up as the link's ChipId.
  virtual void StoreChipId(std::uint8_t chipId) = 0;
  // Closes the device-access back end (nothing to close when no operation opened it).
  virtual bool CloseDevice() = 0;
};

// What a worker hands to the operation it runs.
struct OperationContext {
  operations::DialogControls& controls;  // every effect on the dialog goes through these
  // The image to burn. Nothing changes or frees it while the operation runs: the dialog refuses
  // loads, drops, SetToFile and closing until the worker has ended.
  rom::ImageBytes romImage;
  // True once the dialog is being destroyed: a long operation may stop between two units of work.
  std::function<bool()> cancelled;
};

// Runs on a worker thread; true for success.
using WorkerOperation = std::function<bool(OperationContext&)>;
// Runs on the interface thread.
using InterfaceOperation = std::function<void(operations::DialogControls&)>;

// The firmware operations. An operation left empty is not built into this program yet: its button
// then says so instead of pretending to run it.
struct DialogOperations {
  WorkerOperation BurnImage;
  WorkerOperation EraseAndCheck;
  WorkerOperation ExportRom;
  InterfaceOperation ShowFirmwareVersion;
  InterfaceOperation QueryRomType;
};

}  // namespace torvane::app
