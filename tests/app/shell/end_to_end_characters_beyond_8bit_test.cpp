// End to end: a comment holding characters the 8-bit figure file has no
// byte for (an angle sign typed, an arrow pasted) shows them again once the
// figure is saved and opened, and the reopened figure saves the same bytes.
#include <QApplication>
#include <QClipboard>
#include <QFile>
#include <QKeyEvent>
#include <QMenuBar>
#include <QTest>
#include <QTextDocument>

#include <string>

#include "app/kernel_iface/kp_geo_document.h"
#include "app/shell/figure_window.h"
#include "app/support/figure_test.h"
#include "kernel/text/text_record.h"
#include "platform/ns_kelvo_text_view.h"

namespace {

class EndToEndCharactersBeyond8Bit : public FigureTest {
 protected:
  void TearDown() override {
    closeAll();
    FigureTest::TearDown();
  }
  // The text a comment shows, as the view lays it out.
  static QString shownText(const object* o) {
    const QTextDocument* doc = o && o->te ? kp_text_document(o->te->display_string) : nullptr;
    return doc ? doc->toPlainText() : QString();
  }
  static QImage frameImage(KPFigureView* view, const object* o) {
    return shown(view).copy(frameOf(view, o));
  }
  // Typed key by key; a character no key of the test's keyboard has comes
  // as the keyboard sends it, a key event carrying the character.
  static void type(QWidget* widget, const QString& text) {
    for (const QChar c : text) {
      if (c.unicode() < 0x80) {
        QTest::keyClick(widget, c.toLatin1());
        continue;
      }
      QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QString(c));
      QKeyEvent release(QEvent::KeyRelease, Qt::Key_unknown, Qt::NoModifier, QString(c));
      QApplication::sendEvent(widget, &press);
      QApplication::sendEvent(widget, &release);
    }
  }
  static QByteArray bytesOf(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
  }
  static void save(const QString& path) {
    KPDocument::setSavePanelResponder([path](const QString&) { return path; });
    ASSERT_TRUE(clickMenuItem(KPDocument::currentDocument()->figureWindow()->menuBar(), QStringLiteral("File"),
                              QStringLiteral("Save As")));
    spin(20);
    KPDocument::setSavePanelResponder({});
  }
};

TEST_F(EndToEndCharactersBeyond8Bit, ACommentKeepsItsAngleSignAndArrowThroughSaveAndReopen) {
  KPFigureView* view = openView();
  ASSERT_NE(view, nullptr);
  object* length = measuredSegment(view);
  ASSERT_NE(length, nullptr);
  object* shown_length = textShowing(view->info(), length);
  ASSERT_NE(shown_length, nullptr);

  // Typed with the Comments tool: an angle sign, a measure clicked in the
  // middle, then an arrow pasted from the clipboard.
  pickFromPalette(&classe_text);
  click(view, QPoint(350, 80));
  QWidget* editor = QApplication::focusWidget();
  ASSERT_NE(editor, nullptr);
  type(editor, QStringLiteral("\u2220ABC, d = "));
  click(view, frameCentre(view, shown_length));
  spin(20);
  editor = QApplication::focusWidget();
  ASSERT_NE(editor, nullptr);
  QApplication::clipboard()->setText(QStringLiteral(" \u2192 \u00e9t\u00e9"));
  QTest::keyClick(editor, Qt::Key_V, Qt::ControlModifier);
  pickFromPalette(kPointerTool);
  object* comment = textShowing(view->info(), length, shown_length);
  ASSERT_NE(comment, nullptr);
  const QString wanted = QStringLiteral("\u2220ABC, d = ");
  const QString written = shownText(comment);
  ASSERT_TRUE(written.startsWith(wanted)) << written.toStdString();
  ASSERT_TRUE(written.endsWith(QStringLiteral(" \u2192 \u00e9t\u00e9"))) << written.toStdString();
  // The 8-bit text holds what Mac Roman has: the accents, and '?' for the
  // others.
  EXPECT_STREQ(comment->te->text, "?ABC, d = $1$ ? \x8et\x8e");
  const QImage before = frameImage(view, comment);

  const QString path = dir.filePath(QStringLiteral("angle.fig"));
  save(path);
  const QByteArray saved = bytesOf(path);
  ASSERT_FALSE(saved.isEmpty());
  EXPECT_TRUE(saved.contains("\\u8736?ABC")) << saved.constData();
  EXPECT_TRUE(saved.contains("\\u8594?")) << saved.constData();

  closeAll();
  KPDocument* reopened = KPDocument::openDocument(path);
  KPFigureView* again = reopened ? reopened->figureView() : nullptr;
  ASSERT_TRUE(again && waitForView(again));
  const auto lengths = objectsOf(again->info(), &classe_length);
  ASSERT_EQ(lengths.size(), 1u);
  object* read_length = textShowing(again->info(), lengths[0]);
  object* read_comment = textShowing(again->info(), lengths[0], read_length);
  if (read_length && shownText(read_length).startsWith(wanted)) std::swap(read_length, read_comment);
  ASSERT_NE(read_comment, nullptr) << saved.constData();
  EXPECT_EQ(shownText(read_comment), written);
  EXPECT_TRUE(frameImage(again, read_comment) == before) << "the reopened comment is not shown as it was";

  // Unchanged, it saves the same bytes.
  const QString again_path = dir.filePath(QStringLiteral("angle-again.fig"));
  save(again_path);
  EXPECT_EQ(bytesOf(again_path), saved);
}

}  // namespace
