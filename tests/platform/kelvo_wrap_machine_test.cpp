#include "platform/kelvo_wrap_machine.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTabWidget>
#include <QTimer>
#include <QVBoxLayout>
#include <functional>
#include <gtest/gtest.h>

#include "platform/kp_qt_bridge.h"
#include "platform/kp_run_loop.h"
#include "platform/kp_window.h"
#include "platform/support/event_pump.h"
#include "platform/support/proc_window.h"

namespace {

class MessageMachine : public ::testing::Test {
 protected:
  void SetUp() override {
    pump_for(20);
    message_log().clear();
  }
};

std::vector<UINT> logged_messages() {
  std::vector<UINT> out;
  for (const auto& m : message_log()) out.push_back(m.message);
  return out;
}

class FigureWindow : public KPWindow, public KPMessageTarget, public KPFigureWindowLink {
 public:
  explicit FigureWindow(ProcWindow* view) : view_(view) {}
  HWND figureView() override { return view_->handle(); }
  LRESULT sendMessage(UINT message, WPARAM, LPARAM) override {
    own.push_back(message);
    return 0;
  }
  std::vector<UINT> own;

 private:
  ProcWindow* view_;
};

TEST_F(MessageMachine, PostedMessagesArriveInOrderOnALaterTurn) {
  ProcWindow window;
  EXPECT_EQ(NSKelvoWrapMachine::cwmPostMessage(window.handle(), 258, 13, 0), 0);
  NSKelvoWrapMachine::cwmPostMessage(window.handle(), 1024, 101, 7);
  EXPECT_TRUE(message_log().empty()) << "never delivered inside the posting call";
  ASSERT_TRUE(pump_until([] { return message_log().size() == 2; }));
  EXPECT_EQ(message_log()[0], (LoggedMessage{window.handle(), 258, 13, 0}));
  EXPECT_EQ(message_log()[1], (LoggedMessage{window.handle(), 1024, 101, 7}));
}

bool keep_reposting = true;

LRESULT reposting_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  logging_proc(window, message, wparam, lparam);
  if (keep_reposting) NSKelvoWrapMachine::cwmPostMessage(window, message + 1, 0, 0);
  return 0;
}

// A procedure that posts again at every delivery gets one message per turn:
// the event loop keeps running instead of spinning in one delivery pass.
TEST_F(MessageMachine, AMessagePostedDuringDeliveryWaitsForTheNextTurn) {
  ProcWindow window(reposting_proc);
  NSKelvoWrapMachine::cwmPostMessage(window.handle(), 1, 0, 0);
  bool loop_ran = false;
  QTimer::singleShot(20, [&] { loop_ran = true; });
  ASSERT_TRUE(pump_until([&] { return loop_ran && message_log().size() >= 2; }));
  keep_reposting = false;
  for (size_t i = 0; i < message_log().size(); ++i) EXPECT_EQ(message_log()[i].message, i + 1);
  pump_for(20);
}

TEST_F(MessageMachine, PostingToATargetThatTakesNoMessagesIsDropped) {
  QLineEdit field;
  EXPECT_EQ(NSKelvoWrapMachine::cwmPostMessage(kp_hwnd(&field), 258, 65, 0), 0);
  EXPECT_EQ(NSKelvoWrapMachine::cwmPostMessage(nullptr, 258, 65, 0), 0);
  EXPECT_EQ(NSKelvoWrapMachine::pendingPostedMessages(), 0);
}

TEST_F(MessageMachine, APostedMessageToADestroyedTargetIsForgotten) {
  auto* window = new ProcWindow;
  NSKelvoWrapMachine::cwmPostMessage(window->handle(), 5, 0, 0);
  delete window;
  pump_for(30);
  EXPECT_TRUE(message_log().empty());
  EXPECT_EQ(NSKelvoWrapMachine::pendingPostedMessages(), 0);
}

TEST_F(MessageMachine, SendGoesToTheFigureViewAndPostToTheFigureWindow) {
  ProcWindow view;
  FigureWindow window(&view);
  NSKelvoWrapMachine::sendMessage(kp_hwnd(&window), 275, 10, 0);
  ASSERT_EQ(message_log().size(), 1u);
  EXPECT_EQ(message_log()[0].window, view.handle());
  EXPECT_TRUE(window.own.empty());

  NSKelvoWrapMachine::cwmPostMessage(kp_hwnd(&window), 258, 13, 0);
  ASSERT_TRUE(pump_until([&] { return !window.own.empty(); }));
  EXPECT_EQ(window.own, std::vector<UINT>{258});
  EXPECT_EQ(message_log().size(), 1u);
}

// The nested loops of a scoped modal panel, an unscoped modal dialog and a
// menu all keep posted messages back until the outer loop runs again.
TEST_F(MessageMachine, NestedLoopsDoNotDeliverPostedMessages) {
  ProcWindow window;
  auto phase = [&](const char* name, const std::function<void(std::function<void()>)>& run_nested) {
    pump_for(20);
    message_log().clear();
    NSKelvoWrapMachine::cwmPostMessage(window.handle(), 1, 0, 0);
    bool checked = false;
    run_nested([&] {
      EXPECT_TRUE(message_log().empty()) << name;
      checked = true;
    });
    EXPECT_TRUE(checked) << name;
    EXPECT_TRUE(pump_until([] { return message_log().size() == 1; })) << name;
  };
  phase("scoped modal panel", [](std::function<void()> check) {
    QDialog dialog;
    QTimer::singleShot(40, &dialog, [&] {
      check();
      dialog.accept();
    });
    KPRunLoopModeScope scope(KPRunLoopMode::ModalPanel);
    dialog.exec();
  });
  phase("unscoped modal dialog", [](std::function<void()> check) {
    QDialog dialog;
    QTimer::singleShot(40, &dialog, [&] {
      check();
      dialog.reject();
    });
    dialog.exec();
  });
  phase("menu", [](std::function<void()> check) {
    QWidget owner;
    owner.show();
    QMenu menu(&owner);
    menu.addAction("item");
    QTimer::singleShot(40, &menu, [&] {
      check();
      menu.close();
    });
    menu.exec(QPoint(10, 10));
  });
}

TEST_F(MessageMachine, BuiltInRepliesOfControls) {
  QWidget panel;
  auto* field = new QLineEdit("x", &panel);
  NSKelvoWrapMachine::sendMessage(kp_hwnd(field), WM_CHAR, 65, 0);
  EXPECT_EQ(field->text(), "xA");
  NSKelvoWrapMachine::sendMessage(kp_hwnd(field), WM_CHAR, 0x8E, 0);  // Mac Roman e-acute
  EXPECT_EQ(field->text(), QString::fromUtf8("xA\u00e9"));
  NSKelvoWrapMachine::sendMessage(kp_hwnd(field), WM_SETTEXT, 0, reinterpret_cast<LPARAM>("new"));
  EXPECT_EQ(field->text(), "new");

  auto* combo = new QComboBox(&panel);
  combo->setEditable(true);
  auto* popup = new QComboBox(&panel);
  for (auto* box : {combo, popup}) {
    NSKelvoWrapMachine::sendMessage(kp_hwnd(box), CB_ADDSTRING, 0, reinterpret_cast<LPARAM>("one"));
    NSKelvoWrapMachine::sendMessage(kp_hwnd(box), CB_ADDSTRING, 0, reinterpret_cast<LPARAM>("two"));
    NSKelvoWrapMachine::sendMessage(kp_hwnd(box), CB_SETCURSEL, 1, 0);
    EXPECT_EQ(box->currentIndex(), 1);
  }
  EXPECT_EQ(NSKelvoWrapMachine::sendMessage(kp_hwnd(combo), CB_GETCOUNT, 0, 0), 0) << "only pop-up buttons count";
  EXPECT_EQ(NSKelvoWrapMachine::sendMessage(kp_hwnd(popup), CB_GETCOUNT, 0, 0), 2);
  EXPECT_EQ(NSKelvoWrapMachine::sendMessage(kp_hwnd(popup), CB_GETCURSEL, 0, 0), 1);

  auto* check = new QCheckBox(&panel);
  NSKelvoWrapMachine::sendMessage(kp_hwnd(check), BM_SETCHECK, 1, 0);
  EXPECT_TRUE(check->isChecked());
  EXPECT_EQ(NSKelvoWrapMachine::sendMessage(kp_hwnd(check), BM_GETCHECK, 0, 0), 1);

  auto* label = new QLabel(&panel);
  EXPECT_EQ(NSKelvoWrapMachine::sendMessage(kp_hwnd(label), 9999, 1, 2), 0);
  EXPECT_EQ(NSKelvoWrapMachine::sendMessage(nullptr, WM_CHAR, 65, 0), 0);
}

LRESULT byte_proc(HWND, UINT message, WPARAM, LPARAM) { return static_cast<LRESULT>(message); }

TEST_F(MessageMachine, AProcedureWrapperAnswersASignedByte) {
  NSKelvoWrapMachine wrapper(byte_proc, nullptr);
  EXPECT_EQ(wrapper.executionOfMessage(257, 0, 0), 1);
  EXPECT_EQ(wrapper.executionOfMessage(255, 0, 0), -1);

  // A page bound to a wrapper answers sent and posted messages through it.
  NSKelvoWrapMachine logging(logging_proc, nullptr);
  QWidget page;
  kp_bind_procedure(&page, &logging);
  NSKelvoWrapMachine::sendMessage(kp_hwnd(&page), WM_COMMAND, 1, 0);
  ASSERT_EQ(message_log().size(), 1u);
  EXPECT_EQ(message_log()[0].message, WM_COMMAND);
}

TEST_F(MessageMachine, WindowLongsHoldPointers) {
  ProcWindow window;
  int data = 0;
  NSKelvoWrapMachine::setWindowLong(window.handle(), GWL_USERDATA, reinterpret_cast<LONG_PTR>(&data));
  EXPECT_EQ(NSKelvoWrapMachine::getWindowLong(window.handle(), GWL_USERDATA), reinterpret_cast<LONG_PTR>(&data));
  EXPECT_EQ(NSKelvoWrapMachine::getWindowLong(window.handle(), GWL_WNDPROC), reinterpret_cast<LONG_PTR>(&logging_proc));
  QLabel plain;
  NSKelvoWrapMachine::setWindowLong(kp_hwnd(&plain), GWL_USERDATA, 5);
  EXPECT_EQ(NSKelvoWrapMachine::getWindowLong(kp_hwnd(&plain), GWL_USERDATA), 0);
  EXPECT_EQ(NSKelvoWrapMachine::getWindowLong(nullptr, GWL_WNDPROC), 0);
}

TEST_F(MessageMachine, WindowTextAndGeometry) {
  QWidget window;
  NSKelvoWrapMachine::setWindowText(kp_hwnd(&window), "Figure \x8E");
  EXPECT_EQ(window.windowTitle(), QString::fromUtf8("Figure \u00e9"));
  EXPECT_EQ(NSKelvoWrapMachine::getWindowTextLength(kp_hwnd(&window)), 8);
  char buffer[6] = "zzzzz";
  EXPECT_EQ(NSKelvoWrapMachine::getWindowText(kp_hwnd(&window), buffer, sizeof buffer), 5);
  EXPECT_STREQ(buffer, "Figur");

  window.resize(200, 100);
  EXPECT_TRUE(NSKelvoWrapMachine::setWindowPos(kp_hwnd(&window), nullptr, 30, 40, 5, 5, 0));
  EXPECT_EQ(window.pos(), QPoint(30, 40));
  EXPECT_EQ(window.size(), QSize(200, 100));
  tagRECT client{};
  NSKelvoWrapMachine::getClientRect(kp_hwnd(&window), &client);
  EXPECT_EQ(client.right, 200);
  EXPECT_EQ(client.bottom, 100);
  EXPECT_FALSE(NSKelvoWrapMachine::setWindowPos(nullptr, nullptr, 1, 1, 1, 1, 0));

  tagRECT rect{10, 20, 110, 70};
  NSKelvoWrapMachine::adjustWindowRect(&rect, WS_THICKFRAME, 0);
  EXPECT_EQ(rect.top, 20) << "borderless";
}

TEST_F(MessageMachine, DialogItemsAreFoundDepthFirstByTagAndLabel) {
  QWidget dialog;
  auto* first = new QLineEdit("first", &dialog);
  kp_set_item_id(first, 7);
  auto* tabs = new QTabWidget(&dialog);
  auto* page = new QWidget;
  tabs->addTab(new QWidget, "Empty");
  tabs->addTab(page, "&Units");
  auto* box = new QGroupBox("Box", page);
  auto* deep = new QPushButton("Deep", box);
  kp_set_item_id(deep, 1188);
  auto* twin = new QLineEdit("twin", &dialog);
  kp_set_item_id(twin, 7);

  EXPECT_EQ(NSKelvoWrapMachine::getDlgItem(kp_hwnd(&dialog), 1188), kp_hwnd(deep));
  EXPECT_EQ(NSKelvoWrapMachine::getDlgItem(kp_hwnd(&dialog), 7), kp_hwnd(first));
  EXPECT_EQ(NSKelvoWrapMachine::getDlgItem(kp_hwnd(&dialog), 99), nullptr);
  EXPECT_EQ(NSKelvoWrapMachine::getDlgByLabel(kp_hwnd(&dialog), "Units"), kp_hwnd(page));

  char text[4] = "abc";
  EXPECT_EQ(NSKelvoWrapMachine::getDlgItemText(kp_hwnd(&dialog), 1188, text, sizeof text), 3);
  EXPECT_STREQ(text, "Dee");
  EXPECT_EQ(NSKelvoWrapMachine::getDlgItemText(kp_hwnd(&dialog), 99, text, sizeof text), 0);
  EXPECT_STREQ(text, "Dee");

  NSKelvoWrapMachine::setDlgItemText(kp_hwnd(&dialog), 7, "12 cm");
  BOOL ok = 0;
  EXPECT_EQ(NSKelvoWrapMachine::getDlgItemInt(kp_hwnd(&dialog), 7, &ok, 1), 12);
  EXPECT_EQ(ok, 1);
  EXPECT_EQ(NSKelvoWrapMachine::getDlgItemInt(kp_hwnd(&dialog), 99, &ok, 1), 0);
  EXPECT_EQ(ok, 0);
  EXPECT_EQ(NSKelvoWrapMachine::sendDlgItemMessage(kp_hwnd(&dialog), 7, WM_CHAR, '0', 0), 0);
  EXPECT_EQ(first->text(), "12 cm0");
}

TEST_F(MessageMachine, EnableWindowKeepsTextFieldsEditable) {
  QWidget dialog;
  auto* field = new QLineEdit(&dialog);
  auto* button = new QPushButton(&dialog);
  EXPECT_EQ(NSKelvoWrapMachine::enableWindow(kp_hwnd(field), false), 0);
  EXPECT_TRUE(field->isEnabled());
  EXPECT_EQ(field->palette().color(QPalette::Text), QColor(Qt::gray));
  EXPECT_EQ(NSKelvoWrapMachine::enableWindow(kp_hwnd(button), false), 1) << "the previous state";
  EXPECT_FALSE(button->isEnabled());
  EXPECT_EQ(NSKelvoWrapMachine::enableWindow(kp_hwnd(button), true), 0);
  QObject not_a_control;
  EXPECT_EQ(NSKelvoWrapMachine::enableWindow(kp_hwnd(&not_a_control), true), -1);
}

TEST_F(MessageMachine, EditSelectionIsClippedAndPacked) {
  QWidget dialog;
  auto* field = new QLineEdit("abcdef", &dialog);
  dialog.show();
  QApplication::setActiveWindow(&dialog);
  field->setFocus();
  ASSERT_TRUE(pump_until([&] { return field->hasFocus(); }));
  NSKelvoWrapMachine::edit_setSelection(kp_hwnd(&dialog), 4, 1);
  EXPECT_EQ(field->selectedText(), "bcd");
  NSKelvoWrapMachine::edit_setSelection(kp_hwnd(&dialog), 2, 100);
  EXPECT_EQ(field->selectedText(), "cdef");
  EXPECT_EQ(NSKelvoWrapMachine::edit_getSelection(kp_hwnd(&dialog)), 2 | (6 << 16));
}

}  // namespace
