#include "platform/kernel_services.h"

#include <QApplication>
#include <QLineEdit>
#include <cstring>
#include <filesystem>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <gtest/gtest.h>

#include "kernel/measure/calculator_window.h"
#include "kernel/text/kernel_strings.h"
#include "platform/kp_dialog.h"
#include "platform/kp_dialog_panel.h"
#include "platform/kp_qt_bridge.h"
#include "platform/support/event_pump.h"
#include "platform/support/proc_window.h"

namespace {

// Scripts the message boxes: records each request, presses the button
// whose title is next in the script.
struct ScriptedBoxes {
  std::vector<KPMessageBoxRequest> shown;
  std::vector<std::string> presses;
  ScriptedBoxes() {
    KPDialog::setMessageBoxResponder([this](const KPMessageBoxRequest& r) {
      shown.push_back(r);
      if (presses.empty()) return -1;
      const std::string title = presses.front();
      presses.erase(presses.begin());
      for (size_t i = 0; i < r.buttons.size(); ++i)
        if (r.buttons[i] == title) return static_cast<int>(i);
      return -1;
    });
  }
  ~ScriptedBoxes() { KPDialog::setMessageBoxResponder(nullptr); }
};

TEST(MessageBoxes, ButtonsFollowTheMode) {
  ScriptedBoxes boxes;
  struct Case {
    UINT mode;
    std::vector<std::string> buttons;
    std::string press;
    int answer;
  };
  const Case cases[] = {
      {3, {"OK"}, "OK", IDOK},  // without 0x2000 a single button
      {0x3003, {"OK", "NO", "Cancel"}, "NO", IDNO},
      {0x3003, {"OK", "NO", "Cancel"}, "Cancel", IDCANCEL},
      {0x3004, {"OK", "NO"}, "OK", IDOK},
      {0x3002, {"OK"}, "", IDCANCEL},  // closed without a button
  };
  for (const Case& c : cases) {
    boxes.presses = {c.press};
    EXPECT_EQ(KPDialog::messageBox("Text", nullptr, c.mode), c.answer) << c.mode;
    EXPECT_EQ(boxes.shown.back().buttons, c.buttons) << c.mode;
  }
  EXPECT_EQ(boxes.shown.front().message, "Text ") << "a null insertion leaves the blank";
  KPDialog::messageBox(nullptr, "x", 2);
  EXPECT_EQ(boxes.shown.back().message, "??? x");
}

TEST(MessageBoxes, LanguageTitlesAndTheCaption) {
  ScriptedBoxes boxes;
  char yes[] = "Oui", no[] = "Non", cancel[] = "Annuler", caption[] = "Kelvo";
  kernel_strings[342] = yes;
  kernel_strings[343] = no;
  kernel_strings[344] = cancel;
  kernel_strings[0] = caption;
  KPDialog::messageBox("Save \x8E?", caption, 0x3003);
  EXPECT_EQ(boxes.shown.back().buttons, (std::vector<std::string>{"Oui", "Non", "Annuler"}));
  EXPECT_EQ(boxes.shown.back().message, "Save \u00e9? ") << "the caption is not repeated";
  for (int row : {0, 342, 343, 344}) kernel_strings[row] = nullptr;
}

// A real alert: posted messages wait while it is up.
TEST(MessageBoxes, TheRealAlertIsModalAndKeepsPostedMessagesBack) {
  ProcWindow window;
  message_log().clear();
  NSKelvoWrapMachine::cwmPostMessage(window.handle(), 1, 0, 0);
  bool checked = false;
  QTimer::singleShot(50, [&] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    ASSERT_NE(box, nullptr);
    EXPECT_TRUE(message_log().empty());
    checked = true;
    for (auto* b : box->buttons())
      if (b->text() == "NO") b->click();
  });
  EXPECT_EQ(KPDialog::messageBox("Quit?", "", 0x3004), IDNO);
  EXPECT_TRUE(checked);
  EXPECT_TRUE(pump_until([] { return message_log().size() == 1; }));
}

TEST(KernelMessages, StylesAnswersAndHeldBackMessages) {
  ScriptedBoxes boxes;
  boxes.presses = {"NO"};
  message_compose("Delete ", "3", " objects", "?");
  EXPECT_EQ(message_show(131), 0);
  EXPECT_EQ(boxes.shown.back().message, "Delete 3 objects? ");

  boxes.presses = {"Cancel"};
  message_compose("a", "", "", "");
  EXPECT_EQ(message_show(129), 2);

  message_compose("kept", "", "", "");
  EXPECT_EQ(message_show(128), 0);
  EXPECT_EQ(boxes.shown.size(), 2u);
  boxes.presses = {"OK"};
  EXPECT_EQ(message_show(130), 1);
  EXPECT_EQ(boxes.shown.back().message, "kept ");

  // Held back: a style-130 message waits and is shown on re-enabling; any
  // other style drops it.
  message_show_default(0);
  message_compose("dropped", "", "", "");
  EXPECT_EQ(message_show(131), 1);
  message_compose("waits", "", "", "");
  EXPECT_EQ(message_show(130), 1);
  EXPECT_EQ(boxes.shown.size(), 3u);
  boxes.presses = {"OK"};
  message_show_default(1);
  ASSERT_EQ(boxes.shown.size(), 4u);
  EXPECT_EQ(boxes.shown.back().message, "waits ");
  message_show_default(0);
  message_compose("gone", "", "", "");
  message_show(131);
  message_show_default(1);
  EXPECT_EQ(boxes.shown.size(), 4u);
}

TEST(KernelMessages, TheCalculatorIsDisabledWhileABoxIsUp) {
  QWidget calculator;
  calculator_window = kp_hwnd(&calculator);
  bool enabled_inside = true;
  KPDialog::setMessageBoxResponder([&](const KPMessageBoxRequest&) {
    enabled_inside = calculator.isEnabled();
    return 0;
  });
  EXPECT_EQ(message_box_simple("Division by zero"), 1);
  EXPECT_FALSE(enabled_inside);
  EXPECT_TRUE(calculator.isEnabled());
  calculator_window = nullptr;
  KPDialog::setMessageBoxResponder(nullptr);
}

TEST(KernelServices, NumbersAndRectangles) {
  EXPECT_EQ(MulDiv(7, 3, 2), 11);
  EXPECT_EQ(MulDiv(-7, 3, 2), -10);
  EXPECT_EQ(MulDiv(1, 1, 0), -1);
  EXPECT_EQ(MulDiv(INT32_MAX, 4, 1), -1);
  char buffer[12];
  EXPECT_STREQ(itoa(-42, buffer, 10), "-42");
  EXPECT_STREQ(itoa(255, buffer, 16), "ff");

  const tagRECT r{0, 0, 10, 20};
  EXPECT_TRUE(PtInRect(&r, 10, 20));
  EXPECT_FALSE(PtInRect(&r, 11, 5));
  EXPECT_FALSE(PtInRect(nullptr, 0, 0));
  tagRECT moved{};
  SetRect(&moved, 1, 2, 3, 4);
  OffsetRect(&moved, 10, -2);
  EXPECT_EQ(moved.left, 11);
  EXPECT_EQ(moved.bottom, 2);

  tagRECT out{9, 9, 9, 9};
  const tagRECT a{0, 0, 10, 10}, b{5, 5, 20, 20}, far{30, 30, 40, 40};
  EXPECT_TRUE(IntersectRect(&out, &a, &b));
  EXPECT_EQ(out.left, 5);
  EXPECT_EQ(out.right, 10);
  EXPECT_FALSE(IntersectRect(&out, &a, &far));
  EXPECT_EQ(out.right, 0);

  EXPECT_EQ(GetSystemMetrics(9), 17);
  EXPECT_EQ(GetDoubleClickTime(), 500);
  tagWINDOWPLACEMENT placement;
  std::memset(&placement, 0xAB, sizeof placement);
  GetWindowPlacement(nullptr, &placement);
  EXPECT_EQ(placement.rcDevice.bottom, 0);
  EXPECT_EQ(sizeof placement, 60u);
}

TEST(KernelServices, FileAccess) {
  const std::string path = std::string(KELVO_TEST_OUTPUT) + "/access.txt";
  std::filesystem::create_directories(KELVO_TEST_OUTPUT);
  std::FILE* f = std::fopen(path.c_str(), "w");
  std::fclose(f);
  EXPECT_EQ(classify_file_access(path.c_str()), 0);
  EXPECT_EQ(classify_file_access((path + ".missing").c_str()), -1);
}

std::vector<std::string> started_languages;
bool record_language(void*, const char* location) {
  started_languages.push_back(location);
  return true;
}

TEST(KernelServices, LanguageFileLocation) {
  EXPECT_EQ(load_language_file("French", nullptr), 0) << "no language loader yet";
  kp_set_language_starter(record_language);
  EXPECT_EQ(load_language_file("French", nullptr), 1);
  EXPECT_EQ(load_language_file(nullptr, nullptr), 1);
  EXPECT_EQ(started_languages, (std::vector<std::string>{"French", "English US"}));
  kp_set_language_starter(nullptr);
}

struct TimedView : ProcWindow, KPFigureTimerTarget {
  int ticks = 0;
  void FigureTimer() override { ++ticks; }
};

TEST(KernelServices, TheFigureWindowProcedureDrivesTheFigureTimer) {
  TimedView view;
  figure_window_proc(view.handle(), WM_TIMER, 10, 0);
  figure_window_proc(view.handle(), WM_PAINT, 0, 0);
  EXPECT_EQ(view.ticks, 1);
}

LRESULT dialog_proc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam) {
  logging_proc(dialog, message, wparam, lparam);
  if (message == WM_INITDIALOG) NSKelvoWrapMachine::setDlgItemText(dialog, 1062, "Step");
  return 1;
}

TEST(DialogPanel, AProcedureIsDrivenByInitAndCommands) {
  message_log().clear();
  KPDialogPanel panel(dialog_proc);
  auto* step = new QPushButton(&panel);
  auto* ok = new QPushButton(&panel);
  panel.bindButton(step, 1062);
  panel.bindButton(ok, IDOK);
  QTimer::singleShot(20, [&] {
    step->click();
    ok->click();
  });
  EXPECT_EQ(panel.runModal(), IDOK);
  EXPECT_EQ(step->text(), "Step");
  std::vector<std::pair<UINT, WPARAM>> got;
  for (const auto& m : message_log()) got.emplace_back(m.message, m.wparam);
  EXPECT_EQ(got, (std::vector<std::pair<UINT, WPARAM>>{{WM_INITDIALOG, 0}, {WM_COMMAND, 1062}, {WM_COMMAND, 1}}));
}

TEST(Modifiers, KernelWord) {
  KPEventsWrapper::setModifiers(Qt::ShiftModifier | Qt::AltModifier);
  EXPECT_EQ(KPEventsWrapper::modifierKeyStatus(), 11);
  EXPECT_TRUE(KPEventsWrapper::modifierKeyDown(1));
  EXPECT_FALSE(KPEventsWrapper::modifierKeyDown(4));
  KPEventsWrapper::setModifiers(Qt::ControlModifier | Qt::ShiftModifier);
  EXPECT_EQ(KPEventsWrapper::modifierKeyStatus(), 7);
  KPEventsWrapper::setModifiers(0);
}

}  // namespace
