#include "app/support/shell_fixture.h"

#include <QElapsedTimer>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPointer>
#include <QTest>
#include <QWindow>

#include "app/lang/kernel_string_fill.h"
#include "app/lang/language_starter.h"
#include "app/lang/resource_folders.h"
#include "app/kernel_iface/kp_figure_view.h"
#include "app/kernel_iface/kp_geo_document.h"
#include "app/panels/ambig_menu.h"
#include "app/panels/calculator_panel.h"
#include "app/panels/kp_show_view.h"
#include "app/panels/tools_palette.h"
#include "app/view/kp_figure_view.h"
#include "app/support/kernel_state.h"
#include "kernel/model/classes.h"
#include "kernel/model/figure.h"
#include "kernel/prefs/default_attrs.h"
#include "kernel/tools/cursors.h"
#include "kernel/tools/tool_ids.h"
#include "kernel/tools/toolbox.h"
#include "platform/kp_qt_bridge.h"
#include "platform/kp_dialog.h"

namespace {
DUVirIdazididovi* g_app = nullptr;
QTemporaryDir* g_user_dir = nullptr;
QObject* g_scope = nullptr;
// The classes of start-up: a test that loads a macro leaves it in the
// classes and the toolboxes, as a session keeps it.
int g_startup_classes = 0;
}  // namespace

DUVirIdazididovi* ShellTest::app() { return g_app; }

QObject* ShellTest::scope() {
  if (!g_scope) g_scope = new QObject;
  return g_scope;
}

QStringList& ShellTest::messages() {
  static QStringList list;
  return list;
}

int& ShellTest::closeAnswer() {
  static int answer = QMessageBox::Discard;
  return answer;
}

int& ShellTest::closePrompts() {
  static int count = 0;
  return count;
}

void ShellTest::SetUpTestSuite() {
  if (!g_user_dir) g_user_dir = new QTemporaryDir;
  kelvo::lang::set_language_folders_for_testing(QStringLiteral(KELVO_SOURCE_RESOURCES "/languages"),
                                                g_user_dir->filePath("user"));
  kelvo::lang::follow_up_hooks().read_language_preference = [] { return QString(); };
  if (!g_app) {
    g_app = new DUVirIdazididovi;
    ASSERT_TRUE(g_app->init());
    KPDocument::installKernelHooks();
    g_app->applicationWillFinishLaunching();
    g_startup_classes = class_list_count();
    return;
  }
  // Tests of the language, the classes and the panels start from the
  // state of start-up and take down what they built; the application of
  // the shell tests then builds again, as its launch does, whatever of it
  // is gone.
  if (!NSKelvoLanguageStarter::sharedStarter()) {
    ASSERT_TRUE(g_app->startLanguage());
  }
  if (!class_list) {
    init_construct_classes();
    init_object_lists();
  }
  if (!cursors_loaded) {
    g_app->loadCursors();
    load_cursors();
  }
  if (!NSKelvoToolsPanel::exists() || !tool_menus) {
    stop_tools_palette();
    start_tools_palette();
  }
  // A test that quit the application hid the palette with its other
  // windows: the launch shows it.
  if (NSKelvoToolsPanel::sharedPanel()->isHidden()) NSKelvoToolsPanel::sharedPanel()->show();
  install_ambiguity_popup();
  set_tool_action_sink(nullptr);
  KPDocument::installKernelHooks();
}

void ShellTest::SetUp() {
  SetUpTestSuite();
  // The default attributes of the preferences, which the import of a
  // calculator figure changes for the rest of the run on purpose.
  init_default_attrs(nullptr);
  messages().clear();
  closeAnswer() = QMessageBox::Discard;
  closePrompts() = 0;
  KPDialog::setMessageBoxResponder([](const KPMessageBoxRequest& request) {
    messages() << QString::fromStdString(request.message);
    return 0;
  });
  KPDocument::setSavePanelResponder([](const QString& directory) { return directory + QStringLiteral("/saved.fig"); });
  KPDocument::setClosePromptResponder([](const QString&) {
    ++closePrompts();
    return closeAnswer();
  });
  KPDocument::setPrintPanelResponder([](QPrinter*) { return false; });  // never a modal panel
  // The page sheet goes straight on to the print panel.
  NSShowPageController::setSheetResponder([](NSShowPageController*) { return 1; });
}

void ShellTest::TearDown() {
  // Timers of the test go before what they would look at.
  delete g_scope;
  g_scope = nullptr;
  // A calculator the test opened would stay open over the next test's
  // figures: it closes with the test, telling the kernel as its close box
  // does.
  if (KPCalculatorPanel* calculator = calculator_panel(); calculator && calculator->isVisible()) calculator->close();
  closeAll();
  free_calculator_panel();
  spin(5);
  // The palette remembers in each toolbox the tool last shown there (the
  // calculator's, say); the next test starts from the first tools, as the
  // application does.
  if (NSKelvoToolsPanel::exists() && tool_menus) {
    NSKelvoToolsPanelView* palette = NSKelvoToolsPanel::sharedPanel()->view();
    for (menu** m = tool_menus; *m; ++m)
      if (NSGeoToolsMenu* button = palette->buttonFor(*m); button && button->getSelectedItemIndex() > 0)
        button->doSelect(1, false);
    palette->selectGeoToolByID(kPointerTool, false);
  }
  // The macros the test loaded go with the classes and the toolboxes that
  // show them; the next test's set-up builds those of start-up again.
  if (class_list && class_list_count() != g_startup_classes) take_down_tools_and_classes();
  KPDialog::setMessageBoxResponder({});
  KPDocument::setClosePromptResponder({});
  KPDocument::setSavePanelResponder({});
  KPDocument::setPrintPanelResponder({});
  NSShowPageController::setSheetResponder({});
}

void ShellTest::spin(int milliseconds) {
  QElapsedTimer timer;
  timer.start();
  while (timer.elapsed() < milliseconds) QApplication::processEvents(QEventLoop::AllEvents, 5);
}

bool ShellTest::waitForView(KPFigureView* view) {
  QElapsedTimer timer;
  timer.start();
  auto ready = [view] {
    return view && view->isPlaced() && current_figure_view == kp_hwnd(view) &&
           KPGeoDocument::currentInfo() == view->info();
  };
  while (!ready() && timer.elapsed() < 5000) QApplication::processEvents(QEventLoop::AllEvents, 5);
  spin(5);
  return ready();
}

void ShellTest::closeAll() {
  const std::vector<KPDocument*> documents = KPDocument::liveDocuments();
  for (KPDocument* doc : documents) doc->close();
  spin(5);
}

bool ShellTest::clickMenuItem(QMenuBar* bar, const QString& menu, const QString& item) {
  auto plain = [](QString text) { return text.remove(QLatin1Char('&')); };
  if (!bar || !bar->window()->windowHandle()) return false;
  QAction* title = nullptr;
  for (QAction* a : bar->actions())
    if (a->menu() && plain(a->text()) == menu) title = a;
  if (!title) return false;
  QPointer<QMenu> popup = title->menu();
  // The events go to the windows, as the window system delivers them.
  QWindow* window = bar->window()->windowHandle();
  const QPoint on_bar = bar->mapTo(bar->window(), bar->actionGeometry(title).center());
  QTest::mouseClick(window, Qt::LeftButton, {}, on_bar);
  spin(10);
  if (!popup || !popup->isVisible() || !popup->windowHandle()) return false;
  QAction* target = nullptr;
  for (QAction* a : popup->actions())
    if (!a->isSeparator() && plain(a->text()).startsWith(item)) target = a;
  if (!target || !target->isEnabled()) {
    popup->close();
    return false;
  }
  const QPoint at = popup->actionGeometry(target).center();
  QWindow* popup_window = popup->windowHandle();
  QTest::mouseMove(popup_window, at);
  spin(5);
  // The menu still handles its click after its command ran: a window that
  // the command closes (Close, Quit, Open over the untitled window) must
  // outlive the command. Qt's code is not checked by the sanitizer, so the
  // rule is checked here, by a slot that runs after the command's own.
  QPointer<QWidget> owner = bar->window();
  bool after_command = false;
  bool owner_gone = false;
  QObject guard;
  QObject::connect(target, &QAction::triggered, &guard, [&] {
    after_command = true;
    owner_gone = owner.isNull();
  });
  QTest::mouseClick(popup_window, Qt::LeftButton, {}, at);
  const bool deleted_by_command = owner_gone || (!after_command && owner.isNull());
  EXPECT_FALSE(deleted_by_command) << "the window was deleted inside its own menu's command";
  spin(10);
  return true;
}
