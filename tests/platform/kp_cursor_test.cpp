#include "platform/kp_cursor.h"

#include <QCursor>
#include <QWidget>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>

#include "platform/kelvo_wrap_machine.h"
#include "platform/kp_qt_bridge.h"

namespace {

namespace fs = std::filesystem;

fs::path resources() { return fs::path(KELVO_TEST_DATA).parent_path().parent_path() / "resources"; }

class Cursors : public ::testing::Test {
 protected:
  void SetUp() override { KPCursor::clearTable(); }
  void TearDown() override {
    KPCursor::clearTable();
    kp_set_current_figure_window(nullptr);
  }
  // A table in a scratch folder with one image.
  std::string write_table(const std::string& body) {
    // One folder per test: the tests of this suite run in parallel.
    const fs::path dir = fs::path(KELVO_TEST_OUTPUT) / "cursor_table" /
                         ::testing::UnitTest::GetInstance()->current_test_info()->name();
    fs::create_directories(dir / "cursors");
    fs::copy_file(resources() / "cursors/take.xpm", dir / "cursors/take.xpm",
                  fs::copy_options::overwrite_existing);
    std::ofstream(dir / "Cursors.xml") << "<cursors>" << body << "</cursors>";
    return (dir / "Cursors.xml").string();
  }
};

TEST_F(Cursors, TheTableInheritsIdentifiersAndPrefersImages) {
  const std::string path = write_table(
      R"(<cursor resID="118" name="Take" image="take" hotspot="40,3"><selector>pointingHandCursor</selector></cursor>)"
      R"(<cursor name="Second"><selector>crosshairCursor</selector></cursor>)"
      R"(<cursor resID="7" image="missing"><selector>IBeamCursor</selector></cursor>)"
      R"(<cursor resID="8" image="missing" hotspot="bad"/>)");
  ASSERT_TRUE(NSKelvoCursorsLoader::initWithFile(path.c_str()));

  KPCursor* take = KPCursor::loadCursor(118);
  ASSERT_NE(take, nullptr);
  EXPECT_EQ(take->name(), "Take") << "the first of two entries with one identifier";
  ASSERT_NE(KPCursor::cursorByName("Second"), nullptr);
  EXPECT_EQ(KPCursor::cursorByName("Second")->resID(), 118) << "inherited";

  take->setForce(true);
  take->set();
  ASSERT_NE(KPCursor::currentCursor(), nullptr);
  EXPECT_EQ(KPCursor::currentCursor()->shape(), Qt::BitmapCursor);
  EXPECT_EQ(KPCursor::currentCursor()->hotSpot(), QPoint(31, 3)) << "kept inside the image";

  KPCursor::setCursorByName("Second");
  EXPECT_EQ(KPCursor::currentCursor()->shape(), Qt::CrossCursor) << "its selector's standard cursor";
  KPCursor::setCursorByID(7);  // missing image: the selector's cursor
  EXPECT_EQ(KPCursor::lastSet()->resID(), 7);
  EXPECT_EQ(KPCursor::cursorByName(nullptr), nullptr);
  KPCursor* eighth = KPCursor::loadCursor(8);
  eighth->setForce(true);
  eighth->set();
  EXPECT_EQ(KPCursor::currentCursor()->shape(), Qt::ArrowCursor) << "no image, no selector: the arrow";
}

TEST_F(Cursors, OutsideTheFigureWindowTheArrowShowsUnlessSetByName) {
  const std::string path = write_table(R"(<cursor resID="119" name="Moving"><selector>closedHandCursor</selector></cursor>)");
  ASSERT_TRUE(NSKelvoCursorsLoader::initWithFile(path.c_str()));
  QWidget figure;
  figure.setGeometry(100, 100, 200, 200);
  figure.show();
  kp_set_current_figure_window(kp_hwnd(&figure));

  QCursor::setPos(10, 10);
  KPCursor::setCursorByID(119);
  EXPECT_EQ(KPCursor::currentCursor()->shape(), Qt::ArrowCursor);
  EXPECT_EQ(KPCursor::lastSet()->resID(), 119) << "the kernel's record follows anyway";
  KPCursor::setCursorByName("Moving");
  EXPECT_EQ(KPCursor::currentCursor()->shape(), Qt::ClosedHandCursor);

  if (figure.frameGeometry().contains(QPoint(150, 150))) {
    QCursor::setPos(150, 150);
    if (KPCursor::pointerInWindow()) {
      KPCursor::setCursorByID(119);
      EXPECT_EQ(KPCursor::currentCursor()->shape(), Qt::ClosedHandCursor);
      EXPECT_EQ(figure.cursor().shape(), Qt::ClosedHandCursor);
    }
  }

  KPCursor::setCursorByID(4242);
  EXPECT_EQ(KPCursor::currentCursor(), nullptr);
}

TEST_F(Cursors, TheShippedTableHasEveryKernelCursor) {
  const std::string table = (resources() / "Cursors.xml").string();
  ASSERT_TRUE(NSKelvoCursorsLoader::initWithFile(table.c_str()));
  for (int id : {32512, 32513, 32514, 113, 114, 115, 116, 117, 118, 119, 120, 122, 123, 146, 148, 157, 195, 2000,
                 2010, 2020, 2030, 2040}) {
    KPCursor* entry = KPCursor::loadCursor(id);
    ASSERT_NE(entry, nullptr) << id;
    entry->setForce(true);
    entry->set();
    ASSERT_NE(KPCursor::currentCursor(), nullptr) << id;
  }
  for (const char* name : {"AppStarting", "Arrow", "ArrowAdd"}) EXPECT_NE(KPCursor::cursorByName(name), nullptr) << name;
  KPCursor::loadCursor(148)->set();
  EXPECT_EQ(KPCursor::currentCursor()->shape(), Qt::BitmapCursor);
  EXPECT_EQ(KPCursor::currentCursor()->hotSpot(), QPoint(15, 15));
}

TEST_F(Cursors, AMissingOrBrokenTable) {
  EXPECT_FALSE(NSKelvoCursorsLoader::initWithFile("/nonexistent/Cursors.xml"));
  const std::string path = write_table(R"(<cursor resID="1"/><cursor resID="2">)");
  EXPECT_FALSE(NSKelvoCursorsLoader::initWithFile(path.c_str()));
  EXPECT_NE(KPCursor::loadCursor(1), nullptr) << "entries before the fault are kept";
  EXPECT_EQ(KPCursor::loadCursor(2), nullptr);
}

}  // namespace
