#include "app/panels/shared_panels.h"

#include <QAction>
#include <QColorDialog>
#include <QFontDialog>
#include <QPointer>
#include <QSignalBlocker>
#include <memory>

#include "app/document/kp_document.h"
#include "app/lang/language_switcher.h"
#include "app/panels/tools_palette.h"
#include "app/view/kp_figure_view.h"
#include "kernel/model/figure.h"
#include "kernel/render/fonts.h"
#include "kernel/text/text_record.h"
#include "kernel/tools/apply_attributes.h"
#include "kernel/tools/tool_ids.h"
#include "kernel/tools/tool_state.h"
#include "platform/kp_font_qt.h"
#include "platform/kp_qt_bridge.h"
#include "platform/ns_kelvo_text_editor.h"

namespace {

QPointer<QColorDialog> g_color_panel;
QPointer<QFontDialog> g_font_panel;

// Attribute groups of the kernel's tool actions: the text colour and the
// text-size pop-up (item 1 smaller, item 2 larger).
constexpr uint16_t kTextColorGroup = 1003;
constexpr uint16_t kTextSizeGroup = 1004;
// The kernel's style command for a new font.
constexpr uint16_t kStyleFont = 51;

void panel_flags(QDialog* panel) {
  panel->setWindowFlag(Qt::Tool);
  panel->setWindowFlag(Qt::WindowStaysOnTopHint);
  panel->setAttribute(Qt::WA_ShowWithoutActivating);
  // Its title follows the language.
  auto* texts = new NSKelvoLanguageSwitcherView(panel);
  texts->hide();
  texts->addPairForWindowTitle(panel);
  texts->followLanguage();
}

void choose_font(const QFont& font) {
  KPFigureView* view = KPDocument::currentFigureView();
  if (!view || !view->lockFixSaveContext()) return;
  const std::unique_ptr<KPFont> kernel_font(kp_font_from_qfont(font));
  if (const uint16_t id = font_register(kernel_font.get())) {
    default_attr* a = current_attrs ? current_attrs : &no_class_attrs;
    a->text_font = id;
    if (font.pointSize() > 0) a->text_size = font.pointSize();
    apply_style_change(kStyleFont);
  }
  view->unlockView();
  view->invalidateFigure();
}

// The two titles are rows of the native interface only (the kernel keeps
// no copy of them).
void title(QAction* item, bool shown, int shown_row, int hidden_row, const char* shown_text, const char* hidden_text) {
  if (!item) return;
  item->setText(NSKelvoLanguageSwitcherPair::stringWithPatternString(
      QStringLiteral("[%1](%2)").arg(shown ? shown_row : hidden_row).arg(QLatin1String(shown ? shown_text : hidden_text))));
}

void show_or_hide(QDialog* panel) {
  if (panel->isVisible()) {
    panel->hide();
  } else {
    panel->show();
    panel->raise();
  }
}

// The font a text record gives its characters: its face, size and style.
QFont record_font(const TErec* te) {
  QFont font = font_get_nsfont(te->format.font_id)->impl()->font;
  font.setPointSize(te->format.size > 0 ? te->format.size : 12);
  font.setBold(te->format.style & 1);
  font.setItalic(te->format.style & 2);
  font.setUnderline(te->format.style & 4);
  return font;
}

QFont font_shown_in_panel() {
  if (NSKelvoTextEditor::currentActiveTextVisible()) return NSKelvoTextEditor::activeTextEditor()->currentFont();
  if (kelvo_win_info* fig = KPDocument::currentFigureView() ? KPDocument::currentFigureView()->info() : nullptr)
    for (int i = 0; fig->selection && fig->selection->items && fig->selection->items[i]; ++i)
      if (const object* o = fig->selection->items[i]; o->te) return record_font(o->te);
  const default_attr* a = current_attrs ? current_attrs : &no_class_attrs;
  const char* face = font_name_by_id(a->text_font);
  QFont font(face && *face ? kp_qstring(face) : QString::fromLatin1(kDefaultFaceName));
  if (a->text_size > 0) font.setPointSize(a->text_size);
  return font;
}

void step_text(uint16_t item) {
  if (KPFigureView* view = KPDocument::currentFigureView())
    view->sendCurrentToolAction(make_tool_id(kTextSizeGroup, item), 0, true);
}

}  // namespace

QColorDialog* shared_color_panel() {
  if (!g_color_panel) {
    g_color_panel = new QColorDialog;
    g_color_panel->setOptions(QColorDialog::NoButtons | QColorDialog::DontUseNativeDialog);
    g_color_panel->setWindowTitle(QStringLiteral("[918](Colors)"));
    panel_flags(g_color_panel);
    QObject::connect(g_color_panel, &QColorDialog::currentColorChanged, [](const QColor& c) {
      const uint32_t word = (static_cast<uint32_t>(c.red()) << 16) | (static_cast<uint32_t>(c.green()) << 8) |
                            static_cast<uint32_t>(c.blue());
      palette_tool_action(make_tool_id(kTextColorGroup, 1), word);
    });
  }
  return g_color_panel;
}

QFontDialog* shared_font_panel() {
  if (!g_font_panel) {
    g_font_panel = new QFontDialog;
    g_font_panel->setOptions(QFontDialog::NoButtons | QFontDialog::DontUseNativeDialog);
    g_font_panel->setWindowTitle(QStringLiteral("[919](Fonts)"));
    panel_flags(g_font_panel);
    QObject::connect(g_font_panel, &QFontDialog::currentFontChanged, [](const QFont& f) { choose_font(f); });
  }
  return g_font_panel;
}

bool shared_color_panel_visible() { return g_color_panel && g_color_panel->isVisible(); }
bool shared_font_panel_visible() { return g_font_panel && g_font_panel->isVisible(); }

void title_color_panel_item(QAction* item) {
  title(item, shared_color_panel_visible(), 959, 958, "Hide Colors", "Show Colors");
}

void title_font_panel_item(QAction* item) { title(item, shared_font_panel_visible(), 942, 941, "Hide Fonts", "Show Fonts"); }

// Shown, the item hides the panel; the menu is retitled from what is shown.
void toggleColorPanel(QAction* item) {
  show_or_hide(shared_color_panel());
  title_color_panel_item(item);
}

void toggleFontPanel(QAction* item) {
  QFontDialog* panel = shared_font_panel();
  if (!panel->isVisible()) {
    // Opening chooses nothing: the panel shows the font being typed in, else
    // that of the first selected text, else that of new texts.
    const QSignalBlocker quiet(panel);
    panel->setCurrentFont(font_shown_in_panel());
  }
  show_or_hide(panel);
  title_font_panel_item(item);
}

void biggerFont() { step_text(2); }
void smallerFont() { step_text(1); }
