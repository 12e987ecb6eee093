// What the window shows is what the file keeps: texts placed on a curve and
// labels come back from a saved figure where the user left them.
#include <QFile>
#include <QMenuBar>
#include <QTest>
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "app/kernel_iface/kp_geo_document.h"
#include "app/shell/figure_window.h"
#include "app/support/figure_test.h"
#include "kernel/model/classes.h"
#include "kernel/model/figure.h"
#include "kernel/tools/tool_ids.h"
#include "kernel/tools/tool_state.h"

namespace {

class SavedPlaces : public FigureTest {
 protected:
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
    KPFigureView* view = openView();
    ASSERT_NE(view, nullptr);
    KPDocument* doc = KPDocument::currentDocument();
    pickFromPalette(&classe_point);
    const QPoint pts[5] = {{200, 150}, {320, 120}, {420, 200}, {330, 300}, {210, 260}};
    for (QPoint p : pts) click(view, p);
    pickFromPalette(&classe_conic);
    for (QPoint p : pts) click(view, p);
    ASSERT_EQ(objectsOf(view->info(), &classe_conic).size(), 1u);
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
