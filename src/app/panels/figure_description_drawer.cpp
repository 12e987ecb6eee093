#include "app/panels/figure_description_drawer.h"

#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QColor>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMimeData>
#include <QMouseEvent>
#include <QVBoxLayout>

#include "app/kernel_iface/kp_geo_document.h"
#include "app/lang/language_starter.h"
#include "app/lang/language_switcher.h"
#include "app/view/kp_figure_view.h"
#include "kernel/files/text_convert.h"
#include "kernel/model/figure.h"
#include "kernel/text/kernel_strings.h"
#include "kernel/tools/drag_state.h"
#include "kernel/tools/selection.h"
#include "platform/mac_roman_qt.h"
#include "kernel/tools/tool_state.h"
#include "platform/kp_qt_bridge.h"

namespace {

std::string with_local_decimals(std::string text) {
  return description_local_decimals(std::move(text), NSKelvoLanguageStarter::currentLanguage());
}

QString language_text(int row, const char* fallback) {
  const char* text = kernel_string(row);
  return text && *text ? kp_qstring(text) : QString::fromLatin1(fallback);
}

QColor kernel_color(uint32_t word) { return QColor((word >> 16) & 0xFF, (word >> 8) & 0xFF, word & 0xFF); }

}  // namespace

std::string description_local_decimals(std::string text, const QString& language) {
  if (language != QLatin1String("English US") && !text.empty()) text_c_to_decimal(text.data());
  return text;
}

QString description_display_text(const std::string& bytes) {
  QString out;
  std::string run;
  // The objects' texts write units as the kernel does: raised 2 and 3 and
  // the degree ring stand for the unit signs.
  auto flush = [&] {
    if (!run.empty()) out += unit_text_to_qstring(run);
    run.clear();
  };
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(bytes[i]);
    if (c == '\\' && i + 1 < bytes.size() && (bytes[i + 1] == '2' || bytes[i + 1] == '3')) {
      flush();
      out += QChar(bytes[i + 1] == '2' ? 0x00B2 : 0x00B3);
      ++i;
    } else {
      run += static_cast<char>(c);
    }
  }
  flush();
  return out;
}

QByteArray description_rtf(const QString& text) {
  QByteArray rtf = "{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0 Helvetica;}}\\f0 ";
  for (const QChar ch : text) {
    const char16_t u = ch.unicode();
    if (u == '\r') continue;
    if (u == '\n') {
      rtf += "\\par\n";
    } else if (u == '\t') {
      rtf += "\\tab ";
    } else if (u == '\\' || u == '{' || u == '}') {
      rtf += '\\';
      rtf += static_cast<char>(u);
    } else if (u >= 32 && u < 128) {
      rtf += static_cast<char>(u);
    } else if (u >= 32) {
      rtf += "\\u" + QByteArray::number(static_cast<int16_t>(u)) + "?";
    }
  }
  rtf += "}";
  return rtf;
}

// ---------------------------------------------------------------- data source

NSFigureDescDataSource::NSFigureDescDataSource(QObject* parent) : QAbstractTableModel(parent) {
  // The headers are the language's.
  for (auto signal : {&NSKelvoLanguageCenter::textsFilled, &NSKelvoLanguageCenter::languageLoaded})
    connect(NSKelvoLanguageCenter::defaultCenter(), signal, this,
            [this] { emit headerDataChanged(Qt::Horizontal, 0, columnCount() - 1); });
}

void NSFigureDescDataSource::setTableView(NSFigureTableView* table) {
  tableView_ = table;
  state_.window = table;
}

kelvo_win_info* NSFigureDescDataSource::figure() const { return figureView_ ? figureView_->info() : nullptr; }

void NSFigureDescDataSource::InitialiseData(QDockWidget* drawer) {
  theDrawer_ = drawer;
  hidden_ = !hidden_;
  if (!hidden_) refresh(false);
}

void NSFigureDescDataSource::closeDrawer() {
  hidden_ = true;
  if (theDrawer_) theDrawer_->hide();
  refresh(false);
}

int NSFigureDescDataSource::lineOfObject(const object* obj) const {
  for (std::size_t i = 0; i < rows_.size(); ++i)
    if (rows_[i] == obj) return static_cast<int>(i) + 1;
  return 0;
}

void NSFigureDescDataSource::refresh(bool reselect) {
  if (titleText_) titleText_->setText(language_text(528, "Figure description"));
  beginResetModel();
  rows_.clear();
  if (!hidden_) rows_ = description_objects(figure(), &state_);
  lines_.assign(rows_.size(), std::nullopt);
  const int line = tableView_ ? tableView_->selected_line() : -1;
  selected_object_ = line >= 0 && line < static_cast<int>(rows_.size()) ? rows_[line] : nullptr;
  endResetModel();
  if (tableView_) tableView_->showLine(selected_object_ ? line : -1);
  if (reselect && selected_object_ && has_no_saved_selection() && !drag_in_progress) {
    select_figure_object(selected_object_, 0, 0);
    if (figureView_) {
      // The selection blinks on the view's timer.
      figureView_->CheckFigureTimer();
      figureView_->invalidateFigure();
      if (QWidget* w = figureView_->window()) {
        w->raise();
        w->activateWindow();
      }
    }
  }
}

void NSFigureDescDataSource::selectLine(int n) {
  if (tableView_) tableView_->setSelected_line(n - 1);
  if (hidden_) return;
  refresh(false);
  if (tableView_) tableView_->showLine(n - 1);
  if (figureView_) figureView_->setFocus();
}

void NSFigureDescDataSource::setFontByName(const QString& name) {
  currentFontName_ = name;
  if (tableView_) tableView_->setFont(currentFont());
}

void NSFigureDescDataSource::setFontSize(const QString& size) {
  bool ok = false;
  const double value = size.toDouble(&ok);
  if (!ok || value <= 0 || value > 200) return;
  currentFontSize_ = value;
  if (tableView_) {
    tableView_->setFont(currentFont());
    const int height = static_cast<int>(value + 4);
    tableView_->verticalHeader()->setMinimumSectionSize(1);
    tableView_->verticalHeader()->setDefaultSectionSize(height);
  }
}

QFont NSFigureDescDataSource::currentFont() const {
  QFont font = currentFontName_.isEmpty() ? QApplication::font() : QFont(currentFontName_);
  font.setPointSizeF(currentFontSize_);
  return font;
}

const description_line& NSFigureDescDataSource::lineAt(int row) const {
  std::optional<description_line>& line = lines_[row];
  if (!line) line = describe_object_name(rows_[row], &state_);
  return *line;
}

int NSFigureDescDataSource::rowCount(const QModelIndex& parent) const {
  return parent.isValid() || hidden_ ? 0 : static_cast<int>(rows_.size());
}

int NSFigureDescDataSource::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : 2; }

QVariant NSFigureDescDataSource::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || index.row() < 0 || index.row() >= static_cast<int>(rows_.size())) return {};
  const object* o = rows_[index.row()];
  switch (role) {
    case Qt::DisplayRole: {
      const description_line& line = lineAt(index.row());
      if (index.column() == 0) {
        if (line.object_text.empty()) return {};
        return description_display_text(with_local_decimals(line.object_text));
      }
      return kp_qstring(with_local_decimals(line.type_text).c_str());
    }
    case Qt::ForegroundRole: {
      const bool red = selected_object_ && is_parent_in_description(selected_object_, o);
      return kernel_color(red ? kDescriptionRed : description_line_color(o));
    }
    case Qt::FontRole:
      return currentFont();
    default:
      return {};
  }
}

QVariant NSFigureDescDataSource::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return {};
  return NSKelvoLanguageSwitcherPair::stringWithPatternString(section == 0 ? QStringLiteral("[914](Object)")
                                                                             : QStringLiteral("[915](Type)"));
}

void NSFigureDescDataSource::copyDescription() const {
  const QString text = kp_qstring(description_plain_text(figure(), &state_).c_str());
  auto* mime = new QMimeData;
  mime->setData(QStringLiteral("text/rtf"), description_rtf(text));
  mime->setText(text);
  QApplication::clipboard()->setMimeData(mime);
}

// ---------------------------------------------------------------- table view

NSFigureTableView::NSFigureTableView(QWidget* parent) : QTableView(parent) {
  setSelectionBehavior(QAbstractItemView::SelectRows);
  setSelectionMode(QAbstractItemView::SingleSelection);
  setEditTriggers(QAbstractItemView::NoEditTriggers);
  verticalHeader()->hide();
  horizontalHeader()->setStretchLastSection(true);
  setShowGrid(false);
}

void NSFigureTableView::refresh() {
  if (dataSource_) dataSource_->refresh(true);
}

void NSFigureTableView::showLine(int row) {
  clearSelection();
  if (row < 0 || !model() || row >= model()->rowCount()) return;
  selectRow(row);
  scrollTo(model()->index(row, 0));
}

void NSFigureTableView::mousePressEvent(QMouseEvent* event) {
  const bool menu = event->button() == Qt::RightButton ||
                    (event->button() == Qt::LeftButton && (event->modifiers() & Qt::MetaModifier));
  if (menu) {
    showDescriptionPopupMenu(event->globalPosition().toPoint());
    if (dataSource_) dataSource_->refresh(false);
    return;
  }
  if (event->button() != Qt::LeftButton) return;
  selected_line_ = indexAt(event->position().toPoint()).row();
  if (dataSource_) dataSource_->refresh(true);
}

void NSFigureTableView::keyPressEvent(QKeyEvent* event) {
  QTableView::keyPressEvent(event);
  const QModelIndex current = currentIndex();
  selected_line_ = current.isValid() ? current.row() : -1;
  if (dataSource_) dataSource_->refresh(true);
}

void NSFigureTableView::showDescriptionPopupMenu(QPoint global) {
  if (!dataSource_) return;
  description_state* s = dataSource_->state();
  QMenu menu(this);
  auto item = [](QMenu* m, const QString& text, int id) {
    QAction* a = m->addAction(text);
    kp_set_item_id(a, id);
    a->setData(id);
    return a;
  };
  item(&menu, s->show_hidden ? language_text(762, "Hide Hidden Objects") : language_text(761, "Show Hidden Objects"),
       50010);
  item(&menu,
       s->show_interim ? language_text(760, "Hide Intermediate Objects")
                       : language_text(759, "Show Intermediate Objects"),
       50011);
  menu.addSeparator();
  item(&menu, language_text(763, "Copy Description"), 50012);
  menu.addSeparator();
  QMenu* fonts = menu.addMenu(language_text(778, "Font"));
  item(fonts, QStringLiteral("Arial"), 50001);
  item(fonts, QStringLiteral("System"), 50002);
  item(fonts, QStringLiteral("Times"), 50003);
  QMenu* sizes = menu.addMenu(language_text(779, "Size"));
  const char* const kSizes[] = {"10", "12", "15", "18", "22"};
  for (int i = 0; i < 5; ++i) item(sizes, QString::fromLatin1(kSizes[i]), 50004 + i);
  QAction* chosen = menu.exec(global);
  if (!chosen) return;
  const int id = chosen->data().toInt();
  if (id >= 50001 && id <= 50003) {
    dataSource_->setFontByName(id == 50002 ? QString() : chosen->text());
  } else if (id >= 50004 && id <= 50008) {
    dataSource_->setFontSize(chosen->text());
  } else if (id == 50010) {
    s->show_hidden = !s->show_hidden;
  } else if (id == 50011) {
    if (!toggle_intermediate_objects(dataSource_->figure(), s)) return;
  } else if (id == 50012) {
    dataSource_->copyDescription();
    return;
  }
  viewport()->update();
  refresh();
}

// ---------------------------------------------------------------- drawer

KPFigureDescriptionDrawer::KPFigureDescriptionDrawer(KPFigureView* view, QWidget* parent) : QDockWidget(parent) {
  setFeatures(QDockWidget::DockWidgetClosable);
  auto* body = new QWidget(this);
  auto* layout = new QVBoxLayout(body);
  layout->setContentsMargins(2, 2, 2, 2);
  auto* title = new QLabel(body);
  table_ = new NSFigureTableView(body);
  source_ = new NSFigureDescDataSource(this);
  source_->setFigureView(view);
  source_->setTableView(table_);
  source_->setTitleText(title);
  table_->setFigureDescDataSource(source_);
  table_->setModel(source_);
  source_->setFontSize(QStringLiteral("10"));
  layout->addWidget(title);
  layout->addWidget(table_, 1);
  setWidget(body);
  setFixedWidth(270);
  hide();
}

void KPFigureDescriptionDrawer::toggle() {
  setVisible(isHidden());
  source_->InitialiseData(this);
}

void KPFigureDescriptionDrawer::closeEvent(QCloseEvent* event) {
  event->accept();
  source_->closeDrawer();
}
