// The preferences window's pages driven through their controls' kernel
// identifiers, with the preferences kept in memory.
#include "app/prefs/preferences_window.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabBar>
#include <QTabWidget>
#include <QTest>
#include <QTimer>
#include <functional>
#include <gtest/gtest.h>

#include "kernel/files/text_convert.h"
#include "kernel/prefs/default_attrs.h"
#include "kernel/prefs/dialog_controls.h"
#include "kernel/prefs/prefs_dialog.h"
#include "kernel/prefs/preferences.h"
#include "platform/kp_qt_bridge.h"

namespace {

template <typename T>
T* control(int page, int id) {
  QObject* root = kp_qobject(prefs_pages[page]);
  if (!root) return nullptr;
  for (T* c : root->findChildren<T*>()) {
    int found = 0;
    if (kp_item_id(c, &found) && found == id) return c;
  }
  return nullptr;
}

template <typename T>
T* window_control(QDialog* window, int id) {
  for (T* c : window->findChildren<T*>()) {
    int found = 0;
    if (kp_item_id(c, &found) && found == id) return c;
  }
  return nullptr;
}

void choose(int page, int id, int index) {
  QComboBox* box = control<QComboBox>(page, id);
  ASSERT_NE(box, nullptr) << id;
  box->setCurrentIndex(index);
  emit box->activated(index);
}

void press(QAbstractButton* b) {
  ASSERT_NE(b, nullptr);
  b->click();
}

class PreferencesWindow : public ::testing::Test {
 protected:
  void SetUp() override {
    set_preference_store(&store);
    init_default_attrs(nullptr);
  }
  void TearDown() override {
    set_preferences_window_observer(nullptr);
    set_preference_store(nullptr);
  }
  // Opens the window and runs `drive` in it; the window is cancelled if
  // drive leaves it open.
  int open(const std::function<void(QDialog*)>& drive) {
    set_preferences_window_observer([drive](QDialog* window) {
      drive(window);
      if (window->isVisible()) window->reject();
    });
    return run_preferences_window();
  }
  MemoryPreferenceStore store;
};

TEST_F(PreferencesWindow, OpeningShowsTheRecordsAndTheSixthDecimalsChoiceStoresTen) {
  default_attrs[ATTRS_LENGTH].settings.nbre_decimales = 4;
  default_attrs[ATTRS_ANGLE_MEASURE].settings.nbre_decimales = 128 | 1;
  const int result = open([](QDialog* window) {
    EXPECT_EQ(control<QComboBox>(PREFS_PAGE_PRECISION, kPrefLengthDecimals)->currentIndex(), 4);
    EXPECT_EQ(control<QComboBox>(PREFS_PAGE_PRECISION, kPrefAngleDecimals)->currentIndex(), 1);
    EXPECT_EQ(control<QLineEdit>(PREFS_PAGE_LOCUS, kPrefLocusCount)->text().toStdString(), "50");
    // New objects is the choice, Apply waits for a change.
    EXPECT_TRUE(control<QRadioButton>(PREFS_PAGE_PRECISION, kPrefNewObjectsChoice)->isChecked());
    EXPECT_FALSE(control<QPushButton>(PREFS_PAGE_PRECISION, kPrefApplyButton)->isEnabled());
    choose(PREFS_PAGE_PRECISION, kPrefOtherDecimals, 5);
    EXPECT_EQ(prefs.other_decimals, 10);
    EXPECT_TRUE(control<QPushButton>(PREFS_PAGE_PRECISION, kPrefApplyButton)->isEnabled());
    press(window_control<QPushButton>(window, IDOK));
  });
  EXPECT_EQ(result, 1);
  // OK applied every page; without the save box nothing reached the store.
  EXPECT_EQ(default_attrs[ATTRS_NUMBER].settings.nbre_decimales, 10);
  EXPECT_EQ(default_attrs[ATTRS_EQUATION].settings.nbre_decimales, 10);
  EXPECT_TRUE(store.entries().empty());
}

// The window opens wide enough for the titles of all six pages: none is
// cut or hidden behind the tab bar's scroll arrows.
TEST_F(PreferencesWindow, EveryPageTitleIsShownWhole) {
  open([](QDialog* window) {
    QTabWidget* tabs = window->findChild<QTabWidget*>();
    ASSERT_NE(tabs, nullptr);
    QTabBar* bar = tabs->tabBar();
    ASSERT_EQ(bar->count(), kPrefsPages);
    EXPECT_GE(bar->width(), bar->sizeHint().width());
    for (int i = 0; i < bar->count(); ++i)
      EXPECT_TRUE(bar->rect().contains(bar->tabRect(i))) << bar->tabText(i).toStdString();
  });
}

TEST_F(PreferencesWindow, ACountOfZeroShowsOneAndAppliesAsFive) {
  open([](QDialog*) {
    QLineEdit* count = control<QLineEdit>(PREFS_PAGE_LOCUS, kPrefLocusCount);
    ASSERT_NE(count, nullptr);
    for (const auto& [typed, shown] : {std::pair{"0", "1"}, {"9999", "5000"}, {"abc", "5000"}, {"-3", "1"}}) {
      count->setText(QString::fromLatin1(typed));
      emit count->editingFinished();
      EXPECT_EQ(count->text().toStdString(), shown) << typed;
    }
    press(control<QPushButton>(PREFS_PAGE_LOCUS, kPrefApplyButton));
    EXPECT_EQ(count->text().toStdString(), "5");
  });
  EXPECT_EQ(default_attrs[ATTRS_LOCUS].math.locus.nb_pts, 5);
}

TEST_F(PreferencesWindow, CancelLeavesTheKernelAndTheStoreAlone) {
  const prefs_rec before = prefs;
  const uint8_t decimals = default_attrs[ATTRS_LENGTH].settings.nbre_decimales;
  const int result = open([](QDialog* window) {
    choose(PREFS_PAGE_PRECISION, kPrefLengthDecimals, 0);
    press(control<QCheckBox>(PREFS_PAGE_GEOMETRY, kPrefInfinity));
    press(window_control<QCheckBox>(window, kPrefSaveBox));
    press(window_control<QPushButton>(window, IDCANCEL));
  });
  EXPECT_EQ(result, 0);
  EXPECT_EQ(prefs.length_decimals, before.length_decimals);
  EXPECT_EQ(prefs.manage_infinity, before.manage_infinity);
  EXPECT_EQ(default_attrs[ATTRS_LENGTH].settings.nbre_decimales, decimals);
  EXPECT_EQ(manage_infinity, before.manage_infinity);
  EXPECT_TRUE(store.entries().empty());
}

TEST_F(PreferencesWindow, TheSaveBoxWritesTheStoreOnOk) {
  open([](QDialog* window) {
    choose(PREFS_PAGE_PRECISION, kPrefLengthDecimals, 3);
    choose(PREFS_PAGE_SYSTEM, kPrefTolerance, 3);
    press(window_control<QCheckBox>(window, kPrefSaveBox));
    press(window_control<QPushButton>(window, IDOK));
  });
  std::string value;
  ASSERT_TRUE(store.get("LgthNbreDec", &value));
  EXPECT_EQ(value, "3");
  EXPECT_EQ(default_attrs[ATTRS_LENGTH].settings.nbre_decimales, 3);
  EXPECT_EQ(prefs.tolerance, 8);
}

TEST_F(PreferencesWindow, FactorySettingsResetOnlyTheirPage) {
  open([](QDialog*) {
    choose(PREFS_PAGE_PRECISION, kPrefLengthDecimals, 5);
    QLineEdit* count = control<QLineEdit>(PREFS_PAGE_LOCUS, kPrefLocusCount);
    count->setText(QStringLiteral("77"));
    emit count->editingFinished();
    press(control<QPushButton>(PREFS_PAGE_PRECISION, kPrefFactoryButton));
    EXPECT_EQ(prefs.length_decimals, 2);
    EXPECT_EQ(control<QComboBox>(PREFS_PAGE_PRECISION, kPrefLengthDecimals)->currentIndex(), 2);
    EXPECT_EQ(prefs.locus_points, 77);
    // The system and geometry pages have no Apply choices.
    EXPECT_TRUE(control<QPushButton>(PREFS_PAGE_SYSTEM, kPrefApplyButton)->isHidden());
    EXPECT_FALSE(control<QPushButton>(PREFS_PAGE_SYSTEM, kPrefFactoryButton)->isHidden());
  });
}

}  // namespace

namespace {

// The cut of lines: only the lines kind offers it; a length that is no
// number puts the last one back, a negative one turns the cut off, and
// the field shows two decimals at most.
TEST_F(PreferencesWindow, TheLengthOfTheCutKeepsItsLastValidValue) {
  decimal_separator = '.';
  open([](QDialog*) {
    QLineEdit* field = control<QLineEdit>(PREFS_PAGE_STYLES, kPrefSmartLineLength);
    ASSERT_NE(field, nullptr);
    // Points are not cut: a length typed for them goes nowhere.
    choose(PREFS_PAGE_STYLES, kPrefGraphicKinds, ATTRS_POINT);
    EXPECT_TRUE(field->text().isEmpty());
    const double lines_before = prefs.kinds[ATTRS_LINE].smartline_length;
    field->setText(QStringLiteral("7"));
    emit field->editingFinished();
    EXPECT_DOUBLE_EQ(prefs.kinds[ATTRS_POINT].smartline_length, 0);
    EXPECT_DOUBLE_EQ(prefs.kinds[ATTRS_LINE].smartline_length, lines_before);
    choose(PREFS_PAGE_STYLES, kPrefGraphicKinds, ATTRS_LINE);
    const struct {
      const char* typed;
      const char* shown;
      double kept;
    } cases[] = {{"1.234", "1.23", 1.234}, {"abc", "1.23", 1.234}, {"", "1.23", 1.234},
                 {"2.50", "2.5", 2.5},     {"-3", "-1", -1},        {" 4 ", "4", 4}};
    for (const auto& c : cases) {
      field->setText(QString::fromLatin1(c.typed));
      emit field->editingFinished();
      EXPECT_EQ(field->text().toStdString(), c.shown) << c.typed;
      EXPECT_DOUBLE_EQ(prefs.kinds[ATTRS_LINE].smartline_length, c.kept) << c.typed;
    }
  });
}

}  // namespace
