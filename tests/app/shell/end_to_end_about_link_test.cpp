// The about box shows the program's web address: the pointer over it is a
// pointing hand (whatever the kernel's cursor updates say meanwhile), and a
// click on it opens the address without closing the box.
#include <QEnterEvent>
#include <algorithm>
#include <QTest>
#include <QUrl>

#include "app/panels/about_panel.h"
#include "app/shell/figure_window.h"
#include "app/support/figure_test.h"
#include "kernel/tools/cursors.h"
#include "platform/kp_cursor.h"

namespace {

class EndToEndAboutLink : public FigureTest {
 protected:
  void TearDown() override {
    NSLinkTextField::setOpener(nullptr);
    if (NSAboutPanel* panel = NSAboutPanel::existing()) panel->close();
    FigureTest::TearDown();
    KPCursor::clearTable();
    std::fill(std::begin(kernel_cursors), std::end(kernel_cursors), nullptr);
    current_cursor = nullptr;
  }
  static QList<QUrl>& opened() {
    static QList<QUrl> urls;
    return urls;
  }
};

TEST_F(EndToEndAboutLink, TheWebAddressInTheAboutBoxShowsTheHandAndOpensWhenClicked) {
  // The cursors of the application's table, as at launch.
  ASSERT_TRUE(NSKelvoCursorsLoader::initWithFile(KELVO_SOURCE_RESOURCES "/Cursors.xml"));
  load_cursors();
  KPFigureView* view = openView();
  ASSERT_NE(view, nullptr);
  auto* w = dynamic_cast<KPFigureWindow*>(view->window());
  ASSERT_NE(w, nullptr);
  opened().clear();
  NSLinkTextField::setOpener([](const QUrl& url) {
    opened() << url;
    return true;
  });
  ASSERT_TRUE(clickMenuItem(w->menuBar(), QStringLiteral("Help"), QStringLiteral("About Kelvo Nova")));
  spin(20);
  NSAboutPanel* panel = NSAboutPanel::existing();
  ASSERT_NE(panel, nullptr);
  ASSERT_TRUE(panel->isVisible());
  NSLinkTextField* link = panel->linkField();
  ASSERT_NE(link, nullptr) << "the about box shows no web address";
  EXPECT_TRUE(link->isVisible());
  const QString address = link->text();
  EXPECT_FALSE(address.isEmpty());
  EXPECT_FALSE(address.startsWith(QStringLiteral("String "))) << address.toStdString();

  // The pointer comes over the address: the hand, and the kernel's cursor
  // updates keep it while the pointer stays.
  const QPoint inside = link->rect().center();
  QEnterEvent enter(inside, link->mapToGlobal(inside), link->mapToGlobal(inside));
  QApplication::sendEvent(link, &enter);
  EXPECT_TRUE(NSLinkTextField::inside());
  EXPECT_EQ(link->cursor().shape(), Qt::PointingHandCursor);
  ASSERT_NE(KPCursor::currentCursor(), nullptr);
  EXPECT_EQ(KPCursor::currentCursor()->shape(), Qt::PointingHandCursor);
  update_cursor(kernel_cursors[CURSOR_ARROW]);
  ASSERT_NE(KPCursor::currentCursor(), nullptr);
  EXPECT_EQ(KPCursor::currentCursor()->shape(), Qt::PointingHandCursor);

  // A click opens the address; the box stays open.
  QTest::mouseClick(link, Qt::LeftButton, {}, inside);
  spin(10);
  ASSERT_EQ(opened().size(), 1);
  EXPECT_EQ(opened().front(), QUrl(QStringLiteral("http://") + address));
  EXPECT_TRUE(panel->isVisible());

  // The pointer leaves: the cursor from before comes back.
  QEvent leave(QEvent::Leave);
  QApplication::sendEvent(link, &leave);
  EXPECT_FALSE(NSLinkTextField::inside());
  update_cursor(kernel_cursors[CURSOR_ARROW]);
  ASSERT_NE(KPCursor::currentCursor(), nullptr);
  EXPECT_NE(KPCursor::currentCursor()->shape(), Qt::PointingHandCursor);

  // A press that leaves the address before its release opens nothing.
  QTest::mousePress(link, Qt::LeftButton, {}, inside);
  QTest::mouseRelease(link, Qt::LeftButton, {}, QPoint(-20, -20));
  spin(10);
  EXPECT_EQ(opened().size(), 1);
}

}  // namespace
