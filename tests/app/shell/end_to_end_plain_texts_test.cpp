// End to end: a figure of plain texts, a number and a measure, saved and
// opened again, shows them without making a document for any of them, and
// exactly as the same strings drawn as documents; a text edited in place
// then shows and saves its new text.
#include <QFile>
#include <QMenuBar>
#include <QTest>

#include <string>
#include <vector>

#include "app/kernel_iface/kp_geo_document.h"
#include "app/shell/figure_window.h"
#include "app/support/figure_test.h"
#include "kernel/render/fonts.h"
#include "kernel/text/text_record.h"
#include "platform/ns_kelvo_text_editor.h"
#include "platform/ns_kelvo_text_view.h"

namespace {

class EndToEndPlainTexts : public FigureTest {
 protected:
  // The part of the view's picture an object's frame covers.
  static QRect frameOf(KPFigureView* view, const object* o) {
    tagPOINT corner{o->te->pos.x, o->te->pos.y};
    view->localToGlobalDDM(&corner);
    return QRect(corner.x, corner.y, o->te->size.w, o->te->size.h);
  }
  static int inkIn(const QImage& image, const QRect& r) {
    const QColor background = image.pixelColor(2, 2);
    int count = 0;
    for (int y = r.top() + 1; y < r.bottom(); ++y)
      for (int x = r.left() + 1; x < r.right(); ++x)
        if (image.rect().contains(x, y) && image.pixelColor(x, y) != background) ++count;
    return count;
  }
  // The objects' strings made documents: the next painting draws them as
  // documents.
  static void asDocuments(const std::vector<object*>& objects) {
    for (object* o : objects) {
      kp_text_document(o->te->stored_string);
      kp_text_document(o->te->display_string);
    }
  }
  // Opens the figure saved at `path` in a new window.
  KPFigureView* reopen(const QString& path) {
    closeAll();
    KPDocument* doc = KPDocument::openDocument(path);
    KPFigureView* view = doc ? doc->figureView() : nullptr;
    EXPECT_TRUE(view && waitForView(view));
    return view;
  }
  void save(const QString& path) {
    KPDocument::setSavePanelResponder([path](const QString&) { return path; });
    ASSERT_TRUE(clickMenuItem(KPDocument::currentDocument()->figureWindow()->menuBar(), QStringLiteral("File"),
                              QStringLiteral("Save")));
    spin(20);
    ASSERT_TRUE(QFile::exists(path));
  }
};

TEST_F(EndToEndPlainTexts, PlainTextsAreDrawnAsDocumentsWouldBeAndEditAndSave) {
  const QString path = dir.filePath(QStringLiteral("plain.fig"));
  {
    KPFigureView* view = openView();
    ASSERT_NE(view, nullptr);
    ASSERT_NE(measuredSegment(view), nullptr);
    kelvo_win_info* fig = view->info();
    object* comment = makeTextLike(fig, &classe_text, "A plain comment");
    ASSERT_NE(comment, nullptr);
    comment->te->pos = te_point{-250, -150};
    comment->te->size = te_size{240, 40};
    comment->te->format.font_id = font_id_by_name_or_create("Times", 18);
    comment->te->format.size = 18;
    comment->te->format.style = 2;
    comment->te->format.color = 0x0000C0;
    comment->te->regen_pending = 1;
    object* number = makeTextLike(fig, &classe_nombre, "12.5");
    ASSERT_NE(number, nullptr);
    number->te->pos = te_point{60, -150};
    number->te->format.style = 1;
    number->te->format.color = 0xB00000;
    number->te->regen_pending = 1;
    save(path);
  }

  KPFigureView* view = reopen(path);
  ASSERT_NE(view, nullptr);
  const auto comments = objectsOf(view->info(), &classe_text);
  const auto numbers = objectsOf(view->info(), &classe_nombre);
  const auto lengths = objectsOf(view->info(), &classe_length);
  ASSERT_EQ(numbers.size(), 1u);
  ASSERT_EQ(lengths.size(), 1u);
  object* comment = nullptr;
  for (object* o : comments)
    if (o->te && o->te->text && std::string(o->te->text) == "A plain comment") comment = o;
  ASSERT_NE(comment, nullptr);
  const std::vector<object*> plain = {comment, numbers[0], lengths[0]};

  const QImage opened = shown(view);
  for (object* o : plain) {
    SCOPED_TRACE(o->te->text);
    EXPECT_TRUE(kp_text_string_is_plain(o->te->stored_string)) << "a document was made for a plain text";
    EXPECT_TRUE(kp_text_string_is_plain(o->te->display_string)) << "a document was made for a plain text";
    EXPECT_GT(inkIn(opened, frameOf(view, o)), 20) << "nothing drawn in the frame";
  }
  asDocuments(plain);
  const QImage as_documents = shown(view);
  EXPECT_FALSE(kp_text_string_is_plain(comment->te->display_string));
  EXPECT_TRUE(opened == as_documents) << "plain texts are not drawn as their documents";

  // The comment edited in place: two clicks open the editor, a click on
  // the empty sheet hands the text back.
  const int ink_before = inkIn(as_documents, frameOf(view, comment));
  chooseTool(view, nullptr);
  const QPoint inside = frameOf(view, comment).topLeft() + QPoint(20, comment->te->size.h / 2);
  click(view, inside);
  spin(20);
  click(view, inside);
  spin(20);
  NSKelvoTextEditor* editor = view->textEditor();
  ASSERT_NE(editor, nullptr);
  ASSERT_TRUE(editor->isVisible());
  QTest::keyClick(editor, Qt::Key_End);
  QTest::keyClicks(editor, " edited");
  tagPOINT empty{150, 150};
  view->localToGlobalDDM(&empty);
  click(view, QPoint(empty.x, empty.y));
  spin(20);
  ASSERT_FALSE(editor->isVisible());
  EXPECT_STREQ(comment->te->text, "A plain comment edited");
  EXPECT_TRUE(kp_text_string_is_plain(comment->te->stored_string)) << "the edited text keeps its document";
  const QImage edited = shown(view);
  EXPECT_GT(inkIn(edited, frameOf(view, comment)), ink_before + 20) << "the new words are not shown";
  asDocuments({comment});
  EXPECT_TRUE(shown(view) == edited) << "the edited text is not drawn as its document";

  save(path);
  view = reopen(path);
  ASSERT_NE(view, nullptr);
  object* read = nullptr;
  for (object* o : objectsOf(view->info(), &classe_text))
    if (o->te && o->te->text && std::string(o->te->text) == "A plain comment edited") read = o;
  ASSERT_NE(read, nullptr) << "the edit was not saved";
  const QImage reread = shown(view);
  EXPECT_TRUE(kp_text_string_is_plain(read->te->display_string));
  EXPECT_GT(inkIn(reread, frameOf(view, read)), ink_before + 20);
}

}  // namespace
