// Numeric ids of the dialogs, controls, strings, pictures and commands. Every front end addresses the
// dialog's controls by these ids, exactly as the templates lay them out.
#pragma once

namespace torvane::resources {

// Dialog templates.
constexpr int kAboutDialog = 100;
constexpr int kMainDialog = 102;

// Pictures.
constexpr int kAppIcon = 128;
constexpr int kLogoBitmap = 130;

// Commands.
constexpr int kIdOk = 1;
constexpr int kIdCancel = 2;
constexpr int kIdStatic = -1;           // a control nobody addresses
constexpr int kCommandAbout = 0x0010;   // the About item of the window's menu

// Controls of the main dialog.
constexpr int kBrowseButton = 1000;
constexpr int kRomPathEdit = 1001;
constexpr int kGoButton = 1002;
constexpr int kStepBar = 1003;
constexpr int kTotalBar = 1004;
constexpr int kEraseButton = 1005;
constexpr int kRomExportButton = 1006;
constexpr int kLabelEraseAndCheck = 1007;
constexpr int kLabelEraseOk = 1008;
constexpr int kLabelBurning = 1009;
constexpr int kLabelBurnOk = 1010;
constexpr int kLabelVerify = 1011;
constexpr int kLabelVerifyOk = 1012;
constexpr int kExportNameEdit = 1013;
constexpr int kStatusLine = 1014;
constexpr int kGetRomTypeButton = 1015;
constexpr int kFwVersionButton = 1017;
constexpr int kRenameButton = 1024;
constexpr int kVidLabel = 1029;
constexpr int kPidLabel = 1030;
constexpr int kVidEdit = 1031;
constexpr int kPidEdit = 1032;
constexpr int kDeviceNameLabel = 1033;
constexpr int kDeviceNameEdit = 1034;
constexpr int kSetToFileButton = 1035;
constexpr int kTabControl = 1050;

// String table.
constexpr int kStrAboutItem = 101;
constexpr int kStrTabBurn = 102;
constexpr int kStrTabAuxiliary = 103;
constexpr int kStrIdle = 104;
constexpr int kStrReadyToBurn = 105;
constexpr int kStrBurning = 106;
constexpr int kStrBurnOk = 107;
constexpr int kStrBurnFailed = 108;
constexpr int kStrErasing = 109;
constexpr int kStrEraseOk = 110;
constexpr int kStrEraseFailed = 111;
constexpr int kStrExporting = 112;
constexpr int kStrExportOk = 113;
constexpr int kStrExportFailed = 114;

}  // namespace torvane::resources
