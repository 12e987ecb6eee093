// End to end: while a comment is being written with the Comments tool, a
// click on a measure puts the measure into the comment at the caret, live:
// typing goes on after it, and dragging the measured segment changes what
// the comment shows.
#include <QFile>
#include <QMenuBar>
#include <QTextDocument>

#include <string>

#include "app/kernel_iface/kp_geo_document.h"
#include "app/shell/figure_window.h"
#include "app/support/figure_test.h"
#include "kernel/text/text_record.h"
#include "platform/ns_kelvo_text_view.h"

namespace {

class EndToEndLiveMeasureInComment : public FigureTest {
 protected:
  // What the view shows inside an object's text frame, drawn anew.
  static QImage frameImage(KPFigureView* view, const object* o) {
    tagPOINT a{o->te->pos.x, o->te->pos.y};
    view->localToGlobalDDM(&a);
    return shown(view).copy(a.x, a.y, o->te->size.w, o->te->size.h);
  }

  // The text a comment shows, as the view lays it out.
  static QString shownText(const object* o) {
    const QTextDocument* doc = o && o->te ? kp_text_document(o->te->display_string) : nullptr;
    return doc ? doc->toPlainText() : QString();
  }
};

TEST_F(EndToEndLiveMeasureInComment, AMeasureClickedWhileWritingGoesIntoTheCommentLive) {
  KPFigureView* view = openView();
  ASSERT_NE(view, nullptr);
  object* length = measuredSegment(view);
  ASSERT_NE(length, nullptr);
  object* shown_length = textShowing(view->info(), length);
  ASSERT_NE(shown_length, nullptr);

  // A comment written with the Comments tool, the measure clicked in the
  // middle of the typing.
  pickFromPalette(&classe_text);
  drag(view, QPoint(350, 80), QPoint(550, 120));
  const auto before = objectsOf(view->info(), &classe_text);
  object* comment = nullptr;
  for (object* o : before)
    if (o != shown_length) comment = o;
  ASSERT_NE(comment, nullptr);
  QWidget* editor = QApplication::focusWidget();
  ASSERT_NE(editor, nullptr);
  QTest::keyClicks(editor, "L = ");
  click(view, frameCentre(view, shown_length));
  spin(20);
  EXPECT_EQ(view->info()->cur_text, comment) << "the click left the comment";
  editor = QApplication::focusWidget();
  ASSERT_NE(editor, nullptr);
  QTest::keyClicks(editor, " long");
  pickFromPalette(kPointerTool);

  ASSERT_NE(comment->te, nullptr);
  ASSERT_NE(comment->te->text, nullptr);
  EXPECT_EQ(std::string(comment->te->text), "L = $1$ long") << "the measure is not in the comment";
  EXPECT_EQ(textShowing(view->info(), length, shown_length), comment);
  EXPECT_EQ(objectsOf(view->info(), &classe_text).size(), 2u);

  // Live: the comment shows the new length once the segment is longer.
  const QImage was = frameImage(view, comment);
  drag(view, QPoint(300, 300), QPoint(520, 300));
  EXPECT_TRUE(frameImage(view, comment) != was) << "the comment still shows the old length";
}

// A comment quoting an area keeps the unit's exponent once the figure is
// saved and opened again: the comment shows "cm²" as the measure does.
TEST_F(EndToEndLiveMeasureInComment, AQuotedAreaKeepsItsExponentThroughSaveAndReopen) {
  KPFigureView* view = openSegmentAndCircle(144);
  ASSERT_NE(view, nullptr);
  pickFromPalette(&classe_aire);
  click(view, QPoint(160, 364));
  const auto areas = objectsOf(view->info(), &classe_aire);
  ASSERT_EQ(areas.size(), 1u);
  object* shown_area = textShowing(view->info(), areas[0]);
  ASSERT_NE(shown_area, nullptr);

  pickFromPalette(&classe_text);
  click(view, QPoint(350, 80));
  QWidget* editor = QApplication::focusWidget();
  ASSERT_NE(editor, nullptr);
  QTest::keyClicks(editor, "Area is ");
  click(view, frameCentre(view, shown_area));
  spin(20);
  pickFromPalette(kPointerTool);
  object* comment = textShowing(view->info(), areas[0], shown_area);
  ASSERT_NE(comment, nullptr) << "the area is not in the comment";
  EXPECT_TRUE(shownText(comment).contains(QStringLiteral("cm\u00B2"))) << shownText(comment).toStdString();

  const QImage before = frameImage(view, comment);
  const QString path = dir.filePath(QStringLiteral("area.fig"));
  KPDocument::setSavePanelResponder([path](const QString&) { return path; });
  ASSERT_TRUE(clickMenuItem(KPDocument::currentDocument()->figureWindow()->menuBar(), QStringLiteral("File"),
                            QStringLiteral("Save")));
  spin(20);
  QFile file(path);
  ASSERT_TRUE(file.open(QIODevice::ReadOnly));
  const QByteArray saved = file.readAll();
  closeAll();
  KPDocument* reopened = KPDocument::openDocument(path);
  KPFigureView* again = reopened ? reopened->figureView() : nullptr;
  ASSERT_TRUE(again && waitForView(again));
  shown(again);

  const auto read_areas = objectsOf(again->info(), &classe_aire);
  ASSERT_EQ(read_areas.size(), 1u) << saved.constData();
  object* read_area = textShowing(again->info(), read_areas[0]);
  ASSERT_NE(read_area, nullptr) << saved.constData();
  object* read_comment = textShowing(again->info(), read_areas[0], read_area);
  ASSERT_NE(read_comment, nullptr) << saved.constData();
  if (shownText(read_area).startsWith(QStringLiteral("Area is "))) std::swap(read_area, read_comment);
  const QImage after = frameImage(again, read_comment);
  EXPECT_TRUE(shownText(read_area).contains(QStringLiteral("cm\u00B2"))) << shownText(read_area).toStdString();
  EXPECT_TRUE(shownText(read_comment).startsWith(QStringLiteral("Area is "))) << shownText(read_comment).toStdString();
  EXPECT_TRUE(shownText(read_comment).contains(QStringLiteral("cm\u00B2")))
      << shownText(read_comment).toStdString() << "\n" << saved.constData();
  EXPECT_TRUE(after == before) << "the reopened comment is not shown as it was";
}

}  // namespace
