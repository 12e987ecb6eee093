// The ambiguity pop-up: when several objects under the mouse could be the
// next argument of the current tool, a small borderless list at the mouse,
// one line per candidate in the candidate's colour. Moving over a line shows
// that candidate selected in the figure; releasing or clicking on a line
// chooses it; a click away from every line chooses nothing.
#pragma once

#include <QWidget>
#include <memory>
#include <vector>

#include "app/panels/menu_cell.h"

struct object;

// Tag of the line of candidate i: kAmbigFirstTag + i.
inline constexpr int kAmbigFirstTag = 50026;

class NSKelvoAmbigMenuView;

// The borderless pop-up window; it runs its own event loop while tracking.
class NSKelvoAmbigPanel : public QWidget {
  Q_OBJECT
 public:
  NSKelvoAmbigPanel();
  NSKelvoAmbigMenuView* view() const { return view_; }

 private:
  NSKelvoAmbigMenuView* view_;
};

class NSKelvoAmbigMenuView : public QWidget {
  Q_OBJECT
 public:
  explicit NSKelvoAmbigMenuView(QWidget* parent);

  void setCells(std::vector<std::unique_ptr<NSKelvoMenuCell>>* cells) { cells_ = cells; }
  // Sizes the panel to the cells and places them, top line first.
  void prepareRefresh(QWidget* panel);
  // Runs the pop-up until a line is chosen (its tag) or it is dismissed (0).
  int selItemTag();
  // The cell under a point of the view, or null (between or outside lines).
  NSKelvoMenuCell* cellAt(const QPointF& point) const;
  // Highlights one cell; unless `force`, the figure follows (the candidate
  // is shown selected, or no longer).
  void setHighlight(NSKelvoMenuCell* cell, bool on, bool force);
  void prepareEnd();

 protected:
  void paintEvent(QPaintEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void followMouse(const QPoint& global);
  void finish(int answer);

  std::vector<std::unique_ptr<NSKelvoMenuCell>>* cells_ = nullptr;
  double maxWidth_ = 0;
  bool hasSelection_ = false;
  int releasesLeft_ = 0;
  bool tracking_ = false;
  int answer_ = 0;
  class QEventLoop* loop_ = nullptr;
};

class AmbigPopupController {
 public:
  // The application's controller, made with its panel on first use.
  static AmbigPopupController* shared();

  void initMenuCells();
  // Appends a line in the menu font of size 10 and the colour given just
  // before (which then no longer applies). `flags` are not used.
  void appendMenulevAmb(unsigned flags, int tag, const char* text);
  void destroyMenulevAmb();
  // Lays the list out and puts the panel's top-left corner at the point
  // (global coordinates).
  void setWindowPos(const QPoint& point);
  int selItemTag();
  // The colour of the next appended line: the object's text colour for a
  // text-like object, else its drawing colour; the default colour when that
  // would not show against the figure's background.
  void setNextItemColor(const object* obj);
  // The same from a kernel colour word.
  void setNextItemColorWord(uint32_t word);

  NSKelvoAmbigPanel* panel() const { return thePanel_; }
  const std::vector<std::unique_ptr<NSKelvoMenuCell>>& cells() const { return cells_; }

 private:
  AmbigPopupController();
  NSKelvoAmbigPanel* thePanel_;
  std::vector<std::unique_ptr<NSKelvoMenuCell>> cells_;
  bool hasCells_ = false;
  QColor nextInsertedItemColor_;
};

// One use of the pop-up, in order. The kernel reaches it through the plain
// list of app/kernel_iface/ambiguity_menu.h, whose chooser
// install_ambiguity_popup puts in place.
AmbigPopupController* ambig_popup_begin();
void ambig_popup_append(AmbigPopupController* controller, unsigned flags, int tag, const char* text);
// Shows the list with its top-left corner at (x, y) in global coordinates
// and answers the chosen tag, or 0. `application` is not read.
int ambig_popup_track(AmbigPopupController* controller, int x, int y, void* application);
void ambig_popup_end(AmbigPopupController* controller);
// Ends the tracking of a list that is open, as if nothing were chosen.
void ambig_popup_close_open();

// What the figure does while the pop-up is open: `ambig_menu_open` is set
// for the time of the tracking, and the hovered candidate (its index in the
// kernel's candidate list, from 0) is shown selected or no longer. Empty
// until the designation code installs it.
struct AmbigMenuHooks {
  void (*set_menu_open)(bool open) = nullptr;
  void (*candidate_hovered)(int index, bool on) = nullptr;
  // Called once when tracking ends (the figure view's button flag).
  void (*tracking_ended)() = nullptr;
};
void install_ambig_menu_hooks(const AmbigMenuHooks& hooks);
const AmbigMenuHooks& installed_ambig_menu_hooks();

// Makes this pop-up the kernel's ambiguity chooser: the kernel's list is
// shown at its point (figure coordinates of the current figure view).
void install_ambiguity_popup();
