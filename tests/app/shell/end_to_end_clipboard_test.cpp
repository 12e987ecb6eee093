// Copy and paste between figure windows and a work session recorded, opened
// and stepped through, all from the windows' own menus.
#include <QDir>
#include <QFile>
#include <QMenuBar>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <optional>
#include <string>

#include "app/document/kp_document.h"
#include "app/shell/figure_window.h"
#include "app/support/figure_test.h"
#include "kernel/files/work_session.h"
#include "kernel/model/classes.h"
#include "platform/kp_files.h"

namespace {

class EndToEndClipboard : public FigureTest {
 protected:
  void TearDown() override {
    kp_set_file_chooser({});
    closeAll();
    FigureTest::TearDown();
  }

  static QMenuBar* barOf(KPFigureView* view) {
    KPDocument* doc = KPDocument::FindDocumentWith_tobjet(view->info());
    return doc && doc->figureWindow() ? doc->figureWindow()->menuBar() : nullptr;
  }

  static QPoint viewPoint(KPFigureView* view, double h, double v) {
    tagPOINT q{static_cast<int32_t>(std::lround(h)), static_cast<int32_t>(std::lround(v))};
    view->localToGlobalDDM(&q);
    return QPoint(q.x, q.y);
  }

  static std::string firstLine(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return {};
    const QByteArray bytes = file.readAll();
    return bytes.left(bytes.indexOf("\r\n")).toStdString();
  }
};

TEST_F(EndToEndClipboard, CopiedSegmentAndCirclePasteIntoAnotherWindow) {
  KPFigureView* first = openView();
  ASSERT_NE(first, nullptr);
  chooseTool(first, &classe_segment);
  click(first, QPoint(100, 100));
  click(first, QPoint(220, 160));
  chooseTool(first, &classe_cercle);
  click(first, QPoint(300, 250));
  click(first, QPoint(360, 250));
  chooseTool(first, nullptr);
  ASSERT_TRUE(clickMenuItem(barOf(first), QStringLiteral("Edit"), QStringLiteral("Select All")));
  ASSERT_TRUE(clickMenuItem(barOf(first), QStringLiteral("Edit"), QStringLiteral("Copy")));

  KPFigureView* second = openView();
  ASSERT_NE(second, nullptr);
  ASSERT_NE(second, first);
  const QImage before = shown(second);
  ASSERT_TRUE(clickMenuItem(barOf(second), QStringLiteral("Edit"), QStringLiteral("Paste")));
  spin(50);
  ASSERT_EQ(objectsOf(second->info(), &classe_segment).size(), 1u);
  ASSERT_EQ(objectsOf(second->info(), &classe_cercle).size(), 1u);
  // Both are shown, five pixels further along each axis.
  const QImage after = shown(second);
  const tagPOINT mid = figurePoint(first, QPoint(160, 130));
  const QPoint seg_mid = viewPoint(second, mid.x + 5, mid.y + 5);
  const tagPOINT centre = figurePoint(first, QPoint(300, 250));
  const QPoint top = viewPoint(second, centre.x + 5, centre.y + 5 - 60);
  EXPECT_EQ(inkNear(before, seg_mid), 0);
  EXPECT_GT(inkNear(after, seg_mid), 0);
  EXPECT_EQ(inkNear(before, top), 0);
  EXPECT_GT(inkNear(after, top), 0);
  // The first window kept its own objects and its selection.
  EXPECT_EQ(objectsOf(first->info(), &classe_segment).size(), 1u);

  // Cut takes them away; a paste brings them back.
  ASSERT_TRUE(clickMenuItem(barOf(second), QStringLiteral("Edit"), QStringLiteral("Select All")));
  ASSERT_TRUE(clickMenuItem(barOf(second), QStringLiteral("Edit"), QStringLiteral("Cut")));
  EXPECT_TRUE(objectsOf(second->info(), &classe_segment).empty());
  EXPECT_TRUE(objectsOf(second->info(), &classe_cercle).empty());
  ASSERT_TRUE(clickMenuItem(barOf(second), QStringLiteral("Edit"), QStringLiteral("Paste")));
  EXPECT_EQ(objectsOf(second->info(), &classe_segment).size(), 1u);
  EXPECT_EQ(objectsOf(second->info(), &classe_cercle).size(), 1u);
}

TEST_F(EndToEndClipboard, AWorkSessionIsRecordedThenOpenedAndSteppedThrough) {
  KPFigureView* view = openView();
  ASSERT_NE(view, nullptr);
  const QString folder = dir.filePath(QStringLiteral("Lesson 3"));
  kp_set_file_chooser([&](const KPFileDialogRequest& request) -> std::optional<std::string> {
    EXPECT_TRUE(request.save);
    return folder.toStdString();
  });
  ASSERT_TRUE(clickMenuItem(barOf(view), QStringLiteral("Work Session"), QStringLiteral("Start Recording")));
  ASSERT_TRUE(session_recording());
  chooseTool(view, &classe_segment);
  click(view, QPoint(100, 100));
  click(view, QPoint(220, 160));
  chooseTool(view, nullptr);
  drag(view, QPoint(220, 160), QPoint(260, 200));
  ASSERT_TRUE(clickMenuItem(barOf(view), QStringLiteral("Work Session"), QStringLiteral("Stop Recording")));
  EXPECT_FALSE(session_recording());

  const QDir session(folder);
  const QStringList files = session.entryList({QStringLiteral("*.fig")}, QDir::Files, QDir::Name);
  ASSERT_GE(files.size(), 4) << files.join(' ').toStdString();
  EXPECT_TRUE(files.contains(QStringLiteral("Lesson 3_1.fig")));
  const std::string start = firstLine(session.filePath(QStringLiteral("Lesson 3_1.fig")));
  EXPECT_EQ(start.rfind("Figure Kelvo Nova vers. MS-Windows (MAC 1.40), translate window, t=0s", 0), 0u) << start;
  std::vector<std::string> actions;
  for (int n = 1; n <= files.size(); ++n) {
    const std::string line = firstLine(session.filePath(QStringLiteral("Lesson 3_%1.fig").arg(n)));
    ASSERT_FALSE(line.empty()) << "snapshot " << n;
    const size_t from = line.find(", ") + 2, to = line.rfind(", t=");
    actions.push_back(line.substr(from, to - from));
  }
  const int last = static_cast<int>(actions.size());
  EXPECT_EQ(actions[last - 2], "move object");
  EXPECT_EQ(actions[last - 1], "move object fin");
  EXPECT_EQ(std::count(actions.begin(), actions.end(), "move object"), 1);

  // Open the second snapshot and step to the third.
  kp_set_file_chooser([&](const KPFileDialogRequest& request) -> std::optional<std::string> {
    EXPECT_FALSE(request.save);
    return session.filePath(QStringLiteral("Lesson 3_2.fig")).toStdString();
  });
  ASSERT_TRUE(clickMenuItem(barOf(view), QStringLiteral("Work Session"), QStringLiteral("Open Work Session")));
  ASSERT_TRUE(session_viewing());
  EXPECT_EQ(session_snapshot_number(), 2);
  EXPECT_EQ(std::string(session_caption()).rfind("2, " + actions[1] + ", t=", 0), 0u) << session_caption();
  KPFigureView* shownView = KPDocument::currentFigureView();
  ASSERT_NE(shownView, nullptr);
  ASSERT_TRUE(clickMenuItem(barOf(shownView), QStringLiteral("Work Session"), QStringLiteral("Next Snapshot")));
  EXPECT_EQ(session_snapshot_number(), 3);
  EXPECT_EQ(std::string(session_caption()).rfind("3, " + actions[2] + ", t=", 0), 0u) << session_caption();
  // The last snapshot holds the dragged segment.
  for (int n = 3; n < last; ++n)
    ASSERT_TRUE(clickMenuItem(barOf(shownView), QStringLiteral("Work Session"), QStringLiteral("Next Snapshot")));
  EXPECT_EQ(session_snapshot_number(), last);
  ASSERT_NE(KPDocument::currentFigureView(), nullptr);
  EXPECT_EQ(objectsOf(KPDocument::currentFigureView()->info(), &classe_segment).size(), 1u);
  // Closing the session closes its window.
  ASSERT_TRUE(clickMenuItem(barOf(shownView), QStringLiteral("Work Session"), QStringLiteral("Close Work Session")));
  EXPECT_FALSE(session_viewing());
}

}  // namespace
