// What the window shows is what the file keeps: texts placed on a curve and
// labels come back from a saved figure where the user left them.
#include <QFile>
#include <QMenuBar>
#include <QTest>
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <algorithm>
#include <string>

#include "app/kernel_iface/kp_geo_document.h"
#include "app/shell/figure_window.h"
#include "app/support/figure_test.h"
#include "app/view/kp_figure_view.h"
#include "platform/ns_kelvo_text_editor.h"
#include "kernel/model/classes.h"
#include "kernel/model/figure.h"
#include "kernel/text/text_record.h"
#include "kernel/tools/tool_ids.h"
#include "kernel/prefs/default_attrs.h"
#include "kernel/tools/tool_state.h"

namespace {

class SavedPlaces : public FigureTest {
 protected:
  static constexpr QPoint kEllipsePoints[5] = {{200, 150}, {320, 120}, {420, 200}, {330, 300}, {210, 260}};

  // A new figure with five points clicked and the conic through them.
  void openEllipse(KPFigureView** opened, object** conic) {
    KPFigureView* view = openView();
    ASSERT_NE(view, nullptr);
    *opened = view;
    pickFromPalette(&classe_point);
    for (QPoint p : kEllipsePoints) click(view, p);
    pickFromPalette(&classe_conic);
    for (QPoint p : kEllipsePoints) click(view, p);
    const auto conics = objectsOf(view->info(), &classe_conic);
    ASSERT_EQ(conics.size(), 1u);
    *conic = conics[0];
  }

  // File > Save as a user saves, then the figure closed and opened again.
  KPFigureView* saveAndReopen(KPDocument* doc, const QString& name, QByteArray* saved) {
    const QString path = dir.filePath(name);
    KPDocument::setSavePanelResponder([path](const QString&) { return path; });
    if (!clickMenuItem(doc->figureWindow()->menuBar(), QStringLiteral("File"), QStringLiteral("Save"))) return nullptr;
    spin(20);
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return nullptr;
    *saved = file.readAll();
    closeAll();
    messages().clear();
    KPDocument* reopened = KPDocument::openDocument(path);
    KPFigureView* view = reopened ? reopened->figureView() : nullptr;
    return view && waitForView(view) ? view : nullptr;
  }
};

}  // namespace

// The equation of an ellipse comes back where it was shown: left where the
// tool put it on the curve, and dragged away from the curve.
TEST_F(SavedPlaces, AConicEquationTextKeepsItsPlaceThroughSaveAndReopen) {
  const QPoint drags[] = {{0, 0}, {-160, -40}};
  for (QPoint by : drags) {
    SCOPED_TRACE(testing::Message() << "dragged by " << by.x() << ", " << by.y());
    KPFigureView* view = nullptr;
    object* conic = nullptr;
    openEllipse(&view, &conic);
    ASSERT_NE(conic, nullptr);
    KPDocument* doc = KPDocument::currentDocument();
    pickFromPalette(&classe_equation);
    click(view, QPoint(419, 215));
    const auto equations = objectsOf(view->info(), &classe_equation);
    ASSERT_EQ(equations.size(), 1u);
    object* eq = equations[0];
    ASSERT_NE(eq->te, nullptr);
    pickFromPalette(kPointerTool);
    if (!by.isNull()) drag(view, frameCentre(view, eq), frameCentre(view, eq) + by);
    spin(20);
    const te_point before = eq->te->pos;

    QByteArray saved;
    KPFigureView* again = saveAndReopen(doc, QStringLiteral("ellipse.fig"), &saved);
    ASSERT_NE(again, nullptr);
    // The file holds the place the window showed.
    const QByteArray place = QStringLiteral("Eq/Co, Const: 8,  2, X2PXYPY2EG0, cart, Val: %1 %2 ")
                                 .arg(before.x)
                                 .arg(before.y)
                                 .toLatin1();
    EXPECT_TRUE(saved.contains(place)) << saved.constData();
    EXPECT_TRUE(messages().isEmpty()) << messages().join('\n').toStdString();
    const auto read = objectsOf(again->info(), &classe_equation);
    ASSERT_EQ(read.size(), 1u);
    ASSERT_NE(read[0]->te, nullptr);
    const te_point after = read[0]->te->pos;
    // A text on the curve is put back on it, to the pixel the curve passes.
    EXPECT_LE(std::abs(after.x - before.x), 1) << saved.constData();
    EXPECT_LE(std::abs(after.y - before.y), 1) << saved.constData();
    closeAll();
  }
}

// A label dragged away from its point, and one dragged along its ellipse,
// keep their places beside their objects after the figure is saved and
// opened again, also once the figure moves.
TEST_F(SavedPlaces, LabelsKeepTheirPlacesBesideTheirObjectsThroughSaveAndReopen) {
  KPFigureView* view = nullptr;
  object* conic = nullptr;
  openEllipse(&view, &conic);
  ASSERT_NE(conic, nullptr);
  KPDocument* doc = KPDocument::currentDocument();
  pickFromPalette(kPointerTool);
  // A letter typed on a selected object names it.
  auto name = [&](QPoint at, Qt::Key letter) {
    click(view, at);
    QTest::keyClick(view, letter);
    spin(20);
    click(view, QPoint(20, 20));
  };
  name(kEllipsePoints[0], Qt::Key_A);
  name(QPoint(419, 215), Qt::Key_E);
  object* point = nullptr;
  for (object* p : objectsOf(view->info(), &classe_point))
    if (p->te) point = p;
  ASSERT_NE(point, nullptr);
  ASSERT_NE(conic->te, nullptr);
  drag(view, frameCentre(view, point), frameCentre(view, point) + QPoint(-22, 14));
  drag(view, frameCentre(view, conic), frameCentre(view, conic) + QPoint(-15, 30));
  spin(20);
  const te_point point_label = point->te->pos, conic_label = conic->te->pos;
  const valeur at = point->valeurs[0];

  QByteArray saved;
  KPFigureView* again = saveAndReopen(doc, QStringLiteral("labels.fig"), &saved);
  ASSERT_NE(again, nullptr);
  object* read_point = nullptr;
  for (object* p : objectsOf(again->info(), &classe_point))
    if (p->te) read_point = p;
  const auto read_conics = objectsOf(again->info(), &classe_conic);
  ASSERT_NE(read_point, nullptr);
  ASSERT_EQ(read_conics.size(), 1u);
  object* read_conic = read_conics[0];
  ASSERT_NE(read_conic->te, nullptr);
  EXPECT_EQ(read_point->te->pos.x, point_label.x) << saved.constData();
  EXPECT_EQ(read_point->te->pos.y, point_label.y) << saved.constData();
  EXPECT_LE(std::abs(read_conic->te->pos.x - conic_label.x), 1) << saved.constData();
  EXPECT_LE(std::abs(read_conic->te->pos.y - conic_label.y), 1) << saved.constData();

  // The point dragged: its label follows at the offset it had.
  const QPoint by(30, 20);
  const QPoint grab = viewPointOf(again, read_point->valeurs[0].h, read_point->valeurs[0].v);
  drag(again, grab, grab + by);
  spin(20);
  const double moved_h = read_point->valeurs[0].h - at.h, moved_v = read_point->valeurs[0].v - at.v;
  ASSERT_GT(std::hypot(moved_h, moved_v), 10);
  EXPECT_LE(std::abs(read_point->te->pos.x - (point_label.x + moved_h)), 1);
  EXPECT_LE(std::abs(read_point->te->pos.y - (point_label.y + moved_v)), 1);
}

namespace {

// The ink of a text's frame on screen: how many pixels differ from the
// background, the rows they cover, and how many are strongly red.
struct Ink {
  int pixels = 0, top = 1 << 30, bottom = -1, red = 0;
};

Ink inkOf(const QImage& image, const QRect& frame) {
  Ink ink;
  const QColor background = image.pixelColor(2, 2);
  for (int y = frame.top(); y <= frame.bottom(); ++y)
    for (int x = frame.left(); x <= frame.right(); ++x) {
      if (!image.rect().contains(x, y)) continue;
      const QColor c = image.pixelColor(x, y);
      if (c == background) continue;
      ++ink.pixels;
      ink.top = std::min(ink.top, y);
      ink.bottom = std::max(ink.bottom, y);
      ink.red += c.red() > 150 && c.green() < 100 && c.blue() < 100;
    }
  return ink;
}

}  // namespace

// A two-line comment made larger and red looks the same once the figure is
// saved and opened again: as large, as red, on two lines, in its frame;
// also one that shows a live measure.
TEST_F(SavedPlaces, AColouredEnlargedCommentLooksTheSameAfterSaveAndReopen) {
  for (bool with_measure : {false, true}) {
    SCOPED_TRACE(with_measure ? "with a measure" : "plain");
    KPFigureView* view = openView();
    ASSERT_NE(view, nullptr);
    KPDocument* doc = KPDocument::currentDocument();
    object* measure_text = nullptr;
    if (with_measure) {
      object* length = measuredSegment(view);
      ASSERT_NE(length, nullptr);
      measure_text = textShowing(view->info(), length);
      ASSERT_NE(measure_text, nullptr);
    }
    pickFromPalette(&classe_text);
    drag(view, QPoint(120, 100), QPoint(330, 150));
    object* text = nullptr;
    for (object* o : objectsOf(view->info(), &classe_text))
      if (o != measure_text) text = o;
    ASSERT_NE(text, nullptr);
    QWidget* editor = QApplication::focusWidget();
    ASSERT_NE(editor, nullptr);
    QTest::keyClicks(editor, "Kelvo");
    QTest::keyClick(editor, Qt::Key_Return);
    QTest::keyClicks(editor, "WWW ");
    if (measure_text) {
      click(view, frameCentre(view, measure_text));
      spin(20);
      ASSERT_EQ(view->info()->cur_text, text);
    }
    spin(10);
    pickFromPalette(kPointerTool);
    spin(20);
    click(view, frameCentre(view, text));
    ASSERT_GE(objlist_find(view->info()->selection, text), 0);
    const Ink plain = inkOf(shown(view), frameOf(view, text));
    const int plain_size = text->te->format.size;
    for (int i = 0; i < 2; ++i)
      ASSERT_TRUE(
          clickMenuItem(doc->figureWindow()->menuBar(), QStringLiteral("Format"), QStringLiteral("Larger Text")));
    spin(20);
    pickFromPalette(find_tool_id_by_name("Text Color"));
    current_attrs->text_color = 0xFF0000;
    click(view, frameCentre(view, text));
    pickFromPalette(kPointerTool);
    click(view, QPoint(20, 20));
    spin(20);
    const int before_top = frameOf(view, text).top();
    const Ink before = inkOf(shown(view), frameOf(view, text));
    ASSERT_GT(before.red, 20);
    // Larger on screen as in the record.
    EXPECT_GT(text->te->format.size, plain_size);
    EXPECT_GT(before.bottom - before.top, plain.bottom - plain.top) << text->te->format.size;
    const te_point pos = text->te->pos;
    const te_size size = text->te->size;
    const std::string content = text->te->text ? text->te->text : "";

    QByteArray saved;
    KPFigureView* again = saveAndReopen(doc, QStringLiteral("comment.fig"), &saved);
    ASSERT_NE(again, nullptr);
    object* read = nullptr;
    for (object* o : objectsOf(again->info(), &classe_text))
      if (o->te && o->te->text && std::strncmp(o->te->text, "Kelvo", 5) == 0) read = o;
    ASSERT_NE(read, nullptr) << QByteArray::fromStdString(content).toHex().constData() << "\n" << saved.constData();
    EXPECT_EQ(read->te->pos.x, pos.x) << saved.constData();
    EXPECT_EQ(read->te->pos.y, pos.y);
    EXPECT_EQ(read->te->size.w, size.w);
    EXPECT_EQ(read->te->size.h, size.h);
    const Ink after = inkOf(shown(again), frameOf(again, read));
    EXPECT_NEAR(after.pixels, before.pixels, before.pixels / 10) << saved.constData();
    EXPECT_NEAR(after.red, before.red, before.red / 10);
    EXPECT_EQ(after.top - frameOf(again, read).top(), before.top - before_top);
    EXPECT_EQ(after.bottom - after.top, before.bottom - before.top);
    closeAll();
  }
}
