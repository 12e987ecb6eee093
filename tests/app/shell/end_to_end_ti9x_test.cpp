// Figures and macros of the TI-89/92 calculators through the File menu, as a
// user does it.
#include <QDir>
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include "app/document/kp_document.h"
#include "app/shell/figure_window.h"
#include "app/support/figure_test.h"
#include "kernel/exchange/ti9x_export.h"
#include "kernel/exchange/ti9x_file.h"
#include "kernel/exchange/ti_probe.h"
#include "kernel/files/figure_file.h"
#include "kernel/files/macro_text.h"
#include "kernel/files/text_family.h"
#include "kernel/macros/macro_def.h"
#include "kernel/macros/macro_records.h"
#include "kernel/tools/tool_ids.h"
#include "platform/kp_files.h"

namespace {

std::string read_bytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

class EndToEndTi9x : public FigureTest {
 protected:
  void TearDown() override {
    kp_set_file_chooser({});
    closeAll();
    FigureTest::TearDown();
  }

  bool openByMenu(const std::string& path) {
    KPDocument::setOpenPanelResponder([path](const QString&) { return QString::fromStdString(path); });
    const bool clicked = clickMenuItem(barOf(KPDocument::currentDocument()), "File", "Open");
    KPDocument::setOpenPanelResponder({});
    spin(50);
    return clicked;
  }

  static QMenuBar* barOf(KPDocument* doc) { return doc ? doc->figureWindow()->menuBar() : nullptr; }
};

TEST_F(EndToEndTi9x, AnExportedTi89FigureOpensWhereItWas) {
  KPFigureView* view = openSegmentAndCircle();
  ASSERT_NE(view, nullptr);
  const QImage before = shown(view);
  const std::string path = dir.filePath(QStringLiteral("circle.89a")).toStdString();
  kp_set_file_chooser([path](const KPFileDialogRequest&) -> std::optional<std::string> { return path; });
  ASSERT_TRUE(clickMenuItem(barOf(KPDocument::currentDocument()), "File", "Export"));
  kp_set_file_chooser({});
  spin(20);
  const std::string img = read_bytes(path);
  ASSERT_GT(img.size(), kTi9xOverhead);
  EXPECT_EQ(img.substr(0, 8), "**TI89**");
  char name[9];
  EXPECT_EQ(ti9x_check_signature(img.data(), static_cast<uint32_t>(img.size()), name), 86);
  EXPECT_STREQ(name, "circle");

  messages().clear();
  const size_t documents = KPDocument::liveDocuments().size();
  // The placement of a figure text read before, which is not this file's.
  win_pos_from_file = 1;
  win_origin_x = 140;
  win_origin_y = -90;
  ASSERT_TRUE(openByMenu(path));
  ASSERT_EQ(KPDocument::liveDocuments().size(), documents + 1);
  KPFigureView* again = KPDocument::currentDocument()->figureView();
  ASSERT_TRUE(waitForView(again));
  EXPECT_TRUE(messages().isEmpty()) << messages().join('\n').toStdString();
  // The calculator's header ends with the reading: a text read next
  // without a header of its own is of the current edition.
  EXPECT_EQ(file_platform, 0);
  EXPECT_EQ(file_class, 0);
  EXPECT_EQ(objectsOf(again->info(), &classe_segment).size(), 1u);
  EXPECT_EQ(objectsOf(again->info(), &classe_cercle).size(), 1u);
  const QImage after = shown(again);
  for (QPoint p : {QPoint(100, 100), QPoint(160, 130), QPoint(220, 160), QPoint(120, 220)}) {
    EXPECT_GT(inkNear(before, p, 3), 0) << p.x() << "," << p.y();
    EXPECT_GT(inkNear(after, p, 3), 0) << p.x() << "," << p.y();
  }
  // Save asks where the figure goes: the calculator file stays as it was.
  int asked = 0;
  KPDocument::setSavePanelResponder([&asked](const QString&) {
    ++asked;
    return QString();
  });
  clickMenuItem(barOf(KPDocument::currentDocument()), "File", "Save");
  KPDocument::setSavePanelResponder({});
  spin(20);
  EXPECT_EQ(asked, 1);
  EXPECT_EQ(read_bytes(path), img);
}

// A figure drawn with the tools, exported as a TI-89 figure: the question
// names the button, which the calculator's file cannot hold, then the text
// and the labelled point, which come back in the calculator's small font;
// reopened, the file has no button, and the text and the label are where
// they were.
TEST_F(EndToEndTi9x, TheQuestionNamesWhatTheFileLosesAndTextsComeBackInPlace) {
  KPFigureView* view = openView();
  ASSERT_NE(view, nullptr);
  segment(view, QPoint(100, 300), QPoint(300, 300));
  pickFromPalette(&classe_point);
  click(view, QPoint(500, 400));
  QTest::keyClicks(view, "P");
  spin(10);
  object* labelled = objectsOf(view->info(), &classe_point).back();
  ASSERT_NE(labelled->te, nullptr);
  ASSERT_STREQ(labelled->te->text, "P");
  pickFromPalette(&classe_text);
  drag(view, QPoint(120, 100), QPoint(300, 150));
  QTest::keyClicks(view->textEditor(), "Hello");
  pickFromPalette(&classe_button);
  click(view, QPoint(350, 100));
  click(view, QPoint(450, 130));
  QTest::keyClicks(QApplication::focusWidget(), "Seg");
  spin(10);
  click(view, QPoint(200, 300));
  pickFromPalette(kPointerTool);
  spin(20);
  ASSERT_EQ(objectsOf(view->info(), &classe_button).size(), 1u);
  const std::vector<object*> texts = objectsOf(view->info(), &classe_text);
  ASSERT_EQ(texts.size(), 1u);
  const te_point label = labelled->te->pos, text = texts[0]->te->pos;

  messages().clear();
  const std::string path = dir.filePath(QStringLiteral("lost.89a")).toStdString();
  kp_set_file_chooser([path](const KPFileDialogRequest&) -> std::optional<std::string> { return path; });
  ASSERT_TRUE(clickMenuItem(barOf(KPDocument::currentDocument()), "File", "Export"));
  kp_set_file_chooser({});
  spin(20);
  ASSERT_EQ(messages().size(), 1);
  const std::string m = messages()[0].toStdString();
  EXPECT_EQ(m.find('\t'), std::string::npos) << m;
  const size_t apart = m.find("These objects will lose part of their appearance:");
  ASSERT_NE(apart, std::string::npos) << m;
  EXPECT_EQ(m.rfind("Some objects cannot be saved in this format", 0), 0u) << m;
  EXPECT_LT(m.find("\nSeg => Button"), apart) << m;
  EXPECT_GT(m.find("\nP => Point"), apart) << m;
  EXPECT_GT(m.find("\nHello => Text"), apart) << m;
  // The figure keeps its button.
  EXPECT_EQ(objectsOf(view->info(), &classe_button).size(), 1u);

  messages().clear();
  ASSERT_TRUE(openByMenu(path));
  KPFigureView* again = KPDocument::currentDocument()->figureView();
  ASSERT_NE(again, view);
  ASSERT_TRUE(waitForView(again));
  EXPECT_TRUE(messages().isEmpty()) << messages().join('\n').toStdString();
  EXPECT_TRUE(objectsOf(again->info(), &classe_button).empty());
  const std::vector<object*> read = objectsOf(again->info(), &classe_text);
  ASSERT_EQ(read.size(), 1u);
  EXPECT_EQ(read[0]->te->pos.x, text.x);
  EXPECT_EQ(read[0]->te->pos.y, text.y);
  object* read_label = nullptr;
  for (object* o : objectsOf(again->info(), &classe_point))
    if (o->te && o->te->text && std::string(o->te->text) == "P") read_label = o;
  ASSERT_NE(read_label, nullptr);
  EXPECT_EQ(read_label->te->pos.x, label.x);
  EXPECT_EQ(read_label->te->pos.y, label.y);
}

// Two points, their midpoint and the segment from the first one to it.
const char kMid2[] =
    "Ti9xMid, M2\r\nMth: 0\r\nCN:2, ON:2, FN:2, PO:0\r\nCT:\r\n"
    "point, CS 0, default settings, \r\npoint, CS 0, default settings, \r\n"
    "Const:\r\n"
    "Mid, Mth:0, 1, CN:2, VN:1, Const: 1 2, default settings, \r\n"
    "Seg, Mth:0, 1, CN:2, VN:2, Const: 1 3, default settings, \r\n";

TEST_F(EndToEndTi9x, AMacroVariableOpensAsATool) {
  ASSERT_NE(openView(), nullptr);
  // The calculator's macro variable of a macro this session does not have.
  ASSERT_GT(txt_load_used_macro(kMid2, 0), 0) << macro_text_error();
  construct_class* mid2 = class_list[class_list_count() - 1];
  const uint32_t length = ti9x_write_macro_def(mid2, nullptr) + 1;
  std::vector<uint8_t> image(length + kTi9xOverhead, 0);
  ti9x_write_macro_def(mid2, image.data() + kTi9xDataOffset);
  image[kTi9xDataOffset + length - 1] = kTi9xMacroEnd;
  ti9x_fill_container(image.data(), length, *ti9x_model_for_code(7), kTi9xMacroType, "mid2");
  remove_class_from_list(mid2);
  free_construct_class(mid2);
  ASSERT_EQ(find_class_by_name("Ti9xMid", 0), nullptr);
  const std::string path = dir.filePath(QStringLiteral("mid2.89x")).toStdString();
  {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(image.data()), static_cast<std::streamsize>(image.size()));
  }
  messages().clear();
  const size_t documents = KPDocument::liveDocuments().size();
  ASSERT_TRUE(openByMenu(path));
  EXPECT_EQ(KPDocument::liveDocuments().size(), documents);
  EXPECT_TRUE(messages().isEmpty()) << messages().join('\n').toStdString();
  construct_class* tool = find_class_by_name("Ti9xMid", 0);
  ASSERT_NE(tool, nullptr);
  EXPECT_TRUE(is_macro_class(tool));
  EXPECT_NE(find_tool_id_by_name("Ti9xMid"), 0u);
}

}  // namespace
