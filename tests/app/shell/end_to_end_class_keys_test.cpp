// The keys that files know the tools by, through the program: a compass and
// a vector sum drawn with the palette save and open again (and so do the
// files written before they had a key), so does an expression drawn over
// the axes with a number, a tool-menu file that names the two
// expression tools by their keys puts each where it says, the built-in
// tools put away in the trash stay tools, and the palette shows the
// pre-built tools' icons and the spring tool's.
#include <QCheckBox>
#include <QFile>
#include <QMenuBar>
#include <QPushButton>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/panels/tools_config_window.h"
#include "app/support/figure_test.h"
#include "kernel/macros/macro_records.h"
#include "kernel/model/classes.h"
#include "platform/kp_files.h"

namespace {

class EndToEndClassKeys : public FigureTest {
 protected:
  void TearDown() override {
    KPDocument::setSavePanelResponder({});
    KPDocument::setOpenPanelResponder({});
    kp_set_file_chooser(nullptr);
    closeAll();
    // The built-in toolboxes for the tests that follow.
    free_all_toolboxes();
    build_all_toolboxes();
    NSKelvoToolsPanel::sharedPanel()->redoAllToolsFromMenusStruct();
    FigureTest::TearDown();
  }

  struct seen {
    construct_class* cls;
    construct_class* macro;
    double h, v;
    bool operator==(const seen&) const = default;
  };
  static std::vector<seen> summary(kelvo_win_info* fig) {
    std::vector<seen> list;
    for (object* o = fig ? fig->first : nullptr; o; o = o->next)
      list.push_back({o->classe, o->macro ? o->macro->im_class : nullptr, o->valeurs ? o->valeurs[0].h : 0,
                      o->valeurs ? o->valeurs[0].v : 0});
    return list;
  }
  static QByteArray bytesOf(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
  }
  QString write(const QString& name, const QByteArray& bytes) {
    const QString path = dir.filePath(name);
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
    return path;
  }
  static bool openWithTheMenu(KPFigureView* view, const QString& path) {
    KPDocument::setOpenPanelResponder([path](const QString&) { return path; });
    const bool clicked = clickMenuItem(menuBarOf(view), "File", "Open");
    KPDocument::setOpenPanelResponder({});
    spin(20);
    return clicked;
  }
  // The toolbox that holds the class, and the class's place in it.
  static std::pair<int16_t, int> placeOf(construct_class* cls) {
    for (int b = 0; tool_menus && tool_menus[b]; ++b)
      for (int i = 1; tool_menus[b]->names[i]; ++i)
        if (find_class_by_name(tool_menus[b]->names[i], 0) == cls) return {tool_menus[b]->id, i};
    return {0, 0};
  }
};

TEST_F(EndToEndClassKeys, ACompassAndAVectorSumSaveUnderTheirCodesAndOpenAgain) {
  KPFigureView* view = openView();
  ASSERT_NE(view, nullptr);
  pickFromPalette(optional_classes[0]);
  ASSERT_EQ(current_class, optional_classes[0]);
  for (QPoint p : {QPoint(100, 300), QPoint(160, 300), QPoint(300, 200)}) click(view, p);
  pickFromPalette(&classe_vecteur);
  click(view, QPoint(100, 100));
  click(view, QPoint(180, 100));
  click(view, QPoint(180, 100));
  click(view, QPoint(200, 160));
  pickFromPalette(optional_classes[1]);
  ASSERT_EQ(current_class, optional_classes[1]);
  click(view, QPoint(140, 100));
  click(view, QPoint(190, 130));
  click(view, QPoint(400, 100));
  pickFromPalette(kPointerTool);
  const std::vector<seen> before = summary(view->info());
  int circles = 0, sums = 0;
  for (const seen& s : before) {
    circles += s.cls == &classe_cercle && s.macro == optional_classes[0];
    sums += s.cls == &classe_vecteur && s.macro == optional_classes[1];
  }
  ASSERT_EQ(circles, 1);
  ASSERT_EQ(sums, 1);
  const QImage picture = shown(view);

  const QString path = dir.filePath("compass.fig");
  KPDocument::setSavePanelResponder([path](const QString&) { return path; });
  ASSERT_TRUE(KPDocument::currentDocument()->saveDocument());
  const QByteArray saved = bytesOf(path);
  EXPECT_TRUE(saved.contains("Ma: CO, Const:")) << saved.toStdString();
  EXPECT_TRUE(saved.contains("Ma: S2, Const:")) << saved.toStdString();
  closeAll();

  // Opened again, and also as the program wrote it before: with no name on
  // the two "Ma:" lines.
  QByteArray earlier = saved;
  earlier.replace("Ma: CO,", "Ma: ,").replace("Ma: S2,", "Ma: ,");
  for (const QString& file : {path, write("earlier.fig", earlier)}) {
    KPDocument* doc = KPDocument::openDocument(file);
    ASSERT_NE(doc, nullptr);
    KPFigureView* reopened = doc->figureView();
    ASSERT_TRUE(waitForView(reopened));
    EXPECT_TRUE(messages().isEmpty()) << messages().join('\n').toStdString();
    EXPECT_EQ(summary(reopened->info()), before) << file.toStdString();
    EXPECT_EQ(shown(reopened), picture) << file.toStdString();
    // Saved again, it is the same file.
    const QString again = dir.filePath("again.fig");
    ASSERT_TRUE(doc->writeToURL(again));
    EXPECT_EQ(bytesOf(again), saved) << file.toStdString();
    closeAll();
  }
}

TEST_F(EndToEndClassKeys, AnExpressionDrawnOverTheAxesWithANumberOpensAgainWithIt) {
  KPFigureView* view = openView();
  ASSERT_NE(view, nullptr);
  pickFromPalette(find_tool_id_by_name(toolbar_table[ROW_SHOW_AXES - 1].name));
  pickFromPalette(&classe_nombre);
  click(view, QPoint(60, 60));
  ASSERT_NE(view->textEditor(), nullptr);
  QTest::keyClicks(view->textEditor(), "2");
  pickFromPalette(&classe_exp_num);
  click(view, QPoint(60, 110));
  ASSERT_NE(view->textEditor(), nullptr);
  QTest::keyClicks(view->textEditor(), "a*x");
  pickFromPalette(kPointerTool);
  spin(10);
  const std::vector<object*> numbers = objectsOf(view->info(), &classe_nombre);
  const std::vector<object*> expressions = objectsOf(view->info(), &classe_exp_num);
  ASSERT_EQ(numbers.size(), 1u);
  ASSERT_EQ(expressions.size(), 1u);
  object* axes = nullptr;
  for (object* o = view->info()->first; o; o = o->next)
    if (o->classe == &classe_axe) axes = o;
  ASSERT_NE(axes, nullptr);
  // The expression, the number for its first letter, then the axes: the
  // other letter runs along them.
  pickFromPalette(&classe_exp_num_app);
  click(view, frameCentre(view, expressions[0]));
  click(view, frameCentre(view, numbers[0]));
  click(view, viewPointOf(view, axes->valeurs[0].h + 200, axes->valeurs[0].v));
  pickFromPalette(kPointerTool);
  const std::vector<object*> curves = objectsOf(view->info(), &classe_locus);
  ASSERT_EQ(curves.size(), 1u);
  ASSERT_NE(curves[0]->macro, nullptr);
  const std::vector<seen> before = summary(view->info());
  const QImage picture = shown(view);

  const QString path = dir.filePath("plot.fig");
  KPDocument::setSavePanelResponder([path](const QString&) { return path; });
  ASSERT_TRUE(KPDocument::currentDocument()->saveDocument());
  const QByteArray saved = bytesOf(path);
  // Its line names the axes, the expression and the number.
  const qsizetype line = saved.indexOf("Ma: Expression, Const:");
  ASSERT_GE(line, 0) << saved.toStdString();
  EXPECT_EQ(saved.mid(line, saved.indexOf('\r', line) - line).count(" i: "), 3) << saved.toStdString();
  closeAll();
  KPDocument* doc = KPDocument::openDocument(path);
  ASSERT_NE(doc, nullptr);
  KPFigureView* reopened = doc->figureView();
  ASSERT_TRUE(waitForView(reopened));
  EXPECT_TRUE(messages().isEmpty()) << messages().join('\n').toStdString();
  EXPECT_EQ(summary(reopened->info()), before);
  // The evaluation still takes the number first.
  for (object* o : objectsOf(reopened->info(), &classe_exp_num_app))
    if (o->methode == 0 && o->macro) {
      ASSERT_GE(o->nbparents, 1);
      EXPECT_EQ(o->parents[0]->classe, &classe_nombre);
    }
  EXPECT_EQ(shown(reopened), picture);
  const QString again = dir.filePath("again.fig");
  ASSERT_TRUE(doc->writeToURL(again));
  EXPECT_EQ(bytesOf(again), saved);
}

TEST_F(EndToEndClassKeys, AToolMenuFileNamingTheExpressionToolsByTheirKeysGetsEachTool) {
  KPFigureView* view = openView();
  ASSERT_NE(view, nullptr);
  // The form the keys take in tool-menu files: "Expression" is the tool
  // that applies an expression, "Apply a formula" the one that defines it.
  struct Case {
    const char* first;
    construct_class* first_tool;
    construct_class* second_tool;
  };
  for (const Case& c : {Case{"Expression", &classe_exp_num_app, &classe_exp_num},
                        Case{"Apply a formula", &classe_exp_num, &classe_exp_num_app}}) {
    const std::string second = c.first == std::string("Expression") ? "Apply a formula" : "Expression";
    const std::string text = std::string("Menus Kelvo Nova vers. MS-Windows (MAC 1.40)\r\n\r\n") +
                             "Pointer\r\n\r\n" + c.first + "\r\n Segment\r\n\r\n" + second + "\r\n\r\n";
    ASSERT_TRUE(openWithTheMenu(view, write("expression.men", QByteArray::fromStdString(text))));
    EXPECT_TRUE(messages().isEmpty()) << messages().join('\n').toStdString();
    EXPECT_EQ(placeOf(c.first_tool), std::make_pair(int16_t{129}, 1)) << c.first;
    EXPECT_EQ(placeOf(&classe_segment), std::make_pair(int16_t{129}, 2)) << c.first;
    EXPECT_EQ(placeOf(c.second_tool), std::make_pair(int16_t{130}, 1)) << c.first;
    // The palette's list names each by what it does.
    pickFromPalette(c.first_tool);
    EXPECT_EQ(current_class, c.first_tool) << c.first;
  }
}

TEST_F(EndToEndClassKeys, TheToolMenuFileThePaletteWritesReadsBackWithEveryTool) {
  KPFigureView* view = openView();
  ASSERT_NE(view, nullptr);
  auto layout = [] {
    std::vector<std::string> names;
    for (int b = 0; tool_menus && tool_menus[b]; ++b)
      for (int i = 1; tool_menus[b]->names[i]; ++i) names.push_back(tool_menus[b]->names[i]);
    return names;
  };
  const std::vector<std::string> built_in = layout();
  ASSERT_TRUE(clickMenuItem(menuBarOf(view), QStringLiteral("View"), QStringLiteral("Toolbox Configuration")));
  NSToolsWindowController* config = NSToolsWindowController::shared();
  ASSERT_NE(config, nullptr);
  const QString path = dir.filePath("tools.men");
  kp_set_file_chooser([path](const KPFileDialogRequest&) { return std::optional<std::string>(path.toStdString()); });
  QTest::mouseClick(config->saveBox(), Qt::LeftButton, {}, QPoint(5, 5));
  QTest::mouseClick(config->button(NSToolsWindowController::kOk), Qt::LeftButton);
  kp_set_file_chooser(nullptr);
  NSToolsWindowController::destroy();
  const QByteArray written = bytesOf(path);
  // Each tool under its key, whatever the palette calls it.
  QList<QByteArray> lines;
  for (const QByteArray& line : written.split('\n')) lines.push_back(line.trimmed());
  for (const char* key : {"Expression", "Apply a formula", "S2", "CO"})
    EXPECT_TRUE(lines.contains(key)) << key << written.toStdString();

  // Another arrangement first; then the file read back.
  const QByteArray other = "Menus Kelvo Nova vers. MS-Windows (MAC 1.40)\r\n\r\nPointer\r\n\r\nSegment\r\n\r\n";
  ASSERT_TRUE(openWithTheMenu(view, write("other.men", other)));
  ASSERT_NE(layout(), built_in);
  ASSERT_TRUE(openWithTheMenu(view, path));
  EXPECT_TRUE(messages().isEmpty()) << messages().join('\n').toStdString();
  EXPECT_EQ(layout(), built_in);
}

TEST_F(EndToEndClassKeys, ToolsPutAwayInTheTrashStayToolsThroughTheToolboxConfiguration) {
  KPFigureView* view = openView();
  ASSERT_NE(view, nullptr);
  const int classes = class_list_count();
  // A file that keeps the segment only: every other tool goes to the trash.
  const QByteArray few = "Menus Kelvo Nova vers. MS-Windows (MAC 1.40)\r\n\r\nPointer\r\n\r\nSegment\r\n\r\n";
  ASSERT_TRUE(openWithTheMenu(view, write("few.men", few)));
  ASSERT_EQ(placeOf(&classe_cercle).first, 0);
  ASSERT_TRUE(clickMenuItem(menuBarOf(view), QStringLiteral("View"), QStringLiteral("Toolbox Configuration")));
  NSToolsWindowController* config = NSToolsWindowController::shared();
  ASSERT_NE(config, nullptr);
  QTest::mouseClick(config->button(NSToolsWindowController::kOk), Qt::LeftButton);
  NSToolsWindowController::destroy();
  EXPECT_EQ(class_list_count(), classes);
  EXPECT_EQ(find_class_by_second_name("Circle"), &classe_cercle);

  // Named again by a tool-menu file, the circle tool draws circles.
  const QByteArray back = "Menus Kelvo Nova vers. MS-Windows (MAC 1.40)\r\n\r\nPointer\r\n\r\nCircle\r\n\r\n";
  ASSERT_TRUE(openWithTheMenu(view, write("back.men", back)));
  EXPECT_EQ(placeOf(&classe_cercle), std::make_pair(int16_t{129}, 1));
  pickFromPalette(&classe_cercle);
  ASSERT_EQ(current_class, &classe_cercle);
  click(view, QPoint(200, 200));
  click(view, QPoint(260, 200));
  EXPECT_EQ(objectsOf(view->info(), &classe_cercle).size(), 1u);
}

TEST_F(EndToEndClassKeys, ThePaletteShowsTheIconsOfThePrebuiltTools) {
  KPFigureView* view = openView();
  ASSERT_NE(view, nullptr);
  for (construct_class* cls : {optional_classes[0], optional_classes[1]}) {
    pickFromPalette(cls);
    ASSERT_EQ(current_class, cls);
    menu* group = find_tool_menu(static_cast<int16_t>(tool_group(find_tool_id_by_name(cls->name))));
    ASSERT_NE(group, nullptr);
    auto* button = static_cast<QWidget*>(group->view);
    const QImage face = button->grab().toImage();
    // The button shows the tool in use: dark pixels of its picture inside
    // the frame.
    int ink = 0;
    for (int y = 4; y < face.height() - 4; ++y)
      for (int x = 4; x < face.width() - 4; ++x) ink += qGray(face.pixel(x, y)) < 128;
    EXPECT_GT(ink, 10) << cls->name;
  }
}

// A tool-menu file names Multiple Animation as the palette writes it: read
// back, the tool is the spring class itself, and the palette's button shows
// its picture, not an empty square, while it is the tool in use.
TEST_F(EndToEndClassKeys, MultipleAnimationReadFromAToolMenuFileShowsItsPicture) {
  KPFigureView* view = openView();
  ASSERT_NE(view, nullptr);
  const QByteArray text =
      "Menus Kelvo Nova vers. MS-Windows (MAC 1.40)\r\n\r\nPointer\r\n\r\nSegment\r\n Multiple Animation\r\n\r\n";
  ASSERT_TRUE(openWithTheMenu(view, write("springs.men", text)));
  ASSERT_EQ(placeOf(&classe_spring), std::make_pair(int16_t{129}, 2));
  pickFromPalette(&classe_spring);
  ASSERT_EQ(current_class, &classe_spring);
  menu* group = find_tool_menu(129);
  ASSERT_NE(group, nullptr);
  const QImage face = static_cast<QWidget*>(group->view)->grab().toImage();
  int ink = 0;
  for (int y = 4; y < face.height() - 4; ++y)
    for (int x = 4; x < face.width() - 4; ++x) ink += qGray(face.pixel(x, y)) < 128;
  EXPECT_GT(ink, 10) << "the button of the tool in use is empty";
}

}  // namespace
