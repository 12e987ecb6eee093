#include "app/shell/figure_window.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QFile>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QMenuBar>
#include <QMoveEvent>
#include <QScrollBar>
#include <QSlider>
#include <QTextBrowser>
#include <QTimer>
#include <QToolButton>
#include <QUrl>
#include <QVBoxLayout>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "app/document/kp_document.h"
#include "app/panels/about_panel.h"
#include "app/panels/help_pages.h"
#include "app/lang/language_follow_up.h"
#include "kernel/window/figure_scroll.h"
#include "app/lang/language_switcher.h"
#include "app/panels/figure_description_drawer.h"
#include "app/panels/kp_show_view.h"
#include "app/panels/shared_panels.h"
#include "app/panels/tools_palette.h"
#include "kernel/text/kernel_strings.h"
#include "app/panels/tool_menu_services.h"
#include "app/panels/tools_config_window.h"
#include "kernel/files/work_session.h"
#include "kernel/files/text_family.h"
#include "kernel/window/main_commands.h"
#include "app/shell/application.h"
#include "app/view/kp_figure_view.h"
#include "kernel/model/undo.h"
#include "platform/kp_menu.h"
#include "platform/kp_qt_bridge.h"
#include "platform/kp_timer.h"

namespace {
constexpr int kZoomSteps = 90;  // the zoom control runs over -0.9 .. 0.9
// How far the window manager may round a size the window asked for, and
// how long it may take to give it.
constexpr int kSizeSlack = 8;
constexpr int kSettleMs = 1000;
constexpr int kUndoItem = 110;
// The kernel's titles of the Undo item: nothing done yet or undo, redo.
constexpr int kRowUndo = 546;
constexpr int kRowRedo = 547;
}

// ------------------------------------------------------ scroll remote view

NSKelvoScrollRemoteView::NSKelvoScrollRemoteView(KPFigureView* remote, QScrollBar* horizontal, QScrollBar* vertical)
    : QObject(remote), remoteView_(remote), hScroll_(horizontal), vScroll_(vertical) {
  for (QScrollBar* bar : {horizontal, vertical})
    QObject::connect(bar, &QScrollBar::valueChanged, this, [this] {
      if (!moving_) drawRect();
    });
}

void NSKelvoScrollRemoteView::getScrollRange(int bar, int32_t* min, int32_t* max) const {
  if (bar == 0) {
    *min = scroll_range.left;
    *max = scroll_range.right;
  } else if (bar == 1) {
    *min = scroll_range.top;
    *max = scroll_range.bottom;
  }
}

int32_t NSKelvoScrollRemoteView::spanX() const {
  return std::max<int32_t>(0, (scroll_range.right - scroll_range.left) - (remoteView_ ? remoteView_->sheetWidth() : 0));
}

int32_t NSKelvoScrollRemoteView::spanY() const {
  return std::max<int32_t>(0, (scroll_range.bottom - scroll_range.top) - (remoteView_ ? remoteView_->sheetHeight() : 0));
}

void NSKelvoScrollRemoteView::updateRanges() {
  if (!hScroll_ || !vScroll_ || !remoteView_) return;
  moving_ = true;
  hScroll_->setRange(0, spanX());
  hScroll_->setPageStep(remoteView_->sheetWidth());
  vScroll_->setRange(0, spanY());
  vScroll_->setPageStep(remoteView_->sheetHeight());
  moving_ = false;
}

void NSKelvoScrollRemoteView::awakeFromNib() {
  if (!hScroll_ || !vScroll_) return;
  updateRanges();
  setHScrollerValue(0.5);
  setVScrollerValue(0.5);
  scrollTo(spanX() / 2, spanY() / 2);
}

void NSKelvoScrollRemoteView::setScrollPos(int bar, int32_t position, bool) {
  if (bar == 0) {
    const double span = spanX();
    X_ = span > 0 ? (position - scroll_range.left) / span : 0;
    setHScrollerValue(X_);
  } else if (bar == 1) {
    const double span = spanY();
    Y_ = span > 0 ? 1 - (scroll_range.bottom - position) / span : 0;
    setVScrollerValue(Y_);
  }
}

// Knobs are shown without scrolling: finishScroll applies them.
void NSKelvoScrollRemoteView::setHScrollerValue(double value) {
  if (!hScroll_) return;
  moving_ = true;
  hScroll_->setValue(static_cast<int>(value * spanX() + 0.5));
  moving_ = false;
}

void NSKelvoScrollRemoteView::setVScrollerValue(double value) {
  if (!vScroll_ || !remoteView_ || remoteView_->height() == 0) return;
  moving_ = true;
  vScroll_->setValue(static_cast<int>(value * spanY() + 0.5));
  moving_ = false;
}

void NSKelvoScrollRemoteView::finishScroll(bool) {
  if (X_ == 0 && Y_ == 0) return;
  if (remoteView_) remoteView_->FinishingScroll(false);
  scrollTo(static_cast<int32_t>(X_ * spanX()), static_cast<int32_t>(Y_ * spanY()));
  X_ = Y_ = 0;
}

void NSKelvoScrollRemoteView::scrollTo(int32_t x, int32_t y) {
  if (!hScroll_ || !vScroll_) return;
  moving_ = true;
  hScroll_->setValue(x);
  vScroll_->setValue(y);
  moving_ = false;
  drawRect();
}

void NSKelvoScrollRemoteView::drawRect() {
  if (!hScroll_ || !vScroll_ || !remoteView_) return;
  if (recentre_pending) {
    moving_ = true;
    hScroll_->setValue(scroll_position.x - scroll_range.left);
    vScroll_->setValue(spanY() - (scroll_range.bottom - scroll_position.y));
    moving_ = false;
  }
  remoteView_->setOrigin(0, hScroll_->height());
  // The visible origin as the kernel counts it: y grows upwards.
  remoteView_->doScroll(hScroll_->value(), spanY() - vScroll_->value());
}

// ------------------------------------------------------------- the window

KPFigureWindow::KPFigureWindow(KPDocument* document) : document_(document) {
  setAttribute(Qt::WA_DeleteOnClose, false);
  auto* outer = new QVBoxLayout(this);
  outer->setContentsMargins(0, 0, 0, 0);
  outer->setSpacing(0);
  menuBar_ = new QMenuBar(this);
  outer->setMenuBar(menuBar_);

  sheet_ = new QWidget(this);
  auto* grid = new QGridLayout(sheet_);
  grid->setContentsMargins(0, 0, 0, 0);
  grid->setSpacing(0);
  figureView_ = new KPFigureView(sheet_);
  hBar_ = new QScrollBar(Qt::Horizontal, sheet_);
  vBar_ = new QScrollBar(Qt::Vertical, sheet_);
  grid->addWidget(figureView_, 0, 0);
  grid->addWidget(vBar_, 0, 1);
  grid->addWidget(hBar_, 1, 0);
  auto* middle = new QHBoxLayout;
  middle->setContentsMargins(0, 0, 0, 0);
  middle->setSpacing(0);
  middle->addWidget(sheet_, 1);
  descDrawer_ = new KPFigureDescriptionDrawer(figureView_, this);
  middle->addWidget(descDrawer_);
  outer->addLayout(middle, 1);
  remote_ = new NSKelvoScrollRemoteView(figureView_, hBar_, vBar_);
  figureView_->setScrollRemoteView(remote_);

  helpField_ = new QTextBrowser(this);
  helpField_->setOpenLinks(false);
  // The tool's cursor is the view's: over the help field the arrow shows.
  helpField_->viewport()->setCursor(Qt::ArrowCursor);
  helpField_->setMaximumHeight(120);
  helpField_->setContentsMargins(6, 2, 6, 2);
  helpField_->hide();
  outer->addWidget(helpField_);
  auto* bottom = new QHBoxLayout;
  bottom->setContentsMargins(6, 2, 6, 2);
  toolField_ = new QLabel(this);
  auto* zoom_label = new QLabel(QStringLiteral("[916](Zoom)"), this);
  zoom_ = new QSlider(Qt::Horizontal, this);
  zoom_->setRange(-kZoomSteps, kZoomSteps);
  zoom_->setValue(0);
  zoom_->setMaximumWidth(160);
  zoom_->setToolTip(QStringLiteral("[916](Zoom)"));
  zoom_label->setBuddy(zoom_);
  zoomPercent_ = new QLabel(this);
  zoomPercent_->setMinimumWidth(zoomPercent_->fontMetrics().horizontalAdvance(QStringLiteral("1000 %")));
  zoomPercent_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  zoomReset_ = new QToolButton(this);
  zoomReset_->setText(QStringLiteral("100 %"));
  zoomReset_->setToolTip(QStringLiteral("[917](Back to 100 %)"));
  zoomReset_->setAutoRaise(true);
  QObject::connect(zoomReset_, &QToolButton::clicked, zoom_, [this] { zoom_->setValue(0); });
  QObject::connect(zoom_, &QSlider::valueChanged, figureView_, [this](int v) {
    figureView_->setFigureScale(v / 100.0);
    showZoom();
  });
  showZoom();
  bottom->addWidget(toolField_, 1);
  bottom->addWidget(zoom_label);
  bottom->addWidget(zoom_);
  bottom->addWidget(zoomPercent_);
  bottom->addWidget(zoomReset_);
  outer->addLayout(bottom);

  QPalette pal = palette();
  pal.setColor(QPalette::Window, Qt::white);
  setPalette(pal);
  resize(760, 560);
  buildMenus();

  // The menus, the zoom label and the tips follow the language.
  texts_ = new NSKelvoLanguageSwitcherView(this);
  texts_->hide();
  texts_->addPairForMenuBar(menuBar_);
  texts_->addPairForControl(zoom_label);
  for (QWidget* tipped : {static_cast<QWidget*>(zoom_), static_cast<QWidget*>(zoomReset_)})
    texts_->addPair(
        tipped, [tipped] { return tipped->toolTip(); }, [tipped](const QString& tip) { tipped->setToolTip(tip); });
  texts_->followLanguage();
}

void KPFigureWindow::showZoom() {
  zoomPercent_->setText(QStringLiteral("%1 %").arg(std::lround(figureView_->scale() * 100.0)));
  zoomReset_->setEnabled(zoom_->value() != 0);
}

KPFigureWindow::~KPFigureWindow() { KPTimer::killTimer(kp_hwnd(this), static_cast<UINT>(-1)); }

HWND KPFigureWindow::figureView() { return kp_hwnd(figureView_); }

namespace {

// A figure (with or without its environment), or a file of no kind the
// kernel's Open takes.
bool opens_as_document(const QString& path) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly | QIODevice::Unbuffered)) return true;
  const QByteArray bytes = file.readAll();
  if (bytes.isEmpty() || !load_file_image(bytes.constData(), static_cast<uint32_t>(bytes.size()))) return true;
  const int kind = sniff_file_format();
  free_file_image();
  return kind != FILE_KIND_MACRO && kind != FILE_KIND_MENUS && kind != FILE_KIND_PREFS;
}

}  // namespace

void KPFigureWindow::buildMenus() {
  QMenu* file = menuBar_->addMenu(QStringLiteral("[795](&File)"));
  file->addAction(QStringLiteral("[796](&New)"), QKeySequence::New, [] { main_menu_command(nullptr, 100, 0); });
  file->addAction(QStringLiteral("[797](&Open...)"), QKeySequence::Open, [this] {
    const QString path = KPDocument::chooseFileToOpen(this);
    if (path.isEmpty()) return;
    // Tool menus and calculator macros are not documents: the kernel's Open
    // takes them.
    DUVirIdazididovi* app = DUVirIdazididovi::running();
    if (app && app->openFile(path)) return;
    // Macros, tool menus and preferences, whatever their names, too; a
    // figure becomes a document, and a file of no known kind is refused by
    // the document with its message.
    if (opens_as_document(path)) {
      KPDocument::openDocument(path);
      return;
    }
    const QByteArray name = path.toUtf8();
    if (figureView_->lockFixSaveContext()) {
      main_menu_command(kp_hwnd(figureView_), command_id::kOpen, reinterpret_cast<LPARAM>(name.constData()));
      figureView_->unlockView();
    }
  });
  file->addAction(QStringLiteral("[798](&Close)"), QKeySequence::Close, [this] { close(); });
  // A key equivalent validates its item first, as the menu does when it
  // opens.
  QAction* save = file->addAction(QStringLiteral("[800](&Save)"), QKeySequence::Save, [this] {
    if (document_ && document_->validateMenuItem(KPDocument::kItemSave)) document_->saveDocument();
  });
  QAction* save_as = file->addAction(QStringLiteral("[801](Save &As...)"), QKeySequence::SaveAs, [this] {
    if (document_ && document_->validateMenuItem(KPDocument::kItemSaveAs)) document_->saveDocumentAs();
  });
  QAction* revert = file->addAction(QStringLiteral("[802](&Revert to Saved)"), [this] {
    if (document_) document_->revertDocumentToSaved();
  });
  // The kernel's export dialog: the figure as a web page or a picture.
  QAction* export_item = file->addAction(QStringLiteral("[511](Export...)"), [this] {
    if (!document_ || !figureView_->lockFixSaveContext()) return;
    main_menu_command(kp_hwnd(figureView_), command_id::kSaveAs, 0);
    figureView_->unlockView();
  });
  file->addSeparator();
  QAction* page_setup = file->addAction(QStringLiteral("[803](Page Setup...)"), [this] {
    if (document_) document_->runPageLayout();
  });
  file->addAction(QStringLiteral("[804](Print...)"), QKeySequence::Print, [this] {
    if (document_) NSShowPageController::DoPrintWindow(document_);
  });
  file->addSeparator();
  file->addAction(QStringLiteral("[805](&Quit Kelvo Nova)"), QKeySequence::Quit, [] { DUVirIdazididovi::quit(); });
  QObject::connect(file, &QMenu::aboutToShow, this, [this, save, save_as, revert, export_item, page_setup] {
    export_item->setEnabled(document_ != nullptr);
    page_setup->setEnabled(document_ && document_->validateMenuItem(KPDocument::kItemPageSetup));
    save->setEnabled(document_ && document_->validateMenuItem(KPDocument::kItemSave));
    save_as->setEnabled(document_ && document_->validateMenuItem(KPDocument::kItemSaveAs));
    revert->setEnabled(document_ && document_->validateMenuItem(KPDocument::kItemRevert));
  });
  QMenu* edit = menuBar_->addMenu(QStringLiteral("[806](&Edit)"));
  // Undo, Cut, Copy, Paste and Select All go through the kernel's main
  // commands: Undo first abandons what the current tool has half built.
  auto edit_item = [this, edit](const QString& text, QKeySequence key, int id) {
    QAction* action = edit->addAction(text, key, [this, id] {
      if (!figureView_->lockFixSaveContext()) return;
      main_menu_command(kp_hwnd(figureView_), static_cast<WPARAM>(id), 0);
      figureView_->unlockView();
    });
    kp_set_item_id(action, id);
  };
  // The kernel titles Undo by what it would do.
  const QString undo = kp_qstring(kernel_string(kRowUndo));
  edit_item(undo, QKeySequence::Undo, kUndoItem);
  edit->addSeparator();
  edit_item(QStringLiteral("[809](Cu&t)"), QKeySequence::Cut, 109);
  edit_item(QStringLiteral("[810](&Copy)"), QKeySequence::Copy, 111);
  edit_item(QStringLiteral("[811](&Paste)"), QKeySequence::Paste, 112);
  edit->addSeparator();
  edit_item(QStringLiteral("[813](Select &All)"), QKeySequence::SelectAll, 114);
  edit_item(QStringLiteral("[824](&Replay Construction...)"), QKeySequence(), 115);
  edit->addSeparator();
  QAction* preferences = edit->addAction(QStringLiteral("[814](Preferences...)"), [this] {
    main_menu_command(figureView_ ? kp_hwnd(figureView_) : nullptr, command_id::kPreferences, 0);
  });
  preferences->setMenuRole(QAction::NoRole);
  kp_set_item_id(preferences, command_id::kPreferences);
  kelvo::lang::add_language_menu(edit);
  QObject::connect(edit, &QMenu::aboutToShow, this, [edit] {
    // A language change leaves the kernel's title of the current state.
    for (QAction* item : edit->actions())
      if (int id = 0; kp_item_id(item, &id) && id == kUndoItem)
        item->setText(kp_qstring(kernel_string(undo_offers_undo ? kRowUndo : kRowRedo)));
  });
  // The work session: recording, then opening and stepping through.
  QMenu* session = menuBar_->addMenu(QStringLiteral("[832](Work &Session)"));
  const struct {
    const char* text;
    int id;
  } session_items[] = {{"[787](Start Recording Work Session)", command_id::kSessionStart},
                       {"[788](Open Work Session...)", command_id::kSessionOpen},
                       {"[833](Next Snapshot)", command_id::kSessionNext},
                       {"[834](Previous Snapshot)", command_id::kSessionPrevious},
                       {"[835](Print Work Session...)", command_id::kSessionPrint}};
  for (const auto& item : session_items) {
    QAction* action = session->addAction(QString::fromLatin1(item.text), [this, id = item.id] {
      main_menu_command(kp_hwnd(figureView_), static_cast<WPARAM>(id), 0);
    });
    kp_set_item_id(action, item.id);
  }
  QObject::connect(session, &QMenu::aboutToShow, this, [session] {
    KPMenusWrapper* menu = KPMenusWrapper::wrap(session);
    update_session_menu_text(menu);
    update_session_menu_items(menu);
    delete menu;
  });
  // Text size and the shared colour and font panels.
  QMenu* format = menuBar_->addMenu(QStringLiteral("[848](F&ormat)"));
  format->addAction(QStringLiteral("[837](Larger Text)"), [] { biggerFont(); });
  format->addAction(QStringLiteral("[838](Smaller Text)"), [] { smallerFont(); });
  format->addSeparator();
  QAction* fonts = format->addAction(QStringLiteral("[941](Show Fonts)"));
  QObject::connect(fonts, &QAction::triggered, fonts, [fonts] { toggleFontPanel(fonts); });
  QAction* colors = format->addAction(QStringLiteral("[958](Show Colors)"));
  QObject::connect(colors, &QAction::triggered, colors, [colors] { toggleColorPanel(colors); });
  QObject::connect(format, &QMenu::aboutToShow, format, [fonts, colors] {
    title_font_panel_item(fonts);
    title_color_panel_item(colors);
  });
  QMenu* view = menuBar_->addMenu(QStringLiteral("[815](&View)"));
  view->addAction(QStringLiteral("[836](Tools &Help)"), [] {
    if (DUVirIdazididovi* app = DUVirIdazididovi::running()) app->toggleToolsHelp();
  });
  QAction* description = view->addAction(QStringLiteral("[543](Show Figure Description)"),
                                         [this] { toggleFigureDescription(); });
  kp_set_item_id(description, 40038);
  QAction* attributes = view->addAction(QStringLiteral("[840](Show Attribute Palette)"), [this] {
    main_menu_command(figureView_ ? kp_hwnd(figureView_) : nullptr, command_id::kAttributePalette, 0);
  });
  kp_set_item_id(attributes, command_id::kAttributePalette);
  QObject::connect(view, &QMenu::aboutToShow, this, [this, description, attributes] {
    attributes->setText(kp_qstring(attrib_palette_menu_text()));
    const bool shown = descDrawer_->dataSource()->visible();
    const char* text = kernel_string(shown ? 544 : 543);
    description->setText(text && *text ? kp_qstring(text)
                                        : QString::fromLatin1(shown ? "Hide Figure Description" : "Show Figure Description"));
  });
  // The page sheet in show mode: the thumbnail of the whole drawing page,
  // and OK scrolls the window to the part chosen on it.
  view->addAction(QStringLiteral("[849](&Page Overview...)"), [this] {
    if (document_) NSShowPageController::DoShowWindow(document_);
  });
  view->addAction(QStringLiteral("[820](Toolbox &Configuration...)"),
                  [] { NSToolsWindowController::shared()->enterReorganizeIcons(); });
  QMenu* help = menuBar_->addMenu(QStringLiteral("[828](&Help)"));
  help->addAction(QStringLiteral("[843](About Kelvo Nova)"), [] { NSAboutPanel::shared()->display(); });
}

void KPFigureWindow::keyPressEvent(QKeyEvent* event) {
  // A key equivalent that reached the window unused (no menu item has it
  // and the focus was not in the view) goes to the figure view.
  if ((event->modifiers() & Qt::ControlModifier) && KPGeoMenu::performKeyEquivalent(menuBar_, event)) {
    event->accept();
    return;
  }
  KPWindow::keyPressEvent(event);
}

void KPFigureWindow::toggleFigureDescription() { descDrawer_->toggle(); }

void KPFigureWindow::figureDescriptionSelectLine(int line) { descDrawer_->dataSource()->selectLine(line); }

NSFigureDescDataSource* KPFigureWindow::getFigureDescDataSource() const { return descDrawer_->dataSource(); }

NSFigureTableView* KPFigureWindow::getFigureDescDataView() const { return descDrawer_->table(); }

void KPFigureWindow::setHelpFieldContent(const QString& text) {
  if (helpField_) helpField_->setPlainText(text);
}

void KPFigureWindow::showHelpPage(const QString& text, const char* page) {
  if (!helpField_) return;
  const QString file = help_page_file(page);
  if (file.isEmpty()) {
    setHelpFieldContent(text);
    return;
  }
  helpField_->setSource(QUrl::fromLocalFile(file), QTextDocument::HtmlResource);
}

void KPFigureWindow::setToolNameFieldContent(const QString& text) {
  if (toolField_) toolField_->setText(text);
}

void KPFigureWindow::setToolsHelp(bool show) {
  if (!helpField_ || helpField_->isHidden() == !show) return;
  helpField_->setVisible(show);
}

QSize KPFigureWindow::showSheetOfSize(QSize sheet, bool make_room) {
  // What surrounds the view in the window (menus, bars, fields), and the
  // window manager's frame around the window: a window just shown may not
  // have its frame yet, and then takes the frame of a figure window that has.
  const QSize around = size() - figureView_->size();
  QRect frame = frameGeometry();
  QSize border = frame.size() - size();
  if (border.isNull())
    for (QWidget* other : QApplication::topLevelWidgets())
      if (other != this && other->isVisible() && dynamic_cast<KPFigureWindow*>(other) &&
          other->frameGeometry().size() != other->size()) {
        border = other->frameGeometry().size() - other->size();
        break;
      }
  // The window stays where it was placed, below the palette, and grows
  // only as far as the screen's far corner (a screen too small for a new
  // window leaves it the size it has).
  const QRect desk = NSKelvoToolsPanelView::getDesktopRect();
  const QSize wanted = (sheet.expandedTo(QSize(1, 1)) * figureView_->scale() + around).expandedTo(minimumSizeHint());
  std::optional<QPoint> moved_to;
  if (make_room && NSKelvoToolsPanel::exists()) {
    const QPoint corner = NSKelvoToolsPanelView::getFigureWindowPosition();
    const QPoint fits = desk.bottomRight() + QPoint(1, 1) -
                        QPoint(wanted.width() + border.width(), wanted.height() + border.height());
    const QPoint at(std::max(corner.x(), std::min(frame.left(), fits.x())),
                    std::max(corner.y(), std::min(frame.top(), fits.y())));
    if (at != frame.topLeft() && at.x() <= frame.left() && at.y() <= frame.top()) {
      move(at);
      frame.moveTopLeft(at);
      moved_to = at;
    }
  }
  const QSize room = (QRect(frame.topLeft(), desk.bottomRight()).size() - border).expandedTo(size());
  const QSize inside = wanted.boundedTo(room).expandedTo(minimumSizeHint());
  // A window the window manager has yet to frame would be moved by the
  // resize to where its frame is asked to stand: it waits for its frame
  // (a platform without window manager frames no window).
  const QString platform = QGuiApplication::platformName();
  const bool framing = platform != QLatin1String("offscreen") && platform != QLatin1String("minimal");
  if (frame.size() != size() || !framing)
    resize(inside);
  else
    resizeOnceFramed(inside, 100, moved_to);
  return inside - around;
}

void KPFigureWindow::resizeOnceFramed(QSize inside, int tries, std::optional<QPoint> at) {
  QTimer::singleShot(20, this, [this, inside, tries, at] {
    if (frameGeometry().size() == size() && tries > 0) {
      resizeOnceFramed(inside, tries - 1, at);
      return;
    }
    // The window manager may have placed the frame where the window stood
    // before it was moved to make room.
    if (at && frameGeometry().topLeft() != *at) move(*at);
    // Within the screen with the frame it now has.
    const QRect desk = NSKelvoToolsPanelView::getDesktopRect();
    const QSize room = (QRect(frameGeometry().topLeft(), desk.bottomRight()).size() - (frameGeometry().size() - size()))
                           .expandedTo(size());
    resize(inside.boundedTo(room).expandedTo(minimumSizeHint()));
  });
}

QString KPFigureWindow::titleWithoutMark() const {
  QString title = windowTitle().remove(QStringLiteral("[*]"));
  if (document_ && document_->isEdited() && title.size() > 2 && title.endsWith(QStringLiteral(" *"))) title.chop(2);
  return title;
}

int KPFigureWindow::getWindowText(char* buffer, int capacity) {
  return kp_copy_text(titleWithoutMark().toStdString(), buffer, capacity);
}

void KPFigureWindow::setWindowText(const char* text) { setWindowTitle(QString::fromUtf8(text ? text : "")); }

int KPFigureWindow::getWindowTextLength() {
  return static_cast<int>(titleWithoutMark().toUtf8().size());
}

bool KPFigureWindow::event(QEvent* event) {
  if (event->type() == QEvent::WindowActivate) {
    if (document_) document_->windowDidBecomeMain();
  } else if (event->type() == QEvent::WindowDeactivate) {
    if (document_) document_->windowDidResignMain(this);
  }
  return KPWindow::event(event);
}

void KPFigureWindow::closeEvent(QCloseEvent* event) {
  if (document_ && !document_->shouldClose()) {
    event->ignore();
    return;
  }
  event->accept();
  if (KPDocument* doc = document_) {
    document_ = nullptr;
    doc->close();
  }
}

void KPFigureWindow::moveEvent(QMoveEvent* event) {
  KPWindow::moveEvent(event);
  windowDidMove();
}

void KPFigureWindow::resizeEvent(QResizeEvent* event) {
  KPWindow::resizeEvent(event);
  windowDidMove();
}

void KPFigureWindow::changeEvent(QEvent* event) {
  KPWindow::changeEvent(event);
  if (event->type() == QEvent::WindowStateChange) windowDidMove();
}

// Once the window manager is done with the window: its top comes below the
// tools palette (RepositionOfTheWindow), and a window that spans the whole
// screen, as a maximised one does, fits into the free area beside and
// below the palette, its menu bar in sight.
void KPFigureWindow::windowDidMove() {
  if (placing_ || !isVisible()) return;
  placing_ = true;
  QTimer::singleShot(0, this, [this] {
    placing_ = false;
    if (!isVisible() || (windowState() & Qt::WindowFullScreen)) return;
    const QRect desk = NSKelvoToolsPanelView::getDesktopRect();
    const QRect free(NSKelvoToolsPanelView::getFigureWindowPosition(), desk.bottomRight());
    const QRect frame = frameGeometry();
    const bool spans = (windowState() & Qt::WindowMaximized) || frame.width() >= desk.width() ||
                       frame.height() >= desk.height();
    auto near = [](QSize a, QSize b) {
      return std::abs(a.width() - b.width()) <= kSizeSlack && std::abs(a.height() - b.height()) <= kSizeSlack;
    };
    if (!spans) {
      NSKelvoToolsPanelView::RepositionOfTheWindow(this);
      const QSize size = geometry().size();
      // On its way to the size this window asked for, the window manager
      // may show it at another for a moment (the size it had before it was
      // maximised): that one is not the user's.
      if (asked_.isValid()) {
        if (!near(size, asked_.size()) && askedSince_.elapsed() < kSettleMs) return;
        asked_ = QRect();
      }
      // The size the user gave the window, which a restore brings back; the
      // free area a maximise filled is not one, until the user changes it.
      const bool at_free_area = zoomed_ && near(size, zoomedSize_);
      if (!at_free_area) {
        zoomed_ = false;
        userGeometry_ = geometry();
      }
      const QRect inner = geometry();
      frameMargins_ = QMargins(inner.left() - frame.left(), inner.top() - frame.top(),
                               frame.right() - inner.right(), frame.bottom() - inner.bottom());
      return;
    }
    // A maximised window has lost its frame: the one it had before goes
    // around it again.
    const QRect inner = geometry();
    const QMargins margins = (windowState() & Qt::WindowMaximized) && !frameMargins_.isNull()
                                 ? frameMargins_
                                 : QMargins(inner.left() - frame.left(), inner.top() - frame.top(),
                                            frame.right() - inner.right(), frame.bottom() - inner.bottom());
    if (windowState() & Qt::WindowMaximized) setWindowState(windowState() & ~Qt::WindowMaximized);
    // The window manager sees a window of normal state, so its maximise
    // button asks to maximise again: a window that fills the free area goes
    // back to the size the user gave it, the button toggling between the
    // two.
    const bool restore = zoomed_ && userGeometry_.isValid();
    const QRect target = restore ? userGeometry_ : free.marginsRemoved(margins);
    zoomed_ = !restore;
    if (zoomed_) zoomedSize_ = target.size();
    asked_ = target;
    askedSince_.start();
    setGeometry(target);
  });
}

void KPFigureWindow::showEvent(QShowEvent* event) {
  KPWindow::showEvent(event);
  if (!awoken_) {
    awoken_ = true;
    remote_->awakeFromNib();
  } else {
    remote_->updateRanges();
  }
}
