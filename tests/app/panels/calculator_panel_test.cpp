// The calculator panel against a recording dialog procedure: one close
// command from the frame, none when hidden, one notification per change of
// the formula, a white result field while there is no result; and, with the
// kernel's procedure, bringing the panel forward restores calculator mode.
#include "app/panels/calculator_panel.h"
#include "app/support/kernel_state.h"

#include <QApplication>
#include <QImage>
#include <QLineEdit>
#include <QTest>
#include <gtest/gtest.h>

#include <vector>

#include "app/kernel_iface/kp_geo_document.h"
#include "kernel/measure/calculator.h"
#include "kernel/measure/calculator_window.h"
#include "kernel/model/classes.h"
#include "kernel/model/figure.h"
#include "kernel/tools/tool_dispatch.h"
#include "kernel/tools/tool_state.h"

namespace {

std::vector<WPARAM>& commands() {
  static std::vector<WPARAM> sent;
  return sent;
}

LRESULT recording_procedure(HWND, UINT message, WPARAM wparam, LPARAM) {
  if (message == WM_COMMAND) commands().push_back(wparam);
  return 1;
}

int count_of(WPARAM wparam) {
  int n = 0;
  for (WPARAM w : commands()) n += w == wparam;
  return n;
}

TEST(CalculatorPanel, OneCloseCommandFromTheFrameAndNoneWhenHidden) {
  commands().clear();
  KPCalculatorPanel panel(recording_procedure);
  panel.show();
  panel.close();
  EXPECT_EQ(count_of(kCalcClose), 1);
  panel.close();
  EXPECT_EQ(count_of(kCalcClose), 1);
}

TEST(CalculatorPanel, EachChangeOfTheFormulaIsOneNotification) {
  commands().clear();
  KPCalculatorPanel panel(recording_procedure);
  panel.show();
  QTest::keyClicks(panel.formulaField(), "a+b");
  const WPARAM changed = static_cast<WPARAM>(kCalcTextChanged) << 16 | kCalcFormula;
  EXPECT_EQ(count_of(changed), 3);
  QTest::keyClick(panel.formulaField(), Qt::Key_Backspace);
  EXPECT_EQ(count_of(changed), 4);
  // The field holds at most the formula limit, pasted or typed.
  panel.formulaField()->setText(QString(2000, QChar('(')));
  EXPECT_EQ(panel.formulaField()->text().size(), static_cast<int>(kFormulaLimit));
  panel.close();
}

TEST(CalculatorPanel, ResultFieldIsWhiteWithoutAResult) {
  calculator = calculator_state{};
  KPCalculatorPanel panel(recording_procedure);
  panel.show();
  const QImage empty = panel.resultField()->grab().toImage();
  bool all_white = true;
  for (int y = 2; y < empty.height() - 2; ++y)
    for (int x = 2; x < empty.width() - 2; ++x) all_white = all_white && empty.pixelColor(x, y) == Qt::white;
  EXPECT_TRUE(all_white);
  calculator.result = "12.5 cm";
  const QImage shown = panel.resultField()->grab().toImage();
  EXPECT_NE(shown, empty);
  calculator = calculator_state{};
  panel.close();
}

TEST(CalculatorPanel, ActivationWithAnotherToolReopensCalculatorMode) {
  take_down_tools_and_classes();
  init_construct_classes();
  KPGeoDocument::setCurrentInfo(nullptr);
  new_figure_info();
  kelvo_win_info* fig = KPGeoDocument::currentInfo();
  current_class = nullptr;
  KPCalculatorPanel panel(calculator_dlg_proc);
  panel.show();
  calculator_window = panel.handle();
  QApplication::setActiveWindow(&panel);
  QTest::qWait(10);
  EXPECT_EQ(current_class, &classe_calculate);
  panel.close();
  EXPECT_EQ(calculator_window, nullptr);
  kelvo_win_info* copy = fig->undo;
  free_figure_info(fig, false);
  free_figure_info(copy, false);
  current_class = nullptr;
  current_default_attrs = nullptr;
  take_down_tools_and_classes();
}

}  // namespace
