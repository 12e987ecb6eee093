// File > Print as a user does it: the page sheet and the print leave the
// figure exactly as it was, and the printed page shows the figure as the
// window does, at the scale of its measures.
#include <QDir>
#include <QFile>
#include <QMenuBar>
#include <QPrinter>
#include <QProcess>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "app/document/kp_document.h"
#include "app/panels/kp_show_view.h"
#include "app/shell/figure_window.h"
#include "app/support/figure_test.h"
#include "kernel/model/table.h"
#include "kernel/model/units.h"
#include "kernel/render/colors.h"
#include "kernel/render/object_colors.h"
#include "kernel/text/text_record.h"
#include "kernel/window/figure_scroll.h"

namespace {

// Everything of an object that drawing or printing may touch.
struct ObjectState {
  std::vector<unsigned char> values;
  std::string text;
  int32_t text_x = 0, text_y = 0, text_w = 0, text_h = 0;
  object_pos pos{};
  uint32_t state = 0;
  bool operator==(const ObjectState& o) const {
    return values == o.values && text == o.text && text_x == o.text_x && text_y == o.text_y && text_w == o.text_w &&
           text_h == o.text_h && std::memcmp(&pos, &o.pos, sizeof pos) == 0 && state == o.state;
  }
};

std::vector<ObjectState> figureState(const kelvo_win_info* fig) {
  std::vector<ObjectState> out;
  for (object* o = fig ? fig->first : nullptr; o; o = o->next) {
    ObjectState s;
    if (o->valeurs && o->nbvaleurs > 0) {
      const auto* bytes = reinterpret_cast<const unsigned char*>(o->valeurs);
      s.values.assign(bytes, bytes + sizeof(valeur) * static_cast<size_t>(o->nbvaleurs));
    }
    if (o->te) {
      s.text = o->te->text ? o->te->text : "";
      s.text_x = o->te->pos.x;
      s.text_y = o->te->pos.y;
      s.text_w = o->te->size.w;
      s.text_h = o->te->size.h;
    }
    s.pos = o->pos;
    s.state = o->state;
    out.push_back(std::move(s));
  }
  return out;
}

class EndToEndPrintFigure : public FigureTest {
 protected:
  void TearDown() override {
    NSShowPageController::setSheetResponder({});
    KPDocument::setPrintPanelResponder({});
    closeAll();
    FigureTest::TearDown();
  }

  // Lines under a triangle filled in yellow and under the text of a circle's
  // circumference.
  KPFigureView* drawFigure() {
    KPFigureView* view = openView();
    if (!view) return nullptr;
    chooseTool(view, &classe_segment);
    click(view, QPoint(480, 257));
    click(view, QPoint(600, 257));
    click(view, QPoint(60, 140));
    click(view, QPoint(600, 330));
    chooseTool(view, &classe_triangle);
    click(view, QPoint(80, 80));
    click(view, QPoint(260, 90));
    click(view, QPoint(150, 200));
    chooseTool(view, &classe_cercle);
    click(view, QPoint(400, 250));
    click(view, QPoint(465, 250));
    chooseTool(view, &classe_length);
    click(view, QPoint(465, 250));
    chooseTool(view, nullptr);
    // The triangle filled in yellow, seen through.
    const std::vector<object*> triangles = objectsOf(view->info(), &classe_triangle);
    if (triangles.size() != 1) return nullptr;
    set_object_fill_color(triangles[0], color_by_name("Yellow"));
    triangles[0]->settings.opaque = 0;
    return view;
  }

  // File > Print as a user answers it: the sheet's OK, then the print
  // dialog set to write `name`.pdf in the folder. The page rendered at one
  // pixel a figure pixel (the figure is printed to the scale of its
  // measures), null when nothing was printed.
  static QImage printToPdf(KPFigureView* view, const QDir& dir, const QString& name) {
    NSShowPageController::setSheetResponder([](NSShowPageController* sheet) {
      sheet->show();
      return 1;
    });
    const QString pdf = dir.filePath(name + QStringLiteral(".pdf"));
    KPDocument::setPrintPanelResponder([pdf](QPrinter* printer) {
      printer->setOutputFormat(QPrinter::PdfFormat);
      printer->setOutputFileName(pdf);
      return true;
    });
    if (!clickMenuItem(menuBarOf(view), QStringLiteral("File"), QStringLiteral("Print")) || !QFile::exists(pdf))
      return {};
    const QString stem = dir.filePath(name);
    QProcess process;
    const QString dpi = QString::number(72 * figure_pixels_per_point(), 'f', 6);
    process.start(QStringLiteral("pdftoppm"),
                  {QStringLiteral("-r"), dpi, QStringLiteral("-png"), QStringLiteral("-singlefile"), pdf, stem});
    if (!process.waitForFinished(30000) || process.exitCode() != 0) return {};
    return QImage(stem + QStringLiteral(".png"));
  }

  static object* measure(KPFigureView* view) {
    const std::vector<object*> found = objectsOf(view->info(), &classe_length);
    return found.size() == 1 ? found[0] : nullptr;
  }
};

TEST_F(EndToEndPrintFigure, PrintThenCancelLeavesTheFigureAsItWas) {
  KPFigureView* view = drawFigure();
  ASSERT_NE(view, nullptr);
  object* circumference = measure(view);
  ASSERT_NE(circumference, nullptr);
  ASSERT_NE(circumference->te, nullptr);
  const std::string text = circumference->te->text;
  const std::vector<ObjectState> before = figureState(view->info());
  const QImage screen = shown(view);

  // The sheet cancelled.
  QImage thumbnail;
  int sheets = 0;
  NSShowPageController::setSheetResponder([&](NSShowPageController* sheet) {
    ++sheets;
    sheet->show();
    thumbnail = sheet->theShowView()->thumbnail();
    return 2;
  });
  ASSERT_TRUE(clickMenuItem(menuBarOf(view), QStringLiteral("File"), QStringLiteral("Print")));
  EXPECT_EQ(sheets, 1);
  // The thumbnail shows the whole drawing page scaled down: the circle of
  // radius 65 is a small ring around its scaled centre.
  ASSERT_FALSE(thumbnail.isNull());
  const double scale = static_cast<double>(thumbnail.height()) / (drawing_page.bottom - drawing_page.top);
  const tagPOINT centre = figurePoint(view, QPoint(400, 250));
  const QPointF at((centre.x - drawing_page.left) * scale, (centre.y - drawing_page.top) * scale);
  auto ink_between = [&](double inner, double outer) {
    int count = 0;
    for (int y = static_cast<int>(at.y() - outer) - 1; y <= at.y() + outer + 1; ++y)
      for (int x = static_cast<int>(at.x() - outer) - 1; x <= at.x() + outer + 1; ++x) {
        const double d = std::hypot(x - at.x(), y - at.y());
        if (d >= inner && d <= outer && thumbnail.rect().contains(x, y) &&
            (thumbnail.pixel(x, y) & 0xFFFFFF) != 0xFFFFFF)
          ++count;
      }
    return count;
  };
  EXPECT_GT(ink_between(65 * scale - 1.5, 65 * scale + 1.5), 6);
  EXPECT_EQ(ink_between(45, 80), 0);
  EXPECT_EQ(circumference->te->text, text);
  EXPECT_TRUE(figureState(view->info()) == before);
  EXPECT_EQ(shown(view), screen);

  // The sheet accepted, the print dialog cancelled.
  NSShowPageController::setSheetResponder([](NSShowPageController* sheet) {
    sheet->show();
    return 1;
  });
  int panels = 0;
  KPDocument::setPrintPanelResponder([&](QPrinter*) {
    ++panels;
    return false;
  });
  ASSERT_TRUE(clickMenuItem(menuBarOf(view), QStringLiteral("File"), QStringLiteral("Print")));
  EXPECT_EQ(panels, 1);
  EXPECT_EQ(circumference->te->text, text);
  EXPECT_TRUE(figureState(view->info()) == before);
  EXPECT_EQ(shown(view), screen);
}

TEST_F(EndToEndPrintFigure, TheThumbnailScalesAPointsLabelWithTheFigure) {
  KPFigureView* view = openView();
  ASSERT_NE(view, nullptr);
  chooseTool(view, &classe_point);
  const QPoint at(200, 160);
  click(view, at);
  chooseTool(view, nullptr);
  click(view, at);
  // Letters typed on the selected point name it.
  for (Qt::Key key : {Qt::Key_A, Qt::Key_B, Qt::Key_C, Qt::Key_D}) QTest::keyClick(view, key);
  spin(20);
  click(view, QPoint(20, 20));
  object* point = nullptr;
  for (object* p : objectsOf(view->info(), &classe_point))
    if (p->settings.visible) point = p;
  ASSERT_NE(point, nullptr);
  ASSERT_NE(point->te, nullptr);
  ASSERT_STREQ(point->te->text, "abcd");
  const std::vector<ObjectState> before = figureState(view->info());

  QImage thumbnail;
  NSShowPageController::setSheetResponder([&](NSShowPageController* sheet) {
    sheet->show();
    thumbnail = sheet->theShowView()->thumbnail();
    return 2;
  });
  ASSERT_TRUE(clickMenuItem(menuBarOf(view), QStringLiteral("File"), QStringLiteral("Print")));
  ASSERT_FALSE(thumbnail.isNull());
  EXPECT_TRUE(figureState(view->info()) == before);
  const double scale = static_cast<double>(thumbnail.height()) / (drawing_page.bottom - drawing_page.top);
  auto scaled = [&](double x, double y) {
    return QPointF((x - drawing_page.left) * scale, (y - drawing_page.top) * scale);
  };
  // The point and its label's frame, both at the thumbnail's scale.
  const QPointF dot = scaled(point->valeurs[0].h, point->valeurs[0].v);
  const QPointF centre =
      scaled(point->te->pos.x + point->te->size.w / 2.0, point->te->pos.y + point->te->size.h / 2.0);
  const QSizeF half(point->te->size.w * scale / 2 + 2, point->te->size.h * scale / 2 + 2);
  const QRectF label(centre - QPointF(half.width(), half.height()), centre + QPointF(half.width(), half.height()));
  int in_label = 0, stray = 0;
  // Nothing else on the page: the figure holds the point alone.
  for (int y = 0; y < thumbnail.height(); ++y)
    for (int x = 0; x < thumbnail.width(); ++x) {
      if ((thumbnail.pixel(x, y) & 0xFFFFFF) == 0xFFFFFF) continue;
      if (label.contains(x, y)) ++in_label;
      else if (std::hypot(x - dot.x(), y - dot.y()) > 4) ++stray;
    }
  EXPECT_GT(in_label, 0) << "the label is not seen";
  EXPECT_EQ(stray, 0) << "the label is drawn at the window's size";
}

}  // namespace

namespace {

bool isInk(QRgb c) { return qRed(c) < 230 || qGreen(c) < 230 || qBlue(c) < 230; }

template <class Pred>
int inkNearIn(const QImage& image, QPoint p, int radius, Pred pred) {
  int count = 0;
  for (int dy = -radius; dy <= radius; ++dy)
    for (int dx = -radius; dx <= radius; ++dx) {
      const QPoint q = p + QPoint(dx, dy);
      if (image.rect().contains(q) && pred(image.pixel(q))) ++count;
    }
  return count;
}

// The shift of `from`'s picture on `to` that puts the most ink on ink.
QPoint bestShift(const QImage& from, const QImage& to) {
  constexpr int kBlock = 4;
  auto mask = [](const QImage& image) {
    QImage m(image.width() / kBlock + 1, image.height() / kBlock + 1, QImage::Format_Grayscale8);
    m.fill(0);
    for (int y = 0; y < image.height(); ++y)
      for (int x = 0; x < image.width(); ++x)
        if (isInk(image.pixel(x, y))) m.setPixel(x / kBlock, y / kBlock, 0xFFFFFFFF);
    return m;
  };
  const QImage a = mask(from);
  const QImage b = mask(to);
  std::vector<QPoint> ink;
  for (int y = 0; y < a.height(); ++y)
    for (int x = 0; x < a.width(); ++x)
      if (qGray(a.pixel(x, y)) > 0) ink.push_back({x, y});
  auto score = [](const QImage& target, const std::vector<QPoint>& points, QPoint d) {
    int n = 0;
    for (const QPoint& p : points)
      if (target.rect().contains(p + d) && qGray(target.pixel(p + d)) > 0) ++n;
    return n;
  };
  QPoint best;
  int best_score = -1;
  for (int dy = -b.height(); dy <= b.height(); ++dy)
    for (int dx = -b.width(); dx <= b.width(); ++dx)
      if (const int sc = score(b, ink, {dx, dy}); sc > best_score) {
        best_score = sc;
        best = {dx, dy};
      }
  std::vector<QPoint> fine;
  for (int y = 0; y < from.height(); ++y)
    for (int x = 0; x < from.width(); ++x)
      if (isInk(from.pixel(x, y))) fine.push_back({x, y});
  QImage inked(to.size(), QImage::Format_Grayscale8);
  for (int y = 0; y < to.height(); ++y)
    for (int x = 0; x < to.width(); ++x) inked.setPixel(x, y, isInk(to.pixel(x, y)) ? 0xFFFFFFFF : 0);
  const QPoint coarse = best * kBlock;
  best_score = -1;
  for (int dy = -kBlock; dy <= kBlock; ++dy)
    for (int dx = -kBlock; dx <= kBlock; ++dx)
      if (const int sc = score(inked, fine, coarse + QPoint(dx, dy)); sc > best_score) {
        best_score = sc;
        best = coarse + QPoint(dx, dy);
      }
  return best;
}

TEST_F(EndToEndPrintFigure, ThePrintedPageShowsTheFigureAsTheWindowDoes) {
  KPFigureView* view = drawFigure();
  ASSERT_NE(view, nullptr);
  const std::vector<ObjectState> before = figureState(view->info());
  const QImage screen = shown(view);
  const QImage page = printToPdf(view, QDir(dir.path()), QStringLiteral("figure"));
  EXPECT_TRUE(figureState(view->info()) == before);
  ASSERT_FALSE(page.isNull());

  // Where the window's picture lies on the page: the shift that puts most
  // of its ink on ink, found on coarse masks first.
  const QPoint shift = bestShift(screen, page);
  auto page_at = [&](QPoint p) { return p + shift; };
  int matched = 0;
  int inked = 0;
  for (int y = 0; y < screen.height(); ++y)
    for (int x = 0; x < screen.width(); ++x) {
      const QPoint q = page_at(QPoint(x, y));
      if (!isInk(screen.pixel(x, y)) || !page.rect().adjusted(40, 40, -40, -40).contains(q)) continue;
      ++inked;
      if (inkNearIn(page, q, 1, isInk) > 0) ++matched;
    }
  ASSERT_GT(inked, 500);
  EXPECT_GT(matched, inked * 9 / 10) << matched << " of " << inked;
  // The circle at the print scale around its centre.
  for (QPoint ring : {QPoint(400, 185), QPoint(465, 250), QPoint(335, 250), QPoint(400, 315)})
    EXPECT_GT(inkNearIn(page, page_at(ring), 2, isInk), 0) << ring.x() << "," << ring.y();
  EXPECT_EQ(inkNearIn(page, page_at(QPoint(400, 210)), 3, isInk), 0);
  // The line is seen through the yellow triangle and under the measure's
  // text, as in the window.
  auto greenish = [](QRgb c) { return qGreen(c) > 150 && qRed(c) < 150; };
  EXPECT_GT(inkNearIn(screen, QPoint(140, 168), 2, greenish), 0);
  EXPECT_GT(inkNearIn(page, page_at(QPoint(140, 168)), 2, greenish), 0);
  EXPECT_GT(inkNearIn(page, page_at(QPoint(500, 257)), 2, greenish), 0);
}


// The rows a table's cell texts take in a picture: for each row band of the
// table (between its row lines), the first and last line of pixels with ink
// inside the column of values, away from the frame's lines.
std::vector<std::pair<int, int>> cellInkRows(const QImage& image, QRect column, int line_height, int rows,
                                             QPoint shift) {
  std::vector<std::pair<int, int>> out;
  for (int r = 0; r < rows; ++r) {
    int first = -1, last = -1;
    const int top = column.top() + line_height * (r + 1);
    for (int y = top + 2; y < top + line_height - 1; ++y)
      for (int x = column.left() + 3; x < column.right() - 3; ++x) {
        const QPoint q = QPoint(x, y) + shift;
        if (!image.rect().contains(q) || !isInk(image.pixel(q))) continue;
        if (first < 0) first = y;
        last = y;
        break;
      }
    out.emplace_back(first, last);
  }
  return out;
}

TEST_F(EndToEndPrintFigure, ATablesCellsPrintAtTheFiguresSizeEachInItsRow) {
  KPFigureView* view = openView();
  ASSERT_NE(view, nullptr);
  object* length = measuredSegment(view);
  ASSERT_NE(length, nullptr);
  pickFromPalette(&classe_table);
  drag(view, QPoint(350, 60), QPoint(550, 220));
  const std::vector<object*> tables = objectsOf(view->info(), &classe_table);
  ASSERT_EQ(tables.size(), 1u);
  object* table = tables[0];
  object* shown_length = textShowing(view->info(), length);
  ASSERT_NE(shown_length, nullptr);
  click(view, frameCentre(view, shown_length));
  ASSERT_EQ(table->nbparents, 2);
  // Rows added by moving the segment's end.
  pickFromPalette(kPointerTool);
  drag(view, QPoint(300, 300), QPoint(340, 300));
  ASSERT_GE(table->nbvaleurs, 3);
  const QImage screen = shown(view);

  const QImage page = printToPdf(view, QDir(dir.path()), QStringLiteral("table"));
  ASSERT_FALSE(page.isNull());
  const QPoint shift = bestShift(screen, page);

  // The column of values and the line height, in the window.
  int32_t w0 = 0, h = 0;
  table_metrics(table->te, &w0, &h);
  ASSERT_GT(h, 4);
  tagPOINT corner{table->te->pos.x + w0, table->te->pos.y};
  view->localToGlobalDDM(&corner);
  const QRect column(corner.x, corner.y, 70, h * (table->nbvaleurs + 1));
  const int rows = std::min<int>(table->nbvaleurs, 5);
  const auto on_screen = cellInkRows(screen, column, h, rows, {});
  const auto on_paper = cellInkRows(page, column, h, rows, shift);
  for (int r = 0; r < rows; ++r) {
    ASSERT_GE(on_screen[r].first, 0) << "row " << r;
    ASSERT_GE(on_paper[r].first, 0) << "row " << r << " has no text on paper";
    // The same height as in the window, within a pixel at one point each.
    EXPECT_NEAR(on_paper[r].second - on_paper[r].first, on_screen[r].second - on_screen[r].first, 2) << "row " << r;
  }
  // Nothing of a cell's text spills over the table's frame or onto the
  // next row: the ink on paper inside the table is the window's.
  const QRect frame(column.left() - w0, column.top(), table->te->size.w, table->te->size.h);
  int screen_ink = 0, paper_ink = 0, around = 0;
  for (int y = frame.top() - 30; y < frame.bottom() + 30; ++y)
    for (int x = frame.left() - 30; x < frame.right() + 30; ++x) {
      const QPoint q = QPoint(x, y) + shift;
      const bool ink = page.rect().contains(q) && isInk(page.pixel(q));
      if (frame.contains(x, y)) {
        if (screen.rect().contains(x, y) && isInk(screen.pixel(x, y))) ++screen_ink;
        if (ink) ++paper_ink;
      } else if (ink && inkNearIn(screen, QPoint(x, y), 1, isInk) == 0) {
        ++around;
      }
    }
  EXPECT_LT(paper_ink, screen_ink * 13 / 10) << paper_ink << " against " << screen_ink;
  EXPECT_LT(around, 40);
}

}  // namespace
