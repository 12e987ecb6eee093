// The description drawer of a figure window: opened from the View menu, its
// lines follow the figure, clicks on it select in the figure, its pop-up
// menu changes the font and copies the description as rich text.
#include <QClipboard>
#include <QHeaderView>
#include <QMenu>
#include <QMimeData>
#include <QProcess>
#include <QTemporaryFile>
#include <QTimer>

#include "app/kernel_iface/kp_figure_view.h"
#include "app/macros/macro_def_window.h"
#include "app/panels/figure_description_drawer.h"
#include "kernel/files/macro_text.h"
#include "kernel/macros/macro_def.h"
#include "kernel/macros/macro_records.h"
#include "kernel/model/memory.h"
#include "kernel/files/text_convert.h"
#include "app/shell/figure_window.h"
#include "app/support/figure_test.h"
#include "kernel/tools/selection.h"

namespace {

class DescriptionDrawer : public FigureTest {
 protected:
  KPFigureWindow* openWithPoints(int n) {
    view_ = openView();
    if (!view_) return nullptr;
    chooseTool(view_, &classe_point);
    for (int i = 0; i < n; ++i) click(view_, QPoint(60 + 50 * i, 80 + 20 * i));
    chooseTool(view_, nullptr);
    auto* w = dynamic_cast<KPFigureWindow*>(view_->window());
    EXPECT_NE(w, nullptr);
    EXPECT_TRUE(clickMenuItem(w->menuBar(), QStringLiteral("View"), QStringLiteral("Show Figure Description")));
    spin(20);
    return w;
  }
  // The points clicked (the figure's own origin comes first).
  std::vector<object*> points() {
    std::vector<object*> all = objectsOf(view_->info(), &classe_point);
    std::vector<object*> clicked;
    for (object* o : all)
      if (o->settings.visible || o->num > 2) clicked.push_back(o);
    return clicked;
  }

  // Chooses the item with the id in the pop-up menu that opens next (in its
  // sub-menu when `sub` names one).
  static void chooseInNextPopup(int id) {
    QTimer::singleShot(50, [id] {
      auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
      if (!menu) return;
      for (QAction* a : menu->actions()) {
        if (a->data().toInt() == id) {
          QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(a).center());
          return;
        }
        if (QMenu* sub = a->menu())
          for (QAction* b : sub->actions())
            if (b->data().toInt() == id) {
              QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(a).center());
              QTimer::singleShot(50, [sub, b] {
                QTest::mouseClick(sub, Qt::LeftButton, {}, sub->actionGeometry(b).center());
              });
              return;
            }
      }
      menu->close();
    });
  }

  KPFigureView* view_ = nullptr;
};

TEST_F(DescriptionDrawer, ViewMenuOpensTheListAndClicksSelectInTheFigure) {
  KPFigureWindow* w = openWithPoints(2);
  ASSERT_NE(w, nullptr);
  NSFigureDescDataSource* source = w->getFigureDescDataSource();
  NSFigureTableView* table = w->getFigureDescDataView();
  EXPECT_TRUE(w->descriptionDrawer()->isVisible());
  const auto pts = points();
  ASSERT_EQ(pts.size(), 2u);
  ASSERT_EQ(source->rowCount(), static_cast<int>(source->rows().size()));
  const int line = source->lineOfObject(pts[1]);
  ASSERT_GT(line, 0);
  QTest::mouseClick(table->viewport(), Qt::LeftButton, {}, table->visualRect(source->index(line - 1, 0)).center());
  spin(10);
  kelvo_win_info* fig = view_->info();
  ASSERT_EQ(objlist_count(fig->selection), 1);
  EXPECT_EQ(fig->selection->items[0], pts[1]);
  EXPECT_EQ(table->selected_line(), line - 1);

  // A click below the last line selects no line and leaves the figure's
  // selection alone.
  QTest::mouseClick(table->viewport(), Qt::LeftButton, {}, QPoint(10, table->viewport()->height() - 2));
  spin(10);
  EXPECT_EQ(table->selected_line(), -1);
  ASSERT_EQ(objlist_count(fig->selection), 1);
  EXPECT_EQ(fig->selection->items[0], pts[1]);

  // Selecting in the figure selects the line; an object that has no line
  // (hidden) selects none.
  select_figure_object(pts[0], 0, 0);
  spin(5);
  EXPECT_EQ(table->selected_line(), source->lineOfObject(pts[0]) - 1);
  pts[1]->settings.visible = 0;
  table->refresh();
  select_figure_object(pts[1], 0, 0);
  spin(5);
  EXPECT_EQ(table->selected_line(), -1);
  EXPECT_TRUE(table->selectionModel()->selectedRows().isEmpty());
  pts[1]->settings.visible = 1;

  // The menu item closes it again.
  ASSERT_TRUE(clickMenuItem(w->menuBar(), QStringLiteral("View"), QStringLiteral("Hide Figure Description")));
  spin(10);
  EXPECT_FALSE(source->visible());
  EXPECT_EQ(source->rowCount(), 0);
}

TEST_F(DescriptionDrawer, PopupMenuSetsTheFontWithoutChangingTheLine) {
  KPFigureWindow* w = openWithPoints(1);
  ASSERT_NE(w, nullptr);
  NSFigureTableView* table = w->getFigureDescDataView();
  table->setSelected_line(0);
  chooseInNextPopup(50008);  // size 22
  QTest::mouseClick(table->viewport(), Qt::RightButton, {}, QPoint(10, 5));
  spin(10);
  EXPECT_EQ(table->verticalHeader()->defaultSectionSize(), 26);
  chooseInNextPopup(50002);  // System
  QTest::mouseClick(table->viewport(), Qt::LeftButton, Qt::MetaModifier, QPoint(10, 5));
  spin(10);
  EXPECT_EQ(table->font().family(), QApplication::font().family());
  EXPECT_EQ(table->font().pointSizeF(), 22.0);
  EXPECT_EQ(table->selected_line(), 0);
}

TEST_F(DescriptionDrawer, HiddenObjectsShowInLightGrayWhenAsked) {
  KPFigureWindow* w = openWithPoints(2);
  ASSERT_NE(w, nullptr);
  NSFigureDescDataSource* source = w->getFigureDescDataSource();
  const auto pts = points();
  pts[1]->settings.visible = 0;
  w->getFigureDescDataView()->refresh();
  EXPECT_EQ(source->lineOfObject(pts[1]), 0);
  chooseInNextPopup(50010);
  QTest::mouseClick(w->getFigureDescDataView()->viewport(), Qt::RightButton, {}, QPoint(10, 5));
  spin(10);
  const int line = source->lineOfObject(pts[1]);
  ASSERT_GT(line, 0);
  EXPECT_EQ(source->index(line - 1, 1).data(Qt::ForegroundRole).value<QColor>(), QColor(192, 192, 192));
}

char* block_text(const char* s) {
  auto* b = static_cast<char*>(GlobalAlloc(GPTR, static_cast<uint32_t>(std::strlen(s) + 1)));
  std::strcpy(b, s);
  return b;
}

TEST_F(DescriptionDrawer, IntermediateObjectsAskTheFigureAndMacroPasswordsFirst) {
  KPFigureWindow* w = openWithPoints(2);
  ASSERT_NE(w, nullptr);
  NSFigureDescDataSource* source = w->getFigureDescDataSource();
  // A macro whose midpoint is a hidden step, protected by "m".
  const char kHalf[] =
      "Half, H\r\nMth: 0\r\nCN:2, ON:2, FN:1, PO:1\r\nCT:\r\n"
      "point, CS 0, default settings, \r\npoint, CS 0, default settings, \r\n"
      "Const:\r\n"
      "Mid, Mth:0, 0, CN:2, VN:1, Const: 1 2, \r\n"
      "Seg, Mth:0, 1, CN:2, VN:2, Const: 1 3, default settings, \r\n";
  ASSERT_GT(txt_load_used_macro(kHalf, 0), 0) << macro_text_error();
  construct_class* half = find_class_by_name("Half", 0);
  ASSERT_NE(half, nullptr);
  set_macro_password(half, block_text("m"));
  kelvo_win_info* fig = view_->info();
  const auto pts = points();
  current_class = half;
  objlist_clear(fig->inputs);
  objlist_add(fig->inputs, pts[0], 0);
  objlist_add(fig->inputs, pts[1], 0);
  ASSERT_NE(apply_macro(0, 0), nullptr);
  current_class = nullptr;
  objlist_clear(fig->inputs);
  object* mid = nullptr;
  for (object* o = fig->first; o != nullptr; o = o->next) {
    o->state &= ~OBJ_NEW;  // as at the end of a tool's action
    if (o->macro != nullptr && o->final_no == 0) mid = o;
  }
  ASSERT_NE(mid, nullptr);
  fig->password = block_text("f");
  std::vector<std::string> asked;
  bool accept = false;
  KPMacroDefWindow::setPasswordResponder([&](const char* password) {
    asked.emplace_back(password);
    return accept;
  });
  const auto choose = [&] {
    chooseInNextPopup(50011);
    QTest::mouseClick(w->getFigureDescDataView()->viewport(), Qt::RightButton, {}, QPoint(10, 5));
    spin(10);
  };
  // The figure's password refused: nothing else is asked, nothing shown.
  choose();
  EXPECT_EQ(asked, std::vector<std::string>{"f"});
  EXPECT_EQ(source->state()->show_interim, 0);
  EXPECT_EQ(source->lineOfObject(mid), 0);
  // Both given: the step is listed.
  asked.clear();
  accept = true;
  choose();
  EXPECT_EQ(asked, (std::vector<std::string>{"f", "m"}));
  EXPECT_EQ(source->state()->show_interim, 1);
  EXPECT_EQ(macro_password_state(half), 2);
  EXPECT_GT(source->lineOfObject(mid), 0);
  // Hiding asks nothing.
  asked.clear();
  choose();
  EXPECT_TRUE(asked.empty());
  EXPECT_EQ(source->state()->show_interim, 0);
  KPMacroDefWindow::setPasswordResponder({});
}

// With the intermediate objects already listed, a protected macro applied
// afterwards asks its password when its objects would be listed: given, its
// steps are listed (and every macro with that password is unlocked);
// refused, they stay out and it is not asked again.
TEST_F(DescriptionDrawer, AProtectedMacroAppliedLaterAsksItsPasswordWhenListed) {
  KPFigureWindow* w = openWithPoints(4);
  ASSERT_NE(w, nullptr);
  NSFigureDescDataSource* source = w->getFigureDescDataSource();
  std::vector<std::string> asked;
  bool accept = false;
  KPMacroDefWindow::setPasswordResponder([&](const char* password) {
    asked.emplace_back(password);
    return accept;
  });
  chooseInNextPopup(50011);
  QTest::mouseClick(w->getFigureDescDataView()->viewport(), Qt::RightButton, {}, QPoint(10, 5));
  spin(10);
  ASSERT_EQ(source->state()->show_interim, 1);
  ASSERT_TRUE(asked.empty());

  const auto load = [](const char* name, const char* password) {
    const std::string text = std::string(name) + ", " + name +
                             "\r\nMth: 0\r\nCN:2, ON:2, FN:1, PO:1\r\nCT:\r\n"
                             "point, CS 0, default settings, \r\npoint, CS 0, default settings, \r\n"
                             "Const:\r\n"
                             "Mid, Mth:0, 0, CN:2, VN:1, Const: 1 2, \r\n"
                             "Seg, Mth:0, 1, CN:2, VN:2, Const: 1 3, default settings, \r\n";
    EXPECT_GT(txt_load_used_macro(text.c_str(), 0), 0) << macro_text_error();
    construct_class* cls = find_class_by_name(name, 0);
    if (cls) set_macro_password(cls, block_text(password));
    return cls;
  };
  construct_class* first = load("Locked", "k");
  construct_class* twin = load("Twin", "k");
  ASSERT_NE(first, nullptr);
  ASSERT_NE(twin, nullptr);
  kelvo_win_info* fig = view_->info();
  const auto pts = points();
  const auto applyOn = [&](construct_class* cls, object* a, object* b) {
    current_class = cls;
    objlist_clear(fig->inputs);
    objlist_add(fig->inputs, a, 0);
    objlist_add(fig->inputs, b, 0);
    EXPECT_NE(apply_macro(0, 0), nullptr);
    current_class = nullptr;
    objlist_clear(fig->inputs);
    object* step = nullptr;
    for (object* o = fig->first; o != nullptr; o = o->next) {
      o->state &= ~OBJ_NEW;
      if (o->macro != nullptr && o->final_no == 0 && o->macro->im_class == cls) step = o;
    }
    refresh_figure_description(current_figure_view);
    spin(10);
    return step;
  };
  // Refused: not listed, and not asked again at the next refresh.
  object* kept_out = applyOn(first, pts[0], pts[1]);
  ASSERT_NE(kept_out, nullptr);
  EXPECT_EQ(source->lineOfObject(kept_out), 0);
  EXPECT_EQ(asked, std::vector<std::string>{"k"});
  EXPECT_EQ(macro_password_state(first), 1);
  refresh_figure_description(current_figure_view);
  spin(10);
  EXPECT_EQ(asked.size(), 1u);
  // Given for the second macro: its step is listed, and the first macro,
  // with the same password, is unlocked with it.
  accept = true;
  object* listed = applyOn(twin, pts[2], pts[3]);
  ASSERT_NE(listed, nullptr);
  EXPECT_GT(source->lineOfObject(listed), 0);
  EXPECT_EQ(asked, (std::vector<std::string>{"k", "k"}));
  EXPECT_EQ(macro_password_state(twin), 2);
  EXPECT_EQ(macro_password_state(first), 2);
  refresh_figure_description(current_figure_view);
  spin(10);
  EXPECT_GT(source->lineOfObject(kept_out), 0);
  KPMacroDefWindow::setPasswordResponder({});
}

TEST_F(DescriptionDrawer, CopiedRichTextHoldsOneTabSeparatedLinePerObject) {
  KPFigureWindow* w = openWithPoints(3);
  ASSERT_NE(w, nullptr);
  chooseInNextPopup(50012);
  QTest::mouseClick(w->getFigureDescDataView()->viewport(), Qt::RightButton, {}, QPoint(10, 5));
  spin(10);
  const QMimeData* mime = QApplication::clipboard()->mimeData();
  ASSERT_NE(mime, nullptr);
  const QByteArray rtf = mime->data(QStringLiteral("text/rtf"));
  ASSERT_FALSE(rtf.isEmpty());
  QTemporaryFile file;
  ASSERT_TRUE(file.open());
  file.write(rtf);
  file.flush();
  QProcess unrtf;
  unrtf.start(QStringLiteral("unrtf"), {QStringLiteral("--text"), file.fileName()});
  if (!unrtf.waitForFinished(10000)) GTEST_SKIP() << "unrtf is not available";
  // unrtf writes a tab as blanks up to the next tab stop and a line break:
  // each object's line comes out as its object text with the tab, then its
  // type text.
  QStringList out = QString::fromUtf8(unrtf.readAllStandardOutput()).split('\n');
  while (!out.isEmpty() && !out.front().startsWith(QStringLiteral("-----"))) out.pop_front();
  if (!out.isEmpty()) out.pop_front();
  while (!out.isEmpty() && out.back().isEmpty()) out.pop_back();
  NSFigureDescDataSource* source = w->getFigureDescDataSource();
  ASSERT_EQ(out.size(), 2 * source->rowCount());
  for (int r = 0; r < source->rowCount(); ++r) {
    EXPECT_TRUE(out[2 * r].endsWith(' ')) << out[2 * r].toStdString();
    EXPECT_EQ(out[2 * r].trimmed(), source->index(r, 0).data().toString().trimmed());
    EXPECT_EQ(out[2 * r + 1], source->index(r, 1).data().toString());
  }
}

TEST(DescriptionText, ExponentCodesBecomeSuperscriptsEverywhere) {
  EXPECT_EQ(description_display_text("m\\2 and m\\3 and x\xB2"), QStringLiteral("m\u00B2 and m\u00B3 and x\u00B2"));
  EXPECT_EQ(description_display_text("a\\4"), QStringLiteral("a\\4"));
  // An angle's unit is the degree sign, whichever byte its table uses.
  EXPECT_EQ(description_display_text("63.2 \xFB"), QStringLiteral("63.2 \u00B0"));
  EXPECT_EQ(description_display_text("63.2 \xA1"), QStringLiteral("63.2 \u00B0"));
  // Bytes that are no valid text still give a text.
  EXPECT_FALSE(description_display_text("\xFF\xFE").isEmpty());
}

TEST(DescriptionText, NumbersTakeTheLanguagesDecimalSeparator) {
  const char before = decimal_separator;
  decimal_separator = ',';
  EXPECT_EQ(description_local_decimals("AB = 7.5 cm. A.B", QStringLiteral("Fran\u00e7ais")), "AB = 7,5 cm. A.B");
  EXPECT_EQ(description_local_decimals("AB = 7.5 cm", QStringLiteral("English US")), "AB = 7.5 cm");
  EXPECT_EQ(description_local_decimals("", QStringLiteral("Deutsch")), "");
  decimal_separator = before;
}

}  // namespace
