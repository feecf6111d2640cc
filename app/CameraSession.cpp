#include "app/CameraSession.h"

#include "operations/Operations.h"

namespace torvane::app {

CameraSession::CameraSession(platform::CameraPlatform& platform, platform::Clock& clock, std::ostream& console,
                             std::filesystem::path exportDirectory)
    : context_(platform, clock, console),
      camera_(context_.link, context_.backend),
      exportDirectory_(std::move(exportDirectory)) {}

DialogOperations CameraSession::Operations() {
  DialogOperations table;
  // The workers: the launcher has found the camera on the context's link just before.
  table.BurnImage = [this](OperationContext& run) {
    return operations::BurnImage(context_, run.controls, run.romImage).result != 0;
  };
  table.EraseAndCheck = [this](OperationContext& run) {
    return operations::EraseAndCheck(context_, run.controls) != 0;
  };
  table.ExportRom = [this](OperationContext& run) {
    return operations::ExportRom(context_, run.controls, exportDirectory_).result != 0;
  };
  // On the interface thread; the firmware-version query finds the camera itself.
  table.ShowFirmwareVersion = [this](operations::DialogControls& controls) {
    operations::ShowFirmwareVersion(context_, controls);
  };
  table.QueryRomType = [this](operations::DialogControls& controls) {
    operations::QueryRomType(context_, controls);
  };
  return table;
}

}  // namespace torvane::app
