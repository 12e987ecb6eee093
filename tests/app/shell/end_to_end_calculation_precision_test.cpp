// End to end: the calculator shows a result as the placed calculation will
// show it, with the decimals the preferences give numbers; and the
// preferences applied to a selected angle calculation give it the angle
// unit and decimals chosen, as they give a measured angle.
#include <QComboBox>
#include <QDialog>
#include <QLineEdit>
#include <QPushButton>
#include <QTextDocument>
#include <QTimer>

#include <charconv>
#include <cmath>
#include <functional>
#include <string>

#include "app/panels/calculator_panel.h"
#include "app/prefs/preferences_window.h"
#include "app/shell/figure_window.h"
#include "app/support/figure_test.h"
#include "kernel/files/text_convert.h"
#include "kernel/measure/calculator.h"
#include "kernel/measure/measure_text.h"
#include "kernel/prefs/default_attrs.h"
#include "kernel/prefs/dialog_controls.h"
#include "kernel/prefs/prefs_dialog.h"
#include "kernel/tools/selection.h"
#include "platform/kp_dialog.h"
#include "platform/kp_qt_bridge.h"
#include "platform/ns_kelvo_text_view.h"

namespace {

class EndToEndCalculationPrecision : public FigureTest {
 protected:
  void TearDown() override {
    set_preferences_window_observer(nullptr);
    // Nothing was saved: the settings give back the factory records.
    init_default_attrs(nullptr);
    FigureTest::TearDown();
  }

  // Edit > Preferences, the precision page worked by `work`, then OK.
  static bool preferences(const std::function<void(QObject* page)>& work) {
    bool driven = false;
    set_preferences_window_observer([&driven, &work](QDialog* window) {
      QObject* page = kp_qobject(prefs_pages[PREFS_PAGE_PRECISION]);
      QPushButton* ok = child_with_id<QPushButton>(window, IDOK);
      if (!page || !ok) {
        window->close();
        return;
      }
      work(page);
      QTest::mouseClick(ok, Qt::LeftButton);
      driven = true;
    });
    QTimer watchdog;
    QObject::connect(&watchdog, &QTimer::timeout, [] {
      if (QWidget* modal = QApplication::activeModalWidget()) modal->close();
    });
    watchdog.start(20000);
    const bool clicked = clickMenuItem(KPDocument::currentWindow()->menuBar(), "Edit", "Preferences");
    spin(50);
    set_preferences_window_observer(nullptr);
    return clicked && driven;
  }
  static void choose(QObject* page, int id, int index) {
    QComboBox* box = child_with_id<QComboBox>(page, id);
    ASSERT_NE(box, nullptr) << id;
    box->setCurrentIndex(index);
    emit box->activated(index);
  }
  // Digits after the decimal separator of a value text.
  static size_t decimalsOf(const std::string& text) {
    const size_t sep = text.find(decimal_separator);
    if (sep == std::string::npos) return 0;
    size_t n = 0;
    while (sep + 1 + n < text.size() && text[sep + 1 + n] >= '0' && text[sep + 1 + n] <= '9') ++n;
    return n;
  }
  static double numberOf(const std::string& text) {
    std::string s;
    for (char c : text) {
      if (c == decimal_separator) s += '.';
      else if (c == '-' || (c >= '0' && c <= '9')) s += c;
      else if (c != second_separator) break;
    }
    double v = 0;
    std::from_chars(s.data(), s.data() + s.size(), v);
    return v;
  }
};

TEST_F(EndToEndCalculationPrecision, ThePanelShowsThePlacedResultAndPreferencesGiveAnAngleResultItsUnit) {
  KPFigureView* view = openView();
  ASSERT_NE(view, nullptr);
  // Numbers get four decimals.
  ASSERT_TRUE(preferences([](QObject* page) {
    choose(page, kPrefOtherDecimals, 4);
    QTest::mouseClick(child_with_id<QPushButton>(page, kPrefApplyButton), Qt::LeftButton);
  }));

  // An angle measured at three points, doubled in the calculator.
  pickFromPalette(&classe_point);
  for (QPoint p : {QPoint(300, 100), QPoint(200, 200), QPoint(330, 260)}) click(view, p);
  pickFromPalette(&classe_angleMes);
  for (QPoint p : {QPoint(300, 100), QPoint(200, 200), QPoint(330, 260)}) click(view, p);
  const auto angles = objectsOf(view->info(), &classe_angleMes);
  ASSERT_EQ(angles.size(), 1u);
  const double angle = angles[0]->valeurs[0].info.rayon;
  pickFromPalette(&classe_calculate);
  KPCalculatorPanel* panel = calculator_panel();
  ASSERT_NE(panel, nullptr);
  click(view, frameCentre(view, textShowing(view->info(), angles[0])));
  QTest::keyClicks(panel->formulaField(), "*2");
  QTest::keyClick(panel->formulaField(), Qt::Key_Return);
  spin(10);
  const std::string in_panel = calculator.result;
  EXPECT_EQ(decimalsOf(in_panel), 4u) << in_panel;
  QTest::mouseClick(panel->resultField(), Qt::LeftButton);
  spin(10);
  moveTo(view, QPoint(500, 380));
  click(view, QPoint(500, 380));
  panel->close();
  spin(10);
  const auto results = objectsOf(view->info(), &classe_calculate);
  ASSERT_EQ(results.size(), 1u);
  object* result = results[0];
  ASSERT_TRUE(result->te && result->te->text);
  EXPECT_EQ(std::string(result->te->text), in_panel) << "the panel showed another text than the figure";

  // Radians with three decimals, applied to the selected result.
  pickFromPalette(kPointerTool);
  select_all_objects();
  ASSERT_TRUE(preferences([](QObject* page) {
    QTest::mouseClick(child_with_id<QAbstractButton>(page, kPrefSelectionChoice), Qt::LeftButton);
    choose(page, kPrefAngleUnit, 2);
    choose(page, kPrefAngleDecimals, 3);
    QTest::mouseClick(child_with_id<QPushButton>(page, kPrefApplyButton), Qt::LeftButton);
  }));
  const std::string now = result->te->text;
  EXPECT_EQ(decimalsOf(now), 3u) << now;
  EXPECT_NE(now.find(unit_short_name(128)), std::string::npos) << now;
  EXPECT_NEAR(numberOf(now), 2 * std::fabs(angle), 1e-3) << now;
  // The text that shows it in the figure says the same.
  object* shown_in = textShowing(view->info(), result);
  ASSERT_NE(shown_in, nullptr);
  const QTextDocument* doc = shown_in->te ? kp_text_document(shown_in->te->display_string) : nullptr;
  ASSERT_NE(doc, nullptr);
  EXPECT_NE(doc->toPlainText().toStdString().find(now), std::string::npos) << doc->toPlainText().toStdString();
}

}  // namespace
