// End to end: a macro of the user's whose final object is the text showing
// a length. Applied, it takes the segment and then a click that places the
// text; the new length lives in the new text, drawn and picked with it only.
#include <QComboBox>
#include <QPushButton>

#include <cstdlib>

#include "app/macros/macro_def_window.h"
#include "app/support/figure_test.h"
#include "kernel/text/text_record.h"

namespace {

class EndToEndMacroText : public FigureTest {};

TEST_F(EndToEndMacroText, AMacroEndingInAMeasuresTextPlacesItAtTheLastClick) {
  KPFigureView* view = openView();
  ASSERT_NE(view, nullptr);
  ASSERT_NE(segment(view, QPoint(100, 100), QPoint(300, 100)), nullptr);
  pickFromPalette(&classe_length);
  click(view, QPoint(200, 100));
  const auto lengths = objectsOf(view->info(), &classe_length);
  ASSERT_EQ(lengths.size(), 1u);
  object* shown = textShowing(view->info(), lengths[0]);
  ASSERT_NE(shown, nullptr);

  pickFromPalette(find_tool_id_by_name(toolbar_table[ROW_INITIAL_OBJECT - 1].name));
  click(view, QPoint(150, 100));
  pickFromPalette(find_tool_id_by_name(toolbar_table[ROW_FINAL_OBJECT - 1].name));
  click(view, frameCentre(view, shown));
  ASSERT_EQ(objlist_count(view->info()->list4), 1);
  KPMacroDefWindow::setScript([](KPMacroDefWindow* w) {
    w->nameBox()->setEditText(QStringLiteral("Long"));
    QTest::mouseClick(w->okButton(), Qt::LeftButton);
  });
  pickFromPalette(find_tool_id_by_name(toolbar_table[ROW_DEFINE_MACRO - 1].name));
  spin(20);
  KPMacroDefWindow::setScript(nullptr);
  construct_class* macro = find_class_by_name("Long", 0);
  ASSERT_NE(macro, nullptr);

  KPFigureView* second = openView();
  ASSERT_NE(second, nullptr);
  ASSERT_NE(segment(second, QPoint(100, 300), QPoint(300, 300)), nullptr);
  pickFromPalette(macro);
  click(second, QPoint(150, 300));
  EXPECT_TRUE(objectsOf(second->info(), &classe_length).empty()) << "built before the placing click";
  const QPoint place(450, 150);
  click(second, place);
  const auto made = objectsOf(second->info(), &classe_length);
  ASSERT_EQ(made.size(), 1u) << "the macro built no length";
  object* length = made[0];
  object* text = textShowing(second->info(), length);
  ASSERT_NE(text, nullptr) << "no text shows the new length";
  EXPECT_EQ(length->aux2 & 6, 6u) << "the length does not live in its text";
  // The text stands where the last click put it.
  const tagPOINT at = figurePoint(second, place);
  EXPECT_LE(std::abs(text->te->pos.x - at.x), 20) << "the placing click was ignored";
  EXPECT_LE(std::abs(text->te->pos.y - at.y), 20) << "the placing click was ignored";
  // A click on the text picks the text, not a length drawn over it.
  pickFromPalette(kPointerTool);
  click(second, frameCentre(second, text));
  ASSERT_EQ(objlist_count(second->info()->selection), 1);
  EXPECT_EQ(second->info()->selection->items[0], text);
}

}  // namespace
