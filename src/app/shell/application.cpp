#include "app/shell/application.h"

#include <QApplication>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QMessageBox>
#include <QScreen>
#include <QTimer>
#include <cassert>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <utility>

#include "app/document/kp_document.h"
#include "kernel/window/figure_events.h"
#include "kernel/render/render_switches.h"
#include "kernel/window/main_commands.h"
#include "kernel/prefs/hit_distance.h"
#include "kernel/prefs/preferences.h"
#include "kernel/render/drawing_passes.h"
#include "kernel/render/fonts.h"
#include "kernel/tools/cursors.h"
#include "kernel/tools/tool_dispatch.h"
#include "app/lang/kernel_string_fill.h"
#include "app/panels/about_panel.h"
#include "app/panels/ambig_menu.h"
#include "app/panels/help_pages.h"
#include "app/panels/panel_placement.h"
#include "app/panels/tools_palette.h"
#include "app/lang/language_follow_up.h"
#include "app/lang/resource_folders.h"
#include "app/shell/figure_window.h"
#include "kernel/files/text_convert.h"
#include "kernel/model/classes.h"
#include "kernel/model/figure.h"
#include "kernel/model/memory.h"
#include "kernel/model/units.h"
#include "kernel/model/version_info.h"
#include "kernel/text/kernel_strings.h"
#include "platform/kp_cursor.h"
#include "platform/ns_kelvo_text_editor.h"
#include "platform/kp_qt_bridge.h"
#include "platform/kp_run_loop.h"
#include "platform/kp_settings.h"

namespace {

// One byte of a separator of the user's locale; separators that are a kind
// of space, or have no byte in the kernel's character set, read as a space.
char separator_byte(const QString& s, char fallback) {
  if (s.isEmpty()) return fallback;
  if (s[0].isSpace()) return ' ';
  const std::string bytes = kp_kernel_text(s.left(1));
  return bytes.size() == 1 && bytes[0] != '?' ? bytes[0] : ' ';
}

// Shown numbers follow the user's locale: its decimal point and digit
// group separator; the list separator is the one that does not clash.
void apply_locale_separators() {
  const QLocale locale;
  const char decimal = separator_byte(locale.decimalPoint(), '.');
  const char group = separator_byte(locale.groupSeparator(), decimal == ',' ? '.' : ',');
  const char list[4] = {decimal, group == decimal ? ' ' : group, decimal == ',' ? ';' : ',', '\0'};
  set_locale_separators(list);
}

DUVirIdazididovi* g_running = nullptr;
QString g_program_path;

constexpr const char* kLastDirectoryKey = "NSNavLastCurrentDirectory";
constexpr const char* kSettingsFile = "WKelvo2.ini";

bool g_quit_after_modal_panel = false;

// A modal panel (a file dialog, the unsaved-changes prompt, a message) runs
// its own loop with the window that opened it on the stack below.
bool modal_panel_running() {
  return QApplication::activeModalWidget() != nullptr || kp_current_run_loop_mode() == KPRunLoopMode::ModalPanel;
}

// Quitting while a modal panel runs would delete the windows under the
// panel's own loop: the panel is dismissed, and the quit (with its review of
// the changed figures) comes once the panel's loop has returned.
void quit_after_modal_panel() {
  if (QWidget* panel = QApplication::activeModalWidget()) panel->close();
  if (g_quit_after_modal_panel) return;
  g_quit_after_modal_panel = true;
  auto* timer = new QTimer(QCoreApplication::instance());
  timer->setInterval(20);
  QObject::connect(timer, &QTimer::timeout, timer, [timer] {
    if (modal_panel_running()) {
      if (QWidget* panel = QApplication::activeModalWidget()) panel->close();
      return;
    }
    timer->stop();
    timer->deleteLater();
    g_quit_after_modal_panel = false;
    DUVirIdazididovi::quit();
  });
  timer->start();
}

}  // namespace

DUVirIdazididovi::DUVirIdazididovi() = default;

DUVirIdazididovi::~DUVirIdazididovi() {
  delete splasher_;
  // The language's notifications name this object: they go with it.
  if (g_running == this) kelvo::lang::free_language();
  if (g_running == this) g_running = nullptr;
  if (application_window == kp_hwnd(this)) application_window = nullptr;
}

void DUVirIdazididovi::displaySplasher() {
  if (splasher_) return;
  splasher_ = new NSKelvoSplasher(NSAboutPanel::shared(), [this] { return canShowAboutAtLaunchTime_; });
}

void DUVirIdazididovi::closeSplasher() {
  if (splasher_) splasher_->closeSplash();
}

DUVirIdazididovi* DUVirIdazididovi::running() { return g_running; }

bool DUVirIdazididovi::init() {
  inited_ = false;
  g_running = this;
  // A write beyond the file-size limit then fails like a write to a full
  // disk (the user is told, the temporary file goes) instead of killing the
  // program with every open figure.
  std::signal(SIGXFSZ, SIG_IGN);
  if (QCoreApplication* application = QCoreApplication::instance()) application->installEventFilter(this);
  if (!startLanguage()) return false;
  loadCursors();
  initGeoApplication();
  canShowAboutAtLaunchTime_ = true;
  toolHelpState_ = false;
  return true;
}

void DUVirIdazididovi::loadCursors() { NSKelvoCursorsLoader::initWithBundleFile("Cursors.xml"); }

void DUVirIdazididovi::languageLoaded() { kelvo::lang::languageLoaded(inited_); }

bool DUVirIdazididovi::startLanguage() {
  kelvo::lang::install_language_follow_up();
  // The loaded notification has filled the kernel string table when this
  // answers.
  const bool inited = std::exchange(inited_, false);
  const bool started = kelvo::lang::start_language(QString(), this);
  inited_ = inited;
  return started;
}

void DUVirIdazididovi::initGeoApplication() {
  set_resource_folder(kelvo::lang::resources_folder().toStdString());
  init_version_info();
  load_cursors();
  computeScreenResolution();
  render_switch_a = 1;
  render_switch_b = 0;
  conic_resolution = 1;
  lang_apply_separators_and_session_texts();
  apply_locale_separators();
  if ((init_kernel_graphics() & 0xFFFF) == 0) return;
  init_help_pages();
  init_construct_classes();
  init_object_lists();
  default_window_rect.right = std::max(default_window_rect.right, default_window_rect.left + 100);
  default_window_rect.bottom = std::max(default_window_rect.bottom, default_window_rect.top + 20);
  NSKelvoWrapMachine::setWindowLong(kp_hwnd(this), GWL_WNDPROC, reinterpret_cast<LONG_PTR>(&main_key_command));
  application_window = kp_hwnd(this);
}

void DUVirIdazididovi::computeScreenResolution() {
  double resolution = 96.0;
  if (QScreen* screen = QGuiApplication::primaryScreen()) {
    const double millimetres = screen->physicalSize().width();
    if (millimetres > 0) resolution = screen->geometry().width() / (millimetres / 10 / 2.54) + 0.499999;
  }
  set_screen_resolution(static_cast<float>(resolution));
  // The "Tolerance" preference in tenths of a centimetre, truncated.
  pick_tolerance = static_cast<int16_t>(prefs.tolerance * screen_pixels_per_cm / 10);
  pixels_per_unit = screen_pixels_per_cm;
}

void DUVirIdazididovi::applicationWillFinishLaunching() {
  start_tools_palette();
  install_ambiguity_popup();
  // The text editor's script buttons join the font panel whenever it shows.
  NSKelvoTextEditor::initFontPanelaccessories();
  setInitisFinished();
  char directory[1024] = {};
  if (KPPreferencesWrapper::GetUserDefault(kLastDirectoryKey, directory, sizeof directory, nullptr, kSettingsFile))
    set_current_directory(directory);
}

bool DUVirIdazididovi::openFile(const QString& path) {
  static const QStringList taken = {"men", "v2x", "92x", "89x", "9xx"};
  if (!taken.contains(QFileInfo(path).suffix().toLower())) return false;
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly | QIODevice::Unbuffered)) return true;  // nothing to import
  const QByteArray bytes = file.readAll();
  if (file.error() != QFileDevice::NoError) return true;
  auto length = static_cast<uint32_t>(bytes.size());
  auto* buffer = static_cast<char*>(GlobalAlloc(0, static_cast<size_t>(length) + 1));
  if (!buffer) return true;
  std::memcpy(buffer, bytes.constData(), length);
  GlobalFreeAndNull(&buffer);
  select_tool(0);
  // The kernel's Open command reads the file again and takes it by its kind.
  const QByteArray name = path.toUtf8();
  main_menu_command(nullptr, command_id::kOpen, reinterpret_cast<LPARAM>(name.constData()));
  return true;
}

void DUVirIdazididovi::openLaunchArguments(const QStringList& arguments) {
  bool opened = false;
  for (const QString& argument : arguments) {
    if (argument.startsWith('-')) continue;
    // Relative to the directory the program was started in.
    const QString path = QFileInfo(argument).absoluteFilePath();
    if (openFile(path)) continue;
    if (KPDocument::openDocument(path)) opened = true;
  }
  if (!opened) KPDocument::openUntitledDocument();
}

void DUVirIdazididovi::applicationWillTerminate() {
  const QByteArray directory = set_current_directory(nullptr).toUtf8();
  KPPreferencesWrapper::SetUserDefault(kLastDirectoryKey, directory.constData(), kSettingsFile);
}

bool DUVirIdazididovi::eventFilter(QObject* watched, QEvent* event) {
  // A quit asked from outside (the session ending) while a modal panel runs.
  if (event->type() == QEvent::Quit && watched == QCoreApplication::instance() && modal_panel_running()) {
    quit_after_modal_panel();
    return true;
  }
  if (event->type() == QEvent::Show && watched->isWidgetType()) place_shown_window(static_cast<QWidget*>(watched));
  if ((event->type() == QEvent::Resize || event->type() == QEvent::WindowTitleChange) && watched->isWidgetType())
    keep_shown_window_placed(static_cast<QWidget*>(watched));
  return QObject::eventFilter(watched, event);
}

bool DUVirIdazididovi::quit() {
  if (modal_panel_running()) {
    quit_after_modal_panel();
    return false;
  }
  const std::vector<KPDocument*> documents = KPDocument::liveDocuments();
  for (KPDocument* doc : documents)
    if (!doc->shouldClose()) return false;
  for (KPDocument* doc : KPDocument::liveDocuments().empty() ? std::vector<KPDocument*>{} : documents) {
    auto& live = KPDocument::liveDocuments();
    if (std::find(live.begin(), live.end(), doc) != live.end()) doc->close();
  }
  QCoreApplication::quit();
  return true;
}

void DUVirIdazididovi::toggleToolsHelp() {
  toolHelpState_ = !toolHelpState_;
  // Every window shows or hides its help field where it is: none is made
  // the current one on the way, so the window in use stays in front.
  for (KPDocument* doc : KPDocument::liveDocuments())
    if (KPFigureWindow* window = doc->figureWindow()) window->setToolsHelp(toolHelpState_);
}

LRESULT DUVirIdazididovi::sendMessage(UINT message, WPARAM, LPARAM) {
  if (message == WM_CLOSE) quit();
  return 0;
}

LONG_PTR DUVirIdazididovi::getWindowLong(int index) {
  assert(index == GWL_WNDPROC && "0");
  return index == GWL_WNDPROC ? windowProc_ : 0;
}

void DUVirIdazididovi::setWindowLong(int index, LONG_PTR value) {
  assert(index == GWL_WNDPROC && "0");
  if (index == GWL_WNDPROC) windowProc_ = value;
}

int kelvo_main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Kelvo Nova"));
  g_program_path = argc > 0 ? QString::fromLocal8Bit(argv[0]) : QString();
  DUVirIdazididovi kelvo;
  if (!kelvo.init()) {
    std::fprintf(stderr, "%s\n", kelvo::lang::no_language_file_text().toLocal8Bit().constData());
    return 1;
  }
  KPDocument::installKernelHooks();
  kelvo.applicationWillFinishLaunching();
  kelvo.displaySplasher();
  kelvo.openLaunchArguments(QApplication::arguments().mid(1));
  const int status = QApplication::exec();
  // Windows closed by the last events are deleted before the program ends.
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  kelvo.applicationWillTerminate();
  return status;
}
