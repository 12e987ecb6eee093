// A modifier key pressed or released alone over a figure: the kernel sees
// the new state at once and the cursor follows the grab key without the
// mouse moving.
#include <QKeyEvent>
#include <algorithm>
#include <gtest/gtest.h>

#include "app/support/figure_test.h"
#include "kernel/tools/cursors.h"
#include "platform/kp_cursor.h"
#include "platform/kp_dialog.h"

namespace {

class ModifierKeys : public FigureTest {
 protected:
  // The cursors of the application's table, as at launch, for one test.
  void loadCursorTable() {
    ASSERT_TRUE(NSKelvoCursorsLoader::initWithFile(KELVO_SOURCE_RESOURCES "/Cursors.xml"));
    load_cursors();
  }
  void TearDown() override {
    FigureTest::TearDown();
    KPCursor::clearTable();
    std::fill(std::begin(kernel_cursors), std::end(kernel_cursors), nullptr);
    current_cursor = nullptr;
  }

  static void key(KPFigureView* view, QEvent::Type type, Qt::Key k, Qt::KeyboardModifiers modifiers) {
    QKeyEvent event(type, k, modifiers);
    QApplication::sendEvent(view, &event);
    spin(5);
  }
};

}  // namespace

TEST_F(ModifierKeys, HoldingTheGrabKeyShowsTheOpenHandAtOnceAndReleasingItIsSeen) {
  loadCursorTable();
  KPFigureView* view = openView();
  ASSERT_NE(view, nullptr);
  QCursor::setPos(view->mapToGlobal(QPoint(200, 200)));
  moveTo(view, QPoint(200, 200));
  const HCURSOR open_hand = kernel_cursors[CURSOR_DESIGNATE_123];
  ASSERT_NE(KPCursor::lastSet(), open_hand);

  key(view, QEvent::KeyPress, Qt::Key_Control, Qt::NoModifier);
  EXPECT_TRUE(KPEventsWrapper::modifierKeyDown(4));
  EXPECT_EQ(KPCursor::lastSet(), open_hand);

  key(view, QEvent::KeyRelease, Qt::Key_Control, Qt::ControlModifier);
  EXPECT_FALSE(KPEventsWrapper::modifierKeyDown(4));
}

TEST_F(ModifierKeys, ShiftAndOptionAloneReachTheKernelAndTypeNothing) {
  KPFigureView* view = openView();
  ASSERT_NE(view, nullptr);
  moveTo(view, QPoint(150, 150));
  const int objects = view->info()->nbobj;
  key(view, QEvent::KeyPress, Qt::Key_Shift, Qt::NoModifier);
  EXPECT_TRUE(KPEventsWrapper::modifierKeyDown(3));
  key(view, QEvent::KeyPress, Qt::Key_Alt, Qt::ShiftModifier);
  EXPECT_TRUE(KPEventsWrapper::modifierKeyDown(8));
  key(view, QEvent::KeyRelease, Qt::Key_Alt, Qt::ShiftModifier | Qt::AltModifier);
  key(view, QEvent::KeyRelease, Qt::Key_Shift, Qt::ShiftModifier);
  EXPECT_FALSE(KPEventsWrapper::modifierKeyDown(3));
  EXPECT_FALSE(KPEventsWrapper::modifierKeyDown(8));
  EXPECT_EQ(view->info()->nbobj, objects);
}
