// Figures sent to and read from the TI-83 Plus calculator format through the
// File menu, as a user does it.
#include <QDir>
#include <QFile>
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>

#include "app/document/kp_document.h"
#include "app/shell/figure_window.h"
#include "app/support/figure_test.h"
#include "kernel/exchange/ti_probe.h"
#include "kernel/macros/macro_records.h"
#include "kernel/tools/tool_ids.h"
#include "platform/kp_files.h"

namespace {

std::string read_bytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

class EndToEndTi83 : public FigureTest {
 protected:
  void TearDown() override {
    kp_set_file_chooser({});
    closeAll();
    FigureTest::TearDown();
  }

  // File > Export... to `path`.
  bool exportTo(const std::string& path) {
    kp_set_file_chooser([path](const KPFileDialogRequest&) -> std::optional<std::string> { return path; });
    const bool clicked = clickMenuItem(barOf(KPDocument::currentDocument()), "File", "Export");
    kp_set_file_chooser({});
    spin(20);
    return clicked;
  }

  static QMenuBar* barOf(KPDocument* doc) { return doc ? doc->figureWindow()->menuBar() : nullptr; }
};

TEST_F(EndToEndTi83, FileExportWritesACalculatorFileAndLeavesTheDocumentAlone) {
  KPFigureView* view = openSegmentAndCircle();
  ASSERT_NE(view, nullptr);
  KPDocument* doc = KPDocument::currentDocument();
  ASSERT_NE(doc, nullptr);
  const QString title = doc->figureWindow()->windowTitle();
  const bool modified = doc->figureWindow()->isWindowModified();
  const std::string path = dir.filePath(QStringLiteral("my-fig.8xv")).toStdString();
  ASSERT_TRUE(exportTo(path));
  const std::string img = read_bytes(path);
  double version = 0;
  ASSERT_EQ(ti83_check_file(img.data(), static_cast<uint32_t>(img.size()), &version), 1);
  EXPECT_EQ(version, 2.0);
  EXPECT_EQ(img.substr(60, 8), std::string("MYFIG\0\0\0", 8));
  EXPECT_EQ(doc->figureWindow()->windowTitle(), title);
  EXPECT_EQ(doc->figureWindow()->isWindowModified(), modified);
  // Points, segment and circle records beyond the five standard ones.
  int kinds[256] = {};
  for (size_t at = 84; at + 2 + 18 <= img.size(); at += 18) ++kinds[static_cast<uint8_t>(img[at])];
  EXPECT_GE(kinds[1], 3 + 3);
  EXPECT_EQ(kinds[2], 1);
  EXPECT_EQ(kinds[16], 1);
#ifdef KELVO_TI83_CHECKER
  const std::string again = dir.filePath(QStringLiteral("again.8xv")).toStdString();
  FILE* pipe = popen(("'" KELVO_TI83_CHECKER "' '" + path + "' '" + again + "' 2>/dev/null").c_str(), "r");
  ASSERT_NE(pipe, nullptr);
  char line[512] = {};
  const bool got = std::fgets(line, sizeof line, pipe) != nullptr;
  EXPECT_EQ(pclose(pipe), 0);
  ASSERT_TRUE(got);
  EXPECT_NE(std::string(line).find("type=APPV name=MYFIG "), std::string::npos) << line;
  EXPECT_EQ(read_bytes(again), img);
#endif
}

TEST_F(EndToEndTi83, FileOpenOfAnExportedFileShowsTheFigureWhereItWas) {
  KPFigureView* view = openSegmentAndCircle();
  ASSERT_NE(view, nullptr);
  const QImage before = shown(view);
  const std::string path = dir.filePath(QStringLiteral("circle.8xv")).toStdString();
  ASSERT_TRUE(exportTo(path));
  messages().clear();
  KPDocument::setOpenPanelResponder([path](const QString&) { return QString::fromStdString(path); });
  const size_t documents = KPDocument::liveDocuments().size();
  const bool clicked = clickMenuItem(barOf(KPDocument::currentDocument()), "File", "Open");
  KPDocument::setOpenPanelResponder({});
  ASSERT_TRUE(clicked);
  spin(50);
  ASSERT_EQ(KPDocument::liveDocuments().size(), documents + 1);
  KPDocument* opened = KPDocument::currentDocument();
  ASSERT_NE(opened, nullptr);
  KPFigureView* again = opened->figureView();
  ASSERT_TRUE(waitForView(again));
  EXPECT_TRUE(messages().isEmpty()) << messages().join('\n').toStdString();
  EXPECT_EQ(objectsOf(again->info(), &classe_segment).size(), 1u);
  EXPECT_EQ(objectsOf(again->info(), &classe_cercle).size(), 1u);
  const QImage after = shown(again);
  // The segment's ends and middle, and the circle's leftmost point.
  for (QPoint p : {QPoint(100, 100), QPoint(160, 130), QPoint(220, 160), QPoint(120, 220)}) {
    EXPECT_GT(inkNear(before, p, 3), 0) << p.x() << "," << p.y();
    EXPECT_GT(inkNear(after, p, 3), 0) << p.x() << "," << p.y();
  }
}

// A table of a segment's length, drawn with the tools: the calculator can
// show neither the length of a segment nor a table, and the question names
// the table too, by what it holds (never by its first cell, never with the
// raw reference of the text it tabulates), on lines not indented by tabs.
TEST_F(EndToEndTi83, TheQuestionNamesTheTableLeftOutAsTheFigureShowsIt) {
  KPFigureView* view = openView();
  ASSERT_NE(view, nullptr);
  object* length = measuredSegment(view);
  ASSERT_NE(length, nullptr);
  object* shown_in = textShowing(view->info(), length);
  ASSERT_NE(shown_in, nullptr);
  pickFromPalette(&classe_table);
  drag(view, QPoint(350, 60), QPoint(550, 220));
  click(view, frameCentre(view, shown_in));
  pickFromPalette(kPointerTool);
  const std::vector<object*> tables = objectsOf(view->info(), &classe_table);
  ASSERT_EQ(tables.size(), 1u);
  ASSERT_EQ(tables[0]->nbparents, 2);
  const std::string first_cell = tables[0]->te->text;
  ASSERT_FALSE(first_cell.empty());

  messages().clear();
  const std::string path = dir.filePath(QStringLiteral("table.8xv")).toStdString();
  ASSERT_TRUE(exportTo(path));
  ASSERT_EQ(messages().size(), 1);
  const std::string m = messages()[0].toStdString();
  EXPECT_EQ(m.find('\t'), std::string::npos) << m;
  EXPECT_EQ(m.find("$1$"), std::string::npos) << m;
  EXPECT_EQ(m.find("\n" + first_cell + " => "), std::string::npos) << m;
  // Its columns: the text that shows the length, then the length itself.
  const std::string shown = length->te->text;
  EXPECT_NE(m.find("\nTable: " + shown + ", " + shown), std::string::npos) << m;
  EXPECT_EQ(objectsOf(view->info(), &classe_table).size(), 1u) << "the figure keeps its table";
}

// A compass drawn with its tool goes out as the calculator's compass (a
// construction point carrying the centre along the radius, no record for
// the compass's hidden midpoint and symmetric point) and opens again as a
// compass, drawn where it was.
TEST_F(EndToEndTi83, ACompassOpensAgainAsACompass) {
  KPFigureView* view = openView();
  ASSERT_NE(view, nullptr);
  pickFromPalette(optional_classes[0]);
  ASSERT_EQ(current_class, optional_classes[0]);
  for (QPoint p : {QPoint(100, 300), QPoint(160, 300), QPoint(300, 200)}) click(view, p);
  pickFromPalette(kPointerTool);
  const std::vector<object*> circles = objectsOf(view->info(), &classe_cercle);
  ASSERT_EQ(circles.size(), 1u);
  ASSERT_NE(circles[0]->macro, nullptr);
  const QImage before = shown(view);

  const std::string path = dir.filePath(QStringLiteral("compass.8xv")).toStdString();
  ASSERT_TRUE(exportTo(path));
  EXPECT_TRUE(messages().isEmpty()) << messages().join('\n').toStdString();
  const std::string img = read_bytes(path);
  int construction = 0, hidden_steps = 0;
  for (size_t at = 84; at + 18 + 2 <= img.size(); at += 18) {
    const auto kind = static_cast<uint8_t>(img[at]), sub = static_cast<uint8_t>(img[at + 1]);
    construction += kind == 1 && sub == 1 && static_cast<uint8_t>(img[at + 17]) == 21;
    hidden_steps += kind == 1 && (sub == 13 || sub == 14);
  }
  EXPECT_EQ(construction, 1);
  EXPECT_EQ(hidden_steps, 0);

  KPDocument::setOpenPanelResponder([path](const QString&) { return QString::fromStdString(path); });
  const bool clicked = clickMenuItem(barOf(KPDocument::currentDocument()), "File", "Open");
  KPDocument::setOpenPanelResponder({});
  ASSERT_TRUE(clicked);
  spin(50);
  KPFigureView* again = KPDocument::currentDocument()->figureView();
  ASSERT_NE(again, view);
  ASSERT_TRUE(waitForView(again));
  EXPECT_TRUE(messages().isEmpty()) << messages().join('\n').toStdString();
  const std::vector<object*> read = objectsOf(again->info(), &classe_cercle);
  ASSERT_EQ(read.size(), 1u);
  ASSERT_NE(read[0]->macro, nullptr);
  EXPECT_EQ(read[0]->macro->im_class, optional_classes[0]);
  const QImage after = shown(again);
  // The circle about (300, 200) of radius 60: its leftmost and lowest points.
  for (QPoint p : {QPoint(240, 200), QPoint(300, 260)}) {
    EXPECT_GT(inkNear(before, p, 3), 0) << p.x() << "," << p.y();
    EXPECT_GT(inkNear(after, p, 3), 0) << p.x() << "," << p.y();
  }
}

// A point hidden on a line drawn through one point needs no record: the
// calculator file has none on the line, and nothing more comes back.
TEST_F(EndToEndTi83, AHiddenPointOnALineThroughOnePointGetsNoRecord) {
  KPFigureView* view = openView();
  ASSERT_NE(view, nullptr);
  pickFromPalette(&classe_droite);
  click(view, QPoint(100, 300));
  click(view, QPoint(300, 200));
  const std::vector<object*> lines = objectsOf(view->info(), &classe_droite);
  ASSERT_EQ(lines.size(), 1u);
  ASSERT_EQ(lines[0]->nbparents, 1) << "a line through one point and a direction";
  pickFromPalette(&classe_point);
  click(view, QPoint(200, 250));
  const std::vector<object*> on_line = objectsOf(view->info(), &classe_ptsur);
  ASSERT_EQ(on_line.size(), 1u);
  pickFromPalette(find_tool_id_by_name(toolbar_row_at(ROW_HIDE_SHOW)->name));
  click(view, QPoint(200, 250));
  pickFromPalette(kPointerTool);
  ASSERT_EQ(on_line[0]->settings.visible, 0);

  const std::string path = dir.filePath(QStringLiteral("hidden.8xv")).toStdString();
  ASSERT_TRUE(exportTo(path));
  EXPECT_TRUE(messages().isEmpty()) << messages().join('\n').toStdString();
  const std::string img = read_bytes(path);
  int on_line_records = 0, lines_written = 0;
  for (size_t at = 84; at + 18 + 2 <= img.size(); at += 18) {
    on_line_records += img[at] == 1 && img[at + 1] == 5;
    lines_written += img[at] == 4 && img[at + 1] == 0;
  }
  EXPECT_EQ(on_line_records, 0);
  EXPECT_EQ(lines_written, 1);
}

TEST_F(EndToEndTi83, ADamagedFileShowsOneMessageAndChangesNoFigure) {
  KPFigureView* view = openSegmentAndCircle();
  ASSERT_NE(view, nullptr);
  const uint32_t objects = view->info()->nbobj;
  const std::string path = dir.filePath(QStringLiteral("bad.8xv")).toStdString();
  ASSERT_TRUE(exportTo(path));
  std::string img = read_bytes(path);
  img.resize(img.size() - 5);
  {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << img;
  }
  messages().clear();
  const size_t documents = KPDocument::liveDocuments().size();
  KPDocument::setOpenPanelResponder([path](const QString&) { return QString::fromStdString(path); });
  const bool clicked = clickMenuItem(barOf(KPDocument::currentDocument()), "File", "Open");
  KPDocument::setOpenPanelResponder({});
  ASSERT_TRUE(clicked);
  spin(50);
  EXPECT_EQ(messages().size(), 1);
  EXPECT_EQ(KPDocument::liveDocuments().size(), documents);
  EXPECT_EQ(view->info()->nbobj, objects);
}

}  // namespace
