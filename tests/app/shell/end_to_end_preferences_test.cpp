// The preferences through the whole program: the Preferences item of the
// menu, the length decimals set to 3 for new objects, a length measured next
// shown with three decimals, and the settings file holding the value.
#include <QComboBox>
#include <QCheckBox>
#include <QDialog>
#include <QMenuBar>
#include <QPushButton>
#include <QSettings>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include <string>

#include "app/kernel_iface/kp_geo_document.h"
#include "app/prefs/preferences_window.h"
#include "app/shell/figure_window.h"
#include "app/support/shell_fixture.h"
#include "app/view/kp_figure_view.h"
#include "kernel/model/classes.h"
#include "kernel/model/figure.h"
#include "kernel/prefs/dialog_controls.h"
#include "kernel/prefs/prefs_dialog.h"
#include "kernel/text/text_record.h"
#include "kernel/tools/tool_ids.h"
#include "kernel/tools/selection.h"
#include "kernel/tools/tool_state.h"
#include "platform/kp_qt_bridge.h"

namespace {

template <typename T>
T* with_id(QObject* root, int id) {
  if (!root) return nullptr;
  for (T* c : root->findChildren<T*>()) {
    int found = 0;
    if (kp_item_id(c, &found) && found == id) return c;
  }
  return nullptr;
}

class EndToEndPreferences : public ShellTest {
 protected:
  void TearDown() override {
    set_preferences_window_observer(nullptr);
    ShellTest::TearDown();
  }
  static void click(KPFigureView* view, QPoint p) {
    QTest::mouseMove(view, p);
    spin(5);
    QTest::mousePress(view, Qt::LeftButton, {}, p);
    QTest::mouseRelease(view, Qt::LeftButton, {}, p, 10);
    spin(10);
  }
  static void chooseTool(KPFigureView* view, construct_class* cls) {
    const uint32_t id = find_tool_id_by_name(cls->name);
    ASSERT_NE(id, 0u);
    view->sendCurrentToolAction(id, 0, true);
  }
};

TEST_F(EndToEndPreferences, LengthDecimalsSetInTheDialogReachTheNextMeasureAndTheSettings) {
  KPDocument* doc = KPDocument::openUntitledDocument();
  ASSERT_NE(doc, nullptr);
  KPFigureView* view = doc->figureView();
  ASSERT_TRUE(waitForView(view));

  bool driven = false;
  set_preferences_window_observer([&driven](QDialog* window) {
    QObject* precision = kp_qobject(prefs_pages[PREFS_PAGE_PRECISION]);
    QComboBox* decimals = with_id<QComboBox>(precision, kPrefLengthDecimals);
    QPushButton* apply = with_id<QPushButton>(precision, kPrefApplyButton);
    QCheckBox* save = with_id<QCheckBox>(window, kPrefSaveBox);
    QPushButton* ok = with_id<QPushButton>(window, IDOK);
    if (!decimals || !apply || !save || !ok) {
      window->close();
      return;
    }
    decimals->setCurrentIndex(3);
    emit decimals->activated(3);
    QTest::mouseClick(apply, Qt::LeftButton);
    QTest::mouseClick(save, Qt::LeftButton);
    QTest::mouseClick(ok, Qt::LeftButton);
    driven = true;
  });
  QTimer watchdog;
  QObject::connect(&watchdog, &QTimer::timeout, [] {
    if (QWidget* modal = QApplication::activeModalWidget()) modal->close();
  });
  watchdog.start(20000);
  ASSERT_TRUE(clickMenuItem(doc->figureWindow()->menuBar(), "Edit", "Preferences"));
  spin(50);
  EXPECT_TRUE(driven);

  chooseTool(view, &classe_segment);
  click(view, QPoint(100, 200));
  click(view, QPoint(300, 200));
  chooseTool(view, &classe_length);
  click(view, QPoint(200, 200));
  object* length = nullptr;
  for (object* o = view->info()->first; o; o = o->next)
    if (o->classe == &classe_length) length = o;
  ASSERT_NE(length, nullptr);
  ASSERT_NE(length->te, nullptr);
  const std::string shown = length->te->text ? length->te->text : "";
  // Three digits after the separator, then the unit.
  const size_t sep = shown.find_first_of(".,");
  ASSERT_NE(sep, std::string::npos) << shown;
  size_t digits = 0;
  while (sep + 1 + digits < shown.size() && std::isdigit(static_cast<unsigned char>(shown[sep + 1 + digits])))
    ++digits;
  EXPECT_EQ(digits, 3u) << shown;

  // The view shows the measure's text: ink inside its frame.
  object* text = nullptr;
  for (object* o = view->info()->first; o; o = o->next)
    if (o->classe == &classe_text) text = o;
  ASSERT_NE(text, nullptr);
  // What the window shows, the text editor open over the new measure's text
  // included.
  view->invalidateFigure();
  const QImage image = view->grab().toImage();
  tagPOINT corner{text->te->pos.x, text->te->pos.y};
  view->localToGlobalDDM(&corner);
  const QColor background = image.pixelColor(2, 2);
  int ink = 0;
  for (int y = corner.y; y < corner.y + text->te->size.h; ++y)
    for (int x = corner.x; x < corner.x + text->te->size.w; ++x)
      if (image.rect().contains(x, y) && image.pixelColor(x, y) != background) ++ink;
  EXPECT_GT(ink, 0);

  const QSettings settings(QSettings::IniFormat, QSettings::UserScope, "Kelvo", "Kelvo Nova");
  EXPECT_EQ(settings.value("LgthNbreDec").toString().toStdString(), "3");
}

// Applied twice to a selected length, the precision takes one undo
// snapshot: Undo brings back the decimals from before the first Apply.
TEST_F(EndToEndPreferences, ApplyingToTheSelectionIsUndoneInOneStep) {
  KPDocument* doc = KPDocument::openUntitledDocument();
  ASSERT_NE(doc, nullptr);
  KPFigureView* view = doc->figureView();
  ASSERT_TRUE(waitForView(view));
  chooseTool(view, &classe_segment);
  click(view, QPoint(100, 200));
  click(view, QPoint(300, 200));
  chooseTool(view, &classe_length);
  click(view, QPoint(200, 200));
  auto find_length = [view] {
    for (object* o = view->info()->first; o; o = o->next)
      if (o->classe == &classe_length) return o;
    return static_cast<object*>(nullptr);
  };
  object* length = find_length();
  ASSERT_NE(length, nullptr);
  const int before = length->settings.nbre_decimales & 127;
  // Two choices that differ from the length's decimals and from each other.
  const int first = (before + 1) % 5, second = (before + 2) % 5;
  view->sendCurrentToolAction(kPointerTool, 0, true);
  select_all_objects();

  bool driven = false;
  set_preferences_window_observer([&driven, first, second](QDialog* window) {
    QObject* precision = kp_qobject(prefs_pages[PREFS_PAGE_PRECISION]);
    QComboBox* decimals = with_id<QComboBox>(precision, kPrefLengthDecimals);
    QAbstractButton* selection = with_id<QAbstractButton>(precision, kPrefSelectionChoice);
    QPushButton* apply = with_id<QPushButton>(precision, kPrefApplyButton);
    QPushButton* cancel = with_id<QPushButton>(window, IDCANCEL);
    if (!decimals || !selection || !apply || !cancel || !selection->isEnabled()) {
      window->close();
      return;
    }
    QTest::mouseClick(selection, Qt::LeftButton);
    for (int index : {first, second}) {
      decimals->setCurrentIndex(index);
      emit decimals->activated(index);
      QTest::mouseClick(apply, Qt::LeftButton);
    }
    QTest::mouseClick(cancel, Qt::LeftButton);
    driven = true;
  });
  QTimer watchdog;
  QObject::connect(&watchdog, &QTimer::timeout, [] {
    if (QWidget* modal = QApplication::activeModalWidget()) modal->close();
  });
  watchdog.start(20000);
  ASSERT_TRUE(clickMenuItem(doc->figureWindow()->menuBar(), "Edit", "Preferences"));
  spin(50);
  ASSERT_TRUE(driven);
  length = find_length();
  ASSERT_NE(length, nullptr);
  EXPECT_EQ(length->settings.nbre_decimales & 127, second);

  ASSERT_TRUE(clickMenuItem(doc->figureWindow()->menuBar(), "Edit", "Undo"));
  spin(50);
  length = find_length();
  ASSERT_NE(length, nullptr);
  EXPECT_EQ(length->settings.nbre_decimales & 127, before);
}

}  // namespace
