#include "app/document/kp_document.h"

#include <QColorDialog>

#include "kernel/window/figure_popup.h"
#include "app/panels/color_palette_panel.h"
#include "app/panels/figure_description_drawer.h"
#include "app/panels/page_layout_panel.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMenuBar>
#include <QAbstractButton>
#include <QMessageBox>
#include <QPrintDialog>
#include <QPrinter>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <functional>
#include <string>

#include "app/kernel_iface/kp_figure_view.h"
#include "app/kernel_iface/kp_geo_document.h"
#include "kernel/window/figure_scroll.h"
#include "kernel/files/text_convert.h"
#include "kernel/files/file_paths.h"
#include "kernel/files/text_family.h"
#include "kernel/files/work_session.h"
#include "kernel/files/figure_file.h"
#include "kernel/files/file_dialogs.h"
#include "kernel/files/menus_file.h"
#include "kernel/window/main_commands.h"
#include "kernel/tools/tool_dispatch.h"
#include "kernel/tools/tool_hooks.h"
#include "kernel/tools/tool_ids.h"
#include "kernel/window/figure_events.h"
#include "kernel/window/figure_scroll.h"
#include "app/shell/application.h"
#include "app/shell/figure_window.h"
#include "app/panels/tools_palette.h"
#include "app/shell/kernel_wiring.h"
#include "app/view/kp_figure_view.h"
#include "kernel/model/create.h"
#include "kernel/model/figure.h"
#include "kernel/model/label_text.h"
#include "kernel/model/memory.h"
#include "kernel/model/undo.h"
#include "kernel/render/display_device.h"
#include "kernel/text/kernel_strings.h"
#include "kernel/text/text_record.h"
#include "platform/kernel_services.h"
#include "platform/kp_dialog.h"
#include "platform/kp_file_accessories.h"
#include "platform/kp_files.h"
#include "platform/kp_menu.h"
#include "platform/kp_qt_bridge.h"
#include "platform/kp_run_loop.h"
#include "platform/ns_kelvo_text_view.h"

namespace {

std::vector<KPDocument*>& live() {
  static std::vector<KPDocument*> documents;
  return documents;
}

KPDocument* g_current = nullptr;
int g_untitled_counter = 1;

// The language rows of the documents' messages and dialogs.
constexpr int kRowCannotOpenFile = 1;     // "%1": the file's path
constexpr int kRowFigureUnreadable = 2;   // "%1": the reader's reason
constexpr int kRowCannotReadAgain = 4;    // "%1": the file's path
constexpr int kRowSaveChanges = 5;        // "%1": the document's name
constexpr int kRowSaveButton = 6;
constexpr int kRowDiscardButton = 7;
constexpr int kRowCancelButton = 344;
constexpr int kRowOpenTitle = 690;
constexpr int kRowSaveAsTitle = 691;
constexpr int kRowFigureFiles = 694;
constexpr int kRowCalculatorFiles = 177;
constexpr int kRowKernelFiles = 178;      // macros, tool menus and preferences
constexpr int kRowAllFiles = 179;

// The text of a row with its "%1" filled in, as the interface shows it.
QString language_text(int row, const QString& insert = QString()) {
  QString text = kp_qstring(kernel_string(row));
  text.replace(QStringLiteral("%1"), insert);
  return text;
}
QString g_remembered_directory;

// The folder the dialogs start in: the documents' and the kernel's own
// dialogs (Export, macros, tool menus) share it.
void remember_dialog_directory(const QString& directory) {
  g_remembered_directory = directory;
  const QByteArray path = (directory + QLatin1Char('/')).toUtf8();
  remember_directory(path.constData());
}

std::function<QString(const QString&)>& save_panel_responder() {
  static std::function<QString(const QString&)> responder;
  return responder;
}

std::function<QString(const QString&)>& open_panel_responder() {
  static std::function<QString(const QString&)> responder;
  return responder;
}

std::function<int(const QString&)>& close_prompt_responder() {
  static std::function<int(const QString&)> responder;
  return responder;
}

std::function<bool(QPrinter*)>& print_panel_responder() {
  static std::function<bool(QPrinter*)> responder;
  return responder;
}

constexpr int kUntitledRow = 292;
constexpr int kRevertRow = 303;
constexpr int kNothingToUndoRow = 546;
constexpr int kReadToItsEndRow = 975;
constexpr int kLeftOutRow = 621;
constexpr int kNotPrintedRow = 922;

// Copies a UTF-8 text into a kernel block.
char* kernel_copy(const QByteArray& text) {
  auto* block = static_cast<char*>(GlobalAlloc(0, static_cast<size_t>(text.size()) + 1));
  if (block) std::memcpy(block, text.constData(), static_cast<size_t>(text.size()));
  return block;
}

// The window's title without the mark of unsaved changes.
QString window_title(const KPFigureWindow* window) { return window ? window->titleWithoutMark() : QString(); }

}  // namespace

// ---------------------------------------------------------------- finding

const std::vector<KPDocument*>& KPDocument::liveDocuments() { return live(); }

KPDocument* KPDocument::currentDocument() {
  return std::find(live().begin(), live().end(), g_current) != live().end() ? g_current : nullptr;
}

KPFigureWindow* KPDocument::currentWindow() { return g_current ? g_current->figureWindow_ : nullptr; }

KPFigureView* KPDocument::currentFigureView() {
  KPFigureWindow* window = currentWindow();
  return window ? window->view() : nullptr;
}

DisplayDevice* KPDocument::currentDeviceObject() {
  KPFigureView* view = currentFigureView();
  return view ? view->getDisplayDevice() : nullptr;
}

kelvo_win_info* KPDocument::currentInfo() { return KPGeoDocument::currentInfo(); }
void KPDocument::setCurrentInfo(kelvo_win_info* info) { KPGeoDocument::setCurrentInfo(info); }

bool KPDocument::printingInProgress() {
  KPFigureView* view = currentFigureView();
  return view && view->printingInProgress();
}

void KPDocument::flushCurrentFigureView() {
  if (KPFigureView* view = currentFigureView()) view->invalidateFigure();
}

KPFigureView* KPDocument::figureView() const { return figureWindow_ ? figureWindow_->view() : nullptr; }
kelvo_win_info* KPDocument::info() const {
  KPFigureView* view = figureView();
  return view ? view->info() : nullptr;
}

KPDocument* KPDocument::FindDocumentWith_tobjet(kelvo_win_info* record) {
  if (!record) return nullptr;
  for (KPDocument* doc : live())
    if (doc->info() == record) return doc;
  return nullptr;
}

KPDocument* KPDocument::FindDocumentWith_pdd(DisplayDevice* device) {
  for (KPDocument* doc : live())
    if (KPFigureView* view = doc->figureView(); view && device && view->getDisplayDevice() == device) return doc;
  std::fputs("FindDocumentWith_pdd not found\n", stderr);
  return nullptr;
}

KPDocument* KPDocument::FindDocumentWith_Window(const KPFigureWindow* window) {
  for (KPDocument* doc : live())
    if (window && doc->figureWindow_ == window) return doc;
  return nullptr;
}

bool KPDocument::enumChildWindows(BOOL (*callback)(HWND, LPARAM), LPARAM param) {
  const std::vector<KPDocument*> documents = live();
  for (KPDocument* doc : documents)
    if (KPFigureView* view = doc->figureView(); view && !callback(kp_hwnd(view), param)) return false;
  return true;
}

int KPDocument::untitledCounter() { return g_untitled_counter; }

void KPDocument::setSavePanelResponder(std::function<QString(const QString& directory)> responder) {
  save_panel_responder() = std::move(responder);
}

void KPDocument::setOpenPanelResponder(std::function<QString(const QString& directory)> responder) {
  open_panel_responder() = std::move(responder);
}

QString KPDocument::chooseFileToOpen(QWidget* parent) {
  if (open_panel_responder()) return open_panel_responder()(g_remembered_directory);
  (void)parent;
  KPFileDialogRequest request;
  request.directory = g_remembered_directory.toStdString();
  // Old binary figures have no extension of their own.
  request.title = language_text(kRowOpenTitle).toStdString();
  auto filter = [](int row, const char* patterns) {
    return (language_text(row) + QStringLiteral(" (") + QLatin1String(patterns) + QLatin1Char(')')).toStdString();
  };
  request.name_filters = {filter(kRowFigureFiles, "*.fig *.env *.8xv"),
                          filter(kRowCalculatorFiles, "*.92a *.9xa *.89a *.v2a *.92x *.9xx *.89x *.v2x"),
                          filter(kRowKernelFiles, "*.mac *.men *.plist"), filter(kRowAllFiles, "*")};
  const std::optional<std::string> chosen = kp_choose_file(request);
  return chosen ? QString::fromStdString(*chosen) : QString();
}

void KPDocument::setClosePromptResponder(std::function<int(const QString& name)> responder) {
  close_prompt_responder() = std::move(responder);
}

void KPDocument::setPrintPanelResponder(std::function<bool(QPrinter* printer)> responder) {
  print_panel_responder() = std::move(responder);
}

QString KPDocument::documentName() const {
  return documentName_.isNull() ? window_title(figureWindow_) : QFileInfo(documentName_).fileName();
}

// ------------------------------------------------------------ kernel hooks

void KPDocument::installKernelHooks() {
  KPGeoDocument::Hooks hooks;
  hooks.current_info = [](kelvo_win_info** out) {
    KPDocument* doc = currentDocument();
    KPFigureView* view = doc ? doc->figureView() : nullptr;
    if (!view) return false;
    *out = view->info();
    return true;
  };
  hooks.set_current_info = [](kelvo_win_info* record) {
    KPDocument* doc = currentDocument();
    KPFigureView* view = doc ? doc->figureView() : nullptr;
    if (!view) return false;
    view->setInfo(record);
    return true;
  };
  hooks.do_dirty = [](kelvo_win_info* record) {
    if (KPDocument* doc = FindDocumentWith_tobjet(record)) doc->set_dirty();
  };
  hooks.undo_dirty = [](kelvo_win_info* record) {
    if (KPDocument* doc = FindDocumentWith_tobjet(record)) doc->unset_dirty();
  };
  hooks.printing_in_progress = [] { return printingInProgress(); };
  KPGeoDocument::installHooks(hooks);

  FigureViewHooks view_hooks;
  view_hooks.show_figure = [](void* view, kelvo_win_info* record) {
    KPFigureView* v = figure_view_of(view);
    if (!v) return;
    v->setInfo(record);
    if (DisplayDevice* dd = v->getDisplayDevice()) {
      dd->refcon = record;
      if (record) record->dd = dd;
    }
  };
  view_hooks.invalidate = [](void* view) {
    if (KPFigureView* v = figure_view_of(view)) v->invalidateFigure();
  };
  view_hooks.refresh_description = [](void* view) {
    KPFigureView* v = figure_view_of(view);
    auto* w = v ? dynamic_cast<KPFigureWindow*>(v->window()) : nullptr;
    if (w && w->getFigureDescDataSource()->visible()) w->getFigureDescDataView()->refresh();
  };
  view_hooks.view_info = [](void* view) -> kelvo_win_info* {
    KPFigureView* v = figure_view_of(view);
    return v ? v->info() : nullptr;
  };
  view_hooks.view_device = [](void* view) -> DisplayDevice* {
    KPFigureView* v = figure_view_of(view);
    return v ? v->getDisplayDevice() : nullptr;
  };
  view_hooks.lock_view = [](void* view) {
    KPFigureView* v = figure_view_of(view);
    return v && v->lockFixSaveContext() != nullptr;
  };
  view_hooks.unlock_view = [](void* view) {
    if (KPFigureView* v = figure_view_of(view)) v->unlockView();
  };
  view_hooks.int_bounds = [](void* view, tagRECT* bounds) {
    if (KPFigureView* v = figure_view_of(view)) v->intBounds(bounds);
  };
  view_hooks.set_scroll_pos = [](void* view, int bar, int32_t position) {
    KPFigureView* v = figure_view_of(view);
    if (v && v->scrollRemoteView()) v->scrollRemoteView()->setScrollPos(bar, position, false);
  };
  view_hooks.finish_scroll = [](void* view) {
    KPFigureView* v = figure_view_of(view);
    if (v && v->scrollRemoteView()) v->scrollRemoteView()->finishScroll(true);
  };
  view_hooks.show_origin = [](void* view, int32_t left, int32_t top) {
    if (KPFigureView* v = figure_view_of(view)) v->showOrigin(left, top);
  };
  view_hooks.visible_size = [](void* view, int32_t* width, int32_t* height) {
    if (KPFigureView* v = figure_view_of(view)) {
      *width = v->sheetWidth();
      *height = v->sheetHeight();
    }
  };
  view_hooks.new_document = [] { openUntitledDocument(); };
  view_hooks.terminate = [] { DUVirIdazididovi::quit(); };
  install_figure_view_hooks(view_hooks);
  figure_popup_hooks().choose_color = &choose_background_color;

  InvalidateHook invalidate;
  invalidate.invalidate_rect = [](HWND window, const tagRECT* rect) {
    QObject* object = kp_qobject(window);
    if (auto* view = dynamic_cast<KPFigureView*>(object)) {
      if (rect)
        view->invalidateFigure(QRect(rect->left, rect->top, rect->right - rect->left, rect->bottom - rect->top));
      else
        view->invalidateFigure();
      return true;
    }
    if (auto* figure_window = dynamic_cast<KPFigureWindow*>(object)) {
      figure_window->view()->invalidateFigure();
      return true;
    }
    return false;
  };
  install_invalidate_hook(invalidate);
  install_kernel_services();
}

// ------------------------------------------------------------- life cycle

KPDocument::KPDocument() {
  live().push_back(this);
  recentre_pending = 1;
  scroll_position = {-450, -300};
  NSKelvoWrapMachine::sendMessage(tools_panel_window, WM_USER, 101, static_cast<LPARAM>(kPointerTool));
}

KPDocument::~KPDocument() {
  if (g_current == this) {
    if (open_pull_down) NSKelvoWrapMachine::sendMessage(open_pull_down, WM_CLOSE, 0, 0);
    g_current = nullptr;
  }
  auto it = std::find(live().begin(), live().end(), this);
  if (it != live().end()) live().erase(it);
}

void KPDocument::buildWindow() {
  figureWindow_ = new KPFigureWindow(this);
  // Every new window, untitled or opened on a file, shows the tools help
  // when the others do.
  if (DUVirIdazididovi* app = DUVirIdazididovi::running()) figureWindow_->setToolsHelp(app->getToolHelpState());
  // Figure windows open beside the tools palette's bars, each new one a
  // little lower and to the right of the one before.
  if (NSKelvoToolsPanel::exists()) {
    const int step = 22 * static_cast<int>((live().size() + 7) % 8);
    figureWindow_->move(NSKelvoToolsPanelView::getFigureWindowPosition() + QPoint(step, step));
  }
}

KPDocument* KPDocument::openUntitledDocument() {
  auto* doc = new KPDocument;
  doc->buildWindow();
  doc->figureWindow_->show();
  doc->myMakeMainWindow();
  return doc;
}

KPDocument* KPDocument::openDocument(const QString& path, bool display) {
  // A file that a window shows already is not read again: that window comes
  // to the front, and no second window can save over its changes.
  const QByteArray name = QFileInfo(path).absoluteFilePath().toUtf8();
  if (KPFigureView* shown = figure_view_of(find_window_by_file_name(name.constData())))
    for (KPDocument* doc : live())
      if (doc->figureView() == shown) {
        // The dialogs start in the file's folder, as after a read.
        remember_dialog_directory(QFileInfo(path).absolutePath());
        if (display) make_main_window(doc->figureWindow_);
        return doc;
      }
  return readDocument(path, display);
}

KPDocument* KPDocument::readDocument(const QString& path, bool display) {
  // The untitled figure the file replaces, when it is untouched.
  KPFigureView* untouched = currentFigureView();
  if (untouched && !is_figure_untouched(untouched->info())) untouched = nullptr;
  auto* doc = new KPDocument;
  if (!doc->readFromFile(path, QFileInfo(path).suffix().compare("env", Qt::CaseInsensitive) == 0
                                   ? QStringLiteral("FILE_SITUATION")
                                   : QString())) {
    delete doc;
    KPDialog::messageBox(kp_kernel_text(language_text(kRowCannotOpenFile, path)).c_str(), "", 0);
    return nullptr;
  }
  doc->windowToClose_ = untouched;
  doc->buildWindow();
  doc->figureWindow_->setWindowTitle(QFileInfo(path).fileName());
  if (display) {
    doc->figureWindow_->show();
    doc->myMakeMainWindow();
    if (doc->closed_) return nullptr;  // the file could not be read
  }
  return doc;
}

bool KPDocument::readFromFile(const QString& path, const QString& type) {
  if (type == QLatin1String("FILE_SITUATION")) readsituationflag_ = true;
  if (type == QLatin1String("OS_MENU")) return false;
  documentName_ = QFileInfo(path).absoluteFilePath();
  remember_dialog_directory(QFileInfo(path).absolutePath());
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly | QIODevice::Unbuffered)) return false;
  fileData_ = file.readAll();
  if (file.error() != QFileDevice::NoError) {
    fileData_.clear();
    return false;
  }
  state_ = kBytesKept;
  return true;
}

void KPDocument::windowDidBecomeMain() {
  if (closed_) return;
  KPFigureView* view = figureView();
  if (!view) return;
  // The tool in progress belongs to the figure that was current: it ends
  // there, so that the lists it borrowed go back to that figure.
  if (g_current && g_current != this) select_tool(0);
  g_current = this;
  figure_window_active = 1;
  // The kernel's menu commands (the Undo item's state and text first of
  // all) reach this window's menu bar from now on, also while the figure is
  // built below.
  if (figureWindow_->menuBar()) {
    static KPMenusWrapper* wrapper = nullptr;
    if (wrapper) wrapper->destroyMenu();
    wrapper = KPMenusWrapper::wrap(figureWindow_->menuBar());
    KPMenusWrapper::setMainMenu(wrapper);
  }
  view->stopTimer();
  bool just_read = false;
  if (state_ == kBytesKept) {
    if (!updateFigureFromFileData()) {
      // A file that could not be read leaves no window: the message said so,
      // and nothing could later be saved over the file. The untitled figure
      // it would have replaced stays.
      windowToClose_ = nullptr;
      close();
      if (!live().empty()) live().back()->myMakeMainWindow();
      return;
    }
    state_ = kBuilt;
    just_read = true;
    if (windowToClose_) {
      KPFigureView* replaced = windowToClose_;
      windowToClose_ = nullptr;
      if (KPDocument* other = FindDocumentWith_Window(replaced->figureWindow()); other && other != this) {
        other->close();
        g_current = this;
      }
    }
  } else if (state_ == kUntitled) {
    state_ = kBuilt;  // before the view asks for activation again
    view->initFigureWindow();
    if (kelvo_win_info* fig = KPGeoDocument::currentInfo()) {
      GlobalFreeAndNull(&fig->text1);
      GlobalFreeAndNull(&fig->text0);
      const char* base = kernel_string(kUntitledRow);
      const QString name = kp_qstring(base ? base : "Untitled") + QString::number(g_untitled_counter++);
      fig->text0 = kernel_copy(name.toUtf8());
      figureWindow_->setWindowTitle(name);
      create_default_objects();
      save_undo_state(0);
      remembered_object_count = fig->nbobj;
      if (tools_panel_window) update_axes_tool_variant();
      select_tool(0);
      undo_offers_undo = 1;
      set_undo_menu_text(kernel_string(kNothingToUndoRow));
    }
  }
  view->CheckFigureTimer();
  tagRECT bounds{};
  view->intBounds(&bounds);
  view_rect = bounds;
  if (KPGeoDocument::currentInfo()) view->selectWindow();
  kelvo_win_info* fig = KPGeoDocument::currentInfo();
  if (just_read && state_ == kBuilt && fig && fig->animate_on_open) view->autoanimate();
  if (just_read && state_ == kBuilt && fig && !readWithout_) {
    fig->wflags = static_cast<char>(fig->wflags | kFigureHasFile);
    if (main_command_services().apply_window_placement) main_command_services().apply_window_placement(kp_hwnd(view));
  }
  windowToClose_ = nullptr;
}

void KPDocument::windowDidResignMain(const KPFigureWindow* window) {
  if (printingInProgress()) return;
  // A text being edited stays open while one of the application's panels
  // (the tools palette, its colour well, the colour and font panels) has the
  // focus: those act on it. Any other window ends the edit.
  const QWidget* active = QApplication::activeWindow();
  const bool panel = window && active && active != window && active->windowType() == Qt::Tool;
  if (!panel && tool_services().switch_text_edit_object) tool_services().switch_text_edit_object(nullptr);
  // The figure stays the current one while another window (the tools
  // palette, a dialog) has the focus; it gives way only to another figure.
  if (window && window == figureWindow_)
    if (KPFigureView* view = figureView()) view->unSelectWindow();
}

void KPDocument::myMakeMainWindow() {
  KPDocument* current = currentDocument();
  if (current == this) return;
  if (current) current->windowDidResignMain(nullptr);
  windowDidBecomeMain();
}

bool KPDocument::updateFigureFromFileData() {
  // An empty file goes to the reader too, which says why it is refused.
  const auto length = static_cast<uint32_t>(fileData_.size());
  auto* buffer = static_cast<char*>(GlobalAlloc(0, static_cast<size_t>(length) + 1));
  if (!buffer) return false;
  std::memcpy(buffer, fileData_.constData(), length);
  fileData_.clear();
  if (documentName_.isNull()) {
    GlobalFreeAndNull(&buffer);
    return false;
  }
  const QByteArray path = documentName_.toUtf8();
  KPFigureView* view = figureView();
  view->initFigureWindow();
  const int answer = readsituationflag_ ? txt_read_menus_file(buffer, length, path.constData())
                                        : read_figure_file(buffer, length, path.constData());
  // A figure imported from a calculator file is not that file: Save asks
  // where to put it rather than writing a figure text over the file.
  const bool calculator_file = file_platform == 3 || file_platform == 4;
  // What the header of this file said ends with its reading: a macro or a
  // clipboard text read later without a header of its own is of the
  // current edition, whatever file was opened before.
  reset_file_detection();
  if (answer != 1) {
    const std::string text = kp_kernel_text(language_text(kRowFigureUnreadable, kp_qstring(figure_file_error())));
    message_box_simple(text.c_str());
  }
  GlobalFreeAndNull(&buffer);
  // A figure that was not read is not the file's: it gets neither its path
  // nor its name, so that no Save can replace the file with it.
  if (answer != 1) return false;
  // A figure read without some of its records is not the file: it opens as
  // a new figure, so that no Save writes the shortened figure over the file.
  const std::string left_out = figure_file_left_out();
  const std::string not_read = figure_file_not_read();
  readWithout_ = !left_out.empty() || !not_read.empty();
  if (kelvo_win_info* fig = KPGeoDocument::currentInfo()) {
    KPGeoDocument::_undo_dirty(fig);
    select_axes_tool_variant();
    save_undo_state(0);
    remembered_object_count = fig->nbobj;
    GlobalFreeAndNull(&fig->text1);
    GlobalFreeAndNull(&fig->text0);
    if (readsituationflag_) fig->ival = 3;
    if (readWithout_) {
      const char* base = kernel_string(kUntitledRow);
      const QString name = kp_qstring(base ? base : "Untitled") + QString::number(g_untitled_counter++);
      fig->text0 = kernel_copy(name.toUtf8());
      if (figureWindow_) figureWindow_->setWindowTitle(name);
      documentName_ = QString();
      KPGeoDocument::_do_dirty(fig);
    } else {
      fig->text1 = kernel_copy(path);
      fig->text0 = kernel_copy(QFileInfo(documentName_).fileName().toUtf8());
      if (!calculator_file) fig->wflags = static_cast<char>(fig->wflags | kFigureHasFile);
    }
  }
  if (!left_out.empty()) {
    message_box_simple(format_percent_args(kernel_string(kLeftOutRow), left_out.c_str()));
  }
  // What was read before a cut or damage in the file opens; the message
  // says where the reading stopped.
  if (!not_read.empty()) message_box_simple(format_percent_args(kernel_string(kReadToItsEndRow), not_read.c_str()));
  return true;
}

void KPDocument::set_dirty() {
  edited_ = true;
  if (!figureWindow_) return;
  const QString title = figureWindow_->windowTitle();
  if (!title.isEmpty() && !title.endsWith('*')) figureWindow_->setWindowTitle(title + QStringLiteral(" *"));
}

void KPDocument::unset_dirty() {
  edited_ = false;
  if (!figureWindow_) return;
  const QString title = figureWindow_->windowTitle();
  if (title.size() > 2 && title.endsWith('*')) figureWindow_->setWindowTitle(title.left(title.size() - 2));
}

bool KPDocument::saveDocument() {
  kelvo_win_info* fig = info();
  if (fig && (fig->wflags & kFigureHasFile) && !documentName_.isEmpty()) return writeToURL(documentName_);
  return saveDocumentAs();
}

bool KPDocument::saveDocumentAs() {
  QString start = g_remembered_directory;
  select_tool(0);
  QString path;
  int format = -1;
  if (save_panel_responder()) {
    path = save_panel_responder()(start);
  } else {
    // The options the accessory's clicks copy into the figure go back on
    // Cancel.
    save_options_state kept = keep_save_options();
    KPFilePanel panel;
    add_save_accessory(&panel, {"*.fig", "*.env"}, {"fig", "env"}, &save_options_dlg_proc);
    KPFileDialogRequest request;
    request.save = true;
    request.title = language_text(kRowSaveAsTitle).toStdString();
    request.directory = start.toStdString();
    request.panel = &panel;
    const std::optional<std::string> chosen = kp_choose_file(request);
    if (chosen) {
      path = QString::fromStdString(*chosen);
      format = save_format_code;
      drop_save_options(&kept);
    } else {
      restore_save_options(&kept);
    }
  }
  if (path.isEmpty()) return false;
  remember_dialog_directory(QFileInfo(path).absolutePath());
  if (!writeToURL(path, format)) return false;
  documentName_ = QFileInfo(path).absoluteFilePath();
  // The window is the file's now, and its title says so.
  if (figureWindow_) figureWindow_->setWindowTitle(QFileInfo(path).fileName());
  return true;
}

// The figure written is this document's, made current for the save; the
// answer is the kernel's real result.
bool KPDocument::writeToURL(const QString& path, int format) {
  kelvo_win_info* fig = info();
  if (!fig) return true;
  KPDocument* previous = g_current;
  g_current = this;
  GlobalFreeAndNull(&fig->text1);
  GlobalFreeAndNull(&fig->text0);
  fig->text1 = kernel_copy(path.toUtf8());
  fig->text0 = kernel_copy(QFileInfo(path).fileName().toUtf8());
  const bool situations = QFileInfo(path).suffix() == QLatin1String("env");
  save_format_code = situations ? 3 : (format == 4 ? 4 : 0);
  // The kernel's Save command writes the current figure window's figure to
  // the path of the dialog record.
  const QByteArray name = path.toUtf8();
  init_file_dialog_record(&file_dialog_record);
  std::snprintf(file_path_buffer, sizeof file_path_buffer, "%s", name.constData());
  HWND previous_window = kp_current_figure_window();
  kp_set_current_figure_window(kp_hwnd(figureView()));
  save_command_result = 0;
  main_menu_command(kp_hwnd(figureView()), command_id::kSave, 0);
  // The older format is this save's choice only.
  if (save_format_code == 4) save_format_code = 0;
  kp_set_current_figure_window(previous_window);
  g_current = previous;
  if (save_command_result != 1) return false;
  fig->wflags = static_cast<char>(fig->wflags | kFigureHasFile);
  KPGeoDocument::_undo_dirty(fig);
  return true;
}

void KPDocument::revertDocumentToSaved() {
  kelvo_win_info* fig = info();
  if (documentName_.isNull()) {
    if (!fig || !(fig->wflags & kFigureHasFile) || !fig->text1) return;
    documentName_ = QString::fromUtf8(fig->text1);
  }
  select_tool(0);
  if (fig && (fig->wflags & kFigureChanged)) {
    message_compose(kernel_string(kRevertRow), "", "", "");
    if (message_show(131) != 1) return;
  }
  QFile file(documentName_);
  QByteArray bytes;
  if (file.open(QIODevice::ReadOnly | QIODevice::Unbuffered)) bytes = file.readAll();
  if (bytes.isEmpty()) {
    // The figure stays as it is when its file cannot be read again.
    const std::string text = kp_kernel_text(language_text(kRowCannotReadAgain, documentName_));
    message_box_simple(text.c_str());
    return;
  }
  replaceFigure(bytes);
}

void KPDocument::replaceFigure(const QByteArray& bytes) {
  KPFigureView* view = figureView();
  view->stopTimer();
  fileData_ = bytes;
  state_ = kBytesKept;
  KPDocument* previous = g_current;
  g_current = this;
  kelvo_win_info* old = view->info();
  view->setInfo(nullptr);
  const bool built = updateFigureFromFileData();
  kelvo_win_info* fresh = view->info();
  kelvo_win_info* loser = built ? old : fresh;
  kelvo_win_info* keeper = built ? fresh : old;
  if (loser && loser != keeper) {
    kelvo_win_info* copy = loser->undo;
    if (copy && copy->undo == loser && copy != keeper) free_figure_info(copy, false);
    free_figure_info(loser, false);
  }
  view->setInfo(keeper);
  if (DisplayDevice* dd = view->getDisplayDevice()) {
    dd->refcon = keeper;
    if (keeper) keeper->dd = dd;
  }
  state_ = kBuilt;
  g_current = previous ? previous : this;
  view->CheckFigureTimer();
  tagRECT bounds{};
  view->intBounds(&bounds);
  view_rect = bounds;
  view->selectWindow();
  view->activate();
  view->invalidateFigure();
}

HWND KPDocument::showSessionSnapshot(HWND window, const char* path) {
  const QString file = QString::fromUtf8(path);
  KPDocument* doc = nullptr;
  if (!window) {
    doc = readDocument(file, true);
  } else {
    for (KPDocument* d : live())
      if (d->figureWindow_ && (kp_hwnd(d->figureWindow_) == window || kp_hwnd(d->figureView()) == window)) doc = d;
    if (doc) {
      QFile in(file);
      QByteArray bytes;
      if (in.open(QIODevice::ReadOnly | QIODevice::Unbuffered)) bytes = in.readAll();
      if (bytes.isEmpty()) return nullptr;
      doc->documentName_ = file;
      doc->replaceFigure(bytes);
    }
  }
  if (!doc || !doc->figureWindow_) return nullptr;
  // A snapshot is shown, not edited in place: its figure belongs to no file.
  doc->documentName_ = QString();
  if (kelvo_win_info* fig = doc->info()) {
    fig->wflags = static_cast<char>(fig->wflags & ~kFigureHasFile);
    GlobalFreeAndNull(&fig->text1);
    GlobalFreeAndNull(&fig->text0);
    KPGeoDocument::_undo_dirty(fig);
  }
  doc->unset_dirty();
  doc->figureWindow_->setWindowTitle(file);
  return kp_hwnd(doc->figureWindow_);
}

namespace {
QPageLayout::Orientation g_last_orientation = QPageLayout::Portrait;
}  // namespace

QPrinter* KPDocument::printInfo() {
  if (!printInfo_) {
    printInfo_ = std::make_unique<QPrinter>(QPrinter::HighResolution);
    printInfo_->setPageOrientation(g_last_orientation);
  }
  return printInfo_.get();
}

void KPDocument::setPageOrientation(bool landscape) {
  g_last_orientation = landscape ? QPageLayout::Landscape : QPageLayout::Portrait;
  printInfo()->setPageOrientation(g_last_orientation);
}

bool KPDocument::shouldChangePrintInfo(KPPageSettings* settings) {
  if (!settings) return false;
  // The figure prints at the scale chosen: a scale the panel cannot give
  // (none, or not a number) leaves it at 100 %.
  if (!(settings->scale > 0) || !std::isfinite(settings->scale)) settings->scale = 1.0;
  return true;
}

bool KPDocument::runPageLayout() {
  QPrinter* printer = printInfo();
  KPPageSettings settings;
  settings.paper = printer->pageLayout().pageSize();
  settings.landscape = printer->pageLayout().orientation() == QPageLayout::Landscape;
  settings.scale = printScale_;
  if (!KPPageLayoutPanel::run(figureWindow_, &settings)) return false;
  if (!shouldChangePrintInfo(&settings)) return true;
  printer->setPageSize(settings.paper);
  setPageOrientation(settings.landscape);
  printScale_ = settings.scale;
  return true;
}

bool KPDocument::printDocument() {
  KPFigureView* view = figureView();
  if (!view) return false;
  // The figure printed is the current one, so that the kernel knows a print
  // is running (printingInProgress asks the current view).
  if (currentDocument() != this) myMakeMainWindow();
  QPrinter* printer = printInfo();
  int first = 1;
  int last = 1;
  view->knowsPageRange(&first, &last);
  printer->setPrintRange(QPrinter::PageRange);
  printer->setFromTo(first, std::max(first, last));
  bool accepted = false;
  if (print_panel_responder()) {
    accepted = print_panel_responder()(printer);
  } else {
    KPRunLoopModeScope modal(KPRunLoopMode::ModalPanel);
    QPrintDialog panel(printer, figureWindow_);
    accepted = panel.exec() == QDialog::Accepted;
  }
  if (!accepted) return false;
  if (view->runPrintOperation(printer, printScale_)) return true;
  message_box_simple(kernel_string(kNotPrintedRow));
  return false;
}

bool KPDocument::validateMenuItem(int item) const {
  // A toolbox's list open now closes now: a close posted for later would
  // wait behind the modal panel the command may open (Save As), the list
  // painted over it all the while.
  if (open_pull_down) NSKelvoWrapMachine::sendMessage(open_pull_down, WM_CLOSE, 0, 0);
  if (item == kItemRevert) {
    kelvo_win_info* fig = info();
    return fig && (fig->wflags & kFigureHasFile) && (fig->wflags & kFigureChanged);
  }
  return true;
}

bool KPDocument::shouldClose() {
  kelvo_win_info* fig = info();
  if (!fig || !(fig->wflags & kFigureChanged)) return true;
  QMessageBox box(figureWindow_);
  box.setIcon(QMessageBox::Warning);
  box.setText(language_text(kRowSaveChanges, documentName()));
  box.setStandardButtons(QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel);
  box.button(QMessageBox::Save)->setText(language_text(kRowSaveButton));
  box.button(QMessageBox::Discard)->setText(language_text(kRowDiscardButton));
  box.button(QMessageBox::Cancel)->setText(language_text(kRowCancelButton));
  box.setDefaultButton(QMessageBox::Save);
  int answer = 0;
  {
    KPRunLoopModeScope modal(KPRunLoopMode::ModalPanel);
    answer = close_prompt_responder() ? close_prompt_responder()(documentName()) : box.exec();
  }
  if (answer == QMessageBox::Cancel) return false;
  if (answer == QMessageBox::Save) return saveDocument();
  return true;
}

void KPDocument::close() {
  if (closed_) return;
  // The tool in progress ends while this figure is still the current one.
  if (g_current == this) select_tool(0);
  closed_ = true;
  auto it = std::find(live().begin(), live().end(), this);
  if (it != live().end()) live().erase(it);
  select_tool(0);
  if (g_current == this) {
    g_current = nullptr;
  }
  KPFigureWindow* window = figureWindow_;
  if (window) session_document_closing(kp_hwnd(window));
  figureWindow_ = nullptr;
  if (window) {
    window->forgetDocument();
    window->hide();
    // The figure record, its undo copy and the display device go now; the
    // window and its menus are deleted once the event that closed them (a
    // click in one of its own menus, a modal panel it owns) has returned.
    if (KPFigureView* view = window->view()) view->releaseFigure();
    window->deleteLater();
  }
  deleteLater();
}

// ------------------------------------------------------------ plain calls

QString set_current_directory(const char* path) {
  if (path) {
    QString p = QString::fromUtf8(path);
    if (p.startsWith('~')) p = qEnvironmentVariable("HOME") + p.mid(1);
    // Only the dialogs start there: the process keeps the working directory
    // it was started in, against which relative paths (the command line's)
    // are resolved.
    remember_dialog_directory(p);
  }
  return g_remembered_directory;
}

KPFigureWindow* open_document_path(HWND, const char* path, bool display) {
  KPDocument* doc = path ? KPDocument::openDocument(QString::fromUtf8(path), display)
                         : KPDocument::openUntitledDocument();
  return doc ? doc->figureWindow() : nullptr;
}

void KPDocument::convertUSproc() {
  KPFigureView* view = figureView();
  kelvo_win_info* fig = view ? view->info() : nullptr;
  if (!fig) return;
  kelvo_win_info* previous = KPGeoDocument::currentInfo();
  KPGeoDocument::setCurrentInfo(fig);
  bool changed = false;
  for (object* o = fig->first; o; o = o->next) {
    TErec* te = o->te;
    if (!te || te->text_kind != 1 || !te->text) continue;
    const std::string before = te->text;
    text_decimal_to_c(te->text);
    te->length = static_cast<int32_t>(std::strlen(te->text));
    NSKelvoTextView::textNeedsRegen(te);
    changed |= before != te->text;
  }
  KPGeoDocument::setCurrentInfo(previous);
  if (changed) view->invalidateFigure();
  refresh_figure_description(kp_hwnd(view));
}

void KPDocument::repositionDocs() {
  for (KPDocument* doc : live())
    if (doc->figureWindow_) NSKelvoToolsPanelView::RepositionOfTheWindow(doc->figureWindow_);
}

void apply_window_placement(HWND window) {
  KPFigureView* view = figure_view_of(window);
  if (!win_pos_from_file || !view || !view->getDisplayDevice()) return;
  // The file's placement, not the centring a fresh window waits for.
  recentre_pending = 0;
  set_figure_window_origin(kp_hwnd(view), win_origin_x, win_origin_y);
  // The placement is that file's: a file read later without one (a
  // calculator's, say) opens centred, not where the last figure was.
  win_pos_from_file = 0;
}

void make_main_window(QObject* window_or_view) {
  QWidget* window = nullptr;
  if (auto* figure_window = dynamic_cast<KPFigureWindow*>(window_or_view))
    window = figure_window;
  else if (auto* view = dynamic_cast<KPFigureView*>(window_or_view))
    window = view->window();
  if (!window) return;
  // The active window is not asked again (see NSKelvoWrapMachine::setFocus).
  if (QApplication::activeWindow() != window) {
    window->raise();
    window->activateWindow();
  }
  if (auto* figure_window = dynamic_cast<KPFigureWindow*>(window))
    if (KPDocument* doc = figure_window->document()) doc->myMakeMainWindow();
}
