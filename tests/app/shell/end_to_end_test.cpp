// The whole program driven from its own window: a figure file opened at
// launch, tools chosen as the palette chooses them, clicks and drags in the
// figure view, and saving and reopening. Each check reads the figure the
// kernel holds and the picture the view shows.
#include <QComboBox>
#include <QPushButton>
#include <QMenu>
#include <QMenuBar>
#include <QSettings>
#include <QTest>
#include <gtest/gtest.h>

#include <QFile>

#include <cmath>
#include <cstdio>
#include <functional>
#include <string>

#include "app/kernel_iface/kp_geo_document.h"
#include "app/macros/macro_def_window.h"
#include "app/panels/tools_palette.h"
#include "app/shell/figure_window.h"
#include "app/panels/tools_pull_down.h"
#include "app/support/figure_test.h"
#include "app/view/kp_figure_view.h"
#include "kernel/macros/macro_records.h"
#include "kernel/conics/conic.h"
#include "kernel/conics/conic_object.h"
#include "kernel/conics/conic_tangents.h"
#include "kernel/model/classes.h"
#include "kernel/model/create.h"
#include "kernel/model/figure.h"
#include "kernel/model/memory.h"
#include "kernel/text/labels.h"
#include "kernel/text/text_record.h"
#include "kernel/text/text_services.h"
#include "kernel/model/units.h"
#include "kernel/tools/selection.h"
#include "kernel/tools/tool_dispatch.h"
#include "kernel/tools/tool_ids.h"
#include "kernel/tools/tool_state.h"
#include "kernel/tools/toolbox.h"

namespace {

class EndToEnd : public FigureTest {
 protected:
  // An ellipse through five points about the middle of the view, the line
  // through (-120, 10) and (140, -10), a point on the ellipse placed from
  // (0, 100) and the two crossings of the line with it.
  KPFigureView* openConicFigure() {
    return openFigure("conic.fig", [](const Placer& at) {
      std::string text;
      const double pts[5][2] = {{100, 20}, {20, 80}, {-80, 30}, {-70, -50}, {60, -60}};
      for (int i = 0; i < 5; ++i) text += std::to_string(i + 1) + ": Pt, " + at(pts[i][0], pts[i][1]) + "\r\n\r\n";
      text += "6: Con, Const: 1,  2,  3,  4,  5, \r\n\r\n";
      text += "7: Pt, " + at(-120, 10) + "\r\n\r\n8: Pt, " + at(140, -10) + "\r\n\r\n9: Line, Const: 7,  8, \r\n\r\n";
      text += "10: Pt/, Const: 6, " + at(0, 100) + "\r\n\r\n";
      text += "12: Int, Const: 9,  6, int ind:0, \r\n\r\n13: Int, Const: 9,  6, int ind:0x10000, \r\n\r\n";
      return text;
    });
  }

  // The view point of a figure point.

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
  waitUntil([view] {
    const QImage shown = view->viewImage();
    return inkNear(shown, QPoint(180, 100), 4) > 0 && inkNear(shown, QPoint(100, 150), 4) > 0;
  });
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

TEST_F(EndToEnd, AMacroDefinedFromACircumscribedCircleDrawsItInAnotherWindow) {
  KPFigureView* view = openView();
  ASSERT_NE(view, nullptr);
  const QPoint a(150, 250), b(350, 250), c(250, 120);
  chooseTool(view, &classe_point);
  for (QPoint p : {a, b, c}) click(view, p);
  chooseTool(view, &classe_mediatrice);
  click(view, a);
  click(view, b);
  click(view, b);
  click(view, c);
  ASSERT_EQ(objectsOf(view->info(), &classe_mediatrice).size(), 2u);
  // The bisectors cross at the centre (250, 223.46): a point there is their
  // intersection; the circle goes through A.
  const QPoint centre(250, 223);
  chooseTool(view, &classe_point);
  click(view, centre);
  ASSERT_EQ(objectsOf(view->info(), &classe_ptint).size(), 1u);
  chooseTool(view, &classe_cercle);
  click(view, centre);
  click(view, a);
  const std::vector<object*> circles = objectsOf(view->info(), &classe_cercle);
  ASSERT_EQ(circles.size(), 1u);
  EXPECT_EQ(circles[0]->parents[0]->classe, &classe_ptint);

  // Initial objects, the final circle, then the definition.
  pickFromPalette(find_tool_id_by_name(toolbar_table[ROW_INITIAL_OBJECT - 1].name));
  for (QPoint p : {a, b, c}) click(view, p);
  EXPECT_EQ(objlist_count(view->info()->list3), 3);
  pickFromPalette(find_tool_id_by_name(toolbar_table[ROW_FINAL_OBJECT - 1].name));
  click(view, QPoint(353, 223));
  EXPECT_EQ(objlist_count(view->info()->list4), 1);
  int shown_windows = 0;
  KPMacroDefWindow::setScript([&](KPMacroDefWindow* w) {
    ++shown_windows;
    w->nameBox()->setEditText(QStringLiteral("Circum"));
    QTest::mouseClick(w->okButton(), Qt::LeftButton);
  });
  pickFromPalette(find_tool_id_by_name(toolbar_table[ROW_DEFINE_MACRO - 1].name));
  spin(20);
  KPMacroDefWindow::setScript(nullptr);
  EXPECT_EQ(shown_windows, 1);
  EXPECT_TRUE(messages().isEmpty()) << messages().join('\n').toStdString();
  construct_class* circum = find_class_by_name("Circum", 0);
  ASSERT_NE(circum, nullptr);
  ASSERT_TRUE(is_macro_class(circum));
  EXPECT_NE(find_tool_id_by_name("Circum"), 0u);

  // Another window: the tool chosen on the palette, three clicks.
  KPFigureView* second = openView();
  ASSERT_NE(second, nullptr);
  pickFromPalette(circum);
  ASSERT_EQ(current_class, circum);
  const QPoint p(100, 300), q(300, 300), r(200, 200);
  const QImage before = shown(second);
  for (QPoint at : {p, q, r}) click(second, at);
  const std::vector<object*> made = objectsOf(second->info(), &classe_cercle);
  ASSERT_EQ(made.size(), 1u);
  EXPECT_NE(made[0]->macro, nullptr);
  // The circle of P, Q, R: centre (200, 300), radius 100. The centre
  // defines the final circle, so it is shown too; the bisectors stay hidden.
  const QImage after = shown(second);
  const QPoint upper(271, 229), lower(129, 371);
  EXPECT_EQ(inkNear(before, upper), 0);
  EXPECT_GT(inkNear(after, upper), 0);
  EXPECT_GT(inkNear(after, lower), 0);
  EXPECT_EQ(inkNear(after, QPoint(200, 250)), 0);
  EXPECT_EQ(inkNear(after, QPoint(250, 250)), 0);

  // Saved and opened again, the figure keeps its objects.
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
  const std::vector<seen> saved = summary(second->info());
  KPDocument* doc = KPDocument::currentDocument();
  ASSERT_NE(doc, nullptr);
  const QString path = dir.filePath("circum.fig");
  KPDocument::setSavePanelResponder([path](const QString&) { return path; });
  ASSERT_TRUE(doc->saveDocument());
  doc->close();
  spin(20);
  KPDocument* reopened = KPDocument::openDocument(path);
  ASSERT_NE(reopened, nullptr);
  ASSERT_TRUE(waitForView(reopened->figureView()));
  const std::vector<seen> back = summary(reopened->figureView()->info());
  ASSERT_EQ(back.size(), saved.size());
  for (size_t i = 0; i < saved.size(); ++i) {
    EXPECT_NEAR(back[i].h, saved[i].h, 1e-3) << i;
    EXPECT_NEAR(back[i].v, saved[i].v, 1e-3) << i;
  }
}


namespace {

// Objects made the way a tool makes them, from picks in `inputs`.
object* build(kelvo_win_info* fig, construct_class* cls, std::vector<object*> picks) {
  current_class = cls;
  objlist_clear(fig->inputs);
  for (object* p : picks) objlist_add(fig->inputs, p, 0);
  uint16_t created = 0;
  object* o = create_object(0, &created, 1, 1, 0);
  objlist_clear(fig->inputs);
  current_class = nullptr;
  if (o) o->state &= ~OBJ_NEW;
  return o;
}

void give_label(object* p, const char* name) {
  ASSERT_TRUE(init_object_text_records(p));
  ASSERT_TRUE(set_text_record_text(p->te, name));
  p->te->needs_regen = 1;
  p->te->regen_pending = 1;
  if (text_handle_ops().refresh) text_handle_ops().refresh(p, true);
  default_label_anchor(p, &p->te->pos.x, &p->te->pos.y);
  place_object_label(p, 1);
}

TEST_F(EndToEnd, LabelsTextsAndTablesAreShownAndBackspaceDeletesWithUndo) {
  const QString path = dir.filePath("texts.fig");
  {
    KPFigureView* view = openView();
    ASSERT_NE(view, nullptr);
    chooseTool(view, &classe_segment);
    click(view, QPoint(120, 300));
    click(view, QPoint(320, 300));
    chooseTool(view, nullptr);
    kelvo_win_info* fig = view->info();
    std::vector<object*> points = objectsOf(fig, &classe_point);
    ASSERT_EQ(points.size(), 3u);  // the origin, then the two ends
    give_label(points[1], "A");
    give_label(points[2], "B");

    // A rich text quoting A, and a table of a number.
    object* text = build(fig, &classe_text, {});
    ASSERT_TRUE(text && text->te);
    ASSERT_NE(add_text_reference(points[1], &text->inserted), 0);
    ASSERT_TRUE(set_text_record_text(text->te, "Point $1$ here"));
    const char rtf[] = "{\\rtf1\\ansi {\\fonttbl\\f0 Helvetica;}\\f0\\fs28 Point {\\b $1$} here}";
    text->te->rtf_data = static_cast<char*>(GlobalAlloc(GPTR, sizeof rtf - 1));
    std::memcpy(text->te->rtf_data, rtf, sizeof rtf - 1);
    text->te->text_kind = 2;
    text->te->rich = 1;
    text->te->regen_pending = 1;
    text->te->pos = te_point{100, 60};
    text->te->size = te_size{200, 40};
    object* number = build(fig, &classe_nombre, {});
    ASSERT_TRUE(number && number->te && set_text_record_text(number->te, "2.5 cm"));
    number->settings.visible = 1;
    number->te->pos = te_point{400, 60};
    object* table = build(fig, &classe_table, {number, number});
    ASSERT_TRUE(table && table->te);
    table->te->pos = te_point{400, 150};
    table->te->size = te_size{160, 80};
    ASSERT_TRUE(KPDocument::currentDocument()->writeToURL(path));
    closeAll();
  }

  KPDocument* doc = KPDocument::openDocument(path);
  ASSERT_NE(doc, nullptr);
  KPFigureView* view = doc->figureView();
  ASSERT_TRUE(waitForView(view));
  kelvo_win_info* fig = view->info();
  std::vector<object*> points = objectsOf(fig, &classe_point);
  ASSERT_EQ(points.size(), 3u);
  ASSERT_EQ(objectsOf(fig, &classe_segment).size(), 1u);
  std::vector<object*> texts = objectsOf(fig, &classe_text);
  ASSERT_EQ(texts.size(), 1u);
  ASSERT_EQ(objectsOf(fig, &classe_table).size(), 1u);
  object* a = points[1];
  ASSERT_NE(a->te, nullptr);

  auto on_view = [&](int32_t x, int32_t y) {
    tagPOINT p{x, y};
    view->localToGlobalDDM(&p);
    return QPoint(p.x, p.y);
  };
  QImage image = shown(view);
  // Each label beside its point, ink in the text's frame and the table's.
  for (object* p : {points[1], points[2]}) {
    ASSERT_NE(p->te, nullptr);
    const QPoint label = on_view(p->te->pos.x + p->te->size.w / 2, p->te->pos.y + p->te->size.h / 2);
    const QPoint at = on_view(static_cast<int32_t>(p->valeurs[0].h), static_cast<int32_t>(p->valeurs[0].v));
    EXPECT_LT((label - at).manhattanLength(), 80);
    EXPECT_GT(inkNear(image, label, 8), 0);
  }
  TErec* te = texts[0]->te;
  EXPECT_GT(inkNear(image, on_view(te->pos.x + 30, te->pos.y + 10), 12), 0);
  // Three quarters of the way from A to B, away from both labels.
  const QPoint segment_probe =
      on_view(static_cast<int32_t>((a->valeurs[0].h + 3 * points[2]->valeurs[0].h) / 4),
              static_cast<int32_t>((a->valeurs[0].v + 3 * points[2]->valeurs[0].v) / 4));
  EXPECT_GT(inkNear(image, segment_probe), 0);

  // Select A with the pointer and press Backspace.
  chooseTool(view, nullptr);
  click(view, on_view(static_cast<int32_t>(a->valeurs[0].h), static_cast<int32_t>(a->valeurs[0].v)));
  ASSERT_EQ(objlist_count(view->info()->selection), 1);
  QTest::keyClick(view, Qt::Key_Backspace);
  spin(30);
  fig = view->info();
  EXPECT_EQ(objectsOf(fig, &classe_segment).size(), 0u);
  EXPECT_EQ(objectsOf(fig, &classe_point).size(), 2u);
  texts = objectsOf(fig, &classe_text);
  ASSERT_EQ(texts.size(), 1u);
  EXPECT_STREQ(texts[0]->te->text, "Point  here");
  EXPECT_EQ(texts[0]->inserted, nullptr);
  image = shown(view);
  EXPECT_EQ(inkNear(image, segment_probe), 0);

  // Edit > Undo, clicked in the menu.
  QMenu* edit = nullptr;
  for (QAction* item : view->figureWindow()->menuBar()->actions())
    if (item->menu() && item->text().remove('&') == QStringLiteral("Edit")) edit = item->menu();
  ASSERT_NE(edit, nullptr);
  QAction* undo = nullptr;
  for (QAction* item : edit->actions())
    if (item->text().startsWith(QStringLiteral("Undo"))) undo = item;
  ASSERT_NE(undo, nullptr);
  ASSERT_TRUE(undo->isEnabled());
  edit->popup(view->mapToGlobal(QPoint(10, 10)));
  spin(10);
  QTest::mouseClick(edit, Qt::LeftButton, {}, edit->actionGeometry(undo).center());
  spin(30);
  fig = view->info();
  EXPECT_EQ(objectsOf(fig, &classe_segment).size(), 1u);
  EXPECT_EQ(objectsOf(fig, &classe_point).size(), 3u);
  texts = objectsOf(fig, &classe_text);
  ASSERT_EQ(texts.size(), 1u);
  EXPECT_STREQ(texts[0]->te->text, "Point $1$ here");
  image = shown(view);
  EXPECT_GT(inkNear(image, segment_probe), 0);
}

}  // namespace
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

  // The marks are drawn where the points now are; a curve alone leaves
  // fewer pixels than a mark on it.
  const QImage after = shown(view);
  ASSERT_TRUE(after.rect().contains(onAfter) && after.rect().contains(crossingAfter));
  EXPECT_GT(inkNear(after, onAfter), 0);
  EXPECT_GT(inkNear(after, onAfter), inkNear(after, onBefore));
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


namespace {

// Points of an ellipse object on its curve, from its frame, and the unit
// normal there (figure coordinates).
struct curve_point {
  double x, y, nx, ny;
};
std::vector<curve_point> ellipse_samples(const object* conic, int n) {
  conic_load_workspace(conic->valeurs);
  const double a = 1 / std::sqrt(conic_param_a), b = 1 / std::sqrt(conic_param_b);
  std::vector<curve_point> out;
  for (int i = 0; i < n; ++i) {
    const double t = 2 * M_PI * i / n;
    const double X = a * std::cos(t), Y = b * std::sin(t);
    const double x = conic_origin.x + X * conic_axis_u.x + Y * conic_axis_v.x;
    const double y = conic_origin.y + X * conic_axis_u.y + Y * conic_axis_v.y;
    // The normal is the gradient of the equation.
    const double gx = conic_a * x + conic_b * y + conic_d, gy = conic_b * x + conic_c * y + conic_e;
    const double g = std::hypot(gx, gy);
    out.push_back({x, y, gx / g, gy / g});
  }
  return out;
}

}  // namespace

TEST_F(EndToEnd, TheConicToolFromThePaletteDrawsTheConicThroughFiveClicksAndADragRedrawsIt) {
  KPFigureView* view = openView();
  ASSERT_NE(view, nullptr);
  pickFromPalette(&classe_conic);
  ASSERT_EQ(current_class, &classe_conic);
  const QPoint clicks[5] = {{360, 200}, {290, 270}, {180, 230}, {190, 140}, {300, 120}};
  for (const QPoint& p : clicks) click(view, p);
  kelvo_win_info* fig = view->info();
  const std::vector<object*> conics = objectsOf(fig, &classe_conic);
  ASSERT_EQ(conics.size(), 1u);
  object* conic = conics[0];
  ASSERT_EQ(conic_stored_kind(conic->valeurs), kConicEllipse);

  // Ink within one pixel of the curve all round, none a few pixels off it
  // (away from the defining points' marks).
  auto check = [&](const QImage& image) {
    int off = 0;
    for (const curve_point& c : ellipse_samples(conic, 90)) {
      bool near_mark = false;
      for (int i = 0; i < 5; ++i) {
        const valeur& p = conic->parents[i]->valeurs[0];
        near_mark = near_mark || std::hypot(p.h - c.x, p.v - c.y) < 12;
      }
      EXPECT_GT(inkNear(image, viewPointOf(view, c.x, c.y), 1), 0) << c.x << "," << c.y;
      if (near_mark) continue;
      off += inkNear(image, viewPointOf(view, c.x + 5 * c.nx, c.y + 5 * c.ny), 1);
      off += inkNear(image, viewPointOf(view, c.x - 5 * c.nx, c.y - 5 * c.ny), 1);
    }
    EXPECT_EQ(off, 0);
  };
  const std::vector<curve_point> before = ellipse_samples(conic, 90);
  check(shown(view));

  // Drag the first defining point 40 pixels to the right: the conic is
  // drawn through its new place, and is gone from where it was.
  chooseTool(view, nullptr);
  object* moved = conic->parents[0];
  const QPoint from = viewPointOf(view, moved->valeurs[0].h, moved->valeurs[0].v);
  drag(view, from, from + QPoint(40, 0));
  EXPECT_EQ(manipulating, 0);
  ASSERT_FALSE(conic->state & OBJ_UNDEFINED);
  ASSERT_EQ(conic_stored_kind(conic->valeurs), kConicEllipse);
  const QImage after = shown(view);
  check(after);
  EXPECT_GT(inkNear(after, from + QPoint(40, 0), 1), 0);
  conic_load_equation(conic->valeurs);
  int left_behind = 0, moved_away = 0;
  for (const curve_point& c : before) {
    const double gx = conic_a * c.x + conic_b * c.y + conic_d, gy = conic_b * c.x + conic_c * c.y + conic_e;
    if (std::fabs(conic_value_at(c.x, c.y)) / (2 * std::hypot(gx, gy)) < 6) continue;
    ++moved_away;
    left_behind += inkNear(after, viewPointOf(view, c.x, c.y), 1) > 0;
  }
  EXPECT_GT(moved_away, 10);
  EXPECT_EQ(left_behind, 0);
}

TEST_F(EndToEnd, DraggingTheFixedPointRedrawsTheMidpointLocusOnItsNewCircle) {
  // The midpoint of A = (60, -40) and a point running along the circle of
  // centre (-40, 20) through (40, 20) traces the circle of centre (10, -10)
  // and radius 40.
  KPFigureView* view = openFigure("locus.fig", [](const Placer& at) {
    std::string text = "1: Pt, " + at(60, -40) + "\r\n\r\n2: Pt, " + at(-40, 20) + "\r\n\r\n3: Pt, " + at(40, 20) +
                       "\r\n\r\n4: Cir, Const: 2,  3, \r\n\r\n5: Pt/, Const: 4, " + at(40, 20) +
                       "\r\n\r\n6: Mid, Const: 1,  5, \r\n\r\n7: Locus, Const: 5,  6, lk pts, locus, nb pts: 100, \r\n\r\n";
    return text;
  });
  ASSERT_NE(view, nullptr);
  kelvo_win_info* fig = view->info();
  const std::vector<object*> loci = objectsOf(fig, &classe_locus);
  ASSERT_EQ(loci.size(), 1u);
  ASSERT_FALSE(loci[0]->state & OBJ_UNDEFINED);
  object* a = fig->first;
  ASSERT_NEAR(a->valeurs[0].h, 60, 0.5);

  // Ink within one pixel of the traced circle, all the way round.
  auto inkedOnCircle = [&](const QImage& image, double cx, double cy, double r, auto keep) {
    int inked = 0, looked = 0;
    for (int k = 0; k < 72; ++k) {
      const double angle = k * M_PI / 36;
      const double h = cx + r * std::cos(angle), v = cy + r * std::sin(angle);
      if (!keep(h, v)) continue;
      ++looked;
      inked += inkNear(image, viewPointOf(view, h, v), 1) > 0;
    }
    return std::make_pair(inked, looked);
  };
  auto everywhere = [](double, double) { return true; };
  const auto [inkedBefore, lookedBefore] = inkedOnCircle(shown(view), 10, -10, 40, everywhere);
  EXPECT_EQ(inkedBefore, lookedBefore);

  // Drag A by (40, 30) with the pointer: the locus's centre moves by half.
  chooseTool(view, nullptr);
  const QPoint from = viewPointOf(view, 60, -40);
  drag(view, from, from + QPoint(40, 30));
  EXPECT_EQ(manipulating, 0);
  const double ah = a->valeurs[0].h, av = a->valeurs[0].v;
  ASSERT_GT(std::hypot(ah - 60, av + 40), 30);
  const double cx = (ah - 40) / 2, cy = (av + 20) / 2;
  const QImage after = shown(view);
  const auto [inkedAfter, lookedAfter] = inkedOnCircle(after, cx, cy, 40, everywhere);
  EXPECT_EQ(inkedAfter, lookedAfter);

  // Nothing left on the old circle, away from the new one, the carrier
  // circle and the points.
  auto clear = [&](double h, double v) {
    const double driver_h = fig->first->next->next->next->next->valeurs[0].h;
    const double driver_v = fig->first->next->next->next->next->valeurs[0].v;
    return std::fabs(std::hypot(h - cx, v - cy) - 40) > 4 && std::fabs(std::hypot(h + 40, v - 20) - 80) > 4 &&
           std::hypot(h - ah, v - av) > 8 && std::hypot(h - driver_h, v - driver_v) > 8 &&
           std::hypot(h - (ah + driver_h) / 2, v - (av + driver_v) / 2) > 8;
  };
  const auto [leftOver, lookedOld] = inkedOnCircle(after, 10, -10, 40, clear);
  EXPECT_GT(lookedOld, 20);
  EXPECT_EQ(leftOver, 0);
}
