// The Default Styles page of the preferences as a user uses it: the shape
// pop-up lists the shapes of the kind chosen (the icons of its attribute
// menu, as the attribute bar shows them), a shape chosen there is the shape
// of the next object of that kind, and the colour well shows the kind's
// colour.
#include <QAction>
#include <QComboBox>
#include <QDialog>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include <string>

#include "app/panels/dialog_icons.h"
#include "app/panels/tool_icon.h"
#include "app/prefs/preferences_window.h"
#include "app/support/figure_test.h"
#include "kernel/prefs/default_attrs.h"
#include "kernel/prefs/dialog_controls.h"
#include "kernel/prefs/prefs_dialog.h"
#include "kernel/tools/toolbox.h"

namespace {

class EndToEndStyleShapes : public FigureTest {
 protected:
  void TearDown() override {
    set_preferences_window_observer(nullptr);
    FigureTest::TearDown();
  }
  // Opens the preferences from the menu and runs `drive` on the window
  // once it shows; a window the test leaves open is closed.
  static bool withPreferences(KPFigureView* view, std::function<void(QDialog*)> drive) {
    static bool driven = false;
    driven = false;
    set_preferences_window_observer([drive](QDialog* window) {
      drive(window);
      driven = true;
      if (window->isVisible()) window->close();
    });
    QTimer watchdog;
    QObject::connect(&watchdog, &QTimer::timeout, [] {
      if (QWidget* modal = QApplication::activeModalWidget()) modal->close();
    });
    watchdog.start(20000);
    const bool clicked = clickMenuItem(menuBarOf(view), QStringLiteral("Edit"), QStringLiteral("Preferences"));
    spin(30);
    return clicked && driven;
  }
  static void chooseKind(QComboBox* kinds, int kind) {
    kinds->setCurrentIndex(kind);
    emit kinds->activated(kind);
  }
};

// Each kind shows the shapes of its own attribute menu with their icons;
// the kinds without shapes (and without dash or thickness) disable those.
TEST_F(EndToEndStyleShapes, TheShapePopUpListsTheIconsOfTheKindsAttributeMenu) {
  KPFigureView* view = openView();
  ASSERT_NE(view, nullptr);
  ASSERT_TRUE(withPreferences(view, [](QDialog*) {
    QObject* page = kp_qobject(prefs_pages[PREFS_PAGE_STYLES]);
    auto* kinds = child_with_id<QComboBox>(page, kPrefGraphicKinds);
    auto* shape = child_with_id<NSIconPopUpButton>(page, kPrefShape);
    auto* thickness = child_with_id<QWidget>(page, kPrefThickness);
    auto* dash = child_with_id<QWidget>(page, kPrefDash);
    ASSERT_TRUE(kinds && shape && thickness && dash);
    struct Case {
      int kind;
      int menu;  // the index in attrib_menus, or -1
      bool thick, dashed;
    };
    for (const Case& c : {Case{ATTRS_POINT, 6, true, false}, Case{ATTRS_LINE, 6, true, true},
                          Case{ATTRS_ARC, 6, true, true}, Case{ATTRS_AXES, 10, true, true},
                          Case{ATTRS_GRID, -1, false, false}, Case{ATTRS_LOCUS, -1, true, true},
                          Case{ATTRS_ANGLE, 7, true, true}}) {
      chooseKind(kinds, c.kind);
      const menu* m = c.menu >= 0 ? attrib_menus[c.menu] : nullptr;
      const int entries = menu_entry_count(m);
      ASSERT_EQ(shape->count(), entries) << "kind " << c.kind;
      EXPECT_EQ(shape->isEnabled(), entries > 0) << "kind " << c.kind;
      EXPECT_EQ(thickness->isEnabled(), c.thick) << "kind " << c.kind;
      EXPECT_EQ(dash->isEnabled(), c.dashed) << "kind " << c.kind;
      ASSERT_EQ(shape->itemMenu()->actions().size(), entries);
      for (int i = 0; i < entries; ++i) {
        EXPECT_EQ(shape->itemIcon(i), tool_icon_from_field(m->icons[i + 1])) << "kind " << c.kind << " item " << i;
        EXPECT_FALSE(shape->itemMenu()->actions()[i]->icon().isNull()) << "kind " << c.kind << " item " << i;
      }
      // The button shows the kind's shape: its icon, no number.
      const int shown = prefs.kinds[c.kind].graph_type;
      if (entries > 0 && shown < entries) {
        EXPECT_EQ(shape->currentIndex(), shown) << "kind " << c.kind;
        EXPECT_FALSE(shape->icon().isNull()) << "kind " << c.kind;
        EXPECT_TRUE(shape->text().isEmpty()) << "kind " << c.kind;
      }
    }
  }));
}

// A point shape chosen from the pop-up's menu with the mouse and applied to
// new objects is the shape of the next point; the well shows the points'
// colour in a black frame.
TEST_F(EndToEndStyleShapes, AShapeChosenForNewPointsIsTheShapeOfTheNextPoint) {
  KPFigureView* view = openView();
  ASSERT_NE(view, nullptr);
  ASSERT_GE(menu_entry_count(attrib_menus[6]), 3);
  static uint32_t well_centre = 0, well_edge = 0;
  well_centre = well_edge = 1;
  ASSERT_TRUE(withPreferences(view, [](QDialog* window) {
    QObject* page = kp_qobject(prefs_pages[PREFS_PAGE_STYLES]);
    auto* kinds = child_with_id<QComboBox>(page, kPrefGraphicKinds);
    auto* shape = child_with_id<NSIconPopUpButton>(page, kPrefShape);
    auto* well = child_with_id<QPushButton>(page, kPrefGraphicColor);
    auto* new_objects = child_with_id<QRadioButton>(page, kPrefNewObjectsChoice);
    auto* ok = child_with_id<QPushButton>(window, IDOK);
    ASSERT_TRUE(kinds && shape && well && new_objects && ok);
    chooseKind(kinds, ATTRS_POINT);
    // The well's face: the colour inside, framed in black.
    const QImage face = well->grab().toImage();
    well_centre = face.pixel(face.width() / 2, face.height() / 2) & 0xFFFFFF;
    well_edge = face.pixel(6, face.height() / 2) & 0xFFFFFF;
    // The menu opens under the button; the third shape is clicked.
    QTimer::singleShot(50, [] {
      auto* open = qobject_cast<QMenu*>(QApplication::activePopupWidget());
      if (!open) return;
      QAction* third = open->actions().value(2);
      if (third) QTest::mouseClick(open, Qt::LeftButton, {}, open->actionGeometry(third).center());
      else open->close();
    });
    QTest::mouseClick(shape, Qt::LeftButton);
    spin(20);
    EXPECT_EQ(shape->currentIndex(), 2);
    EXPECT_EQ(shape->icon().isNull(), false);
    QTest::mouseClick(new_objects, Qt::LeftButton);
    QTest::mouseClick(ok, Qt::LeftButton);
  }));
  EXPECT_EQ(well_centre, default_attrs[ATTRS_POINT].settings.Color & 0xFFFFFF);
  EXPECT_EQ(well_edge, 0u);
  EXPECT_EQ(default_attrs[ATTRS_POINT].point_style, 2);
  chooseTool(view, &classe_point);
  click(view, QPoint(150, 150));
  // The new point is the last one (the figure's origin is a hidden point).
  const auto points = objectsOf(view->info(), &classe_point);
  ASSERT_FALSE(points.empty());
  ASSERT_TRUE(points.back()->settings.visible);
  EXPECT_EQ(points.back()->settings.graph_type, 2);
}

}  // namespace
