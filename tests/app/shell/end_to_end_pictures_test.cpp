// A picture put on a triangle from the figure's context menu: shown in the
// triangle, kept in the saved figure, or written beside it as a BMP file.
#include <QAction>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QKeyEvent>
#include <QMenu>
#include <QTimer>
#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "app/document/kp_document.h"
#include "app/support/figure_test.h"
#include "kernel/exchange/bitmap_info.h"
#include "kernel/window/figure_popup.h"
#include "platform/kp_files.h"

namespace {

class EndToEndPictures : public FigureTest {
 protected:
  void TearDown() override {
    kp_set_file_chooser({});
    closeAll();
    FigureTest::TearDown();
  }

  // While the context menu is open: the submenu titled `sub`, then its item
  // `item`, chosen with the keyboard as a user does. Waits for the menu to
  // open (a busy machine may take a while).
  static void chooseInSubmenu(const QString& sub, const QString& item, int tries = 1000) {
    QTimer::singleShot(30, scope(), [sub, item, tries] {
      auto* open = qobject_cast<QMenu*>(QApplication::activePopupWidget());
      if (!open) {
        if (tries > 0)
          chooseInSubmenu(sub, item, tries - 1);
        else
          ADD_FAILURE() << "the menu never opened";
        return;
      }
      for (QAction* a : open->actions()) {
        if (a->text() != sub || !a->menu()) continue;
        QMenu* inner = a->menu();
        open->setActiveAction(a);
        QKeyEvent right(QEvent::KeyPress, Qt::Key_Right, Qt::NoModifier);
        QApplication::sendEvent(open, &right);
        chooseInOpenMenu(inner, item, tries);
        return;
      }
      QStringList seen;
      for (QAction* a : open->actions()) seen << a->text();
      ADD_FAILURE() << "no submenu " << sub.toStdString() << " among " << seen.join('|').toStdString();
      open->close();
    });
  }

  static void chooseInOpenMenu(QMenu* inner, const QString& item, int tries) {
    QTimer::singleShot(30, scope(), [inner, item, tries] {
      if (!inner->isVisible() && tries > 0) {
        chooseInOpenMenu(inner, item, tries - 1);
        return;
      }
      for (QAction* b : inner->actions())
        if (b->text() == item) {
          inner->setActiveAction(b);
          QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
          QApplication::sendEvent(inner, &enter);
          return;
        }
      ADD_FAILURE() << "no item " << item.toStdString();
      inner->close();
    });
  }

  static void rightClick(KPFigureView* view, QPoint p) {
    moveTo(view, p);
    QTest::mousePress(view, Qt::RightButton, {}, p);
    QTest::mouseRelease(view, Qt::RightButton, {}, p, 10);
    spin(30);
  }

  // A 40 x 40 picture: red, with a white left half.
  QString makePicture(const QString& name) {
    QImage image(40, 40, QImage::Format_RGB32);
    image.fill(Qt::red);
    for (int y = 0; y < 40; ++y)
      for (int x = 0; x < 20; ++x) image.setPixelColor(x, y, Qt::white);
    const QString path = dir.filePath(name);
    EXPECT_TRUE(image.save(path));
    return path;
  }

  static int redNear(const QImage& image, QPoint p, int radius = 3) {
    int n = 0;
    for (int dy = -radius; dy <= radius; ++dy)
      for (int dx = -radius; dx <= radius; ++dx) {
        const QColor c = image.pixelColor(p + QPoint(dx, dy));
        if (c.red() > 200 && c.green() < 60 && c.blue() < 60) ++n;
      }
    return n;
  }

  object* triangleWithPicture(KPFigureView* view, const QString& picture) {
    chooseTool(view, &classe_triangle);
    click(view, QPoint(100, 300));
    click(view, QPoint(300, 300));
    click(view, QPoint(100, 100));
    chooseTool(view, nullptr);
    const auto triangles = objectsOf(view->info(), &classe_triangle);
    EXPECT_EQ(triangles.size(), 1u);
    if (triangles.empty()) return nullptr;
    kp_set_file_chooser([picture](const KPFileDialogRequest& request) -> std::optional<std::string> {
      EXPECT_FALSE(request.save);
      EXPECT_EQ(request.title, "Image file");
      return picture.toStdString();
    });
    chooseInSubmenu(QStringLiteral("Picture"), QStringLiteral("Image File..."));
    // Inside the triangle, near its first side.
    rightClick(view, QPoint(180, 300));
    return triangles[0];
  }
};

TEST_F(EndToEndPictures, APictureOnATriangleIsShownSavedAndReadBack) {
  KPFigureView* view = openView();
  ASSERT_NE(view, nullptr);
  object* triangle = triangleWithPicture(view, makePicture(QStringLiteral("red.png")));
  ASSERT_NE(triangle, nullptr);
  ASSERT_NE(triangle->bitmap, nullptr) << "no picture installed";
  EXPECT_EQ(triangle->bitmap->width, 40);
  // The picture's red half lies towards the second corner's end of the
  // first side (its rows run from the second vertex to the third).
  const QImage shown_now = shown(view);
  const int red_inside = redNear(shown_now, QPoint(150, 200), 6) + redNear(shown_now, QPoint(150, 150), 6) +
                         redNear(shown_now, QPoint(120, 250), 6) + redNear(shown_now, QPoint(250, 280), 6);
  EXPECT_GT(red_inside, 0);
  EXPECT_EQ(redNear(shown_now, QPoint(400, 400)), 0);

  KPDocument* doc = KPDocument::currentDocument();
  ASSERT_NE(doc, nullptr);
  const QString path = dir.filePath("picture.fig");
  KPDocument::setSavePanelResponder([path](const QString&) { return path; });
  ASSERT_TRUE(doc->saveDocument());
  QFile saved(path);
  ASSERT_TRUE(saved.open(QIODevice::ReadOnly));
  EXPECT_TRUE(saved.readAll().contains("************ BITMAPS ************"));
  saved.close();
  doc->close();
  spin(20);
  KPDocument* reopened = KPDocument::openDocument(path);
  ASSERT_NE(reopened, nullptr);
  ASSERT_TRUE(waitForView(reopened->figureView()));
  const QImage shown_again = shown(reopened->figureView());
  EXPECT_EQ(shown_again, shown_now) << "the reopened figure shows other pixels";
}

TEST_F(EndToEndPictures, LinkedPicturesAreWrittenBesideTheFigureAsBmp) {
  KPFigureView* view = openView();
  ASSERT_NE(view, nullptr);
  const QString picture = makePicture(QStringLiteral("gone.png"));
  object* triangle = triangleWithPicture(view, picture);
  ASSERT_NE(triangle, nullptr);
  ASSERT_NE(triangle->bitmap, nullptr);
  // The source file is gone: the picture is written from its pixels.
  QFile::remove(picture);
  view->info()->linked_pictures = 1;
  QDir().mkpath(dir.filePath("out"));
  const QString path = dir.filePath("out/linked.fig");
  KPDocument::setSavePanelResponder([path](const QString&) { return path; });
  KPDocument* doc = KPDocument::currentDocument();
  ASSERT_TRUE(doc->saveDocument());
  // Written as a BMP, and named so in the figure: the extension follows.
  EXPECT_FALSE(QFile::exists(dir.filePath("out/gone.png")));
  QFile figure(path);
  ASSERT_TRUE(figure.open(QIODevice::ReadOnly));
  EXPECT_TRUE(figure.readAll().contains("Bitmap:gone.bmp, "));
  const QString beside = dir.filePath("out/gone.bmp");
  QFile bmp(beside);
  ASSERT_TRUE(bmp.open(QIODevice::ReadOnly)) << "nothing beside the figure";
  EXPECT_TRUE(bmp.read(2) == "BM");
  bmp.close();
  EXPECT_FALSE(QImage(beside).isNull());
  doc->close();
  spin(20);
  KPDocument* reopened = KPDocument::openDocument(path);
  ASSERT_NE(reopened, nullptr);
  ASSERT_TRUE(waitForView(reopened->figureView()));
  const auto triangles = objectsOf(reopened->figureView()->info(), &classe_triangle);
  ASSERT_EQ(triangles.size(), 1u);
  ASSERT_NE(triangles[0]->bitmap, nullptr);
  EXPECT_EQ(triangles[0]->bitmap->width, 40);
  EXPECT_NE(triangles[0]->bitmap->pixels, nullptr);
}

}  // namespace
