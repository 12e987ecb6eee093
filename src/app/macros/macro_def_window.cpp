#include "app/macros/macro_def_window.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>
#include <cstring>

#include "app/panels/color_palette_panel.h"
#include "app/panels/small_dialogs.h"
#include "kernel/macros/macro_records.h"
#include "kernel/render/colors.h"
#include "kernel/text/kernel_strings.h"
#include "platform/kp_graf_port_simple.h"
#include "platform/kp_qt_bridge.h"
#include "platform/kp_run_loop.h"
#include "platform/mac_roman_qt.h"

namespace {

std::function<void(KPMacroDefWindow*)>& script_slot() {
  static std::function<void(KPMacroDefWindow*)> s;
  return s;
}
std::function<int(bool, bool)>& conflict_slot() {
  static std::function<int(bool, bool)> s;
  return s;
}
std::function<bool(const char*)>& password_slot() {
  static std::function<bool(const char*)> s;
  return s;
}

QString text(int row) { return kp_qstring(kernel_string(row)); }

// 0x00RRGGBB of a default-palette index, as the port's 0x00BBGGRR.
uint32_t port_color(int index) {
  const uint32_t rgb = palette16_color(index);
  return ((rgb & 0xFF) << 16) | (rgb & 0xFF00) | ((rgb >> 16) & 0xFF);
}

// The zoomed editor of the 16x16 or the 32x32 image: 4-pixel cells at a
// pitch of 5 on a light grey grid.
class KPMacroImageView : public QWidget {
 public:
  KPMacroImageView(int grid, KPMacroDefWindow* owner) : QWidget(owner), grid_(grid), owner_(owner) {
    setFixedSize(grid * 5 + 1, grid * 5 + 1);
  }

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter painter(this);
    const tagRECT frame{0, 0, width(), height()};
    KPGrafPortSimple port(&painter, frame);
    port.setBrush(port_color(12));  // light grey
    port.fillRect(frame);
    for (int j = 0; j < grid_; ++j)
      for (int i = 0; i < grid_; ++i) {
        port.setBrush(port_color(icon_pixel_get(i, j, grid_)));
        port.fillRect(tagRECT{1 + 5 * i, 1 + 5 * j, 5 + 5 * i, 5 + 5 * j});
      }
  }
  void mousePressEvent(QMouseEvent* e) override { send(513, e); }
  void mouseMoveEvent(QMouseEvent* e) override {
    if (e->buttons() & Qt::LeftButton) send(512, e);
  }
  void mouseReleaseEvent(QMouseEvent* e) override { send(514, e); }

 private:
  void send(unsigned message, QMouseEvent* e) {
    const QPoint p = e->position().toPoint();
    if (macro_icon_editor_mouse(message, p.x(), p.y(), grid_)) owner_->refreshIcons();
  }
  int grid_;
  KPMacroDefWindow* owner_;
};

// The icon at its real size.
class KPMacroIconPreview : public QWidget {
 public:
  KPMacroIconPreview(int size, QWidget* parent) : QWidget(parent), size_(size) { setFixedSize(size + 2, size + 2); }

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter painter(this);
    KPGrafPortSimple port(&painter, tagRECT{0, 0, width(), height()});
    port.setBrush(port_color(14));
    port.frameRect(tagRECT{0, 0, width(), height()});
    for (int y = 0; y < size_; ++y)
      for (int x = 0; x < size_; ++x) {
        port.setBrush(port_color(icon_pixel_get(x, y, size_)));
        port.fillRect(tagRECT{1 + x, 1 + y, 2 + x, 2 + y});
      }
  }

 private:
  int size_;
};

// The pen colours: the sixteen colours of the icons in a row of swatches.
class KPPaletteView : public QWidget {
 public:
  explicit KPPaletteView(KPMacroDefWindow* owner) : QWidget(owner), owner_(owner) { setFixedSize(16 * 12 + 1, 13); }

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter painter(this);
    KPGrafPortSimple port(&painter, tagRECT{0, 0, width(), height()});
    for (int i = 0; i < 16; ++i) {
      port.setBrush(port_color(i == macro_pen_color ? 15 : 13));
      port.frameRect(tagRECT{12 * i, 0, 12 * i + 13, 13});
      port.setBrush(port_color(i));
      port.fillRect(tagRECT{12 * i + 2, 2, 12 * i + 11, 11});
    }
  }
  void mousePressEvent(QMouseEvent* e) override {
    const int index = static_cast<int>(e->position().x()) / 12;
    if (index >= 0 && index < 16) owner_->setPenColor(index);
  }

 private:
  KPMacroDefWindow* owner_;
};

// The icon chooser's view: the icons at a pitch of 19 from (1, 1), the
// chosen one framed in black.
class KPMacroChoosView : public QWidget {
 public:
  explicit KPMacroChoosView(QWidget* parent) : QWidget(parent), icons_(macro_chooser_icons()) {
    const int rows = (static_cast<int>(icons_.size()) + kPerRow - 1) / kPerRow;
    setFixedSize(kPerRow * 19 + 2, rows * 19 + 2);
  }
  int selected() const { return selected_; }
  std::function<void(const uint8_t*)> chosen;

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter painter(this);
    KPGrafPortSimple port(&painter, tagRECT{0, 0, width(), height()});
    for (int i = 0; i < static_cast<int>(icons_.size()); ++i) {
      const int x = 1 + 19 * (i % kPerRow) + 2, y = 1 + 19 * (i / kPerRow) + 2;
      port.setBrush(port_color(i + 1 == selected_ ? 15 : 12));
      port.frameRect(tagRECT{x - 1, y - 1, x + 17, y + 17});
      for (int py = 0; py < 16; ++py)
        for (int px = 0; px < 16; ++px) {
          port.setBrush(port_color(icons_[static_cast<size_t>(i)][16 * py + px] & 15));
          port.fillRect(tagRECT{x + px, y + py, x + px + 1, y + py + 1});
        }
    }
  }
  void mousePressEvent(QMouseEvent* e) override {
    const QPoint p = e->position().toPoint();
    const int index = (p.y() / 19) * kPerRow + p.x() / 19 + 1;
    if (index < 1 || index > static_cast<int>(icons_.size()) || index == selected_) return;
    selected_ = index;
    if (chosen) chosen(icons_[static_cast<size_t>(index - 1)]);
    update();
  }

 private:
  static constexpr int kPerRow = 8;
  std::vector<const uint8_t*> icons_;
  int selected_ = 0;
};

int run_window(macro_dialog_texts* out) {
  KPMacroDefWindow window;
  if (script_slot()) {
    KPMacroDefWindow* w = &window;
    QTimer::singleShot(0, w, [w] {
      if (script_slot()) script_slot()(w);
    });
  }
  int result = 0;
  {
    KPRunLoopModeScope scope(KPRunLoopMode::ModalPanel);
    result = window.exec();
  }
  if (result != QDialog::Accepted) return 2;
  *out = window.texts();
  return 1;
}

int ask_conflict(bool replace, bool add) {
  if (conflict_slot()) return conflict_slot()(replace, add);
  QMessageBox box(QMessageBox::Information, text(676), text(684));
  box.setInformativeText(text(687));
  QPushButton* replace_button = box.addButton(text(686), QMessageBox::AcceptRole);
  QPushButton* add_button = box.addButton(text(685), QMessageBox::ActionRole);
  QPushButton* cancel = box.addButton(text(344), QMessageBox::RejectRole);
  replace_button->setEnabled(replace);
  add_button->setEnabled(add);
  box.setDefaultButton(cancel);
  {
    KPRunLoopModeScope scope(KPRunLoopMode::ModalPanel);
    box.exec();
  }
  if (box.clickedButton() == replace_button) return kConflictReplace;
  if (box.clickedButton() == add_button) return kConflictAddMethod;
  return 2;
}

bool ask_password(const char* password) {
  if (password_slot()) return password_slot()(password);
  return NSPassWordWindowController::validate(password, 0);
}

// The colour of the sixteen of the icons nearest to a colour word.
int nearest_icon_color(uint32_t word) {
  int best = 0;
  long best_distance = -1;
  for (int i = 0; i < 16; ++i) {
    const uint32_t c = palette16_color(i);
    long d = 0;
    for (int shift = 0; shift < 24; shift += 8) {
      const long delta = static_cast<long>((c >> shift) & 0xFF) - static_cast<long>((word >> shift) & 0xFF);
      d += delta * delta;
    }
    if (best_distance < 0 || d < best_distance) {
      best = i;
      best_distance = d;
    }
  }
  return best;
}

}  // namespace

KPMacroDefWindow::KPMacroDefWindow(QWidget* parent) : QDialog(parent) {
  setWindowTitle(text(676));
  setModal(true);
  name_ = new QComboBox(this);
  name_->setEditable(true);
  name_->setInsertPolicy(QComboBox::NoInsert);
  short_name_ = new QLineEdit(this);
  help_ = new QLineEdit(this);
  password_ = new QLineEdit(this);
  password_->setEchoMode(QLineEdit::Password);
  option_ = new QCheckBox(text(550), this);
  editor16_ = new KPMacroImageView(16, this);
  editor32_ = new KPMacroImageView(32, this);
  preview16_ = new KPMacroIconPreview(16, this);
  preview32_ = new KPMacroIconPreview(32, this);
  palette_ = new KPPaletteView(this);
  pen_ = new QPushButton(this);
  pen_->setFixedSize(24, 24);
  erase_ = new QPushButton(text(912), this);
  idea_ = new QPushButton(text(913), this);
  duplicate_ = new QPushButton(QStringLiteral("16 \u2192 32"), this);
  choose_ = new QPushButton(text(556), this);
  ok_ = new QPushButton(text(342), this);
  cancel_ = new QPushButton(text(344), this);
  ok_->setDefault(true);

  auto* form = new QFormLayout;
  form->addRow(text(679), name_);
  form->addRow(QString(), short_name_);
  form->addRow(text(680), help_);
  form->addRow(text(681), password_);
  form->addRow(QString(), option_);
  auto* icons = new QHBoxLayout;
  icons->addWidget(editor16_, 0, Qt::AlignTop);
  icons->addWidget(editor32_, 0, Qt::AlignTop);
  auto* side = new QVBoxLayout;
  side->addWidget(preview16_);
  side->addWidget(preview32_);
  side->addWidget(pen_);
  side->addWidget(erase_);
  side->addWidget(idea_);
  side->addWidget(duplicate_);
  side->addWidget(choose_);
  side->addStretch();
  icons->addLayout(side);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(cancel_);
  buttons->addWidget(ok_);
  auto* main = new QVBoxLayout(this);
  main->addLayout(form);
  main->addWidget(new QLabel(text(682), this));
  main->addLayout(icons);
  main->addWidget(palette_);
  main->addLayout(buttons);

  for (const std::string& n : macro_dialog_names()) name_->addItem(kp_qstring(n.c_str()));
  name_->addItem(kp_qstring(proposed_macro_name().c_str()));
  name_->setCurrentIndex(name_->count() - 1);
  setPenColor(macro_pen_color);

  connect(name_, &QComboBox::activated, this, &KPMacroDefWindow::nameChosen);
  connect(ok_, &QPushButton::clicked, this, &QDialog::accept);
  connect(cancel_, &QPushButton::clicked, this, &QDialog::reject);
  connect(erase_, &QPushButton::clicked, this, [this] {
    erase_macro_icon();
    refreshIcons();
  });
  connect(idea_, &QPushButton::clicked, this, [this] {
    refreshIcons();
    raise();
  });
  connect(choose_, &QPushButton::clicked, this, &KPMacroDefWindow::chooseIcon);
  // The pen button opens the colour choice: the icon takes the nearest of
  // its sixteen colours.
  connect(pen_, &QPushButton::clicked, this, [this] {
    uint8_t cell = static_cast<uint8_t>(color_index_by_value(palette16_color(macro_pen_color)));
    if (run_color_choice(this, &cell)) setPenColor(nearest_icon_color(color_by_index(cell)));
  });
  connect(duplicate_, &QPushButton::clicked, this, [this] {
    double_icon(macro_working_icon);
    refreshIcons();
  });
}

macro_dialog_texts KPMacroDefWindow::texts() const {
  macro_dialog_texts t;
  t.name = qstring_to_mac_roman(name_->currentText());
  t.short_name = qstring_to_mac_roman(short_name_->text());
  t.help = qstring_to_mac_roman(help_->text());
  t.password = qstring_to_mac_roman(password_->text());
  t.option = option_->isChecked();
  return t;
}

void KPMacroDefWindow::refreshIcons() {
  for (QWidget* w : {editor16_, editor32_, preview16_, preview32_}) w->update();
}

void KPMacroDefWindow::setPenColor(int index) {
  macro_pen_color = static_cast<uint8_t>(index & 15);
  const uint32_t rgb = palette16_color(macro_pen_color);
  pen_->setStyleSheet(QStringLiteral("background-color: #%1").arg(rgb & 0xFFFFFF, 6, 16, QLatin1Char('0')));
  palette_->update();
}

void KPMacroDefWindow::nameChosen(int index) {
  std::string help, password, short_name;
  const std::string name = qstring_to_mac_roman(name_->itemText(index));
  if (!macro_dialog_load(name.c_str(), &help, &password, &short_name)) return;
  help_->setText(kp_qstring(help.c_str()));
  password_->setText(kp_qstring(password.c_str()));
  short_name_->setText(kp_qstring(short_name.c_str()));
  refreshIcons();
}

void KPMacroDefWindow::installKernelServices() {
  macro_dialog_hooks& hooks = macro_dialog_services();
  hooks.run = &run_window;
  hooks.ask_conflict = &ask_conflict;
  validate_macro_password = &ask_password;
}

void KPMacroDefWindow::setScript(std::function<void(KPMacroDefWindow*)> script) { script_slot() = std::move(script); }
void KPMacroDefWindow::setConflictResponder(std::function<int(bool, bool)> responder) {
  conflict_slot() = std::move(responder);
}
void KPMacroDefWindow::setPasswordResponder(std::function<bool(const char*)> responder) {
  password_slot() = std::move(responder);
}

void KPMacroDefWindow::chooseIcon() {
  // The chooser shows each pick at once; Cancel puts the icon back.
  uint8_t backup[kMacroIconSize];
  std::memcpy(backup, macro_working_icon, kMacroIconSize);
  QDialog chooser(this);
  chooser.setWindowTitle(text(556));
  auto* view = new KPMacroChoosView(&chooser);
  view->chosen = [this](const uint8_t* icon) {
    macro_choose_icon(icon);
    refreshIcons();
  };
  auto* ok = new QPushButton(text(342), &chooser);
  auto* cancel = new QPushButton(text(344), &chooser);
  connect(ok, &QPushButton::clicked, &chooser, &QDialog::accept);
  connect(cancel, &QPushButton::clicked, &chooser, &QDialog::reject);
  auto* layout = new QVBoxLayout(&chooser);
  layout->addWidget(view);
  auto* row = new QHBoxLayout;
  row->addStretch();
  row->addWidget(cancel);
  row->addWidget(ok);
  layout->addLayout(row);
  chooser_ = &chooser;
  int result = 0;
  {
    KPRunLoopModeScope scope(KPRunLoopMode::ModalPanel);
    result = chooser.exec();
  }
  chooser_ = nullptr;
  if (result != QDialog::Accepted) std::memcpy(macro_working_icon, backup, kMacroIconSize);
  refreshIcons();
}
