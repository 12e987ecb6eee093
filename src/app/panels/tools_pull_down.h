// The list of a toolbox (tool names under a toolbar button) or of an
// attribute menu (a row of icons to the right of its button). One list
// window serves every button; it never takes the focus. Releasing the mouse
// on an item makes it the group's current tool; releasing between items
// shows the current tool again and closes the list.
#pragma once

#include <QPointer>
#include <QWidget>
#include <memory>
#include <vector>

#include "app/panels/menu_cell.h"
#include "platform/kelvo_wrap_machine.h"

class NSGeoToolsMenu;
class NSGeoToolsPullDownController;
class QTimer;

class NSGeoToolsPullDown : public QWidget {
  Q_OBJECT
 public:
  explicit NSGeoToolsPullDown(NSGeoToolsPullDownController* controller);

  void setCells(std::vector<std::unique_ptr<NSKelvoMenuCell>>* cells, NSGeoToolsMenu* owner);
  void setDefCel(int index);
  // Sizes the window to the items and places them.
  void prepareRefresh();
  void setHighlight(NSKelvoMenuCell* cell, bool on, bool redraw_only);
  void highLightDef();
  // The item under a global point, or null.
  NSKelvoMenuCell* cellAtGlobal(const QPoint& global) const;
  void followMouse(const QPoint& global, bool clear_between);
  void chooseAndClose();
  void prepareEnd();
  void forgetMouseIn() { lastMouseIn_ = nullptr; }
  NSKelvoMenuCell* lastMouseIn() const { return lastMouseIn_; }
  int defaultCel() const { return defaultCel_; }
  bool isAttributeList() const;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void leaveEvent(QEvent* event) override;

 private:
  void setDefaultHighLight();

  NSGeoToolsPullDownController* panel_;
  std::vector<std::unique_ptr<NSKelvoMenuCell>>* cells_ = nullptr;
  QPointer<NSGeoToolsMenu> owner_;
  int defaultCel_ = 0;
  NSKelvoMenuCell* lastMouseIn_ = nullptr;
  QTimer* defaultHighLightTimer_;
};

class NSGeoToolsPullDownController : public QObject, public KPMessageTarget {
  Q_OBJECT
 public:
  static NSGeoToolsPullDownController* getPullDownMenu();
  // Closes any list and starts a new one for the button.
  static NSGeoToolsPullDownController* createPullDownMenu(NSGeoToolsMenu* button);
  static void destroyPullDown();
  // The controller while its list is shown, else null.
  static NSGeoToolsPullDownController* openPullDown();

  void appendPullDownMenu(int item, const char* name, const struct tool_icon* icon, int offset);
  // Shows the list with its top-left corner at the point (global).
  void pullDown(QPoint point, int current_index);
  void destroyPullDownMenu();
  NSGeoToolsMenu* getOwner() const;
  NSGeoToolsPullDown* view() const { return view_; }
  const std::vector<std::unique_ptr<NSKelvoMenuCell>>& cells() const { return cells_; }
  void mouseUp(const QPoint& global);
  void mouseDragged(const QPoint& global);
  void resetOwnerMenu();
  // Escape on an open toolbox list: the tool its button stands for (the
  // item the list opened on), the item under the mouse forgotten; 0 for an
  // attribute list or no list.
  uint32_t takeCurrentEntry();
  LRESULT sendMessage(UINT message, WPARAM wparam, LPARAM lparam) override;
  ~NSGeoToolsPullDownController() override;

 private:
  NSGeoToolsPullDownController();
  void initMenuCells(NSGeoToolsMenu* button);

  NSGeoToolsPullDown* view_;
  std::vector<std::unique_ptr<NSKelvoMenuCell>> cells_;
  QPointer<NSGeoToolsMenu> owner_;
};
