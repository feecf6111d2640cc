// Which controls each tab shows, switched by a click on the tab bar.
#include <QTabWidget>

#include "tests/gui/DialogTestSupport.h"

namespace torvane::gui::testing {
namespace {

using resources::Language;

// Controls whose visibility the tabs decide, or that must never appear.
const std::vector<int> kWatched{1000, 1001, 1002, 1003, 1004, 1005, 1006, 1007, 1008, 1009, 1010, 1011, 1012,
                                1013, 1014, 1015, 1017, 1024, 1029, 1030, 1031, 1032, 1033, 1034, 1035, 1050};

std::vector<int> VisibleOf(const MainDialog& d) {
  std::vector<int> visible;
  for (int id : kWatched) {
    if (!d.Control(id)->isHidden()) visible.push_back(id);
  }
  return visible;
}

const std::vector<int> kBurnTab{1000, 1001, 1002, 1003, 1014, 1029, 1030, 1031, 1032, 1033, 1034, 1035, 1050};
const std::vector<int> kAuxiliaryTab{1003, 1005, 1014, 1017, 1050};

class Tabs : public ::testing::TestWithParam<Language> {};

TEST_P(Tabs, EachTabShowsItsControlsAndStepLabelsStayHiddenAfterGoingBack) {
  MainDialog d(GetParam());
  EXPECT_EQ(VisibleOf(d), kBurnTab);

  d.SelectTabByMouse(1);
  ASSERT_EQ(d.ControlAs<QTabWidget>(resources::kTabControl)->currentIndex(), 1);
  EXPECT_EQ(VisibleOf(d), kAuxiliaryTab);

  d.SelectTabByMouse(0);
  EXPECT_EQ(VisibleOf(d), kBurnTab);

  // A burn leaves its step labels and the total bar shown; a trip to tab 1 hides them for good.
  for (int id : {1004, 1007, 1008, 1009, 1010, 1011, 1012}) d.window->ShowControl(id, true);
  d.SelectTabByMouse(1);
  EXPECT_EQ(VisibleOf(d), kAuxiliaryTab);
  d.SelectTabByMouse(0);
  EXPECT_EQ(VisibleOf(d), kBurnTab);
}

TEST_P(Tabs, NoSelectionChangesNothing) {
  MainDialog d(GetParam());
  d.window->ShowControl(resources::kLabelBurning, true);
  auto* tabs = d.ControlAs<QTabWidget>(resources::kTabControl);
  const QSignalBlocker quiet(tabs);
  tabs->clear();  // nothing selected
  d.dialog->OnTabSelectionChange();
  std::vector<int> expected = kBurnTab;
  expected.insert(std::upper_bound(expected.begin(), expected.end(), 1009), 1009);
  EXPECT_EQ(VisibleOf(d), expected);
}

INSTANTIATE_TEST_SUITE_P(BothLanguages, Tabs, ::testing::Values(Language::English, Language::Chinese),
                         [](const auto& p) { return p.param == Language::English ? "English" : "Chinese"; });

}  // namespace
}  // namespace torvane::gui::testing
