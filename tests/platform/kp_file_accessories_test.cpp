// The accessories of the file panels: the kinds' pop-ups restrict the panel,
// the save options reach the kernel's procedure as the user works them, and
// only an accepted name is confirmed.
#include "platform/kp_file_accessories.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QCoreApplication>
#include <QKeyEvent>
#include <gtest/gtest.h>

#include "kernel/files/file_dialogs.h"
#include "platform/kp_files.h"
#include "platform/kp_qt_bridge.h"

namespace {

struct Seen {
  HWND dialog;
  UINT message;
  WPARAM wparam;
  LPARAM lparam;
};

std::vector<Seen>& seen() {
  static std::vector<Seen> log;
  return log;
}

LRESULT recording_procedure(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam) {
  seen().push_back({dialog, message, wparam, lparam});
  return save_options_dlg_proc(dialog, message, wparam, lparam);
}

int count(UINT message) {
  int n = 0;
  for (const Seen& s : seen()) n += s.message == message;
  return n;
}

template <class T>
T* item(QWidget* view, int id) {
  for (T* child : view->findChildren<T*>()) {
    int found = 0;
    if (kp_item_id(child, &found) && found == id) return child;
  }
  return nullptr;
}

class Accessories : public ::testing::Test {
 protected:
  void SetUp() override { seen().clear(); }
  NSAccessorySaveOptions* addSave(KPFilePanel* panel) {
    return add_save_accessory(panel, {"*.fig", "*.env"}, {"fig", "env"}, &recording_procedure);
  }
};

TEST_F(Accessories, TheKindPopUpRestrictsTheSavePanelOnceTouched) {
  KPFilePanel panel;
  NSAccessorySaveOptions* accessory = addSave(&panel);
  EXPECT_EQ(panel.accessoryView(), accessory);
  EXPECT_EQ(save_accessory(), accessory);
  EXPECT_EQ(count(272), 1);
  EXPECT_EQ(panel.allowedFileTypes(), (std::vector<std::string>{"fig", "env"}));
  EXPECT_EQ(panel.nameFilter(), QStringLiteral("*.fig *.env"));
  accessory->typePopUp()->setCurrentIndex(1);
  emit accessory->typePopUp()->activated(1);
  EXPECT_EQ(panel.allowedFileTypes(), std::vector<std::string>{"env"});
  // The older-format box shows the format the procedure set.
  EXPECT_FALSE(item<QCheckBox>(accessory, kOptOlderFormat)->isChecked());
}

TEST_F(Accessories, PasswordBoxAndFieldWorkThroughTheProcedure) {
  KPFilePanel panel;
  NSAccessorySaveOptions* first = addSave(&panel);
  KPFilePanel later_panel;
  NSAccessorySaveOptions* newest = addSave(&later_panel);
  auto* box = item<QCheckBox>(first, kOptProtect);
  auto* field = item<QLineEdit>(first, kOptPassword);
  ASSERT_TRUE(box && field);
  EXPECT_EQ(field->echoMode(), QLineEdit::Password);
  box->setEnabled(true);
  field->setEnabled(true);
  for (const char c : {'a', 'b', 'c'}) {
    QKeyEvent key(QEvent::KeyPress, Qt::Key_A + (c - 'a'), Qt::NoModifier, QString(QChar(c)));
    QCoreApplication::sendEvent(field, &key);
  }
  // One 78 for each change, addressed to the newest accessory.
  int notes = 0;
  for (const Seen& s : seen())
    if (s.message == 78) {
      ++notes;
      EXPECT_EQ(s.dialog, kp_hwnd(newest));
      EXPECT_EQ(s.wparam, static_cast<WPARAM>(kOptPassword));
    }
  EXPECT_EQ(notes, 3);
  box->setChecked(true);
  box->click();  // off
  EXPECT_FALSE(field->isEnabled());
  EXPECT_EQ(field->text(), QStringLiteral("abc"));
  box->click();  // on again
  EXPECT_TRUE(field->isEnabled());
  // The two flag boxes report 78, the others 273.
  seen().clear();
  item<QCheckBox>(first, kOptAnimate)->setEnabled(true);
  item<QCheckBox>(first, kOptAnimate)->click();
  item<QCheckBox>(first, kOptPcCompatible)->click();
  ASSERT_EQ(seen().size(), 2u);
  EXPECT_EQ(seen()[0].message, 78u);
  EXPECT_EQ(seen()[1].message, 273u);
}

TEST_F(Accessories, OnlyAnAcceptedNameIsConfirmed) {
  KPFilePanel panel;
  addSave(&panel);
  KPFileDialogRequest request;
  request.save = true;
  request.panel = &panel;
  const KPFileChooser cancel = [](const KPFileDialogRequest&) -> std::optional<std::string> { return std::nullopt; };
  kp_set_file_chooser(cancel);
  seen().clear();
  EXPECT_FALSE(kp_choose_file(request));
  EXPECT_EQ(count(78), 0);
  kp_set_file_chooser([](const KPFileDialogRequest&) -> std::optional<std::string> { return "/tmp/x.fig"; });
  EXPECT_EQ(kp_choose_file(request), std::optional<std::string>("/tmp/x.fig"));
  kp_set_file_chooser({});
  ASSERT_EQ(count(78), 1);
  EXPECT_EQ(seen().back().wparam, 0u);
  EXPECT_EQ(seen().back().lparam, 0);
}

TEST_F(Accessories, OpenPopUpSetsTheFilterIndex) {
  OPENFILENAME record{};
  record.nFilterIndex = 7;
  KPFilePanel panel;
  NSAccessoryOpenSaveFilter* accessory =
      add_open_accessory(&panel, &record, {"Menus", "Macros", "Lists"}, {"men", "mac", "plist"});
  ASSERT_NE(accessory, nullptr);
  EXPECT_EQ(record.nFilterIndex, 1u);
  EXPECT_EQ(panel.allowedFileTypes(), std::vector<std::string>{"men"});
  emit accessory->popUp()->activated(2);
  EXPECT_EQ(record.nFilterIndex, 3u);
  EXPECT_EQ(panel.allowedFileTypes(), std::vector<std::string>{"plist"});
}

TEST_F(Accessories, KernelDialogsWithSeveralKindsCarryThePopUp) {
  static const char filter[] = "Menus\0*.men\0Macros\0*.mac\0Lists\0*.plist\0";
  char file[256] = {};
  OPENFILENAME record{};
  record.lpstrFilter = filter;
  record.lpstrFile = file;
  record.nMaxFile = sizeof file;
  std::vector<std::string> allowed;
  kp_set_file_chooser([&](const KPFileDialogRequest& request) -> std::optional<std::string> {
    if (!request.panel) return std::nullopt;
    allowed = request.panel->allowedFileTypes();
    auto* popup = request.panel->accessoryView()->findChild<QComboBox*>();
    emit popup->activated(2);
    return "/tmp/list.plist";
  });
  EXPECT_TRUE(GetOpenFileName(&record));
  kp_set_file_chooser({});
  EXPECT_EQ(allowed, std::vector<std::string>{"men"});
  EXPECT_EQ(record.nFilterIndex, 3u);
}

}  // namespace
