// File > Export as a user does it, to a PNG image and to an HTML page with
// its picture: the written images are decoded and must show the figure.
#include <QDir>
#include <QFile>
#include <QImage>
#include <QMenuBar>
#include <gtest/gtest.h>

#include <functional>
#include <optional>
#include <string>

#include "app/document/kp_document.h"
#include "app/shell/figure_window.h"
#include "app/support/figure_test.h"
#include "platform/kp_files.h"

namespace {

class EndToEndExportImage : public FigureTest {
 protected:
  void TearDown() override {
    kp_set_file_chooser({});
    closeAll();
    FigureTest::TearDown();
  }

  // `while_asked` runs while the file dialog is up.
  bool exportTo(KPFigureView* view, const QString& path, const std::function<void()>& while_asked = {}) {
    const std::string chosen = path.toStdString();
    kp_set_file_chooser([chosen, while_asked](const KPFileDialogRequest&) -> std::optional<std::string> {
      if (while_asked) while_asked();
      return chosen;
    });
    const bool clicked = clickMenuItem(menuBarOf(view), QStringLiteral("File"), QStringLiteral("Export"));
    kp_set_file_chooser({});
    spin(20);
    return clicked;
  }

  // Inked (not white) pixels within `radius` of p.
  static int inkAround(const QImage& image, QPoint p, int radius = 3) {
    int count = 0;
    for (int dy = -radius; dy <= radius; ++dy)
      for (int dx = -radius; dx <= radius; ++dx) {
        const QPoint q = p + QPoint(dx, dy);
        if (image.rect().contains(q) && (image.pixel(q) & 0xFFFFFF) != 0xFFFFFF) ++count;
      }
    return count;
  }

  // The picture must be the figure as the window shows it: white paper, the
  // segment and the circle inked where they are on screen, nothing inked
  // far from them.
  static void expectFigure(const QImage& image, KPFigureView* view, const char* what, int radius = 40) {
    SCOPED_TRACE(what);
    ASSERT_FALSE(image.isNull());
    EXPECT_GE(image.width(), view->width());
    EXPECT_GE(image.height(), view->height());
    for (QPoint white : {QPoint(2, 2), QPoint(view->width() - 30, 20), QPoint(40, view->height() - 30),
                         QPoint(image.width() - 1, image.height() - 1)})
      EXPECT_EQ(image.pixel(white) & 0xFFFFFF, 0xFFFFFFu) << white.x() << "," << white.y();
    for (QPoint ink : {QPoint(100, 100), QPoint(160, 130), QPoint(220, 160), QPoint(160 - radius, 220),
                       QPoint(160, 220 + radius)})
      EXPECT_GT(inkAround(image, ink), 0) << ink.x() << "," << ink.y();
    EXPECT_EQ(inkAround(image, QPoint(300, 60), 10), 0);
  }

};

TEST_F(EndToEndExportImage, ThePngAndTheHtmlPagesPictureShowTheFigure) {
  KPFigureView* first = openSegmentAndCircle(40);
  ASSERT_NE(first, nullptr);
  const QString png = dir.filePath(QStringLiteral("figure.png"));
  ASSERT_TRUE(exportTo(first, png));
  const QImage exported(png);
  expectFigure(exported, first, "png");

  const QString page = dir.filePath(QStringLiteral("page.html"));
  ASSERT_TRUE(exportTo(first, page));
  ASSERT_TRUE(QFile::exists(dir.filePath(QStringLiteral("page.fig"))));
  expectFigure(QImage(dir.filePath(QStringLiteral("page.png"))), first, "html");

  // A second window with another figure exports its own picture, even when
  // the first window was repainted while the dialog was up.
  KPFigureView* second = openSegmentAndCircle(60);
  ASSERT_NE(second, nullptr);
  const QString other = dir.filePath(QStringLiteral("other.png"));
  ASSERT_TRUE(exportTo(second, other, [first] { first->grab(); }));
  const QImage bigger(other);
  expectFigure(bigger, second, "second", 60);
  EXPECT_GT(inkAround(bigger, QPoint(220, 220)), 0);
  EXPECT_EQ(inkAround(exported, QPoint(220, 220)), 0);
}

}  // namespace
