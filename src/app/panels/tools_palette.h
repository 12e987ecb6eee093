// The tools palette: a frameless, always-on-top window as large as the
// available desktop, of which only two bars take the mouse (the window's
// mask leaves the rest click-through): the toolbar along the top, one
// button per toolbox, and the attribute bar along the left edge. A click on
// a toolbox button makes its current tool the kernel's; holding it 0.2 s,
// or clicking the button already selected, opens the toolbox's list.
//
// The kernel reaches the palette only as a window handle
// (tools_panel_window) through messages, so a docked toolbar could take its
// place where a platform forbids placing windows (under Wayland the window
// is placed by the compositor; run with QT_QPA_PLATFORM=xcb to have it
// cover the desktop).
#pragma once

#include <QColor>
#include <QPointer>
#include <QRect>
#include <QWidget>

#include "platform/kelvo_wrap_machine.h"

struct menu;
class QTimer;
class QColorDialog;
class QScreen;
class NSKelvoToolsPanelView;

// Arrow keys of message 1024/107.
inline constexpr int kKeyUp = 63232;
inline constexpr int kKeyDown = 63233;
inline constexpr int kKeyLeft = 63234;
inline constexpr int kKeyRight = 63235;
// The press-and-hold delay that opens a list.
inline constexpr int kHoldToOpenMs = 200;

class NSKelvoToolsPanel : public QWidget, public KPMessageTarget, public KPUserMessageTarget {
  Q_OBJECT
 public:
  // The singleton, made on first use.
  static NSKelvoToolsPanel* sharedPanel();
  static bool exists();

  NSKelvoToolsPanelView* view() const { return view_; }
  LRESULT sendMessage(UINT message, WPARAM wparam, LPARAM lparam) override;
  LRESULT sendUserMessage(WPARAM code, LPARAM value) override;
  void redoAllToolsFromMenusStruct();
  void activeAttribByID(uint32_t tool_id);
  int getStateByID(uint32_t tool_id) const;
  QImage getImageByID(uint32_t tool_id) const;
  void startFade(bool fade_in);
  bool fadeDone() const { return fadeDone_; }
  // The screens changed (a resolution, a screen plugged in or out, another
  // primary screen): the bars are built again to the desktop as it is now,
  // each button showing what it showed.
  void screenParametersChanged();
  ~NSKelvoToolsPanel() override;

 private:
  NSKelvoToolsPanel();
  void fadeTimerCallBack();
  void followScreen(QScreen* screen);

  NSKelvoToolsPanelView* view_;
  QTimer* fadeTimer_ = nullptr;
  double fadeAlpha_ = 0, fadeStep_ = 0;
  bool fadeDone_ = false;
  bool rebuildPending_ = false;
};

class NSGeoToolsMenu;

class NSKelvoToolsPanelView : public QWidget {
  Q_OBJECT
 public:
  explicit NSKelvoToolsPanelView(QWidget* parent);

  // (Re)builds every button from the kernel's records and shows the palette.
  void createToolsAndAttribsBars();
  // The same, each record's new button showing what its old one showed
  // (the toolbox in use, the item shown and chosen, a colour).
  void rebuildBarsKeepingState();
  void computeViewShape();
  void setSideBarVisibility(bool visible);
  void toggleSideBar() { setSideBarVisibility(!sideBarVisible_); }
  bool sideBarVisible() const { return sideBarVisible_; }
  QRect topRect() const { return topRect_; }
  QRect sideRect() const { return sideRect_; }
  // The outline of the bars (the window's mask).
  QRegion viewShape() const { return viewShape_; }

  void radioChanged(NSGeoToolsMenu* button);
  void selectGeoToolByID(uint32_t tool_id, bool send);
  void selectGeoToolByArrowKey(int key);
  // The icon-size menu (its answer is given by a test in place of the user).
  void iconSizeMenu(const QPoint& global);
  void applyIconSizeChoice(int item);
  // A drag from a button: switches lists between buttons, else passes the
  // move to the open list.
  void mouseDraggedAt(const QPoint& global);
  NSGeoToolsMenu* buttonFor(const menu* m) const;
  // The toolbox button (not an attribute button) at a point of the view.
  NSGeoToolsMenu* toolboxButtonAt(const QPoint& local) const;

  // Moving tools between toolboxes in the configuration mode. A drag takes
  // the tool at `position` (from 0) of the button's toolbox; over a toolbox
  // button it selects the button and opens its list for a precise drop.
  void goToEdition(NSGeoToolsMenu* button, int position);
  bool toolDragActive() const { return dragging_; }
  void toolDraggedTo(const QPoint& global);
  // Drops on a toolbox button (after its first tool), on an item of the
  // open list (after that item), or on empty palette space (a new toolbox);
  // anywhere else the tool stays where it was.
  void toolDroppedAt(const QPoint& global);
  // Forgets the drag under way, if any: the tool stays where it was. The
  // toolboxes are about to be rebuilt, or the drag lost its release.
  void cancelToolDrag();
  // Moves the dragged tool into the button's toolbox after entry
  // position + 1; nothing when it is the tool's own toolbox.
  void droppedItem(NSGeoToolsMenu* button, int position);
  // A new toolbox, just before the Trash, holding the dragged tool.
  void makeToolboxFromDrag();

  // The desktop the palette covers, from (0, 0).
  static QRect getDesktopRect();
  static int getBarHeight();
  static QPoint getFigureWindowPosition();
  static void RepositionOfTheWindow(QWidget* window);
  // Answers the icon-size menu in place of the user (null: the user).
  static void setIconSizeMenuResponder(int (*responder)());

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void wheelEvent(QWheelEvent* event) override;
  // While a tool is dragged: the release (or, when the window system lost
  // it, the first move with the button up) ends the drag wherever it
  // reaches the application, and a press with a drag still hanging ends it
  // without moving anything.
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void endDragLater(const QPoint& global);
  bool sideBarVisible_ = true;
  bool dropPending_ = false;
  bool dragging_ = false;
  menu* drggingMenu_ = nullptr;  // the dragged tool's toolbox
  int drggingIndex_ = -1;        // and its position there, from 0
  QPointer<NSGeoToolsMenu> dragOver_;
  QRect topRect_, sideRect_;
  QRegion viewShape_;
};

class NSGeoToolsMenu : public QWidget {
  Q_OBJECT
 public:
  NSGeoToolsMenu(QWidget* parent, menu* record, bool setting);
  ~NSGeoToolsMenu() override;

  menu* kelvoMenu() const { return kelvoMenu_; }
  // The record is going away: the button no longer reads it.
  void detachRecord() { kelvoMenu_ = nullptr; }
  bool isSettingMenu() const { return isSettingMenu_; }
  int kelvoMenuState() const { return kelvoMenuState_; }
  int getSelectedItemIndex() const { return curSelect_; }
  int highlightedIndex() const { return curHighLightet_; }
  QColor color() const { return color_; }
  void setColor(const QColor& color);
  bool isColorMenu() const;

  // Makes this the selected toolbox and, with send, sends the tool action;
  // answers whether the selection state changed.
  bool select(bool send);
  void doSelect(int item, bool send);
  void changeState(int item);
  void turnOff();
  void resetMenu();
  void openPopUp();
  void exitPopup();
  void openPopUpMenu();
  // The icon this button shows (null for none).
  const struct tool_icon* shownIcon() const;
  // Shows what another button of the same record showed.
  void takeStateOf(const NSGeoToolsMenu& other);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void enterEvent(QEnterEvent* event) override;

 private:
  void changeColor(const QColor& color);

  int curSelect_ = 0;
  int curHighLightet_ = 0;
  menu* kelvoMenu_;
  int kelvoMenuState_ = 0;
  bool isSettingMenu_;
  QPoint pressGlobal_;
  bool dragArmed_ = false;
  QColor color_ = Qt::black;
};

// The palette's last tool action: the button and its item (from 1).
extern QPointer<NSGeoToolsMenu> last_tool_button;
extern int last_tool_item;

// The tool action of a palette click goes to the current figure view;
// tests may catch it instead (null restores the figure view).
using ToolActionSink = void (*)(uint32_t tool_id, uint32_t color);
void set_tool_action_sink(ToolActionSink sink);
// Sends a tool action the way a palette click does (to the sink when set).
void palette_tool_action(uint32_t tool_id, uint32_t color);

// From the application's launch: builds the toolboxes, gives the tools
// their icons, installs the palette's services and shows the palette.
void start_tools_palette();
// Takes the palette, its pull-down, the configuration window and the colour
// palette down and frees the toolboxes, the attribute menus and the trash:
// a later start_tools_palette() builds them all again.
void stop_tools_palette();
// Copies the program's icons into the kernel's tool and attribute records.
void install_tool_icons();
// Takes the entry whose name is that very pointer out of a toolbox; a
// toolbox left empty leaves the toolbar (answer 1, the record is freed),
// else the face shows the first tool left, or the Trash its empty icon.
int remove_tool_menu_item(menu* m, const char* name);
// Writes the preference "Toolbar Icon Size".
void save_toolbar_icon_size();
// For the kernel's attribute code: shows a value on attribute button n.
void set_attrib_menu_value(int16_t index, uint32_t value);
// The colour buttons of the attribute bar show the pen, fill and text
// colours of the tool that is current.
void show_tool_colors();
