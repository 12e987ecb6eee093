#include "platform/ns_kelvo_text_editor.h"

#include <QAbstractTextDocumentLayout>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QFocusEvent>
#include <QFontDialog>
#include <QPointer>
#include <QHBoxLayout>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QMimeData>
#include <QPainter>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextDocumentFragment>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "kernel/files/text_convert.h"
#include "kernel/model/classes.h"
#include "kernel/model/deletion.h"
#include "kernel/model/memory.h"
#include "kernel/model/recompute.h"
#include "kernel/render/fonts.h"
#include "kernel/render/display_device.h"
#include "kernel/text/reference_marker.h"
#include "kernel/text/text_editing.h"
#include "kernel/text/text_record.h"
#include "kernel/text/text_services.h"
#include "kernel/text/text_drawing.h"
#include "kernel/text/kernel_strings.h"
#include "kernel/window/value_keys.h"
#include "kernel/window/window_hooks.h"
#include "app/kernel_iface/kp_geo_document.h"
#include "platform/kp_font_qt.h"
#include "platform/mac_roman.h"
#include "platform/mac_roman_qt.h"
#include "platform/rtf_reader.h"
#include "kernel/text/rtf_writer.h"
#include "kernel/files/clipboard.h"
#include "platform/kp_pasteboard.h"

namespace {

NSKelvoTextEditor* g_active_editor = nullptr;
// The accessory lives inside the font panel that hosts it and goes with it.
QPointer<QWidget> g_accessory;
QPointer<QCheckBox> g_subscript;
QPointer<QCheckBox> g_superscript;
bool g_accessory_hidden = false;
bool g_script_action_running = false;

constexpr int kMinWidth = 30;
constexpr int kMinHeight = 21;
constexpr double kMaxPointSize = 1638;

QTextDocument* doc_of(void* handle) { return kp_text_document(handle); }

QString plain_of(const QTextDocument* doc) {
  QString s = doc ? doc->toPlainText() : QString();
  s.replace(QChar::ParagraphSeparator, u'\n');
  return s;
}

// Characters typed or pasted: control characters go, except line breaks
// and tabs in texts; numbers and expressions keep one line.
QString filtered(const QString& s, bool one_line) {
  QString out;
  out.reserve(s.size());
  for (const QChar c : s) {
    const char16_t u = c.unicode();
    if (u == u'\r' || u == u'\n' || u == 0x2029) {
      if (!one_line) out += u'\n';
      continue;
    }
    if (u == u'\t' && !one_line) {
      out += c;
      continue;
    }
    if (u < 32 || u == 127) continue;
    out += c;
  }
  return out;
}

uint16_t type_of(const object* o) { return o && o->otype ? o->otype->id : 0; }

bool is_check_object(const object* o) {
  const construct_class* c = o ? o->classe : nullptr;
  return c == &classe_alignement || c == &classe_parallelism || c == &classe_perpendism ||
         c == &classe_equidistant || c == &classe_membership;
}

uint32_t colour_word(const QColor& c) {
  return (static_cast<uint32_t>(c.red()) << 16) | (static_cast<uint32_t>(c.green()) << 8) |
         static_cast<uint32_t>(c.blue());
}

QColor from_rrggbb(uint32_t w) { return QColor((w >> 16) & 255, (w >> 8) & 255, w & 255); }
QColor from_bbggrr(uint32_t w) { return QColor(w & 255, (w >> 8) & 255, (w >> 16) & 255); }

int script_of(const QTextCharFormat& f) {
  if (f.verticalAlignment() == QTextCharFormat::AlignSuperScript) return 1;
  if (f.verticalAlignment() == QTextCharFormat::AlignSubScript) return -1;
  return 0;
}

QTextCharFormat run_format(const rtf_run& run, const QFont& base) {
  QTextCharFormat f;
  QFont font = run.font.empty() ? base : QFont(QString::fromStdString(run.font));
  font.setPointSizeF(std::clamp(run.size > 0 ? run.size : 12.0, 1.0, kMaxPointSize));
  font.setBold(run.bold);
  font.setItalic(run.italic);
  font.setUnderline(run.underline);
  f.setFont(font);
  if (run.has_color) f.setForeground(from_rrggbb(run.color));
  if (run.script > 0) f.setVerticalAlignment(QTextCharFormat::AlignSuperScript);
  if (run.script < 0) f.setVerticalAlignment(QTextCharFormat::AlignSubScript);
  return f;
}

// The runs of a range of a document, as the RTF writer takes them.
std::vector<rtf_run> runs_of(const QTextDocument* doc, int from, int to) {
  std::vector<rtf_run> runs;
  for (QTextBlock b = doc->begin(); b.isValid(); b = b.next()) {
    for (auto it = b.begin(); !it.atEnd(); ++it) {
      const QTextFragment frag = it.fragment();
      const int a = std::max(from, frag.position());
      const int e = std::min(to, frag.position() + frag.length());
      if (a >= e) continue;
      const QTextCharFormat f = frag.charFormat();
      rtf_run r;
      r.text = frag.text().mid(a - frag.position(), e - a).toStdU16String();
      const QFont font = f.font();
      r.font = font.family().toStdString();
      r.size = font.pointSizeF() > 0 ? font.pointSizeF() : 12;
      r.bold = font.bold();
      r.italic = font.italic();
      r.underline = font.underline();
      if (f.hasProperty(QTextFormat::ForegroundBrush)) {
        r.has_color = true;
        r.color = colour_word(f.foreground().color());
      }
      r.script = script_of(f);
      runs.push_back(std::move(r));
    }
    const int separator = b.position() + b.length() - 1;
    if (b.next().isValid() && separator >= from && separator < to) {
      if (runs.empty()) runs.emplace_back();
      runs.back().text += u'\n';
    }
  }
  return runs;
}

}  // namespace

// ================================================================= set-up

NSKelvoTextEditor* NSKelvoTextEditor::createWithFrame(const KPTextFrame& frame, QWidget* figureView,
                                                      KPTextEditorHost* host) {
  return new NSKelvoTextEditor(frame, figureView, host);
}

NSKelvoTextEditor::NSKelvoTextEditor(const KPTextFrame& frame, QWidget* figureView, KPTextEditorHost* host)
    : QTextEdit(figureView), figureView_(figureView), host_(host) {
  cFrame_ = frame;
  setAcceptRichText(true);
  setUndoRedoEnabled(false);
  setFrameShape(QFrame::NoFrame);
  setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  document()->setDocumentMargin(0);
  layOutAtViewScale();
  setContentsMargins(0, 0, 0, 0);
  viewport()->setContentsMargins(0, 0, 0, 0);
  hide();
  resetResizingPolicy();

  // The stepper beside numbers: two small arrows.
  stepper_ = new QWidget(this);
  stepper_->setFixedSize(13, 21);
  auto* layout = new QVBoxLayout(stepper_);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  auto* up = new QToolButton(stepper_);
  up->setArrowType(Qt::UpArrow);
  up->setFixedSize(13, 10);
  up->setAutoRepeat(true);
  auto* down = new QToolButton(stepper_);
  down->setArrowType(Qt::DownArrow);
  down->setFixedSize(13, 10);
  down->setAutoRepeat(true);
  layout->addWidget(up);
  layout->addWidget(down);
  QObject::connect(up, &QToolButton::clicked, this, [this] { stepperDoIncrement(1); });
  QObject::connect(down, &QToolButton::clicked, this, [this] { stepperDoIncrement(-1); });
  stepper_->hide();

  QObject::connect(this, &QTextEdit::selectionChanged, this, [this] { onSelectionChanged(); });
  QObject::connect(this, &QTextEdit::cursorPositionChanged, this, [this] { onSelectionChanged(); });
}

NSKelvoTextEditor::~NSKelvoTextEditor() {
  if (g_active_editor == this) g_active_editor = nullptr;
  freeOwnRecords();
}

double NSKelvoTextEditor::viewScale() const { return host_ && host_->viewScale() > 0 ? host_->viewScale() : 1; }

void NSKelvoTextEditor::layOutAtViewScale() {
  // The widget's own resolution (96 dots per inch, often) would show the
  // figure's texts a third larger than they are drawn, and break their
  // lines elsewhere.
  const int dpi = std::max(1, static_cast<int>(std::lround(72 * viewScale())));
  if (layoutDevice_ && dpi == layoutDpi_) return;
  auto device = std::make_unique<QImage>(1, 1, QImage::Format_ARGB32);
  const int dots_per_meter = static_cast<int>(std::lround(dpi / 0.0254));
  device->setDotsPerMeterX(dots_per_meter);
  device->setDotsPerMeterY(dots_per_meter);
  document()->documentLayout()->setPaintDevice(device.get());
  layoutDevice_ = std::move(device);
  layoutDpi_ = dpi;
}

// ========================================================== window handle

LONG_PTR NSKelvoTextEditor::getWindowLong(int) { return kelvoWindowProc_; }

void NSKelvoTextEditor::setWindowLong(int, LONG_PTR value) {
  kelvoWindowProc_ = value;
  resetResizingPolicy();
}

void NSKelvoTextEditor::refreshKind() {
  const auto proc = reinterpret_cast<WNDPROC>(kelvoWindowProc_);
  nombre_ = proc == &NumberEditWindowProc ? 1 : 0;
  nombreOuExpr_ = (nombre_ || proc == &FormuleEditWindowProc) ? 1 : 0;
}

void NSKelvoTextEditor::resetResizingPolicy() {
  // Never horizontally resizable; a text grows downwards with its lines.
  refreshKind();
  setLineWrapMode(QTextEdit::WidgetWidth);
}

NSKelvoTextEditor* NSKelvoTextEditor::activeTextEditor() { return g_active_editor; }

bool NSKelvoTextEditor::currentActiveTextVisible() {
  kelvo_win_info* fig = KPGeoDocument::currentInfo();
  return fig && fig->cur_text && g_active_editor && !g_active_editor->isHidden();
}

void NSKelvoTextEditor::kelvoShowWindow(bool show) {
  setVisible(show);
  if (show) {
    g_active_editor = this;
    placeOverFrame();
    setFocus(Qt::OtherFocusReason);
  } else if (host_) {
    host_->takeFocus();
  }
  if (host_) host_->editorFrameChanged();
}

std::pair<int, int> NSKelvoTextEditor::firstSelectedRange() const {
  const QTextCursor c = textCursor();
  return {c.selectionStart(), c.selectionEnd() - c.selectionStart()};
}

void NSKelvoTextEditor::selectPlain(int start, int end) {
  const int n = stringLength();
  QTextCursor c(document());
  c.setPosition(std::clamp(start, 0, n));
  c.setPosition(std::clamp(end, 0, n), QTextCursor::KeepAnchor);
  setTextCursor(c);
}

LRESULT NSKelvoTextEditor::sendMessage(UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case kEditorFontScale: {
      double factor = static_cast<double>(lparam) / 100000000.0;
      if (!std::isfinite(factor) || factor <= 0) return 0;
      const auto [start, length] = firstSelectedRange();
      if (stringLength() == 0) return 0;
      // The font at the range's start; at the very end of the text there is
      // none, and the typing attributes stand for it.
      QTextCharFormat at;
      if (start < stringLength()) {
        QTextCursor c(document());
        c.setPosition(start + 1);
        at = c.charFormat();
      } else {
        at = currentCharFormat();
      }
      QFont font = at.font();
      const double size = font.pointSizeF() > 0 ? font.pointSizeF() : 12;
      font.setPointSizeF(std::clamp(size * factor, 1.0, kMaxPointSize));
      QTextCharFormat f;
      f.setFont(font, QTextCharFormat::FontPropertiesSpecifiedOnly);
      f.setFontPointSize(font.pointSizeF());
      if (length == 0) {
        QTextCharFormat typing = currentCharFormat();
        typing.setFontPointSize(font.pointSizeF());
        setCurrentCharFormat(typing);
        return 0;
      }
      if (!shouldChangeTextInRanges({{start, length}}, {nullptr})) return 0;
      QTextCursor c(document());
      c.setPosition(start);
      c.setPosition(start + length, QTextCursor::KeepAnchor);
      c.mergeCharFormat(f);
      didChangeText();
      return 0;
    }
    case kEditorChar:
      if (wparam == 7) {
        if (lparam) insertObjectInText(reinterpret_cast<object*>(lparam));
      } else if (wparam == 64 || wparam == 48) {
        const auto [start, length] = firstSelectedRange();
        replaceRange(start, length, wparam == 48 ? QStringLiteral("0") : QString());
        viewport()->update();
      }
      return 0;
    case kEditorSetSelPlain:
      selectPlain(static_cast<int>(wparam), static_cast<int>(lparam));
      return 0;
    case kEditorReplaceSelection: {
      const char* s = reinterpret_cast<const char*>(lparam);
      const auto [start, length] = firstSelectedRange();
      replaceRange(start, length, filtered(mac_roman_to_qstring(s ? s : ""), nombreOuExpr_ != 0));
      return 0;
    }
    case kEditorCut:
      cutSelection();
      return 0;
    case kEditorCopy:
      copySelection();
      return 0;
    case kEditorPaste:
      pasteClipboard();
      viewport()->update();
      return 0;
    case kEditorGetSelection: {
      auto* range = reinterpret_cast<int32_t*>(lparam);
      if (!range) return 0;
      const auto [start, length] = firstSelectedRange();
      range[0] = start;
      range[1] = start + length;
      return 0;
    }
    case kEditorSetSelection: {
      const auto* range = reinterpret_cast<const int32_t*>(lparam);
      if (!range) return 0;
      const int n = stringLength();
      const int a = std::clamp(range[0], 0, n);
      const int b = std::clamp(range[1], a, n);
      setSelectedRange(a, b - a);
      return 0;
    }
    case kEditorBackground: {
      background_ = from_bbggrr(static_cast<uint32_t>(lparam));
      QPalette p = palette();
      p.setColor(QPalette::Base, background_);
      setPalette(p);
      viewport()->update();
      return 0;
    }
    default:
      return 0;
  }
}

// ========================================================= editing model

int NSKelvoTextEditor::stringLength() const { return std::max(0, document()->characterCount() - 1); }

void NSKelvoTextEditor::freeOwnRecords() {
  for (insert_object*& r : ownRecords_) GlobalFreeAndNull(&r);
  ownRecords_.clear();
}

void NSKelvoTextEditor::loadDisplayString() {
  object* obj = attachedObject_;
  QTextDocument* display = obj && obj->te ? doc_of(obj->te->display_string) : nullptr;
  const bool was = applying_;
  applying_ = true;
  document()->clear();
  if (display) {
    QTextCursor c(document());
    c.insertFragment(QTextDocumentFragment(display));
  }
  applying_ = was;
}

void NSKelvoTextEditor::enterObjectEdit(object* obj) {
  incObjectsRanges_.clear();
  incObjectsObjects_.clear();
  freeOwnRecords();
  if (!obj || !obj->te) {
    attachedObject_ = nullptr;
    hide();
    return;
  }
  TErec* te = obj->te;
  refreshKind();
  // An empty text types in the record's font and colour.
  QFont font = font_get_nsfont(te->format.font_id)->impl()->font;
  font.setPointSizeF(te->format.size > 0 ? te->format.size : 12);
  QTextCharFormat typing;
  typing.setFont(font);
  typing.setForeground(from_rrggbb(te->format.color & 0xFFFFFF));
  refreshAllNeededDatas(obj, true);
  setAttachedObject(obj, false);
  loadDisplayString();
  if (stringLength() == 0) setCurrentCharFormat(typing);
  computeFrame(true);
  ListOfRangesAndObjects(&incObjectsRanges_, &incObjectsObjects_, true);
  g_active_editor = this;
  needsSelfResize_ = 1;
  objectInEdit_ = 1;
  changedSinceOpen_ = false;
  selfResize();
}

void NSKelvoTextEditor::setSelectedRange(int start, int length) {
  int a = start, b = start + length;
  if (b > a) {
    for (const auto& [ra, rl] : incObjectsRanges_) {
      const int rb = ra + rl;
      if (a >= ra && b <= rb) {
        a = ra;
        b = rb;
      } else if (a < rb && ra < b) {
        a = std::min(a, ra);
        b = std::max(b, rb);
      }
    }
  }
  // The script buttons follow the attribute at the selection's start.
  if (g_subscript && g_superscript) {
    int script = 0;
    if (b > a && b <= stringLength()) {
      QTextCursor at(document());
      at.setPosition(a + 1);
      script = script_of(at.charFormat());
    }
    g_subscript->setChecked(script == -1);
    g_superscript->setChecked(script == 1);
  }
  const bool was = adjustingSelection_;
  adjustingSelection_ = true;
  const QTextCursor current = textCursor();
  QTextCursor c(document());
  const int n = stringLength();
  // Keep the direction the user selects in.
  if (current.hasSelection() && current.position() < current.anchor()) {
    c.setPosition(std::clamp(b, 0, n));
    c.setPosition(std::clamp(a, 0, n), QTextCursor::KeepAnchor);
  } else {
    c.setPosition(std::clamp(a, 0, n));
    c.setPosition(std::clamp(b, 0, n), QTextCursor::KeepAnchor);
  }
  if (c.anchor() != current.anchor() || c.position() != current.position()) setTextCursor(c);
  adjustingSelection_ = was;
}

void NSKelvoTextEditor::onSelectionChanged() {
  if (adjustingSelection_ || applying_) return;
  const auto [start, length] = firstSelectedRange();
  setSelectedRange(start, length);
}

bool NSKelvoTextEditor::shouldChangeTextInRanges(const std::vector<std::pair<int, int>>& ranges,
                                                 const std::vector<const QString*>& strings) {
  shouldChange_pt_decimal_ = -1;
  if (insertingItemsInTheText != 0) return true;
  const bool has_refs = !incObjectsRanges_.empty();
  if (strings.empty()) {
    attribsChanged_ = has_refs ? 1 : 0;
    return true;
  }
  for (size_t i = 0; i < ranges.size(); ++i) {
    const int ra = ranges[i].first, rl = ranges[i].second, rb = ra + rl;
    const QString* s = i < strings.size() ? strings[i] : nullptr;
    if (!s) {
      if (rl > 0) attribsChanged_ = has_refs ? 1 : 0;
      continue;
    }
    if (rl > 0) {
      bool cuts = false;
      for (const auto& [xa, xl] : incObjectsRanges_) {
        const int lo = std::max(ra, xa), hi = std::min(rb, xa + xl);
        if (hi > lo && !(lo == xa && hi == xa + xl)) cuts = true;
      }
      if (cuts) {
        if (s->isEmpty() && ranges.size() == 1 && rl == 1) setSelectedRange(ra, rl);
        return false;
      }
      for (size_t k = incObjectsRanges_.size(); k-- > 0;) {
        const auto [xa, xl] = incObjectsRanges_[k];
        if (xa >= ra && xa + xl <= rb) {
          incObjectsRanges_.erase(incObjectsRanges_.begin() + static_cast<std::ptrdiff_t>(k));
          incObjectsObjects_.erase(incObjectsObjects_.begin() + static_cast<std::ptrdiff_t>(k));
        }
      }
      for (auto& r : incObjectsRanges_)
        if (r.first >= rb) r.first -= rl;
    }
    if (s->isEmpty()) continue;
    if (nombre_) {
      const int n = stringLength();
      const bool typed_at_end = s->size() == 1 && rl == 0 && ra == n;
      const char16_t c = s->at(0).unicode();
      if (typed_at_end && c == static_cast<unsigned char>(decimal_separator)) return true;
      if (typed_at_end && (c == u',' || c == u'.')) {
        shouldChange_pt_decimal_ = ra;
        return true;
      }
      QString after = toPlainText();
      after.replace(ra, rl, *s);
      // A lone sign begins a negative number typed over the old one.
      if (after == QStringLiteral("-")) return true;
      std::string bytes = qstring_to_mac_roman(after);
      text_decimal_to_c(bytes.data());
      double value = 0;
      int consumed = -1;
      if (std::sscanf(bytes.c_str(), "%lG%n", &value, &consumed) != 1 || consumed != static_cast<int>(bytes.size()))
        return false;
      // An edited number keeps at most so many digits: a change that would
      // bring in more is refused (one that takes some away passes).
      auto digits = [](const QString& t) { return std::count_if(t.begin(), t.end(), [](QChar c) { return c.isDigit(); }); };
      const auto now = digits(after);
      if (now > kMaxNumberDigits && now > digits(toPlainText())) return false;
    } else if (nombreOuExpr_) {
      const std::string bytes = qstring_to_mac_roman(toPlainText());
      const std::string typed = qstring_to_mac_roman(s->left(1));
      if (!typed.empty() && formula_input_filter(bytes.c_str(), ra & 0xFFFF, typed[0])) {
        mustInsertStar_ = 1;
        insertStarPosition_ = ra;
      }
    }
    for (const auto& [xa, xl] : incObjectsRanges_) {
      const int xb = xa + xl;
      if ((xa < ra && xb > ra) || (xa < rb && xb > rb)) return false;
    }
    for (auto& r : incObjectsRanges_)
      if (r.first >= ra) r.first += static_cast<int>(s->size());
  }
  return true;
}

bool NSKelvoTextEditor::replaceRange(int start, int length, const QString& text, const QTextDocumentFragment* rich) {
  const int n = stringLength();
  start = std::clamp(start, 0, n);
  length = std::clamp(length, 0, n - start);
  // What is typed takes the typing attributes at the caret (those of the
  // character before it, unless bold, a colour... was chosen for what comes
  // next), and over a selection those of its first character.
  const QTextCursor caret_now = textCursor();
  const bool at_caret = length == 0 && !caret_now.hasSelection() && caret_now.position() == start;
  if (!shouldChangeTextInRanges({{start, length}}, {&text})) return false;
  applying_ = true;
  QTextCursor c(document());
  c.setPosition(start);
  c.setPosition(start + length, QTextCursor::KeepAnchor);
  if (rich) {
    c.insertFragment(*rich);
  } else if (length > 0) {
    QTextCursor first(document());
    first.setPosition(start + 1);
    c.insertText(text, first.charFormat());
  } else if (at_caret || start == 0) {
    c.insertText(text, currentCharFormat());
  } else {
    c.insertText(text);
  }
  applying_ = false;
  QTextCursor caret(document());
  caret.setPosition(std::min(start + static_cast<int>(text.size()), stringLength()));
  adjustingSelection_ = true;
  setTextCursor(caret);
  adjustingSelection_ = false;
  didChangeText();
  return true;
}

void NSKelvoTextEditor::didChangeText() {
  object* obj = attachedObject_;
  if (!obj) return;
  if (!changedSinceOpen_ && objectInEdit_) save_undo_before_text_change();
  changedSinceOpen_ = true;
  TErec* te = obj->te;
  if (stringLength() > 0 && te) {
    QTextCursor c(document());
    c.setPosition(1);
    const QTextCharFormat f = c.charFormat();
    const QFont font = f.font();
    const std::string family = font.family().toStdString();
    te->format.font_id = font_id_by_name_or_create(family.c_str(), static_cast<int32_t>(font.pointSizeF()));
    te->format.size = static_cast<int16_t>(font.pointSizeF() > 0 ? font.pointSizeF() : 12);
    // The face goes with the font: the file's run line keeps it.
    te->format.style = static_cast<uint16_t>((te->format.style & ~7u) | (font.bold() ? 1u : 0u) |
                                             (font.italic() ? 2u : 0u) | (font.underline() ? 4u : 0u));
    if (f.hasProperty(QTextFormat::ForegroundBrush)) te->format.color = colour_word(f.foreground().color());
  }
  if (insertingItemsInTheText == 0 && attribsChanged_ && te) {
    attribsChanged_ = 0;
    textToObject(false);
    te->needs_regen = 1;
    selfResize();
  }
  if (mustInsertStar_) {
    mustInsertStar_ = 0;
    ++insertingItemsInTheText;
    const QString star = QStringLiteral("*");
    const int at = std::clamp(insertStarPosition_, 0, stringLength());
    if (shouldChangeTextInRanges({{at, 0}}, {&star})) {
      applying_ = true;
      QTextCursor c(document());
      c.setPosition(at);
      c.insertText(star);
      applying_ = false;
      didChangeText();
    }
    --insertingItemsInTheText;
  }
  if (shouldChange_pt_decimal_ >= 0) {
    ++insertingItemsInTheText;
    const int at = shouldChange_pt_decimal_;
    shouldChange_pt_decimal_ = -1;
    if (at < stringLength()) {
      applying_ = true;
      QTextCursor c(document());
      c.setPosition(at);
      c.setPosition(at + 1, QTextCursor::KeepAnchor);
      c.insertText(QString(QChar(static_cast<unsigned char>(decimal_separator))));
      applying_ = false;
    }
    --insertingItemsInTheText;
  }
  if (objectInEdit_) {
    selfResize();
    liveUpdate();
  }
}

void NSKelvoTextEditor::liveUpdate() {
  object* obj = attachedObject_;
  if (!obj || !obj->te || !nombreOuExpr_ || insertingItemsInTheText) return;
  // The object takes the text as it is typed, and is recomputed.
  std::string bytes = qstring_to_mac_roman(toPlainText());
  if (!set_text_record_text(obj->te, bytes.c_str())) return;
  obj->te->length = static_cast<int32_t>(std::strlen(obj->te->text));
  edited_value_changed(obj);
  const window_hooks& h = window_services();
  if (h.session_record_action) h.session_record_action(KPGeoDocument::currentInfo(), 9);
  if (host_) host_->editorFrameChanged();
}

void NSKelvoTextEditor::insertObjectInText(object* obj) {
  object* self = attachedObject_;
  if (!obj || !self || nombreOuExpr_ || obj == self) return;
  refreshAllNeededDatas(obj, false);
  QTextDocument* value = obj->te ? doc_of(obj->te->display_string) : nullptr;
  if (value) replaceExponents(value);
  const QString plain = plain_of(value);
  if (plain.isEmpty()) return;
  int p = textCursor().selectionStart();
  size_t k = 0;
  for (const auto& [a, l] : incObjectsRanges_)
    if (p > a && p < a + l) p = a;
  while (k < incObjectsRanges_.size() && incObjectsRanges_[k].first < p) ++k;
  ++insertingItemsInTheText;
  const bool accepted = shouldChangeTextInRanges({{p, 0}}, {&plain});
  if (accepted) {
    applying_ = true;
    QTextCursor c(document());
    c.setPosition(p);
    if (obj->te->text_kind < 2)
      c.insertText(plain);
    else
      c.insertFragment(QTextDocumentFragment(value));
    applying_ = false;
    // Recorded only once the text holds the value, so the arrays never
    // fall out of step with it.
    auto* record = alloc_block<insert_object>();
    if (record) {
      record->obj = obj;
      record->number = static_cast<int16_t>(k);
      ownRecords_.push_back(record);
      for (size_t i = k; i < incObjectsRanges_.size(); ++i) incObjectsRanges_[i].first += static_cast<int>(plain.size());
      incObjectsRanges_.insert(incObjectsRanges_.begin() + static_cast<std::ptrdiff_t>(k),
                               {p, static_cast<int>(plain.size())});
      incObjectsObjects_.insert(incObjectsObjects_.begin() + static_cast<std::ptrdiff_t>(k), record);
    }
    didChangeText();
  }
  --insertingItemsInTheText;
  setFocus(Qt::OtherFocusReason);
}

void NSKelvoTextEditor::textToObject(bool keepDisplay) {
  object* obj = attachedObject_;
  if (!obj || !obj->te) return;
  TErec* te = obj->te;
  const QTextCursor saved = textCursor();
  const int saved_anchor = saved.anchor(), saved_position = saved.position();

  // The output: the text with each value back to its marker, numbered in
  // order of appearance.
  auto* output = new QTextDocument();
  output->setUndoRedoEnabled(false);
  {
    QTextCursor to(output);
    to.insertFragment(QTextDocumentFragment(document()));
  }
  insert_object* list = nullptr;
  std::vector<object*> quoted;
  for (insert_object* r : incObjectsObjects_) quoted.push_back(r ? r->obj : nullptr);
  {
    QTextCursor group(output);
    group.beginEditBlock();
    for (size_t i = incObjectsRanges_.size(); i-- > 0;) {
      const auto [a, l] = incObjectsRanges_[i];
      QTextCursor c(output);
      c.setPosition(std::min(a, std::max(0, output->characterCount() - 1)));
      QTextCursor first(output);
      first.setPosition(std::min(a + 1, std::max(0, output->characterCount() - 1)));
      const QTextCharFormat f = first.charFormat();
      c.setPosition(std::min(a + l, std::max(0, output->characterCount() - 1)), QTextCursor::KeepAnchor);
      c.insertText(QString::fromLatin1(format_reference_marker(static_cast<int>(i) + 1)), f);
    }
    group.endEditBlock();
  }
  // A text handed back in presentation mode is stored with its plain fill.
  if (wide_lines_flag) NSKelvoTextView::setStrokeWidth(output, 0.0);
  for (object* q : quoted)
    if (q) add_text_reference(q, &list);
  free_text_references(&obj->inserted);
  obj->inserted = list;
  freeOwnRecords();
  // A rich text the user changed keeps its runs (bold, italic, colours,
  // sizes...) in the bytes the figure file writes back; one run the record's
  // format holds whole. Bytes read from the file stop being what the text
  // shows once it changed: they follow it too.
  if (changedSinceOpen_ && !nombreOuExpr_) {
    const std::vector<rtf_run> runs = runs_of(output, 0, std::max(0, output->characterCount() - 1));
    const auto same_style = [](const rtf_run& a, const rtf_run& b) {
      return a.font == b.font && a.size == b.size && a.has_color == b.has_color && a.color == b.color &&
             a.bold == b.bold && a.italic == b.italic && a.underline == b.underline && a.script == b.script;
    };
    bool uniform = true;
    for (const rtf_run& r : runs) uniform = uniform && same_style(r, runs.front());
    // The record's 8-bit text has no byte for a character Mac Roman lacks
    // (an angle sign typed or pasted): the rich text keeps it, escaped with a
    // '?' that readers without Unicode show instead.
    bool beyond_mac_roman = false;
    for (const rtf_run& r : runs)
      for (const char16_t c : r.text)
        beyond_mac_roman = beyond_mac_roman || (c >= 0x80 && unicode_to_mac_roman(c) == 0);
    if (te->rtf_data || !uniform || beyond_mac_roman) {
      GlobalFreeAndNull(&te->rtf_data);
      te->rtf_is_rtfd = 0;
      if (!uniform || beyond_mac_roman) {
        const std::string rtf = runs_to_rtf(runs);
        if (char* block = alloc_block<char>(static_cast<uint32_t>(rtf.size() + 1))) {
          std::memcpy(block, rtf.c_str(), rtf.size() + 1);
          te->rtf_data = block;
        }
      }
    }
  }
  // The kernel's text with its markers; the object is recomputed with it.
  std::string bytes = qstring_to_mac_roman(plain_of(output));
  if (te->stored_string && text_handle_ops().release_string) text_handle_ops().release_string(te->stored_string);
  // What is stored is kept as a plain run when it is one.
  te->stored_string = kp_adopt_text_document(output, true);
  output = nullptr;
  if (te->text_kind >= 2) te->text_kind = nombreOuExpr_ ? 1 : 2;

  for (char& c : bytes)
    if (c == '\n') c = '\r';
  if (set_text_record_text(te, bytes.c_str())) te->length = static_cast<int32_t>(std::strlen(te->text));

  if (keepDisplay) {
    if (te->display_string && text_handle_ops().release_string) text_handle_ops().release_string(te->display_string);
    auto* display = new QTextDocument();
    QTextCursor(display).insertFragment(QTextDocumentFragment(document()));
    te->display_string = kp_adopt_text_document(display, false);
  } else {
    replaceReferences();
    loadDisplayString();
  }
  if (wide_lines_flag) NSKelvoTextView::setPresentationMode(te);
  ListOfRangesAndObjects(&incObjectsRanges_, &incObjectsObjects_, true);
  sort_objects_by_dependency();
  te->frame_dirty = 1;
  updateTextViewContent();
  if (type_of(obj) == TYPE_TEXT && !is_check_object(obj) && obj->valeurs && obj->nbvaleurs > 0) {
    obj->valeurs[0].h = te->pos.x;
    obj->valeurs[0].v = te->pos.y;
  }
  recompute_object(obj);
  const int n = stringLength();
  QTextCursor back(document());
  back.setPosition(std::clamp(saved_anchor, 0, n));
  back.setPosition(std::clamp(saved_position, 0, n), QTextCursor::KeepAnchor);
  adjustingSelection_ = true;
  setTextCursor(back);
  adjustingSelection_ = false;
  objectInEdit_ = 0;
  if (isVisible()) objectInEdit_ = 1;
}

void NSKelvoTextEditor::changeTextColor(uint32_t color, int, int) {
  QTextCharFormat f;
  f.setForeground(from_rrggbb(color & 0xFFFFFF));
  mergeIntoSelection(f);
}

// =============================================================== clipboard

std::string NSKelvoTextEditor::selectionRtf() const {
  const QTextCursor c = textCursor();
  return runs_to_rtf(runs_of(document(), c.selectionStart(), c.selectionEnd()));
}

QMimeData* NSKelvoTextEditor::createMimeDataFromSelection() const {
  auto* data = new QMimeData();
  const std::string rtf = selectionRtf();
  data->setData(QStringLiteral("text/rtf"), QByteArray(rtf.data(), static_cast<qsizetype>(rtf.size())));
  QString plain = textCursor().selectedText();
  plain.replace(QChar::ParagraphSeparator, u'\n');
  data->setText(plain);
  return data;
}

void NSKelvoTextEditor::copySelection() {
  if (!textCursor().hasSelection()) return;
  // The rich text first, then the plain characters for programs without RTF.
  const std::string rtf = selectionRtf();
  QString plain = textCursor().selectedText();
  plain.replace(QChar::ParagraphSeparator, u'\n');
  const QByteArray utf8 = plain.toUtf8();
  if (kp_pasteboard_clear() != kPasteboardOk) return;
  kp_pasteboard_put(kFlavorRtf, rtf.data(), rtf.size());
  kp_pasteboard_put(kFlavorText, utf8.constData(), static_cast<size_t>(utf8.size()));
}

void NSKelvoTextEditor::cutSelection() {
  if (!textCursor().hasSelection()) return;
  copySelection();
  const auto [start, length] = firstSelectedRange();
  replaceRange(start, length, QString());
}

bool NSKelvoTextEditor::canInsertFromMimeData(const QMimeData* source) const {
  return source && (source->hasFormat(QStringLiteral("text/rtf")) || source->hasText());
}

void NSKelvoTextEditor::insertFromMimeData(const QMimeData* source) {
  if (!source) return;
  if (!nombreOuExpr_ && source->hasFormat(QStringLiteral("text/rtf"))) {
    const QByteArray rtf = source->data(QStringLiteral("text/rtf"));
    insertRTFtext(rtf.constData(), static_cast<size_t>(rtf.size()));
  } else if (source->hasText()) {
    const auto [start, length] = firstSelectedRange();
    replaceRange(start, length, filtered(source->text(), nombreOuExpr_ != 0));
  }
}

void NSKelvoTextEditor::pasteClipboard() {
  // Rich text when the clipboard holds some (numbers and expressions take
  // only its characters), else its plain text.
  static NSKelvoTextEditor* pasting = nullptr;
  pasting = this;
  const bool rich = paste_rtf_into_text_editor([](const char* data, size_t length) {
    if (pasting) pasting->insertRTFtext(data, length);
  });
  pasting = nullptr;
  if (rich) return;
  std::string text;
  if (kp_pasteboard_copy(kFlavorText, &text) != kPasteboardOk) return;
  const auto [start, length] = firstSelectedRange();
  replaceRange(start, length, filtered(QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())),
                                       nombreOuExpr_ != 0));
}

void NSKelvoTextEditor::insertRTFtext(const char* bytes, size_t length) {
  if (!bytes || length == 0) return;
  // Flattened RTFD has no reader here: nothing is inserted.
  if (length >= 4 && std::memcmp(bytes, "rtfd", 4) == 0) return;
  const rtf_document rtf = read_rtf(bytes, length);
  QTextDocument scratch;
  QTextCursor c(&scratch);
  const QFont base = currentCharFormat().font();
  for (const rtf_run& run : rtf.runs) {
    const QString text = filtered(QString::fromStdU16String(run.text), nombreOuExpr_ != 0);
    if (!text.isEmpty()) c.insertText(text, run_format(run, base));
  }
  const QString plain = plain_of(&scratch);
  if (plain.isEmpty()) return;
  const auto [start, len] = firstSelectedRange();
  if (nombreOuExpr_) {
    replaceRange(start, len, plain);
  } else {
    const QTextDocumentFragment fragment(&scratch);
    replaceRange(start, len, plain, &fragment);
  }
  viewport()->update();
}

// ==================================================================== keys

void NSKelvoTextEditor::typeText(const QString& typed) {
  const QString text = filtered(typed, nombreOuExpr_ != 0);
  if (text.isEmpty()) return;
  const auto [start, length] = firstSelectedRange();
  replaceRange(start, length, text);
}

void NSKelvoTextEditor::keyPressEvent(QKeyEvent* event) {
  if (event->matches(QKeySequence::Copy)) {
    copySelection();
    return;
  }
  if (event->matches(QKeySequence::Cut)) {
    cutSelection();
    return;
  }
  if (event->matches(QKeySequence::Paste)) {
    pasteClipboard();
    return;
  }
  if (event->matches(QKeySequence::Undo) || event->matches(QKeySequence::Redo)) return;
  const auto [start, length] = firstSelectedRange();
  switch (event->key()) {
    case Qt::Key_Backspace:
      if (length > 0)
        replaceRange(start, length, QString());
      else if (start > 0)
        replaceRange(start - 1, 1, QString());
      return;
    case Qt::Key_Delete:
      if (length > 0)
        replaceRange(start, length, QString());
      else if (start < stringLength())
        replaceRange(start, 1, QString());
      return;
    case Qt::Key_Return:
    case Qt::Key_Enter:
      if (!nombreOuExpr_) replaceRange(start, length, QStringLiteral("\n"));
      return;
    case Qt::Key_Up:
    case Qt::Key_Down:
      if (nombre_) {
        stepperDoIncrement(event->key() == Qt::Key_Up ? 1 : -1);
        return;
      }
      break;
    default:
      break;
  }
  const QString text = event->text();
  const bool command = event->modifiers() & (Qt::ControlModifier | Qt::MetaModifier);
  if (command && !(event->modifiers() & (Qt::ShiftModifier | Qt::AltModifier)) &&
      (event->key() == Qt::Key_B || event->key() == Qt::Key_I)) {
    toggleFontStyle(event->key() == Qt::Key_B);
    return;
  }
  if (!command && !text.isEmpty() && !text.at(0).isNull() && text.at(0).unicode() >= 32 &&
      text.at(0).unicode() != 127) {
    typeText(text);
    return;
  }
  if (event->key() == Qt::Key_Tab && !nombreOuExpr_) {
    typeText(QStringLiteral("\t"));
    return;
  }
  // Moving the caret and selecting are the widget's own.
  QTextCursor before = textCursor();
  const int characters = stringLength();
  QTextEdit::keyPressEvent(event);
  if (stringLength() != characters) {
    // A key the widget turned into an edit of its own is taken back.
    applying_ = true;
    loadDisplayString();
    applying_ = false;
    setTextCursor(before);
  }
}

void NSKelvoTextEditor::toggleFontStyle(bool bold) {
  // Numbers and expressions are plain texts.
  if (nombreOuExpr_) return;
  const auto [start, length] = firstSelectedRange();
  QTextCharFormat at = currentCharFormat();
  if (length > 0) {
    QTextCursor c(document());
    c.setPosition(start + 1);
    at = c.charFormat();
  }
  QTextCharFormat f;
  if (bold)
    f.setFontWeight(at.font().bold() ? QFont::Normal : QFont::Bold);
  else
    f.setFontItalic(!at.font().italic());
  mergeIntoSelection(f);
}

void NSKelvoTextEditor::mergeIntoSelection(const QTextCharFormat& format) {
  const auto [start, length] = firstSelectedRange();
  if (length == 0) {
    mergeCurrentCharFormat(format);
    return;
  }
  if (!shouldChangeTextInRanges({{start, length}}, {nullptr})) return;
  QTextCursor c(document());
  c.setPosition(start);
  c.setPosition(start + length, QTextCursor::KeepAnchor);
  c.mergeCharFormat(format);
  didChangeText();
  viewport()->update();
}

void NSKelvoTextEditor::inputMethodEvent(QInputMethodEvent* event) {
  // Composition is shown by the platform only once committed: the commit
  // string goes through the check as typed text.
  if (!event->commitString().isEmpty()) {
    const auto [start, length] = firstSelectedRange();
    int s = start + event->replacementStart();
    int l = length + event->replacementLength();
    if (event->replacementLength() == 0) {
      s = start;
      l = length;
    }
    replaceRange(s, l, filtered(event->commitString(), nombreOuExpr_ != 0));
  }
  event->accept();
}

void NSKelvoTextEditor::focusOutEvent(QFocusEvent* event) { QTextEdit::focusOutEvent(event); }

// =================================================================== frame

void NSKelvoTextEditor::placeOverFrame() {
  if (!host_) return;
  const QPointF top_left = host_->figureToView(QPointF(cFrame_.x, cFrame_.y));
  const double s = viewScale();
  // A new zoom lays the text out again at the next drawing.
  if (std::lround(72 * s) != layoutDpi_ && !needsSelfResize_) {
    needsSelfResize_ = 1;
    viewport()->update();
  }
  setGeometry(QRect(QPoint(static_cast<int>(std::floor(top_left.x())), static_cast<int>(std::floor(top_left.y()))),
                    QSize(std::max(1, static_cast<int>(std::lround(cFrame_.width * s))),
                          std::max(1, static_cast<int>(std::lround(cFrame_.height * s))))));
  stepper_->move(std::max(0, width() - 13), 0);
}

void NSKelvoTextEditor::selfScrollX(int d) {
  cFrame_.x += static_cast<float>(d);
  needsSelfResize_ = 1;
  isScrolling_ = 1;
}

void NSKelvoTextEditor::selfScrollY(int d) {
  cFrame_.y += static_cast<float>(d);
  needsSelfResize_ = 1;
  isScrolling_ = 1;
}

void NSKelvoTextEditor::selfResize() {
  object* obj = attachedObject_;
  refreshKind();
  setAcceptRichText(!nombreOuExpr_);
  stepper_->setVisible(nombre_ != 0);
  layOutAtViewScale();
  if (obj && obj->te) {
    TErec* te = obj->te;
    const double s = viewScale();
    document()->setTextWidth(std::max(1.0, te->size.w * s));
    const double h = document()->documentLayout()->documentSize().height() / s;
    if (h > 0) te->size.h = h <= kMinHeight ? kMinHeight : static_cast<int32_t>(h);
    te->frame_dirty = 0;
    computeFrame(true);
  }
  placeOverFrame();
  needsSelfResize_ = 0;
  isScrolling_ = 0;
  if (host_) host_->editorFrameChanged();
}

void NSKelvoTextEditor::resizeWindow(int code, double px, double py) {
  object* obj = attachedObject_;
  if (!obj || !obj->te || !host_) return;
  TErec* te = obj->te;
  auto right = [&] {
    const double w = px - te->pos.x;
    if (w >= kMinWidth) te->size.w = static_cast<int32_t>(w);
  };
  auto left = [&] {
    const double w = te->size.w + (te->pos.x - px);
    if (w >= kMinWidth) {
      te->size.w = static_cast<int32_t>(w);
      te->pos.x = static_cast<int32_t>(px);
    }
  };
  auto top = [&] {
    const double h = te->size.h + (te->pos.y - py);
    if (h >= kMinHeight) {
      te->size.h = static_cast<int32_t>(h);
      te->pos.y = static_cast<int32_t>(py);
    }
  };
  auto bottom = [&] {
    const double h = py - te->pos.y;
    if (h >= kMinHeight) te->size.h = static_cast<int32_t>(h);
  };
  switch (code) {
    case 257: right(); bottom(); break;
    case 259: right(); break;
    case 260: right(); top(); break;
    case 261: top(); break;
    case 262: top(); left(); break;
    case 263: left(); break;
    case 264: left(); bottom(); break;
    case 265: bottom(); break;
    default: break;
  }
  computeFrame(true);
  if (nombre_) selfResize();
  placeOverFrame();
  if (host_) host_->editorFrameChanged();
  resizing_ = 1;
}

bool NSKelvoTextEditor::stopResizing() {
  const bool was = resizing_ != 0;
  resizing_ = 0;
  return was;
}

bool NSKelvoTextEditor::shouldDrawInsertionPoint() const {
  return !(host_ && host_->viewLocked()) && !resizing_;
}

void NSKelvoTextEditor::paintEvent(QPaintEvent* event) {
  if (needsSelfResize_) selfResize();
  setCursorWidth(shouldDrawInsertionPoint() ? 1 : 0);
  QTextEdit::paintEvent(event);
}

// ================================================================ stepper

void NSKelvoTextEditor::stepperDoIncrement(int d) {
  stepperValue_ += d;
  stepperAction(stepperValue_);
}

void NSKelvoTextEditor::stepperAction(int v) {
  const auto [start, length] = firstSelectedRange();
  const std::string text = qstring_to_mac_roman(toPlainText());
  const int direction = v > previousStepperValue_ ? 0 : 1;
  int new_start = 0, new_end = 0;
  const std::string stepped =
      step_number_in_text(text, start & 0xFFFF, (start + length) & 0xFFFF, direction, nullptr, &new_start, &new_end);
  previousStepperValue_ = v;
  const QString whole = mac_roman_to_qstring(stepped);
  const int n = stringLength();
  // The whole text is replaced; the check sees it as typed.
  const int8_t saved_kind = nombre_;
  if (!shouldChangeTextInRanges({{0, n}}, {&whole})) return;
  nombre_ = saved_kind;
  applying_ = true;
  QTextCursor c(document());
  c.setPosition(0);
  c.setPosition(n, QTextCursor::KeepAnchor);
  c.insertText(whole);
  applying_ = false;
  didChangeText();
  if (new_end != 0 && new_end <= stringLength()) selectPlain(new_start, new_end);
}

// ================================================================ scripts

namespace {

// Every font panel shown takes the two script buttons, at its bottom.
class FontPanelWatcher : public QObject {
 public:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::Show)
      if (auto* panel = qobject_cast<QFontDialog*>(watched)) NSKelvoTextEditor::attachFontPanelAccessories(panel);
    return false;
  }
};

}  // namespace

void NSKelvoTextEditor::attachFontPanelAccessories(QDialog* panel) {
  if (!panel || !panel->layout()) return;
  QWidget* accessory = initFontPanelaccessories();
  if (accessory->parentWidget() != panel) {
    accessory->setParent(panel);
    panel->layout()->addWidget(accessory);
  }
  accessory->setHidden(g_accessory_hidden);
  relabelFontPanelAccessories();
}

void NSKelvoTextEditor::relabelFontPanelAccessories() {
  if (g_subscript) g_subscript->setText(mac_roman_to_qstring(kernel_string(785)));
  if (g_superscript) g_superscript->setText(mac_roman_to_qstring(kernel_string(784)));
}

QWidget* NSKelvoTextEditor::initFontPanelaccessories() {
  static FontPanelWatcher* watcher = nullptr;
  if (!watcher && QCoreApplication::instance()) {
    watcher = new FontPanelWatcher();
    watcher->setParent(QCoreApplication::instance());
    QCoreApplication::instance()->installEventFilter(watcher);
  }
  if (g_accessory) return g_accessory;
  g_accessory = new QWidget();
  g_accessory->setFixedSize(300, 30);
  g_subscript = new QCheckBox(mac_roman_to_qstring(kernel_string(785)), g_accessory);
  g_subscript->setGeometry(0, 0, 150, 30);
  g_superscript = new QCheckBox(mac_roman_to_qstring(kernel_string(784)), g_accessory);
  g_superscript->setGeometry(150, 0, 150, 30);
  QObject::connect(g_subscript, &QCheckBox::clicked, [](bool on) { subScriptAction(on ? 1 : 0); });
  QObject::connect(g_superscript, &QCheckBox::clicked, [](bool on) { overScriptAction(on ? 1 : 0); });
  return g_accessory;
}

void NSKelvoTextEditor::setFontPanelAccessories(bool hidden) {
  g_accessory_hidden = hidden;
  if (g_accessory) g_accessory->setHidden(hidden);
}

QCheckBox* NSKelvoTextEditor::subscriptButton() { return g_subscript; }
QCheckBox* NSKelvoTextEditor::superscriptButton() { return g_superscript; }

namespace {

void script_action(int state, bool superscript) {
  if (g_script_action_running) return;
  kelvo_win_info* fig = KPGeoDocument::currentInfo();
  if (!fig || !fig->cur_text || !g_active_editor) return;
  g_script_action_running = true;
  const float level = static_cast<float>(superscript ? state : -state);
  if (g_active_editor->changeSubscripting(level)) {
    QCheckBox* other = superscript ? g_subscript : g_superscript;
    if (other) other->setChecked(false);
  }
  g_script_action_running = false;
}

}  // namespace

void NSKelvoTextEditor::subScriptAction(int state) { script_action(state, false); }
void NSKelvoTextEditor::overScriptAction(int state) { script_action(state, true); }

bool NSKelvoTextEditor::changeSubscripting(float level) {
  const auto [start, length] = firstSelectedRange();
  if (!shouldChangeTextInRanges({{start, length}}, {nullptr})) return false;
  const int n = stringLength();
  QTextCharFormat f;
  f.setVerticalAlignment(level > 0   ? QTextCharFormat::AlignSuperScript
                         : level < 0 ? QTextCharFormat::AlignSubScript
                                     : QTextCharFormat::AlignNormal);
  if (length == 0) {
    // An empty selection changes the typing attributes only.
    QTextCharFormat typing = currentCharFormat();
    typing.setVerticalAlignment(f.verticalAlignment());
    setCurrentCharFormat(typing);
    return true;
  }
  if (start > 0 && start < n) {
    QTextCursor before(document());
    before.setPosition(start);
    QTextCursor at(document());
    at.setPosition(start + 1);
    const QFont prev = before.charFormat().font();
    const QFont here = at.charFormat().font();
    if (prev.pointSizeF() == here.pointSizeF() && level != 0) f.setFontPointSize(here.pointSizeF() * 0.75);
  }
  QTextCursor c(document());
  c.setPosition(start);
  c.setPosition(start + length, QTextCursor::KeepAnchor);
  c.mergeCharFormat(f);
  didChangeText();
  setSelectedRange(start, length);
  viewport()->update();
  return true;
}
