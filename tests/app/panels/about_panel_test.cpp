// The about box and its slide show of credits, the splash, link fields,
// tinted icons and the key equivalents that no menu item takes.
#include <QKeyEvent>
#include <QMenuBar>
#include <QSlider>
#include <QTest>

#include "app/panels/about_panel.h"
#include "app/shell/application.h"
#include "app/shell/figure_window.h"
#include "app/support/figure_test.h"
#include "kernel/text/kernel_strings.h"
#include "platform/kp_cursor.h"

namespace {

class About : public FigureTest {
 protected:
  void TearDown() override {
    if (NSAboutPanel* p = NSAboutPanel::existing()) p->close();
    FigureTest::TearDown();
  }
  // Runs the fade to its end, step by step as its timer would.
  static void finishFade(NSAboutPanel* panel) {
    for (int i = 0; i < 200 && panel->fadeTimerActive(); ++i) panel->fade();
  }
};

TEST_F(About, TheVersionLineIsTheKernelTextThenWhatIsKnownThenThePlatform) {
  EXPECT_EQ(about_version_line("Kelvo Nova 1.4", std::nullopt, std::nullopt, "Linux"), "Kelvo Nova 1.4 Linux");
  EXPECT_EQ(about_version_line("Kelvo Nova", std::string("1.4"), std::string("13000"), "Linux"),
            "Kelvo Nova 1.4 (build 13000) Linux");
  EXPECT_EQ(about_version_line("K", std::nullopt, std::string("7"), "P"), "K (build 7) P");
  EXPECT_FALSE(running_platform_name().empty());
  // The box shows the line of this program.
  NSAboutPanel* panel = NSAboutPanel::shared();
  const QString shown = panel->fieldWithTag(NSAboutPanel::kVersionTag)->text();
  EXPECT_TRUE(shown.startsWith(QString::fromLatin1(kernel_string(3)))) << shown.toStdString();
  EXPECT_TRUE(shown.endsWith(QString::fromStdString(running_platform_name()))) << shown.toStdString();
  EXPECT_FALSE(shown.contains(QStringLiteral("Mac")));
}

TEST_F(About, CreditLinesFitTheirSlots) {
  for (int i = 0; i < kCreditLineCount; ++i) {
    EXPECT_GT(std::strlen(credit_line(i)), 0u);
    EXPECT_LE(std::strlen(credit_line(i)), 49u);
  }
  EXPECT_STREQ(credit_line(kCreditLineCount), "");
  EXPECT_STREQ(credit_line(-1), "");
}

TEST_F(About, TheSlideShowFadesToTheNextLineAndComesBackToTheFirst) {
  NSAboutPanel* panel = NSAboutPanel::shared();
  panel->display();
  QLabel* current = panel->fieldWithTag(NSAboutPanel::kCurrentLineTag);
  QLabel* next = panel->fieldWithTag(NSAboutPanel::kNextLineTag);
  EXPECT_EQ(panel->currentIndex(), 0);
  EXPECT_EQ(panel->nextIndex(), 1);
  EXPECT_TRUE(panel->holdTimerActive());
  EXPECT_EQ(current->text(), QString::fromLatin1(credit_line(0)));
  EXPECT_EQ(next->text(), QString::fromLatin1(credit_line(1)));
  const int rest = current->y();

  panel->startFade();
  EXPECT_FALSE(panel->holdTimerActive());
  EXPECT_TRUE(panel->fadeTimerActive());
  for (int i = 0; i < 30; ++i) panel->fade();
  // Halfway through: the current line fades twice as fast and slides down.
  EXPECT_NEAR(panel->fadePosition(), 0.30, 1e-9);
  EXPECT_NEAR(current->palette().color(QPalette::WindowText).alphaF(), 1 - 2 * 0.29, 0.01);
  EXPECT_NEAR(next->palette().color(QPalette::WindowText).alphaF(), 0.29, 0.01);
  EXPECT_GT(current->y(), rest);
  EXPECT_LE(current->y(), rest + 12);
  finishFade(panel);
  EXPECT_EQ(panel->currentIndex(), 1);
  EXPECT_EQ(panel->nextIndex(), 2);
  EXPECT_EQ(current->y(), rest);
  EXPECT_NEAR(current->palette().color(QPalette::WindowText).alphaF(), 1, 0.01);
  EXPECT_NEAR(next->palette().color(QPalette::WindowText).alphaF(), 0, 0.01);
  EXPECT_TRUE(panel->holdTimerActive());

  // After the fifteenth line the first comes again.
  for (int line = 2; line <= kCreditLineCount; ++line) {
    panel->startFade();
    finishFade(panel);
  }
  EXPECT_EQ(panel->currentIndex(), 0);
  EXPECT_EQ(panel->nextIndex(), 1);
  EXPECT_EQ(current->text(), QString::fromLatin1(credit_line(0)));
}

TEST_F(About, ClosingDuringAFadeStopsItAndOpeningRestartsFromTheFirstLine) {
  NSAboutPanel* panel = NSAboutPanel::shared();
  panel->display();
  panel->startFade();
  finishFade(panel);
  panel->startFade();
  for (int i = 0; i < 40; ++i) panel->fade();
  ASSERT_TRUE(panel->fadeTimerActive());
  panel->close();
  EXPECT_FALSE(panel->fadeTimerActive());
  EXPECT_FALSE(panel->holdTimerActive());
  spin(20);
  EXPECT_EQ(panel->currentIndex(), 1);  // nothing went on while closed
  panel->display();
  EXPECT_EQ(panel->currentIndex(), 0);
  EXPECT_EQ(panel->nextIndex(), 1);
  EXPECT_EQ(panel->fadePosition(), 0);
  EXPECT_EQ(panel->fieldWithTag(NSAboutPanel::kCurrentLineTag)->y(), panel->restHeight());
}

TEST_F(About, TheSplashShowsOnALaterTurnAndClosesAfterItsTime) {
  NSAboutPanel* panel = NSAboutPanel::shared();
  bool asked = false;
  auto* splasher = new NSKelvoSplasher(panel, [&] { asked = true; return true; }, 150);
  EXPECT_FALSE(splasher->splashing());  // not before the posted message comes back
  EXPECT_TRUE(waitUntil([&] { return asked; }));
  EXPECT_TRUE(splasher->splashing());
  EXPECT_TRUE(splash_on_show());
  EXPECT_TRUE(panel->isVisible());
  EXPECT_EQ(panel->currentIndex(), 0);
  // Its time over, it closes.
  EXPECT_TRUE(waitUntil([&] { return !splasher->splashing(); }));
  EXPECT_FALSE(panel->isVisible());
  delete splasher;
  EXPECT_FALSE(splash_on_show());
}

TEST_F(About, NoSplashWhenTheApplicationSaysNo) {
  auto* splasher = new NSKelvoSplasher(NSAboutPanel::shared(), [] { return false; }, 150);
  spin(30);
  EXPECT_FALSE(splasher->splashing());
  EXPECT_FALSE(NSAboutPanel::shared()->isVisible());
  delete splasher;
}

TEST_F(About, APressInAFigureClosesTheSplash) {
  KPFigureView* view = openView();
  ASSERT_NE(view, nullptr);
  DUVirIdazididovi* application = app();
  application->displaySplasher();
  spin(30);
  NSKelvoSplasher* splasher = application->getSplasher();
  ASSERT_NE(splasher, nullptr);
  ASSERT_TRUE(splasher->splashing());
  click(view, QPoint(50, 50));
  EXPECT_FALSE(splasher->splashing());
  EXPECT_FALSE(NSAboutPanel::shared()->isVisible());
}

TEST_F(About, LeavingALinkFieldRestoresTheCursorUnlessTheSplashIsUp) {
  NSLinkTextField link(QStringLiteral("example.org"));
  EXPECT_EQ(link.address(), QUrl(QStringLiteral("http://example.org")));
  EXPECT_FALSE(NSLinkTextField(QStringLiteral("not an address")).address().isValid());
  EXPECT_FALSE(NSLinkTextField(QString()).address().isValid());
  // A click on a field that makes no address does nothing (no assertion).
  NSLinkTextField bad(QStringLiteral("a b"));
  QTest::mouseClick(&bad, Qt::LeftButton);

  KPCursor::setCursorByName("Arrow");
  KPCursor* before = KPCursor::lastSet();
  QEnterEvent enter(QPointF(1, 1), QPointF(1, 1), QPointF(1, 1));
  QApplication::sendEvent(&link, &enter);
  EXPECT_TRUE(NSLinkTextField::inside());
  KPCursor::setCursorByName("AppStarting");
  QEvent leave(QEvent::Leave);
  QApplication::sendEvent(&link, &leave);
  EXPECT_FALSE(NSLinkTextField::inside());
  EXPECT_EQ(KPCursor::lastSet(), before);
}

TEST_F(About, ATintedIconKeepsItsTransparency) {
  QImage icon(8, 8, QImage::Format_ARGB32);
  icon.fill(Qt::transparent);
  for (int y = 2; y < 6; ++y)
    for (int x = 2; x < 6; ++x) icon.setPixelColor(x, y, Qt::black);
  const QImage tinted = tinted_image_with_color(icon, QColor(255, 0, 0));
  EXPECT_EQ(tinted.size(), icon.size());
  EXPECT_EQ(tinted.pixelColor(0, 0).alpha(), 0);
  EXPECT_EQ(tinted.pixelColor(7, 7).alpha(), 0);
  EXPECT_EQ(tinted.pixelColor(3, 3), QColor(255, 0, 0));
}

bool g_key_reached = false;
bool note_key(QKeyEvent*) {
  g_key_reached = true;
  return true;
}

TEST_F(About, AKeyEquivalentNoMenuItemTakesReachesTheFigureView) {
  KPFigureView* view = openView();
  ASSERT_NE(view, nullptr);
  auto* w = dynamic_cast<KPFigureWindow*>(view->window());
  ASSERT_NE(w, nullptr);
  bool (*before)(QKeyEvent*) = KPGeoMenu::figure_key_handler;
  KPGeoMenu::figure_key_handler = &note_key;
  g_key_reached = false;
  // Focus away from the view: the key bubbles up to the window.
  w->zoomControl()->setFocus();
  QTest::keyClick(w->zoomControl(), Qt::Key_J, Qt::ControlModifier);
  EXPECT_TRUE(g_key_reached);
  // A key that an item of the bar takes stays the item's.
  QMenuBar bar;
  QMenu* menu = bar.addMenu(QStringLiteral("M"));
  QAction* item = menu->addAction(QStringLiteral("I"));
  item->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_K));
  g_key_reached = false;
  QKeyEvent taken(QEvent::KeyPress, Qt::Key_K, Qt::ControlModifier);
  EXPECT_FALSE(KPGeoMenu::performKeyEquivalent(&bar, &taken));
  EXPECT_FALSE(g_key_reached);
  QKeyEvent free_key(QEvent::KeyPress, Qt::Key_L, Qt::ControlModifier);
  EXPECT_TRUE(KPGeoMenu::performKeyEquivalent(&bar, &free_key));
  EXPECT_TRUE(g_key_reached);
  KPGeoMenu::figure_key_handler = before;
}

}  // namespace
