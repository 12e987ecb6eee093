// The figure description drawer: a dock beside the figure view listing the
// figure's objects (name, kind and parents), following the figure's
// selection and selecting in the figure the object of a clicked line. Rows
// are built once per refresh; cells read the cached texts.
#pragma once

#include <QAbstractTableModel>
#include <QDockWidget>
#include <QFont>
#include <QTableView>
#include <functional>
#include <optional>
#include <vector>

#include "app/kernel_iface/figure_description.h"

class QLabel;
class QMenu;
class KPFigureView;
class NSFigureTableView;

class NSFigureDescDataSource : public QAbstractTableModel {
 public:
  // The figure of the described view, or null.
  kelvo_win_info* figure() const;
  explicit NSFigureDescDataSource(QObject* parent = nullptr);

  void setFigureView(KPFigureView* view) { figureView_ = view; }
  void setTableView(NSFigureTableView* table);
  void setTitleText(QLabel* title) { titleText_ = title; }
  NSFigureTableView* getFigureDescDataView() const { return tableView_; }
  bool visible() const { return !hidden_; }
  // Opens or closes the list; opening reloads it.
  void InitialiseData(QDockWidget* drawer);
  void closeDrawer();
  // Line n (from 1; 0 selects none) follows the figure's selection.
  void selectLine(int n);
  void refresh(bool reselect);
  // An empty name is the system font.
  void setFontByName(const QString& name);
  void setFontSize(const QString& size);
  QFont currentFont() const;
  description_state* state() { return &state_; }
  // The listed objects as of the last refresh.
  const std::vector<object*>& rows() const { return rows_; }
  object* selectedObject() const { return selected_object_; }
  // One based line of the object, 0 when it is not listed.
  int lineOfObject(const object* obj) const;
  // The description on the clipboard as rich text, one line per object.
  void copyDescription() const;

  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

 private:
  const description_line& lineAt(int row) const;

  KPFigureView* figureView_ = nullptr;  // a sibling in the same window
  NSFigureTableView* tableView_ = nullptr;
  QLabel* titleText_ = nullptr;
  QDockWidget* theDrawer_ = nullptr;
  bool hidden_ = true;
  QString currentFontName_;
  double currentFontSize_ = 10;
  description_state state_;
  std::vector<object*> rows_;
  mutable std::vector<std::optional<description_line>> lines_;
  object* selected_object_ = nullptr;
};

class NSFigureTableView : public QTableView {
 public:
  explicit NSFigureTableView(QWidget* parent = nullptr);
  int selected_line() const { return selected_line_; }
  void setSelected_line(int line) { selected_line_ = line; }
  void setFigureDescDataSource(NSFigureDescDataSource* source) { dataSource_ = source; }
  void refresh();
  // The pop-up menu of the list; tests reach the open menu through this.
  void showDescriptionPopupMenu(QPoint global);
  // Selects the row alone and scrolls it into view (none for -1).
  void showLine(int row);

 protected:
  void mousePressEvent(QMouseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  int selected_line_ = -1;
  NSFigureDescDataSource* dataSource_ = nullptr;
};

// The dock holding the title and the list.
class KPFigureDescriptionDrawer : public QDockWidget {
 public:
  KPFigureDescriptionDrawer(KPFigureView* view, QWidget* parent);
  NSFigureDescDataSource* dataSource() const { return source_; }
  NSFigureTableView* table() const { return table_; }
  // Shows or hides the drawer, as the View menu's item does.
  void toggle();

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  NSFigureDescDataSource* source_;
  NSFigureTableView* table_;
};

// The description text as shown: the kernel's bytes with the exponent codes
// (byte 0xB2 and "\2", 0xB3 and "\3") as superscripts.
QString description_display_text(const std::string& bytes);
// A cell's bytes with every '.' between digits made the decimal separator,
// unless the language is English (US).
std::string description_local_decimals(std::string text, const QString& language);
// A minimal RTF document holding the text, one paragraph a line.
QByteArray description_rtf(const QString& text);
