// What the window shows reaches the file whole, and a file the reader cannot
// take whole still opens: the tools leave nothing half built behind, and the
// figure read keeps what it can.
#include <QComboBox>
#include <QFile>
#include <QPushButton>
#include <QMenuBar>
#include <QTest>
#include <gtest/gtest.h>

#include <string>

#include "app/kernel_iface/kp_geo_document.h"
#include "app/macros/macro_def_window.h"
#include "app/shell/figure_window.h"
#include "app/support/figure_test.h"
#include "kernel/model/classes.h"
#include "kernel/model/figure.h"
#include "kernel/tools/tool_dispatch.h"
#include "kernel/tools/tool_ids.h"
#include "kernel/tools/tool_state.h"
#include "kernel/tools/toolbox.h"

namespace {

class FileIntegrity : public FigureTest {
 protected:
  static QByteArray readAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
  }
  static void key(KPFigureView* view, Qt::Key k) {
    QTest::keyClick(view, k);
    spin(10);
  }
};

}  // namespace

// Edit > Undo while the angle tool has a point picked ends the tool first,
// so that the clicks after it build no angle from what the undo took away,
// and Escape leaves nothing half built for Save to write.
TEST_F(FileIntegrity, AnAngleAbandonedAfterAnUndoLeavesNothingInTheFile) {
  KPFigureView* view = openView();
  ASSERT_NE(view, nullptr);
  KPDocument* doc = KPDocument::currentDocument();
  const QPoint a(150, 250), c(300, 250), b(250, 120);
  pickFromPalette(&classe_point);
  for (QPoint p : {a, c, b}) click(view, p);
  pickFromPalette(&classe_angle);
  ASSERT_EQ(current_class, &classe_angle);
  for (QPoint p : {a, c, b}) click(view, p);
  ASSERT_EQ(objectsOf(view->info(), &classe_angle).size(), 1u);
  click(view, QPoint(420, 330));  // a new point, picked for the next angle
  ASSERT_TRUE(clickMenuItem(doc->figureWindow()->menuBar(), QStringLiteral("Edit"), QStringLiteral("Undo")));
  spin(20);
  for (QPoint p : {a, c, b}) click(view, p);
  key(view, Qt::Key_Escape);
  for (object* o : objectsOf(view->info(), &classe_angle)) EXPECT_EQ(o->nbparents, 3);

  const QString path = dir.filePath(QStringLiteral("angle.fig"));
  KPDocument::setSavePanelResponder([path](const QString&) { return path; });
  ASSERT_TRUE(clickMenuItem(doc->figureWindow()->menuBar(), QStringLiteral("File"), QStringLiteral("Save")));
  spin(20);
  const QByteArray saved = readAll(path);
  ASSERT_FALSE(saved.isEmpty());
  const size_t angles = objectsOf(view->info(), &classe_angle).size();
  EXPECT_EQ(saved.count("Angle, Const:"), static_cast<qsizetype>(angles)) << saved.constData();
  closeAll();
  messages().clear();
  KPDocument* reopened = KPDocument::openDocument(path);
  ASSERT_NE(reopened, nullptr);
  ASSERT_TRUE(waitForView(reopened->figureView()));
  EXPECT_TRUE(messages().isEmpty()) << messages().join('\n').toStdString();
  EXPECT_EQ(objectsOf(reopened->figureView()->info(), &classe_angle).size(), angles);
  // The origin and A, C, B: the point made for the abandoned angle is gone.
  EXPECT_EQ(objectsOf(reopened->figureView()->info(), &classe_point).size(), 4u);
}

// A file holding a record the reader cannot use opens with everything else,
// names what was left out, and is a new figure: Save asks for a name and
// the file stays as it was.
TEST_F(FileIntegrity, AFileWithARecordThatCannotBeBuiltOpensWithTheRestAsANewFigure) {
  const QString path = dir.filePath(QStringLiteral("broken.fig"));
  const QByteArray text(
      "Figure Kelvo Nova vers. MS-Windows (MAC 1.40)\r\n\r\n"
      "Window center x: 0.00cm y: -0.00cm Window size x: 18.65cm y: 12.70cm\r\nResolution: 40 ppc\r\n\r\n"
      "1: Pt, Val: 0 -0\r\ninvisible, \r\n\r\n2: Axes, Const: 1, cart, Val: 1 -0 0 1\r\ninvisible, \r\n\r\n"
      "3: Pt, Val: -5.575 0.1\r\n\r\n4: Pt, Val: -1.825 0.1\r\n\r\n5: Pt, Val: -3.075 3.35\r\n\r\n"
      "6: Angle, Const: 3,  5, Val: 1 1\r\n\r\n7: Seg, Const: 3,  4, \r\n\r\n");
  {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(text);
  }
  app()->openLaunchArguments({path});
  spin(50);
  ASSERT_EQ(KPDocument::liveDocuments().size(), 1u);
  KPDocument* doc = KPDocument::liveDocuments().front();
  ASSERT_TRUE(waitForView(doc->figureView()));
  ASSERT_EQ(messages().size(), 1);
  EXPECT_TRUE(messages()[0].contains(QStringLiteral("6: no method of Angle takes these parents")))
      << messages()[0].toStdString();
  // The message is the language file's, its list on lines of its own.
  EXPECT_TRUE(messages()[0].startsWith(QStringLiteral("Some objects of the figure cannot be read and were left out:\n")))
      << messages()[0].toStdString();
  kelvo_win_info* fig = doc->figureView()->info();
  EXPECT_EQ(objectsOf(fig, &classe_point).size(), 4u);
  EXPECT_EQ(objectsOf(fig, &classe_segment).size(), 1u);
  EXPECT_TRUE(objectsOf(fig, &classe_angle).empty());
  EXPECT_NE(doc->figureWindow()->windowTitle(), QStringLiteral("broken.fig"));
  EXPECT_FALSE(doc->figureWindow()->windowTitle().startsWith(QStringLiteral("broken")));

  // Save asks where: the answer is another file, and the broken one stays.
  int asked = 0;
  const QString other = dir.filePath(QStringLiteral("kept.fig"));
  KPDocument::setSavePanelResponder([&asked, other](const QString&) {
    ++asked;
    return other;
  });
  ASSERT_TRUE(clickMenuItem(doc->figureWindow()->menuBar(), QStringLiteral("File"), QStringLiteral("Save")));
  spin(20);
  KPDocument::setSavePanelResponder([other](const QString&) { return other; });
  EXPECT_EQ(asked, 1);
  EXPECT_EQ(readAll(path), text);
  const QByteArray kept = readAll(other);
  EXPECT_TRUE(kept.contains("Seg, Const:")) << kept.constData();
  EXPECT_FALSE(kept.contains("Angle")) << kept.constData();
}

// A macro whose final circle is centred on the crossing of two bisectors:
// applied, it makes an intersection of its own, and the first drag after it
// keeps an undo copy like any other.
TEST_F(FileIntegrity, TheFirstDragAfterAMacroKeepsItsUndoCopy) {
  KPFigureView* view = openView();
  ASSERT_NE(view, nullptr);
  const QPoint a(150, 250), b(350, 250), c(250, 120);
  pickFromPalette(&classe_point);
  for (QPoint p : {a, b, c}) click(view, p);
  pickFromPalette(&classe_mediatrice);
  for (QPoint p : {a, b, b, c}) click(view, p);
  const QPoint centre(250, 223);
  pickFromPalette(&classe_point);
  click(view, centre);
  pickFromPalette(&classe_cercle);
  click(view, centre);
  click(view, a);
  ASSERT_EQ(objectsOf(view->info(), &classe_cercle).size(), 1u);
  pickFromPalette(find_tool_id_by_name(toolbar_table[ROW_INITIAL_OBJECT - 1].name));
  for (QPoint p : {a, b, c}) click(view, p);
  pickFromPalette(find_tool_id_by_name(toolbar_table[ROW_FINAL_OBJECT - 1].name));
  click(view, QPoint(353, 223));
  KPMacroDefWindow::setScript([](KPMacroDefWindow* w) {
    w->nameBox()->setEditText(QStringLiteral("CircumUndo"));
    QTest::mouseClick(w->okButton(), Qt::LeftButton);
  });
  pickFromPalette(find_tool_id_by_name(toolbar_table[ROW_DEFINE_MACRO - 1].name));
  spin(20);
  KPMacroDefWindow::setScript(nullptr);
  construct_class* circum = find_class_by_name("CircumUndo", 0);
  ASSERT_NE(circum, nullptr);

  KPFigureView* second = openView();
  ASSERT_NE(second, nullptr);
  const QPoint p(100, 300), q(300, 300), r(200, 200);
  pickFromPalette(&classe_point);
  for (QPoint at : {p, q, r}) click(second, at);
  pickFromPalette(circum);
  for (QPoint at : {p, q, r}) click(second, at);
  ASSERT_EQ(objectsOf(second->info(), &classe_cercle).size(), 1u);
  messages().clear();
  pickFromPalette(kPointerTool);
  object* moved = objectsOf(second->info(), &classe_point).back();
  const double before = moved->valeurs[0].v;
  drag(second, r, r + QPoint(0, -40));
  EXPECT_TRUE(messages().isEmpty()) << messages().join('\n').toStdString();
  moved = objectsOf(second->info(), &classe_point).back();
  EXPECT_NEAR(moved->valeurs[0].v, before - 40, 1.5);
  // The copy taken before the drag brings the figure back.
  KPDocument* doc = KPDocument::currentDocument();
  ASSERT_TRUE(clickMenuItem(doc->figureWindow()->menuBar(), QStringLiteral("Edit"), QStringLiteral("Undo")));
  spin(20);
  moved = objectsOf(second->info(), &classe_point).back();
  EXPECT_NEAR(moved->valeurs[0].v, before, 1e-6);
  EXPECT_EQ(objectsOf(second->info(), &classe_cercle).size(), 1u);
}
