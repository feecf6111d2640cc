// CTorvane_testDlg, the program's one dialog: start-up with the camera check and chip id read, the two
// tabs and their control sets, the identity field checks, the operation launchers with their worker
// threads, and the handlers that bring a ROM file in and write it back.
//
// Sound behaviour where the dialog would otherwise race its workers: while an operation runs, the
// operation buttons, Browse and SetToFile are disabled (and their handlers refuse as well), a dropped
// file and every way of closing the dialog are refused with a message box, and should the window be
// destroyed all the same, the worker is told to stop and waited for before the image is released. An
// operation button that finds no camera says so, rather than leaving an earlier result standing as if
// it were this one's.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "app/Dialog.h"
#include "app/DialogServices.h"
#include "rom/RomImage.h"

namespace torvane::app {

class WorkerChannel;

// Message-box texts of the dialog (literals, the same in both interface languages).
namespace messages {
inline constexpr std::u16string_view kNoVideoDevice = u"Can't find video device!";
inline constexpr std::u16string_view kChipIdFailed = u"GetChipIDValue Failed!";
inline constexpr std::u16string_view kDeviceNameTooLong = u"最多只能输入32字符";
inline constexpr std::u16string_view kCantOpenFile = u"Can't Open File!";
inline constexpr std::u16string_view kOperationRunning =
    u"An operation is still running. Please wait until it has finished.";
}  // namespace messages

class CTorvane_testDlg : public CDialog {
 public:
  CTorvane_testDlg(DialogHost& host, DialogCamera& camera, DialogOperations operations = {});
  ~CTorvane_testDlg() override;

  bool OnInitDialog() override;

  // Members bound to the identity edits (1031, 1032, 1034) and the path last chosen with Browse.
  std::u16string m_strVid;
  std::u16string m_strPid;
  std::u16string m_strDeviceName;
  std::u16string m_strRomPath;
  // 131072 once initialised: the size of RomImage and of a valid ROM file.
  std::int32_t m_nRomSize = 0;
  // The image in memory: made at initialisation (all 0xFF, no image), replaced by each load, released
  // when the window goes.
  std::unique_ptr<rom::RomImage> RomImage;

  bool OperationRunning() const { return operationRunning_; }

  // Handlers, by control.
  void BrowseForImage();                                             // 1000
  void AcceptDroppedImage(const std::vector<std::u16string>& paths);  // dropped files
  void OnBnClickedGo();                                              // 1002
  void OnBnClickedEraseSf();                                         // 1005
  void OnBnClickedRomExport();                                       // 1006
  void QueryRomType();                                               // 1015
  void ShowFirmwareVersion();                                        // 1017
  void OnBnClickedRename();                                          // 1024
  void SaveImageToFile();                                            // 1035
  void OnTabSelectionChange();                                       // 1050
  void OnChangeVid();                                                // 1031
  void OnChangePid();                                                // 1032
  void OnChangeDeviceName();                                         // 1034

  // Writes the identity fields into RomImage with a fresh checksum. An image without an identity
  // layout (none loaded, or a header the tool refuses) is left as it is. False, with a message, when
  // the fields cannot be written into an image that has a layout: GO then burns nothing.
  bool ApplyIdentityToImage();

  // One row per operation button: what its worker disables, runs and reports.
  struct OperationRow;

 protected:
  void DoDataExchange(DataExchange& dx) override;
  bool OnNotify(Notification code, int id) override;
  void OnDropFiles(const std::vector<std::u16string>& paths) override;
  void OnSysCommand(int command) override;
  void OnDestroy() override;
  void OnOK() override;
  void OnCancel() override;

 private:
  void LaunchOperation(const OperationRow& row);
  void StartWorker(const OperationRow& row);
  void FinishOperation(const OperationRow& row);
  void StopWorker();
  void HexFieldCheck(std::u16string& member);
  bool RefuseWhileRunning();
  // Reads a ROM file into RomImage and shows string 105 (the shared part of Browse and drop). False,
  // with a message, when the file is refused; RomImage then stays as it was.
  bool LoadRomFile(const std::u16string& path);
  void ShowSelectedTab();

  DialogCamera& camera_;
  DialogOperations operations_;
  bool operationRunning_ = false;
  std::vector<int> disabledForRun_;  // controls the launcher disabled beyond the worker's own
  std::shared_ptr<WorkerChannel> channel_;
  std::thread worker_;
};

}  // namespace torvane::app
