#include "resources/DialogTemplates.h"

#include <array>

#include "resources/ResourceIds.h"

namespace torvane::resources {
namespace {

using style::kAutoHScroll;
using style::kBitmap;
using style::kBorder;
using style::kCentered;
using style::kDefaultButton;
using style::kDisabled;
using style::kGroup;
using style::kHidden;
using style::kIcon;
using style::kMultiline;
using style::kNoPrefix;
using style::kReadOnly;
using style::kTabStop;
using style::kTransparent;
using enum ControlClass;

constexpr std::uint32_t kLabel = kGroup;  // a plain left-aligned static text that starts a group
constexpr std::uint32_t kPathEdit = kBorder | kReadOnly | kAutoHScroll;
constexpr std::uint32_t kStatusEdit = kCentered | kMultiline | kReadOnly | kAutoHScroll;
constexpr std::uint32_t kMainStyle = dialog_style::kPopup | dialog_style::kVisible | dialog_style::kCaption |
                                     dialog_style::kSystemMenu | dialog_style::kModalFrame |
                                     dialog_style::kAcceptFiles | dialog_style::kAppWindow;
constexpr std::uint32_t kAboutStyle =
    dialog_style::kPopup | dialog_style::kCaption | dialog_style::kSystemMenu | dialog_style::kModalFrame;

constexpr std::string_view kDialogFont = "MS Shell Dlg";
constexpr int kDialogFontPoints = 8;

constexpr std::array kMainEnglish{
    ControlTemplate{kBrowseButton, Button, "Browse", {17, 71, 50, 14}, kTabStop},
    ControlTemplate{kRomPathEdit, Edit, "", {70, 71, 229, 14}, kPathEdit},
    ControlTemplate{kGoButton, Button, "GO", {243, 96, 64, 23}, kTabStop},
    ControlTemplate{kStepBar, ProgressBar, "", {14, 145, 290, 8}, 0},
    ControlTemplate{kTotalBar, ProgressBar, "", {14, 163, 289, 8}, 0},
    ControlTemplate{kEraseButton, Button, "Erase SF", {18, 75, 50, 14}, 0},
    ControlTemplate{kRomExportButton, Button, "Rom Export", {78, 75, 50, 14}, 0},
    ControlTemplate{kLabelEraseAndCheck, Static, "Erase and Check", {15, 154, 54, 8}, kLabel},
    ControlTemplate{kLabelEraseOk, Static, "OK!", {75, 154, 13, 8}, kLabel},
    ControlTemplate{kLabelBurnOk, Static, "OK!", {152, 154, 13, 8}, kLabel},
    ControlTemplate{kLabelVerifyOk, Static, "OK!", {243, 154, 13, 8}, kLabel},
    ControlTemplate{kLabelBurning, Static, "Burning", {122, 154, 25, 8}, kLabel},
    ControlTemplate{kLabelVerify, Static, "Verify", {219, 154, 20, 8}, kLabel},
    ControlTemplate{kExportNameEdit, Edit, "", {130, 75, 165, 14}, kPathEdit},
    ControlTemplate{kStatusLine, Edit, "", {90, 20, 132, 19}, kStatusEdit},
    ControlTemplate{kGetRomTypeButton, Button, "Get Rom Type", {252, 20, 50, 14}, kHidden | kDisabled | kTabStop},
    ControlTemplate{kIdStatic, Static, "", {223, 15, 82, 20}, kBitmap, kLogoBitmap},
    ControlTemplate{kFwVersionButton, Button, "F/W Version", {17, 100, 50, 14}, 0},
    ControlTemplate{kRenameButton, Button, "Rename", {78, 100, 50, 14}, kHidden | kDisabled},
    ControlTemplate{kDeviceNameLabel, Static, "DeviceName", {19, 90, 40, 8}, kLabel},
    ControlTemplate{kDeviceNameEdit, Edit, "", {60, 87, 160, 14}, kBorder | kTabStop | kAutoHScroll},
    ControlTemplate{kVidLabel, Static, "VID: 0x", {21, 109, 26, 8}, kLabel},
    ControlTemplate{kPidLabel, Static, "PID: 0x", {129, 109, 26, 8}, kLabel},
    ControlTemplate{kVidEdit, Edit, "", {57, 106, 40, 14}, kBorder | kTabStop | kAutoHScroll},
    ControlTemplate{kPidEdit, Edit, "", {158, 107, 40, 14}, kBorder | kAutoHScroll},
    ControlTemplate{kSetToFileButton, Button, "SetToFile", {199, 105, 43, 14}, kTabStop},
    ControlTemplate{kTabControl, TabControl, "", {11, 44, 295, 81}, kTransparent},
};

// The Chinese template lists the same controls; at its end the identity labels and edits come in
// id order.
constexpr std::array kMainChinese{
    ControlTemplate{kBrowseButton, Button, "浏览", {18, 69, 50, 14}, kTabStop},
    ControlTemplate{kRomPathEdit, Edit, "", {70, 69, 228, 14}, kPathEdit},
    ControlTemplate{kGoButton, Button, "开始烧录", {246, 98, 65, 21}, kTabStop},
    ControlTemplate{kStepBar, ProgressBar, "", {13, 145, 290, 8}, 0},
    ControlTemplate{kTotalBar, ProgressBar, "", {14, 163, 289, 8}, 0},
    ControlTemplate{kEraseButton, Button, "擦除Flash", {19, 73, 50, 14}, 0},
    ControlTemplate{kRomExportButton, Button, "导出ROM", {78, 73, 50, 14}, 0},
    ControlTemplate{kLabelEraseAndCheck, Static, "擦除", {15, 154, 17, 8}, kLabel},
    ControlTemplate{kLabelEraseOk, Static, "OK!", {36, 154, 13, 8}, kLabel},
    ControlTemplate{kLabelBurnOk, Static, "OK!", {142, 154, 13, 8}, kLabel},
    ControlTemplate{kLabelVerifyOk, Static, "OK!", {241, 154, 13, 8}, kLabel},
    ControlTemplate{kLabelBurning, Static, "烧录", {122, 154, 17, 8}, kLabel},
    ControlTemplate{kLabelVerify, Static, "校验", {219, 154, 17, 8}, kLabel},
    ControlTemplate{kExportNameEdit, Edit, "", {130, 73, 167, 14}, kPathEdit},
    ControlTemplate{kStatusLine, Edit, "", {88, 22, 132, 19}, kStatusEdit},
    ControlTemplate{kGetRomTypeButton, Button, "获取DSP型号", {256, 20, 50, 14}, kHidden | kDisabled | kTabStop},
    ControlTemplate{kIdStatic, Static, "", {224, 14, 82, 20}, kBitmap, kLogoBitmap},
    ControlTemplate{kFwVersionButton, Button, "获取F/W版本", {22, 104, 50, 14}, 0},
    ControlTemplate{kRenameButton, Button, "命名文件", {77, 103, 50, 14}, kHidden | kDisabled},
    ControlTemplate{kVidLabel, Static, "VID: 0x", {20, 108, 26, 8}, kLabel},
    ControlTemplate{kPidLabel, Static, "PID: 0x", {128, 108, 26, 8}, kLabel},
    ControlTemplate{kVidEdit, Edit, "", {54, 105, 40, 14}, kBorder | kTabStop | kAutoHScroll},
    ControlTemplate{kPidEdit, Edit, "", {157, 106, 40, 14}, kBorder | kAutoHScroll},
    ControlTemplate{kDeviceNameLabel, Static, "设备名称", {19, 90, 33, 8}, kLabel},
    ControlTemplate{kDeviceNameEdit, Edit, "", {53, 87, 160, 14}, kBorder | kTabStop | kAutoHScroll},
    ControlTemplate{kSetToFileButton, Button, "写入文件", {199, 105, 43, 14}, kTabStop},
    ControlTemplate{kTabControl, TabControl, "", {11, 41, 307, 89}, kTransparent},
};

constexpr std::string_view kMakerNotice = "Copyright (C) the Torvane developers";

constexpr std::array kAboutEnglish{
    ControlTemplate{kIdStatic, Static, "", {14, 14, 20, 20}, kIcon, kAppIcon},
    ControlTemplate{kIdStatic, Static, "USB Torvane, Version 1.0.0.3", {42, 14, 114, 8}, kNoPrefix | kGroup},
    ControlTemplate{kIdStatic, Static, kMakerNotice, {42, 26, 114, 8}, kGroup},
    ControlTemplate{kIdOk, Button, "OK", {113, 41, 50, 14}, kDefaultButton | kGroup | kTabStop},
};

constexpr std::array kAboutChinese{
    ControlTemplate{kIdStatic, Static, "", {14, 14, 20, 20}, kIcon, kAppIcon},
    ControlTemplate{kIdStatic, Static, "USBTorvane, 版本 1.0.0.3", {42, 14, 114, 8}, kNoPrefix | kGroup},
    ControlTemplate{kIdStatic, Static, kMakerNotice, {42, 26, 114, 8}, kGroup},
    ControlTemplate{kIdOk, Button, "确定", {113, 41, 50, 14}, kDefaultButton | kGroup | kTabStop},
};

const DialogTemplate kMainDialogEnglish{kMainDialog,        "Common USB Torvane", 320, 185, kDialogFont,
                                        kDialogFontPoints, kMainStyle,           kMainEnglish};
const DialogTemplate kMainDialogChinese{kMainDialog,        "USBTorvane", 320, 185, kDialogFont,
                                        kDialogFontPoints, kMainStyle,   kMainChinese};
const DialogTemplate kAboutDialogEnglish{kAboutDialog,      "About Common USB Torvane", 170, 62, kDialogFont,
                                         kDialogFontPoints, kAboutStyle,                kAboutEnglish};
const DialogTemplate kAboutDialogChinese{kAboutDialog,      "关于USBTorvane", 170, 62, kDialogFont,
                                         kDialogFontPoints, kAboutStyle,       kAboutChinese};

}  // namespace

const ControlTemplate* DialogTemplate::Find(int controlId) const {
  for (const ControlTemplate& control : controls) {
    if (control.id == controlId) return &control;
  }
  return nullptr;
}

const DialogTemplate& MainDialogTemplate(Language language) {
  return language == Language::Chinese ? kMainDialogChinese : kMainDialogEnglish;
}

const DialogTemplate& AboutDialogTemplate(Language language) {
  return language == Language::Chinese ? kAboutDialogChinese : kAboutDialogEnglish;
}

const DialogTemplate* FindDialogTemplate(int id, Language language) {
  if (id == kMainDialog) return &MainDialogTemplate(language);
  if (id == kAboutDialog) return &AboutDialogTemplate(language);
  return nullptr;
}

}  // namespace torvane::resources
