// The checks on the VID, PID and device-name fields, driven as a user types, pastes and composes.
#include <QClipboard>
#include <QInputMethodEvent>
#include <QLineEdit>

#include "tests/gui/DialogTestSupport.h"

namespace torvane::gui::testing {
namespace {

using resources::Language;

enum class Input { Type, Paste, Compose };

struct FieldCase {
  const char* name;
  int field;
  const char16_t* accepted;  // the field's text before the input (typed and accepted)
  Input input;
  const char16_t* entered;
  const char16_t* expected;  // the field's text afterwards
  bool tooLongMessage;       // "最多只能输入32字符" shown, with the refused text still in the edit
};

const std::u16string k31(31, u'n');
const std::u16string k30(30, u'n');
const std::u16string k40(40, u'x');

const FieldCase kCases[] = {
    {"FifthCharacterRefused", 1031, u"abcd", Input::Type, u"e", u"abcd", false},
    {"ZeroXIntoEmptyPid", 1032, u"", Input::Type, u"0x", u"0", false},
    {"LowerCaseAsTyped", 1031, u"", Input::Type, u"abcd", u"abcd", false},
    {"UpperCaseAsTyped", 1032, u"", Input::Type, u"ABCD", u"ABCD", false},
    {"SingleZeroAsTyped", 1031, u"", Input::Type, u"0", u"0", false},
    {"PastedTextWithGRefusedWhole", 1031, u"0abc", Input::Paste, u"12G4", u"0abc", false},
    {"PastedFourDigitsAccepted", 1032, u"1", Input::Paste, u"BEEF", u"BEEF", false},
    {"FullWidthDigitRefused", 1031, u"12", Input::Compose, u"\uFF11", u"12", false},
    {"ChineseCharacterRefused", 1032, u"a", Input::Compose, u"中", u"a", false},
    {"LatinOneLetterRefused", 1031, u"1", Input::Compose, u"\u00E9", u"1", false},
    {"ThirtyFirstCharacterAccepted", 1034, k30.c_str(), Input::Type, u"n", k31.c_str(), false},
    {"ThirtySecondCharacterRefused", 1034, k31.c_str(), Input::Type, u"n", k31.c_str(), true},
    {"FortyCharacterPasteRestoresTheName", 1034, u"Cam", Input::Paste, k40.c_str(), u"Cam", true},
    {"ChineseNameAccepted", 1034, u"", Input::Compose, u"摄像头", u"摄像头", false},
};

void PrintTo(const FieldCase& c, std::ostream* os) { *os << c.name; }

class FieldChecks : public ::testing::TestWithParam<FieldCase> {};

void Enter(QLineEdit* edit, Input input, const QString& text) {
  edit->setFocus();
  edit->end(false);
  switch (input) {
    case Input::Type:
      QTest::keyClicks(edit, text);
      break;
    case Input::Paste:
      QApplication::clipboard()->setText(text);
      edit->selectAll();
      QTest::keyClick(edit, Qt::Key_V, Qt::ControlModifier);
      break;
    case Input::Compose: {
      QInputMethodEvent preedit(text, {});
      QApplication::sendEvent(edit, &preedit);
      QInputMethodEvent commit;
      commit.setCommitString(text);
      QApplication::sendEvent(edit, &commit);
      break;
    }
  }
}

TEST_P(FieldChecks, RefusedInputBringsBackTheLastAcceptedText) {
  const FieldCase& c = GetParam();
  ModalWatcher watcher;
  MainDialog d(Language::English);
  auto* edit = d.ControlAs<QLineEdit>(c.field);
  watcher.probe = [edit] { return edit->text(); };

  // The neighbours keep what the user typed into them while this field is refused.
  const int neighbour = c.field == resources::kDeviceNameEdit ? resources::kVidEdit : resources::kDeviceNameEdit;
  Enter(d.ControlAs<QLineEdit>(neighbour), Input::Type, "12");
  Enter(edit, Input::Type, QString::fromStdU16String(c.accepted));
  ASSERT_EQ(edit->text(), QString::fromStdU16String(c.accepted));
  ASSERT_TRUE(watcher.boxes.empty());

  Enter(edit, c.input, QString::fromStdU16String(c.entered));

  EXPECT_EQ(edit->text(), QString::fromStdU16String(c.expected));
  EXPECT_EQ(d.Text(neighbour), QStringLiteral("12"));
  const std::u16string& member = c.field == resources::kVidEdit   ? d.dialog->m_strVid
                                 : c.field == resources::kPidEdit ? d.dialog->m_strPid
                                                                  : d.dialog->m_strDeviceName;
  EXPECT_EQ(member, std::u16string(c.expected));
  if (c.tooLongMessage) {
    ASSERT_EQ(watcher.boxes.size(), 1u);
    EXPECT_EQ(watcher.boxes[0].text, QStringLiteral("最多只能输入32字符"));
    EXPECT_EQ(watcher.boxes[0].icon, QMessageBox::Warning);
    EXPECT_GT(watcher.boxes[0].probe.size(), 31);  // the refused text is still shown while the box is open
  } else {
    EXPECT_TRUE(watcher.boxes.empty());
  }
}

INSTANTIATE_TEST_SUITE_P(Table, FieldChecks, ::testing::ValuesIn(kCases),
                         [](const auto& p) { return std::string(p.param.name); });

TEST(FieldChecksOnPlacedTexts, TextsThatTheProgramPlacesAreNotJudgedUntilTheUserEdits) {
  ModalWatcher watcher;
  MainDialog d(Language::Chinese);
  d.dialog->m_strVid = u"XYZ12";
  d.dialog->m_strDeviceName = std::u16string(40, u'd');
  d.dialog->UpdateData(false);  // as a loaded image's identity is shown

  EXPECT_EQ(d.Text(resources::kVidEdit), QStringLiteral("XYZ12"));
  EXPECT_EQ(d.Text(resources::kDeviceNameEdit).size(), 40);
  EXPECT_TRUE(watcher.boxes.empty());

  // The next edit is judged on its own text, and a refusal brings back the placed one.
  Enter(d.ControlAs<QLineEdit>(resources::kVidEdit), Input::Type, "1");
  EXPECT_EQ(d.Text(resources::kVidEdit), QStringLiteral("XYZ12"));
  EXPECT_TRUE(watcher.boxes.empty());
}

}  // namespace
}  // namespace torvane::gui::testing
