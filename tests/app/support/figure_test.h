// Shell tests that drive a figure window as a user does: tools chosen as the
// palette chooses them, clicks and drags in the figure view, and what the
// view shows.
#pragma once

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QMenu>
#include <QMouseEvent>
#include <QTest>
#include <QTimer>
#include <cmath>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "app/kernel_iface/kp_geo_document.h"
#include "app/panels/ambig_menu.h"
#include "app/panels/tools_palette.h"
#include "app/panels/tools_pull_down.h"
#include "app/shell/figure_window.h"
#include "app/support/shell_fixture.h"
#include "app/view/kp_figure_view.h"
#include "kernel/model/classes.h"
#include "kernel/model/create.h"
#include "kernel/model/figure.h"
#include "kernel/text/text_services.h"
#include "kernel/tools/tool_dispatch.h"
#include "kernel/tools/redefine_tool.h"
#include "kernel/tools/tool_ids.h"
#include "kernel/text/text_record.h"
#include "kernel/tools/toolbox.h"
#include "platform/kp_qt_bridge.h"

// The control of a window or panel that carries the item identifier `id`.
template <typename T>
T* child_with_id(QObject* root, int id) {
  if (!root) return nullptr;
  for (T* c : root->findChildren<T*>()) {
    int found = 0;
    if (kp_item_id(c, &found) && found == id) return c;
  }
  return nullptr;
}

class FigureTest : public ShellTest {
 protected:
  KPFigureView* openView() {
    KPDocument* doc = KPDocument::openUntitledDocument();
    KPFigureView* view = doc ? doc->figureView() : nullptr;
    EXPECT_TRUE(waitForView(view));
    return view;
  }

  // A new window with a segment from (100, 100) to (220, 160) and a circle
  // about (160, 220) through the point `radius` to its right, drawn with
  // the tools.
  KPFigureView* openSegmentAndCircle(int radius = 40) {
    KPFigureView* view = openView();
    if (!view) return nullptr;
    chooseTool(view, &classe_segment);
    click(view, QPoint(100, 100));
    click(view, QPoint(220, 160));
    chooseTool(view, &classe_cercle);
    click(view, QPoint(160, 220));
    click(view, QPoint(160 + radius, 220));
    chooseTool(view, nullptr);
    return view;
  }

  // The menu bar of the window of the view's figure.
  static QMenuBar* menuBarOf(KPFigureView* view) {
    KPDocument* doc = view ? KPDocument::FindDocumentWith_tobjet(view->info()) : nullptr;
    return doc && doc->figureWindow() ? doc->figureWindow()->menuBar() : nullptr;
  }

  // Chooses a tool the way a palette button does.
  static void chooseTool(KPFigureView* view, construct_class* cls) {
    const uint32_t id = cls ? find_tool_id_by_name(cls->name) : kPointerTool;
    ASSERT_NE(id, 0u);
    view->sendCurrentToolAction(id, 0, true);
  }

  // The pointer moves over the view with no button down.
  static void moveTo(KPFigureView* view, QPoint p) {
    QTest::mouseMove(view, p);
    QMouseEvent move(QEvent::MouseMove, p, view->mapToGlobal(p), Qt::NoButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(view, &move);
    spin(5);
  }

  static void click(KPFigureView* view, QPoint p) {
    moveTo(view, p);
    QTest::mousePress(view, Qt::LeftButton, {}, p);
    QTest::mouseRelease(view, Qt::LeftButton, {}, p, 10);
    spin(10);
  }

  // A segment drawn with its tool between two clicks; the pointer after.
  static void drawSegment(KPFigureView* view, QPoint from, QPoint to) {
    chooseTool(view, &classe_segment);
    click(view, from);
    click(view, to);
    chooseTool(view, nullptr);
  }

  // A text-like object of the class (a text, a number...) made in the
  // figure with the text given, shown; null when it cannot be made.
 public:
  static object* makeTextLike(kelvo_win_info* fig, construct_class* cls, const char* text) {
    current_class = cls;
    objlist_clear(fig->inputs);
    uint16_t created = 0;
    object* o = create_object(0, &created, 1, 1, 0);
    current_class = nullptr;
    if (!o || !o->te || !set_text_record_text(o->te, text)) return nullptr;
    o->state &= ~OBJ_NEW;
    o->settings.visible = 1;
    return o;
  }

 protected:
  // Answers the "which object?" list that the next click opens: `answer`
  // runs once the list shows and must choose a line (or close it). The
  // list may take a while to open on a loaded machine, so it is looked for
  // every 20 ms for up to half a minute; a list that never opens is a
  // failure, and any menu left open is closed so the click returns.
  static void answerCandidateList(std::function<void(AmbigPopupController*)> answer) {
    static QElapsedTimer waited;
    static std::function<void()> look;
    waited.start();
    look = [answer] {
      AmbigPopupController* c = AmbigPopupController::shared();
      if (!c || !c->panel() || !c->panel()->isVisible() || c->cells().empty()) {
        if (waited.elapsed() < 30000) {
          QTimer::singleShot(20, scope(), look);
          return;
        }
        ADD_FAILURE() << "no list of candidates";
        if (QWidget* open = QApplication::activePopupWidget()) open->close();
        return;
      }
      answer(c);
    };
    QTimer::singleShot(50, scope(), look);
  }

  // While the redefinition menu is open: the item of that class, chosen with
  // the keyboard. Waits for the menu to open.
  static void chooseClassInMenu(construct_class* cls, bool* chosen, int tries = 1000) {
    QTimer::singleShot(30, scope(), [cls, chosen, tries] {
      auto* open = qobject_cast<QMenu*>(QApplication::activePopupWidget());
      if (!open) {
        if (tries > 0)
          chooseClassInMenu(cls, chosen, tries - 1);
        else
          ADD_FAILURE() << "the menu never opened";
        return;
      }
      int wanted = 0;
      for (const redefine_menu_item& item : redefine_menu_entries(redefined_object))
        if (item.cls == cls) wanted = item.id;
      for (QAction* a : open->actions()) {
        int id = 0;
        if (!kp_item_id(a, &id) || id != wanted) continue;
        open->setActiveAction(a);
        QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
        QApplication::sendEvent(open, &enter);
        *chosen = true;
        return;
      }
      ADD_FAILURE() << "no item for the class";
      open->close();
    });
  }

  // Press at `from`, move in steps to `to` (waiting past the drag threshold),
  // release there.
  static void drag(KPFigureView* view, QPoint from, QPoint to) {
    pressAndMove(view, from, to);
    QTest::mouseRelease(view, Qt::LeftButton, {}, to, 10);
    spin(20);
  }

  // The same drag held at `to`, the button still down.
  static void pressAndMove(KPFigureView* view, QPoint from, QPoint to) {
    moveTo(view, from);
    QTest::mousePress(view, Qt::LeftButton, {}, from);
    spin(20);
    constexpr int kSteps = 8;
    for (int i = 1; i <= kSteps; ++i) {
      const QPoint p = from + (to - from) * i / kSteps;
      QMouseEvent move(QEvent::MouseMove, p, view->mapToGlobal(p), Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
      QApplication::sendEvent(view, &move);
      spin(10);
    }
  }

  // Chooses a tool with the mouse on the tools palette: a click on its
  // group's button for the group's first tool, else the group's list opened
  // by a second click and a release on the tool's line.
  static void pickFromPalette(construct_class* cls) { pickFromPalette(find_tool_id_by_name(cls->name)); }
  static void pickFromPalette(uint32_t id) {
    ASSERT_NE(id, 0u);
    menu* group = find_tool_menu(static_cast<int16_t>(tool_group(id)));
    ASSERT_NE(group, nullptr);
    auto* button = static_cast<QWidget*>(group->view);
    ASSERT_NE(button, nullptr);
    QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(5, 5));
    spin(10);
    // A click on the button of the group in use opens its list at once.
    NSGeoToolsPullDownController* list = NSGeoToolsPullDownController::openPullDown();
    if (!list) {
      // The button gives its group's tool in use, the first one only until
      // another was chosen from its list.
      const bool chosen = current_class ? find_tool_id_by_name(current_class->name) == id : id == kPointerTool;
      if (tool_item(id) == 1 && chosen) return;
      QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(5, 5));
      spin(10);
      list = NSGeoToolsPullDownController::openPullDown();
    }
    ASSERT_NE(list, nullptr);
    releaseOnListItem(list, tool_item(id));
  }

  // The mouse moved onto the line of an open tools list whose tag is `item`
  // and released there.
  static void releaseOnListItem(NSGeoToolsPullDownController* list, uint16_t item) {
    QPoint global;
    for (const auto& cell : list->cells())
      if (cell->tag() == item) global = list->view()->mapToGlobal(cell->getRect().center().toPoint());
    NSGeoToolsPullDown* pull = list->view();
    const QPoint at = pull->mapFromGlobal(global);
    QMouseEvent move(QEvent::MouseMove, at, global, Qt::NoButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(pull, &move);
    QTest::mouseRelease(pull, Qt::LeftButton, {}, at);
    spin(10);
  }

  // Writes and opens a figure file whose records `body` gives from the
  // file's resolution `ppc` (pixels per centimetre). Null when the figure
  // does not open.
  KPFigureView* openFigureAtResolution(const QString& name, const std::function<std::string(double ppc)>& body) {
    // The window lines of an empty figure saved from a view of this size,
    // so that the figure opens where that view showed it.
    const QString path = dir.filePath(name);
    std::string text;
    double ppc = 0;
    {
      if (!openView()) return nullptr;
      if (!KPDocument::currentDocument()->writeToURL(path)) return nullptr;
      closeAll();
      QFile file(path);
      if (!file.open(QIODevice::ReadOnly)) return nullptr;
      const std::string saved = file.readAll().toStdString();
      const size_t end = saved.find("ppc"), res = saved.find("Resolution:");
      if (end == std::string::npos || res == std::string::npos) return nullptr;
      text = saved.substr(0, end + 3) + "\r\n\r\n";
      ppc = std::atof(saved.c_str() + res + 11);
      if (!(ppc > 0)) return nullptr;
    }
    text += body(ppc);
    {
      QFile file(path);
      if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) return nullptr;
      file.write(text.data(), static_cast<qint64>(text.size()));
    }
    KPDocument* doc = KPDocument::openDocument(path);
    KPFigureView* view = doc ? doc->figureView() : nullptr;
    return view && waitForView(view) ? view : nullptr;
  }

  // The same, placing figure points (pixels about the middle of the view)
  // with `at`.
  using Placer = std::function<std::string(double h, double v)>;
  KPFigureView* openFigure(const QString& name, const std::function<std::string(const Placer& at)>& body) {
    return openFigureAtResolution(name, [&body](double ppc) {
      // The file stores centimetres at its resolution, y upwards.
      const Placer at = [ppc](double h, double v) {
        char value[96];
        std::snprintf(value, sizeof value, "Val: %.15g %.15g", h / ppc, -v / ppc);
        return std::string(value);
      };
      return body(at);
    });
  }

  static QPoint viewPointOf(KPFigureView* view, double h, double v) {
    tagPOINT q{static_cast<int32_t>(std::lround(h)), static_cast<int32_t>(std::lround(v))};
    view->localToGlobalDDM(&q);
    return QPoint(q.x, q.y);
  }

  // The view rectangle of an object's text frame.
  static QRect frameOf(KPFigureView* view, const object* o) {
    tagPOINT a{o->te->pos.x, o->te->pos.y};
    tagPOINT b{o->te->pos.x + o->te->size.w, o->te->pos.y + o->te->size.h};
    view->localToGlobalDDM(&a);
    view->localToGlobalDDM(&b);
    return QRect(QPoint(a.x, a.y), QPoint(b.x, b.y)).normalized();
  }

  // The figure point under a point of the view.
  static tagPOINT figurePoint(KPFigureView* view, QPoint p) {
    tagPOINT q{p.x(), p.y()};
    view->globalToLocalDDM(&q);
    return q;
  }

  static std::vector<object*> objectsOf(kelvo_win_info* fig, construct_class* cls) {
    std::vector<object*> found;
    for (object* o = fig ? fig->first : nullptr; o; o = o->next)
      if (o->classe == cls) found.push_back(o);
    return found;
  }

  // A segment drawn with the palette's tool from a to b.
  static object* segment(KPFigureView* view, QPoint a, QPoint b) {
    pickFromPalette(&classe_segment);
    click(view, a);
    click(view, b);
    const auto all = objectsOf(view->info(), &classe_segment);
    return all.empty() ? nullptr : all.back();
  }

  // A segment from (100, 300) to (300, 300) and its length measured with
  // the palette's tool, shown in a text under the middle of the segment.
  static object* measuredSegment(KPFigureView* view) {
    segment(view, QPoint(100, 300), QPoint(300, 300));
    pickFromPalette(&classe_length);
    click(view, QPoint(200, 300));
    const auto lengths = objectsOf(view->info(), &classe_length);
    EXPECT_EQ(lengths.size(), 1u);
    return lengths.size() == 1 ? lengths[0] : nullptr;
  }

  // The first text that shows a value (other than `other_than`), or null.
  static object* textShowing(kelvo_win_info* fig, const object* value, const object* other_than = nullptr) {
    for (object* o : objectsOf(fig, &classe_text))
      for (insert_object* n = o->inserted; n; n = n->next)
        if (n->obj == value && o != other_than) return o;
    return nullptr;
  }

  // The centre of an object's text frame in the view.
  static QPoint frameCentre(KPFigureView* view, const object* o) {
    tagPOINT c{o->te->pos.x + o->te->size.w / 2, o->te->pos.y + o->te->size.h / 2};
    view->localToGlobalDDM(&c);
    return QPoint(c.x, c.y);
  }

  // The view painted anew, the figure drawn again.
  static QImage shown(KPFigureView* view) {
    view->invalidateFigure();
    view->grab();
    return view->viewImage();
  }

  // Pixels of the view's picture that differ from the background colour
  // within `radius` of p.
  static int inkNear(const QImage& image, QPoint p, int radius = 2) {
    const QColor background = image.pixelColor(2, 2);
    int count = 0;
    for (int dy = -radius; dy <= radius; ++dy)
      for (int dx = -radius; dx <= radius; ++dx) {
        const QPoint q = p + QPoint(dx, dy);
        if (image.rect().contains(q) && image.pixelColor(q) != background) ++count;
      }
    return count;
  }
};
