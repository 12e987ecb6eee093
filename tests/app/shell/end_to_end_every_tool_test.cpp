// One figure with an object made by every tool of the palette, drawn
// through the window as a user draws it (the pre-built constructions and a
// macro of the user's included), saved, closed and opened again: the same
// picture, and the same file each time it is opened and saved again.
#include <QComboBox>
#include <QFile>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QTimer>
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "app/macros/macro_def_window.h"
#include "app/panels/calculator_panel.h"
#include "app/support/figure_test.h"
#include "kernel/macros/macro_records.h"
#include "kernel/measure/calculator.h"
#include "kernel/model/classes.h"
#include "kernel/text/text_drawing.h"
#include "kernel/tools/drag_start.h"
#include "kernel/tools/redefine_tool.h"
#include "kernel/tools/tool_state.h"
#include "kernel/window/anim_panel.h"
#include "platform/kp_qt_bridge.h"
#include "platform/kp_timer.h"

namespace {

class EndToEndEveryTool : public FigureTest {
 protected:
  void TearDown() override {
    KPDocument::setSavePanelResponder({});
    KPMacroDefWindow::setScript(nullptr);
    stop_spring_animation();
    close_anim_panel();
    closeAll();
    FigureTest::TearDown();
  }

  static uint32_t row(int r) { return find_tool_id_by_name(toolbar_table[r - 1].name); }
  // The objects of the class that the figure shows (the hidden steps of
  // the constructions aside).
  static size_t count(KPFigureView* view, construct_class* cls) {
    size_t n = 0;
    for (object* o : objectsOf(view->info(), cls)) n += o->settings.visible && !(o->macro && o->final_no == 0);
    return n;
  }
  static object* last(KPFigureView* view, construct_class* cls) {
    const std::vector<object*> all = objectsOf(view->info(), cls);
    return all.empty() ? nullptr : all.back();
  }
  // Keys typed where the keyboard is.
  static void typeKeys(const char* keys) {
    for (const char* k = keys; *k; ++k) {
      QWidget* target = QApplication::focusWidget();
      ASSERT_NE(target, nullptr) << "no widget holds the keyboard before '" << *k << "'";
      QTest::keyClick(target, *k);
      spin(5);
    }
  }
  static QByteArray bytesOf(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
  }

  // Each object's class, method, macro, whether it is shown, and where it
  // is: its first value, or for a text-like object its value and its frame.
  struct seen {
    construct_class* cls;
    int16_t method;
    construct_class* macro;
    bool visible;
    double h, v, value;
  };
  static std::vector<seen> summary(kelvo_win_info* fig) {
    std::vector<seen> list;
    for (object* o = fig ? fig->first : nullptr; o; o = o->next) {
      seen s{o->classe, o->methode, o->macro ? o->macro->im_class : nullptr, o->settings.visible != 0, 0, 0, 0};
      const bool values = o->valeurs && o->nbvaleurs;
      if (is_text_like_object(o)) {
        s.h = o->te ? o->te->pos.x : 0;
        s.v = o->te ? o->te->pos.y : 0;
        s.value = values ? o->valeurs[0].info.rayon : 0;
      } else if (values) {
        s.h = o->valeurs[0].h;
        s.v = o->valeurs[0].v;
      }
      list.push_back(s);
    }
    return list;
  }
};

TEST_F(EndToEndEveryTool, AFigureMadeWithEveryToolOpensAgainTheSameAndSavesTheSameFile) {
  // The kernel's clock stands still, however slow the machine: no drawing
  // counts as slow (a locus drawn slowly is drawn coarser the next time)
  // and no press lasts long enough to turn into a drag.
  KPTimer::useTestClock(true);
  KPFigureView* view = openView();
  ASSERT_NE(view, nullptr);

  // The top row: points, segments, the crossing of two segments, vectors
  // and their sum, a triangle, a polygon, a regular polygon.
  pickFromPalette(&classe_point);
  click(view, QPoint(30, 30));
  click(view, QPoint(110, 30));
  ASSERT_EQ(count(view, &classe_point), 2u);
  pickFromPalette(&classe_segment);
  click(view, QPoint(30, 30));
  click(view, QPoint(110, 30));
  ASSERT_EQ(count(view, &classe_segment), 1u);
  pickFromPalette(&classe_ptsur);
  click(view, QPoint(70, 30));
  ASSERT_EQ(count(view, &classe_ptsur), 1u);
  pickFromPalette(&classe_segment);
  click(view, QPoint(150, 60));
  click(view, QPoint(230, 20));
  click(view, QPoint(150, 20));
  click(view, QPoint(230, 60));
  pickFromPalette(&classe_interset);
  click(view, QPoint(170, 50));
  click(view, QPoint(170, 30));
  ASSERT_EQ(count(view, &classe_interset), 1u);
  pickFromPalette(&classe_vecteur);
  click(view, QPoint(260, 20));
  click(view, QPoint(290, 20));
  click(view, QPoint(260, 50));
  click(view, QPoint(280, 40));
  ASSERT_EQ(count(view, &classe_vecteur), 2u);
  pickFromPalette(optional_classes[1]);
  click(view, QPoint(275, 20));
  click(view, QPoint(270, 45));
  click(view, QPoint(300, 80));
  ASSERT_EQ(count(view, &classe_vecteur), 3u);
  pickFromPalette(&classe_triangle);
  click(view, QPoint(380, 20));
  click(view, QPoint(460, 20));
  click(view, QPoint(420, 80));
  ASSERT_EQ(count(view, &classe_triangle), 1u);
  pickFromPalette(&classe_polygone);
  for (QPoint p : {QPoint(500, 20), QPoint(580, 20), QPoint(580, 80), QPoint(510, 70), QPoint(500, 20)}) click(view, p);
  ASSERT_EQ(count(view, &classe_polygone), 1u);
  pickFromPalette(&classe_polyreg);
  click(view, QPoint(660, 50));
  click(view, QPoint(660, 20));
  moveTo(view, QPoint(690, 50));
  click(view, QPoint(690, 50));
  ASSERT_EQ(count(view, &classe_polyreg), 1u);

  // The second row: a circle with a point on it and a locus, an arc, a
  // conic, a midpoint, a compass, a number carried along a circle.
  pickFromPalette(&classe_cercle);
  click(view, QPoint(60, 140));
  click(view, QPoint(100, 140));
  pickFromPalette(&classe_ptsur);
  click(view, QPoint(60, 100));
  pickFromPalette(&classe_milieu);
  click(view, QPoint(60, 100));
  click(view, QPoint(110, 180));
  ASSERT_EQ(count(view, &classe_milieu), 1u);
  pickFromPalette(&classe_locus);
  click(view, QPoint(85, 140));
  click(view, QPoint(60, 100));
  ASSERT_EQ(count(view, &classe_locus), 1u);
  pickFromPalette(&classe_arc);
  click(view, QPoint(140, 170));
  click(view, QPoint(180, 110));
  click(view, QPoint(220, 170));
  ASSERT_EQ(count(view, &classe_arc), 1u);
  pickFromPalette(&classe_conic);
  for (QPoint p : {QPoint(260, 140), QPoint(290, 110), QPoint(330, 115), QPoint(350, 150), QPoint(300, 175)})
    click(view, p);
  ASSERT_EQ(count(view, &classe_conic), 1u);
  pickFromPalette(optional_classes[0]);
  click(view, QPoint(500, 105));
  click(view, QPoint(530, 105));
  click(view, QPoint(560, 150));

  // Three numbers typed with the numerical edit tool, at the bottom right.
  std::vector<object*> numbers;
  for (auto [y, text] : {std::pair{300, "1"}, std::pair{330, "90"}, std::pair{360, "0.5"}}) {
    pickFromPalette(&classe_nombre);
    click(view, QPoint(480, y));
    ASSERT_NE(view->textEditor(), nullptr);
    QTest::keyClicks(view->textEditor(), text);
    pickFromPalette(kPointerTool);
    spin(10);
    numbers.push_back(last(view, &classe_nombre));
  }
  ASSERT_EQ(count(view, &classe_nombre), 3u);

  // The first number carried along a circle from a point on it.
  pickFromPalette(&classe_cercle);
  click(view, QPoint(420, 140));
  click(view, QPoint(450, 140));
  pickFromPalette(&classe_ptsur);
  click(view, QPoint(420, 110));
  pickFromPalette(&classe_compas3);
  click(view, frameCentre(view, numbers[0]));
  click(view, QPoint(420, 110));
  ASSERT_EQ(count(view, &classe_compas3), 1u);

  // The third row: the transformations of points.
  pickFromPalette(&classe_translation);
  click(view, QPoint(40, 220));
  click(view, QPoint(275, 20));
  ASSERT_EQ(count(view, &classe_translation), 1u);
  pickFromPalette(&classe_symetrique);
  click(view, QPoint(140, 210));
  click(view, QPoint(180, 240));
  ASSERT_EQ(count(view, &classe_symetrique), 2u);  // and the end of the vector sum
  pickFromPalette(&classe_rotation);
  click(view, QPoint(260, 220));
  click(view, QPoint(300, 240));
  click(view, frameCentre(view, numbers[1]));
  ASSERT_EQ(count(view, &classe_rotation), 1u);
  pickFromPalette(&classe_dilatation);
  click(view, QPoint(380, 220));
  click(view, QPoint(420, 240));
  click(view, frameCentre(view, numbers[2]));
  ASSERT_EQ(count(view, &classe_dilatation), 1u);
  pickFromPalette(&classe_cercle);
  click(view, QPoint(540, 240));
  click(view, QPoint(570, 240));
  pickFromPalette(&classe_inverse);
  click(view, QPoint(540, 200));
  click(view, QPoint(570, 240));
  ASSERT_EQ(count(view, &classe_inverse), 1u);
  pickFromPalette(&classe_segment);
  click(view, QPoint(630, 250));
  click(view, QPoint(720, 250));
  pickFromPalette(&classe_symetriquedr);
  click(view, QPoint(660, 230));
  click(view, QPoint(700, 250));
  ASSERT_EQ(count(view, &classe_symetriquedr), 1u);

  // The band at the bottom: the straight lines, all across the view.
  pickFromPalette(&classe_demidroite);
  click(view, QPoint(20, 400));
  click(view, QPoint(60, 400));
  pickFromPalette(&classe_droite);
  click(view, QPoint(20, 410));
  click(view, QPoint(60, 410));
  ASSERT_EQ(count(view, &classe_droite), 1u);
  pickFromPalette(&classe_segment);
  click(view, QPoint(700, 440));
  click(view, QPoint(700, 495));
  pickFromPalette(&classe_perpendiculaire);
  click(view, QPoint(700, 485));
  click(view, QPoint(650, 420));
  ASSERT_EQ(count(view, &classe_perpendiculaire), 1u);
  pickFromPalette(&classe_parallele);
  click(view, QPoint(90, 30));
  click(view, QPoint(650, 430));
  ASSERT_EQ(count(view, &classe_parallele), 1u);
  pickFromPalette(&classe_mediatrice);
  click(view, QPoint(100, 440));
  click(view, QPoint(100, 480));
  ASSERT_EQ(count(view, &classe_mediatrice), 1u);
  pickFromPalette(&classe_bissectrice);
  click(view, QPoint(170, 450));
  click(view, QPoint(130, 470));
  click(view, QPoint(170, 490));
  ASSERT_EQ(count(view, &classe_bissectrice), 1u);

  // A free point put on a new segment by the redefinition tool.
  pickFromPalette(&classe_segment);
  click(view, QPoint(20, 260));
  click(view, QPoint(100, 260));
  object* translated = last(view, &classe_translation);
  ASSERT_NE(translated, nullptr);
  object* moved = translated->parents[0];
  pickFromPalette(&classe_redefine);
  bool chosen = false;
  chooseClassInMenu(&classe_ptsur, &chosen);
  moveTo(view, QPoint(40, 220));
  QTest::mousePress(view, Qt::LeftButton, {}, QPoint(40, 220));
  spin(20);
  ASSERT_TRUE(chosen);
  ASSERT_EQ(current_class, &classe_ptsur);
  click(view, QPoint(40, 260));
  spin(20);
  ASSERT_NE(translated->parents[0], moved);
  ASSERT_EQ(translated->parents[0]->classe, &classe_ptsur);

  // A macro of the user's: the midpoint of a point on the first circle and
  // a free point, applied to two vertices of the triangle.
  pickFromPalette(row(ROW_INITIAL_OBJECT));
  click(view, QPoint(60, 100));
  click(view, QPoint(110, 180));
  ASSERT_EQ(objlist_count(view->info()->list3), 2);
  pickFromPalette(row(ROW_FINAL_OBJECT));
  click(view, QPoint(85, 140));
  ASSERT_EQ(objlist_count(view->info()->list4), 1);
  KPMacroDefWindow::setScript([](KPMacroDefWindow* w) {
    w->nameBox()->setEditText(QStringLiteral("Half"));
    QTest::mouseClick(w->okButton(), Qt::LeftButton);
  });
  pickFromPalette(row(ROW_DEFINE_MACRO));
  spin(20);
  KPMacroDefWindow::setScript(nullptr);
  construct_class* half = find_class_by_name("Half", 0);
  ASSERT_NE(half, nullptr);
  pickFromPalette(half);
  ASSERT_EQ(current_class, half);
  click(view, QPoint(380, 20));
  click(view, QPoint(460, 20));
  ASSERT_EQ(count(view, &classe_milieu), 2u);

  // Mark angle at the triangle's first vertex.
  pickFromPalette(&classe_angle);
  click(view, QPoint(460, 20));
  click(view, QPoint(380, 20));
  click(view, QPoint(420, 80));
  ASSERT_EQ(count(view, &classe_angle), 1u);

  // The property checks, each placed by a last click on the left.
  struct check {
    construct_class* cls;
    std::vector<QPoint> clicks;
  };
  const check checks[] = {
      {&classe_alignement, {{30, 30}, {70, 30}, {110, 30}, {100, 300}}},
      {&classe_parallelism, {{50, 30}, {210, 30}, {100, 325}}},
      {&classe_perpendism, {{50, 30}, {210, 50}, {100, 350}}},
      {&classe_equidistant, {{70, 30}, {30, 30}, {110, 30}, {100, 375}}},
      {&classe_membership, {{70, 30}, {90, 30}, {260, 300}}},
  };
  for (const check& c : checks) {
    pickFromPalette(c.cls);
    for (QPoint p : c.clicks) click(view, p);
    ASSERT_EQ(count(view, c.cls), 1u) << c.cls->name;
  }

  // Texts: a comment, a table of the first number, an expression applied
  // to the third number, a calculation, a hide/show button.
  pickFromPalette(&classe_text);
  drag(view, QPoint(180, 330), QPoint(300, 350));
  ASSERT_NE(view->textEditor(), nullptr);
  QTest::keyClicks(view->textEditor(), "Note");
  pickFromPalette(kPointerTool);
  spin(10);
  ASSERT_EQ(count(view, &classe_text), 1u);
  pickFromPalette(&classe_table);
  drag(view, QPoint(350, 295), QPoint(380, 300));
  click(view, frameCentre(view, numbers[0]));
  ASSERT_EQ(count(view, &classe_table), 1u);
  ASSERT_EQ(last(view, &classe_table)->nbparents, 2);
  pickFromPalette(&classe_exp_num);
  click(view, QPoint(600, 300));
  ASSERT_NE(view->textEditor(), nullptr);
  QTest::keyClicks(view->textEditor(), "x+1");
  pickFromPalette(kPointerTool);
  spin(10);
  object* expression = last(view, &classe_exp_num);
  ASSERT_NE(expression, nullptr);
  pickFromPalette(&classe_exp_num_app);
  click(view, frameCentre(view, expression));
  click(view, frameCentre(view, numbers[2]));
  click(view, QPoint(650, 330));
  ASSERT_EQ(count(view, &classe_exp_num_app), 1u);
  pickFromPalette(&classe_calculate);
  KPCalculatorPanel* panel = calculator_panel();
  ASSERT_NE(panel, nullptr);
  click(view, frameCentre(view, numbers[0]));
  QTest::keyClicks(panel->formulaField(), "*2");
  QTest::keyClick(panel->formulaField(), Qt::Key_Return);
  spin(10);
  QTest::mouseClick(panel->resultField(), Qt::LeftButton);
  spin(10);
  moveTo(view, QPoint(650, 360));
  click(view, QPoint(650, 360));
  ASSERT_EQ(count(view, &classe_calculate), 1u);
  panel->close();
  spin(10);
  pickFromPalette(&classe_button);
  click(view, QPoint(620, 120));
  click(view, QPoint(640, 130));
  ASSERT_EQ(count(view, &classe_button), 1u);
  typeKeys("Hide");
  click(view, QPoint(560, 120));
  pickFromPalette(kPointerTool);

  // A label on the first point, springs on the point of the first circle.
  pickFromPalette(&classe_label);
  click(view, QPoint(30, 30));
  ASSERT_NE(QApplication::focusWidget(), nullptr);
  QTest::keyClicks(QApplication::focusWidget(), "A");
  pickFromPalette(row(ROW_MULTIPLE_ANIMATION));
  {
    object* a = objectsOf(view->info(), &classe_point)[1];
    ASSERT_TRUE(a->te && a->te->text);
    EXPECT_STREQ(a->te->text, "A");
  }
  click(view, QPoint(60, 100));
  click(view, QPoint(30, 90));
  ASSERT_EQ(count(view, &classe_spring), 1u);
  pickFromPalette(kPointerTool);
  spin(10);

  // The measures, each shown in a text by its object.
  struct measure {
    construct_class* cls;
    std::vector<QPoint> clicks;
  };
  const measure measures[] = {
      {&classe_length, {{50, 30}}},
      {&classe_aire, {{20, 140}}},
      {&classe_pente, {{210, 30}}},
      {&classe_angleMes, {{460, 20}, {380, 20}, {420, 80}}},
      {&classe_equation, {{300, 80}}},
  };
  for (const measure& m : measures) {
    pickFromPalette(m.cls);
    for (QPoint p : m.clicks) click(view, p);
    ASSERT_GE(count(view, m.cls), 1u) << m.cls->name;
  }
  pickFromPalette(kPointerTool);

  // New axes from an origin and two directions at the bottom right, their
  // grid, and the figure's own axes shown.
  pickFromPalette(&classe_axe);
  click(view, QPoint(725, 490));
  moveTo(view, QPoint(740, 490));
  click(view, QPoint(740, 490));
  moveTo(view, QPoint(725, 445));
  click(view, QPoint(725, 445));
  pickFromPalette(kPointerTool);
  ASSERT_EQ(count(view, &classe_axe), 1u);
  // The expression drawn over those axes: a curve.
  pickFromPalette(&classe_exp_num_app);
  click(view, frameCentre(view, expression));
  click(view, QPoint(725, 360));
  ASSERT_EQ(count(view, &classe_locus), 2u);
  pickFromPalette(&classe_grid);
  click(view, QPoint(725, 360));
  ASSERT_EQ(count(view, &classe_grid), 1u);
  pickFromPalette(row(ROW_SHOW_AXES));
  pickFromPalette(kPointerTool);

  const std::vector<seen> before = summary(view->info());
  const QImage picture = shown(view);
  const QString path = dir.filePath(QStringLiteral("every tool.fig"));
  KPDocument::setSavePanelResponder([path](const QString&) { return path; });
  ASSERT_TRUE(clickMenuItem(menuBarOf(view), QStringLiteral("File"), QStringLiteral("Save As")));
  spin(20);
  const QByteArray saved = bytesOf(path);
  ASSERT_FALSE(saved.isEmpty());
  EXPECT_TRUE(messages().isEmpty()) << messages().join('\n').toStdString();
  closeAll();
  spin(20);

  KPDocument* doc = KPDocument::openDocument(path);
  ASSERT_NE(doc, nullptr);
  KPFigureView* reopened = doc->figureView();
  ASSERT_TRUE(waitForView(reopened));
  EXPECT_TRUE(messages().isEmpty()) << messages().join('\n').toStdString();
  const std::vector<seen> after = summary(reopened->info());
  ASSERT_EQ(after.size(), before.size());
  for (size_t i = 0; i < before.size(); ++i) {
    EXPECT_EQ(after[i].cls, before[i].cls) << i;
    EXPECT_EQ(after[i].method, before[i].method) << i;
    EXPECT_EQ(after[i].macro, before[i].macro) << i;
    EXPECT_EQ(after[i].visible, before[i].visible) << i;
    EXPECT_NEAR(after[i].h, before[i].h, 1e-6) << i;
    EXPECT_NEAR(after[i].v, before[i].v, 1e-6) << i;
    EXPECT_NEAR(after[i].value, before[i].value, 1e-9) << i;
  }
  const QImage again = shown(reopened);
  EXPECT_EQ(again, picture);

  // Opened and saved three times over, the file stays the same, byte for
  // byte: nothing moves by a pixel or a last digit at each round.
  QString current = path;
  for (int round = 1; round <= 3; ++round) {
    if (round > 1) {
      closeAll();
      spin(20);
      doc = KPDocument::openDocument(current);
      ASSERT_NE(doc, nullptr) << "round " << round;
      ASSERT_TRUE(waitForView(doc->figureView())) << "round " << round;
    }
    const QString next = dir.filePath(QStringLiteral("saved again %1.fig").arg(round));
    ASSERT_TRUE(doc->writeToURL(next)) << "round " << round;
    EXPECT_EQ(bytesOf(next), saved) << "round " << round;
    current = next;
  }
}

}  // namespace
