#include "platform/kp_file_accessories.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QGridLayout>
#include <QLabel>
#include <algorithm>

#include "kernel/text/kernel_strings.h"
#include "platform/kp_qt_bridge.h"

namespace {

constexpr int kMessageInit = 272;
constexpr int kMessageCommand = 273;
constexpr int kMessageNotify = 78;

QPointer<NSAccessorySaveOptions>& newest_save_accessory() {
  static QPointer<NSAccessorySaveOptions> accessory;
  return accessory;
}

// Frames are given with the origin at the bottom left of the view.
QRect flipped(const QWidget* view, int x, int y, int w, int h) { return {x, view->height() - y - h, w, h}; }

int tag_of(const QObject* sender) {
  int id = 0;
  return kp_item_id(sender, &id) ? id : 0;
}

int value_of(const QObject* sender) {
  if (auto* box = qobject_cast<const QAbstractButton*>(sender)) return box->isChecked() ? 1 : 0;
  if (auto* edit = qobject_cast<const QLineEdit*>(sender)) return edit->text().toInt();
  return 0;
}

QComboBox* kinds_pop_up(QWidget* parent, const std::vector<std::string>& titles) {
  auto* popup = new QComboBox(parent);
  for (const std::string& title : titles) popup->addItem(kp_qstring(title.c_str()));
  return popup;
}

}  // namespace

// ------------------------------------------------------------------ panel

KPFilePanel::~KPFilePanel() {
  detach();
  delete accessory_;
}

void KPFilePanel::setAllowedFileTypes(std::vector<std::string> types) {
  types_ = std::move(types);
  if (dialog_) {
    dialog_->setNameFilter(nameFilter());
    dialog_->setDefaultSuffix(types_.empty() ? QString() : QString::fromStdString(types_.front()));
  }
}

void KPFilePanel::setAccessoryView(QWidget* view) {
  if (accessory_ && accessory_ != view) delete accessory_;
  accessory_ = view;
}

std::string KPFilePanel::userEnteredFilename(const std::string& name, bool confirmed) {
  return delegate_ ? delegate_->panelUserEnteredFilename(name, confirmed) : name;
}

QString KPFilePanel::nameFilter() const {
  QStringList globs;
  for (const std::string& type : types_) globs << (type.empty() ? QStringLiteral("*") : "*." + QString::fromStdString(type));
  return globs.isEmpty() ? QStringLiteral("*") : globs.join(' ');
}

void KPFilePanel::attach(QFileDialog* dialog) {
  dialog_ = dialog;
  if (!dialog) return;
  // Only Qt's own dialog can take an accessory view.
  dialog->setOption(QFileDialog::DontUseNativeDialog, true);
  setAllowedFileTypes(types_);
  if (auto* grid = qobject_cast<QGridLayout*>(dialog->layout()); grid && accessory_)
    grid->addWidget(accessory_, grid->rowCount(), 0, 1, grid->columnCount());
}

void KPFilePanel::detach() {
  if (accessory_ && dialog_ && accessory_->parent() == dialog_) accessory_->setParent(nullptr);
  dialog_ = nullptr;
}

// --------------------------------------------------------- save options

NSAccessorySaveTextField::NSAccessorySaveTextField(QWidget* parent) : QLineEdit(parent) {
  setEchoMode(QLineEdit::Password);
  connect(this, &QLineEdit::textEdited, this, [this] { textDidChange(); });
}

int NSAccessorySaveTextField::enableWindow(bool enable) {
  const bool previous = isEnabled();
  setEnabled(enable);
  return previous ? 1 : 0;
}

void NSAccessorySaveTextField::textDidChange() { NSAccessorySaveOptions::saveOptionSelectorToNewest(this); }

NSAccessorySaveOptions::NSAccessorySaveOptions(const QRect& frame, KPFilePanel* panel,
                                               const std::vector<std::string>& titles,
                                               const std::vector<std::string>& extensions,
                                               KPDialogProcedure procedure)
    : sp_(panel), filters_(extensions), procedure_(procedure) {
  setGeometry(frame);
  setMinimumSize(frame.size());
  struct Box {
    int tag;
    QRect frame;
    bool second;
    bool on;
    const char* title;
  };
  const Box boxes[] = {
      {1222, flipped(this, 0, 40, 250, 20), true, false, ""},
      {1214, flipped(this, 0, 20, 250, 20), true, true, ""},
      {1207, flipped(this, 0, 0, 250, 20), false, false, ""},
      {2042, flipped(this, 250, 40, 166, 20), false, false, "Kelvo Duo (Format)"},
      {2045, flipped(this, 250, 20, 166, 20), false, false, nullptr},
  };
  // The format's own name stays; the other box says what it does in the
  // language (row 212).
  constexpr int kRowPcCompatible = 212;
  for (const Box& b : boxes) {
    auto* box = new QCheckBox(b.title ? QString::fromLatin1(b.title) : kp_qstring(kernel_string_or(kRowPcCompatible, "PC Compatible")),
                              this);
    box->setGeometry(b.frame);
    box->setChecked(b.on);
    kp_set_item_id(box, b.tag);
    connect(box, &QCheckBox::clicked, this, [this, box, second = b.second] {
      if (second)
        saveOptionSelector2(box);
      else
        saveOptionSelector(box);
    });
  }
  popup_ = kinds_pop_up(this, titles);
  QFont small = popup_->font();
  small.setPointSize(10);
  popup_->setFont(small);
  popup_->setGeometry(flipped(this, 416, 36, 122, 20));
  popup_->adjustSize();
  connect(popup_, &QComboBox::activated, this, [this](int index) { saveTypeSelector(index); });
  auto* label = new QLabel(this);
  label->setGeometry(flipped(this, 250, 0, 150, 20));
  label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  kp_set_item_id(label, 1190);
  auto* password = new NSAccessorySaveTextField(this);
  password->setGeometry(flipped(this, 400, 0, 100, 20));
  kp_set_item_id(password, 1103);
}

void NSAccessorySaveOptions::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  // The frames are fixed; a text longer than its frame gets a smaller font
  // (down to 7 points), so no text is cut or runs under its neighbour.
  for (QWidget* control : findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
    if (!qobject_cast<QCheckBox*>(control) && !qobject_cast<QLabel*>(control)) continue;
    QFont font = control->font();
    while (control->sizeHint().width() > control->width() && font.pointSizeF() > 7) {
      font.setPointSizeF(std::max(7.0, font.pointSizeF() - 0.5));
      control->setFont(font);
    }
  }
}

LRESULT NSAccessorySaveOptions::send(UINT message, WPARAM wparam, LPARAM lparam) {
  return procedure_ ? procedure_(kp_hwnd(this), message, wparam, lparam) : 0;
}

void NSAccessorySaveOptions::saveOptionSelector(QObject* sender) {
  send(kMessageCommand, static_cast<WPARAM>(tag_of(sender)), value_of(sender));
}

void NSAccessorySaveOptions::saveOptionSelector2(QObject* sender) {
  send(kMessageNotify, static_cast<WPARAM>(tag_of(sender)), value_of(sender));
}

void NSAccessorySaveOptions::saveOptionSelectorToNewest(QObject* sender) {
  if (NSAccessorySaveOptions* newest = newest_save_accessory()) newest->saveOptionSelector2(sender);
}

void NSAccessorySaveOptions::saveTypeSelector(int index) {
  if (sp_ && index >= 0 && static_cast<size_t>(index) < filters_.size()) sp_->setAllowedFileTypes({filters_[index]});
}

std::string NSAccessorySaveOptions::panelUserEnteredFilename(const std::string& name, bool confirmed) {
  if (confirmed) send(kMessageNotify, 0, 0);
  return name;
}

NSAccessorySaveOptions* save_accessory() { return newest_save_accessory(); }

NSAccessorySaveOptions* add_save_accessory(KPFilePanel* panel, const std::vector<std::string>& titles,
                                           const std::vector<std::string>& extensions,
                                           KPDialogProcedure procedure) {
  if (!panel) return nullptr;
  panel->setAllowedFileTypes(extensions);
  auto* accessory = new NSAccessorySaveOptions(QRect(0, 0, 500, 60), panel, titles, extensions, procedure);
  newest_save_accessory() = accessory;
  panel->setAccessoryView(accessory);
  panel->setDelegate(accessory);
  accessory->send(kMessageInit, 0, 0);
  return accessory;
}

// ------------------------------------------------------------ open filter

NSAccessoryOpenSaveFilter::NSAccessoryOpenSaveFilter(const QRect& frame, KPFilePanel* panel,
                                                     const std::vector<std::string>& titles,
                                                     const std::vector<std::string>& extensions,
                                                     OPENFILENAME* record)
    : OpenFileName_(record), sp_(panel), filters_(extensions) {
  setGeometry(frame);
  setMinimumSize(frame.size());
  popup_ = kinds_pop_up(this, titles);
  popup_->setGeometry(0, 0, frame.width(), frame.height());
  connect(popup_, &QComboBox::activated, this, [this](int index) { saveOptionSelector(index); });
}

void NSAccessoryOpenSaveFilter::saveOptionSelector(int index) {
  if (index < 0 || static_cast<size_t>(index) >= filters_.size()) return;
  if (sp_) sp_->setAllowedFileTypes({filters_[index]});
  if (OpenFileName_) OpenFileName_->nFilterIndex = static_cast<uint32_t>(index + 1);
}

NSAccessoryOpenSaveFilter* add_open_accessory(KPFilePanel* panel, OPENFILENAME* record,
                                              const std::vector<std::string>& titles,
                                              const std::vector<std::string>& extensions) {
  if (!panel || extensions.empty()) return nullptr;
  if (record) record->nFilterIndex = 1;
  panel->setAllowedFileTypes({extensions.front()});
  auto* accessory = new NSAccessoryOpenSaveFilter(QRect(0, 0, 200, 30), panel, titles, extensions, record);
  panel->setAccessoryView(accessory);
  return accessory;
}
