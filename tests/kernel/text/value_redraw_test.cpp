// Numbers, measures and texts whose value changes are drawn exactly as the
// same objects drawn from strings built afresh: frame, font, colour and
// every pixel of the text; and a text quoting a measure shows its new value.
#include <QTextDocument>
#include <cstdint>
#include <string>
#include <vector>

#include "kernel/model/engine_fixture.h"
#include "kernel/text/drawn_text.h"
#include "kernel/model/recompute.h"
#include "kernel/render/colors.h"
#include "kernel/render/display_device.h"
#include "kernel/render/fonts.h"
#include "kernel/text/text_drawing.h"
#include "kernel/text/text_record.h"
#include "kernel/text/text_services.h"
#include "platform/ns_kelvo_text_view.h"

namespace {

class ValueRedraw : public TextViewTest {
 protected:
  // A framed, filled object at (10, 10), so that the frame's size shows,
  // its text in a colour and size of its own.
  static void place(object* o) {
    o->te->pos = te_point{10, 10};
    o->te->format.color = 0x8000C0;
    o->te->format.size = 17;
    o->settings.Color = 0x0000FF;
    o->settings.opaque = 1;
    o->settings.FillColor = 0xE0E0E0;
  }

  // The pixels of the object drawn alone, with its frame's size.
  struct Picture {
    std::vector<uint32_t> pixels;
    int32_t w, h;
    bool operator==(const Picture&) const = default;
  };
  static Picture picture(object* o) {
    std::vector<uint32_t> pixels = drawn_text_pixels(o, 260, 60, 1);
    return Picture{std::move(pixels), o->te->size.w, o->te->size.h};
  }

  // The object's strings and view dropped: the next drawing builds them
  // from its record, as for an object just read from a file.
  static void forget_strings(object* o) {
    const TextHandleOps& ops = text_handle_ops();
    for (void** s : {&o->te->display_string, &o->te->stored_string, &o->te->previous_string}) {
      if (*s) ops.release_string(*s);
      *s = nullptr;
    }
    if (o->te->text_view) ops.release_view(o->te->text_view);
    o->te->text_view = nullptr;
    o->te->regen_pending = 0;
  }

};

TEST_F(ValueRedraw, ANumberWhoseTextChangesLooksAsIfBuiltWithIt) {
  struct Case {
    const char* was;
    const char* now;
  };
  // Same length, longer, a changed start, a changed end, and a text that
  // goes into a superscript (built anew) and back.
  const Case cases[] = {{"12.50", "12.75"}, {"7", "1234.5678"}, {"3.5 cm", "43.5 cm"}, {"2.25", "2.25 cm"},
                        {"5 cm\001", "15.5"}, {"8.5", "8.5"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.was) + " -> " + c.now);
    object* n = make(&classe_nombre, 0, {});
    ASSERT_TRUE(n && n->te);
    n->te->text_kind = 1;
    place(n);
    ASSERT_TRUE(set_text_record_text(n->te, c.was));
    mark_text_needs_regen(n);
    const Picture before = picture(n);
    EXPECT_GT(ink_of(before.pixels), 0);
    ASSERT_TRUE(set_text_record_text(n->te, c.now));
    mark_text_needs_regen(n);
    // Its extent, asked before it is drawn, is already that of the new text.
    const tagRECT extent = drawn_text_extent(n);
    const Picture changed = picture(n);
    forget_strings(n);
    EXPECT_TRUE(changed == picture(n));
    const tagRECT fresh = drawn_text_extent(n);
    EXPECT_EQ(extent.right, fresh.right);
    EXPECT_EQ(extent.bottom, fresh.bottom);
    // Drawn again with nothing changed, it stays the same.
    EXPECT_TRUE(changed == picture(n));
  }
}

TEST_F(ValueRedraw, AMeasureAndATextQuotingItFollowTheDraggedPoint) {
  object* a = point(0, 0);
  object* b = point(100, 0);
  object* ab = make2(&classe_segment, 0, a, b);
  object* length = make(&classe_length, 0, {{ab, 0}});
  ASSERT_TRUE(length && length->te);
  length->settings.nbre_decimales = 2;
  place(length);
  object* quote = make(&classe_text, 0, {});
  ASSERT_TRUE(quote && quote->te);
  add_text_reference(length, &quote->inserted);
  ASSERT_TRUE(set_text_record_text(quote->te, "AB = $1$ !"));
  quote->te->regen_pending = 1;
  place(quote);
  quote->te->size = te_size{200, 30};
  recompute_object(length);
  // Built from here on in the formats just given.
  forget_strings(length);
  forget_strings(quote);
  const std::string was = length->te->text;
  const Picture measure_before = picture(length);
  const Picture quote_before = picture(quote);

  b->valeurs[0].h = 250;
  for (object* o = fig_->first; o; o = o->next) recompute_object(o);
  ASSERT_NE(std::string(length->te->text), was);
  // The quoting text asks for the value before the measure is drawn.
  const Picture quote_after = picture(quote);
  const Picture measure_after = picture(length);
  EXPECT_FALSE(quote_after == quote_before);
  EXPECT_FALSE(measure_after == measure_before);
  const QString shown = kp_text_document(quote->te->display_string)->toPlainText();
  EXPECT_TRUE(shown.startsWith(QStringLiteral("AB = "))) << shown.toStdString();
  EXPECT_FALSE(shown.contains(QString::fromLatin1(was.c_str()))) << shown.toStdString();

  forget_strings(length);
  forget_strings(quote);
  EXPECT_TRUE(picture(quote) == quote_after);
  EXPECT_TRUE(picture(length) == measure_after);
}

// A text quoting values shows them as one plain run, laid out once for the
// value and the text when they share a format: its pixels, frame and the
// places of its values are those of the same text shown as a document,
// after its values changed, whatever its frame, its lines, its zoom or the
// presentation mode.
TEST_F(ValueRedraw, ATextQuotingValuesLooksAsTheSameTextShownAsADocument) {
  struct Case {
    const char* name;
    const char* text;
    bool own_format;  // the text in a format of its own, not the measure's
    int32_t width;    // 0: the frame follows the text, as the measuring tools leave it
    double ratio;
    bool outlined;
  };
  const Case cases[] = {
      {"a measure's text", "$1$", false, 0, 1, false},
      {"zoomed", "$1$", false, 0, 1.5, false},
      {"a measure's text in a narrow frame", "$1$", false, 24, 1, false},
      {"outlined", "$1$", false, 0, 1, true},
      {"words around", "AB = $1$ !", false, 0, 1, false},
      {"two values", "$1$ and $2$", true, 0, 1, false},
      {"wrapped in a narrow frame", "The length is $1$ and $2$ here", true, 70, 1, false},
      {"lines", "first $1$\rsecond $2$", true, 300, 1, false},
      {"a value ending its line", "x $1$\r$2$", false, 300, 1, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    wide_lines_flag = c.outlined ? 1 : 0;
    object* a = point(0, 0);
    object* b = point(100, 0);
    object* measures[2] = {make(&classe_length, 0, {{make2(&classe_segment, 0, a, b), 0}}),
                           make(&classe_length, 0, {{make2(&classe_segment, 0, b, point(0, 40)), 0}})};
    object* quote = make(&classe_text, 0, {});
    ASSERT_TRUE(quote && quote->te);
    for (object* m : measures) {
      ASSERT_TRUE(m && m->te);
      m->settings.nbre_decimales = 2;
      m->aux2 |= 2 | 4;
      add_text_reference(m, &quote->inserted);
    }
    ASSERT_TRUE(set_text_record_text(quote->te, c.text));
    quote->te->regen_pending = 1;
    quote->te->text_kind = 2;
    place(quote);
    if (c.own_format) {
      quote->te->format.size = 15;
    } else {
      quote->te->format = measures[0]->te->format;
    }
    if (c.width == 0) {
      quote->te->edit_flags |= 1;
      quote->te->needs_regen = 1;
    } else {
      quote->te->size = te_size{c.width, 100};
    }
    for (object* o = fig_->first; o; o = o->next) recompute_object(o);
    drawn_text_pixels(quote, 320, 120, c.ratio);
    // The values change and are shown in place.
    b->valeurs[0].h = 187.25;
    for (object* o = fig_->first; o; o = o->next) recompute_object(o);
    struct Shown {
      std::vector<uint32_t> pixels;
      int32_t w, h;
      std::vector<int32_t> areas;
      bool operator==(const Shown&) const = default;
    };
    auto shown = [&] {
      Shown s{drawn_text_pixels(quote, 320, 120, c.ratio), quote->te->size.w, quote->te->size.h, {}};
      for (const insert_object* n = quote->inserted; n; n = n->next)
        for (const tagPOINT& p : n->area) s.areas.insert(s.areas.end(), {p.x, p.y});
      return s;
    };
    const Shown plain = shown();
    ASSERT_TRUE(kp_text_string_is_plain(quote->te->display_string)) << "the values are shown in a plain run";
    EXPECT_GT(ink_of(plain.pixels), 40);

    // The same text from a stored document: its values go into a document.
    ASSERT_NE(kp_text_document(quote->te->stored_string), nullptr);
    const Shown document = shown();
    ASSERT_FALSE(kp_text_string_is_plain(quote->te->display_string));
    EXPECT_TRUE(plain == document) << "frame " << plain.w << "x" << plain.h << " / " << document.w << "x"
                                   << document.h;
    EXPECT_EQ(plain.areas, document.areas);
  }
}

// Lengths, areas and angles shown by themselves and quoted in texts, in
// several faces, sizes and styles, beside pairs of letters a font kerns:
// each value, after a drag changed it, is drawn at exactly the pixels, in
// the frame, of the same strings laid out as documents. A glyph placed
// otherwise than the document's layout places it fails here.
TEST_F(ValueRedraw, MeasuresShownAndQuotedLookAsTheSameTextsLaidOutAsDocuments) {
  struct Case {
    const char* name;
    const char* face;  // null: the default face
    int32_t size;
    uint16_t style;  // 1 bold, 2 italic
    const char* text;  // the quoting text
  };
  const Case cases[] = {
      {"default face", nullptr, 12, 0, "$1$"},
      {"kerning pairs around", "Helvetica", 12, 0, "AV = $1$ To Wa"},
      {"large serif", "Times", 24, 0, "AVATAR $1$ yo"},
      {"small bold", "Helvetica", 9, 1, "LT $1$ AV"},
      {"italic serif", "DejaVu Serif", 17, 2, "Ty $1$ VA"},
      {"bold italic sans", "DejaVu Sans", 14, 3, "F. $1$ r."},
      {"fixed pitch", "Courier", 13, 0, "AV $1$ cm"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    object* a = point(10, 10);
    object* b = point(130, 20);
    object* d = point(40, 90);
    // A length in cm, an angle in degrees and an area in square cm, their
    // values with decimals.
    object* measures[3] = {make(&classe_length, 0, {{make2(&classe_segment, 0, a, b), 0}}),
                           make(&classe_angleMes, 0, {{a, 0}, {b, 0}, {d, 0}}),
                           make(&classe_aire, 0, {{make(&classe_triangle, 0, {{a, 0}, {b, 0}, {d, 0}}), 0}})};
    const uint8_t units[3] = {33, 129, 65};
    const uint16_t font = c.face ? font_id_by_name_or_create(c.face, c.size) : 0;
    std::vector<object*> quotes;
    for (int i = 0; i < 3; ++i) {
      object* m = measures[i];
      ASSERT_TRUE(m && m->te);
      m->settings.unite = units[i];
      m->settings.nbre_decimales = 2 + i % 2;
      m->te->format.font_id = font;
      m->te->format.size = c.size;
      m->te->format.style = c.style;
      object* quote = make(&classe_text, 0, {});
      ASSERT_TRUE(quote && quote->te);
      add_text_reference(m, &quote->inserted);
      ASSERT_TRUE(set_text_record_text(quote->te, c.text));
      quote->te->format = m->te->format;
      quote->te->edit_flags |= 1;
      quote->te->text_kind = 2;
      quote->te->needs_regen = 1;
      quote->te->regen_pending = 1;
      quote->te->pos = te_point{10, 10};
      quotes.push_back(quote);
    }
    for (object* o = fig_->first; o; o = o->next) recompute_object(o);
    for (int i = 0; i < 3; ++i) {
      measures[i]->te->pos = te_point{10, 10};
      drawn_text_pixels(measures[i], 420, 80, 1);
      drawn_text_pixels(quotes[static_cast<size_t>(i)], 420, 80, 1);
    }
    // A drag step: the values change and are drawn anew.
    b->valeurs[0].h = 187.375;
    b->valeurs[0].v = 31.5;
    for (object* o = fig_->first; o; o = o->next) recompute_object(o);
    for (int i = 0; i < 3; ++i)
      for (object* o : {measures[i], quotes[static_cast<size_t>(i)]}) {
        SCOPED_TRACE(o == measures[i] ? "the measure" : "the text quoting it");
        SCOPED_TRACE(o->te->text ? o->te->text : "");
        const Picture drawn{drawn_text_pixels(o, 420, 80, 1), o->te->size.w, o->te->size.h};
        EXPECT_GT(ink_of(drawn.pixels), 40);
        // The same object shown from strings that are documents.
        ASSERT_NE(kp_text_document(o->te->stored_string), nullptr);
        if (o == measures[i]) {
          ASSERT_NE(kp_text_document(o->te->display_string), nullptr);
        }
        const Picture document{drawn_text_pixels(o, 420, 80, 1), o->te->size.w, o->te->size.h};
        ASSERT_FALSE(kp_text_string_is_plain(o->te->display_string));
        EXPECT_TRUE(drawn == document) << "frame " << drawn.w << "x" << drawn.h << " / " << document.w << "x"
                                       << document.h;
      }
  }
}

}  // namespace
