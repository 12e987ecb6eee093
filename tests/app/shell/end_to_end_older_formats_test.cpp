// Figures in the older formats through the application: saved with the
// older edition's file type and opened again, and an old binary figure
// opened from a file.
#include <QCheckBox>
#include <QFile>
#include <QImage>
#include <QMessageBox>
#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "app/document/kp_document.h"
#include "app/support/figure_test.h"
#include "data/files/old_binary_builder.h"
#include "kernel/files/file_dialogs.h"
#include "kernel/macros/macro_def.h"
#include "kernel/tools/tool_ids.h"
#include "platform/kp_file_accessories.h"
#include "platform/kp_files.h"
#include "platform/kp_qt_bridge.h"

namespace {

class EndToEndOlderFormats : public FigureTest {
 protected:
  void TearDown() override {
    kp_set_file_chooser({});
    KPDocument::setClosePromptResponder({});
    closeAll();
    FigureTest::TearDown();
  }

  // The view point that shows the figure point (x, y).
  static QPoint viewPoint(KPFigureView* view, double x, double y) {
    const tagPOINT origin = figurePoint(view, QPoint(0, 0));
    return QPoint(static_cast<int>(x) - origin.x, static_cast<int>(y) - origin.y);
  }
};

TEST_F(EndToEndOlderFormats, AFigureSavedInTheOlderFormatOpensAgain) {
  KPFigureView* view = openView();
  ASSERT_NE(view, nullptr);
  chooseTool(view, &classe_segment);
  click(view, QPoint(120, 140));
  click(view, QPoint(320, 220));
  chooseTool(view, &classe_cercle);
  click(view, QPoint(400, 300));
  click(view, QPoint(450, 300));
  chooseTool(view, nullptr);
  ASSERT_EQ(objectsOf(view->info(), &classe_segment).size(), 1u);
  ASSERT_EQ(objectsOf(view->info(), &classe_cercle).size(), 1u);
  const QImage before = shown(view);

  // The save panel: the older-format box of its options clicked as a user
  // does, then the name.
  const QString path = dir.filePath("older.fig");
  bool boxed = false;
  // The real save panel, with its options, answered by the chooser below.
  KPDocument::setSavePanelResponder({});
  kp_set_file_chooser([path, &boxed](const KPFileDialogRequest& request) -> std::optional<std::string> {
    EXPECT_TRUE(request.save);
    NSAccessorySaveOptions* accessory = save_accessory();
    if (accessory != nullptr)
      for (QCheckBox* box : accessory->findChildren<QCheckBox*>()) {
        int id = 0;
        if (!kp_item_id(box, &id) || id != kOptOlderFormat) continue;
        // The panel is never shown under a scripted chooser: the box is
        // clicked as its own button does.
        box->click();
        boxed = box->isChecked();
      }
    return path.toStdString();
  });
  KPDocument* doc = KPDocument::currentDocument();
  ASSERT_NE(doc, nullptr);
  ASSERT_TRUE(doc->saveDocumentAs());
  EXPECT_TRUE(boxed) << "no older-format box in the save panel";
  QFile saved(path);
  ASSERT_TRUE(saved.open(QIODevice::ReadOnly));
  EXPECT_TRUE(saved.readAll().startsWith("FIGURE KelvoDuo vers. MS-Windows 1.0\r\n"));
  saved.close();

  KPDocument::setClosePromptResponder([](const QString&) { return static_cast<int>(QMessageBox::Discard); });
  doc->close();
  spin(20);
  KPDocument* reopened = KPDocument::openDocument(path);
  ASSERT_NE(reopened, nullptr);
  ASSERT_TRUE(waitForView(reopened->figureView()));
  KPFigureView* again = reopened->figureView();
  EXPECT_EQ(objectsOf(again->info(), &classe_segment).size(), 1u);
  EXPECT_EQ(objectsOf(again->info(), &classe_cercle).size(), 1u);
  const QImage after = shown(again);
  // The segment and the circle are drawn where they were.
  EXPECT_GT(inkNear(after, QPoint(220, 180)), 0);
  EXPECT_GT(inkNear(after, QPoint(450, 300)), 0);
  EXPECT_EQ(after, before) << "the reopened figure shows other pixels";
}

// A button cannot be saved in the older format: the question says so by
// naming it, and the file opens again with the segment alone.
TEST_F(EndToEndOlderFormats, TheQuestionNamesTheButtonTheOlderFormatLeavesOut) {
  KPFigureView* view = openView();
  ASSERT_NE(view, nullptr);
  segment(view, QPoint(100, 300), QPoint(300, 300));
  pickFromPalette(&classe_button);
  click(view, QPoint(350, 100));
  click(view, QPoint(450, 130));
  QTest::keyClicks(QApplication::focusWidget(), "Seg");
  spin(10);
  click(view, QPoint(200, 300));
  pickFromPalette(kPointerTool);
  ASSERT_EQ(objectsOf(view->info(), &classe_button).size(), 1u);

  const QString path = dir.filePath("button.fig");
  KPDocument::setSavePanelResponder({});
  kp_set_file_chooser([path](const KPFileDialogRequest&) -> std::optional<std::string> {
    if (NSAccessorySaveOptions* accessory = save_accessory())
      for (QCheckBox* box : accessory->findChildren<QCheckBox*>()) {
        int id = 0;
        if (kp_item_id(box, &id) && id == kOptOlderFormat) box->click();
      }
    return path.toStdString();
  });
  messages().clear();
  KPDocument* doc = KPDocument::currentDocument();
  ASSERT_TRUE(doc->saveDocumentAs());
  kp_set_file_chooser({});
  ASSERT_EQ(messages().size(), 1);
  const std::string m = messages()[0].toStdString();
  EXPECT_EQ(m.rfind("Some objects cannot be saved in this format", 0), 0u) << m;
  EXPECT_NE(m.find("\nSeg => Button"), std::string::npos) << m;
  EXPECT_EQ(objectsOf(view->info(), &classe_button).size(), 1u) << "the figure keeps its button";

  KPDocument::setClosePromptResponder([](const QString&) { return static_cast<int>(QMessageBox::Discard); });
  doc->close();
  spin(20);
  KPDocument* reopened = KPDocument::openDocument(path);
  ASSERT_NE(reopened, nullptr);
  ASSERT_TRUE(waitForView(reopened->figureView()));
  EXPECT_EQ(objectsOf(reopened->figureView()->info(), &classe_segment).size(), 1u);
  EXPECT_TRUE(objectsOf(reopened->figureView()->info(), &classe_button).empty());
}

// The older edition measured its texts narrower: a comment saved in its
// format opens again in a box a twentieth wider.
TEST_F(EndToEndOlderFormats, ACommentOpensAgainInABoxATwentiethWider) {
  KPFigureView* view = openView();
  ASSERT_NE(view, nullptr);
  pickFromPalette(&classe_text);
  drag(view, QPoint(120, 100), QPoint(300, 150));
  QTest::keyClicks(view->textEditor(), "Older");
  pickFromPalette(kPointerTool);
  spin(20);
  const std::vector<object*> texts = objectsOf(view->info(), &classe_text);
  ASSERT_EQ(texts.size(), 1u);
  ASSERT_EQ(texts[0]->te->size.w, 180);
  const te_point at = texts[0]->te->pos;

  const QString path = dir.filePath("comment.fig");
  KPDocument::setSavePanelResponder({});
  kp_set_file_chooser([path](const KPFileDialogRequest&) -> std::optional<std::string> {
    if (NSAccessorySaveOptions* accessory = save_accessory())
      for (QCheckBox* box : accessory->findChildren<QCheckBox*>()) {
        int id = 0;
        if (kp_item_id(box, &id) && id == kOptOlderFormat) box->click();
      }
    return path.toStdString();
  });
  KPDocument* doc = KPDocument::currentDocument();
  ASSERT_TRUE(doc->saveDocumentAs());
  kp_set_file_chooser({});
  KPDocument::setClosePromptResponder([](const QString&) { return static_cast<int>(QMessageBox::Discard); });
  doc->close();
  spin(20);

  KPDocument* reopened = KPDocument::openDocument(path);
  ASSERT_NE(reopened, nullptr);
  ASSERT_TRUE(waitForView(reopened->figureView()));
  KPFigureView* again = reopened->figureView();
  const std::vector<object*> read = objectsOf(again->info(), &classe_text);
  ASSERT_EQ(read.size(), 1u);
  EXPECT_STREQ(read[0]->te->text, "Older");
  EXPECT_EQ(read[0]->te->size.w, 189);  // 180 * 1.05
  EXPECT_EQ(read[0]->te->pos.x, at.x);
  EXPECT_EQ(read[0]->te->pos.y, at.y);
  // The box the view shows, from its left edge to its right one.
  const QRect frame = frameOf(again, read[0]);
  EXPECT_EQ(frame.right() - frame.left(), 189);
}

// A macro file of the first MacOS edition: no icon but a list of initials,
// its help under a French keyword, and a text showing a number given as the
// text's parent. Opened, it is a tool; applied to two points, its text
// shows half their distance where
// the third click puts it.
TEST_F(EndToEndOlderFormats, AnOlderMacroOpensAsAToolWhoseTextShowsItsNumber) {
  const std::string mac =
      "MACRO KelvoDuo vers. MacOS 1.0\r\nHalf, no name\r\nlettrine list 2\r\nAide:\r\n\"La moitie\"\r\n"
      "Mth: 0\r\nCN:2, ON:3, FN:1, PO:2\r\nCT:\r\n"
      "point, CS 0, R, W, t, DS:1 1, GT:1, V, nSt\r\npoint, CS 0, R, W, t, DS:1 1, GT:1, V, nSt\r\nConst:\r\n"
      "Lgth, Mth:1, 0, 0, CN:2, VN:1, Const: 1 2\r\n"
      "Formula, Mth:0, 0, 0, CN:1, VN:1, Const: 3, formula: a/2\r\n"
      "Text, Mth:0, 1, 0, CN:1, VN:1, Const: 4, B, W, BTh:0, DS:1 1, GT:0, V, nSt\r\n";
  const QString path = dir.filePath("half.mac");
  {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(mac.data(), static_cast<qint64>(mac.size()));
  }
  KPFigureView* view = openView();
  ASSERT_NE(view, nullptr);
  messages().clear();
  KPDocument::setOpenPanelResponder([path](const QString&) { return path; });
  const bool clicked = clickMenuItem(menuBarOf(view), "File", "Open");
  KPDocument::setOpenPanelResponder({});
  ASSERT_TRUE(clicked);
  spin(50);
  EXPECT_TRUE(messages().isEmpty()) << messages().join('\n').toStdString();
  construct_class* half = find_class_by_name("Half", 0);
  ASSERT_NE(half, nullptr);
  ASSERT_NE(half->help_text, nullptr);
  EXPECT_STREQ(half->help_text, "La moitie");
  const uint32_t tool = find_tool_id_by_name("Half");
  ASSERT_NE(tool, 0u);

  pickFromPalette(&classe_point);
  click(view, QPoint(100, 300));
  click(view, QPoint(300, 300));
  pickFromPalette(tool);
  ASSERT_EQ(current_class, half);
  click(view, QPoint(100, 300));
  click(view, QPoint(300, 300));
  // A third click places the text.
  click(view, QPoint(200, 200));
  pickFromPalette(kPointerTool);
  const std::vector<object*> texts = objectsOf(view->info(), &classe_text);
  ASSERT_EQ(texts.size(), 1u);
  ASSERT_NE(texts[0]->inserted, nullptr) << "the text shows no number";
  EXPECT_EQ(texts[0]->inserted->obj->classe, &classe_calculate);
  EXPECT_STREQ(texts[0]->te->text, "$1$");
  const QImage image = shown(view);
  int ink = 0;
  const QRect frame = frameOf(view, texts[0]);
  for (int y = frame.top() + 2; y < frame.bottom() - 2; ++y)
    for (int x = frame.left() + 2; x < frame.right() - 2; ++x)
      if (image.rect().contains(x, y) && image.pixelColor(x, y) != image.pixelColor(2, 2)) ++ink;
  EXPECT_GT(ink, 20) << "the text is empty";
}

TEST_F(EndToEndOlderFormats, AnOldBinaryFigureOpensDrawn) {
  old_files::Record a, b, seg;
  a.points[0] = {40, 40, 0};
  b.points[0] = {100, 40, 0};
  seg.kind = 3;
  seg.refs[0] = 1;
  seg.refs[1] = 2;
  seg.color = 1;
  seg.thick = true;
  const std::string bytes = old_files::figure_v2({a, b, seg});
  const QString path = dir.filePath("old.fig");
  QFile file(path);
  ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  file.write(bytes.data(), static_cast<qint64>(bytes.size()));
  file.close();

  KPDocument* doc = KPDocument::openDocument(path);
  ASSERT_NE(doc, nullptr);
  ASSERT_TRUE(waitForView(doc->figureView()));
  KPFigureView* view = doc->figureView();
  const auto segments = objectsOf(view->info(), &classe_segment);
  ASSERT_EQ(segments.size(), 1u);
  const QImage image = shown(view);
  // Scale 3: the segment runs from (120, 120) to (300, 120) in the figure.
  const QPoint middle = viewPoint(view, 210, 120);
  ASSERT_TRUE(image.rect().contains(middle));
  EXPECT_GT(inkNear(image, middle), 0);
  // In red.
  bool red = false;
  for (int dy = -2; dy <= 2 && !red; ++dy) {
    const QColor c = image.pixelColor(middle + QPoint(0, dy));
    red = c.red() > 200 && c.green() < 80 && c.blue() < 80;
  }
  EXPECT_TRUE(red);
}

}  // namespace
