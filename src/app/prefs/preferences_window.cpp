#include "app/prefs/preferences_window.h"

#include <QCheckBox>
#include <QColorDialog>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFontDialog>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTimer>
#include <QVBoxLayout>
#include <memory>
#include <vector>

#include "app/lang/language_switcher.h"
#include "app/panels/dialog_icons.h"
#include "kernel/prefs/dialog_controls.h"
#include "kernel/prefs/prefs_dialog.h"
#include "kernel/prefs/preferences.h"
#include "platform/ns_kelvo_text_editor.h"
#include "platform/kelvo_wrap_machine.h"
#include "platform/kp_color_well.h"
#include "platform/kp_dialog_panel.h"
#include "platform/kp_font_qt.h"
#include "platform/kp_gdi_objects.h"
#include "platform/kp_qt_bridge.h"

namespace {

// The rows of the kinds' names, in the order of the kinds.
constexpr int kRowGraphicKinds = 603;
constexpr int kRowTextKinds = 613;

std::function<void(QDialog*)>& observer() {
  static std::function<void(QDialog*)> f;
  return f;
}

std::function<bool(QFont*)>& font_chooser() {
  static std::function<bool(QFont*)> f;
  return f;
}

LRESULT window_procedure(HWND window, UINT message, WPARAM wparam, LPARAM) {
  if (message != WM_COMMAND) return 0;
  switch (static_cast<int>(wparam & 0xFFFF)) {
    case IDOK:
      prefs_ok(window);
      return 1;
    case kPrefExportButton:
      export_preferences(nullptr);
      return 1;
    default:
      return 0;
  }
}

void send_command(QWidget* page, int id) {
  NSKelvoWrapMachine::sendMessage(kp_hwnd(page), WM_COMMAND, static_cast<WPARAM>(id), 0);
}

// Controls that tell their page of each change the user makes.
QComboBox* popup(QWidget* page, int id, const QStringList& items) {
  auto* box = new QComboBox(page);
  box->addItems(items);
  kp_set_item_id(box, id);
  QObject::connect(box, &QComboBox::activated, page, [page, id] { send_command(page, id); });
  return box;
}

QCheckBox* check(QWidget* page, int id, const QString& text) {
  auto* box = new QCheckBox(text, page);
  kp_set_item_id(box, id);
  QObject::connect(box, &QCheckBox::clicked, page, [page, id] { send_command(page, id); });
  return box;
}

QPushButton* button(QWidget* page, int id, const QString& text) {
  auto* b = new QPushButton(text, page);
  kp_set_item_id(b, id);
  QObject::connect(b, &QPushButton::clicked, page, [page, id] { send_command(page, id); });
  return b;
}

// A colour well: a button whose face is its colour, framed.
class SwatchWell : public QPushButton {
 public:
  using QPushButton::QPushButton;

 protected:
  void paintEvent(QPaintEvent* event) override {
    QPushButton::paintEvent(event);
    QPainter painter(this);
    draw_color_swatch(painter, rect().adjusted(6, 5, -6, -5), kp_well_color(kp_hwnd(this)));
  }
};

// The shape pop-up: its items are the icons the page gives it.
NSIconPopUpButton* icon_popup(QWidget* page, int id) {
  auto* popup = new NSIconPopUpButton(page);
  popup->setFixedWidth(64);
  kp_set_item_id(popup, id);
  QObject::connect(popup, &NSIconPopUpButton::activated, page, [page, id] { send_command(page, id); });
  return popup;
}

QPushButton* color_well(QWidget* page, int id) {
  auto* well = new SwatchWell(page);
  well->setFixedWidth(48);
  kp_set_item_id(well, id);
  QObject::connect(well, &QPushButton::clicked, page, [page, well, id] {
    const QColor chosen = QColorDialog::getColor(well->palette().button().color(), page);
    if (!chosen.isValid()) return;
    kp_set_well_color(kp_hwnd(well),
                      static_cast<uint32_t>((chosen.red() << 16) | (chosen.green() << 8) | chosen.blue()));
    send_command(page, id);
  });
  return well;
}

// A font button: the font chosen goes to the page with the command, and
// the page gives the button its title.
QPushButton* font_button(QWidget* page, int id) {
  auto* b = new QPushButton(page);
  kp_set_item_id(b, id);
  QObject::connect(b, &QPushButton::clicked, page, [page, id] {
    QFont font;
    bool chosen = false;
    if (font_chooser()) {
      chosen = font_chooser()(&font);
    } else {
      // The panel chooses a style's font here: the text editor's script
      // buttons have no text to act on.
      NSKelvoTextEditor::setFontPanelAccessories(true);
      font = QFontDialog::getFont(&chosen, QFont(), page);
      NSKelvoTextEditor::setFontPanelAccessories(false);
    }
    if (!chosen) return;
    std::unique_ptr<KPFont> kernel_font(kp_font_from_qfont(font));
    NSKelvoWrapMachine::sendMessage(kp_hwnd(page), WM_COMMAND, static_cast<WPARAM>(id),
                                    reinterpret_cast<LPARAM>(kernel_font.get()));
  });
  return b;
}

// The smart line length: a number typed, sent when the field is left.
QLineEdit* length_field(QWidget* page, int id) {
  auto* field = new QLineEdit(page);
  kp_set_item_id(field, id);
  QObject::connect(field, &QLineEdit::editingFinished, page, [page, id] { send_command(page, id); });
  return field;
}

// The buttons the pages share: where Apply goes, Apply, factory settings.
void add_common_buttons(QWidget* page, QVBoxLayout* layout) {
  auto* row = new QHBoxLayout;
  auto* new_objects = new QRadioButton(QStringLiteral("[857](New objects)"), page);
  auto* selection = new QRadioButton(QStringLiteral("[858](Selection)"), page);
  kp_set_item_id(new_objects, kPrefNewObjectsChoice);
  kp_set_item_id(selection, kPrefSelectionChoice);
  QObject::connect(new_objects, &QRadioButton::clicked, page, [page] { send_command(page, kPrefNewObjectsChoice); });
  QObject::connect(selection, &QRadioButton::clicked, page, [page] { send_command(page, kPrefSelectionChoice); });
  row->addWidget(new_objects);
  row->addWidget(selection);
  row->addStretch();
  row->addWidget(button(page, kPrefFactoryButton, QStringLiteral("[859](Factory Settings)")));
  row->addWidget(button(page, kPrefApplyButton, QStringLiteral("[860](Apply)")));
  layout->addStretch();
  layout->addLayout(row);
}

QWidget* precision_page() {
  auto* page = new QWidget;
  auto* layout = new QVBoxLayout(page);
  auto* form = new QFormLayout;
  const QStringList decimals = {"0", "1", "2", "3", "4", "10"};
  form->addRow(QStringLiteral("[861](Length decimals)"), popup(page, kPrefLengthDecimals, decimals));
  form->addRow(QStringLiteral("[862](Angle decimals)"), popup(page, kPrefAngleDecimals, decimals));
  form->addRow(QStringLiteral("[863](Other decimals)"), popup(page, kPrefOtherDecimals, decimals));
  form->addRow(QStringLiteral("[864](Length unit)"),
               popup(page, kPrefLengthUnit, {"[30](mm)", "[31](cm)", "[32](m)", "[33](km)"}));
  form->addRow(QStringLiteral("[865](Angle unit)"),
               popup(page, kPrefAngleUnit, {"[28](Degree)", "[29](Grad)", "[27](Radian)"}));
  layout->addLayout(form);
  add_common_buttons(page, layout);
  return page;
}

QWidget* locus_page() {
  auto* page = new QWidget;
  auto* layout = new QVBoxLayout(page);
  auto* form = new QFormLayout;
  auto* count = new QLineEdit(page);
  kp_set_item_id(count, kPrefLocusCount);
  QObject::connect(count, &QLineEdit::editingFinished, page, [page] { send_command(page, kPrefLocusCount); });
  form->addRow(QStringLiteral("[866](Number of objects)"), count);
  layout->addLayout(form);
  layout->addWidget(check(page, kPrefLinkPoints, QStringLiteral("[867](Link points)")));
  layout->addWidget(check(page, kPrefEnvelope, QStringLiteral("[868](Envelope)")));
  add_common_buttons(page, layout);
  return page;
}

QWidget* equation_page() {
  auto* page = new QWidget;
  auto* layout = new QVBoxLayout(page);
  auto* form = new QFormLayout;
  form->addRow(QStringLiteral("[869](Coordinate system)"),
               popup(page, kPrefCoordinates,
                     {"[870](Cartesian)", "[871](Polar)", "[872](Polar (radians))", "[873](Complex)"}));
  layout->addLayout(form);
  layout->addWidget(check(page, kPrefLineForm, QStringLiteral("[874](Lines: y = ax + b)")));
  layout->addWidget(check(page, kPrefCircleForm, QStringLiteral("[875](Circles: centre and radius)")));
  layout->addWidget(check(page, kPrefConicForm, QStringLiteral("[876](Conics: reduced form)")));
  add_common_buttons(page, layout);
  return page;
}

QWidget* system_page() {
  auto* page = new QWidget;
  auto* layout = new QVBoxLayout(page);
  auto* form = new QFormLayout;
  form->addRow(QStringLiteral("[877](Pick tolerance (mm))"), popup(page, kPrefTolerance, {"1", "2", "4", "8"}));
  form->addRow(QStringLiteral("[878](Cursor text font)"), font_button(page, kPrefCursorFont));
  form->addRow(QStringLiteral("[879](Tools menu font)"), font_button(page, kPrefMenuFont));
  layout->addLayout(form);
  layout->addWidget(check(page, kPrefBitmapCopy, QStringLiteral("[880](Copy as bitmap)")));
  add_common_buttons(page, layout);
  return page;
}

QWidget* geometry_page() {
  auto* page = new QWidget;
  auto* layout = new QVBoxLayout(page);
  layout->addWidget(check(page, kPrefPointOnObject, QStringLiteral("[881](Create points on objects)")));
  layout->addWidget(check(page, kPrefInfinity, QStringLiteral("[882](Manage infinity)")));
  add_common_buttons(page, layout);
  return page;
}

QWidget* styles_page() {
  auto* page = new QWidget;
  auto* layout = new QVBoxLayout(page);
  auto* form = new QFormLayout;
  QStringList kinds, texts;
  // The kinds' names in files are their keys; the user reads these.
  for (int k = 0; k < kGraphicKinds; ++k)
    kinds << QStringLiteral("[%1](%2)").arg(kRowGraphicKinds + k).arg(kp_qstring(kGraphicKindNames[k]));
  for (int k = 0; k < kTextKinds; ++k)
    texts << QStringLiteral("[%1](%2)").arg(kRowTextKinds + k).arg(kp_qstring(kTextKindNames[k]));
  form->addRow(QStringLiteral("[883](Objects)"), popup(page, kPrefGraphicKinds, kinds));
  form->addRow(QStringLiteral("[884](Colour)"), color_well(page, kPrefGraphicColor));
  form->addRow(QStringLiteral("[885](Thickness)"),
               popup(page, kPrefThickness, {"[886](Thin)", "[887](Normal)", "[888](Thick)"}));
  form->addRow(QStringLiteral("[889](Dash)"),
               popup(page, kPrefDash, {"[890](Solid)", "[891](Dashed)", "[892](Long dashes)"}));
  form->addRow(QStringLiteral("[893](Shape)"), icon_popup(page, kPrefShape));
  form->addRow(QStringLiteral("[894](Line ends)"),
               popup(page, kPrefSmartLineType,
                     {"[895](Whole line)", "[896](Cut beyond its points)", "[897](Cut with arrows)"}));
  form->addRow(QStringLiteral("[898](Length beyond the points)"), length_field(page, kPrefSmartLineLength));
  form->addRow(QStringLiteral("[899](Texts)"), popup(page, kPrefTextKinds, texts));
  form->addRow(QStringLiteral("[900](Text colour)"), color_well(page, kPrefTextColor));
  form->addRow(QStringLiteral("[901](Text font)"), font_button(page, kPrefTextFont));
  layout->addLayout(form);
  add_common_buttons(page, layout);
  return page;
}

}  // namespace

void set_preferences_window_observer(std::function<void(QDialog*)> f) { observer() = std::move(f); }

void set_preferences_font_chooser(std::function<bool(QFont*)> f) { font_chooser() = std::move(f); }

int run_preferences_window() {
  const prefs_rec before = prefs;
  KPDialogPanel panel(&window_procedure);
  panel.setWindowTitle(QStringLiteral("[850](Preferences)"));
  auto* layout = new QVBoxLayout(&panel);
  auto* tabs = new QTabWidget(&panel);
  // The window grows to show every page's title whole, in any language.
  tabs->setUsesScrollButtons(false);
  tabs->setElideMode(Qt::ElideNone);
  layout->addWidget(tabs);
  QWidget* pages[kPrefsPages] = {precision_page(), locus_page(),    equation_page(),
                                 system_page(),    geometry_page(), styles_page()};
  const char* titles[kPrefsPages] = {"[851](Precision and Units)", "[852](Locus)",    "[853](Equations)",
                                     "[854](System)",              "[855](Geometry)", "[856](Default Styles)"};
  std::vector<std::unique_ptr<NSKelvoWrapMachine>> machines;
  for (int i = 0; i < kPrefsPages; ++i) {
    tabs->addTab(pages[i], QString::fromLatin1(titles[i]));
    machines.push_back(std::make_unique<NSKelvoWrapMachine>(prefs_page_procedure(i), kp_hwnd(pages[i])));
    kp_bind_procedure(pages[i], machines.back().get());
    prefs_pages[i] = kp_hwnd(pages[i]);
  }
  auto* bottom = new QHBoxLayout;
  auto* save = new QCheckBox(QStringLiteral("[902](Save as default settings)"), &panel);
  kp_set_item_id(save, kPrefSaveBox);
  bottom->addWidget(save);
  auto* export_button = new QPushButton(QStringLiteral("[903](Save to File...)"), &panel);
  panel.bindButton(export_button, kPrefExportButton);
  bottom->addWidget(export_button);
  bottom->addStretch();
  auto* cancel = new QPushButton(QStringLiteral("[344](Cancel)"), &panel);
  auto* ok = new QPushButton(QStringLiteral("[342](OK)"), &panel);
  ok->setDefault(true);
  panel.bindButton(cancel, IDCANCEL);
  panel.bindButton(ok, IDOK);
  bottom->addWidget(cancel);
  bottom->addWidget(ok);
  layout->addLayout(bottom);
  // Every text of the window is the language's, as long as it is open.
  auto* texts = new NSKelvoLanguageSwitcherView(&panel);
  texts->hide();
  texts->addPairForWindowTitle(&panel);
  texts->addPairForView(&panel);
  texts->followLanguage();

  prefs_dialog_open();
  if (observer()) {
    QDialog* shown = &panel;
    QTimer::singleShot(0, &panel, [shown] {
      if (observer()) observer()(shown);
    });
  }
  const int result = panel.runModal();
  for (HWND& page : prefs_pages) page = nullptr;
  for (QWidget* page : pages) kp_bind_procedure(page, nullptr);
  // What was not applied is dropped: the record is as before the opening.
  if (result != IDOK) prefs = before;
  return result == IDOK ? 1 : 0;
}
