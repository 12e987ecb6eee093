// A table is drawn at the figure's scale: at any zoom its rows, lines and
// cell texts keep together as the whole figure shrinks or grows, and its
// frame holds every column, the same in the window, in an exported picture
// and on paper. The axes' letters follow the zoom as smooth letters.
#include <QDir>
#include <QFile>
#include <QMenuBar>
#include <QPrinter>
#include <QProcess>
#include <QSlider>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "app/document/kp_document.h"
#include "app/panels/kp_show_view.h"
#include "app/shell/figure_window.h"
#include "app/support/figure_test.h"
#include "kernel/model/table.h"
#include "kernel/model/units.h"
#include "kernel/text/text_drawing.h"
#include "platform/kp_files.h"

namespace {

bool dark(QRgb c) { return qGray(c) < 150; }
bool inked(QRgb c) { return qGray(c) < 200; }
bool faint(QRgb c) { return qGray(c) < 245; }

class EndToEndTableScale : public FigureTest {
 protected:
  void TearDown() override {
    kp_set_file_chooser({});
    NSShowPageController::setSheetResponder({});
    KPDocument::setPrintPanelResponder({});
    closeAll();
    FigureTest::TearDown();
  }

  // The slider moved with its keys, as a user does once it has the focus.
  static void zoomWith(KPFigureView* view, Qt::Key key, int times = 1) {
    QSlider* zoom = view->figureWindow()->zoomControl();
    zoom->setFocus();
    for (int i = 0; i < times; ++i) QTest::keyClick(zoom, key);
    spin(20);
  }

  // Two segments measured, a table dragged out at the tool's smallest
  // frame near the middle of the view (which the zoom keeps in place) and
  // given both measures, then rows added by dragging an end.
  object* tableOfTwoMeasures(KPFigureView* view) {
    segment(view, QPoint(100, 300), QPoint(300, 300));
    pickFromPalette(&classe_length);
    click(view, QPoint(200, 300));
    segment(view, QPoint(100, 400), QPoint(260, 420));
    pickFromPalette(&classe_length);
    click(view, QPoint(180, 410));
    const std::vector<object*> lengths = objectsOf(view->info(), &classe_length);
    if (lengths.size() != 2) return nullptr;
    pickFromPalette(&classe_table);
    drag(view, QPoint(330, 150), QPoint(350, 170));
    const std::vector<object*> tables = objectsOf(view->info(), &classe_table);
    if (tables.size() != 1) return nullptr;
    for (object* length : lengths) {
      object* text = textShowing(view->info(), length);
      if (!text) return nullptr;
      click(view, frameCentre(view, text));
    }
    pickFromPalette(kPointerTool);
    drag(view, QPoint(300, 300), QPoint(330, 300));
    return tables[0]->nbparents == 4 && tables[0]->nbvaleurs >= 3 ? tables[0] : nullptr;
  }

  // The table's frame in the view, grown by `margin`.
  static QRect frameInView(KPFigureView* view, const object* table, int margin = 0) {
    const QPointF a = view->figureToView(QPointF(table->te->pos.x, table->te->pos.y));
    const QPointF b =
        view->figureToView(QPointF(table->te->pos.x + table->te->size.w, table->te->pos.y + table->te->size.h));
    return QRectF(a, b).toAlignedRect().adjusted(-margin, -margin, margin, margin);
  }

  // The share of `drawn`'s inked pixels that have some ink of `reference`
  // within two pixels (a line of one picture may fall a pixel beside the
  // other's, and be a pixel wider): how well the two pictures agree.
  static double agreement(const QImage& drawn, const QImage& reference) {
    int dark_pixels = 0, matched = 0;
    for (int y = 0; y < drawn.height(); ++y)
      for (int x = 0; x < drawn.width(); ++x) {
        if (!inked(drawn.pixel(x, y))) continue;
        ++dark_pixels;
        bool near = false;
        for (int dy = -2; dy <= 2 && !near; ++dy)
          for (int dx = -2; dx <= 2 && !near; ++dx)
            near = reference.rect().contains(x + dx, y + dy) && faint(reference.pixel(x + dx, y + dy));
        if (near) ++matched;
      }
    return dark_pixels == 0 ? 0 : static_cast<double>(matched) / dark_pixels;
  }

  // The box of a picture's dark pixels inside the rectangle (empty when
  // there are none).
  static QRect inkBox(const QImage& image, const QRect& area) {
    QRect box;
    for (int y = area.top(); y <= area.bottom(); ++y)
      for (int x = area.left(); x <= area.right(); ++x)
        if (image.rect().contains(x, y) && dark(image.pixel(x, y))) box |= QRect(x, y, 1, 1);
    return box;
  }

  // Dark pixels of the picture inside the rectangle.
  static int darkIn(const QImage& image, const QRect& area) {
    int n = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
      for (int x = area.left(); x <= area.right(); ++x)
        if (image.rect().contains(x, y) && dark(image.pixel(x, y))) ++n;
    return n;
  }
};

// At 200 %, 70 % and 40 % the table is the picture of it at 100 % scaled:
// its lines and texts lie where the scaled picture has ink, and the other
// way round, so no row's text stands over another's.
TEST_F(EndToEndTableScale, ATableIsDrawnAtTheFiguresScaleAtEveryZoom) {
  KPFigureView* view = openView();
  ASSERT_NE(view, nullptr);
  object* table = tableOfTwoMeasures(view);
  ASSERT_NE(table, nullptr);
  moveTo(view, QPoint(5, 5));
  const QRect at_one = frameInView(view, table, 2);
  const QImage one = shown(view).copy(at_one);
  ASSERT_GT(darkIn(one, one.rect()), 100);
  // The layout in figure pixels: the row-number column and the rows.
  int32_t w0 = 0, h = 0;
  table_metrics(table->te, &w0, &h);

  const struct {
    Qt::Key key;
    int times;
    double scale;
  } zooms[] = {{Qt::Key_PageUp, 5, 2.0}, {Qt::Key_PageDown, 8, 0.7}, {Qt::Key_PageDown, 3, 0.4}};
  for (const auto& z : zooms) {
    SCOPED_TRACE(z.scale);
    zoomWith(view, z.key, z.times);
    ASSERT_NEAR(view->scale(), z.scale, 1e-6);
    moveTo(view, QPoint(5, 5));
    const QRect area = frameInView(view, table, 2);
    const QImage zoomed = shown(view).copy(area);
    const QImage scaled = one.scaled(zoomed.size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    const double drawn_in_scaled = agreement(zoomed, scaled), scaled_in_drawn = agreement(scaled, zoomed);
    EXPECT_GT(drawn_in_scaled, 0.85) << "the zoomed table is not the table scaled";
    EXPECT_GT(scaled_in_drawn, 0.85) << "parts of the table are missing at this zoom";
    // Each row's value in the first column: in its row at this zoom, as
    // wide as at 100 % scaled, and as far down in its row.
    for (int row = 1; row <= 3; ++row) {
      SCOPED_TRACE(row);
      const QRect at_full(2 + w0 + 3, 2 + row * h + 2, 64, h - 3);
      const double k = z.scale;
      const QRect at_zoom(2 + static_cast<int>(std::ceil((w0 + 3) * k)), 2 + static_cast<int>(std::ceil(row * h * k)) + 1,
                          static_cast<int>(64 * k), static_cast<int>((h - 3) * k));
      const QRect full = inkBox(one, at_full), seen = inkBox(zoomed, at_zoom);
      ASSERT_FALSE(full.isEmpty());
      if (seen.isEmpty()) {
        ADD_FAILURE() << "no value in its row";
        continue;
      }
      EXPECT_NEAR(seen.width(), full.width() * k, 2 + 0.1 * full.width() * k) << "the texts do not follow the zoom";
      EXPECT_NEAR(seen.center().y() - (2 + row * h * k), (full.center().y() - (2 + row * h)) * k, 2)
          << "the rows do not follow the zoom";
    }
    // Its frame scales with the figure.
    EXPECT_NEAR(area.width(), at_one.width() * z.scale, 3 + 4 * z.scale);
  }
}

// At 70 %, 50 % and 149 % each row's digits sit between its two row lines,
// as they do at 100 %: no digit ink lies on a pixel row of a line. The
// table drawn with its lines alone tells the lines' pixel rows and,
// compared with the whole table, the digits' ink.
TEST_F(EndToEndTableScale, TheDigitsKeepClearOfTheRowLinesAtEveryZoom) {
  KPFigureView* view = openView();
  ASSERT_NE(view, nullptr);
  object* table = tableOfTwoMeasures(view);
  ASSERT_NE(table, nullptr);
  // More rows, as a user adds them by dragging the measured segment's end.
  drag(view, QPoint(330, 300), QPoint(350, 300));
  drag(view, QPoint(350, 300), QPoint(377, 300));
  ASSERT_GE(table->nbvaleurs, 5);
  const struct {
    Qt::Key key;
    int times;
    double scale;
  } zooms[] = {{Qt::Key_PageUp, 0, 1.0},
               {Qt::Key_PageDown, 3, 0.7},
               {Qt::Key_PageDown, 2, 0.5},
               {Qt::Key_PageUp, 5, 1.0},
               {Qt::Key_Right, 33, 1 / 0.67}};
  const int32_t top = table->te->pos.y;
  for (const auto& z : zooms) {
    SCOPED_TRACE(z.scale);
    if (z.times > 0) zoomWith(view, z.key, z.times);
    ASSERT_NEAR(view->scale(), z.scale, 1e-4);
    moveTo(view, QPoint(5, 5));
    // The table in two sizes of its font and at five heights: its lines
    // fall at every fraction of a pixel of the zoom.
    for (const int32_t size : {12, 10})
    for (int32_t shift = 0; shift < 5; ++shift) {
    SCOPED_TRACE(testing::Message() << size << " points, " << shift << " pixels lower");
    table->te->format.size = size;
    table->te->pos.y = top + shift;
    const QImage whole = shown(view);
    table_draw_mask = 1;
    const QImage lines = shown(view);
    table_draw_mask = 0xFF;
    const QRect frame = frameInView(view, table).adjusted(1, 1, -1, -1);
    // A row line's pixel rows: ink across the table, the dotted lines' gaps
    // included.
    std::vector<bool> on_line(static_cast<size_t>(frame.height()), false);
    int line_rows = 0;
    for (int y = frame.top(); y <= frame.bottom(); ++y) {
      int n = 0;
      for (int x = frame.left(); x <= frame.right(); ++x) n += faint(lines.pixel(x, y)) ? 1 : 0;
      if (n < frame.width() / 4) continue;
      ++line_rows;
      on_line[static_cast<size_t>(y - frame.top())] = true;
    }
    EXPECT_GE(line_rows, 5);
    // The digits' ink: what the texts add to the lines.
    int ink = 0;
    std::string crossed;
    for (int y = frame.top(); y <= frame.bottom(); ++y)
      for (int x = frame.left(); x <= frame.right(); ++x) {
        if (std::abs(qGray(whole.pixel(x, y)) - qGray(lines.pixel(x, y))) < 60) continue;
        ++ink;
        if (on_line[static_cast<size_t>(y - frame.top())] && crossed.size() < 400)
          crossed += " (" + std::to_string(x - frame.left()) + "," + std::to_string(y - frame.top()) + ")";
      }
    EXPECT_GT(ink, 100 * z.scale * z.scale) << "no digits drawn";
    EXPECT_TRUE(crossed.empty()) << "digit ink on a row line at" << crossed;
    }
  }
}

// The frame dragged out at the tool's smallest size holds both columns once
// the second measure is added: the second column's values lie inside the
// frame, in the window after a redraw, in the exported picture and on paper.
TEST_F(EndToEndTableScale, TheFrameHoldsEveryColumnOnScreenInExportsAndInPrint) {
  KPFigureView* view = openView();
  ASSERT_NE(view, nullptr);
  object* table = tableOfTwoMeasures(view);
  ASSERT_NE(table, nullptr);
  int32_t w0 = 0, h = 0;
  table_metrics(table->te, &w0, &h);
  // Wide enough for the row numbers and both columns.
  EXPECT_GE(table->te->size.w, w0 + table_column_width(table->te, 1) + table_column_width(table->te, 2));

  moveTo(view, QPoint(5, 5));
  const QRect frame = frameInView(view, table);
  // The second column, as the frame's right part, and the band right of
  // the frame.
  const int second = frame.left() + w0 + table_column_width(table->te, 1);
  const QRect column(second + 2, frame.top() + h + 2, frame.right() - second - 4, h * 3);
  const QRect beyond(frame.right() + 3, frame.top(), 80, frame.height());
  auto check = [&](const QImage& picture, QPoint shift, const char* what) {
    SCOPED_TRACE(what);
    EXPECT_GT(darkIn(picture, column.translated(shift)), 20) << "no values in the second column";
    EXPECT_EQ(darkIn(picture, beyond.translated(shift)), 0) << "ink outside the frame";
    // The frame's right line.
    int line = 0;
    for (int y = frame.top() + 2; y < frame.bottom() - 2; ++y)
      for (int dx = -1; dx <= 2; ++dx)
        if (inked(picture.pixel(QPoint(frame.right() + dx, y) + shift))) {
          ++line;
          break;
        }
    EXPECT_GT(line, frame.height() * 3 / 4);
  };
  // The window, drawn again, then drawn once more.
  check(shown(view), {}, "window");
  check(shown(view), {}, "window again");

  // File > Export as a PNG picture: the figure as the window shows it.
  const QString png = dir.filePath(QStringLiteral("table.png"));
  const std::string chosen = png.toStdString();
  kp_set_file_chooser([chosen](const KPFileDialogRequest&) -> std::optional<std::string> { return chosen; });
  ASSERT_TRUE(clickMenuItem(menuBarOf(view), QStringLiteral("File"), QStringLiteral("Export")));
  kp_set_file_chooser({});
  const QImage exported(png);
  ASSERT_FALSE(exported.isNull());
  check(exported, {}, "export");

  // File > Print to a PDF, read back at one pixel a figure pixel; the page
  // holds the window's picture somewhere, found from the table's corner.
  QPointF origin;
  QRectF printable;
  NSShowPageController::setSheetResponder([&](NSShowPageController* sheet) {
    sheet->show();
    origin = sheet->theShowView()->printingOrigin();
    return 1;
  });
  const QString pdf = dir.filePath(QStringLiteral("table.pdf"));
  KPDocument::setPrintPanelResponder([&](QPrinter* printer) {
    printer->setOutputFormat(QPrinter::PdfFormat);
    printer->setOutputFileName(pdf);
    printable = printer->pageLayout().paintRect(QPageLayout::Point);
    return true;
  });
  ASSERT_TRUE(clickMenuItem(menuBarOf(view), QStringLiteral("File"), QStringLiteral("Print")));
  ASSERT_TRUE(QFile::exists(pdf));
  const QString stem = dir.filePath(QStringLiteral("table"));
  QProcess process;
  process.start(QStringLiteral("pdftoppm"),
                {QStringLiteral("-r"), QString::number(72 * figure_pixels_per_point(), 'f', 6), QStringLiteral("-png"),
                 QStringLiteral("-singlefile"), pdf, stem + QStringLiteral("-page")});
  ASSERT_TRUE(process.waitForFinished(30000) && process.exitCode() == 0);
  const QImage page(stem + QStringLiteral("-page.png"));
  ASSERT_FALSE(page.isNull());
  // A figure point lies on the page at its distance from the printing
  // origin, past the printable area's corner.
  const tagPOINT corner = figurePoint(view, frame.topLeft());
  const QPoint on_page(static_cast<int>(std::lround(printable.left() * figure_pixels_per_point() + corner.x -
                                                    origin.x())),
                       static_cast<int>(std::lround(printable.top() * figure_pixels_per_point() + corner.y -
                                                    origin.y())));
  check(page, on_page - frame.topLeft(), "print");
}

// The axes' letters at 250 %: smooth letters, not squares of pixels. Across
// the letter's ink there are shades between the letter's colour and the
// paper, as the edges of a smooth letter have.
TEST_F(EndToEndTableScale, TheAxesLettersAreSmoothLettersWhenZoomed) {
  KPFigureView* view = openFigure(QStringLiteral("axes.fig"), [](const Placer&) {
    return std::string("1: Pt, Val: 0 -0\r\ninvisible, \r\n\r\n2: Axes, Const: 1, cart, Val: 1 -0 0 1\r\n\r\n");
  });
  ASSERT_NE(view, nullptr);
  zoomWith(view, Qt::Key_PageUp, 6);
  ASSERT_NEAR(view->scale(), 2.5, 1e-6);
  moveTo(view, QPoint(5, 5));
  const QImage picture = shown(view);
  // The x letter lies near the right end of the x axis, above it.
  const QPointF origin = view->figureToView(QPointF(0, 0));
  const QRect around(picture.width() - 120, static_cast<int>(origin.y()) - 80, 100, 70);
  int red = 0, shaded = 0;
  for (int y = around.top(); y <= around.bottom(); ++y)
    for (int x = around.left(); x <= around.right(); ++x) {
      if (!picture.rect().contains(x, y)) continue;
      const QColor c = picture.pixelColor(x, y);
      if (c.red() > 200 && c.green() < 60 && c.blue() < 60) ++red;
      else if (c.red() > 200 && c.green() >= 60 && c.green() < 230) ++shaded;
    }
  ASSERT_GT(red, 60) << "no letter";
  // A letter of 3-pixel squares has no shade at all.
  EXPECT_GT(shaded, red / 8) << red << " full, " << shaded << " shaded";
}

}  // namespace
