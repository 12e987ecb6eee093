// The signs of units and axes as the window shows them: an area's unit with
// its raised 2, an angle's degree sign, and the letters x and y beside the
// arrows of the axes, drawn legibly.
#include <QDir>
#include <QPainter>
#include <QTextCursor>
#include <QTextDocument>

#include <cmath>
#include <optional>
#include <string>

#include "app/support/figure_test.h"
#include "kernel/model/units.h"
#include "platform/kp_files.h"
#include "kernel/render/styled_primitives.h"
#include "kernel/text/text_record.h"
#include "platform/ns_kelvo_text_view.h"

namespace {

class EndToEndUnitGlyphs : public FigureTest {
 protected:
  // A pixel darker than this is ink, in the view and in the reference.
  static constexpr int kInk = 200;
  static object* only(kelvo_win_info* fig, construct_class* cls) {
    const std::vector<object*> found = objectsOf(fig, cls);
    EXPECT_EQ(found.size(), 1u);
    return found.empty() ? nullptr : found[0];
  }
  // The text that quotes a measure.
  static object* textQuoting(kelvo_win_info* fig, const object* measure) {
    for (object* t : objectsOf(fig, &classe_text))
      for (insert_object* n = t->inserted; n; n = n->next)
        if (n->obj == measure) return t;
    return nullptr;
  }
  static QTextDocument* shownDocument(const object* o) {
    return o && o->te ? kp_text_document(o->te->display_string) : nullptr;
  }

  struct Box {
    int left = 0, right = -1, top = 1 << 20, bottom = -(1 << 20);
    int width() const { return right - left + 1; }
    int height() const { return bottom - top + 1; }
  };
  // The ink of each glyph of a text's frame in what the view shows, left to
  // right: runs of columns with the text's ink, apart from blank columns.
  static std::vector<Box> glyphBoxes(KPFigureView* view, const object* text) {
    view->invalidateFigure();
    return glyphBoxes(view, text, view->grab().toImage());
  }
  // The same in a picture of the view (an exported image).
  static std::vector<Box> glyphBoxes(KPFigureView* view, const object* text, const QImage& image) {
    tagPOINT corner{text->te->pos.x, text->te->pos.y};
    view->localToGlobalDDM(&corner);
    // The text is black; the triangle's sides that cross the frame are not
    // grey.
    auto ink = [&](int x, int y) {
      if (!image.rect().contains(x, y)) return false;
      const QColor c = image.pixelColor(x, y);
      return std::max({c.red(), c.green(), c.blue()}) < kInk &&
             std::max({c.red(), c.green(), c.blue()}) - std::min({c.red(), c.green(), c.blue()}) < 40;
    };
    std::vector<Box> boxes;
    bool in_glyph = false;
    for (int x = corner.x; x < corner.x + text->te->size.w; ++x) {
      Box column{x, x};
      for (int y = corner.y; y < corner.y + text->te->size.h; ++y)
        if (ink(x, y)) {
          column.top = std::min(column.top, y);
          column.bottom = std::max(column.bottom, y);
        }
      if (column.bottom < column.top) {
        in_glyph = false;
        continue;
      }
      if (!in_glyph) boxes.push_back(column);
      Box& b = boxes.back();
      b.right = x;
      b.top = std::min(b.top, column.top);
      b.bottom = std::max(b.bottom, column.bottom);
      in_glyph = true;
    }
    return boxes;
  }
  // The ink box of a text drawn in the font the document shows its last
  // character in, its rows counted from the baseline: the reference.
  static Box referenceBox(QTextDocument* doc, const QString& c) {
    QTextCursor at(doc);
    at.movePosition(QTextCursor::End);
    QImage image(64, 64, QImage::Format_RGB32);
    image.fill(Qt::white);
    {
      QPainter p(&image);
      p.setFont(at.charFormat().font());
      p.setPen(Qt::black);
      p.drawText(QPointF(16, 40), c);
    }
    Box box{64, -1};
    for (int y = 0; y < 64; ++y)
      for (int x = 0; x < 64; ++x)
        if (qGray(image.pixel(x, y)) < kInk) {
          box.left = std::min(box.left, x);
          box.right = std::max(box.right, x);
          box.top = std::min(box.top, y);
          box.bottom = std::max(box.bottom, y);
        }
    box.top -= 40;
    box.bottom -= 40;
    return box;
  }
};

TEST_F(EndToEndUnitGlyphs, AnAreaShowsARaisedTwoAndAnAngleADegreeSign) {
  KPFigureView* view = openView();
  ASSERT_NE(view, nullptr);
  chooseTool(view, &classe_triangle);
  click(view, QPoint(100, 300));
  click(view, QPoint(300, 300));
  click(view, QPoint(100, 100));
  pickFromPalette(&classe_aire);
  click(view, QPoint(200, 300));
  pickFromPalette(&classe_angleMes);
  click(view, QPoint(300, 300));
  click(view, QPoint(100, 300));
  click(view, QPoint(100, 100));
  chooseTool(view, nullptr);
  kelvo_win_info* fig = view->info();

  object* area = only(fig, &classe_aire);
  object* area_text = textQuoting(fig, area);
  ASSERT_NE(area_text, nullptr);
  // On screen: the last glyph stands as high above the baseline (the foot
  // of the "m" before it) as the font's own raised 2 does, where a "<="
  // sign would reach down to the baseline. (Painting rebuilds the shown
  // document: it is taken after.)
  const std::vector<Box> boxes = glyphBoxes(view, area_text);
  QTextDocument* doc = shownDocument(area_text);
  ASSERT_NE(doc, nullptr);
  EXPECT_TRUE(doc->toPlainText().endsWith(QStringLiteral("cm\u00b2"))) << doc->toPlainText().toStdString();
  ASSERT_GE(boxes.size(), 3u);
  const Box& two = boxes.back();
  const Box& m = boxes[boxes.size() - 2];
  const Box reference = referenceBox(doc, QStringLiteral("\u00b2"));
  const Box reference_m = referenceBox(doc, QStringLiteral("m"));
  ASSERT_GE(reference.bottom, reference.top);
  EXPECT_NEAR(two.bottom - m.bottom, reference.bottom - reference_m.bottom, 1);
  EXPECT_NEAR(two.height(), reference.height(), 1);

  object* angle = only(fig, &classe_angleMes);
  object* angle_text = textQuoting(fig, angle);
  ASSERT_NE(angle_text, nullptr);
  const std::vector<Box> angle_boxes = glyphBoxes(view, angle_text);
  doc = shownDocument(angle_text);
  ASSERT_NE(doc, nullptr);
  EXPECT_TRUE(doc->toPlainText().endsWith(QStringLiteral("\u00b0"))) << doc->toPlainText().toStdString();
  ASSERT_GE(angle_boxes.size(), 2u);
  const Box degree = referenceBox(doc, QStringLiteral("\u00b0"));
  ASSERT_GE(degree.bottom, degree.top);
  EXPECT_NEAR(angle_boxes.back().width(), degree.width(), 1);
  EXPECT_NEAR(angle_boxes.back().height(), degree.height(), 1);
}

// The exponent of an equation is drawn as large as an area's raised 2, on
// screen and in the exported picture.
TEST_F(EndToEndUnitGlyphs, AnEquationsExponentIsAsLargeAsAnAreasRaisedTwo) {
  KPFigureView* view = openView();
  ASSERT_NE(view, nullptr);
  // A circle of radius 1.5: its equation ends "= 1.5" and the exponent.
  pickFromPalette(&classe_cercle);
  click(view, QPoint(200, 200));
  click(view, QPoint(200 + static_cast<int>(std::lround(1.5 * pixels_per_unit)), 200));
  pickFromPalette(&classe_equation);
  click(view, QPoint(200, 200 - static_cast<int>(std::lround(1.5 * pixels_per_unit))));
  pickFromPalette(&classe_aire);
  click(view, QPoint(200, 200 + static_cast<int>(std::lround(1.5 * pixels_per_unit))));
  chooseTool(view, nullptr);
  kelvo_win_info* fig = view->info();
  object* equation = only(fig, &classe_equation);
  object* area = textQuoting(fig, only(fig, &classe_aire));
  ASSERT_NE(equation, nullptr);
  ASSERT_NE(area, nullptr);
  ASSERT_TRUE(equation->te && equation->te->text);
  const std::string bytes = equation->te->text;
  ASSERT_FALSE(bytes.empty());
  ASSERT_EQ(bytes.back(), '\x01') << "the equation does not end with a square";

  const QString path = QDir(dir.path()).filePath(QStringLiteral("exponents.png"));
  kp_set_file_chooser([chosen = path.toStdString()](const KPFileDialogRequest&) -> std::optional<std::string> {
    return chosen;
  });
  ASSERT_TRUE(clickMenuItem(menuBarOf(view), QStringLiteral("File"), QStringLiteral("Export")));
  kp_set_file_chooser({});
  spin(20);
  const QImage exported(path);
  ASSERT_FALSE(exported.isNull());

  for (const bool on_screen : {true, false}) {
    SCOPED_TRACE(on_screen ? "on screen" : "exported");
    const std::vector<Box> eq = on_screen ? glyphBoxes(view, equation) : glyphBoxes(view, equation, exported);
    const std::vector<Box> cm2 = on_screen ? glyphBoxes(view, area) : glyphBoxes(view, area, exported);
    ASSERT_GE(eq.size(), 3u);
    ASSERT_GE(cm2.size(), 3u);
    const Box& exponent = eq.back();
    const Box& five = eq[eq.size() - 2];
    const Box& raised = cm2.back();
    // Raised above the digit's foot, at two thirds of a digit's height (at
    // least three fifths of it), no smaller than the font's own raised 2
    // beside the area's unit.
    EXPECT_LT(exponent.bottom, five.bottom - 2);
    EXPECT_GE(exponent.height() * 5, five.height() * 3) << "exponent " << exponent.height() << " px, digit "
                                                        << five.height() << " px";
    EXPECT_GE(exponent.height(), raised.height()) << "exponent " << exponent.height() << " px, cm2 "
                                                  << raised.height() << " px";
    EXPECT_LT(exponent.height(), five.height());
  }
}

TEST_F(EndToEndUnitGlyphs, TheAxesLettersAreDrawnWithWholeStrokes) {
  KPFigureView* view = openView();
  ASSERT_NE(view, nullptr);
  pickFromPalette(find_tool_id_by_name(show_axes_names[0]));
  const QImage image = shown(view);
  const QColor paper = image.pixelColor(2, 2);
  // The letter y beside the arrow at the top of the second axis: find the
  // arrow's tip, then the glyph's cell the arrow head puts it in.
  const tagPOINT corner = figurePoint(view, QPoint(0, 0));
  const QPoint origin(-corner.x, -corner.y);
  int tip = -1;
  for (int y = 0; y < origin.y() && tip < 0; ++y)
    if (image.pixelColor(origin.x(), y) != paper) tip = y;
  ASSERT_GE(tip, 0);
  for (const char letter : {'x', 'y', 'r'}) {
    SCOPED_TRACE(letter);
    const uint8_t* expected = arrow_label_glyph(letter);
    // Every set bit of the glyph is one pixel of ink; a stroke is two
    // pixels wide, so no lone pixel stands in a row.
    int set = 0;
    for (int r = 0; r < 8; ++r)
      for (int c = 0; c < 8; ++c) {
        if (!(expected[r] & (0x80 >> c))) continue;
        ++set;
        const bool left = c > 0 && (expected[r] & (0x80 >> (c - 1)));
        const bool right = c < 7 && (expected[r] & (0x80 >> (c + 1)));
        EXPECT_TRUE(left || right) << "row " << r << " column " << c;
      }
    EXPECT_GE(set, 12);
  }
  // The glyph drawn is the glyph: the 'y' cell right of the arrow's tip.
  const uint8_t* y_glyph = arrow_label_glyph('y');
  int32_t dx = 0, dy = 0;
  const QPoint at(origin.x() + 12, tip + 3);
  int matches = 0, ink = 0;
  for (int oy = -6; oy <= 6; ++oy)
    for (int ox = -6; ox <= 6; ++ox) {
      int good = 0, seen = 0;
      for (int r = 0; r < 8; ++r)
        for (int c = 0; c < 8; ++c) {
          const QPoint p = at + QPoint(ox + c - 4, oy + r - 4);
          const bool on = image.rect().contains(p) && image.pixelColor(p) != paper;
          seen += on;
          good += on == ((y_glyph[r] & (0x80 >> c)) != 0);
        }
      if (good > matches) {
        matches = good;
        ink = seen;
        dx = ox;
        dy = oy;
      }
    }
  EXPECT_EQ(matches, 64) << dx << "," << dy;
  EXPECT_GE(ink, 16);
}

}  // namespace
