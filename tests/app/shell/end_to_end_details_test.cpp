// Small details of use met by a new user, each through the real window: the
// list that asks which object was meant, labels under tools, the tool names,
// the number editor, traces, menus and dialogs.
#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QLineEdit>
#include <QTextBrowser>
#include <QFileInfo>
#include <QLabel>
#include <QMenuBar>
#include <QTemporaryDir>
#include <QWindow>
#include <QMouseEvent>
#include <QTimer>
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "app/document/kp_document.h"
#include "app/panels/ambig_menu.h"
#include "app/panels/calculator_panel.h"
#include "app/shell/figure_window.h"
#include "app/support/figure_test.h"
#include "app/panels/tool_icon.h"
#include "app/prefs/preferences_window.h"
#include "kernel/model/classes.h"
#include "kernel/prefs/default_attrs.h"
#include "kernel/prefs/dialog_controls.h"
#include "kernel/prefs/prefs_dialog.h"
#include "kernel/tools/toolbox.h"
#include "platform/kp_file_accessories.h"
#include "platform/kp_files.h"
#include "platform/kp_qt_bridge.h"
#include "kernel/text/text_record.h"
#include "kernel/tools/designation.h"
#include "kernel/tools/selection.h"
#include "kernel/tools/tool_ids.h"
#include "kernel/tools/tool_state.h"

namespace {

class EndToEndDetails : public FigureTest {};

// Three perpendicular bisectors of a triangle meet in one point: a click
// there asks which one was meant. The three lines differ, and the line under
// the pointer is shown selected in the figure.
TEST_F(EndToEndDetails, TheListOfConcurrentBisectorsTellsThemApartAndShowsTheHoveredOne) {
  KPFigureView* view = openView();
  ASSERT_NE(view, nullptr);
  const QPoint a(200, 100), b(100, 300), c(300, 300);
  chooseTool(view, &classe_point);
  for (QPoint p : {a, b, c}) click(view, p);
  chooseTool(view, &classe_mediatrice);
  for (auto [p, q] : {std::pair{a, b}, std::pair{b, c}, std::pair{c, a}}) {
    click(view, p);
    click(view, q);
  }
  const std::vector<object*> bisectors = objectsOf(view->info(), &classe_mediatrice);
  ASSERT_EQ(bisectors.size(), 3u);
  chooseTool(view, nullptr);
  view->invalidateFigure();
  spin(30);
  const QImage before = view->viewImage();

  static std::vector<std::string> lines;
  static int hovered_selection = -1;
  static object* hovered = nullptr;
  static QImage during;
  lines.clear();
  hovered_selection = -1;
  hovered = nullptr;
  answerCandidateList([view](AmbigPopupController* c) {
    for (const auto& cell : c->cells()) lines.push_back(cell->text().toStdString());
    // The pointer rests on the top line.
    const auto& top = c->cells().back();
    const QPoint at = top->getRect().center().toPoint();
    QMouseEvent move(QEvent::MouseMove, at, c->panel()->mapToGlobal(at), Qt::NoButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(c->panel(), &move);
    QApplication::processEvents();
    kelvo_win_info* fig = KPGeoDocument::currentInfo();
    hovered_selection = objlist_count(fig->selection);
    if (hovered_selection == 1) hovered = fig->selection->items[0];
    during = view->viewImage();
    QTest::mouseClick(c->panel(), Qt::LeftButton, {}, at);
  });
  click(view, QPoint(200, 225));
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(std::set<std::string>(lines.begin(), lines.end()).size(), 3u) << lines[0];
  ASSERT_EQ(hovered_selection, 1);
  EXPECT_NE(std::find(bisectors.begin(), bisectors.end(), hovered), bisectors.end());
  EXPECT_NE(during, before) << "the hovered line is not shown in the figure";
  ASSERT_EQ(objlist_count(view->info()->selection), 1);
  EXPECT_EQ(view->info()->selection->items[0], hovered);
}

// With named points the lines name the points each bisector is built on.
TEST_F(EndToEndDetails, TheListNamesThePointsEachBisectorIsBuiltOn) {
  KPFigureView* view = openView();
  ASSERT_NE(view, nullptr);
  const QPoint a(200, 100), b(100, 300), c(300, 300);
  chooseTool(view, &classe_point);
  for (auto [p, name] : {std::pair{a, "A"}, std::pair{b, "B"}, std::pair{c, "C"}}) {
    click(view, p);
    ASSERT_NE(QApplication::focusWidget(), nullptr);
    QTest::keyClicks(QApplication::focusWidget(), name);
  }
  chooseTool(view, &classe_mediatrice);
  for (auto [p, q] : {std::pair{a, b}, std::pair{b, c}, std::pair{c, a}}) {
    click(view, p);
    click(view, q);
  }
  ASSERT_EQ(objectsOf(view->info(), &classe_mediatrice).size(), 3u);
  chooseTool(view, nullptr);
  static std::vector<std::string> lines;
  lines.clear();
  answerCandidateList([](AmbigPopupController* menu) {
    for (const auto& cell : menu->cells()) lines.push_back(cell->text().toStdString());
    QTest::mouseClick(menu->panel(), Qt::LeftButton, {}, menu->cells().front()->getRect().center().toPoint());
  });
  click(view, QPoint(200, 225));
  ASSERT_EQ(lines.size(), 3u);
  std::set<std::string> tails;
  for (const std::string& line : lines) {
    const size_t colon = line.rfind(": ");
    ASSERT_NE(colon, std::string::npos) << line;
    tails.insert(line.substr(colon + 2));
  }
  EXPECT_EQ(tails, (std::set<std::string>{"A, B", "B, C", "C, A"}));
}

// The tool listed as "Apply a formula" applies an expression to numbers,
// the one listed as "Expression" defines an expression; each shows its help.
TEST_F(EndToEndDetails, TheExpressionToolsAreListedUnderTheirOwnNames) {
  KPFigureView* view = openView();
  ASSERT_NE(view, nullptr);
  struct Case {
    const char* listed;
    construct_class* cls;
    const char* help;
  };
  for (const Case& c : {Case{"Apply a formula", &classe_exp_num_app, "Applies an expression to numbers."},
                        Case{"Expression", &classe_exp_num, "Defines an expression."}}) {
    // The user opens the tools' list and releases on the line of that name.
    menu* group = find_tool_menu(static_cast<int16_t>(tool_group(find_tool_id_by_name(c.cls->name))));
    ASSERT_NE(group, nullptr);
    auto* button = static_cast<QWidget*>(group->view);
    NSGeoToolsPullDownController* list = nullptr;
    for (int tries = 0; tries < 2 && !list; ++tries) {
      QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(5, 5));
      spin(10);
      list = NSGeoToolsPullDownController::openPullDown();
    }
    ASSERT_NE(list, nullptr) << c.listed;
    QPoint global;
    for (const auto& cell : list->cells())
      if (cell->text() == QString::fromUtf8(c.listed)) global = list->view()->mapToGlobal(cell->getRect().center().toPoint());
    ASSERT_FALSE(global.isNull()) << c.listed;
    NSGeoToolsPullDown* pull = list->view();
    const QPoint at = pull->mapFromGlobal(global);
    QMouseEvent move(QEvent::MouseMove, at, global, Qt::NoButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(pull, &move);
    QTest::mouseRelease(pull, Qt::LeftButton, {}, at);
    spin(10);
    EXPECT_EQ(current_class, c.cls) << c.listed;
    ASSERT_NE(current_class, nullptr);
    EXPECT_STREQ(current_class->help_text, c.help);
  }
}

// Marking an angle on labelled points leaves their labels as they were:
// drawn, and with their text.
TEST_F(EndToEndDetails, MarkingAnAngleKeepsTheLabelsOfItsPoints) {
  KPFigureView* view = openView();
  ASSERT_NE(view, nullptr);
  const QPoint a(200, 100), b(100, 300), c(300, 300);
  const size_t existing = objectsOf(view->info(), &classe_point).size();
  chooseTool(view, &classe_point);
  for (auto [p, name] : {std::pair{a, "A"}, std::pair{b, "B"}, std::pair{c, "C"}}) {
    click(view, p);
    QWidget* editor = QApplication::focusWidget();
    ASSERT_NE(editor, nullptr);
    QTest::keyClicks(editor, name);
    spin(10);
  }
  std::vector<object*> points = objectsOf(view->info(), &classe_point);
  points.erase(points.begin(), points.begin() + static_cast<long>(existing));
  ASSERT_EQ(points.size(), 3u);
  chooseTool(view, nullptr);
  view->invalidateFigure();
  spin(20);
  view->grab();
  const QImage labelled = view->viewImage();
  pickFromPalette(&classe_angle);
  for (QPoint p : {a, b, c}) click(view, p);
  ASSERT_EQ(objectsOf(view->info(), &classe_angle).size(), 1u);
  pickFromPalette(kPointerTool);
  spin(20);
  // The picture as it is now, not drawn anew.
  const QImage after = view->viewImage();
  for (size_t i = 0; i < points.size(); ++i) {
    object* point = points[i];
    ASSERT_NE(point->te, nullptr);
    EXPECT_STREQ(point->te->text, std::string(1, static_cast<char>('A' + i)).c_str());
    // The label's place shows the same ink as before the mark.
    tagPOINT corner{point->te->pos.x, point->te->pos.y};
    view->localToGlobalDDM(&corner);
    const QRect frame(corner.x, corner.y, point->te->size.w, point->te->size.h);
    const auto ink = [&frame](const QImage& image) {
      int count = 0;
      for (int y = frame.top(); y <= frame.bottom(); ++y)
        for (int x = frame.left(); x <= frame.right(); ++x) count += image.pixelColor(x, y) != Qt::white;
      return count;
    };
    ASSERT_GT(ink(labelled), 0) << "label " << point->te->text;
    EXPECT_GE(ink(after), ink(labelled)) << "label " << point->te->text;
  }
}

// In the number editor, with the whole number selected, "-" starts a
// negative number as a digit starts a new one.
TEST_F(EndToEndDetails, TheNumberEditorTakesTheSignOverTheWholeNumber) {
  KPFigureView* view = openView();
  ASSERT_NE(view, nullptr);
  pickFromPalette(&classe_nombre);
  click(view, QPoint(80, 80));
  const std::vector<object*> numbers = objectsOf(view->info(), &classe_nombre);
  ASSERT_EQ(numbers.size(), 1u);
  object* number = numbers[0];
  QWidget* editor = view->textEditor();
  ASSERT_NE(editor, nullptr);
  QTest::keyClicks(editor, "25");
  spin(10);
  ASSERT_STREQ(number->te->text, "25");
  QTest::keyClick(editor, Qt::Key_A, Qt::ControlModifier);
  QTest::keyClicks(editor, "-3");
  spin(10);
  EXPECT_STREQ(number->te->text, "-3");
  EXPECT_EQ(number->valeurs[0].info.rayon, -3);
  // A sign left alone when the edit ends reads as zero.
  QTest::keyClick(editor, Qt::Key_A, Qt::ControlModifier);
  QTest::keyClicks(editor, "-");
  spin(10);
  pickFromPalette(kPointerTool);
  spin(10);
  EXPECT_STREQ(number->te->text, "0");
  EXPECT_EQ(number->valeurs[0].info.rayon, 0);
}

// A point marked with the trace tool leaves its trail where it was dragged,
// and the trail stays once the button is released.
TEST_F(EndToEndDetails, ATraceStaysAfterTheDrag) {
  KPFigureView* view = openView();
  ASSERT_NE(view, nullptr);
  const QPoint from(150, 200), to(350, 200);
  chooseTool(view, &classe_point);
  click(view, from);
  pickFromPalette(find_tool_id_by_name(toolbar_table[ROW_TRACE - 1].name));
  click(view, from);
  pickFromPalette(kPointerTool);
  drag(view, from, to);
  spin(30);
  const QImage after = view->viewImage();
  // The drag stops every 25 pixels: the point is drawn at each stop once
  // the drag has begun.
  int trail = 0;
  for (int x = 200; x <= 325; x += 25) trail += inkNear(after, QPoint(x, 200), 3) > 0;
  EXPECT_EQ(trail, 6) << "the trail is gone";
}

// The menus keep their own font once the figure shows a measure: their
// items are drawn as they were measured, in full.
TEST_F(EndToEndDetails, TheMenusKeepTheirFontWhenTheFigureShowsAMeasure) {
  KPFigureView* view = openView();
  ASSERT_NE(view, nullptr);
  KPFigureWindow* window = KPDocument::currentDocument()->figureWindow();
  ASSERT_NE(window, nullptr);
  QMenuBar* bar = window->menuBar();
  const auto viewMenuPicture = [bar] {
    QAction* title = nullptr;
    for (QAction* a : bar->actions())
      if (a->text().remove('&') == QStringLiteral("View")) title = a;
    if (!title) return QImage();
    QTest::mouseClick(bar, Qt::LeftButton, {}, bar->actionGeometry(title).center());
    spin(30);
    QWidget* open = QApplication::activePopupWidget();
    const QImage picture = open ? open->grab().toImage() : QImage();
    if (open) open->close();
    spin(10);
    return picture;
  };
  const QImage before = viewMenuPicture();
  ASSERT_FALSE(before.isNull());
  chooseTool(view, &classe_segment);
  click(view, QPoint(100, 200));
  click(view, QPoint(300, 200));
  chooseTool(view, &classe_length);
  click(view, QPoint(200, 200));
  chooseTool(view, nullptr);
  ASSERT_EQ(objectsOf(view->info(), &classe_length).size(), 1u);
  spin(20);
  EXPECT_EQ(viewMenuPicture(), before);
}

// The hint about the object under the pointer goes when the pointer jumps
// out of the view, and the timer does not bring it back.
TEST_F(EndToEndDetails, TheDesignationHintGoesWhenThePointerLeavesTheView) {
  KPFigureView* view = openView();
  ASSERT_NE(view, nullptr);
  chooseTool(view, &classe_segment);
  click(view, QPoint(100, 200));
  click(view, QPoint(300, 200));
  chooseTool(view, nullptr);
  moveTo(view, QPoint(400, 100));
  spin(30);
  const QImage empty = view->viewImage();
  moveTo(view, QPoint(200, 200));
  spin(30);
  ASSERT_FALSE(shown_designation_text().empty());
  ASSERT_NE(view->viewImage(), empty);
  QEvent leave(QEvent::Leave);
  QApplication::sendEvent(view, &leave);
  waitUntil([&] { return shown_designation_text().empty() && view->viewImage() == empty; });
  EXPECT_TRUE(shown_designation_text().empty()) << shown_designation_text();
  EXPECT_EQ(view->viewImage(), empty);
}

// Arrow keys move through the tools palette; with a point selected they do
// not open its label, and the figure stays unchanged.
TEST_F(EndToEndDetails, ArrowKeysThroughThePaletteLeaveTheFigureUnchanged) {
  KPFigureView* view = openView();
  ASSERT_NE(view, nullptr);
  // With the calculator open the arrows are its own.
  if (KPCalculatorPanel* calculator = calculator_panel(); calculator && calculator->isVisible()) calculator->close();
  chooseTool(view, &classe_point);
  click(view, QPoint(200, 200));
  pickFromPalette(kPointerTool);
  click(view, QPoint(200, 200));
  const std::vector<object*> points = objectsOf(view->info(), &classe_point);
  ASSERT_FALSE(points.empty());
  object* point = points.back();
  ASSERT_EQ(objlist_count(view->info()->selection), 1);
  ASSERT_EQ(view->info()->selection->items[0], point);
  view->info()->wflags &= ~kFigureChanged;
  view->setFocus();
  for (Qt::Key key : {Qt::Key_Right, Qt::Key_Right, Qt::Key_Down, Qt::Key_Up, Qt::Key_Left}) {
    QTest::keyClick(view, key);
    spin(10);
  }
  EXPECT_NE(current_class, nullptr) << "the palette did not move";
  EXPECT_FALSE(view->info()->wflags & kFigureChanged);
  EXPECT_TRUE(!point->te || !point->te->text || !point->te->text[0]);
}

// The calculator is a panel of its figure: it stays above the figure's
// window, and choosing its tool again keeps the formula being typed.
TEST_F(EndToEndDetails, TheCalculatorStaysAboveItsFigureAndKeepsItsFormula) {
  KPFigureView* view = openView();
  ASSERT_NE(view, nullptr);
  pickFromPalette(&classe_calculate);
  spin(10);
  KPCalculatorPanel* panel = calculator_panel();
  ASSERT_NE(panel, nullptr);
  ASSERT_TRUE(panel->isVisible());
  ASSERT_NE(panel->windowHandle(), nullptr);
  EXPECT_EQ(panel->windowHandle()->transientParent(), view->window()->windowHandle());
  QTest::keyClicks(panel->formulaField(), "2*(3+");
  // The user clicks the figure, then the calculator's tool once more.
  click(view, QPoint(300, 300));
  pickFromPalette(&classe_calculate);
  spin(10);
  EXPECT_EQ(current_class, &classe_calculate);
  EXPECT_EQ(panel->formulaField()->text(), QStringLiteral("2*(3+"));
  panel->close();
  spin(10);
}

// View > Tools Help shows the help in every window and leaves the window in
// use at the front.
TEST_F(EndToEndDetails, ToolsHelpLeavesTheWindowInUseInFront) {
  KPFigureView* first = openView();
  ASSERT_NE(first, nullptr);
  KPDocument* older = KPDocument::currentDocument();
  KPFigureView* second = openView();
  ASSERT_NE(second, nullptr);
  KPDocument* in_use = KPDocument::currentDocument();
  ASSERT_NE(in_use, older);
  KPFigureWindow* window = in_use->figureWindow();
  ASSERT_TRUE(clickMenuItem(window->menuBar(), QStringLiteral("View"), QStringLiteral("Tools Help")));
  spin(20);
  EXPECT_EQ(KPDocument::currentDocument(), in_use);
  EXPECT_EQ(KPGeoDocument::currentInfo(), second->info());
  EXPECT_TRUE(window->helpField()->isVisible());
  EXPECT_TRUE(older->figureWindow()->helpField()->isVisibleTo(older->figureWindow()));
  ASSERT_TRUE(clickMenuItem(window->menuBar(), QStringLiteral("View"), QStringLiteral("Tools Help")));
  spin(20);
  EXPECT_EQ(KPDocument::currentDocument(), in_use);
  EXPECT_FALSE(window->helpField()->isVisible());
}

// The answer of a property check goes where the user clicks it, inside the
// dashed box that followed the pointer; both of its texts go there.
TEST_F(EndToEndDetails, TheCollinearAnswerGoesWhereItIsClicked) {
  KPFigureView* view = openView();
  ASSERT_NE(view, nullptr);
  const QPoint points[] = {QPoint(100, 100), QPoint(200, 150), QPoint(300, 200)};
  chooseTool(view, &classe_point);
  for (QPoint p : points) click(view, p);
  pickFromPalette(&classe_alignement);
  for (QPoint p : points) click(view, p);
  const QPoint placed(120, 350);
  click(view, placed);
  pickFromPalette(kPointerTool);
  const std::vector<object*> checks = objectsOf(view->info(), &classe_alignement);
  ASSERT_EQ(checks.size(), 1u);
  auto** texts = reinterpret_cast<TErec**>(checks[0]->valeurs);
  for (int k = 0; k < 2; ++k) {
    ASSERT_NE(texts[k], nullptr);
    tagPOINT corner{texts[k]->pos.x, texts[k]->pos.y};
    view->localToGlobalDDM(&corner);
    const QRect frame(corner.x, corner.y, texts[k]->size.w, texts[k]->size.h);
    EXPECT_TRUE(frame.contains(placed)) << k << ": " << frame.x() << "," << frame.y();
  }
  // The answer is shown there.
  EXPECT_GT(inkNear(view->grab().toImage(), placed, 10), 0);
}

// File > Export... opens in the folder of the figure that was opened.
TEST_F(EndToEndDetails, ExportOpensInTheFolderOfTheFigure) {
  KPFigureView* view = openView();
  ASSERT_NE(view, nullptr);
  chooseTool(view, &classe_point);
  click(view, QPoint(200, 200));
  QTemporaryDir folder;
  ASSERT_TRUE(folder.isValid());
  const QString path = folder.filePath(QStringLiteral("figure.fig"));
  ASSERT_TRUE(KPDocument::currentDocument()->writeToURL(path));
  KPDocument::setOpenPanelResponder([path](const QString&) { return path; });
  ASSERT_TRUE(clickMenuItem(KPDocument::currentDocument()->figureWindow()->menuBar(), QStringLiteral("File"),
                            QStringLiteral("Open")));
  KPDocument::setOpenPanelResponder({});
  spin(30);
  static std::string started;
  started.clear();
  kp_set_file_chooser([](const KPFileDialogRequest& request) -> std::optional<std::string> {
    started = request.directory;
    return std::nullopt;
  });
  const bool clicked = clickMenuItem(KPDocument::currentDocument()->figureWindow()->menuBar(), QStringLiteral("File"),
                                     QStringLiteral("Export"));
  kp_set_file_chooser({});
  ASSERT_TRUE(clicked);
  EXPECT_EQ(QFileInfo(QString::fromStdString(started)).canonicalFilePath(), QFileInfo(folder.path()).canonicalFilePath())
      << started;
}

// File > Save As... shows its options whole: every text fits its control,
// and the password field has its own label.
TEST_F(EndToEndDetails, TheSaveOptionsShowTheirTextsWhole) {
  KPFigureView* view = openView();
  ASSERT_NE(view, nullptr);
  static std::vector<std::string> cut;
  static QString password_label;
  static bool shown = false;
  cut.clear();
  password_label.clear();
  shown = false;
  kp_set_file_chooser([](const KPFileDialogRequest& request) -> std::optional<std::string> {
    QWidget* options = request.panel ? request.panel->accessoryView() : nullptr;
    if (!options) return std::nullopt;
    options->show();
    QApplication::processEvents();
    shown = true;
    for (QWidget* control : options->findChildren<QWidget*>()) {
      QString text;
      if (auto* box = qobject_cast<QCheckBox*>(control)) text = box->text();
      if (auto* label = qobject_cast<QLabel*>(control)) text = label->text();
      if (text.isEmpty()) continue;
      if (control->sizeHint().width() > control->width()) cut.push_back(text.toStdString());
      int id = 0;
      if (kp_item_id(control, &id) && id == 1190) password_label = text;
    }
    options->hide();
    return std::nullopt;
  });
  // The real panel, with its options, not the fixture's answer.
  KPDocument::setSavePanelResponder({});
  const bool clicked = clickMenuItem(KPDocument::currentDocument()->figureWindow()->menuBar(), QStringLiteral("File"),
                                     QStringLiteral("Save As"));
  kp_set_file_chooser({});
  ASSERT_TRUE(clicked);
  ASSERT_TRUE(shown);
  EXPECT_TRUE(cut.empty()) << cut.front();
  EXPECT_EQ(password_label.toStdString(), "Password:");
}

// The default styles page shows the colour new points are drawn in.
TEST_F(EndToEndDetails, TheStylesPageShowsTheColourOfNewPoints) {
  KPFigureView* view = openView();
  ASSERT_NE(view, nullptr);
  const QPoint at(200, 200);
  chooseTool(view, &classe_point);
  click(view, at);
  chooseTool(view, nullptr);
  const QColor drawn = shown(view).pixelColor(at);
  ASSERT_NE(drawn, QColor(Qt::white));

  static QColor well;
  well = QColor();
  set_preferences_window_observer([](QDialog* window) {
    QObject* page = kp_qobject(prefs_pages[PREFS_PAGE_STYLES]);
    if (QComboBox* kinds = child_with_id<QComboBox>(page, kPrefGraphicKinds)) {
      kinds->setCurrentIndex(ATTRS_POINT);
      emit kinds->activated(ATTRS_POINT);
    }
    if (QAbstractButton* button = child_with_id<QAbstractButton>(page, kPrefGraphicColor))
      well = button->grab().toImage().pixelColor(button->width() / 2, button->height() / 2);
    window->close();
  });
  ASSERT_TRUE(clickMenuItem(KPDocument::currentDocument()->figureWindow()->menuBar(), QStringLiteral("Edit"),
                            QStringLiteral("Preferences")));
  spin(50);
  set_preferences_window_observer(nullptr);
  ASSERT_TRUE(well.isValid());
  // The button's face may shade the colour; its strongest channel is the
  // point's.
  const auto strongest = [](QColor c) { return c.red() > c.blue() ? 'r' : c.blue() > c.red() ? 'b' : '='; };
  EXPECT_EQ(strongest(well), strongest(drawn)) << well.name().toStdString() << " for " << drawn.name().toStdString();
}

// The point-style pop-up of the attribute palette shows, line by line, the
// shape a point then takes: a dot, a square, a ring, a cross, a plus.
TEST_F(EndToEndDetails, ThePointStyleIconsShowTheShapesPointsTake) {
  KPFigureView* view = openView();
  ASSERT_NE(view, nullptr);
  menu* styles = find_tool_menu(1007);
  ASSERT_NE(styles, nullptr);
  ASSERT_NE(styles->icons, nullptr);
  const auto ink = [](const tool_icon* icon, int x, int y) { return icon->large[y][x] != icon->large[0][0]; };
  struct Shape {
    const char* name;
    bool centre, ring_top, diagonal, arm_top;
  };
  // Pixels looked at: the centre (16, 16), the top of a ring of radius 6
  // (16, 10), the diagonal (12, 12) and the top of a plus arm (16, 11).
  const Shape shapes[] = {{"dot", true, false, false, false},
                          {"square", true, false, true, false},
                          {"ring", false, true, false, false},
                          {"cross", true, false, true, false},
                          {"plus", true, true, false, true}};
  for (int k = 0; k < 5; ++k) {
    const auto* icon = static_cast<const tool_icon*>(styles->icons[k + 1]);
    ASSERT_NE(icon, nullptr) << k;
    const Shape& s = shapes[k];
    EXPECT_EQ(ink(icon, 16, 16), s.centre) << s.name;
    EXPECT_EQ(ink(icon, 16, 10), s.ring_top) << s.name;
    EXPECT_EQ(ink(icon, 12, 12), s.diagonal) << s.name;
    EXPECT_EQ(ink(icon, 16, 11), s.arm_top) << s.name;
  }
  // Choosing line k gives a new point shape k.
  for (int k = 0; k < 5; ++k) {
    chooseTool(view, &classe_point);
    view->sendCurrentToolAction(make_tool_id(1007, static_cast<uint16_t>(k + 1)), 0, true);
    click(view, QPoint(100 + 40 * k, 300));
    const std::vector<object*> points = objectsOf(view->info(), &classe_point);
    ASSERT_FALSE(points.empty());
    EXPECT_EQ(points.back()->settings.graph_type, k);
  }
}

}  // namespace
