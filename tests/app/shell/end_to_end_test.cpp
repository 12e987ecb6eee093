// The whole program driven from its own window: a figure file opened at
// launch, tools chosen as the palette chooses them, clicks and drags in the
// figure view, and saving and reopening. Each check reads the figure the
// kernel holds and the picture the view shows.
#include <QSettings>
#include <QTest>
#include <gtest/gtest.h>

#include <QFile>

#include <cmath>
#include <cstdio>
#include <string>

#include "app/kernel_iface/kp_geo_document.h"
#include "app/panels/tools_palette.h"
#include "app/shell/figure_window.h"
#include "app/panels/tools_pull_down.h"
#include "app/support/shell_fixture.h"
#include "app/view/kp_figure_view.h"
#include "kernel/conics/conic.h"
#include "kernel/conics/conic_object.h"
#include "kernel/conics/conic_tangents.h"
#include "kernel/model/classes.h"
#include "kernel/model/figure.h"
#include "kernel/model/units.h"
#include "kernel/tools/selection.h"
#include "kernel/tools/tool_dispatch.h"
#include "kernel/tools/tool_ids.h"
#include "kernel/tools/tool_state.h"
#include "kernel/tools/toolbox.h"

namespace {

class EndToEnd : public ShellTest {
 protected:
  KPFigureView* openView() {
    KPDocument* doc = KPDocument::openUntitledDocument();
    KPFigureView* view = doc ? doc->figureView() : nullptr;
    EXPECT_TRUE(waitForView(view));
    return view;
  }

  // Chooses a tool the way a palette button does.
  static void chooseTool(KPFigureView* view, construct_class* cls) {
    const uint32_t id = cls ? find_tool_id_by_name(cls->name) : kPointerTool;
    ASSERT_NE(id, 0u);
    view->sendCurrentToolAction(id, 0, true);
  }

  static void moveTo(KPFigureView* view, QPoint p) {
    QTest::mouseMove(view, p);
    spin(5);
  }

  static void click(KPFigureView* view, QPoint p) {
    moveTo(view, p);
    QTest::mousePress(view, Qt::LeftButton, {}, p);
    QTest::mouseRelease(view, Qt::LeftButton, {}, p, 10);
    spin(10);
  }

  // Press at `from`, move in steps to `to` (waiting past the drag threshold),
  // release there.
  static void drag(KPFigureView* view, QPoint from, QPoint to) {
    moveTo(view, from);
    QTest::mousePress(view, Qt::LeftButton, {}, from);
    spin(20);
    constexpr int kSteps = 8;
    for (int i = 1; i <= kSteps; ++i) {
      const QPoint p = from + (to - from) * i / kSteps;
      QMouseEvent move(QEvent::MouseMove, p, view->mapToGlobal(p), Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
      QApplication::sendEvent(view, &move);
      spin(10);
    }
    QTest::mouseRelease(view, Qt::LeftButton, {}, to, 10);
    spin(20);
  }

  // Chooses a tool with the mouse on the tools palette: a click on its
  // group's button for the group's first tool, else the group's list opened
  // by a second click and a release on the tool's line.
  static void pickFromPalette(construct_class* cls) { pickFromPalette(find_tool_id_by_name(cls->name)); }
  static void pickFromPalette(uint32_t id) {
    ASSERT_NE(id, 0u);
    menu* group = find_tool_menu(static_cast<int16_t>(tool_group(id)));
    ASSERT_NE(group, nullptr);
    auto* button = static_cast<QWidget*>(group->view);
    ASSERT_NE(button, nullptr);
    QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(5, 5));
    spin(10);
    if (tool_item(id) == 1) return;
    QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(5, 5));
    spin(10);
    NSGeoToolsPullDownController* list = NSGeoToolsPullDownController::openPullDown();
    ASSERT_NE(list, nullptr);
    QPoint global;
    for (const auto& cell : list->cells())
      if (cell->tag() == tool_item(id)) global = list->view()->mapToGlobal(cell->getRect().center().toPoint());
    NSGeoToolsPullDown* pull = list->view();
    const QPoint at = pull->mapFromGlobal(global);
    QMouseEvent move(QEvent::MouseMove, at, global, Qt::NoButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(pull, &move);
    QTest::mouseRelease(pull, Qt::LeftButton, {}, at);
    spin(10);
  }

  // The figure point under a point of the view.
  static tagPOINT figurePoint(KPFigureView* view, QPoint p) {
    tagPOINT q{p.x(), p.y()};
    view->globalToLocalDDM(&q);
    return q;
  }

  static std::vector<object*> objectsOf(kelvo_win_info* fig, construct_class* cls) {
    std::vector<object*> found;
    for (object* o = fig ? fig->first : nullptr; o; o = o->next)
      if (o->classe == cls) found.push_back(o);
    return found;
  }

  // The view painted anew, the figure drawn again.
  static QImage shown(KPFigureView* view) {
    view->invalidateFigure();
    view->grab();
    return view->viewImage();
  }

  // Writes and opens a figure file: an ellipse through five points about
  // the middle of the view, the line through (-120, 10) and (140, -10), a
  // point on the ellipse placed from (0, 100) and the two crossings of the
  // line with it. Null when the figure does not open.
  KPFigureView* openConicFigure() {
    // The window lines of an empty figure saved from a view of this size,
    // so that the figure opens where that view showed it.
    const QString path = dir.filePath("conic.fig");
    std::string text;
    double ppc = 0;
    {
      if (!openView()) return nullptr;
      if (!KPDocument::currentDocument()->writeToURL(path)) return nullptr;
      closeAll();
      QFile file(path);
      if (!file.open(QIODevice::ReadOnly)) return nullptr;
      const std::string saved = file.readAll().toStdString();
      const size_t end = saved.find("ppc"), res = saved.find("Resolution:");
      if (end == std::string::npos || res == std::string::npos) return nullptr;
      text = saved.substr(0, end + 3) + "\r\n\r\n";
      ppc = std::atof(saved.c_str() + res + 11);
      if (!(ppc > 0)) return nullptr;
    }
    // Figure coordinates are pixels about the middle of the view; the file
    // stores centimetres at its resolution, y upwards.
    auto at = [ppc](double h, double v) {
      char value[96];
      std::snprintf(value, sizeof value, "Val: %.15g %.15g", h / ppc, -v / ppc);
      return std::string(value);
    };
    const double pts[5][2] = {{100, 20}, {20, 80}, {-80, 30}, {-70, -50}, {60, -60}};
    for (int i = 0; i < 5; ++i) text += std::to_string(i + 1) + ": Pt, " + at(pts[i][0], pts[i][1]) + "\r\n\r\n";
    text += "6: Con, Const: 1,  2,  3,  4,  5, \r\n\r\n";
    text += "7: Pt, " + at(-120, 10) + "\r\n\r\n8: Pt, " + at(140, -10) + "\r\n\r\n9: Line, Const: 7,  8, \r\n\r\n";
    text += "10: Pt/, Const: 6, " + at(0, 100) + "\r\n\r\n";
    text += "12: Int, Const: 9,  6, int ind:0, \r\n\r\n13: Int, Const: 9,  6, int ind:0x10000, \r\n\r\n";
    {
      QFile file(path);
      if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) return nullptr;
      file.write(text.data(), static_cast<qint64>(text.size()));
    }
    KPDocument* doc = KPDocument::openDocument(path);
    KPFigureView* view = doc ? doc->figureView() : nullptr;
    return view && waitForView(view) ? view : nullptr;
  }

  // The view point of a figure point.
  static QPoint viewPointOf(KPFigureView* view, double h, double v) {
    tagPOINT q{static_cast<int32_t>(std::lround(h)), static_cast<int32_t>(std::lround(v))};
    view->localToGlobalDDM(&q);
    return QPoint(q.x, q.y);
  }

  // Pixels of the view's picture that differ from the background colour
  // within `radius` of p.
  static int inkNear(const QImage& image, QPoint p, int radius = 2) {
    const QColor background = image.pixelColor(2, 2);
    int count = 0;
    for (int dy = -radius; dy <= radius; ++dy)
      for (int dx = -radius; dx <= radius; ++dx) {
        const QPoint q = p + QPoint(dx, dy);
        if (image.rect().contains(q) && image.pixelColor(q) != background) ++count;
      }
    return count;
  }
};

}  // namespace

TEST_F(EndToEnd, TheSegmentToolBuildsASegmentFromTwoClicks) {
  KPFigureView* view = openView();
  ASSERT_NE(view, nullptr);
  chooseTool(view, &classe_segment);
  EXPECT_EQ(current_class, &classe_segment);
  const QImage before = shown(view);
  click(view, QPoint(100, 100));
  click(view, QPoint(220, 160));
  kelvo_win_info* fig = view->info();
  ASSERT_EQ(objectsOf(fig, &classe_segment).size(), 1u);
  EXPECT_EQ(objectsOf(fig, &classe_point).size(), 3u);  // the hidden origin and the two ends
  const QImage after = shown(view);
  EXPECT_EQ(inkNear(before, QPoint(160, 130)), 0);
  EXPECT_GT(inkNear(after, QPoint(160, 130)), 0);
}

TEST_F(EndToEnd, ThePaletteChoosesTheCircleToolAndTwoClicksMakeACircle) {
  KPFigureView* view = openView();
  ASSERT_NE(view, nullptr);
  pickFromPalette(&classe_cercle);
  ASSERT_EQ(current_class, &classe_cercle);
  click(view, QPoint(300, 250));
  click(view, QPoint(360, 250));
  const std::vector<object*> circles = objectsOf(view->info(), &classe_cercle);
  ASSERT_EQ(circles.size(), 1u);
  const tagPOINT centre = figurePoint(view, QPoint(300, 250));
  EXPECT_DOUBLE_EQ(circles[0]->parents[0]->valeurs[0].h, centre.x);
  EXPECT_DOUBLE_EQ(circles[0]->parents[0]->valeurs[0].v, centre.y);
  // The circle passes through the second click, 60 pixels away.
  const QImage image = shown(view);
  EXPECT_GT(inkNear(image, QPoint(300, 190)), 0);
  EXPECT_GT(inkNear(image, QPoint(240, 250)), 0);
  EXPECT_EQ(inkNear(image, QPoint(330, 220), 1), 0);
}

TEST_F(EndToEnd, APointerDragOnTheEmptySheetDrawsAndKeepsASelectionRectangle) {
  KPFigureView* view = openView();
  ASSERT_NE(view, nullptr);
  chooseTool(view, nullptr);
  ASSERT_EQ(interaction_state, STATE_POINTER);
  const QPoint from(100, 100), to(260, 200);
  drag(view, from, to);
  EXPECT_EQ(rubber_band_tracking, 0);
  EXPECT_EQ(selection_rect_shown, 1);
  const tagPOINT a = figurePoint(view, from), b = figurePoint(view, to);
  EXPECT_NEAR(selection_rect.left, a.x, 1);
  EXPECT_NEAR(selection_rect.top, a.y, 1);
  EXPECT_NEAR(selection_rect.right, b.x, 1);
  EXPECT_NEAR(selection_rect.bottom, b.y, 1);
  // The blinking outline reaches the view; the inside stays clear.
  spin(150);
  const QImage image = view->viewImage();
  EXPECT_GT(inkNear(image, QPoint(180, 100), 4), 0);
  EXPECT_GT(inkNear(image, QPoint(100, 150), 4), 0);
  EXPECT_EQ(inkNear(image, QPoint(180, 150), 4), 0);
}

TEST_F(EndToEnd, DraggingTheCentreMovesTheCircleOnScreen) {
  KPFigureView* view = openView();
  ASSERT_NE(view, nullptr);
  chooseTool(view, &classe_cercle);
  click(view, QPoint(200, 200));
  click(view, QPoint(250, 200));
  const std::vector<object*> circles = objectsOf(view->info(), &classe_cercle);
  ASSERT_EQ(circles.size(), 1u);
  object* centre = circles[0]->parents[0];
  const double x0 = centre->valeurs[0].h, y0 = centre->valeurs[0].v;

  chooseTool(view, nullptr);
  drag(view, QPoint(200, 200), QPoint(320, 260));
  EXPECT_EQ(manipulating, 0);
  EXPECT_NEAR(centre->valeurs[0].h - x0, 120, 1);
  EXPECT_NEAR(centre->valeurs[0].v - y0, 60, 1);
  // The circle, radius 50 around its new centre, follows on screen.
  const QImage image = shown(view);
  EXPECT_GT(inkNear(image, QPoint(370, 260)), 0);
  EXPECT_GT(inkNear(image, QPoint(320, 210)), 0);
  EXPECT_EQ(inkNear(image, QPoint(150, 200)), 0);
  EXPECT_EQ(inkNear(image, QPoint(200, 150)), 0);
}

TEST_F(EndToEnd, AFigureSavedClosedAndOpenedAgainHoldsTheSameObjects) {
  KPFigureView* view = openView();
  ASSERT_NE(view, nullptr);
  chooseTool(view, &classe_segment);
  click(view, QPoint(120, 110));
  click(view, QPoint(260, 180));
  chooseTool(view, &classe_cercle);
  click(view, QPoint(400, 300));
  click(view, QPoint(450, 330));
  chooseTool(view, nullptr);

  struct seen {
    construct_class* cls;
    double h, v;
  };
  auto summary = [](kelvo_win_info* fig) {
    std::vector<seen> list;
    for (object* o = fig ? fig->first : nullptr; o; o = o->next)
      list.push_back({o->classe, o->valeurs ? o->valeurs[0].h : 0, o->valeurs ? o->valeurs[0].v : 0});
    return list;
  };
  const std::vector<seen> before = summary(view->info());
  // The origin and the axes, two points and their segment, a centre and its
  // circle (the second click gives the radius).
  ASSERT_EQ(before.size(), 7u);

  KPDocument* doc = KPDocument::currentDocument();
  ASSERT_NE(doc, nullptr);
  const QString path = dir.filePath("two shapes.fig");
  KPDocument::setSavePanelResponder([path](const QString&) { return path; });
  ASSERT_TRUE(doc->saveDocument());
  EXPECT_TRUE(messages().isEmpty()) << messages().join('\n').toStdString();
  doc->close();
  spin(20);
  ASSERT_TRUE(KPDocument::liveDocuments().empty());

  KPDocument* reopened = KPDocument::openDocument(path);
  ASSERT_NE(reopened, nullptr);
  ASSERT_NE(reopened->figureView(), nullptr);
  ASSERT_TRUE(waitForView(reopened->figureView()));
  const std::vector<seen> after = summary(reopened->figureView()->info());
  ASSERT_EQ(after.size(), before.size());
  for (size_t i = 0; i < before.size(); ++i) {
    EXPECT_EQ(after[i].cls, before[i].cls) << i;
    EXPECT_NEAR(after[i].h, before[i].h, 1e-3) << i;
    EXPECT_NEAR(after[i].v, before[i].v, 1e-3) << i;
  }
  EXPECT_FALSE(reopened->figureView()->info()->wflags & kFigureChanged);
}

TEST_F(EndToEnd, AFigureNamedAtLaunchOpensAndIsDrawn) {
  const QString path = dir.filePath("launch.fig");
  {
    KPFigureView* view = openView();
    ASSERT_NE(view, nullptr);
    chooseTool(view, &classe_segment);
    click(view, QPoint(100, 300));
    click(view, QPoint(300, 300));
    chooseTool(view, nullptr);
    ASSERT_TRUE(KPDocument::currentDocument()->writeToURL(path));
    closeAll();
  }
  app()->openLaunchArguments({QStringLiteral("-psn_0_1"), path});
  spin(50);
  ASSERT_EQ(KPDocument::liveDocuments().size(), 1u);
  KPDocument* doc = KPDocument::liveDocuments().front();
  KPFigureView* view = doc->figureView();
  ASSERT_NE(view, nullptr);
  ASSERT_TRUE(waitForView(view));
  EXPECT_EQ(objectsOf(view->info(), &classe_segment).size(), 1u);
  EXPECT_EQ(doc->figureWindow()->windowTitle(), QStringLiteral("launch.fig"));
  const QImage image = shown(view);
  EXPECT_GT(inkNear(image, QPoint(200, 300)), 0);
  EXPECT_EQ(inkNear(image, QPoint(200, 250)), 0);
}

TEST_F(EndToEnd, AnEmptyOrCutFigureNamedAtLaunchSaysWhyItCannotBeRead) {
  struct Case {
    const char* name;
    QByteArray bytes;
    QString reason;
  } cases[] = {
      {"empty.fig", QByteArray(), QStringLiteral("the file is empty")},
      {"cut.fig",
       QByteArray("Figure Kelvo Nova vers. MS-Windows (MAC 1.40)\r\n\r\nWindow center x: 10.71cm y: -7.5"),
       QStringLiteral("the file ends inside the window line, at line 3")},
  };
  for (const Case& c : cases) {
    closeAll();
    messages().clear();
    const QString path = dir.filePath(QString::fromLatin1(c.name));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(c.bytes);
    file.close();
    app()->openLaunchArguments({path});
    spin(50);
    for (KPDocument* doc : KPDocument::liveDocuments())
      if (doc->figureView() != nullptr) waitForView(doc->figureView());
    ASSERT_EQ(messages().size(), 1) << c.name;
    EXPECT_EQ(messages()[0].trimmed().toStdString(), ("The figure cannot be read: " + c.reason).toStdString());
  }
}

// The default colour of lines comes from the user's settings, read again
// when a figure file is opened: a segment made in that window takes it.
TEST_F(EndToEnd, ASegmentTakesTheLinesColourOfTheSettings) {
  const QString path = dir.filePath("plain.fig");
  {
    KPFigureView* view = openView();
    ASSERT_NE(view, nullptr);
    ASSERT_TRUE(KPDocument::currentDocument()->writeToURL(path));
    closeAll();
  }
  // The line may fall between two pixel rows, so it is recognised by its
  // hue: the expected channel well above the two others.
  auto tinted = [](QColor p, int channel) {
    const int v[3] = {p.red(), p.green(), p.blue()};
    return v[channel] > v[(channel + 1) % 3] + 60 && v[channel] > v[(channel + 2) % 3] + 60;
  };
  struct Case {
    const char* stored;
    int channel;
  } cases[] = {{"Red", 0}, {nullptr, 1}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.stored ? c.stored : "no key");
    {
      QSettings store(QSettings::IniFormat, QSettings::UserScope, "Kelvo", "Kelvo Nova");
      if (c.stored) store.setValue("Lines Color", c.stored);
      else store.remove("Lines Color");
      store.sync();
    }
    KPDocument* doc = KPDocument::openDocument(path);
    ASSERT_NE(doc, nullptr);
    KPFigureView* view = doc->figureView();
    ASSERT_TRUE(waitForView(view));
    chooseTool(view, &classe_segment);
    click(view, QPoint(100, 200));
    click(view, QPoint(300, 200));
    chooseTool(view, nullptr);
    ASSERT_EQ(objectsOf(view->info(), &classe_segment).size(), 1u);
    const QImage image = shown(view);
    int matching = 0;
    for (int dy = -2; dy <= 2; ++dy)
      if (tinted(image.pixelColor(200, 200 + dy), c.channel)) ++matching;
    EXPECT_GT(matching, 0);
    closeAll();
  }
  QSettings(QSettings::IniFormat, QSettings::UserScope, "Kelvo", "Kelvo Nova").clear();
}

TEST_F(EndToEnd, ShowAxesOnThePaletteShowsBothGraduatedAxes) {
  KPFigureView* view = openView();
  ASSERT_NE(view, nullptr);
  object* axes = objectsOf(view->info(), &classe_axe).at(0);
  ASSERT_EQ(axes->settings.visible, 0);
  // Where the figure's origin and its first unit lie in the view.
  const tagPOINT corner = figurePoint(view, QPoint(0, 0));
  const QPoint origin(-corner.x, -corner.y);
  const int unit = static_cast<int>(std::lround(pixels_per_unit));
  const QImage before = shown(view);
  pickFromPalette(find_tool_id_by_name(show_axes_names[0]));
  EXPECT_EQ(axes->settings.visible, 1);
  const QImage after = shown(view);
  ASSERT_TRUE(after.rect().contains(origin + QPoint(2 * unit, 0)));
  ASSERT_TRUE(after.rect().contains(origin - QPoint(0, 2 * unit)));
  // Both axes, their ticks, and the number of the first tick of the
  // first axis, beside it and not beside the second.
  const QPoint along_x = origin + QPoint(unit / 2, 0), along_y = origin - QPoint(0, unit / 2);
  EXPECT_EQ(inkNear(before, along_x, 0), 0);
  EXPECT_GT(inkNear(after, along_x, 0), 0);
  EXPECT_GT(inkNear(after, along_y, 0), 0);
  // A tick stands out of the line at each unit, not between.
  EXPECT_GT(inkNear(after, origin + QPoint(unit, -2), 1), 0);
  EXPECT_GT(inkNear(after, origin + QPoint(unit, 2), 1), 0);
  EXPECT_EQ(inkNear(after, origin + QPoint(unit / 2, 2), 1), 0);
  const auto label_ink = [&](QPoint tick) {
    int n = 0;
    for (int y = tick.y() - 8; y < tick.y() - 1; ++y)
      for (int x = tick.x() + 3; x < tick.x() + 10; ++x) n += inkNear(after, QPoint(x, y), 0);
    return n;
  };
  EXPECT_GT(label_ink(origin + QPoint(unit, 0)), 3);
  EXPECT_EQ(label_ink(origin + QPoint(2 * unit, 0)), 0);
}

TEST_F(EndToEnd, AReflectedPointFollowsItsPointOnScreen) {
  KPFigureView* view = openView();
  ASSERT_NE(view, nullptr);
  // A vertical mirror at x = 300 and a point 80 pixels to its left.
  chooseTool(view, &classe_droite);
  click(view, QPoint(300, 100));
  click(view, QPoint(300, 400));
  chooseTool(view, &classe_point);
  click(view, QPoint(220, 250));
  pickFromPalette(&classe_symetriquedr);
  ASSERT_EQ(current_class, &classe_symetriquedr);
  click(view, QPoint(220, 250));
  click(view, QPoint(300, 320));
  const std::vector<object*> images = objectsOf(view->info(), &classe_symetriquedr);
  ASSERT_EQ(images.size(), 1u);
  const tagPOINT mirrored = figurePoint(view, QPoint(380, 250));
  EXPECT_NEAR(images[0]->valeurs[0].h, mirrored.x, 1e-9);
  EXPECT_NEAR(images[0]->valeurs[0].v, mirrored.y, 1e-9);
  QImage image = shown(view);
  EXPECT_GT(inkNear(image, QPoint(380, 250)), 0);
  // Dragged 40 pixels away from the mirror and 30 down, the point's image
  // moves 40 further the other way and 30 down.
  chooseTool(view, nullptr);
  drag(view, QPoint(220, 250), QPoint(180, 280));
  const tagPOINT moved = figurePoint(view, QPoint(420, 280));
  EXPECT_NEAR(images[0]->valeurs[0].h, moved.x, 1);
  EXPECT_NEAR(images[0]->valeurs[0].v, moved.y, 1);
  image = shown(view);
  EXPECT_GT(inkNear(image, QPoint(420, 280)), 0);
  EXPECT_EQ(inkNear(image, QPoint(380, 250)), 0);
}

TEST_F(EndToEnd, DraggingADefiningPointMovesThePointOnTheConicAndItsCrossingWithALine) {
  KPFigureView* view = openConicFigure();
  ASSERT_NE(view, nullptr);
  kelvo_win_info* fig = view->info();
  const std::vector<object*> conics = objectsOf(fig, &classe_conic);
  const std::vector<object*> on = objectsOf(fig, &classe_ptsur);
  const std::vector<object*> crossings = objectsOf(fig, &classe_ptint);
  ASSERT_EQ(conics.size(), 1u);
  ASSERT_EQ(on.size(), 1u);
  ASSERT_EQ(crossings.size(), 2u);
  object* conic = conics[0];
  // The crossing on the side of the dragged point.
  object* crossing = crossings[0]->valeurs[0].h < crossings[1]->valeurs[0].h ? crossings[0] : crossings[1];

  auto onConic = [&](const object* p) {
    conic_load_equation(conic->valeurs);
    const valeur& v = p->valeurs[0];
    const double gx = conic_a * v.h + conic_b * v.v + conic_d, gy = conic_b * v.h + conic_c * v.v + conic_e;
    return std::fabs(conic_value_at(v.h, v.v)) / (2 * std::hypot(gx, gy));
  };
  auto viewPoint = [&](const object* p) { return viewPointOf(view, p->valeurs[0].h, p->valeurs[0].v); };
  EXPECT_LT(onConic(on[0]), 1e-7);
  EXPECT_LT(onConic(crossing), 1e-7);
  const QPoint onBefore = viewPoint(on[0]), crossingBefore = viewPoint(crossing);
  const QImage before = shown(view);
  ASSERT_TRUE(before.rect().contains(onBefore) && before.rect().contains(crossingBefore));
  EXPECT_GT(inkNear(before, onBefore), 0);

  // Drag the fourth defining point down and to the left with the pointer.
  object* moved = conic->parents[3];
  chooseTool(view, nullptr);
  const QPoint from = viewPoint(moved);
  drag(view, from, from + QPoint(-40, 30));
  EXPECT_EQ(manipulating, 0);
  ASSERT_GT(std::hypot(moved->valeurs[0].h + 70, moved->valeurs[0].v + 50), 30);
  ASSERT_FALSE(conic->state & OBJ_UNDEFINED);
  ASSERT_FALSE(on[0]->state & OBJ_UNDEFINED);
  ASSERT_FALSE(crossing->state & OBJ_UNDEFINED);
  EXPECT_LT(onConic(on[0]), 1e-7);
  EXPECT_LT(onConic(crossing), 1e-7);
  const QPoint onAfter = viewPoint(on[0]), crossingAfter = viewPoint(crossing);
  EXPECT_GT((onAfter - onBefore).manhattanLength(), 6);
  EXPECT_GT((crossingAfter - crossingBefore).manhattanLength(), 6);

  // The marks are drawn where the points now are; the conic itself is not
  // drawn yet, and the line alone leaves fewer pixels than a mark on it.
  const QImage after = shown(view);
  ASSERT_TRUE(after.rect().contains(onAfter) && after.rect().contains(crossingAfter));
  EXPECT_GT(inkNear(after, onAfter), 0);
  EXPECT_EQ(inkNear(after, onBefore), 0);
  EXPECT_GT(inkNear(after, crossingAfter), inkNear(after, crossingBefore));
  EXPECT_GT(inkNear(before, crossingBefore), inkNear(before, crossingAfter));
}

TEST_F(EndToEnd, ASelectionRectangleAroundTheWholeEllipseSelectsIt) {
  KPFigureView* view = openConicFigure();
  ASSERT_NE(view, nullptr);
  kelvo_win_info* fig = view->info();
  const std::vector<object*> conics = objectsOf(fig, &classe_conic);
  ASSERT_EQ(conics.size(), 1u);
  object* conic = conics[0];
  tagRECT box{};
  ASSERT_TRUE(conic_bounding_rect(conic, &box));
  chooseTool(view, nullptr);

  // A band over the left half only: the ellipse is not in it.
  drag(view, viewPointOf(view, box.left - 30, box.top - 30), viewPointOf(view, (box.left + box.right) / 2, box.bottom + 30));
  EXPECT_LT(objlist_find(fig->selection, conic), 0);

  // A band around all of it (from the empty sheet above and to the left).
  drag(view, viewPointOf(view, box.left - 30, box.top - 30), viewPointOf(view, box.right + 30, box.bottom + 30));
  EXPECT_GE(objlist_find(fig->selection, conic), 0);
}

