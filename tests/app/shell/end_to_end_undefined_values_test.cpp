// End to end: a measure or the coordinates of a point that no longer
// exists show the undefined-value text, in the texts that quote them, in
// the picture, and once the figure is saved and opened again; when the
// point comes back, so do its values.
#include <QFile>
#include <QTextDocument>

#include <string>

#include "app/support/figure_test.h"
#include "kernel/text/kernel_strings.h"
#include "platform/ns_kelvo_text_view.h"

namespace {

class EndToEndUndefinedValues : public FigureTest {
 protected:
  // The text an object shows, as the view lays it out.
  static std::string shownText(const object* o) {
    const QTextDocument* doc = o && o->te ? kp_text_document(o->te->display_string) : nullptr;
    return doc ? doc->toPlainText().toStdString() : std::string();
  }
  static std::string undefinedText() { return kernel_string(306); }
  static std::string bothUndefined() { return "(" + undefinedText() + ", " + undefinedText() + ")"; }
  static bool endsWith(const std::string& s, const std::string& end) {
    return s.size() >= end.size() && s.compare(s.size() - end.size(), end.size(), end) == 0;
  }
  static QImage frameImage(KPFigureView* view, const object* o) { return shown(view).copy(frameOf(view, o)); }
};

TEST_F(EndToEndUndefinedValues, AMeasureAndCoordinatesOfAVanishedPointShowTheUndefinedText) {
  KPFigureView* view = openView();
  ASSERT_NE(view, nullptr);
  // A segment, a line across it, their crossing, and the distance from a
  // point to the crossing.
  pickFromPalette(&classe_segment);
  click(view, QPoint(100, 300));
  click(view, QPoint(300, 300));
  pickFromPalette(&classe_droite);
  click(view, QPoint(200, 250));
  click(view, QPoint(210, 350));
  pickFromPalette(&classe_interset);
  click(view, QPoint(205, 300));
  pickFromPalette(&classe_point);
  click(view, QPoint(150, 420));
  pickFromPalette(&classe_length);
  click(view, QPoint(150, 420));
  click(view, QPoint(205, 300));
  // Two circles, one of their crossings and its coordinates.
  pickFromPalette(&classe_cercle);
  click(view, QPoint(450, 200));
  click(view, QPoint(500, 200));
  pickFromPalette(&classe_cercle);
  click(view, QPoint(540, 200));
  click(view, QPoint(600, 200));
  pickFromPalette(&classe_interset);
  click(view, QPoint(489, 169));
  const auto crossings = objectsOf(view->info(), &classe_ptint);
  ASSERT_GE(crossings.size(), 2u);
  object* top = crossings.back();
  for (object* o : crossings)
    if (o->valeurs[0].v < top->valeurs[0].v) top = o;
  pickFromPalette(&classe_equation);
  click(view, viewPointOf(view, top->valeurs[0].h, top->valeurs[0].v));
  pickFromPalette(kPointerTool);

  const auto lengths = objectsOf(view->info(), &classe_length);
  ASSERT_EQ(lengths.size(), 1u);
  object* distance = textShowing(view->info(), lengths[0]);
  ASSERT_NE(distance, nullptr);
  object* coordinates = nullptr;
  for (object* o : objectsOf(view->info(), &classe_text))
    if (o != distance) coordinates = o;
  ASSERT_NE(coordinates, nullptr);
  ASSERT_TRUE(endsWith(shownText(distance), " cm")) << shownText(distance);
  ASSERT_EQ(shownText(coordinates).rfind('(', 0), 0u) << shownText(coordinates);
  ASSERT_EQ(shownText(coordinates).find(undefinedText()), std::string::npos);
  const QImage distance_before = frameImage(view, distance);

  // The crossing leaves the segment; the circles move apart.
  drag(view, QPoint(200, 250), QPoint(420, 250));
  drag(view, QPoint(540, 200), QPoint(680, 200));
  EXPECT_EQ(shownText(distance), undefinedText());
  EXPECT_EQ(shownText(coordinates), bothUndefined());
  EXPECT_NE(frameImage(view, distance), distance_before) << "the picture still shows the last distance";

  // Saved and opened again, the same.
  const QString path = dir.filePath(QStringLiteral("vanished.fig"));
  KPDocument::setSavePanelResponder([path](const QString&) { return path; });
  ASSERT_TRUE(clickMenuItem(menuBarOf(view), QStringLiteral("File"), QStringLiteral("Save As")));
  spin(20);
  KPDocument::setSavePanelResponder({});
  closeAll();
  KPDocument* doc = KPDocument::openDocument(path);
  ASSERT_NE(doc, nullptr);
  KPFigureView* again = doc->figureView();
  ASSERT_TRUE(waitForView(again));
  shown(again);
  const auto read_lengths = objectsOf(again->info(), &classe_length);
  ASSERT_EQ(read_lengths.size(), 1u);
  object* read_distance = textShowing(again->info(), read_lengths[0]);
  ASSERT_NE(read_distance, nullptr);
  EXPECT_EQ(shownText(read_distance), undefinedText());
  object* read_coordinates = nullptr;
  for (object* o : objectsOf(again->info(), &classe_text))
    if (o != read_distance) read_coordinates = o;
  ASSERT_NE(read_coordinates, nullptr);
  EXPECT_EQ(shownText(read_coordinates), bothUndefined());

  // The line comes back across the segment: the distance is shown again.
  drag(again, QPoint(420, 250), QPoint(200, 250));
  EXPECT_TRUE(endsWith(shownText(read_distance), " cm")) << shownText(read_distance);
}

}  // namespace
