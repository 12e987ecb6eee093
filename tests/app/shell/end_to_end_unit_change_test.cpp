// End to end: a length shown in another unit, chosen from the unit pop-up
// (Control-U), then given one more decimal with '+': the new digit is the
// length's own, not a 0 added to the text the change of unit shortened.
// (A measure is recomputed from its objects at the key; the kernel's test of
// the unit command covers a number that keeps its value.)
#include <QMenu>

#include <cmath>
#include <cstdio>
#include <string>

#include "app/support/figure_test.h"
#include "kernel/files/text_convert.h"
#include "kernel/measure/unit_factor.h"
#include "kernel/text/text_record.h"
#include "kernel/tools/drag_state.h"
#include "kernel/tools/tool_dispatch.h"

namespace {

class EndToEndUnitChange : public FigureTest {
 protected:
  static std::string text(const object* m) { return m && m->te && m->te->text ? m->te->text : ""; }

  // Chooses the item named `name` of the pop-up menu the next event opens.
  static void chooseInPopUp(const QString& name, bool* chosen, int tries = 200) {
    QTimer::singleShot(30, scope(), [name, chosen, tries] {
      auto* open = qobject_cast<QMenu*>(QApplication::activePopupWidget());
      if (!open) {
        if (tries > 0)
          chooseInPopUp(name, chosen, tries - 1);
        else
          ADD_FAILURE() << "the pop-up never opened";
        return;
      }
      QAction* item = nullptr;
      for (QAction* a : open->actions())
        if (a->text() == name) item = a;
      if (!item) {
        ADD_FAILURE() << "the pop-up has no " << name.toStdString();
        open->close();
        return;
      }
      open->setActiveAction(item);
      QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
      QApplication::sendEvent(open, &enter);
      *chosen = true;
    });
  }
};

TEST_F(EndToEndUnitChange, PlusAfterAChangeOfUnitShowsTheLengthsOwnDigit) {
  KPFigureView* view = openView();
  ASSERT_NE(view, nullptr);
  // A slanting segment: its length in millimetres has digits to show.
  ASSERT_NE(segment(view, QPoint(100, 300), QPoint(300, 400)), nullptr);
  pickFromPalette(&classe_length);
  click(view, QPoint(290, 395));
  const auto lengths = objectsOf(view->info(), &classe_length);
  ASSERT_EQ(lengths.size(), 1u);
  object* length = lengths[0];
  object* shown = textShowing(view->info(), length);
  ASSERT_NE(shown, nullptr);
  // The text, past the segment's end, chosen on the number it shows.
  chooseTool(view, nullptr);
  ASSERT_GT(frameCentre(view, shown).x(), 304);
  click(view, frameCentre(view, shown));
  ASSERT_EQ(objlist_count(view->info()->selection), 1);

  // A length is offered the lengths only.
  bool chosen = false;
  chooseInPopUp(QStringLiteral("Millimetre"), &chosen);
  QTest::keyClick(view, Qt::Key_U, Qt::ControlModifier);
  spin(30);
  ASSERT_TRUE(chosen);
  ASSERT_EQ(length->settings.unite, 32) << "the length is not in millimetres: " << text(length);
  const int decimals = length->settings.nbre_decimales & 127;

  // One more decimal: the digit the length has there.
  const double mm = length->valeurs[0].info.rayon / measure_unit_factor(length);
  char expected[64];
  std::snprintf(expected, sizeof expected, "%.*f", decimals + 1, mm);
  std::string number = expected;
  for (char& c : number)
    if (c == '.') c = decimal_separator;
  ASSERT_NE(number.back(), '0') << "this length's next digit is a 0: the test tells nothing";
  QTest::keyClick(view, Qt::Key_Plus, Qt::ShiftModifier);
  for (int waited = 0; ((length->settings.nbre_decimales & 127) != decimals + 1 || manipulating) && waited < 3000;
       waited += 20)
    spin(20);
  EXPECT_EQ(text(length).substr(0, text(length).find(' ')), number) << "the new decimal is not the length's";
}

}  // namespace
