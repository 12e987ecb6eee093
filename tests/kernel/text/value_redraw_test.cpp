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

}  // namespace
