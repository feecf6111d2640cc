// The main dialog after start-up, in both languages; start-up without a camera; the About box;
// Enter and Escape.
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTabWidget>

#include "app/Torvane_testApp.h"
#include "resources/DialogUnits.h"
#include "tests/gui/DialogTestSupport.h"

namespace torvane::gui::testing {
namespace {

using resources::Language;

enum class Kind { Button, Edit, Label, Bar, Tabs };

struct ExpectedControl {
  int id;
  Kind kind;
  const char* text;
  bool visible;
  bool enabled;
  resources::DialogRect position;  // dialog units
};

// The dialog's controls after start-up, as a user sees them on the "Burn" tab.
const std::vector<ExpectedControl> kEnglishControls{
    {1000, Kind::Button, "Browse", true, true, {17, 71, 50, 14}},
    {1001, Kind::Edit, "", true, true, {70, 71, 229, 14}},
    {1002, Kind::Button, "GO", true, true, {243, 96, 64, 23}},
    {1003, Kind::Bar, "", true, true, {14, 145, 290, 8}},
    {1004, Kind::Bar, "", false, true, {14, 163, 289, 8}},
    {1005, Kind::Button, "Erase SF", false, true, {18, 75, 50, 14}},
    {1006, Kind::Button, "Rom Export", false, true, {78, 75, 50, 14}},
    {1007, Kind::Label, "Erase and Check", false, true, {15, 154, 54, 8}},
    {1008, Kind::Label, "OK!", false, true, {75, 154, 13, 8}},
    {1010, Kind::Label, "OK!", false, true, {152, 154, 13, 8}},
    {1012, Kind::Label, "OK!", false, true, {243, 154, 13, 8}},
    {1009, Kind::Label, "Burning", false, true, {122, 154, 25, 8}},
    {1011, Kind::Label, "Verify", false, true, {219, 154, 20, 8}},
    {1013, Kind::Edit, "", false, true, {130, 75, 165, 14}},
    {1014, Kind::Edit, "No Task is Running...", true, true, {90, 20, 132, 19}},
    {1015, Kind::Button, "Get Rom Type", false, false, {252, 20, 50, 14}},
    {1017, Kind::Button, "F/W Version", false, true, {17, 100, 50, 14}},
    {1024, Kind::Button, "Rename", false, false, {78, 100, 50, 14}},
    {1033, Kind::Label, "DeviceName", true, true, {19, 90, 40, 8}},
    {1034, Kind::Edit, "", true, true, {60, 87, 160, 14}},
    {1029, Kind::Label, "VID: 0x", true, true, {21, 109, 26, 8}},
    {1030, Kind::Label, "PID: 0x", true, true, {129, 109, 26, 8}},
    {1031, Kind::Edit, "", true, true, {57, 106, 40, 14}},
    {1032, Kind::Edit, "", true, true, {158, 107, 40, 14}},
    {1035, Kind::Button, "SetToFile", true, true, {199, 105, 43, 14}},
    {1050, Kind::Tabs, "", true, true, {11, 44, 295, 81}},
};

const std::vector<ExpectedControl> kChineseControls{
    {1000, Kind::Button, "浏览", true, true, {18, 69, 50, 14}},
    {1001, Kind::Edit, "", true, true, {70, 69, 228, 14}},
    {1002, Kind::Button, "开始烧录", true, true, {246, 98, 65, 21}},
    {1003, Kind::Bar, "", true, true, {13, 145, 290, 8}},
    {1004, Kind::Bar, "", false, true, {14, 163, 289, 8}},
    {1005, Kind::Button, "擦除Flash", false, true, {19, 73, 50, 14}},
    {1006, Kind::Button, "导出ROM", false, true, {78, 73, 50, 14}},
    {1007, Kind::Label, "擦除", false, true, {15, 154, 17, 8}},
    {1008, Kind::Label, "OK!", false, true, {36, 154, 13, 8}},
    {1010, Kind::Label, "OK!", false, true, {142, 154, 13, 8}},
    {1012, Kind::Label, "OK!", false, true, {241, 154, 13, 8}},
    {1009, Kind::Label, "烧录", false, true, {122, 154, 17, 8}},
    {1011, Kind::Label, "校验", false, true, {219, 154, 17, 8}},
    {1013, Kind::Edit, "", false, true, {130, 73, 167, 14}},
    {1014, Kind::Edit, "没有任务正在运行...", true, true, {88, 22, 132, 19}},
    {1015, Kind::Button, "获取DSP型号", false, false, {256, 20, 50, 14}},
    {1017, Kind::Button, "获取F/W版本", false, true, {22, 104, 50, 14}},
    {1024, Kind::Button, "命名文件", false, false, {77, 103, 50, 14}},
    {1029, Kind::Label, "VID: 0x", true, true, {20, 108, 26, 8}},
    {1030, Kind::Label, "PID: 0x", true, true, {128, 108, 26, 8}},
    {1031, Kind::Edit, "", true, true, {54, 105, 40, 14}},
    {1032, Kind::Edit, "", true, true, {157, 106, 40, 14}},
    {1033, Kind::Label, "设备名称", true, true, {19, 90, 33, 8}},
    {1034, Kind::Edit, "", true, true, {53, 87, 160, 14}},
    {1035, Kind::Button, "写入文件", true, true, {199, 105, 43, 14}},
    {1050, Kind::Tabs, "", true, true, {11, 41, 307, 89}},
};

bool IsKind(QWidget* widget, Kind kind) {
  switch (kind) {
    case Kind::Button: return qobject_cast<QPushButton*>(widget) != nullptr;
    case Kind::Edit: return qobject_cast<QLineEdit*>(widget) != nullptr;
    case Kind::Label: return qobject_cast<QLabel*>(widget) != nullptr;
    case Kind::Bar: return qobject_cast<QProgressBar*>(widget) != nullptr;
    case Kind::Tabs: return qobject_cast<QTabWidget*>(widget) != nullptr;
  }
  return false;
}

struct LanguageCase {
  Language language;
  const std::vector<ExpectedControl>* controls;
  const char* caption;
  const char* tab0;
  const char* tab1;
  const char* aboutItem;
};

class StartUp : public ::testing::TestWithParam<LanguageCase> {};

TEST_P(StartUp, ControlsAfterStartUpWithACamera) {
  const LanguageCase& c = GetParam();
  ModalWatcher watcher;
  MainDialog d(c.language);

  EXPECT_TRUE(watcher.boxes.empty());
  EXPECT_FALSE(d.window->EndRequested());
  EXPECT_EQ(d.window->windowTitle(), QString::fromUtf8(c.caption));
  EXPECT_EQ(d.window->size(), QSize(480, 301));  // 320 x 185 dialog units at 96 dpi

  for (const ExpectedControl& e : *c.controls) {
    SCOPED_TRACE(e.id);
    QWidget* widget = d.Control(e.id);
    ASSERT_NE(widget, nullptr);
    EXPECT_TRUE(IsKind(widget, e.kind));
    if (e.kind != Kind::Bar && e.kind != Kind::Tabs) {
      EXPECT_EQ(d.Text(e.id), QString::fromUtf8(e.text));
    }
    EXPECT_EQ(!widget->isHidden(), e.visible);
    EXPECT_EQ(widget->isEnabled(), e.enabled);
    const resources::PixelRect p = resources::DialogUnitsToPixels(e.position, 96);
    EXPECT_EQ(widget->geometry(), QRect(p.x, p.y, p.width, p.height));
  }

  auto* tabs = d.ControlAs<QTabWidget>(resources::kTabControl);
  ASSERT_EQ(tabs->count(), 2);
  EXPECT_EQ(tabs->currentIndex(), 0);
  EXPECT_EQ(tabs->tabText(0), QString::fromUtf8(c.tab0));
  EXPECT_EQ(tabs->tabText(1), QString::fromUtf8(c.tab1));

  // The window's menu ends with a separator and the About item.
  const auto menu = d.window->MenuEntries();
  ASSERT_EQ(menu.size(), 2u);
  EXPECT_EQ(menu[0].first, 0);
  EXPECT_EQ(menu[1], std::make_pair(resources::kCommandAbout, QString::fromUtf8(c.aboutItem)));

  EXPECT_EQ(d.camera.storedChipId, std::optional<std::uint8_t>(0x25));
  EXPECT_EQ(d.camera.closeCalls, 0);
  ASSERT_NE(d.dialog->RomImage, nullptr);
  const auto bytes = d.dialog->RomImage->Bytes();
  EXPECT_TRUE(std::all_of(bytes.begin(), bytes.end(), [](std::uint8_t b) { return b == 0xFF; }));
  // The first control with a tab stop has the focus.
  EXPECT_EQ(d.window->focusWidget(), d.Control(resources::kBrowseButton));
}

INSTANTIATE_TEST_SUITE_P(
    BothLanguages, StartUp,
    ::testing::Values(LanguageCase{Language::English, &kEnglishControls, "Common USB Torvane", "Burn",
                                   "Auxiliary Function", "&About Common USB Torvane..."},
                      LanguageCase{Language::Chinese, &kChineseControls, "USBTorvane", "烧录", "辅助功能",
                                   "&关于 USBTorvane..."}),
    [](const auto& p) { return p.param.language == Language::English ? "English" : "Chinese"; });

TEST(StartUpWithoutCamera, TwoMessagesInOrderThenTheProgramEnds) {
  ModalWatcher watcher;
  QtDialogHost host(Language::English);
  FakeCamera camera;
  camera.present = false;
  app::CTorvane_testApp application(host, camera);

  EXPECT_FALSE(application.InitInstance());

  EXPECT_EQ(application.DialogResult(), -1);
  ASSERT_EQ(watcher.Texts(), (std::vector<QString>{"Can't find video device!", "GetChipIDValue Failed!"}));
  for (const ShownBox& box : watcher.boxes) {
    EXPECT_EQ(box.icon, QMessageBox::Warning);  // the exclamation icon
    EXPECT_EQ(box.buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
    EXPECT_EQ(box.caption, QStringLiteral("torvane-gui"));
  }
  EXPECT_EQ(camera.closeCalls, 1);
  EXPECT_FALSE(camera.storedChipId.has_value());
}

TEST(StartUpWithCamera, ChipIdFailureIsReportedAndTheDialogStaysUsable) {
  ModalWatcher watcher;
  MainDialog d(Language::Chinese, {}, [](FakeCamera& camera) { camera.chipIdReadable = false; });

  EXPECT_EQ(watcher.Texts(), (std::vector<QString>{"GetChipIDValue Failed!"}));  // the same text in Chinese
  EXPECT_EQ(d.camera.closeCalls, 1);
  EXPECT_FALSE(d.camera.storedChipId.has_value());
  EXPECT_FALSE(d.window->EndRequested());
  EXPECT_TRUE(d.window->isVisible());
  EXPECT_EQ(d.window->focusWidget(), nullptr);  // no control receives the initial focus
  EXPECT_EQ(d.Text(resources::kStatusLine), QStringLiteral("没有任务正在运行..."));
}

TEST(AboutBox, OpensFromTheMenuCommandAndChangesNothing) {
  ModalWatcher watcher;
  MainDialog d(Language::English);
  d.dialog->RouteSysCommand(resources::kCommandAbout);
  ASSERT_EQ(watcher.dialogCaptions, (std::vector<QString>{"About Common USB Torvane"}));
  EXPECT_NE(std::find(watcher.dialogTexts[0].begin(), watcher.dialogTexts[0].end(),
                      QStringLiteral("USB Torvane, Version 1.0.0.3")),
            watcher.dialogTexts[0].end());
  EXPECT_TRUE(d.window->isVisible());
  EXPECT_FALSE(d.window->EndRequested());

  d.dialog->RouteSysCommand(0xF020);  // any other window command is not the dialog's
  EXPECT_EQ(watcher.dialogCaptions.size(), 1u);
}

TEST(Closing, EnterInAnEditEndsWithOkAndEscapeWithCancel) {
  {
    MainDialog d(Language::English);
    QLineEdit* vid = d.ControlAs<QLineEdit>(resources::kVidEdit);
    vid->setFocus();
    QTest::keyClicks(vid, "12");
    QTest::keyClick(vid, Qt::Key_Return);
    EXPECT_TRUE(d.window->EndRequested());
    EXPECT_EQ(d.window->EndResult(), 1);
    EXPECT_EQ(d.dialog->m_strVid, u"12");  // OK reads the fields
  }
  {
    MainDialog d(Language::English);
    QTest::keyClick(d.ControlAs<QLineEdit>(resources::kDeviceNameEdit), Qt::Key_Escape);
    EXPECT_TRUE(d.window->EndRequested());
    EXPECT_EQ(d.window->EndResult(), 2);
  }
}

}  // namespace
}  // namespace torvane::gui::testing
