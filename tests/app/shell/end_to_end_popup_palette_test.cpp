// The figure's context menu and the palettes as a user drives them: a
// colour driven by a measure, the orientation of an area, the list that
// asks which object was meant, and the attribute palette shown and hidden
// from the View menu.
#include <QAbstractButton>
#include <QAction>
#include <QComboBox>
#include <QDialog>
#include <QLineEdit>
#include <QPushButton>
#include <QKeyEvent>
#include <QMenu>
#include <QMenuBar>
#include <QTextDocument>
#include <QTimer>
#include <gtest/gtest.h>

#include <string>

#include "app/document/kp_document.h"
#include "app/panels/ambig_menu.h"
#include "app/panels/tool_menu_services.h"
#include "app/panels/tools_palette.h"
#include "app/prefs/preferences_window.h"
#include "app/shell/figure_window.h"
#include "app/support/figure_test.h"
#include "app/shell/figure_window.h"
#include "kernel/model/create.h"
#include "kernel/model/recompute.h"
#include "kernel/files/text_convert.h"
#include "kernel/prefs/default_attrs.h"
#include "kernel/prefs/dialog_controls.h"
#include "kernel/prefs/prefs_dialog.h"
#include "kernel/render/fonts.h"
#include "kernel/render/object_colors.h"
#include "kernel/text/text_record.h"
#include "kernel/text/text_services.h"
#include "kernel/tools/selection.h"
#include "kernel/tools/tool_state.h"
#include "kernel/window/figure_popup.h"
#include "platform/kp_qt_bridge.h"
#include "platform/kp_timer.h"
#include "platform/ns_kelvo_text_view.h"

namespace {

template <typename T>
T* with_id(QObject* root, int id) {
  if (!root) return nullptr;
  for (T* c : root->findChildren<T*>()) {
    int found = 0;
    if (kp_item_id(c, &found) && found == id) return c;
  }
  return nullptr;
}

// A pop-up of a preferences page chosen as a user chooses it.
void choosePopup(QObject* page, int id, int index) {
  QComboBox* box = with_id<QComboBox>(page, id);
  ASSERT_NE(box, nullptr) << id;
  box->setCurrentIndex(index);
  emit box->activated(index);
}

void clickControl(QObject* root, int id) {
  QAbstractButton* b = with_id<QAbstractButton>(root, id);
  ASSERT_NE(b, nullptr) << id;
  ASSERT_TRUE(b->isEnabled()) << id;
  QTest::mouseClick(b, Qt::LeftButton);
}

class EndToEndPopupPalette : public FigureTest {
 protected:
  void TearDown() override {
    set_preferences_window_observer(nullptr);
    set_preferences_font_chooser(nullptr);
    closeAll();
    FigureTest::TearDown();
  }

  // Runs `script` on the open context menu once it shows.
  static void whenMenuOpens(std::function<void(QMenu*)> script, int tries = 1000) {
    QTimer::singleShot(30, scope(), [script, tries] {
      auto* open = qobject_cast<QMenu*>(QApplication::activePopupWidget());
      if (!open) {
        if (tries > 0)
          whenMenuOpens(script, tries - 1);
        else
          ADD_FAILURE() << "the menu never opened";
        return;
      }
      script(open);
    });
  }

  // Chooses `item` in the open menu with the keyboard, as a user does.
  static void chooseIn(QMenu* menu, const QString& item, int tries = 1000) {
    QTimer::singleShot(30, scope(), [menu, item, tries] {
      if (!menu->isVisible() && tries > 0) {
        chooseIn(menu, item, tries - 1);
        return;
      }
      for (QAction* a : menu->actions())
        if (a->text() == item) {
          menu->setActiveAction(a);
          QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
          QApplication::sendEvent(menu, &enter);
          return;
        }
      QStringList seen;
      for (QAction* a : menu->actions()) seen << a->text();
      ADD_FAILURE() << "no item " << item.toStdString() << " among " << seen.join('|').toStdString();
      menu->close();
    });
  }

  // The sub-menu `sub` of the open menu, then its item `item`; an empty
  // `sub` chooses `item` in the menu itself.
  static void choose(const QString& sub, const QString& item) {
    whenMenuOpens([sub, item](QMenu* open) {
      if (sub.isEmpty()) {
        chooseIn(open, item);
        return;
      }
      for (QAction* a : open->actions()) {
        if (a->text() != sub || !a->menu()) continue;
        open->setActiveAction(a);
        QKeyEvent right(QEvent::KeyPress, Qt::Key_Right, Qt::NoModifier);
        QApplication::sendEvent(open, &right);
        chooseIn(a->menu(), item);
        return;
      }
      ADD_FAILURE() << "no submenu " << sub.toStdString();
      open->close();
    });
  }

  // Edit > Preferences clicked in the menu bar; `script` drives the window
  // and ends it.
  static bool runPreferences(std::function<void(QDialog*)> script) {
    static bool driven = false;
    driven = false;
    set_preferences_window_observer([script](QDialog* window) {
      script(window);
      driven = true;
      if (window->isVisible()) window->close();
    });
    QTimer watchdog;
    QObject::connect(&watchdog, &QTimer::timeout, [] {
      if (QWidget* modal = QApplication::activeModalWidget()) modal->close();
    });
    watchdog.start(20000);
    const bool clicked =
        clickMenuItem(KPDocument::currentDocument()->figureWindow()->menuBar(), QStringLiteral("Edit"),
                      QStringLiteral("Preferences"));
    spin(50);
    return clicked && driven;
  }

  static void rightClick(KPFigureView* view, QPoint p) {
    moveTo(view, p);
    QTest::mousePress(view, Qt::RightButton, {}, p);
    QTest::mouseRelease(view, Qt::RightButton, {}, p, 10);
    spin(30);
  }

  static object* only(kelvo_win_info* fig, construct_class* cls) {
    const auto found = objectsOf(fig, cls);
    return found.size() == 1 ? found[0] : nullptr;
  }

  // The middle of an object's text frame, in view pixels.
  static QPoint textMiddle(KPFigureView* view, const object* o) {
    tagPOINT middle{o->te->pos.x + o->te->size.w / 2, o->te->pos.y + o->te->size.h / 2};
    view->localToGlobalDDM(&middle);
    return {middle.x, middle.y};
  }

  // A segment from (100, 200) to (300, 200) and its length, shown in a text.
  object* segmentWithLength(KPFigureView* view, object** length) {
    chooseTool(view, &classe_segment);
    click(view, QPoint(100, 200));
    click(view, QPoint(300, 200));
    chooseTool(view, &classe_length);
    click(view, QPoint(200, 200));
    chooseTool(view, nullptr);
    *length = only(view->info(), &classe_length);
    return only(view->info(), &classe_segment);
  }
};

TEST_F(EndToEndPopupPalette, ThePenColourOfASegmentFollowsAMeasureChosenAfterTheMenu) {
  KPFigureView* view = openView();
  ASSERT_NE(view, nullptr);
  object* length = nullptr;
  object* segment = segmentWithLength(view, &length);
  ASSERT_NE(segment, nullptr);
  ASSERT_NE(length, nullptr);
  object* shown = only(view->info(), &classe_text);
  ASSERT_NE(shown, nullptr);

  // While the menu is up the application window has one more timer: the
  // blinking of the selection.
  static int timers_open = -1;
  timers_open = -1;
  whenMenuOpens([](QMenu*) { timers_open = KPTimer::timerCount(); });
  choose(QStringLiteral("Pen Color from Numbers"), QStringLiteral("Red"));
  const int timers_before = KPTimer::timerCount();
  rightClick(view, QPoint(130, 200));
  EXPECT_EQ(timers_open, timers_before + 1);
  EXPECT_EQ(KPTimer::timerCount(), timers_before);
  EXPECT_EQ(interaction_state, STATE_COLOR_NUMBER);
  EXPECT_EQ(color_driver_target(), segment);

  // The next click, on the measure's value, picks the number.
  click(view, textMiddle(view, shown));
  EXPECT_EQ(interaction_state, STATE_POINTER);
  ASSERT_NE(segment->pcolor, nullptr);
  EXPECT_EQ(segment->pcolor->red, length);
  EXPECT_EQ(segment->pcolor->green, nullptr);
  EXPECT_EQ(segment->pcolor->blue, nullptr);
  // The segment is drawn in the colour the measure gives.
  const uint32_t color = object_effective_color(segment);
  EXPECT_EQ(color & 0xFF, color_component_from_number(length, 0));
  EXPECT_TRUE(view->info()->wflags & kFigureChanged);
}

TEST_F(EndToEndPopupPalette, TheAreaOfATriangleTurnsOrientedFromItsText) {
  KPFigureView* view = openView();
  ASSERT_NE(view, nullptr);
  chooseTool(view, &classe_triangle);
  click(view, QPoint(100, 300));
  click(view, QPoint(300, 300));
  click(view, QPoint(100, 100));
  chooseTool(view, &classe_aire);
  click(view, QPoint(200, 300));
  chooseTool(view, nullptr);
  object* area = only(view->info(), &classe_aire);
  object* shown = only(view->info(), &classe_text);
  ASSERT_NE(area, nullptr);
  ASSERT_NE(shown, nullptr);
  ASSERT_EQ(area->math.polyarea, 0u);
  // The menu opened on the value inside the text is the area's.
  choose(QString(), QStringLiteral("Oriented Area"));
  rightClick(view, textMiddle(view, shown));
  EXPECT_EQ(area->math.polyarea, 1u);
  choose(QString(), QStringLiteral("Oriented Area"));
  rightClick(view, textMiddle(view, shown));
  EXPECT_EQ(area->math.polyarea, 0u);
}

// An equation is written again, and shown so, in the form chosen.
TEST_F(EndToEndPopupPalette, TheFormOfALineEquationIsChosenOnItsText) {
  KPFigureView* view = openView();
  ASSERT_NE(view, nullptr);
  chooseTool(view, &classe_droite);
  click(view, QPoint(100, 300));
  click(view, QPoint(300, 200));
  chooseTool(view, nullptr);
  kelvo_win_info* fig = view->info();
  object* line = only(fig, &classe_droite);
  object* axes = nullptr;
  for (object* o = fig->first; o; o = o->next)
    if (o->otype && o->otype->id == TYPE_AXES) axes = o;
  ASSERT_NE(line, nullptr);
  ASSERT_NE(axes, nullptr);
  // The equation, built as its tool builds it from the line and the axes,
  // in the reduced form.
  current_class = &classe_equation;
  objlist_clear(fig->inputs);
  objlist_add(fig->inputs, line, 0);
  objlist_add(fig->inputs, axes, 0);
  object* eq = create_object(1, nullptr, 1, 1, 1);
  objlist_clear(fig->inputs);
  current_class = nullptr;
  ASSERT_NE(eq, nullptr);
  eq->math.equa.format = 1;
  recompute_object(eq);
  view->invalidateFigure();
  spin(20);
  ASSERT_NE(eq->te, nullptr);
  const std::string reduced = eq->te->text;
  ASSERT_TRUE(reduced.starts_with("y = ")) << reduced;
  choose(QStringLiteral("Equation Form"), QStringLiteral("Standard Form"));
  rightClick(view, textMiddle(view, eq));
  EXPECT_EQ(eq->math.equa.format, 0);
  const std::string standard = eq->te->text;
  EXPECT_FALSE(standard.starts_with("y = ")) << standard;
  ASSERT_NE(eq->te->display_string, nullptr);
  EXPECT_EQ(kp_text_document(eq->te->display_string)->toPlainText().startsWith(QStringLiteral("y = ")), false);
  EXPECT_TRUE(fig->wflags & kFigureChanged);
}

TEST_F(EndToEndPopupPalette, ARightClickOnTwoObjectsAsksWhichOneAndSelectsIt) {
  KPFigureView* view = openView();
  ASSERT_NE(view, nullptr);
  chooseTool(view, &classe_segment);
  click(view, QPoint(100, 100));
  click(view, QPoint(300, 300));
  click(view, QPoint(100, 300));
  click(view, QPoint(300, 100));
  chooseTool(view, nullptr);
  const auto segments = objectsOf(view->info(), &classe_segment);
  ASSERT_EQ(segments.size(), 2u);
  // The list shows both; its first line is chosen.
  static std::vector<std::string> lines;
  lines.clear();
  answerCandidateList([](AmbigPopupController* c) {
    for (const auto& cell : c->cells()) lines.push_back(cell->text().toStdString());
    QTest::mouseClick(c->panel(), Qt::LeftButton, {}, c->cells().front()->getRect().center().toPoint());
  });
  rightClick(view, QPoint(200, 200));
  EXPECT_EQ(lines.size(), 2u);
  EXPECT_EQ(QApplication::activePopupWidget(), nullptr) << "a context menu opened too";
  kelvo_win_info* fig = view->info();
  ASSERT_EQ(objlist_count(fig->selection), 1);
  object* chosen = fig->selection->items[0];
  EXPECT_TRUE(chosen == segments[0] || chosen == segments[1]);
}

// The View menu hides the attribute bar of the tools palette, and its item
// then offers to show it again.
TEST_F(EndToEndPopupPalette, TheViewMenuHidesAndShowsTheAttributePalette) {
  KPFigureView* view = openView();
  ASSERT_NE(view, nullptr);
  KPFigureWindow* window = KPDocument::currentDocument()->figureWindow();
  ASSERT_NE(window, nullptr);
  NSKelvoToolsPanelView* palette = NSKelvoToolsPanel::sharedPanel()->view();
  ASSERT_NE(attrib_palette_window, nullptr);
  ASSERT_TRUE(palette->sideBarVisible());
  ASSERT_TRUE(clickMenuItem(window->menuBar(), QStringLiteral("View"), QStringLiteral("Hide Attribute Palette")));
  EXPECT_EQ(attrib_palette_window, nullptr);
  EXPECT_FALSE(palette->sideBarVisible());
  ASSERT_TRUE(clickMenuItem(window->menuBar(), QStringLiteral("View"), QStringLiteral("Show Attribute Palette")));
  EXPECT_NE(attrib_palette_window, nullptr);
  EXPECT_TRUE(palette->sideBarVisible());
}

// A length selected by a click on its value, inside the text that shows
// it: the precision page applies to it through the text.
TEST_F(EndToEndPopupPalette, PrecisionAppliedToASelectedTextReachesTheMeasureItShows) {
  KPFigureView* view = openView();
  ASSERT_NE(view, nullptr);
  object* length = nullptr;
  ASSERT_NE(segmentWithLength(view, &length), nullptr);
  ASSERT_NE(length, nullptr);
  object* shown = only(view->info(), &classe_text);
  ASSERT_NE(shown, nullptr);
  click(view, textMiddle(view, shown));
  kelvo_win_info* fig = view->info();
  ASSERT_EQ(objlist_count(fig->selection), 1);
  ASSERT_EQ(fig->selection->items[0], shown);
  const int before = length->settings.nbre_decimales & 127;
  const int wanted = (before + 2) % 5;
  const std::string text_before = length->te->text;
  ASSERT_TRUE(runPreferences([wanted](QDialog* window) {
    QObject* page = kp_qobject(prefs_pages[PREFS_PAGE_PRECISION]);
    clickControl(page, kPrefSelectionChoice);
    choosePopup(page, kPrefLengthDecimals, wanted);
    clickControl(page, kPrefApplyButton);
    clickControl(window, IDCANCEL);
  }));
  EXPECT_EQ(length->settings.nbre_decimales & 127, wanted);
  EXPECT_NE(std::string(length->te->text), text_before);
  EXPECT_TRUE(fig->wflags & kFigureChanged);
}

// The styles page gives a selected segment the thickness and dash of the
// lines; with the new objects choice the cut of lines reaches the next line.
TEST_F(EndToEndPopupPalette, StylesApplyToTheSelectionAndTheCutOfNewLines) {
  KPFigureView* view = openView();
  ASSERT_NE(view, nullptr);
  chooseTool(view, &classe_segment);
  click(view, QPoint(100, 200));
  click(view, QPoint(300, 200));
  chooseTool(view, nullptr);
  object* segment = only(view->info(), &classe_segment);
  ASSERT_NE(segment, nullptr);
  click(view, QPoint(180, 200));
  ASSERT_EQ(objlist_count(view->info()->selection), 1);
  ASSERT_EQ(view->info()->selection->items[0], segment);
  segment->settings.thickness = 0;
  ASSERT_TRUE(runPreferences([](QDialog* window) {
    QObject* page = kp_qobject(prefs_pages[PREFS_PAGE_STYLES]);
    choosePopup(page, kPrefGraphicKinds, ATTRS_LINE);
    clickControl(page, kPrefSelectionChoice);
    choosePopup(page, kPrefThickness, 2);
    choosePopup(page, kPrefDash, 1);
    clickControl(page, kPrefApplyButton);
    // Then for new objects: lines cut 2.5 beyond their points.
    clickControl(page, kPrefNewObjectsChoice);
    choosePopup(page, kPrefSmartLineType, 1);
    QLineEdit* length = with_id<QLineEdit>(page, kPrefSmartLineLength);
    ASSERT_NE(length, nullptr);
    ASSERT_TRUE(length->isEnabled());
    length->setText(QStringLiteral("2") + QChar::fromLatin1(decimal_separator) + QStringLiteral("5"));
    emit length->editingFinished();
    clickControl(page, kPrefApplyButton);
    clickControl(window, IDOK);
  }));
  EXPECT_EQ(segment->settings.thickness, 2);
  EXPECT_EQ(segment->settings.dot_style.lg, dash_table[1].lg);
  EXPECT_EQ(segment->settings.dot_style.cycle, dash_table[1].cycle);
  EXPECT_EQ(default_attrs[ATTRS_LINE].second_line_style, 1);
  EXPECT_DOUBLE_EQ(default_attrs[ATTRS_LINE].settings.smartline_length[0], 2.5);
  chooseTool(view, &classe_droite);
  click(view, QPoint(100, 300));
  click(view, QPoint(300, 320));
  object* line = only(view->info(), &classe_droite);
  ASSERT_NE(line, nullptr);
  EXPECT_EQ(line->settings.smartline_type, 1);
}

// The font buttons open the font dialog (answered here): the cursor-text
// style and a text kind take the font chosen.
TEST_F(EndToEndPopupPalette, FontButtonsGiveTheirStylesTheFontChosen) {
  KPFigureView* view = openView();
  ASSERT_NE(view, nullptr);
  set_preferences_font_chooser([](QFont* font) {
    *font = QFont(QStringLiteral("DejaVu Sans"));
    font->setPointSize(17);
    return true;
  });
  static std::string cursor_title;
  cursor_title.clear();
  ASSERT_TRUE(runPreferences([](QDialog* window) {
    QObject* system = kp_qobject(prefs_pages[PREFS_PAGE_SYSTEM]);
    clickControl(system, kPrefCursorFont);
    if (auto* b = with_id<QPushButton>(system, kPrefCursorFont)) cursor_title = b->text().toStdString();
    QObject* styles = kp_qobject(prefs_pages[PREFS_PAGE_STYLES]);
    choosePopup(styles, kPrefTextKinds, 3);  // lengths
    clickControl(styles, kPrefNewObjectsChoice);
    clickControl(styles, kPrefTextFont);
    clickControl(styles, kPrefApplyButton);
    clickControl(window, IDOK);
  }));
  EXPECT_EQ(cursor_text_font.size, 17u);
  const char* name = font_name_by_id(cursor_text_font.font);
  ASSERT_NE(name, nullptr);
  EXPECT_EQ(cursor_title, std::string(name) + " 17");
  EXPECT_EQ(default_attrs[ATTRS_LENGTH].text_size, 17);
  EXPECT_EQ(default_attrs[ATTRS_LENGTH].text_font, cursor_text_font.font);
}

// Two selected segments in different colours: the styles page shows the
// record's colour, and OK with nothing changed leaves both as they were.
TEST_F(EndToEndPopupPalette, OkWithoutAChangeLeavesTheSelectionAsItWas) {
  KPFigureView* view = openView();
  ASSERT_NE(view, nullptr);
  chooseTool(view, &classe_segment);
  click(view, QPoint(100, 200));
  click(view, QPoint(300, 200));
  click(view, QPoint(100, 300));
  click(view, QPoint(300, 300));
  chooseTool(view, nullptr);
  const auto segments = objectsOf(view->info(), &classe_segment);
  ASSERT_EQ(segments.size(), 2u);
  segments[0]->settings.Color = 0x0000FF;
  segments[1]->settings.Color = 0x00FF00;
  select_all_objects();
  ASSERT_TRUE(runPreferences([](QDialog* window) { clickControl(window, IDOK); }));
  EXPECT_EQ(segments[0]->settings.Color, 0x0000FFu);
  EXPECT_EQ(segments[1]->settings.Color, 0x00FF00u);
}

}  // namespace
