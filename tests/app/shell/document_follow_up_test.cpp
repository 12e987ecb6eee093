// What every open document does after a language load (its number texts
// take the C decimal point) and when the palette grows its attribute bar
// (its window goes below the palette).
#include <QMenuBar>
#include <gtest/gtest.h>

#include <cstring>

#include "app/panels/tools_palette.h"
#include "app/shell/figure_window.h"
#include "app/support/figure_test.h"
#include "kernel/text/text_record.h"
#include "kernel/files/text_convert.h"

namespace {

class DocumentFollowUp : public FigureTest {
 protected:
  void TearDown() override {
    decimal_separator = '.';
    FigureTest::TearDown();
  }
  static object* number(kelvo_win_info* fig, const char* text) {
    object* o = makeTextLike(fig, &classe_nombre, text);
    if (o) o->te->text_kind = 1;
    return o;
  }
};

}  // namespace

TEST_F(DocumentFollowUp, NumberTextsOfEveryDocumentTakeTheDecimalPoint) {
  KPFigureView* first = openView();
  ASSERT_NE(first, nullptr);
  object* a = number(first->info(), "1,5 + 2,25");
  ASSERT_NE(a, nullptr);
  KPFigureView* second = openView();
  ASSERT_NE(second, nullptr);
  object* b = number(second->info(), "3,75");
  ASSERT_NE(b, nullptr);
  // A text that is not a number's keeps its commas.
  object* other = number(second->info(), "a,b 1,5");
  ASSERT_NE(other, nullptr);
  other->te->text_kind = 2;

  decimal_separator = ',';
  kelvo_win_info* current = KPGeoDocument::currentInfo();
  for (KPDocument* doc : KPDocument::liveDocuments()) doc->convertUSproc();
  EXPECT_EQ(KPGeoDocument::currentInfo(), current);
  EXPECT_STREQ(a->te->text, "1.5 + 2.25");
  EXPECT_EQ(a->te->length, static_cast<int32_t>(std::strlen("1.5 + 2.25")));
  EXPECT_STREQ(b->te->text, "3.75");
  EXPECT_STREQ(other->te->text, "a,b 1,5");
}

TEST_F(DocumentFollowUp, ShowingTheAttributeBarKeepsFigureWindowsBelowThePalette) {
  ASSERT_NE(openView(), nullptr);
  KPFigureWindow* window = KPDocument::currentDocument()->figureWindow();
  QMenuBar* bar = window->menuBar();
  ASSERT_TRUE(clickMenuItem(bar, "View", "Hide Attribute Palette"));
  // A window moved up while the bar is hidden is already kept below the
  // palette; showing the bar must keep it there too.
  window->move(window->frameGeometry().left(), 0);
  spin(10);
  ASSERT_TRUE(clickMenuItem(bar, "View", "Show Attribute Palette"));
  spin(10);
  EXPECT_GE(window->frameGeometry().top(), NSKelvoToolsPanelView::getFigureWindowPosition().y());
}
