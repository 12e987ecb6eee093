#include "platform/ns_kelvo_text_view.h"

#include <QAbstractTextDocumentLayout>
#include <QFontMetricsF>
#include <QGlyphRun>
#include <QRawFont>
#include <QImage>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextDocumentFragment>
#include <QTextLayout>
#include <QPainter>
#include <QPen>
#include <QTextFrame>
#include <QTextList>
#include <algorithm>
#include <cmath>
#include <cstring>
#include <deque>
#include <memory>
#include <string>
#include <unordered_map>

#include "kernel/model/classes.h"
#include "kernel/model/figure.h"
#include "kernel/model/memory.h"
#include "kernel/render/display_device.h"
#include "kernel/render/fonts.h"
#include "kernel/text/reference_marker.h"
#include "kernel/text/text_record.h"
#include "kernel/text/text_view.h"
#include "platform/kp_font_qt.h"
#include "platform/kp_graf_port.h"
#include "platform/mac_roman.h"
#include "platform/mac_roman_qt.h"
#include "platform/rtf_reader.h"

namespace {

// Texts quoting texts are refreshed recursively; a quotation cycle stops
// here.
constexpr int kMaxRefreshDepth = 16;
int refresh_depth = 0;

// Layout happens on a 72-dpi device, as every text of the figure is drawn:
// a point is one pixel.
QPaintDevice* layout_device() {
  static QImage* device = [] {
    auto* image = new QImage(1, 1, QImage::Format_ARGB32);
    kp_set_device_dpi(*image);
    return image;
  }();
  return device;
}

// The default font of every string, and the same for the layout device.
// Every layout asks for them: they are made again only with the font table.
struct DefaultFonts {
  QFont font;
  QFont laid;
};
const DefaultFonts& default_fonts() {
  // Kept to the end of the program: fonts must not outlive the font system.
  static DefaultFonts& fonts = *new DefaultFonts;
  static uint32_t generation = 0;
  static bool known = false;
  if (!known || generation != font_table_generation()) {
    fonts.font = font_get_nsfont(0)->impl()->font;
    fonts.font.setPointSizeF(12);
    fonts.laid = QFont(fonts.font, layout_device());
    generation = font_table_generation();
    known = true;
  }
  return fonts;
}

QFont system_font() { return default_fonts().font; }

QTextDocument* new_document() {
  auto* doc = new QTextDocument();
  doc->setUndoRedoEnabled(false);
  doc->setDocumentMargin(0);
  doc->documentLayout()->setPaintDevice(layout_device());
  doc->setDefaultFont(system_font());
  return doc;
}

void apply_to_all(QTextDocument* doc, const QTextCharFormat& format) {
  QTextCursor c(doc);
  c.select(QTextCursor::Document);
  c.mergeCharFormat(format);
}

// The format of a plain run and what drawing it needs, shared by the many
// strings of the same style: a figure's numbers are mostly alike.
struct RunStyle {
  QTextCharFormat format;
  // The run's font as the layout resolves it, and whether the run is drawn
  // by the painter's own text drawing, which gives the pixels of a laid-out
  // line when the font is complete and the run has no decoration, outline
  // or background.
  QFont font;
  bool direct = false;
  // The same font on the layout device: a run in it alone lays out as in
  // its format.
  QFont laid;
  // The font asks for a slant or a weight, which the font system makes up
  // when the family lacks the face: the glyphs' outline boxes then do not
  // bound what is drawn, by up to an eighth of the size.
  bool made_up = false;
  // The format is one a plain run may have (plain_format).
  bool plain = false;
  // How far a glyph of the font may reach right of its advance, in
  // pixels of the layout device (-1: not asked yet).
  mutable double overhang = -1;
  // Texts measured in the font by laying them out as runs of this style,
  // and how many of those layouts a run showing the text took up since:
  // measuring by a layout pays where what is measured is shown next.
  mutable uint32_t widths_laid = 0;
  mutable uint32_t widths_shown = 0;
  bool widthsByLayout() const { return widths_laid < 64 || 2 * widths_shown >= widths_laid; }
  double rightOverhang() const {
    if (overhang < 0) overhang = std::max(0.0, -QFontMetricsF(laid).minRightBearing());
    return overhang;
  }
  // The pen of a run with a colour of its own (`colored`).
  bool colored = false;
  QPen pen;
  // The raw font of the glyphs shaped in `font`, shared by the runs kept.
  mutable QRawFont raw_font;
  // The outline boxes of the glyphs of `raw_font` asked for so far, by
  // glyph index (a null box: not asked yet). The font system finds a box
  // by loading the glyph's metrics: a figure's texts share few glyphs.
  mutable std::vector<QRectF> boxes;
  mutable std::vector<bool> boxed;
  QRectF box(quint32 glyph) const {
    // Glyph indexes of a font file are 16 bits.
    if (glyph > 0xFFFF) return raw_font.boundingRect(glyph);
    if (glyph >= boxed.size()) {
      boxes.resize(glyph + 1);
      boxed.resize(glyph + 1);
    }
    if (!boxed[glyph]) {
      boxes[glyph] = raw_font.boundingRect(glyph);
      boxed[glyph] = true;
    }
    return boxes[glyph];
  }
};

// A format that names its font's family and size: the font it gives
// does not depend on the document's default font for them.
bool complete_font(const QTextCharFormat& format) {
  return (format.hasProperty(QTextFormat::FontFamilies) || format.hasProperty(QTextFormat::FontFamily)) &&
         format.hasProperty(QTextFormat::FontPointSize);
}

// Formats a plain run may have: what a line lays out by itself, without the
// objects, anchors and raised or lowered runs of a document.
bool plain_format(const QTextCharFormat& format) {
  return format.verticalAlignment() == QTextCharFormat::AlignNormal && !format.isAnchor() &&
         format.objectType() == QTextFormat::NoObject && !format.hasProperty(QTextFormat::ImageName);
}

// The last styles made: a new string of a known style shares it.
std::vector<std::shared_ptr<const RunStyle>>& recent_styles() {
  static auto& recent = *new std::vector<std::shared_ptr<const RunStyle>>;
  return recent;
}

std::shared_ptr<const RunStyle> style_of(const QTextCharFormat& format) {
  auto& recent = recent_styles();
  for (const auto& known : recent)
    if (known->format == format) return known;
  auto style = std::make_shared<RunStyle>();
  style->format = format;
  style->font = format.font().resolve(system_font());
  style->laid = QFont(style->font, layout_device());
  style->plain = plain_format(format);
  style->colored = format.hasProperty(QTextFormat::ForegroundBrush);
  if (style->colored) style->pen = QPen(format.foreground().color());
  style->made_up = style->font.style() != QFont::StyleNormal || style->font.weight() > QFont::Medium;
  style->direct = complete_font(format) && !style->font.underline() && !style->font.overline() &&
                  !style->font.strikeOut() && format.underlineStyle() == QTextCharFormat::NoUnderline &&
                  format.textOutline().style() == Qt::NoPen && !format.hasProperty(QTextFormat::BackgroundBrush) &&
                  (!format.hasProperty(QTextFormat::ForegroundBrush) || format.foreground().style() == Qt::SolidPattern);
  if (recent.size() >= 16) recent.erase(recent.begin());
  recent.push_back(style);
  return style;
}

}  // namespace

// A string of the text view: a document, or a plain run (one text in one
// format, most texts of a figure: numbers, measures, one-style texts). A
// plain run keeps its text and format alone, and is laid out when it is
// measured or drawn, as a document would lay it out; it becomes a
// document the first time something needs one (rich content, an edit in
// place of its runs, the editor).
class KPTextString {
 public:
  // Every string gets a version of its own: a display string knows the
  // stored string it copies by its address and version together.
  explicit KPTextString(QTextDocument* doc) : doc_(doc) { changed(); }
  KPTextString(QString text, const QTextCharFormat& format) : text_(std::move(text)), style_(style_of(format)) {
    changed();
  }
  KPTextString(QString text, std::shared_ptr<const RunStyle> style) : text_(std::move(text)), style_(std::move(style)) {
    changed();
  }
  // A plain copy of a plain run, sharing its style.
  explicit KPTextString(const KPTextString* source) : text_(source->text_), style_(source->style_) {
    changed();
    copiedFrom(source);
  }
  ~KPTextString() { delete doc_; }
  KPTextString(const KPTextString&) = delete;
  KPTextString& operator=(const KPTextString&) = delete;

  bool plain() const { return doc_ == nullptr; }
  // The document, made from the plain run the first time.
  QTextDocument* document() {
    if (!doc_) {
      doc_ = new_document();
      if (unlaid_) doc_->setPageSize(QSizeF(0, 0));
      if (!text_.isEmpty()) QTextCursor(doc_).insertText(text_);
      apply_to_all(doc_, style_->format);
      text_.clear();
      style_.reset();
      changed();
    }
    return doc_;
  }
  // The text, each paragraph ended by '\n' (as QTextDocument::toPlainText).
  QString text() const {
    if (!doc_) return text_;
    QString s = doc_->toPlainText();
    s.replace(QChar::ParagraphSeparator, u'\n');
    return s;
  }
  bool empty() const { return doc_ ? doc_->isEmpty() : text_.isEmpty(); }
  const QTextCharFormat& format() const { return style_->format; }
  const RunStyle& style() const { return *style_; }
  const std::shared_ptr<const RunStyle>& sharedStyle() const { return style_; }
  bool outlined() const { return outlined_; }

  void setText(const QString& text) {
    text_ = text;
    changed();
  }
  void merge(const QTextCharFormat& format) {
    QTextCharFormat f = style_->format;
    f.merge(format);
    setFormat(f);
  }
  void setFormat(const QTextCharFormat& format) {
    style_ = style_of(format);
    changed();
  }

  // A stored string is never laid out; a document made from it neither.
  void setUnlaid() {
    unlaid_ = true;
    if (doc_) doc_->setPageSize(QSizeF(0, 0));
  }
  // A display string shows its stored string as it is, in presentation
  // mode or not: what it was copied from.
  void copiedFrom(const KPTextString* source) {
    source_ = source;
    source_version_ = source->version_;
    outlined_ = false;
  }
  bool showsAsItIs(const KPTextString* stored, bool outlined) const {
    return plain() && stored && stored->plain() && source_ == stored && source_version_ == stored->version_ &&
           outlined_ == outlined;
  }
  void setOutlined(bool outlined) { outlined_ = outlined; }

  // The plain run laid out at `width` (-1: without wrapping); the size and
  // number of lines are kept until the run changes or another width is asked.
  struct Line {
    int start, length;
    double y, ascent, height;
  };
  // Glyphs of one font on one line: `count` glyphs from `first` of the
  // run's glyphs.
  struct GlyphRun {
    QRawFont font;
    int line, first, count;
  };
  struct Laid {
    QSizeF size;
    std::vector<Line> lines;
    // Each line can be drawn by itself: no tab, and no script whose
    // shaping or direction depends on the rest of its paragraph.
    bool separable = true;
    // The glyphs the layout shaped, kept for a separable run drawn
    // directly: drawn as they are, they are not shaped again. Their places
    // are whole 64ths of a pixel, kept as such.
    std::vector<GlyphRun> runs;
    std::vector<quint32> glyphs;
    std::vector<QPoint> places;
    // The box of the kept glyphs' outlines, widened where the font system
    // may slant or thicken them: no pixel of the run lies further than
    // antialiasing spreads.
    QRectF ink;
    // For each place asked for (wantCursors), the cursor's x before its
    // position on the line of its anchor, and the top and height of that
    // line (a null height: no such line).
    struct Cursor {
      double x, y, height;
    };
    std::vector<Cursor> cursors;
    // Of a layout without wrapping: each line is a whole paragraph, the
    // cursor's x at its start and at its end (before its break), and
    // whether every glyph kept is of the style's own font.
    bool paragraphs = false;
    std::vector<std::pair<double, double>> edges;
    bool own_font = true;
    bool shaped() const { return !runs.empty(); }
  };
  // Places (anchor, position) whose cursors the next layouts give too.
  void wantCursors(const std::vector<std::pair<int, int>>& places) {
    if (places == cursor_places_) return;
    cursor_places_ = places;
    has_laid_ = false;
  }
  const Laid& laidOut(double width) {
    if (!has_laid_ || laid_width_ != width) {
      laid_width_ = width;
      has_laid_ = true;
      // The same text in the same style laid out without wrapping, by this
      // string or another (a text quoting a value shows the value's text),
      // gives every layout that wraps nowhere.
      const bool shared = doc_ == nullptr && style_->direct;
      if (shared) {
        const auto known = unbounded().find(UnboundedKey{style_.get(), text_});
        if (known != unbounded().end() && derive(known->second.laid, width, &laid_)) {
          if (known->second.measured) {
            known->second.measured = false;
            ++style_->widths_shown;
          }
          return laid_;
        }
      }
      // One layout serves every measure: a layout set to a new text keeps
      // nothing of the last one. Kept to the end of the program: fonts must
      // not outlive the font system.
      static QTextLayout& layout = *new QTextLayout;
      laid_ = layOut(layout, width, true);
      if (shared && width < 0 && laid_.shaped() && laid_.paragraphs) {
        auto& known = unbounded();
        auto& order = unbounded_order();
        if (known.size() >= kUnboundedKept) {
          known.erase(order.front());
          order.pop_front();
        }
        const auto [at, fresh] = known.try_emplace(UnboundedKey{style_.get(), text_}, Unbounded{style_, laid_, false});
        if (fresh) order.push_back(at->first);
        else at->second = Unbounded{style_, laid_, false};
        at->second.laid.cursors.clear();
      }
    }
    return laid_;
  }
  // The advance of `text`, one line laid out as a run of `style` (the
  // cursor at its end: the sum of its glyphs' advances, as the font's
  // metrics add them), kept for the run that shows it next. False where
  // the text is not one such line, or where the style's runs seldom show
  // what was measured (the font's metrics are then quicker).
  static bool measuredWidth(const std::shared_ptr<const RunStyle>& style, const QString& text, double* width) {
    const auto known = unbounded().find(UnboundedKey{style.get(), text});
    if (known != unbounded().end()) return lineWidth(known->second.laid, text, width);
    if (!style->widthsByLayout()) return false;
    if (++style->widths_laid >= 4096) {
      style->widths_laid /= 2;
      style->widths_shown /= 2;
    }
    KPTextString run(text, style);
    if (!lineWidth(run.laidOut(-1), text, width)) return false;
    const auto made = unbounded().find(UnboundedKey{style.get(), text});
    if (made != unbounded().end()) made->second.measured = true;
    return true;
  }

  // Lays the run out as a document lays out its paragraphs: each line
  // break starts a line, lines wrap at `width` at word boundaries or
  // anywhere, each line as high as its font with the leading.
  // Measuring only, a run drawn by itself is laid out in its font alone,
  // which gives the same lines without resolving its format.
  Laid layOut(QTextLayout& layout, double width, bool measuring = false) const {
    QString t = text_;
    if (t.contains(u'\n')) t.replace(u'\n', QChar::LineSeparator);
    layout.setText(t);
    if (measuring && style_->direct) {
      layout.setFont(style_->laid);
      layout.clearFormats();
    } else {
      layout.setFont(default_fonts().laid);
      layout.setFormats({QTextLayout::FormatRange{0, static_cast<int>(t.size()), style_->format}});
    }
    QTextOption option;
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    layout.setTextOption(option);
    layout.setCacheEnabled(false);
    Laid laid;
    for (const QChar c : t)
      laid.separable = laid.separable && ((c.unicode() >= u' ' && c.unicode() < 0x0590) || c == QChar::LineSeparator);
    bool keep = measuring && style_->direct && laid.separable;
    if (keep) {
      laid.glyphs.reserve(static_cast<size_t>(t.size()));
      laid.places.reserve(static_cast<size_t>(t.size()));
    }
    double y = 0, natural = 0;
    laid.paragraphs = width < 0;
    layout.beginLayout();
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
      line.setLeadingIncluded(true);
      line.setLineWidth(width >= 0 ? width : kUnboundedWidth);
      line.setPosition(QPointF(0, y));
      int length = line.textLength();
      while (length > 0 && t[line.textStart() + length - 1] == QChar::LineSeparator) --length;
      laid.lines.push_back({line.textStart(), length, y, line.ascent(), line.height()});
      if (laid.paragraphs) {
        const int end = line.textStart() + length;
        laid.paragraphs = end == t.size() || t[end] == QChar::LineSeparator;
        laid.edges.emplace_back(line.cursorToX(line.textStart()), line.cursorToX(end));
      }
      laid.separable = laid.separable && line.x() == 0;
      if (keep && laid.separable && length > 0) keep = keepGlyphs(laid, line, length);
      y += line.height();
      natural = std::max(natural, line.naturalTextWidth());
    }
    // Before the layout ends: it keeps its shaping until then.
    for (const auto& [anchor, at] : cursor_places_) {
      const QTextLine line = layout.lineForTextPosition(anchor);
      if (line.isValid())
        laid.cursors.push_back({line.cursorToX(at), line.y(), line.height()});
      else
        laid.cursors.push_back({0, 0, 0});
    }
    layout.endLayout();
    laid.size = QSizeF(width >= 0 ? width : natural, y);
    if (!laid.paragraphs) laid.edges.clear();
    if (!keep || !laid.separable) {
      laid.runs.clear();
      laid.glyphs.clear();
      laid.places.clear();
      laid.ink = QRectF();
    } else if (style_->made_up && !laid.ink.isEmpty()) {
      const double reach = kMadeUpReach * style_->laid.pixelSize();
      laid.ink.adjust(-reach, -reach, reach, reach);
    }
    return laid;
  }

 private:
  // Keeps the glyphs of a line as the layout shaped them, and widens the
  // ink by their outlines; false when a place is not a whole 64th (which a
  // layout never gives): the run then keeps none.
  bool keepGlyphs(Laid& laid, const QTextLine& line, int length) const {
    for (const QGlyphRun& run : line.glyphRuns(line.textStart(), length)) {
      const QList<quint32> indexes = run.glyphIndexes();
      const QList<QPointF> places = run.positions();
      if (indexes.size() != places.size()) continue;
      // Runs in the style's own font share one, and the boxes of its glyphs.
      const QRawFont shaped = run.rawFont();
      if (!style_->raw_font.isValid()) style_->raw_font = shaped;
      const bool own = style_->raw_font == shaped;
      laid.own_font = laid.own_font && own;
      const QRawFont& font = own ? style_->raw_font : shaped;
      laid.runs.push_back({font, static_cast<int>(laid.lines.size() - 1), static_cast<int>(laid.glyphs.size()),
                           static_cast<int>(indexes.size())});
      for (qsizetype i = 0; i < indexes.size(); ++i) {
        const QPointF at = places[i] * 64;
        if (at.x() != std::floor(at.x()) || at.y() != std::floor(at.y()) || std::abs(at.x()) > 1e9 ||
            std::abs(at.y()) > 1e9)
          return false;
        laid.glyphs.push_back(indexes[i]);
        laid.places.emplace_back(static_cast<int>(at.x()), static_cast<int>(at.y()));
        laid.ink |= (own ? style_->box(indexes[i]) : font.boundingRect(indexes[i])).translated(places[i]);
      }
    }
    return true;
  }

  // Layouts without wrapping kept for the strings that show the same text
  // in the same style.
  // Keyed by the style (kept alive by the entry) and the text. Enough are
  // kept for every value of a figure's drag step: each is measured as it
  // changes and laid out again when it is drawn, after all the others.
  struct UnboundedKey {
    const RunStyle* style;
    QString text;
    bool operator==(const UnboundedKey&) const = default;
  };
  struct UnboundedHash {
    size_t operator()(const UnboundedKey& k) const {
      return qHash(k.text) ^ (std::hash<const void*>()(k.style) * 31);
    }
  };
  struct Unbounded {
    std::shared_ptr<const RunStyle> style;
    Laid laid;
    // Laid out to measure the text, and not yet shown.
    bool measured = false;
  };
  static bool lineWidth(const Laid& laid, const QString& text, double* width) {
    if (!laid.paragraphs || laid.lines.size() != 1 || laid.edges.size() != 1 || laid.edges[0].first != 0 ||
        laid.lines[0].length != text.size())
      return false;
    *width = laid.edges[0].second;
    return true;
  }
  static constexpr size_t kUnboundedKept = 4096;
  static std::unordered_map<UnboundedKey, Unbounded, UnboundedHash>& unbounded() {
    // Kept to the end of the program: fonts must not outlive the font system.
    static auto& kept = *new std::unordered_map<UnboundedKey, Unbounded, UnboundedHash>;
    return kept;
  }
  // The keys in the order they came: the oldest goes first.
  static std::deque<UnboundedKey>& unbounded_order() {
    static auto& order = *new std::deque<UnboundedKey>;
    return order;
  }
  // The layout at `width` (-1: without wrapping) of the text that `free`
  // lays out without wrapping, when no line of it wraps at that width:
  // the lines, glyphs and places are then the same, and only the size's
  // width differs. A line breaks only where what it holds so far, trailing
  // blanks and the reach of its last glyph beyond its advance included,
  // is wider than the line: each line is narrower than `width` by more
  // than the farthest a glyph of the font reaches, with a pixel to spare.
  // The cursors asked for must be at the start or the end of a line.
  // False where the text must be laid out.
  bool derive(const Laid& free, double width, Laid* out) const {
    if (!free.paragraphs || !free.shaped() || !free.own_font || free.edges.size() != free.lines.size()) return false;
    if (width >= 0) {
      const double reach = style_->rightOverhang() + 1;
      for (const auto& [start, end] : free.edges)
        if (start != 0 || end + reach > width) return false;
    }
    std::vector<Laid::Cursor> cursors;
    for (const auto& [anchor, at] : cursor_places_) {
      size_t i = 0;
      while (i + 1 < free.lines.size() && anchor > free.lines[i].start + free.lines[i].length) ++i;
      if (free.lines.empty()) return false;
      const Line& line = free.lines[i];
      if (anchor < line.start || anchor > line.start + line.length) return false;
      if (at == line.start)
        cursors.push_back({free.edges[i].first, line.y, line.height});
      else if (at == line.start + line.length)
        cursors.push_back({free.edges[i].second, line.y, line.height});
      else
        return false;
    }
    *out = free;
    out->cursors = std::move(cursors);
    if (width >= 0) {
      out->size.setWidth(width);
      out->paragraphs = false;
      out->edges.clear();
    }
    return true;
  }

  static constexpr double kUnboundedWidth = 1e6;
  // How far, in parts of the font's size, a made-up slant or weight may
  // reach beyond a glyph's outline box (twice what it does).
  static constexpr double kMadeUpReach = 0.25;
  void changed() {
    static uint64_t versions = 0;
    version_ = ++versions;
    has_laid_ = false;
  }

  QTextDocument* doc_ = nullptr;
  QString text_;
  std::shared_ptr<const RunStyle> style_;
  bool unlaid_ = false;
  uint64_t version_ = 0;
  const KPTextString* source_ = nullptr;
  uint64_t source_version_ = 0;
  bool outlined_ = false;
  bool has_laid_ = false;
  double laid_width_ = 0;
  Laid laid_;
  std::vector<std::pair<int, int>> cursor_places_;
};

namespace {

KPTextString* str(void* handle) { return static_cast<KPTextString*>(handle); }
const KPTextString* str(const void* handle) { return static_cast<const KPTextString*>(handle); }
QTextDocument* doc_of(void* handle) { return handle ? str(handle)->document() : nullptr; }
// The text of a string, without making its document.
QString text_of(const void* handle) { return handle ? str(handle)->text() : QString(); }

// Line breaks as a document keeps them: CR, CR LF, LF and the paragraph
// separator each end a paragraph. Texts with characters a document shows
// otherwise than its plain text stay documents.
bool plain_text(QString& text) {
  // The text is copied only when a break is rewritten: most have none.
  bool breaks = false;
  for (const QChar c : text)
    switch (c.unicode()) {
      case 0x00A0:
      case 0x2028:
      case 0xFDD0:
      case 0xFDD1:
      case 0xFFFC:
        return false;
      case u'\r':
      case 0x2029:
        breaks = true;
        break;
      default:
        break;
    }
  if (breaks) {
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(u'\r', u'\n');
    text.replace(QChar::ParagraphSeparator, u'\n');
  }
  return true;
}

// A new string of `text` in `format`: a plain run when it can be one.
KPTextString* new_string(QString text, const QTextCharFormat& format) {
  if (plain_text(text)) {
    // The style made for the format tells whether it is a plain one.
    std::shared_ptr<const RunStyle> style = style_of(format);
    if (style->plain) return new KPTextString(std::move(text), std::move(style));
  }
  QTextDocument* doc = new_document();
  if (!text.isEmpty()) QTextCursor(doc).insertText(text);
  apply_to_all(doc, format);
  return new KPTextString(doc);
}

// A stored string is never drawn or measured: only its copy, the display
// string, is. A null page keeps its layout from running at each edit.
KPTextString* unlaid(KPTextString* string) {
  string->setUnlaid();
  return string;
}

KPTextString* copy_document(KPTextString* source) {
  if (source && source->plain()) return new KPTextString(static_cast<const KPTextString*>(source));
  QTextDocument* doc = new_document();
  if (source) {
    QTextCursor to(doc);
    to.insertFragment(QTextDocumentFragment(source->document()));
  }
  return new KPTextString(doc);
}

void release(void** handle) {
  delete str(*handle);
  *handle = nullptr;
}

QString plain_of(const QTextDocument* doc) {
  QString s = doc ? doc->toPlainText() : QString();
  s.replace(QChar::ParagraphSeparator, u'\n');
  return s;
}

// Markers: '$', digits, '$'; number kept in 16 bits.
struct found_marker {
  int at;
  int length;
  uint16_t number;
};

std::vector<found_marker> markers_in(const QString& s) {
  std::vector<found_marker> out;
  const int n = static_cast<int>(s.size());
  for (int i = 0; i < n; ++i) {
    if (s[i] != u'$' || i + 1 >= n || !s[i + 1].isDigit() || s[i + 1].unicode() > '9') continue;
    uint32_t value = 0;
    int j = i + 1;
    while (j < n && s[j].unicode() >= '0' && s[j].unicode() <= '9') {
      value = (value * 10 + (s[j].unicode() - '0')) & 0xFFFFu;
      ++j;
    }
    if (j >= n || s[j] != u'$') continue;
    out.push_back({i, j + 1 - i, static_cast<uint16_t>(value)});
    i = j;
  }
  return out;
}

QTextCharFormat run_format(const rtf_run& run) {
  QTextCharFormat f;
  QFont font = run.font.empty() ? system_font() : QFont(QString::fromStdString(run.font));
  font.setStyleStrategy(QFont::PreferMatch);
  font.setPointSizeF(run.size > 0 ? run.size : 12);
  font.setBold(run.bold);
  font.setItalic(run.italic);
  font.setUnderline(run.underline);
  f.setFont(font);
  if (run.has_color) f.setForeground(QColor::fromRgb(static_cast<QRgb>(run.color)));
  if (run.script > 0) f.setVerticalAlignment(QTextCharFormat::AlignSuperScript);
  if (run.script < 0) f.setVerticalAlignment(QTextCharFormat::AlignSubScript);
  return f;
}

KPTextString* document_from_rtf(const char* data, size_t size) {
  const rtf_document rtf = read_rtf(data, size);
  // A text in one style is a plain run.
  if (rtf.runs.size() == 1) return new_string(QString::fromStdU16String(rtf.runs[0].text), run_format(rtf.runs[0]));
  QTextDocument* doc = new_document();
  QTextCursor c(doc);
  for (const rtf_run& run : rtf.runs) c.insertText(QString::fromStdU16String(run.text), run_format(run));
  return new KPTextString(doc);
}

// The object's text as shown: kernel texts are Mac Roman. Labels and the
// value texts of numbers, measures and equations are built by the kernel,
// whose unit names carry their exponents as the bytes 0xB2 and 0xB3; a rich
// text is the user's own, where those bytes are the signs they stand for.
QString text_of_record(const TErec* te) {
  if (!te || !te->text) return {};
  std::string_view text(te->text);
  // The exponent bytes 1 and 2 become escapes; a text of plain ASCII (most
  // numbers and texts) reads as it is, Mac Roman and Unicode agreeing there.
  bool ascii = true;
  for (const char c : text) ascii = ascii && static_cast<unsigned char>(c) >= 3 && static_cast<unsigned char>(c) < 0x80;
  if (ascii) return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
  const std::vector<char> escaped = prepare_replace_exponents(te->text);
  text = std::string_view(escaped.data());
  return te->text_kind < 2 ? unit_text_to_qstring(text) : mac_roman_to_qstring(text);
}

// True when the string is one paragraph in one format: a kernel text as
// built from its record.
bool uniform(KPTextString* string) {
  if (!string) return false;
  if (string->plain()) return !string->text().contains(u'\n');
  const QTextDocument* doc = string->document();
  if (doc->blockCount() != 1) return false;
  int fragments = 0;
  for (QTextBlock::iterator it = doc->begin().begin(); !it.atEnd(); ++it)
    if (++fragments > 1) return false;
  return true;
}

// The document's text becomes `text`, in `format`: only the run between
// the common start and the common end of the old and new texts is
// replaced, so a value changing inside a fixed name and unit edits the
// value alone.
void replace_changed_run(KPTextString* string, const QString& text, const QTextCharFormat& format) {
  if (QString plain = text; string->plain() && plain_text(plain)) {
    if (string->text() != plain) string->setText(plain);
    return;
  }
  QTextDocument* doc = string->document();
  const QString old = doc->toPlainText();
  const qsizetype limit = std::min(old.size(), text.size());
  qsizetype head = 0;
  while (head < limit && old[head] == text[head]) ++head;
  qsizetype tail = 0;
  while (tail < limit - head && old[old.size() - 1 - tail] == text[text.size() - 1 - tail]) ++tail;
  if (head == old.size() && head == text.size()) return;
  // In an edit block the cursor does not lay the text out to find where
  // it ends.
  QTextCursor c(doc);
  c.beginEditBlock();
  c.setPosition(static_cast<int>(head));
  c.setPosition(static_cast<int>(old.size() - tail), QTextCursor::KeepAnchor);
  c.insertText(text.mid(head, text.size() - head - tail), format);
  c.endEditBlock();
}

// True when the document is one plain run: plain paragraphs, none empty,
// all in one format that names its font's family and size (which do not
// then depend on the document's default font); its text and format then.
bool one_run(const QTextDocument* doc, QString* text, QTextCharFormat* format) {
  if (!doc->rootFrame()->childFrames().isEmpty()) return false;
  bool first = true;
  for (QTextBlock b = doc->begin(); b.isValid(); b = b.next()) {
    if (b.blockFormat() != QTextBlockFormat() || b.textList() || b.length() <= 1) return false;
    for (auto it = b.begin(); !it.atEnd(); ++it) {
      const QTextCharFormat f = it.fragment().charFormat();
      if (first) *format = f;
      else if (f != *format) return false;
      first = false;
    }
  }
  if (first || !plain_format(*format) || !complete_font(*format)) return false;
  *text = doc->toRawText();
  return plain_text(*text);
}

// Qt lays the whole document out again at every width it is given, even
// the one it has: the width is set only when it changes.
void set_width(QTextDocument* doc, double width) {
  if (doc->textWidth() != width) doc->setTextWidth(width);
}

// Width and height of a string as laid out at `width` (-1: without
// wrapping).
QSizeF size_at(KPTextString* string, double width) {
  if (string->plain()) return string->laidOut(width).size;
  QTextDocument* doc = string->document();
  set_width(doc, width);
  return doc->documentLayout()->documentSize();
}

QSizeF natural_size(KPTextString* string) { return size_at(string, -1); }

void apply_to_all(KPTextString* string, const QTextCharFormat& format) {
  if (string->plain())
    string->merge(format);
  else
    apply_to_all(string->document(), format);
}

// The format of a string's first character.
QTextCharFormat first_format(KPTextString* string) {
  if (string->plain()) return string->format();
  QTextCursor at(string->document());
  at.setPosition(1);
  return at.charFormat();
}

}  // namespace

QTextDocument* kp_text_document(void* handle) { return doc_of(handle); }

bool kp_text_string_is_plain(const void* handle) { return handle && str(handle)->plain(); }

bool kp_plain_run_width(const QFont& font, QStringView text, double* width) {
  if (text.isEmpty() || text.size() > 256) return false;
  for (const QChar c : text)
    if (!((c.unicode() >= u' ' && c.unicode() < 0x7F) || (c.unicode() >= 0xA1 && c.unicode() <= 0xFF && c.unicode() != 0xAD)))
      return false;
  // Runs of a style in that font lay out in the font alone (a direct
  // style's measuring layout): the run's layout is the text in the font.
  std::shared_ptr<const RunStyle> style;
  for (const auto& known : recent_styles())
    if (known->direct && known->plain && known->font == font) {
      style = known;
      break;
    }
  return style && KPTextString::measuredWidth(style, text.toString(), width);
}

void* kp_adopt_text_document(QTextDocument* document, bool simplify) {
  if (!document) return nullptr;
  if (simplify) {
    QString text;
    QTextCharFormat format;
    if (one_run(document, &text, &format)) {
      delete document;
      return new KPTextString(std::move(text), format);
    }
  }
  return new KPTextString(document);
}

NSKelvoTextView::NSKelvoTextView() = default;
NSKelvoTextView::~NSKelvoTextView() = default;

NSKelvoTextView* NSKelvoTextView::createWithObject(object* obj) {
  auto* view = new NSKelvoTextView();
  view->setAttachedObject(obj, true);
  return view;
}

void NSKelvoTextView::textNeedsRegen(TErec* te) {
  if (te) te->regen_pending = 1;
}

namespace {

// The record's font, size and face as a format, with its colour when
// `colored`. The last one asked for is kept: the texts of a figure mostly
// share theirs.
const QTextCharFormat& record_format(const TErec* te, bool colored) {
  struct Key {
    int32_t font_id;
    double size;
    int32_t style;
    uint32_t generation;
    bool colored;
    uint32_t color;
    bool operator==(const Key&) const = default;
  };
  static Key last{-1, 0, 0, 0, false, 0};
  static QTextCharFormat& made = *new QTextCharFormat;
  const Key key{te->format.font_id,        te->format.size > 0 ? te->format.size : 12.0,
                te->format.style & 7,      font_table_generation(),
                colored,                   colored ? te->format.color & 0xFFFFFF : 0};
  if (!(key == last)) {
    QFont font = font_get_nsfont(te->format.font_id)->impl()->font;
    font.setPointSizeF(key.size);
    font.setBold(te->format.style & 1);
    font.setItalic(te->format.style & 2);
    font.setUnderline(te->format.style & 4);
    made = QTextCharFormat();
    made.setFont(font);
    if (colored) made.setForeground(QColor::fromRgb(static_cast<QRgb>(key.color)));
    last = key;
  }
  return made;
}

}  // namespace

bool NSKelvoTextView::regenrtfFromFileInfoStringTextIfNec(TErec* te) {
  if (!te || te->stored_string) return false;
  if (te->rtf_data && !te->rtf_is_rtfd) {
    // The bytes stay with the record: they are what the figure file writes
    // back.
    // The block is a C string: what follows its NUL is no RTF.
    const size_t size = strnlen(te->rtf_data, GlobalSize(te->rtf_data));
    te->stored_string = unlaid(document_from_rtf(te->rtf_data, size));
    return true;
  }
  const QString s = text_of_record(te);
  KPTextString* previous = str(te->previous_string);
  if (previous && !previous->empty()) {
    te->stored_string = unlaid(new_string(s, first_format(previous)));
    release(&te->previous_string);
  } else {
    // A plain text (one read from a file among them) is shown in the
    // record's font, size and face, which the file keeps, and a kernel
    // text in the record's colour.
    te->stored_string = unlaid(new_string(s, record_format(te, te->text_kind >= 1)));
  }
  return true;
}

void NSKelvoTextView::setDefaultAttribs(TErec* te, bool force) {
  if (!te || !(te->text_kind >= 1 || force)) return;
  setDefaultFont(te, force);
  setDefaultColor(te);
}

void NSKelvoTextView::setDefaultFont(TErec* te, bool force) {
  if (!te || !te->stored_string || !(te->text_kind >= 1 || force)) return;
  apply_to_all(str(te->stored_string), record_format(te, false));
}

void NSKelvoTextView::setDefaultColor(TErec* te) {
  if (!te || !te->stored_string || te->text_kind < 1) return;
  QTextCharFormat f;
  f.setForeground(QColor::fromRgb(static_cast<QRgb>(te->format.color & 0xFFFFFF)));
  apply_to_all(str(te->stored_string), f);
}

void NSKelvoTextView::replaceExponents(QTextDocument* string) {
  if (!string) return;
  // Each escape runs from its backslash to the next blank. The escapes are
  // found once and taken in order, each one's place moved back by the
  // backslashes already deleted: the same as rescanning from the start after
  // each one, without the rescans.
  const QString s = plain_of(string);
  std::vector<int> escapes;
  for (int i = 0; i + 1 < s.size(); ++i)
    if (s[i] == u'\\') escapes.push_back(i);
  if (escapes.empty()) return;
  // One edit block: the text is laid out once, after the last change.
  QTextCursor group(string);
  group.beginEditBlock();
  int done = 0;
  for (const int original : escapes) {
    int blank = static_cast<int>(s.indexOf(u' ', original));
    if (blank < 0) blank = static_cast<int>(s.size());
    const int at = original - done;
    const int end = blank - done;
    QTextCursor c(string);
    c.setPosition(at);
    c.setPosition(end, QTextCursor::KeepAnchor);
    // Raised and at two thirds of the size: Qt's layout draws a superscript
    // at two thirds of its font's size itself, so the font stays as it is
    // (a smaller font as well would leave an exponent a third of the text's
    // height). Qt knows one superscript level.
    QTextCharFormat f;
    f.setVerticalAlignment(QTextCharFormat::AlignSuperScript);
    c.mergeCharFormat(f);
    QTextCursor del(string);
    del.setPosition(at);
    del.setPosition(at + 1, QTextCursor::KeepAnchor);
    del.removeSelectedText();
    ++done;
  }
  group.endEditBlock();
}

void NSKelvoTextView::replaceExponentsString(QString& string) {
  for (;;) {
    int at = -1;
    for (int i = 0; i + 1 < string.size(); ++i)
      if (string[i] == u'\\') {
        at = i;
        break;
      }
    if (at < 0) return;
    const QChar next = string[at + 1];
    if (next == u'3')
      string.replace(at, 2, QChar(0x00B3));
    else if (next == u'2')
      string.replace(at, 2, QChar(0x00B2));
    else
      return;
  }
}

namespace {

// A kernel text shown as it is stored, in one format, quoting nothing:
// its strings can follow a new text of the record in place.
bool editable_in_place(const object* obj) {
  const TErec* te = obj->te;
  KPTextString* stored = str(te->stored_string);
  KPTextString* display = str(te->display_string);
  if (!stored || !display || stored->empty() || obj->inserted || te->rtf_data || te->text_kind >= 2 ||
      !te->text_view)
    return false;
  // A display string the editor left is built anew from the stored one.
  if (!display->plain() && display->document()->documentLayout()->paintDevice() != layout_device()) return false;
  return uniform(stored) && uniform(display) && stored->text() == display->text();
}

// A plain text quoting nothing whose display string is an unchanged copy
// of its stored string, in the mode of the moment: nothing to build again.
bool shows_stored_as_it_is(const object* obj) {
  const TErec* te = obj->te;
  const KPTextString* display = str(te->display_string);
  return display && !obj->inserted && te->needs_regen == 0 && te->text_view &&
         display->showsAsItIs(str(te->stored_string), wide_lines_flag != 0);
}

// Turns the exponent escapes of a display string into superscripts; a
// string without escapes stays as it is.
void replace_exponents(KPTextString* string) {
  if (!string) return;
  const QString s = string->text();
  for (int i = 0; i + 1 < s.size(); ++i)
    if (s[i] == u'\\') {
      NSKelvoTextView::replaceExponents(string->document());
      return;
    }
}

}  // namespace

bool NSKelvoTextView::regenerateInPlace(object* obj) {
  TErec* te = obj->te;
  if (!editable_in_place(obj)) return false;
  const QString s = text_of_record(te);
  // Escapes turn into superscripts in the display string alone.
  if (s.contains(u'\\')) return false;
  KPTextString* stored = str(te->stored_string);
  KPTextString* display = str(te->display_string);
  const QTextCharFormat format = first_format(stored);
  replace_changed_run(stored, s, format);
  replace_changed_run(display, s, format);
  release(&te->previous_string);
  return true;
}

void NSKelvoTextView::refreshAllNeededDatas(object* obj, bool create) {
  if (!obj || !obj->te || refresh_depth >= kMaxRefreshDepth) return;
  ++refresh_depth;
  TErec* te = obj->te;
  for (insert_object* n = obj->inserted; n; n = n->next)
    if (n->obj && n->obj != obj) refreshAllNeededDatas(n->obj, false);
  bool rebuilt = false;
  if (te->regen_pending) {
    te->regen_pending = 0;
    rebuilt = regenerateInPlace(obj);
    if (!rebuilt && te->stored_string) {
      release(&te->previous_string);
      te->previous_string = te->stored_string;
      te->stored_string = nullptr;
    }
  }
  if (regenrtfFromFileInfoStringTextIfNec(te)) release(&te->display_string);
  auto* view = static_cast<NSKelvoTextView*>(te->text_view);
  // A kernel text that quotes nothing and has no escapes shows its stored
  // string as it is: its display string, kept in step with it, is not
  // built again at each drawing.
  const bool current = rebuilt || editable_in_place(obj) || shows_stored_as_it_is(obj);
  if (create && !view) {
    view = createWithObject(obj);
  } else if (rebuilt && view) {
    view->replaceReferences();
  } else if (te->stored_string && view && obj->inserted && (!te->display_string || create)) {
    // The view builds the display string itself, or changes only the
    // values that changed in the one it built.
    view->replaceReferences();
  } else if (te->stored_string && (!te->display_string || (create && !current))) {
    release(&te->display_string);
    te->display_string = copy_document(str(te->stored_string));
    if (view)
      view->replaceReferences();
    else
      replace_exponents(str(te->display_string));
  }
  if (create && view) view->computeFrame(true);
  --refresh_depth;
}

void NSKelvoTextView::setAttachedObject(object* obj, bool own) {
  attachedObject_ = obj;
  shown_ = {};
  if (!obj || !obj->te) return;
  TErec* te = obj->te;
  if (own) te->text_view = this;
  regenrtfFromFileInfoStringTextIfNec(te);
  release(&te->display_string);
  te->display_string = copy_document(str(te->stored_string));
  replaceReferences();
}

int NSKelvoTextView::ListOfRangesAndObjects(std::vector<std::pair<int, int>>* ranges,
                                            std::vector<insert_object*>* nodes, bool display) {
  if (ranges) ranges->clear();
  if (nodes) nodes->clear();
  object* obj = attachedObject_;
  if (!obj || !obj->te || !obj->te->stored_string) return 0;
  const std::vector<found_marker> markers = markers_in(text_of(obj->te->stored_string));
  int shift = 0, count = 0;
  for (const found_marker& m : markers) {
    insert_object* node = m.number && obj->inserted ? find_text_reference(m.number, nullptr, obj->inserted) : nullptr;
    if (!node) continue;
    refreshAllNeededDatas(node->obj, false);
    const void* value = node->obj && node->obj->te ? node->obj->te->display_string : nullptr;
    // The value's length and the shift count characters alike: escapes
    // are no longer in a display string.
    const int value_length = value ? static_cast<int>(text_of(value).size()) : m.length;
    if (ranges) ranges->emplace_back(m.at + shift, display ? value_length : m.length);
    if (nodes) nodes->push_back(node);
    shift += value_length - m.length;
    ++count;
  }
  return count;
}

int NSKelvoTextView::ListOfRangesAndObjects2(std::vector<std::pair<int, int>>* ranges,
                                             std::vector<insert_object*>* nodes) {
  if (ranges) ranges->clear();
  if (nodes) nodes->clear();
  object* obj = attachedObject_;
  if (!obj || !obj->te || !obj->te->stored_string) return 0;
  int count = 0;
  for (const found_marker& m : markers_in(text_of(obj->te->stored_string))) {
    insert_object* node = m.number && obj->inserted ? find_text_reference(m.number, nullptr, obj->inserted) : nullptr;
    if (!node) continue;
    if (ranges) ranges->emplace_back(m.at, m.length);
    if (nodes) nodes->push_back(node);
    ++count;
  }
  return count;
}

namespace {
// The stroke width a run of text carries, as a property of its format.
constexpr int kStrokeWidthProperty = QTextFormat::UserProperty + 9;
constexpr double kPresentationStrokeWidth = 9.0;

// A run's format with its glyphs outlined `width` percent of its size
// (`default_size` where it has none), or given back their fill at 0.
QTextCharFormat stroked(QTextCharFormat f, double width, double default_size) {
  const QPen outline = f.textOutline();
  const bool outlined = f.hasProperty(kStrokeWidthProperty) && f.doubleProperty(kStrokeWidthProperty) > 0;
  // The glyphs' own colour: kept in the outline while they are hollow.
  const QColor colour = outlined ? outline.color() : f.foreground().color();
  if (width > 0) {
    const double size = f.fontPointSize() > 0 ? f.fontPointSize() : default_size;
    f.setTextOutline(QPen(colour, std::max(0.5, size * width / 100.0)));
    f.setForeground(Qt::transparent);
  } else {
    f.setTextOutline(QPen(Qt::NoPen));
    if (outlined) f.setForeground(colour);
  }
  f.setProperty(kStrokeWidthProperty, width);
  return f;
}
}  // namespace

void NSKelvoTextView::setStrokeWidth(QTextDocument* string, double width) {
  if (!string) return;
  QTextCursor group(string);
  group.beginEditBlock();
  for (QTextBlock b = string->begin(); b.isValid(); b = b.next())
    for (auto it = b.begin(); !it.atEnd(); ++it) {
      const QTextFragment fragment = it.fragment();
      if (!fragment.isValid()) continue;
      const QTextCharFormat f = stroked(fragment.charFormat(), width, string->defaultFont().pointSizeF());
      QTextCursor c(string);
      c.setPosition(fragment.position());
      c.setPosition(fragment.position() + fragment.length(), QTextCursor::KeepAnchor);
      c.setCharFormat(f);
    }
  group.endEditBlock();
}

double NSKelvoTextView::strokeWidthAt(const QTextDocument* string, int position) {
  if (!string) return 0;
  QTextCursor c(const_cast<QTextDocument*>(string));
  c.setPosition(std::clamp(position + 1, 0, std::max(0, string->characterCount() - 1)));
  const QTextCharFormat f = c.charFormat();
  return f.hasProperty(kStrokeWidthProperty) ? f.doubleProperty(kStrokeWidthProperty) : 0.0;
}

void NSKelvoTextView::setPresentationMode(TErec* te) {
  KPTextString* display = te ? str(te->display_string) : nullptr;
  if (!display) return;
  if (display->plain()) {
    display->setFormat(stroked(display->format(), kPresentationStrokeWidth, system_font().pointSizeF()));
    display->setOutlined(true);
  } else {
    setStrokeWidth(display->document(), kPresentationStrokeWidth);
  }
}

bool NSKelvoTextView::updateValuesInPlace(std::vector<insert_object*>* nodes, int* listed) {
  object* obj = attachedObject_;
  TErec* te = obj->te;
  KPTextString* string = str(te->display_string);
  // Only a display string this view built from the same stored string,
  // all of whose values went in as plain text.
  if (!shown_.plain || !string || string->plain() || te->display_string != shown_.display ||
      te->stored_string != shown_.stored || string->document()->documentLayout()->paintDevice() != layout_device())
    return false;
  QTextDocument* display = string->document();
  const int count = ListOfRangesAndObjects(nullptr, nodes, false);
  if (count != static_cast<int>(shown_.values.size()) || *nodes != shown_.nodes) return false;
  std::vector<QString> now(static_cast<size_t>(count));
  const QString was = display->toPlainText();
  for (int i = 0; i < count; ++i) {
    object* ref = (*nodes)[i]->obj;
    const void* value = ref && ref->te ? ref->te->display_string : nullptr;
    if (!value || ref->te->text_kind == 2) return false;
    now[i] = text_of(value);
    if (now[i].isEmpty() || now[i].contains(u'\\') || was.mid(shown_.starts[i], shown_.values[i].size()) != shown_.values[i])
      return false;
  }
  // From the last value, so that the earlier places stay good; each new
  // value in the format of the one it replaces.
  QTextCursor group(display);
  group.beginEditBlock();
  for (int i = count - 1; i >= 0; --i) {
    if (now[i] == shown_.values[i]) continue;
    QTextCursor first(display);
    first.setPosition(shown_.starts[i] + 1);
    const QTextCharFormat format = first.charFormat();
    QTextCursor c(display);
    c.setPosition(shown_.starts[i]);
    c.setPosition(shown_.starts[i] + static_cast<int>(shown_.values[i].size()), QTextCursor::KeepAnchor);
    c.insertText(now[i], format);
  }
  group.endEditBlock();
  int shift = 0;
  for (int i = 0; i < count; ++i) {
    shown_.starts[i] += shift;
    shift += static_cast<int>(now[i].size() - shown_.values[i].size());
  }
  shown_.values = std::move(now);
  *listed = count;
  return true;
}

namespace {

// Characters a value may hold for the text quoting it to stay one plain
// run: none that ends a paragraph, starts an escape or that a document
// shows otherwise than its plain text.
bool plain_value(const QString& value) {
  for (const QChar c : value)
    switch (c.unicode()) {
      case u'\\':
      case u'\r':
      case u'\n':
      case 0x00A0:
      case 0x2028:
      case 0x2029:
      case 0xFDD0:
      case 0xFDD1:
      case 0xFFFC:
        return false;
      default:
        break;
    }
  return true;
}

// The display string of a text quoting values, when it is one plain run:
// the stored string is one, without escapes, and every value it quotes is
// a kernel text (not a rich one) of plain characters. Each value would go
// into the document in the format of its marker, which is the stored
// string's: the document would be this run. Its text, with where each
// value stands in it and the references in text order; false where the
// document must be built.
bool plain_display_text(object* obj, QString* shown, std::vector<std::pair<int, int>>* ranges,
                        std::vector<insert_object*>* nodes) {
  const KPTextString* stored = str(obj->te->stored_string);
  if (!stored || !stored->plain()) return false;
  const QString text = stored->text();
  if (text.contains(u'\\')) return false;
  shown->clear();
  ranges->clear();
  nodes->clear();
  int from = 0;
  for (const found_marker& m : markers_in(text)) {
    insert_object* node = m.number && obj->inserted ? find_text_reference(m.number, nullptr, obj->inserted) : nullptr;
    if (!node) continue;
    NSKelvoTextView::refreshAllNeededDatas(node->obj, false);
    const object* ref = node->obj;
    const void* value = ref && ref->te ? ref->te->display_string : nullptr;
    if (!value || ref->te->text_kind == 2) return false;
    const QString v = text_of(value);
    if (!plain_value(v)) return false;
    shown->append(QStringView(text).mid(from, m.at - from));
    ranges->emplace_back(static_cast<int>(shown->size()), static_cast<int>(v.size()));
    shown->append(v);
    nodes->push_back(node);
    from = m.at + m.length;
  }
  shown->append(QStringView(text).mid(from));
  return true;
}

}  // namespace

void NSKelvoTextView::replaceReferences() {
  object* obj = attachedObject_;
  if (!obj || !obj->te) return;
  TErec* te = obj->te;
  std::vector<std::pair<int, int>> ranges;
  std::vector<insert_object*> nodes;
  int listed = 0;
  // Where each value is shown in a plain display string.
  std::vector<std::pair<int, int>> plain_ranges;
  QString plain_text;
  if (obj->inserted && plain_display_text(obj, &plain_text, &plain_ranges, &nodes)) {
    // The values go into a plain run: the one this view built, or a new
    // one, in the stored string's format.
    KPTextString* display = str(te->display_string);
    const KPTextString* stored = str(te->stored_string);
    if (display && display->plain() && te->display_string == shown_.display && te->stored_string == shown_.stored &&
        !display->outlined() && !wide_lines_flag && display->sharedStyle() == stored->sharedStyle()) {
      if (display->text() != plain_text) display->setText(plain_text);
    } else {
      release(&te->display_string);
      te->display_string = new KPTextString(plain_text, stored->sharedStyle());
      shown_ = {};
      shown_.display = te->display_string;
      shown_.stored = te->stored_string;
    }
    listed = static_cast<int>(nodes.size());
  } else if (obj->inserted && !updateValuesInPlace(&nodes, &listed)) {
    release(&te->display_string);
    te->display_string = copy_document(str(te->stored_string));
    listed = ListOfRangesAndObjects(&ranges, &nodes, false);
    QTextDocument* display = doc_of(te->display_string);
    QTextCursor group(display);
    group.beginEditBlock();
    shown_ = {};
    shown_.display = te->display_string;
    shown_.stored = te->stored_string;
    shown_.plain = !text_of(te->stored_string).contains(u'\\');
    for (int i = 0; i < listed; ++i) {
      object* ref = nodes[i]->obj;
      void* value = ref && ref->te ? ref->te->display_string : nullptr;
      shown_.plain = shown_.plain && value && ref->te->text_kind != 2;
      if (!value) continue;
      QTextCursor c(display);
      c.setPosition(ranges[i].first);
      c.setPosition(ranges[i].first + ranges[i].second, QTextCursor::KeepAnchor);
      if (ref->te->text_kind == 2) {
        c.insertFragment(QTextDocumentFragment(doc_of(value)));
      } else {
        QTextCursor first(display);
        first.setPosition(ranges[i].first + 1);
        const QString text = text_of(value);
        c.insertText(text, first.charFormat());
        shown_.plain = shown_.plain && !text.isEmpty() && !text.contains(u'\\');
        shown_.values.push_back(text);
        shown_.starts.push_back(ranges[i].first);
        shown_.nodes.push_back(nodes[i]);
      }
    }
    group.endEditBlock();
  }
  replace_exponents(str(te->display_string));
  if (wide_lines_flag) setPresentationMode(te);
  updateTextViewContent();

  KPTextString* shown_string = str(te->display_string);
  if (listed > 0 && shown_string && shown_string->plain() && !plain_ranges.empty()) {
    // Where each value is displayed, from the layout the drawing uses: the
    // cursors before its first character and at its end (within its
    // paragraph), on its first line.
    const QString shown_text = shown_string->text();
    const int length = static_cast<int>(shown_text.size());
    std::vector<std::pair<int, int>> places;
    for (const auto& [start, size] : plain_ranges) {
      const int at = std::min(start, length);
      int paragraph_end = static_cast<int>(shown_text.indexOf(u'\n', at));
      if (paragraph_end < 0) paragraph_end = length;
      places.emplace_back(at, at);
      places.emplace_back(at, std::min(at + size, paragraph_end));
    }
    shown_string->wantCursors(places);
    const KPTextString::Laid& laid =
        shown_string->laidOut(te->text_kind == 2 && te->size.w > 0 ? te->size.w : -1);
    for (int i = 0; i < listed && 2 * i + 1 < static_cast<int>(laid.cursors.size()); ++i) {
      const KPTextString::Laid::Cursor& first = laid.cursors[static_cast<size_t>(2 * i)];
      if (first.height <= 0) continue;
      const double x = first.x, y = first.y;
      const double w = std::max(0.0, laid.cursors[static_cast<size_t>(2 * i + 1)].x - x);
      insert_object* node = nodes[static_cast<size_t>(i)];
      node->area[0] = tagPOINT{static_cast<int32_t>(x), static_cast<int32_t>(y)};
      for (int k = 1; k < 4; ++k)
        node->area[k] = tagPOINT{static_cast<int32_t>(x + w), static_cast<int32_t>(y + first.height)};
    }
  } else if (listed > 0 && shown_string) {
    QTextDocument* display = shown_string->document();
    // Where each value is displayed, relative to the text's position.
    std::vector<std::pair<int, int>> shown;
    ListOfRangesAndObjects(&shown, nullptr, true);
    set_width(display, te->text_kind == 2 && te->size.w > 0 ? te->size.w : -1);
    for (int i = 0; i < listed && i < static_cast<int>(shown.size()); ++i) {
      const int at = std::min(shown[i].first, std::max(0, display->characterCount() - 1));
      const QTextBlock block = display->findBlock(at);
      const QTextLayout* layout = block.layout();
      if (!layout) continue;
      const int local = at - block.position();
      const QTextLine line = layout->lineForTextPosition(local);
      if (!line.isValid()) continue;
      const QPointF origin = layout->position();
      const double x = origin.x() + line.cursorToX(local);
      const double y = origin.y() + line.y();
      const int end_local = std::min(local + shown[i].second, block.length() - 1);
      const double x_end = origin.x() + line.cursorToX(end_local);
      const double w = std::max(0.0, x_end - x);
      insert_object* node = nodes[i];
      node->area[0] = tagPOINT{static_cast<int32_t>(x), static_cast<int32_t>(y)};
      for (int k = 1; k < 4; ++k)
        node->area[k] = tagPOINT{static_cast<int32_t>(x + w), static_cast<int32_t>(y + line.height())};
    }
  }

  // The frame follows the text when asked.
  if (te->needs_regen != 0 && shown_string && !shown_string->empty()) {
    if (te->needs_regen == 2 && !(te->edit_flags & 1)) {
      const double height = size_at(shown_string, te->size.w > 0 ? te->size.w : -1).height();
      te->size.h = std::max(kMinTextHeight, static_cast<int32_t>(std::ceil(height)));
      te->needs_regen = 0;
    } else {
      const QSizeF s = natural_size(shown_string);
      te->size.w = static_cast<int32_t>(s.width() + 15);
      te->size.h = static_cast<int32_t>(s.height() + 5);
      te->frame_dirty = 0;
    }
  }
}

void NSKelvoTextView::updateTextViewContent() {
  if (!attachedObject_) return;
  ++insertingItemsInTheText;
  --insertingItemsInTheText;
  computeFrame(true);
}

KPTextFrame NSKelvoTextView::computeTheFrame(object* obj) {
  KPTextFrame frame;
  if (!obj || !obj->te) return frame;
  TErec* te = obj->te;
  const bool number = obj->otype && obj->otype->id == TYPE_NUMBER;
  int32_t min_w = number ? kMinNumberWidth : kMinTextWidth;
  KPTextString* display = str(te->display_string);
  if (display && te->text_kind == 1) {
    const double w = natural_size(display).width() + (number ? 23 : 0);
    min_w = std::max(min_w, static_cast<int32_t>(w));
  }
  te->size.w = std::max(te->size.w, min_w);
  te->size.h = std::max(te->size.h, kMinTextHeight);
  frame.x = static_cast<float>(te->pos.x);
  frame.y = static_cast<float>(te->pos.y);
  frame.width = static_cast<float>(te->size.w);
  frame.height = static_cast<float>(te->size.h);
  return frame;
}

void NSKelvoTextView::computeFrame(bool store) {
  if (!store || !attachedObject_ || !attachedObject_->te) return;
  cFrame_ = computeTheFrame(attachedObject_);
}

// ------------------------------------------------------------- the slots

namespace {

void* op_copy_string(void* string) { return unlaid(copy_document(str(string))); }
void op_release_string(void* string) { delete str(string); }
void op_release_view(void* view) { delete static_cast<NSKelvoTextView*>(view); }

void op_rewrite_markers(void* string, const int32_t* edits, int32_t count) {
  if (!string || !edits) return;
  const std::vector<found_marker> markers = markers_in(text_of(string));
  if (static_cast<int32_t>(markers.size()) != count) return;
  if (str(string)->plain()) {
    QString text = str(string)->text();
    for (int32_t k = count - 1; k >= 0; --k)
      if (edits[k] >= 0)
        text.replace(markers[static_cast<size_t>(k)].at, markers[static_cast<size_t>(k)].length,
                     edits[k] == 0 ? QString() : QString::fromLatin1(format_reference_marker(edits[k])));
    str(string)->setText(text);
    return;
  }
  QTextDocument* doc = doc_of(string);
  // From the end, so earlier positions stay valid; laid out once.
  QTextCursor group(doc);
  group.beginEditBlock();
  for (int32_t k = count - 1; k >= 0; --k) {
    if (edits[k] < 0) continue;
    QTextCursor c(doc);
    c.setPosition(markers[static_cast<size_t>(k)].at);
    c.setPosition(markers[static_cast<size_t>(k)].at + markers[static_cast<size_t>(k)].length, QTextCursor::KeepAnchor);
    if (edits[k] == 0) {
      c.removeSelectedText();
    } else {
      QTextCursor first(doc);
      first.setPosition(markers[static_cast<size_t>(k)].at + 1);
      c.insertText(QString::fromLatin1(format_reference_marker(edits[k])), first.charFormat());
    }
  }
  group.endEditBlock();
}

void op_refresh(object* obj, bool create) { NSKelvoTextView::refreshAllNeededDatas(obj, create); }

void op_text_needs_regen(TErec* te) { NSKelvoTextView::textNeedsRegen(te); }

void op_set_string_color(void* string, uint32_t color) {
  if (!string || str(string)->empty()) return;
  QTextCharFormat f;
  f.setForeground(QColor::fromRgb(static_cast<QRgb>(color & 0xFFFFFF)));
  apply_to_all(str(string), f);
}

void op_set_string_font(TErec* te) { NSKelvoTextView::setDefaultFont(te, true); }

bool op_text_extent(object* obj, int32_t* width, int32_t* height);

// The attributed text rebuilt from the record and laid out: its size as
// (height << 16) | width, 0 without a text.
int32_t op_regenerate_text(object* obj) {
  if (!obj || !obj->te || !obj->te->text || !obj->te->text[0]) return 0;
  // A kernel text already shown is edited and laid out when it is next
  // drawn or measured, not at each change of its value: a drag changes
  // many values per step, some several times before the step is drawn.
  if (obj->te->regen_pending && editable_in_place(obj)) return 0;
  NSKelvoTextView::regenrtfFromFileInfoStringTextIfNec(obj->te);
  NSKelvoTextView::refreshAllNeededDatas(obj, true);
  int32_t w = 0, h = 0;
  if (!op_text_extent(obj, &w, &h)) return 0;
  return static_cast<int32_t>((static_cast<uint32_t>(std::min(h, 0x7FFF)) << 16) |
                              static_cast<uint32_t>(std::min(w, 0xFFFF)));
}

void op_remove_reference(object* text, object* obj, uint16_t number) { text_view_remove_reference(text, obj, number); }

// The width a text is laid out at: a rich text wraps in its frame.
double layout_width(const TErec* te) { return te->text_kind == 2 && te->size.w > 0 ? te->size.w : -1; }

// A coordinate the text drawing keeps exactly: glyph places are kept in
// 64ths of a pixel.
bool whole_64ths(double v) { return v * 64 == std::floor(v * 64); }

bool outside(const KPTextString::Line& line, const KPRectF* clip) {
  return clip && (line.y >= clip->y + clip->height || line.y + line.height <= clip->y);
}

// Draws the glyphs a layout shaped at the places it gave them: what the
// painter's text drawing gives for the same lines when the painter moves
// them by whole 64ths of a pixel, which it keeps exactly.
void draw_kept_glyphs(QPainter* p, const KPTextString::Laid& laid, const KPRectF* clip) {
  // Kept to the end of the program: fonts must not outlive the font system.
  static QGlyphRun& drawn = *new QGlyphRun;
  static std::vector<QPointF>& places = *new std::vector<QPointF>;
  for (const KPTextString::GlyphRun& run : laid.runs) {
    if (outside(laid.lines[static_cast<size_t>(run.line)], clip)) continue;
    places.resize(static_cast<size_t>(run.count));
    for (int i = 0; i < run.count; ++i) {
      const QPoint at = laid.places[static_cast<size_t>(run.first + i)];
      places[static_cast<size_t>(i)] = QPointF(at.x() / 64.0, at.y() / 64.0);
    }
    drawn.setRawFont(run.font);
    drawn.setRawData(laid.glyphs.data() + run.first, places.data(), run.count);
    p->drawGlyphRun(QPointF(0, 0), drawn);
  }
}

// A plain run to draw, at the width it is laid out at.
struct PlainRun {
  KPTextString* string;
  double width;
};

// Draws a plain run as a document draws its lines. Lines without
// decoration in a complete font, on a device of the layout's resolution,
// are drawn by the painter's own text drawing, each at the place the
// layout gave it: the same glyphs at the same places, without a layout
// kept or made for the drawing. Where the painter only moves the text by
// whole 64ths of a pixel, the glyphs the layout shaped are drawn as they
// are, at the places the text drawing would give them.
void paint_plain_run(void* painter, const void* run_handle, const KPRectF* clip) {
  auto* p = static_cast<QPainter*>(painter);
  const auto* run = static_cast<const PlainRun*>(run_handle);
  KPTextString* string = run->string;
  const KPTextString::Laid& laid = string->laidOut(run->width);
  const RunStyle& style = string->style();
  const QPaintDevice* device = p->device();
  if (laid.separable && style.direct && device && device->logicalDpiX() == 72 && device->logicalDpiY() == 72) {
    if (style.colored) p->setPen(style.pen);
    const QTransform& moved = p->worldTransform();
    if (laid.shaped() && moved.type() <= QTransform::TxTranslate && whole_64ths(moved.dx()) &&
        whole_64ths(moved.dy())) {
      draw_kept_glyphs(p, laid, clip);
      return;
    }
    p->setFont(style.font);
    const QString text = string->text();
    const bool whole = laid.lines.size() == 1 && laid.lines[0].length == text.size();
    for (const KPTextString::Line& line : laid.lines) {
      // Lines wholly outside the clip are left out, as a layout leaves them.
      if (outside(line, clip)) continue;
      if (line.length > 0)
        p->drawText(QPointF(0, line.y + line.ascent), whole ? text : text.mid(line.start, line.length));
    }
    return;
  }
  QTextLayout layout;
  string->layOut(layout, run->width);
  layout.draw(p, QPointF(0, 0), {}, clip ? QRectF(clip->x, clip->y, clip->width, clip->height) : QRectF());
}

void op_draw(DisplayDevice* dd, object* obj, uint32_t color) {
  if (!dd || !dd->dc || !obj || !obj->te || !obj->te->display_string) return;
  TErec* te = obj->te;
  KPTextString* string = str(te->display_string);
  const double ratio = dd->ratio > 0 ? dd->ratio : 1;
  const double x = (te->pos.x - dd->portRect.left) * ratio;
  const double y = (te->pos.y - dd->portRect.top) * ratio * (dd->orientation < 0 ? -1 : 1);
  if (string->plain()) {
    if (string->empty()) return;
    const PlainRun run{string, layout_width(te)};
    const KPTextString::Laid& laid = string->laidOut(run.width);
    const KPRectF ink{laid.ink.x(), laid.ink.y(), laid.ink.width(), laid.ink.height()};
    dd->dc->drawText(&paint_plain_run, &run, x, y, ratio, te->size.w, te->size.h, color,
                     laid.shaped() ? &ink : nullptr);
    return;
  }
  QTextDocument* doc = string->document();
  set_width(doc, layout_width(te));
  dd->dc->drawTextDocument(doc, x, y, ratio, te->size.w, te->size.h, color);
}

bool op_text_extent(object* obj, int32_t* width, int32_t* height) {
  // A new value left for the next drawing is taken in first.
  if (obj && obj->te && obj->te->regen_pending && editable_in_place(obj))
    NSKelvoTextView::refreshAllNeededDatas(obj, true);
  if (!obj || !obj->te || !obj->te->display_string) return false;
  KPTextString* string = str(obj->te->display_string);
  if (string->empty()) return false;
  const QSizeF s = size_at(string, layout_width(obj->te));
  if (width) *width = static_cast<int32_t>(std::ceil(s.width()));
  if (height) *height = static_cast<int32_t>(std::ceil(s.height()));
  return true;
}

}  // namespace

void install_kelvo_text_view() {
  TextHandleOps ops;
  ops.copy_string = &op_copy_string;
  ops.release_string = &op_release_string;
  ops.release_view = &op_release_view;
  ops.rewrite_markers = &op_rewrite_markers;
  ops.refresh = &op_refresh;
  ops.text_needs_regen = &op_text_needs_regen;
  ops.set_string_color = &op_set_string_color;
  ops.set_string_font = &op_set_string_font;
  ops.regenerate_text = &op_regenerate_text;
  ops.remove_reference = &op_remove_reference;
  ops.draw = &op_draw;
  ops.text_extent = &op_text_extent;
  install_text_handle_ops(ops);
}
