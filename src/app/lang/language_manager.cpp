#include "app/lang/language_manager.h"

#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QIcon>
#include <QMenu>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

#include "app/lang/kernel_string_fill.h"
#include "app/lang/language_starter.h"
#include "app/lang/language_switcher.h"
#include "app/lang/mac_roman_text.h"
#include "app/lang/resource_folders.h"
#include "kernel/text/kernel_strings.h"

namespace {
NSKelvoLanguageManager* default_manager = nullptr;

QString flag_image(const QString& name) {
  for (const QString& folder : kelvo::lang::language_folders())
    for (const char* ext : {".png", ".tif"}) {
      const QString path = folder + QLatin1Char('/') + name + QLatin1String(ext);
      if (QFileInfo(path).isFile()) return path;
    }
  return QString();
}
}  // namespace

NSKelvoLanguagesPanel::NSKelvoLanguagesPanel(QWidget* parent) : QDialog(parent) {
  setWindowModality(Qt::ApplicationModal);
  languageList_ = new QTableWidget(0, 2, this);
  languageList_->setSelectionBehavior(QAbstractItemView::SelectRows);
  languageList_->setSelectionMode(QAbstractItemView::SingleSelection);
  languageList_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  languageList_->verticalHeader()->hide();
  languageList_->horizontalHeader()->setStretchLastSection(true);
  plusButton_ = new QPushButton(QStringLiteral("+"), this);
  minusButton_ = new QPushButton(QStringLiteral("-"), this);
  minusButton_->setEnabled(false);
  chooseButton_ = new QPushButton(this);
  cancelButton_ = new QPushButton(this);
  auto* cancel = cancelButton_;
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(plusButton_);
  buttons->addWidget(minusButton_);
  buttons->addStretch();
  buttons->addWidget(cancel);
  buttons->addWidget(chooseButton_);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(languageList_);
  layout->addLayout(buttons);
  connect(chooseButton_, &QPushButton::clicked, this, &NSKelvoLanguagesPanel::selectLanguageFileInDialog);
  connect(languageList_, &QTableWidget::cellDoubleClicked, this, &NSKelvoLanguagesPanel::selectLanguageFileInDialog);
  connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
  update2();
}

void NSKelvoLanguagesPanel::update2() {
  // The panel lives across language changes: its texts are taken afresh.
  auto text = &NSKelvoLanguageSwitcherPair::stringWithPatternString;
  languageList_->setHorizontalHeaderLabels({text(QStringLiteral("[923](Flag)")), text(QStringLiteral("[924](Name)"))});
  chooseButton_->setText(text(QStringLiteral("[342](OK)")));
  cancelButton_->setText(text(QStringLiteral("[344](Cancel)")));
  NSKelvoLanguageStarter::scanResourcesForLanguageFiles();
  const QStringList& names = NSKelvoLanguageStarter::availableLanguages();
  languageList_->setRowCount(static_cast<int>(names.size()));
  for (int row = 0; row < names.size(); ++row) {
    auto* flag = new QTableWidgetItem;
    const QString image = flag_image(names[row]);
    if (!image.isEmpty()) flag->setIcon(QIcon(image));
    languageList_->setItem(row, 0, flag);
    languageList_->setItem(row, 1, new QTableWidgetItem(names[row]));
  }
}

NSKelvoLanguageManager::NSKelvoLanguageManager(QObject* parent) : QObject(parent) {
  default_manager = this;
  choose_language_file = [] {
    return QFileDialog::getOpenFileName(nullptr, QString(), QDir::homePath(), QStringLiteral("*.xcl"));
  };
}

NSKelvoLanguageManager::~NSKelvoLanguageManager() {
  if (default_manager == this) default_manager = nullptr;
  delete panel_;
}

NSKelvoLanguageManager* NSKelvoLanguageManager::defaultManager() { return default_manager; }

bool NSKelvoLanguageManager::populateLanguagesMenu(QMenu* menu) {
  if (menu == nullptr) return false;
  bool added = false;
  for (const QString& name : NSKelvoLanguageStarter::availableLanguages()) {
    QAction* item = menu->addAction(name);
    item->setEnabled(true);
    connect(item, &QAction::triggered, this, [this, item] { languageMenuItemSelected(item); });
    added = true;
  }
  return added;
}

bool NSKelvoLanguageManager::selectLanguageFileByName(const QString& name) {
  return NSKelvoLanguageStarter::loadLanguageFile(name);
}

void NSKelvoLanguageManager::languageMenuItemSelected(QAction* item) {
  if (item != nullptr && !item->text().isNull()) selectLanguageFileByName(item->text());
}

NSKelvoLanguagesPanel* NSKelvoLanguageManager::languagesPanel() {
  if (panel_ == nullptr) {
    panel_ = new NSKelvoLanguagesPanel;
    connect(panel_, &NSKelvoLanguagesPanel::selectLanguageFileInDialog, this,
            &NSKelvoLanguageManager::selectLanguageFileInDialog);
    connect(panel_->minusButton(), &QPushButton::clicked, this, &NSKelvoLanguageManager::minusButtonAction);
    connect(panel_->plusButton(), &QPushButton::clicked, this, &NSKelvoLanguageManager::plusButtonAction);
    connect(panel_->languageList(), &QTableWidget::itemSelectionChanged, this,
            &NSKelvoLanguageManager::tableViewSelectionDidChange);
  }
  return panel_;
}

void NSKelvoLanguageManager::openLanguageFileDialog() {
  if (select_pointer_tool) select_pointer_tool();
  NSKelvoLanguagesPanel* panel = languagesPanel();
  panel->update2();
  NSKelvoLanguageStarter::setSelectTheCurrentLanguage(panel->languageList());
  panel->exec();
}

void NSKelvoLanguageManager::selectLanguageFileInDialog() {
  NSKelvoLanguagesPanel* panel = languagesPanel();
  const int row = panel->languageList()->currentRow();
  const QStringList& names = NSKelvoLanguageStarter::availableLanguages();
  // Close first: the load may ask a question of its own.
  panel->minusButton()->setEnabled(false);
  panel->done(0);
  if (row >= 0 && row < names.size()) selectLanguageFileByName(names[row]);
}

void NSKelvoLanguageManager::exitLanguageFileDialog() {
  NSKelvoLanguagesPanel* panel = languagesPanel();
  panel->minusButton()->setEnabled(false);
  panel->done(0);
}

void NSKelvoLanguageManager::tableViewSelectionDidChange() {
  NSKelvoLanguagesPanel* panel = languagesPanel();
  const int row = panel->languageList()->currentRow();
  const QStringList& names = NSKelvoLanguageStarter::availableLanguages();
  const bool removable = row >= 0 && row < names.size() && names[row] != NSKelvoLanguageStarter::currentLanguage() &&
                         names[row] != kelvo::lang::kDefaultLanguage;
  panel->minusButton()->setEnabled(removable);
}

void NSKelvoLanguageManager::minusButtonAction() {
  NSKelvoLanguagesPanel* panel = languagesPanel();
  const int row = panel->languageList()->currentRow();
  if (row >= 0 && row < NSKelvoLanguageStarter::availableLanguages().size())
    NSKelvoLanguageStarter::removeLanguageAtIndex(row);
  panel->update2();
}

bool NSKelvoLanguageManager::addLanguageFile(const QString& source) {
  const QString folder = kelvo::lang::user_languages_folder();
  const QString destination = folder + QLatin1Char('/') + QFileInfo(source).fileName();
  QDir().mkpath(folder);
  if (QFile::exists(destination)) QFile::remove(destination);
  if (!QFile::copy(source, destination)) {
    auto& hooks = kelvo::lang::follow_up_hooks();
    if (hooks.message_box)
      hooks.message_box(folder + QLatin1Char(' ') + kelvo::lang::from_mac_roman(kernel_string(299)),
                        kelvo::lang::from_mac_roman(kernel_string(lang_row::app_title)), 2);
    return false;
  }
  if (panel_ != nullptr) panel_->update2();
  return true;
}

void NSKelvoLanguageManager::plusButtonAction() {
  const QString source = choose_language_file ? choose_language_file() : QString();
  if (!source.isEmpty()) addLanguageFile(source);
}
