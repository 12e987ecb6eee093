// The Format menu clicked as a user does: Larger Text and Smaller Text step
// the selected text's size, Show/Hide Colors and Show/Hide Fonts bring the
// shared panels up and away, their items saying what the next click does,
// and the font panel opens on the font of the text selected or edited.
#include <QColorDialog>
#include <QFontDialog>
#include <QMenuBar>
#include <gtest/gtest.h>

#include <memory>

#include "app/panels/shared_panels.h"
#include "app/shell/figure_window.h"
#include "app/support/figure_test.h"
#include "kernel/model/create.h"
#include "kernel/model/figure.h"
#include "kernel/render/fonts.h"
#include "kernel/text/text_record.h"
#include "kernel/text/text_services.h"
#include "kernel/tools/tool_state.h"
#include "platform/kp_font_qt.h"
#include "platform/ns_kelvo_text_editor.h"

namespace {

class FormatMenu : public FigureTest {
 protected:
  static QAction* formatItem(KPFigureView* view, const QString& start) {
    for (QAction* menu : view->figureWindow()->menuBar()->actions())
      if (menu->menu() && menu->text().remove('&') == QStringLiteral("Format"))
        for (QAction* item : menu->menu()->actions())
          if (item->text().startsWith(start)) return item;
    return nullptr;
  }
  static bool clickFormat(KPFigureView* view, const QString& item) {
    return clickMenuItem(view->figureWindow()->menuBar(), QStringLiteral("Format"), item);
  }
};

}  // namespace

TEST_F(FormatMenu, LargerAndSmallerTextStepTheSelectedText) {
  KPFigureView* view = openView();
  ASSERT_NE(view, nullptr);
  kelvo_win_info* fig = view->info();
  current_class = &classe_text;
  objlist_clear(fig->inputs);
  uint16_t created = 0;
  object* text = create_object(0, &created, 1, 1, 0);
  current_class = nullptr;
  ASSERT_NE(text, nullptr);
  ASSERT_TRUE(text->te && set_text_record_text(text->te, "Hi"));
  text->state &= ~OBJ_NEW;
  text->settings.visible = 1;
  text->te->pos = te_point{-100, -40};
  text->te->size = te_size{120, 30};
  text->te->regen_pending = 1;
  text->te->format.size = 20;
  view->invalidateFigure();
  spin(20);
  tagPOINT inside{-80, -25};
  view->localToGlobalDDM(&inside);
  click(view, QPoint(inside.x, inside.y));
  ASSERT_GE(objlist_find(fig->selection, text), 0);

  ASSERT_TRUE(clickFormat(view, QStringLiteral("Larger Text")));
  EXPECT_EQ(text->te->format.size, 25);
  ASSERT_GE(objlist_find(fig->selection, text), 0);
  ASSERT_TRUE(clickFormat(view, QStringLiteral("Smaller Text")));
  EXPECT_EQ(text->te->format.size, 20);
}

TEST_F(FormatMenu, ThePanelItemsShowAndHideTheSharedPanels) {
  KPFigureView* view = openView();
  ASSERT_NE(view, nullptr);
  const struct {
    const char* show;
    const char* hide;
    bool (*visible)();
  } panels[] = {{"Show Colors", "Hide Colors", &shared_color_panel_visible},
                {"Show Fonts", "Hide Fonts", &shared_font_panel_visible}};
  for (const auto& p : panels) {
    SCOPED_TRACE(p.show);
    EXPECT_FALSE(p.visible());
    ASSERT_TRUE(clickFormat(view, QString::fromLatin1(p.show)));
    EXPECT_TRUE(p.visible());
    ASSERT_NE(formatItem(view, QString::fromLatin1(p.hide)), nullptr);
    ASSERT_TRUE(clickFormat(view, QString::fromLatin1(p.hide)));
    EXPECT_FALSE(p.visible());
    ASSERT_NE(formatItem(view, QString::fromLatin1(p.show)), nullptr);
  }
  // A colour chosen in the panel becomes the colour of new texts.
  ASSERT_TRUE(clickFormat(view, QStringLiteral("Show Colors")));
  shared_color_panel()->setCurrentColor(QColor(10, 200, 30));
  spin(10);
  ASSERT_NE(current_attrs, nullptr);
  EXPECT_EQ(current_attrs->text_color, (10u << 16) | (200u << 8) | 30u);
  shared_color_panel()->hide();
}

// Show Fonts with a 20-point bold comment selected shows its face, size and
// style; with a text being edited, the font where its caret is.
TEST_F(FormatMenu, TheFontPanelOpensOnTheFontOfTheSelectedText) {
  KPFigureView* view = openView();
  ASSERT_NE(view, nullptr);
  kelvo_win_info* fig = view->info();
  object* text = makeTextLike(fig, &classe_text, "Hi there");
  ASSERT_NE(text, nullptr);
  text->te->pos = te_point{-100, -40};
  text->te->size = te_size{160, 30};
  {
    const std::unique_ptr<KPFont> face(kp_font_from_qfont(QFont(QStringLiteral("DejaVu Sans"))));
    text->te->format.font_id = font_register(face.get());
  }
  ASSERT_NE(text->te->format.font_id, 0);
  text->te->format.size = 20;
  text->te->format.style = 1;
  text->te->regen_pending = 1;
  view->invalidateFigure();
  spin(20);
  const QString face = font_get_nsfont(text->te->format.font_id)->impl()->font.family();
  tagPOINT inside{-80, -25};
  view->localToGlobalDDM(&inside);
  click(view, QPoint(inside.x, inside.y));
  ASSERT_GE(objlist_find(fig->selection, text), 0);

  ASSERT_TRUE(clickFormat(view, QStringLiteral("Show Fonts")));
  QFont shown = shared_font_panel()->currentFont();
  EXPECT_EQ(shown.family(), face);
  EXPECT_EQ(shown.pointSize(), 20);
  EXPECT_TRUE(shown.bold());
  ASSERT_TRUE(clickFormat(view, QStringLiteral("Hide Fonts")));

  // A second click edits the text; Ctrl+I at the end makes what comes
  // next italic, and the panel says so.
  click(view, QPoint(inside.x, inside.y));
  NSKelvoTextEditor* editor = view->textEditor();
  ASSERT_TRUE(editor->isVisible());
  QTest::keyClick(editor, Qt::Key_End);
  QTest::keyClick(editor, Qt::Key_I, Qt::ControlModifier);
  ASSERT_TRUE(clickFormat(view, QStringLiteral("Show Fonts")));
  ASSERT_TRUE(editor->isVisible());
  shown = shared_font_panel()->currentFont();
  EXPECT_EQ(shown.pointSize(), 20);
  EXPECT_TRUE(shown.bold());
  EXPECT_TRUE(shown.italic());
  shared_font_panel()->hide();
}
