#include "kernel/prefs/dialog_controls.h"

#include <QCheckBox>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <gtest/gtest.h>

#include "kernel/prefs/default_attrs.h"
#include "platform/kp_qt_bridge.h"

namespace {

// A page with the common preference buttons, a check box, an integer field,
// a colour well and a colour-code label.
struct Page {
  QDialog dialog;
  QCheckBox* check = new QCheckBox(&dialog);
  QLineEdit* field = new QLineEdit(&dialog);
  QPushButton* well = new QPushButton(&dialog);
  QLabel* code = new QLabel(&dialog);
  QPushButton* apply = new QPushButton(&dialog);
  QRadioButton* new_objects = new QRadioButton(&dialog);
  QRadioButton* selection = new QRadioButton(&dialog);
  QPushButton* factory = new QPushButton(&dialog);

  Page() {
    kp_set_item_id(check, 2041);
    kp_set_item_id(field, 300);
    kp_set_item_id(well, 301);
    kp_set_item_id(code, 302);
    kp_set_item_id(apply, kPrefApplyButton);
    kp_set_item_id(new_objects, kPrefNewObjectsChoice);
    kp_set_item_id(selection, kPrefSelectionChoice);
    kp_set_item_id(factory, kPrefFactoryButton);
    dialog.show();
  }
  HWND handle() { return kp_hwnd(&dialog); }
};

TEST(DialogControls, ChecksOfPresentAndMissingControls) {
  Page page;
  EXPECT_FALSE(get_dlg_check(page.handle(), 2041));
  set_dlg_check(page.handle(), 2041, true);
  EXPECT_TRUE(page.check->isChecked());
  EXPECT_TRUE(get_dlg_check(page.handle(), 2041));
  // A mixed state is not "checked".
  page.check->setTristate(true);
  page.check->setCheckState(Qt::PartiallyChecked);
  EXPECT_FALSE(get_dlg_check(page.handle(), 2041));
  // A missing control, or no dialog at all.
  EXPECT_FALSE(get_dlg_check(page.handle(), 9999));
  EXPECT_FALSE(get_dlg_check(nullptr, 2041));
  set_dlg_check(page.handle(), 9999, true);  // nothing happens
}

TEST(DialogControls, ReadIntKeepsTheLastValidValue) {
  Page page;
  struct Case {
    const char* typed;
    int answer;
    const char* shown;
  };
  // Each row runs after the previous one: a bad entry falls back to the
  // last valid value and shows it.
  const Case cases[] = {
      {"12", 12, "12"},
      {"", 12, "12"},
      {"abc", 12, "12"},
      {" -7 ", -7, " -7 "},
      {"3.5", -7, "-7"},
      {"5x", -7, "-7"},
      {"99999999999999999999", -7, "-7"},
      {"+40", 40, "+40"},
      {"0", 0, "0"},
      {"   ", 0, "0"},
  };
  for (const Case& c : cases) {
    page.field->setText(QString::fromLatin1(c.typed));
    EXPECT_EQ(read_dlg_int(page.handle(), 300), c.answer) << '"' << c.typed << '"';
    EXPECT_EQ(page.field->text().toStdString(), c.shown) << '"' << c.typed << '"';
  }
}

TEST(DialogControls, AddedButtonsFollowTheFlags) {
  Page page;
  struct Case {
    int flags;
    bool choices;
    bool factory;
  };
  const Case cases[] = {{3, true, true}, {2, false, true}, {1, true, false}, {0, false, false}};
  for (const Case& c : cases) {
    page.selection->setChecked(true);
    show_added_buttons(page.handle(), c.flags);
    EXPECT_EQ(page.apply->isVisible(), c.choices) << c.flags;
    EXPECT_EQ(page.new_objects->isVisible(), c.choices) << c.flags;
    EXPECT_EQ(page.selection->isVisible(), c.choices) << c.flags;
    EXPECT_EQ(page.factory->isVisible(), c.factory) << c.flags;
    if (c.choices) {
      EXPECT_TRUE(page.new_objects->isChecked()) << c.flags;
      EXPECT_FALSE(page.selection->isChecked()) << c.flags;
    }
  }
}

TEST(DialogControls, ColourWellAndCodeText) {
  Page page;
  HWND well = kp_hwnd(page.well);
  set_color_well(well, 0x00804020u);
  EXPECT_EQ(color_of_well(well), 0x00804020u);
  // The high byte is no part of the colour.
  set_color_well(well, 0xFF0000FFu);
  EXPECT_EQ(color_of_well(well), 0x000000FFu);
  // A handle that is no well.
  set_color_well(kp_hwnd(page.field), 0x00FFFFFFu);
  EXPECT_EQ(color_of_well(kp_hwnd(page.field)), 0u);
  EXPECT_EQ(color_of_well(nullptr), 0u);

  set_color_code_text(page.handle(), 302, 0x00FFFFFFu);
  EXPECT_EQ(page.code->text().toStdString(), "W");
}

TEST(DialogControls, DashIndexOfPair) {
  struct Case {
    dot pair;
    int index;
  };
  const Case cases[] = {{{1, 1}, 0}, {{5, 8}, 1}, {{8, 14}, 2}, {{8, 5}, 0}, {{0, 0}, 0}, {{5, 14}, 0}};
  for (const Case& c : cases)
    EXPECT_EQ(dash_index_of_pair(c.pair), c.index) << int(c.pair.lg) << ',' << int(c.pair.cycle);
}

}  // namespace
