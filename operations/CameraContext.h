// Everything the firmware operations keep about one camera, owned by whoever runs them (the dialog, the
// command line, a test): the dialog-level link with its binding, HighBankFlag and ChipId; the device-access
// back end with its slots and bank flags; the serial-flash engine beside it with the family it found; and
// the clock every wait goes through. Two cameras get two contexts; nothing is shared between them.
#pragma once

#include <iosfwd>

#include "camera/Backend.h"
#include "camera/CameraLink.h"
#include "flash/FlashOperations.h"
#include "flash/SerialFlash.h"
#include "platform/CameraPlatform.h"
#include "platform/Clock.h"

namespace torvane::operations {

class CameraContext {
 public:
  // `console` receives the diagnostic texts of discovery.
  CameraContext(platform::CameraPlatform& platform, platform::Clock& timeSource, std::ostream& console)
      : link(platform, console), backend(platform, timeSource), flash(backend), clock(timeSource) {}
  CameraContext(const CameraContext&) = delete;
  CameraContext& operator=(const CameraContext&) = delete;

  camera::CameraLink link;          // CameraBinding, HighBankFlag, ChipId
  camera::Backend backend;          // BackendBinding, slots, ChunkSize, WriteHighBank, ReadHighBank
  flash::SerialFlash flash;         // the SPI port and identification state of the back end's camera
  flash::FlashSelection selection;  // SFType and SfModel found by the last chip erase
  platform::Clock& clock;
};

}  // namespace torvane::operations
