#include "app/Torvane_testDlg.h"

#include <algorithm>
#include <array>
#include <filesystem>
#include <span>

#include "app/FieldChecks.h"
#include "app/OperationControls.h"
#include "app/Text.h"
#include "operations/Operations.h"
#include "resources/ResourceIds.h"
#include "resources/StringTable.h"
#include "rom/RomFile.h"

namespace torvane::app {

using namespace resources;  // control and string ids

namespace {


// Texts of the operations that are not built into this program yet.
constexpr std::u16string_view kBurnNotBuilt = u"Burning is not built into this program yet.";
constexpr std::u16string_view kEraseNotBuilt = u"Erasing is not built into this program yet.";
constexpr std::u16string_view kExportNotBuilt = u"Exporting is not built into this program yet.";
constexpr std::u16string_view kVersionNotBuilt = u"Reading the firmware version is not built into this program yet.";
constexpr std::u16string_view kRomTypeNotBuilt = u"The ROM type query is not built into this program yet.";

// Hidden at start-up, in this order: the auxiliary tab's buttons, the export name, the step display.
constexpr std::array kHiddenAtStart{kEraseButton,  kRomExportButton, kExportNameEdit,     kFwVersionButton,
                                    kTotalBar,     kLabelEraseAndCheck, kLabelEraseOk,    kLabelBurning,
                                    kLabelBurnOk,  kLabelVerify,     kLabelVerifyOk};
constexpr std::array kIdentityControls{kVidLabel,        kVidEdit,       kPidLabel,       kPidEdit,
                                       kDeviceNameLabel, kDeviceNameEdit, kSetToFileButton};
// Hidden by every operation button before it starts.
constexpr std::array kStepDisplay{kTotalBar,    kLabelEraseAndCheck, kLabelEraseOk, kLabelBurning,
                                  kLabelBurnOk, kLabelVerify,        kLabelVerifyOk};
// What must not be used while an operation runs: the operations and everything that changes the image.
constexpr std::array kBlockedWhileRunning{kGoButton,         kBrowseButton,     kEraseButton,     kRomExportButton,
                                          kFwVersionButton,  kSetToFileButton,  kGetRomTypeButton, kRenameButton};

}  // namespace

struct CTorvane_testDlg::OperationRow {
  int button;
  std::array<int, 2> ownButtons;  // disabled by the worker in this order, enabled again in the same
  std::size_t ownButtonCount;
  WorkerOperation DialogOperations::*operation;
  operations::Operation kind;  // which result strings the status line shows
  bool appliesIdentity;
  std::u16string_view notBuilt;
};

namespace {

using Row = CTorvane_testDlg::OperationRow;
constexpr Row kGoRow{kGoButton, {kGoButton, kBrowseButton}, 2, &DialogOperations::BurnImage,
                     operations::Operation::Burn, true, kBurnNotBuilt};
constexpr Row kEraseRow{kEraseButton, {kEraseButton, 0}, 1, &DialogOperations::EraseAndCheck,
                        operations::Operation::Erase, false, kEraseNotBuilt};
constexpr Row kExportRow{kRomExportButton, {kRomExportButton, 0}, 1, &DialogOperations::ExportRom,
                         operations::Operation::Export, false, kExportNotBuilt};

struct MessageMapEntry {
  Notification code;
  int id;
  void (CTorvane_testDlg::*handler)();  // null: routed, and nothing is done
};

constexpr std::array kMessageMap{
    MessageMapEntry{Notification::Clicked, kBrowseButton, &CTorvane_testDlg::BrowseForImage},
    MessageMapEntry{Notification::Clicked, kGoButton, &CTorvane_testDlg::OnBnClickedGo},
    MessageMapEntry{Notification::Clicked, kEraseButton, &CTorvane_testDlg::OnBnClickedEraseSf},
    MessageMapEntry{Notification::Clicked, kRomExportButton, &CTorvane_testDlg::OnBnClickedRomExport},
    MessageMapEntry{Notification::Clicked, kGetRomTypeButton, &CTorvane_testDlg::QueryRomType},
    MessageMapEntry{Notification::Clicked, kFwVersionButton, &CTorvane_testDlg::ShowFirmwareVersion},
    MessageMapEntry{Notification::Clicked, kRenameButton, &CTorvane_testDlg::OnBnClickedRename},
    MessageMapEntry{Notification::TabSelectionChange, kTabControl, &CTorvane_testDlg::OnTabSelectionChange},
    MessageMapEntry{Notification::EditChange, kRomPathEdit, nullptr},
    MessageMapEntry{Notification::EditChange, kPidEdit, &CTorvane_testDlg::OnChangePid},
    MessageMapEntry{Notification::EditChange, kVidEdit, &CTorvane_testDlg::OnChangeVid},
    MessageMapEntry{Notification::EditChange, kDeviceNameEdit, &CTorvane_testDlg::OnChangeDeviceName},
    MessageMapEntry{Notification::Clicked, kSetToFileButton, &CTorvane_testDlg::SaveImageToFile},
};

// The open-file dialog of Browse and Rename.
OpenFileRequest RomFileRequest() {
  return {u"*.SRC",
          {{u"Source File(*.SRC)", u"*.SRC"},
           {u"Source File(*.BIN)", u"*.BIN"},
           {u"Source File(*.HEX)", u"*.HEX"},
           {u"All File (*.*)", u"*.*"}},
          true};
}

}  // namespace

CTorvane_testDlg::CTorvane_testDlg(DialogHost& host, DialogCamera& camera, DialogOperations operations)
    : CDialog(kMainDialog, host), camera_(camera), operations_(std::move(operations)) {}

CTorvane_testDlg::~CTorvane_testDlg() { StopWorker(); }

void CTorvane_testDlg::DoDataExchange(DataExchange& dx) {
  dx.Text(kVidEdit, m_strVid);
  dx.Text(kPidEdit, m_strPid);
  dx.Text(kDeviceNameEdit, m_strDeviceName);
}

bool CTorvane_testDlg::OnNotify(Notification code, int id) {
  for (const MessageMapEntry& entry : kMessageMap) {
    if (entry.code == code && entry.id == id) {
      if (entry.handler != nullptr) (this->*entry.handler)();
      return true;
    }
  }
  return false;
}

bool CTorvane_testDlg::OnInitDialog() {
  CDialog::OnInitDialog();
  DialogWindow& w = Wnd();

  if (w.HasSystemMenu()) {
    const std::u16string about = Utf8ToUtf16(LoadString(kStrAboutItem, Host().Language()));
    if (!about.empty()) {
      w.AppendMenuSeparator();
      w.AppendMenuItem(kCommandAbout, about);
    }
  }
  w.SetIcon(kAppIcon);

  // Without a camera the dialog ends as soon as initialisation returns; the steps below still run,
  // so the chip id read fails too and says so.
  if (camera_.FindCamera() != 0) {
    Host().ShowMessage(messages::kNoVideoDevice);
    EndDialog(-1);
  }

  m_nRomSize = static_cast<std::int32_t>(rom::kRomSize);
  RomImage = std::make_unique<rom::RomImage>();

  w.InsertTab(kTabControl, 0, Utf8ToUtf16(LoadString(kStrTabBurn, Host().Language())));
  w.InsertTab(kTabControl, 1, Utf8ToUtf16(LoadString(kStrTabAuxiliary, Host().Language())));
  w.SelectTab(kTabControl, 0);

  for (int id : kHiddenAtStart) w.ShowControl(id, false);
  for (int id : kIdentityControls) w.ShowControl(id, true);
  w.UpdateWindow();
  w.SetControlText(kStatusLine, Utf8ToUtf16(LoadString(kStrIdle, Host().Language())));

  std::uint8_t chipId = 0;
  if (camera_.GetChipIDValue(chipId)) {
    camera_.StoreChipId(chipId);
    return true;
  }
  Host().ShowMessage(messages::kChipIdFailed);
  camera_.CloseDevice();
  return false;
}

void CTorvane_testDlg::OnSysCommand(int command) {
  if ((command & 0xFFF0) == kCommandAbout) {
    CAboutDlg about(Host());
    about.DoModal();
  }
}

// --- Tabs -------------------------------------------------------------------------------------------

void CTorvane_testDlg::OnTabSelectionChange() { ShowSelectedTab(); }

void CTorvane_testDlg::ShowSelectedTab() {
  DialogWindow& w = Wnd();
  const int selection = w.SelectedTab(kTabControl);
  if (selection == 0) {
    for (int id : {kBrowseButton, kRomPathEdit, kGoButton}) w.ShowControl(id, true);
    for (int id : {kEraseButton, kRomExportButton, kExportNameEdit, kFwVersionButton}) w.ShowControl(id, false);
    for (int id : kIdentityControls) w.ShowControl(id, true);
  } else if (selection == 1) {
    for (int id : {kBrowseButton, kRomPathEdit, kGoButton}) w.ShowControl(id, false);
    for (int id : {kEraseButton, kFwVersionButton}) w.ShowControl(id, true);
    for (int id : {kLabelEraseAndCheck, kLabelBurning, kLabelVerify, kLabelEraseOk, kLabelBurnOk, kLabelVerifyOk,
                   kTotalBar}) {
      w.ShowControl(id, false);
    }
    for (int id : kIdentityControls) w.ShowControl(id, false);
  }
}

// --- Identity fields --------------------------------------------------------------------------------

void CTorvane_testDlg::HexFieldCheck(std::u16string& member) {
  const std::u16string accepted = member;
  UpdateData(true);
  if (!IsAcceptedHexField(member)) member = accepted;
  UpdateData(false);
}

void CTorvane_testDlg::OnChangeVid() { HexFieldCheck(m_strVid); }
void CTorvane_testDlg::OnChangePid() { HexFieldCheck(m_strPid); }

void CTorvane_testDlg::OnChangeDeviceName() {
  const std::u16string accepted = m_strDeviceName;
  UpdateData(true);
  if (!IsAcceptedDeviceName(m_strDeviceName)) {
    Host().ShowMessage(messages::kDeviceNameTooLong);  // the edit still shows the refused text meanwhile
    m_strDeviceName = accepted;
    UpdateData(false);
  }
}

// --- Operations -------------------------------------------------------------------------------------

void CTorvane_testDlg::OnBnClickedGo() { LaunchOperation(kGoRow); }
void CTorvane_testDlg::OnBnClickedEraseSf() { LaunchOperation(kEraseRow); }
void CTorvane_testDlg::OnBnClickedRomExport() { LaunchOperation(kExportRow); }

void CTorvane_testDlg::LaunchOperation(const OperationRow& row) {
  // The buttons are disabled while an operation runs; this holds even if a click slips through.
  if (operationRunning_) return;
  if (!(operations_.*row.operation)) {
    Host().ShowMessage(row.notBuilt);
    return;
  }
  for (int id : kStepDisplay) Wnd().ShowControl(id, false);
  if (row.appliesIdentity && !ApplyIdentityToImage()) return;
  // No camera: nothing starts and the buttons stay enabled. Said plainly, so that the result of an
  // earlier operation still in the status line ("Burn Successes!") is not taken for this one's.
  if (camera_.FindCamera() != 0) {
    Host().ShowMessage(messages::kNoVideoDevice);
    return;
  }
  StartWorker(row);
}

void CTorvane_testDlg::StartWorker(const OperationRow& row) {
  DialogWindow& w = Wnd();
  operationRunning_ = true;
  const std::span<const int> own(row.ownButtons.data(), row.ownButtonCount);
  for (int id : own) w.EnableControl(id, false);
  disabledForRun_.clear();
  for (int id : kBlockedWhileRunning) {
    if (std::find(own.begin(), own.end(), id) == own.end() && w.IsControlEnabled(id)) {
      w.EnableControl(id, false);
      disabledForRun_.push_back(id);
    }
  }

  channel_ = std::make_shared<WorkerChannel>(Host(), w);
  worker_ = std::thread([this, &row, channel = channel_, operation = operations_.*row.operation,
                         image = RomImage->Bytes(), language = Host().Language()] {
    WorkerControls controls(channel, language);
    OperationContext context{controls, image, [channel] { return channel->Cancelled(); }};
    bool succeeded = false;
    try {
      succeeded = operation(context);
    } catch (...) {
      succeeded = false;  // an operation that throws has failed; the dialog goes on
    }
    operations::ShowOperationResult(controls, row.kind, succeeded ? 1 : 0);
    // Runs only while the window lives; the dialog object outlives its window.
    channel->Post([this, &row](DialogWindow&) { FinishOperation(row); });
  });
}

void CTorvane_testDlg::FinishOperation(const OperationRow& row) {
  DialogWindow& w = Wnd();
  for (std::size_t i = 0; i < row.ownButtonCount; ++i) w.EnableControl(row.ownButtons[i], true);
  for (int id : disabledForRun_) w.EnableControl(id, true);
  disabledForRun_.clear();
  if (worker_.joinable()) worker_.join();  // its last act was to post this
  channel_.reset();
  operationRunning_ = false;
}

void CTorvane_testDlg::StopWorker() {
  if (channel_) channel_->Close();  // ends a pending message box wait and asks the operation to stop
  if (worker_.joinable()) worker_.join();
  channel_.reset();
  operationRunning_ = false;
}

bool CTorvane_testDlg::RefuseWhileRunning() {
  if (!operationRunning_) return false;
  Host().ShowMessage(messages::kOperationRunning);
  return true;
}

void CTorvane_testDlg::ShowFirmwareVersion() {
  if (operationRunning_) return;
  if (!operations_.ShowFirmwareVersion) {
    Host().ShowMessage(kVersionNotBuilt);
    return;
  }
  InterfaceControls controls(Host(), Wnd());
  operations_.ShowFirmwareVersion(controls);
}

void CTorvane_testDlg::QueryRomType() {
  if (operationRunning_) return;
  if (!operations_.QueryRomType) {
    Host().ShowMessage(kRomTypeNotBuilt);
    return;
  }
  InterfaceControls controls(Host(), Wnd());
  operations_.QueryRomType(controls);
}

// --- ROM files ----------------------------------------------------------------------------------------

void CTorvane_testDlg::BrowseForImage() {
  if (operationRunning_) return;
  const std::optional<std::u16string> path = Host().ChooseFileToOpen(RomFileRequest());
  if (!path) return;
  // The path is shown and kept before the file is opened, so a refused file still shows it.
  Wnd().SetControlText(kRomPathEdit, *path);
  m_strRomPath = *path;
  if (!LoadRomFile(*path)) return;

  const rom::IdentityReadout readout = rom::ReadIdentity(*RomImage);
  if (!readout.identity) {
    // A header the tool cannot trust: the image is loaded, its identity is neither shown nor patched.
    // The fields are emptied, so that an earlier image's identity does not stand there as this one's.
    m_strVid.clear();
    m_strPid.clear();
    m_strDeviceName.clear();
    UpdateData(false);
    Host().ShowMessage(Utf8ToUtf16(readout.problem));
    return;
  }
  const rom::IdentityTexts shown = rom::ShownTexts(*readout.identity);
  m_strVid = shown.vid;
  m_strPid = shown.pid;
  m_strDeviceName = shown.deviceName;
  UpdateData(false);  // placed by the program: no field check runs
}

void CTorvane_testDlg::AcceptDroppedImage(const std::vector<std::u16string>& paths) {
  // Only the first file counts; m_strRomPath and the identity fields stay as the last Browse left them.
  if (paths.empty() || paths.front().empty()) return;
  const std::u16string& path = paths.front();
  Wnd().SetControlText(kRomPathEdit, path);
  if (!LoadRomFile(path)) return;
  DialogWindow& w = Wnd();
  w.SelectTab(kTabControl, 0);
  for (int id : {kBrowseButton, kRomPathEdit, kGoButton}) w.ShowControl(id, true);
  for (int id : {kEraseButton, kRomExportButton, kExportNameEdit, kFwVersionButton}) w.ShowControl(id, false);
}

void CTorvane_testDlg::OnDropFiles(const std::vector<std::u16string>& paths) {
  if (RefuseWhileRunning()) return;
  AcceptDroppedImage(paths);
}

bool CTorvane_testDlg::LoadRomFile(const std::u16string& path) {
  InterfaceControls messages(Host(), Wnd());
  if (rom::LoadImageFile(*RomImage, std::filesystem::path(path), messages) != rom::LoadStatus::Loaded) return false;
  Wnd().SetControlText(kStatusLine, Utf8ToUtf16(LoadString(kStrReadyToBurn, Host().Language())));
  return true;
}

bool CTorvane_testDlg::ApplyIdentityToImage() {
  // The fields as they stand in the members (GO does not read the edits first; the checks keep the
  // members current on every change).
  if (!RomImage || !RomImage->Layout()) return true;
  const rom::ApplyResult result = rom::ApplyIdentityToImage(*RomImage, {m_strVid, m_strPid, m_strDeviceName});
  if (!result.applied) {
    Host().ShowMessage(Utf8ToUtf16(result.problem));
    return false;
  }
  return true;
}

void CTorvane_testDlg::SaveImageToFile() {
  if (operationRunning_) return;
  UpdateData(true);
  if (m_strRomPath.empty()) return;
  InterfaceControls messages(Host(), Wnd());
  rom::SaveImageToFile(*RomImage, std::filesystem::path(m_strRomPath), {m_strVid, m_strPid, m_strDeviceName},
                       messages);
}

void CTorvane_testDlg::OnBnClickedRename() {
  if (operationRunning_) return;
  const std::optional<std::u16string> path = Host().ChooseFileToOpen(RomFileRequest());
  if (!path) return;
  InterfaceControls messages(Host(), Wnd());
  rom::CheckFileOpens(std::filesystem::path(*path), messages);
}

// --- Closing ------------------------------------------------------------------------------------------

void CTorvane_testDlg::OnOK() {
  if (RefuseWhileRunning()) return;
  CDialog::OnOK();
}

void CTorvane_testDlg::OnCancel() {
  if (RefuseWhileRunning()) return;
  CDialog::OnCancel();
}

void CTorvane_testDlg::OnDestroy() {
  // Closing is refused while an operation runs; should the window go all the same, the worker is
  // stopped and waited for first, so the image is never released under it.
  StopWorker();
  RomImage.reset();
}

}  // namespace torvane::app
