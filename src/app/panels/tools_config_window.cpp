#include "app/panels/tools_config_window.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/document/kp_document.h"
#include "app/lang/language_switcher.h"
#include "kernel/window/figure_events.h"
#include "app/panels/tool_menu_services.h"
#include "app/panels/tools_palette.h"
#include "app/shell/figure_window.h"
#include "kernel/files/menus_file.h"
#include "kernel/files/text_family.h"
#include "kernel/macros/macro_def.h"
#include "kernel/prefs/default_attrs.h"
#include "kernel/tools/tool_dispatch.h"
#include "kernel/tools/tool_hooks.h"
#include "kernel/tools/toolbox.h"
#include "kernel/window/main_commands.h"

uint8_t config_save_on_exit = 0;

namespace {

NSToolsWindowController* g_controller = nullptr;
constexpr int kToolMenuFileKind = 3;

NSKelvoToolsPanelView* palette_view() {
  return NSKelvoToolsPanel::exists() ? NSKelvoToolsPanel::sharedPanel()->view() : nullptr;
}

void rebuild_bars() {
  if (NSKelvoToolsPanelView* v = palette_view()) v->createToolsAndAttribsBars();
}

}  // namespace

NSToolsWindowController* NSToolsWindowController::shared() {
  if (!g_controller) g_controller = new NSToolsWindowController();
  return g_controller;
}

void NSToolsWindowController::destroy() {
  delete g_controller;
  g_controller = nullptr;
}

NSToolsWindowController::NSToolsWindowController() : QDialog(nullptr, Qt::Tool | Qt::WindowStaysOnTopHint) {
  // The window floats above the figure windows: while it is open they take
  // no menu command and no click, so it must never end up behind them.
  setWindowTitle(QStringLiteral("[904](Toolbox Configuration)"));
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(new QLabel(QStringLiteral("[906](Drag tools between toolboxes, or into the Trash.)"), this));
  auto* pw = new QHBoxLayout;
  pw->addWidget(new QLabel(QStringLiteral("[907](Password:)"), this));
  definePassword_ = new QLineEdit(this);
  definePassword_->setEchoMode(QLineEdit::Password);
  pw->addWidget(definePassword_);
  layout->addLayout(pw);
  saveBox_ = new QCheckBox(QStringLiteral("[908](Save the configuration)"), this);
  layout->addWidget(saveBox_);
  auto* buttons = new QHBoxLayout;
  revert_ = new QPushButton(QStringLiteral("[909](Revert)"), this);
  cancel_ = new QPushButton(QStringLiteral("[344](Cancel)"), this);
  ok_ = new QPushButton(QStringLiteral("[342](OK)"), this);
  ok_->setDefault(true);
  buttons->addWidget(revert_);
  buttons->addStretch(1);
  buttons->addWidget(cancel_);
  buttons->addWidget(ok_);
  layout->addLayout(buttons);
  connect(ok_, &QPushButton::clicked, this, [this] { iconOrganizerCommand(kOk); });
  connect(cancel_, &QPushButton::clicked, this, [this] { iconOrganizerCommand(kCancel); });
  connect(revert_, &QPushButton::clicked, this, [this] { iconOrganizerCommand(kRevert); });
  connect(saveBox_, &QCheckBox::toggled, this, [this] { iconOrganizerCommand(kSaveConfig); });

  passwordSheet_ = new QDialog(this);
  passwordSheet_->setWindowTitle(QStringLiteral("[910](Password)"));
  auto* sheet = new QVBoxLayout(passwordSheet_);
  sheet->addWidget(new QLabel(QStringLiteral("[911](Type the password of the configuration:)"), passwordSheet_));
  enterPassword_ = new QLineEdit(passwordSheet_);
  enterPassword_->setEchoMode(QLineEdit::Password);
  sheet->addWidget(enterPassword_);
  auto* sheet_buttons = new QHBoxLayout;
  passwordCancel_ = new QPushButton(QStringLiteral("[344](Cancel)"), passwordSheet_);
  passwordOk_ = new QPushButton(QStringLiteral("[342](OK)"), passwordSheet_);
  // Return in the field is OK, as in any dialog; Cancel never takes it.
  passwordCancel_->setAutoDefault(false);
  passwordOk_->setDefault(true);
  sheet_buttons->addStretch(1);
  sheet_buttons->addWidget(passwordCancel_);
  sheet_buttons->addWidget(passwordOk_);
  sheet->addLayout(sheet_buttons);
  connect(passwordOk_, &QPushButton::clicked, this, [this] { iconOrganizerCommand(kPasswordOk); });
  connect(passwordCancel_, &QPushButton::clicked, this, [this] { iconOrganizerCommand(kPasswordCancel); });
  // Escape or the window's close box on the prompt is its Cancel.
  connect(passwordSheet_, &QDialog::rejected, this, [this] { iconOrganizerCommand(kPasswordCancel); });

  // The window and its prompt follow the language.
  auto* texts = new NSKelvoLanguageSwitcherView(this);
  texts->hide();
  texts->addPairForWindowTitle(this);
  texts->addPairForWindowTitle(passwordSheet_);
  texts->addPairForView(this);
  texts->followLanguage();
}

QPushButton* NSToolsWindowController::button(int tag) const {
  switch (tag) {
    case kOk:
      return ok_;
    case kCancel:
      return cancel_;
    case kRevert:
      return revert_;
    case kPasswordOk:
      return passwordOk_;
    case kPasswordCancel:
      return passwordCancel_;
    default:
      return nullptr;
  }
}

void NSToolsWindowController::enableMainMenus(bool enable) {
  for (KPDocument* doc : KPDocument::liveDocuments()) {
    KPFigureWindow* window = doc ? doc->figureWindow() : nullptr;
    if (!window || !window->menuBar()) continue;
    for (QAction* a : window->menuBar()->actions())
      if (a->menu()) a->setEnabled(enable);
  }
}

void NSToolsWindowController::enterReorganizeIcons() {
  if (config_mode) return;
  config_save_on_exit = 0;
  definePassword_->setText(hasPassword_ ? password_ : QString());
  enterPassword_->clear();
  if (checkPassword()) {
    activateToolsDialog();
  } else {
    hide();
  }
  enableMainMenus(false);
}

bool NSToolsWindowController::checkPassword() {
  if (!passwordProtection_) return true;
  passwordSheet_->setWindowModality(Qt::ApplicationModal);
  passwordSheet_->show();
  passwordSheet_->raise();
  passwordSheet_->activateWindow();
  // The prompt opens ready for typing.
  enterPassword_->setFocus(Qt::OtherFocusReason);
  return false;
}

void NSToolsWindowController::placeTrash() {
  if (!trash_toolbox) return;
  append_toolbox(trash_toolbox);
  trash_toolbox->pos_a = NSKelvoToolsPanelView::getDesktopRect().width() - 2 * toolbar_icon_size - 24;
}

void NSToolsWindowController::activateToolsDialog() {
  // Entered once: a second entry would put the Trash on the toolbar twice
  // and take the arrangement with it as the one to go back to.
  if (config_mode) {
    show();
    raise();
    return;
  }
  show();
  raise();
  activateWindow();
  config_mode = 1;
  restoreAttributeWindow_ = false;
  NSKelvoToolsPanelView* view = palette_view();
  if (attrib_palette_window && view) {
    if (tool_services().update_attrib_palette_menu_text) tool_services().update_attrib_palette_menu_text();
    view->setSideBarVisibility(false);
    restoreAttributeWindow_ = true;
  }
  placeTrash();
  txt_write_menus_file(0);
  backup_.assign(file_buffer ? file_buffer : "", file_buffer ? file_buffer_len : 0);
  free_file_image();
  rebuild_bars();
}

void NSToolsWindowController::resetConfiguration(bool cancel) {
  // The records a drag under way points into are about to be replaced.
  if (NSKelvoToolsPanelView* v = palette_view()) v->cancelToolDrag();
  // The image begins with the file's header line; the description follows
  // the line breaks after it.
  size_t start = backup_.find_first_of("\r\n");
  if (start == std::string::npos) start = backup_.size();
  while (start < backup_.size() && (backup_[start] == '\r' || backup_[start] == '\n')) ++start;
  const std::string rest = backup_.substr(start);
  txt_read_menu_description(rest.c_str(), static_cast<uint32_t>(rest.size()), 1);
  if (!cancel) placeTrash();
}

void NSToolsWindowController::setPassword() {
  password_ = definePassword_->text();
  hasPassword_ = true;
  passwordProtection_ = !password_.isEmpty();
}

void NSToolsWindowController::iconOrganizerCommand(int tag) {
  switch (tag) {
    case kOk: {
      setPassword();
      config_save_on_exit = saveConfig_ ? 1 : 0;
      for_each_figure_window();
      icon_organizer_command();
      int n = 0;
      while (tool_menus && tool_menus[n]) ++n;
      if (n > 0 && tool_menus[n - 1] == trash_toolbox) tool_menus[n - 1] = nullptr;
      exitReorganizeIcons();
      if (config_save_on_exit && tool_services().save_file_as_dialog)
        tool_services().save_file_as_dialog(kToolMenuFileKind, nullptr);
      break;
    }
    case kCancel:
      resetConfiguration(true);
      exitReorganizeIcons();
      break;
    case kSaveConfig:
      saveConfig_ = saveBox_->isChecked();
      break;
    case kRevert:
      resetConfiguration(false);
      rebuild_bars();
      break;
    case kPasswordOk:
      if (!passwordSheet_->isVisible()) break;
      if (enterPassword_->text() == password_) {
        passwordSheet_->hide();
        activateToolsDialog();
      } else {
        enterPassword_->clear();
      }
      break;
    case kPasswordCancel:
      exitReorganizeIcons();
      passwordSheet_->hide();
      break;
    default:
      break;
  }
}

void NSToolsWindowController::exitReorganizeIcons() {
  if (NSKelvoToolsPanelView* v = palette_view()) v->cancelToolDrag();
  config_mode = 0;
  leaving_ = true;
  hide();
  leaving_ = false;
  if (restoreAttributeWindow_) {
    if (NSKelvoToolsPanelView* view = palette_view()) view->setSideBarVisibility(true);
    restoreAttributeWindow_ = false;
  }
  backup_.clear();
  backup_.shrink_to_fit();
  // The Trash shows only during configuration.
  int n = 0;
  while (tool_menus && tool_menus[n]) ++n;
  if (n > 0 && tool_menus[n - 1] == trash_toolbox) tool_menus[n - 1] = nullptr;
  rebuild_bars();
  select_tool(0);
  enableMainMenus(true);
}

void NSToolsWindowController::reject() {
  // Escape is Cancel: leaving the window any other way would keep the
  // configuration mode without the window that ends it.
  if (config_mode && !leaving_) {
    iconOrganizerCommand(kCancel);
    return;
  }
  QDialog::reject();
}

void NSToolsWindowController::closeEvent(QCloseEvent* e) {
  // Closing the window is a Cancel.
  if (config_mode && !leaving_) {
    e->ignore();
    iconOrganizerCommand(kCancel);
    return;
  }
  e->accept();
}
