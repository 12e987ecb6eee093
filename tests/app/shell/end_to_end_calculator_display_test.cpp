// What the calculator shows: a result in square units with its exponent
// raised, and sines of a length made a plain number read in the angle unit
// chosen in the preferences.
#include <QComboBox>
#include <QDialog>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

#include <charconv>
#include <string>

#include "app/panels/calculator_panel.h"
#include "app/prefs/preferences_window.h"
#include "app/shell/figure_window.h"
#include "app/support/figure_test.h"
#include "kernel/files/text_convert.h"
#include "kernel/measure/calculator.h"
#include "kernel/prefs/dialog_controls.h"
#include "kernel/prefs/prefs_dialog.h"
#include "platform/kp_dialog.h"
#include "platform/kp_qt_bridge.h"

namespace {

class EndToEndCalculatorDisplay : public FigureTest {
 protected:
  void TearDown() override {
    set_preferences_window_observer(nullptr);
    FigureTest::TearDown();
  }

  // Types the formula into the calculator's field and evaluates it there.
  static KPCalculatorPanel* evaluate(const QString& formula) {
    pickFromPalette(&classe_calculate);
    KPCalculatorPanel* panel = calculator_panel();
    if (!panel) return nullptr;
    panel->formulaField()->clear();
    QTest::keyClicks(panel->formulaField(), formula);
    QTest::keyClick(panel->formulaField(), Qt::Key_Return);
    spin(10);
    return panel;
  }

  static double resultNumber() {
    std::string s;
    for (char c : calculator.result) {
      if (c == decimal_separator) s += '.';
      else if (c == '-' || (c >= '0' && c <= '9')) s += c;
      else if (c != second_separator) break;
    }
    double v = -100;
    std::from_chars(s.data(), s.data() + s.size(), v);
    return v;
  }

  // The lowest row with ink in each of the two rightmost runs of inked
  // columns of the field's picture (the last glyph, then the one before).
  static std::pair<int, int> lastTwoGlyphBottoms(const QImage& image) {
    const QColor paper(Qt::white);
    auto bottom = [&](int x) {
      for (int y = image.height() - 3; y >= 2; --y)
        if (image.pixelColor(x, y) != paper) return y;
      return -1;
    };
    int bottoms[2] = {-1, -1};
    int run = -1;
    bool in_ink = false;
    for (int x = image.width() - 3; x >= 2 && run < 2; --x) {
      const int b = bottom(x);
      if (b >= 0 && !in_ink) {
        ++run;
        in_ink = true;
      }
      if (b < 0) in_ink = false;
      if (b >= 0 && run < 2) bottoms[run] = std::max(bottoms[run], b);
    }
    return {bottoms[0], bottoms[1]};
  }
};

TEST_F(EndToEndCalculatorDisplay, ASquareUnitShowsItsExponentRaisedInTheResultField) {
  KPFigureView* view = openView();
  ASSERT_NE(view, nullptr);
  KPCalculatorPanel* panel = evaluate(QStringLiteral("2 cm*3 cm"));
  ASSERT_NE(panel, nullptr);
  ASSERT_NEAR(resultNumber(), 6, 1e-9) << calculator.result;
  const QImage field = panel->resultField()->grab().toImage();
  const auto [exponent, letter] = lastTwoGlyphBottoms(field);
  ASSERT_GT(exponent, 0);
  ASSERT_GT(letter, 0);
  // The exponent stands clear above the foot of the "m" before it.
  EXPECT_LT(exponent, letter - 2) << calculator.result;
}

TEST_F(EndToEndCalculatorDisplay, ALengthMadeAPlainNumberForASineIsReadInThePreferredAngleUnit) {
  KPFigureView* view = openView();
  ASSERT_NE(view, nullptr);
  // The user agrees to take the length as the number it shows (the
  // question's first button).
  KPDialog::setMessageBoxResponder([](const KPMessageBoxRequest&) { return 0; });
  KPCalculatorPanel* panel = evaluate(QStringLiteral("sin(90 cm)"));
  ASSERT_NE(panel, nullptr);
  EXPECT_NEAR(resultNumber(), 1, 0.01) << "degrees at first: " << calculator.result;
  panel->close();
  spin(10);

  bool driven = false;
  set_preferences_window_observer([&driven](QDialog* window) {
    QObject* precision = kp_qobject(prefs_pages[PREFS_PAGE_PRECISION]);
    const QList<QComboBox*> unit = precision ? precision->findChildren<QComboBox*>() : QList<QComboBox*>{};
    QComboBox* angle = nullptr;
    for (QComboBox* c : unit) {
      int id = 0;
      if (kp_item_id(c, &id) && id == kPrefAngleUnit) angle = c;
    }
    QPushButton* ok = nullptr;
    for (QPushButton* b : window->findChildren<QPushButton*>()) {
      int id = 0;
      if (kp_item_id(b, &id) && id == IDOK) ok = b;
    }
    if (!angle || !ok) {
      window->close();
      return;
    }
    angle->setCurrentIndex(2);  // radians
    emit angle->activated(2);
    QTest::mouseClick(ok, Qt::LeftButton);
    driven = true;
  });
  QTimer watchdog;
  QObject::connect(&watchdog, &QTimer::timeout, [] {
    if (QWidget* modal = QApplication::activeModalWidget()) modal->close();
  });
  watchdog.start(20000);
  KPFigureWindow* window = KPDocument::currentWindow();
  ASSERT_NE(window, nullptr);
  ASSERT_TRUE(clickMenuItem(window->menuBar(), "Edit", "Preferences"));
  spin(50);
  ASSERT_TRUE(driven);

  panel = evaluate(QStringLiteral("sin(90 cm)"));
  ASSERT_NE(panel, nullptr);
  EXPECT_NEAR(resultNumber(), std::sin(90.0), 0.01) << "radians now: " << calculator.result;
}

}  // namespace
