// Editing texts in place through the real program: a second click on a
// selected text opens the editor over it, keys typed there change the text,
// a click on the empty sheet hands it back, a number refuses letters, and
// Edit > Copy and Edit > Paste carry rich text from one text to another.
#include <QMenu>
#include <QMenuBar>
#include <QTest>
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "app/document/kp_document.h"
#include "app/shell/figure_window.h"
#include "app/support/figure_test.h"
#include "app/view/kp_figure_view.h"
#include "kernel/model/classes.h"
#include "kernel/model/create.h"
#include "kernel/model/figure.h"
#include "kernel/files/text_convert.h"
#include "kernel/text/text_editing.h"
#include "kernel/text/text_record.h"
#include "kernel/text/text_services.h"
#include "kernel/tools/tool_state.h"
#include "platform/ns_kelvo_text_editor.h"

namespace {

object* make_text_like(kelvo_win_info* fig, construct_class* cls, const char* text, int x, int y) {
  object* o = FigureTest::makeTextLike(fig, cls, text);
  if (!o) return nullptr;
  o->te->pos = te_point{x, y};
  o->te->size = te_size{220, 30};
  o->te->regen_pending = 1;
  return o;
}

class EndToEndTextEdit : public FigureTest {
 protected:
  QPoint onView(KPFigureView* view, int32_t x, int32_t y) {
    tagPOINT p{x, y};
    view->localToGlobalDDM(&p);
    return QPoint(p.x, p.y);
  }
  QPoint middleOf(KPFigureView* view, object* o) {
    return onView(view, o->te->pos.x + 20, o->te->pos.y + o->te->size.h / 2);
  }
  // Two clicks with the pointer: the first selects, the second opens.
  void openEditorOn(KPFigureView* view, object* o) {
    click(view, middleOf(view, o));
    spin(20);
    click(view, middleOf(view, o));
    spin(20);
  }
  int inkIn(const QImage& image, KPFigureView* view, object* o) {
    int count = 0;
    const QPoint a = onView(view, o->te->pos.x, o->te->pos.y);
    const QColor background = image.pixelColor(2, 2);
    for (int y = a.y() + 2; y < a.y() + o->te->size.h - 2; ++y)
      for (int x = a.x() + 2; x < a.x() + 200; ++x)
        if (image.rect().contains(x, y) && image.pixelColor(x, y) != background) ++count;
    return count;
  }
  void clickEditItem(KPFigureView* view, const char* title) {
    QMenu* edit = nullptr;
    for (QAction* item : view->figureWindow()->menuBar()->actions())
      if (item->menu() && item->text().remove('&') == QStringLiteral("Edit")) edit = item->menu();
    ASSERT_NE(edit, nullptr);
    QAction* action = nullptr;
    for (QAction* item : edit->actions())
      if (item->text().remove('&') == QString::fromLatin1(title)) action = item;
    ASSERT_NE(action, nullptr) << title;
    edit->popup(view->mapToGlobal(QPoint(10, 10)));
    spin(10);
    QTest::mouseClick(edit, Qt::LeftButton, {}, edit->actionGeometry(action).center());
    spin(30);
  }
};

TEST_F(EndToEndTextEdit, TypingCopyAndPasteInTextsAndANumberThatRefusesLetters) {
  const QString path = dir.filePath("edit.fig");
  {
    KPFigureView* view = openView();
    ASSERT_NE(view, nullptr);
    kelvo_win_info* fig = view->info();
    ASSERT_NE(make_text_like(fig, &classe_text, "Hi", -200, -120), nullptr);
    ASSERT_NE(make_text_like(fig, &classe_text, "Yo", -200, 0), nullptr);
    ASSERT_NE(make_text_like(fig, &classe_nombre, "2.5", 100, -120), nullptr);
    ASSERT_TRUE(KPDocument::currentDocument()->writeToURL(path));
    closeAll();
  }
  KPDocument* doc = KPDocument::openDocument(path);
  ASSERT_NE(doc, nullptr);
  KPFigureView* view = doc->figureView();
  ASSERT_TRUE(waitForView(view));
  std::vector<object*> texts = objectsOf(view->info(), &classe_text);
  ASSERT_EQ(texts.size(), 2u);
  std::vector<object*> numbers = objectsOf(view->info(), &classe_nombre);
  ASSERT_EQ(numbers.size(), 1u);
  object* first = texts[0];
  object* second = texts[1];
  object* number = numbers[0];
  const int ink_before = inkIn(shown(view), view, first);
  ASSERT_GT(ink_before, 0);

  chooseTool(view, nullptr);
  openEditorOn(view, first);
  NSKelvoTextEditor* editor = view->textEditor();
  ASSERT_NE(editor, nullptr);
  ASSERT_TRUE(editor->isVisible());
  EXPECT_EQ(view->info()->cur_text, first);
  EXPECT_EQ(editor->toPlainText(), QStringLiteral("Hi"));

  QTest::keyClick(editor, Qt::Key_End);
  QTest::keyClicks(editor, " there, WWW");
  spin(10);
  EXPECT_EQ(editor->toPlainText(), QStringLiteral("Hi there, WWW"));

  // A click on the empty sheet closes the editor and hands the text back.
  click(view, onView(view, 150, 150));
  spin(20);
  EXPECT_FALSE(editor->isVisible());
  EXPECT_STREQ(first->te->text, "Hi there, WWW");
  EXPECT_GT(inkIn(shown(view), view, first), ink_before + 20);

  // A letter typed into the number changes nothing; a digit does.
  openEditorOn(view, number);
  ASSERT_TRUE(editor->isVisible());
  EXPECT_TRUE(editor->editsNumber());
  QTest::keyClick(editor, Qt::Key_End);
  QTest::keyClicks(editor, "a");
  // The number is shown with the user's decimal separator.
  const QString shown_number = QStringLiteral("2") + QChar(decimal_separator) + QStringLiteral("5");
  EXPECT_EQ(editor->toPlainText(), shown_number);
  QTest::keyClicks(editor, "1");
  EXPECT_EQ(editor->toPlainText(), shown_number + QStringLiteral("1"));
  click(view, onView(view, 150, 150));
  spin(20);
  EXPECT_EQ(std::string(number->te->text), (shown_number + QStringLiteral("1")).toStdString());

  // Edit > Copy of "there" in the first text, Edit > Paste at the end of
  // the second.
  openEditorOn(view, first);
  ASSERT_TRUE(editor->isVisible());
  int32_t range[2] = {3, 8};
  editor->sendMessage(kEditorSetSelection, 0, reinterpret_cast<LPARAM>(range));
  clickEditItem(view, "Copy");
  click(view, onView(view, 150, 150));
  spin(20);
  openEditorOn(view, second);
  ASSERT_TRUE(editor->isVisible());
  ASSERT_EQ(view->info()->cur_text, second);
  QTest::keyClick(editor, Qt::Key_End);
  clickEditItem(view, "Paste");
  EXPECT_EQ(editor->toPlainText(), QStringLiteral("Yothere"));
  click(view, onView(view, 150, 150));
  spin(20);
  EXPECT_STREQ(second->te->text, "Yothere");
  EXPECT_STREQ(first->te->text, "Hi there, WWW");
}

}  // namespace
