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

}  // namespace
