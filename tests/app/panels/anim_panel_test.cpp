// The animation panel over a figure window, and the two small modal
// dialogs: the print-session dialog and the password prompt.
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <functional>
#include <vector>

#include "app/kernel_iface/kp_figure_view.h"
#include "app/panels/anim_panel.h"
#include "app/panels/small_dialogs.h"
#include "app/support/figure_test.h"
#include "kernel/files/file_services.h"
#include "kernel/tools/drag_start.h"
#include "kernel/window/anim_panel.h"
#include "platform/kp_qt_bridge.h"
#include "platform/kp_timer.h"

namespace {

// Records the messages a window receives.
class Recorder : public QObject, public KPMessageTarget {
 public:
  struct Message {
    UINT message;
    WPARAM wparam;
  };
  LRESULT sendMessage(UINT message, WPARAM wparam, LPARAM) override {
    got.push_back({message, wparam});
    return 0;
  }
  std::vector<Message> got;
};

class AnimPanel : public FigureTest {
 protected:
  void SetUp() override {
    FigureTest::SetUp();
    view_ = openView();
    ASSERT_NE(view_, nullptr);
    chooseTool(view_, &classe_spring);
    spin(10);
    panel_ = NSAnimPanelController::existing();
    ASSERT_NE(panel_, nullptr);
    ASSERT_TRUE(panel_->isVisible());
    ASSERT_EQ(anim_panel, panel_->handle());
  }
  void TearDown() override {
    if (manipulating) stopByClick();
    animation_running = 0;
    stop_spring_animation();
    chooseTool(view_, nullptr);
    spin(10);
    FigureTest::TearDown();
  }
  // A free point with a spring pulled from it; the spring tool stays.
  void addSpring() {
    chooseTool(view_, &classe_point);
    click(view_, QPoint(100, 100));
    chooseTool(view_, &classe_spring);
    click(view_, QPoint(100, 100));
    click(view_, QPoint(160, 140));
    ASSERT_EQ(objectsOf(view_->info(), &classe_spring).size(), 1u);
  }
  // A click on the figure stops a running animation.
  static void stopByClick() {
    NSKelvoWrapMachine::sendMessage(current_figure_view, WM_LBUTTONDOWN, 0, 0);
    NSKelvoWrapMachine::sendMessage(current_figure_view, WM_LBUTTONUP, 0, 0);
    spin(20);
  }
  static void press(QAbstractButton* b) {
    QTest::mouseClick(b, Qt::LeftButton);
    spin(5);
  }

  KPFigureView* view_ = nullptr;
  NSAnimPanelController* panel_ = nullptr;
};

TEST_F(AnimPanel, ShowsFourButtonsLabelledFromTheLanguage) {
  EXPECT_EQ(panel_->animButton()->text(), QStringLiteral("Animate"));
  EXPECT_EQ(panel_->defineButton()->text(), QStringLiteral("Define"));
  EXPECT_EQ(panel_->deleteButton()->text(), QStringLiteral("Delete"));
  EXPECT_EQ(panel_->goBackButton()->text(), QStringLiteral("Go back"));
  EXPECT_EQ(panel_->windowTitle(), kp_qstring(classe_spring.name));
  EXPECT_EQ(spring_pick_mode, 1);
  EXPECT_TRUE(panel_->defineButton()->isChecked());
  EXPECT_FALSE(panel_->deleteButton()->isChecked());
}

TEST_F(AnimPanel, DefineDeleteAndGoBackOnlySwitchOffWhileAnAnimationRuns) {
  click(view_, QPoint(80, 80));  // nothing under the click: the figure stays as it is
  kelvo_win_info* fig = view_->info();
  const int objects = fig->nbobj;

  animation_running = 1;
  for (QAbstractButton* b : {static_cast<QAbstractButton*>(panel_->deleteButton()),
                             static_cast<QAbstractButton*>(panel_->goBackButton()),
                             static_cast<QAbstractButton*>(panel_->defineButton())}) {
    press(b);
    EXPECT_FALSE(b->isChecked()) << b->text().toStdString();
    EXPECT_EQ(spring_pick_mode, 1);
  }
  EXPECT_EQ(view_->info(), fig);
  EXPECT_EQ(fig->nbobj, objects);

  animation_running = 0;
  press(panel_->deleteButton());
  EXPECT_EQ(spring_pick_mode, 2);
  EXPECT_TRUE(panel_->deleteButton()->isChecked());
  EXPECT_FALSE(panel_->defineButton()->isChecked());
  press(panel_->defineButton());
  EXPECT_EQ(spring_pick_mode, 1);
  EXPECT_TRUE(panel_->defineButton()->isChecked());
  EXPECT_FALSE(panel_->deleteButton()->isChecked());
}

TEST_F(AnimPanel, OnlyTheUserClosingThePanelTellsTheMainWindow) {
  Recorder main;
  file_services& files = files_services();
  const auto saved = files.main_application;
  static Recorder* target = nullptr;
  target = &main;
  files.main_application = [] { return kp_hwnd(target); };

  panel_->close();
  spin(20);
  EXPECT_EQ(anim_panel, nullptr);
  ASSERT_EQ(main.got.size(), 1u);
  EXPECT_EQ(main.got[0].message, WM_USER);
  EXPECT_EQ(main.got[0].wparam, kAnimPanelClosed);

  open_anim_panel();
  spin(5);
  ASSERT_EQ(anim_panel, panel_->handle());
  EXPECT_TRUE(panel_->isVisible());
  close_anim_panel();
  spin(20);
  EXPECT_EQ(anim_panel, nullptr);
  EXPECT_FALSE(panel_->isVisible());
  EXPECT_EQ(main.got.size(), 1u);

  // Another tool ends the spring tool's action: the panel goes quietly.
  chooseTool(view_, &classe_spring);
  spin(5);
  ASSERT_EQ(anim_panel, panel_->handle());
  chooseTool(view_, &classe_segment);
  spin(20);
  EXPECT_EQ(anim_panel, nullptr);
  EXPECT_EQ(main.got.size(), 1u);
  files.main_application = saved;
}

// An animation that ends while the panel is closed: the panel opens again
// with its Animate button at rest, and a click on it starts, not stops.
TEST_F(AnimPanel, OpenedAgainAfterAnAnimationEndedTheButtonIsAtRest) {
  animation_running = 1;
  refresh_anim_panel(anim_panel);
  ASSERT_TRUE(panel_->animButton()->showsRunning());
  close_anim_panel();
  spin(10);
  animation_running = 0;
  open_anim_panel();
  spin(10);
  ASSERT_EQ(anim_panel, panel_->handle());
  EXPECT_FALSE(panel_->animButton()->showsRunning());
  EXPECT_FALSE(panel_->state());
}

TEST_F(AnimPanel, AskingTwiceForTheAutomaticStartRestartsItsWait) {
  addSpring();
  // The timers run on the test's clock: the wait is counted in the
  // milliseconds the test lets pass, however fast the machine is.
  KPTimer::useTestClock(true);
  const int timers = KPTimer::timerCount();
  start_auto_animation();
  EXPECT_EQ(KPTimer::timerCount(), timers + 1);
  KPTimer::advanceTestClock(250);
  start_auto_animation();
  EXPECT_EQ(KPTimer::timerCount(), timers + 1);
  // 300 ms after the second request the first one's time has passed but
  // the wait started over.
  KPTimer::advanceTestClock(300);
  spin(20);
  EXPECT_EQ(KPTimer::timerCount(), timers + 1);
  EXPECT_EQ(animation_running, 0);
  EXPECT_FALSE(panel_->animButton()->showsRunning());
  // Its whole half second after the second request, it starts.
  KPTimer::advanceTestClock(200);
  EXPECT_EQ(KPTimer::timerCount(), timers);
  EXPECT_TRUE(waitUntil([] { return animation_running == 1; }));
  EXPECT_TRUE(panel_->animButton()->showsRunning());
  stopByClick();
  EXPECT_EQ(animation_running, 0);
  EXPECT_FALSE(panel_->animButton()->showsRunning());
}

TEST_F(AnimPanel, TheKernelsStartRequestTogglesThePanelAsAClickDoes) {
  addSpring();
  EXPECT_FALSE(panel_->state());
  NSKelvoWrapMachine::sendMessage(anim_panel, WM_LBUTTONUP, kAnimCodeStart, 0);
  spin(20);
  EXPECT_TRUE(panel_->state());
  EXPECT_TRUE(panel_->animButton()->showsRunning());
  EXPECT_FALSE(panel_->animButton()->isChecked());
  // The Return posted to the figure started the animation.
  EXPECT_EQ(animation_running, 1);
  // The next click stops it.
  press(panel_->animButton());
  spin(20);
  EXPECT_FALSE(panel_->state());
  EXPECT_EQ(animation_running, 0);
  EXPECT_FALSE(panel_->animButton()->showsRunning());
  EXPECT_EQ(spring_pick_mode, 1);
  EXPECT_TRUE(panel_->defineButton()->isChecked());
}

// With springs defined and a point picked for the next one, the start the
// Animate button asks for finds nothing to start; the button shows it
// running all the same, and its next click stops: Animate again, Define on,
// and no click of the stop taken as a place for the spring begun.
TEST_F(AnimPanel, AnimateStopsWhatItAskedToStartEvenWhenNothingStarted) {
  addSpring();
  chooseTool(view_, &classe_point);
  click(view_, QPoint(250, 250));
  chooseTool(view_, &classe_spring);
  spin(10);
  click(view_, QPoint(250, 250));
  const uint32_t objects = view_->info()->nbobj;
  press(panel_->animButton());
  spin(40);
  ASSERT_TRUE(panel_->animButton()->showsRunning());
  ASSERT_EQ(animation_running, 0) << "the start found something to start";
  press(panel_->animButton());
  spin(40);
  EXPECT_FALSE(panel_->animButton()->showsRunning()) << "Animate cannot stop";
  EXPECT_FALSE(panel_->state());
  EXPECT_TRUE(panel_->defineButton()->isChecked());
  EXPECT_EQ(view_->info()->nbobj, objects);
  EXPECT_EQ(objectsOf(view_->info(), &classe_spring).size(), 1u);
}

// ---- the small dialogs

class SmallDialogs : public ShellTest {
 protected:
  // Runs `script` on the dialog once it is up.
  template <typename Dialog>
  static void whenUp(std::function<void(Dialog*)> script) {
    auto* timer = new QTimer;
    timer->setInterval(20);
    QObject::connect(timer, &QTimer::timeout, [timer, script] {
      if (Dialog* d = Dialog::running(); d && d->isVisible()) {
        timer->stop();
        timer->deleteLater();
        script(d);
      }
    });
    timer->start();
  }
  static bool ask(const char* expected, std::function<void(NSPassWordWindowController*)> script) {
    whenUp<NSPassWordWindowController>(script);
    return NSPassWordWindowController::validate(expected, 0);
  }
};

TEST_F(SmallDialogs, ThePasswordMustMatchExactly) {
  const struct {
    const char* expected;
    QString typed;
    bool accepted;
  } cases[] = {
      {"Secret", QStringLiteral("Secret"), true},
      {"Secret", QStringLiteral("secret"), false},
      {"Secret", QStringLiteral("Secret "), false},
      {"Secret", QStringLiteral(" Secret"), false},
      {"", QString(), true},
      {"", QStringLiteral(" "), false},
      // Bytes from a file are Mac Roman: any of them makes a character.
      {"\x8E\xFF\x01z", kp_qstring("\x8E\xFF\x01z"), true},
  };
  for (const auto& c : cases) {
    bool stayed_open = false;
    const bool answer = ask(c.expected, [&](NSPassWordWindowController* d) {
      d->passwordField()->setText(c.typed);
      QTest::mouseClick(d->okButton(), Qt::LeftButton);
      stayed_open = d->isVisible();
      if (stayed_open) QTest::mouseClick(d->cancelButton(), Qt::LeftButton);
    });
    EXPECT_EQ(answer, c.accepted) << c.expected << " / " << c.typed.toStdString();
    EXPECT_EQ(stayed_open, !c.accepted);
  }
}

TEST_F(SmallDialogs, ThePasswordPromptAnswersNoOnCancelEscapeAndItsCloseBox) {
  const std::function<void(NSPassWordWindowController*)> endings[] = {
      [](NSPassWordWindowController* d) { QTest::mouseClick(d->cancelButton(), Qt::LeftButton); },
      [](NSPassWordWindowController* d) { QTest::keyClick(d, Qt::Key_Escape); },
      [](NSPassWordWindowController* d) { d->close(); },
  };
  for (const auto& end : endings)
    EXPECT_FALSE(ask("Secret", [&](NSPassWordWindowController* d) {
      d->passwordField()->setText(QStringLiteral("Secret"));
      end(d);
    }));
}

std::vector<std::pair<UINT, WPARAM>>& heard() {
  static std::vector<std::pair<UINT, WPARAM>> list;
  return list;
}

LRESULT recording_proc(HWND dialog, UINT message, WPARAM wparam, LPARAM) {
  heard().push_back({message, wparam});
  if (message == WM_INITDIALOG)
    NSKelvoWrapMachine::sendDlgItemMessage(dialog, 1183, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>("One"));
  return 1;
}

TEST_F(SmallDialogs, ThePrintSessionDialogAnswersOneOnOkAndTwoOtherwise) {
  const struct {
    std::function<void(NSPrintSessionController*)> end;
    int answer;
  } cases[] = {
      {[](NSPrintSessionController* d) { QTest::mouseClick(d->okButton(), Qt::LeftButton); }, 1},
      {[](NSPrintSessionController* d) { QTest::mouseClick(d->cancelButton(), Qt::LeftButton); }, 2},
      {[](NSPrintSessionController* d) { d->close(); }, 2},
      {[](NSPrintSessionController* d) { QTest::keyClick(d, Qt::Key_Escape); }, 2},
  };
  for (const auto& c : cases) {
    heard().clear();
    int items = 0;
    whenUp<NSPrintSessionController>([&](NSPrintSessionController* d) {
      items = d->layoutList()->count();
      c.end(d);
    });
    EXPECT_EQ(run_print_session_dialog_qt(nullptr, "SESSION_PRINT", nullptr, recording_proc), c.answer);
    EXPECT_EQ(items, 1);
    ASSERT_EQ(heard().size(), 2u);
    EXPECT_EQ(heard()[0].first, WM_INITDIALOG);
    EXPECT_EQ(heard()[1].first, WM_COMMAND);
    EXPECT_EQ(heard()[1].second, WPARAM(c.answer));
  }
}

}  // namespace
