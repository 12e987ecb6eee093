#include "app/panels/page_layout_panel.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QVBoxLayout>
#include <cmath>

#include "kernel/text/kernel_strings.h"
#include "platform/kp_qt_bridge.h"
#include "platform/kp_run_loop.h"

namespace {

constexpr int kRowTitle = 803;
constexpr int kRowOk = 342;
constexpr int kRowCancel = 344;
constexpr int kRowPaper = 927;
constexpr int kRowOrientation = 928;
constexpr int kRowPortrait = 929;
constexpr int kRowLandscape = 930;
constexpr int kRowScale = 620;

QPointer<KPPageLayoutPanel> g_running;

QString text(int row) { return kp_qstring(kernel_string(row)); }

// The papers offered, the usual ones first.
constexpr QPageSize::PageSizeId kPapers[] = {QPageSize::A4,     QPageSize::Letter, QPageSize::Legal,
                                             QPageSize::A3,     QPageSize::A5,     QPageSize::B5,
                                             QPageSize::Tabloid, QPageSize::Executive};

}  // namespace

KPPageLayoutPanel::KPPageLayoutPanel(QWidget* parent) : QDialog(parent) {
  QString title = text(kRowTitle);
  if (title.endsWith(QStringLiteral("..."))) title.chop(3);
  else if (title.endsWith(QChar(0x2026))) title.chop(1);
  setWindowTitle(title);
  setModal(true);
  auto* layout = new QVBoxLayout(this);
  auto* form = new QFormLayout;
  paper_ = new QComboBox(this);
  for (QPageSize::PageSizeId id : kPapers) paper_->addItem(QPageSize::name(id), static_cast<int>(id));
  form->addRow(text(kRowPaper), paper_);
  auto* orientation = new QHBoxLayout;
  portrait_ = new QRadioButton(text(kRowPortrait), this);
  landscape_ = new QRadioButton(text(kRowLandscape), this);
  auto* group = new QButtonGroup(this);
  group->addButton(portrait_);
  group->addButton(landscape_);
  portrait_->setChecked(true);
  orientation->addWidget(portrait_);
  orientation->addWidget(landscape_);
  form->addRow(text(kRowOrientation), orientation);
  scale_ = new QSpinBox(this);
  scale_->setRange(1, 1000);
  scale_->setSuffix(QStringLiteral(" %"));
  scale_->setValue(100);
  form->addRow(text(kRowScale), scale_);
  layout->addLayout(form);
  auto* buttons = new QHBoxLayout;
  cancel_ = new QPushButton(text(kRowCancel), this);
  ok_ = new QPushButton(text(kRowOk), this);
  cancel_->setAutoDefault(false);
  ok_->setDefault(true);
  connect(cancel_, &QPushButton::clicked, this, &QDialog::reject);
  connect(ok_, &QPushButton::clicked, this, &QDialog::accept);
  buttons->addStretch(1);
  buttons->addWidget(cancel_);
  buttons->addWidget(ok_);
  layout->addLayout(buttons);
}

KPPageLayoutPanel* KPPageLayoutPanel::running() { return g_running; }

void KPPageLayoutPanel::setSettings(const KPPageSettings& settings) {
  int index = paper_->findData(static_cast<int>(settings.paper.id()));
  if (index < 0) {
    // A paper of the printer's own: offered too, as it is.
    otherPaper_ = settings.paper;
    paper_->addItem(settings.paper.name(), static_cast<int>(settings.paper.id()));
    index = paper_->count() - 1;
  }
  paper_->setCurrentIndex(index);
  (settings.landscape ? landscape_ : portrait_)->setChecked(true);
  scale_->setValue(static_cast<int>(std::lround(settings.scale * 100)));
}

KPPageSettings KPPageLayoutPanel::settings() const {
  KPPageSettings s;
  const auto id = static_cast<QPageSize::PageSizeId>(paper_->currentData().toInt());
  s.paper = otherPaper_.isValid() && id == otherPaper_.id() ? otherPaper_ : QPageSize(id);
  s.landscape = landscape_->isChecked();
  s.scale = scale_->value() / 100.0;
  return s;
}

bool KPPageLayoutPanel::run(QWidget* parent, KPPageSettings* settings) {
  if (!settings) return false;
  KPPageLayoutPanel panel(parent ? parent->window() : nullptr);
  panel.setSettings(*settings);
  g_running = &panel;
  int answer = QDialog::Rejected;
  {
    KPRunLoopModeScope modal(KPRunLoopMode::ModalPanel);
    answer = panel.exec();
  }
  g_running = nullptr;
  if (answer != QDialog::Accepted) return false;
  *settings = panel.settings();
  return true;
}
