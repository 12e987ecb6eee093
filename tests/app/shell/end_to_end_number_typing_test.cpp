// A number or an expression typed key after key beside a table that holds
// a column: the whole of what was typed reaches the new object, the tool
// stays, and the table is left as it was.
#include <QApplication>
#include <QTest>
#include <gtest/gtest.h>

#include <vector>

#include "app/support/figure_test.h"
#include "app/view/kp_figure_view.h"
#include "kernel/model/classes.h"
#include "kernel/model/figure.h"
#include "kernel/text/text_record.h"
#include "platform/kernel_services.h"

namespace {

class EndToEndNumberTyping : public FigureTest {
 protected:
  // Keys typed where the keyboard is, one after the other.
  static void typeKeys(const char* keys) {
    for (const char* k = keys; *k; ++k) {
      QWidget* target = QApplication::focusWidget();
      ASSERT_NE(target, nullptr) << "no widget holds the keyboard before '" << *k << "'";
      QTest::keyClick(target, *k);
      spin(10);
    }
  }
};

TEST_F(EndToEndNumberTyping, EveryKeyReachesTheNewObjectBesideATable) {
  KPFigureView* view = openView();
  ASSERT_NE(view, nullptr);
  object* length = measuredSegment(view);
  ASSERT_NE(length, nullptr);
  object* shown = textShowing(view->info(), length);
  ASSERT_NE(shown, nullptr);
  pickFromPalette(&classe_table);
  drag(view, QPoint(350, 60), QPoint(550, 220));
  const std::vector<object*> tables = objectsOf(view->info(), &classe_table);
  ASSERT_EQ(tables.size(), 1u);
  click(view, frameCentre(view, shown));
  ASSERT_EQ(tables[0]->nbparents, 2) << "the length is not in the table";
  const int rows = tables[0]->nbvaleurs;

  struct Case {
    construct_class* cls;
    const char* keys;
  };
  const Case cases[] = {{&classe_nombre, "2.5"}, {&classe_exp_num, "x+1"}};
  int row = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.cls->name);
    const uint32_t beeps = message_beep_count();
    pickFromPalette(c.cls);
    click(view, QPoint(80, 260 + 60 * row++));
    const std::vector<object*> made = objectsOf(view->info(), c.cls);
    ASSERT_EQ(made.size(), 1u);
    typeKeys(c.keys);
    EXPECT_EQ(current_class, c.cls) << "the tool was left while typing";
    EXPECT_EQ(message_beep_count(), beeps);
    pickFromPalette(kPointerTool);
    spin(20);
    ASSERT_NE(made[0]->te, nullptr);
    ASSERT_NE(made[0]->te->text, nullptr);
    EXPECT_STREQ(made[0]->te->text, c.keys);
    EXPECT_EQ(tables[0]->nbvaleurs, rows) << "typing added a row to the table";
  }
}

}  // namespace
