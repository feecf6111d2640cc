// The camera the dialog works on, with the firmware operations its buttons launch. One session holds one
// operations::CameraContext: the dialog's own discovery and chip-id read (start-up, and FindCamera before
// every operation) and the operations it launches go through that context's one CameraLink and one
// Backend, so the binding the dialog finds is the binding the burn writes through.
#pragma once

#include <filesystem>
#include <iosfwd>

#include "app/DialogServices.h"
#include "app/LinkedCamera.h"
#include "operations/CameraContext.h"

namespace torvane::app {

class CameraSession {
 public:
  // `console` receives discovery's diagnostic texts; `exportDirectory` is where Rom Export writes (the
  // current directory unless told otherwise).
  CameraSession(platform::CameraPlatform& platform, platform::Clock& clock, std::ostream& console,
                std::filesystem::path exportDirectory = std::filesystem::path("."));
  CameraSession(const CameraSession&) = delete;
  CameraSession& operator=(const CameraSession&) = delete;

  // The dialog's camera: FindCamera, GetChipIDValue and the chip id on the context's link, CloseDevice
  // on its back end.
  DialogCamera& Camera() { return camera_; }
  // The operations on this session's context. They hold a reference to the session: it must outlive
  // the dialog that runs them.
  DialogOperations Operations();

  operations::CameraContext& Context() { return context_; }

 private:
  operations::CameraContext context_;
  LinkedCamera camera_;
  std::filesystem::path exportDirectory_;
};

}  // namespace torvane::app
