// Numbers, measures and texts of one plain run are measured and drawn
// without a document. They must look exactly as the same strings drawn as
// documents: every pixel, the frame and the extent, whatever the font,
// size, face, colour, lines, frame, zoom or presentation mode, with or
// without antialiasing, and whatever lay under them, inside or outside
// their frame.
#include <QTextDocument>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "kernel/model/engine_fixture.h"
#include "kernel/text/drawn_text.h"
#include "kernel/render/colors.h"
#include "kernel/render/display_device.h"
#include "kernel/render/fonts.h"
#include "kernel/render/render_switches.h"
#include "kernel/text/text_drawing.h"
#include "kernel/text/text_record.h"
#include "kernel/text/text_services.h"
#include "platform/kp_font_qt.h"
#include "platform/mac_roman_qt.h"
#include "platform/ns_kelvo_text_view.h"

namespace {

class PlainTextDrawing : public TextViewTest {
 protected:
  struct Picture {
    std::vector<uint32_t> pixels;
    te_size frame;
    tagRECT extent;
    bool operator==(const Picture& o) const {
      return pixels == o.pixels && frame.w == o.frame.w && frame.h == o.frame.h && extent.left == o.extent.left &&
             extent.top == o.extent.top && extent.right == o.extent.right && extent.bottom == o.extent.bottom;
    }
  };
  // The object drawn alone at a zoom, with its frame and where its text
  // lies.
  static Picture picture(object* o, double ratio, DrawnTextDevice how) {
    std::vector<uint32_t> pixels = drawn_text_pixels(o, 420, 200, ratio, how);
    return Picture{std::move(pixels), o->te->size, drawn_text_extent(o)};
  }
};

TEST_F(PlainTextDrawing, APlainRunLooksAsTheSameTextDrawnAsADocument) {
  struct Case {
    const char* name;
    bool number;
    const char* text;
    const char* face;  // null: the default face
    int32_t size;
    uint16_t style;  // 1 bold, 2 italic, 4 underline
    uint32_t color;
    int32_t width;  // a text's frame: it wraps in it
    double ratio;
    bool outlined;
    te_point pos{12, 9};
    int32_t height = 100;  // a text's frame
  };
  const Case cases[] = {
      {"number", true, "12.25", nullptr, 12, 0, 0x000000, 0, 1, false},
      {"number bold red zoomed", true, "-3.5 cm", "Times", 17, 1, 0xC00000, 0, 1.5, false},
      {"number small italic", true, "0.001", "Courier", 9, 2, 0x0000C0, 0, 1, false},
      {"number underlined", true, "42", nullptr, 14, 4, 0x008000, 0, 1, false},
      {"number outlined", true, "7.5", nullptr, 20, 0, 0x800080, 0, 1, true},
      {"text", false, "Text 4321", "Times", 14, 2, 0x0000FF, 200, 1, false},
      {"text wrapped", false, "Hello world, this line wraps", nullptr, 12, 0, 0x000000, 60, 1, false},
      {"text wrapped zoomed", false, "Hello world, this line wraps", "Helvetica", 11, 3, 0x205080, 70, 0.75, false},
      {"text lines", false, "a\rbb\r\rccc", "Courier", 13, 0, 0x000000, 300, 1, false},
      {"text lines outlined", false, "first\rsecond", nullptr, 16, 1, 0x006060, 300, 1.25, true},
      {"text with a tab", false, "x\ty", nullptr, 12, 0, 0x000000, 300, 1, false},
      {"text larger than its frame", false, "Wide text in a small frame", nullptr, 30, 1, 0x000000, 40, 1, false},
      {"text underlined", false, "under it", "Times", 18, 4, 0xA05000, 300, 1, false},
      {"empty text", false, "", nullptr, 12, 0, 0x000000, 100, 1, false},
      // Glyphs reaching out of the frame: left of a first glyph's place,
      // past a frame too narrow or too low, past the device, or drawn
      // slanted or thickened by the font system for a face the family
      // lacks.
      {"text reaching left of its place", false, "jump", nullptr, 16, 0, 0x000000, 300, 1, false},
      {"text cut by a low frame", false, "Text 123", nullptr, 12, 0, 0x000000, 30, 1, false, {12, 9}, 21},
      {"number past the device's top left", true, "9.75", nullptr, 14, 0, 0x000000, 0, 1, false, {-6, -5}},
      {"text past the device's bottom right", false, "gjy Wide", nullptr, 18, 0, 0x000000, 300, 1, false, {395, 185}},
      {"made-up slant", false, "jfy gW", "DejaVu Math TeX Gyre", 40, 2, 0x000000, 70, 1, false},
      {"made-up weight", false, "jWj", "DejaVu Math TeX Gyre", 30, 1, 0x400000, 50, 1, false},
  };
  const DrawnTextDevice devices[] = {{true, false}, {false, true}, {true, true}};
  for (const Case& c : cases)
    for (const DrawnTextDevice& how : devices) {
      SCOPED_TRACE(c.name);
      SCOPED_TRACE(std::string(how.antialias ? "antialiased" : "not antialiased") +
                   (how.patterned ? ", on a pattern" : ""));
      wide_lines_flag = c.outlined ? 1 : 0;
      object* o = make(c.number ? &classe_nombre : &classe_text, 0, {});
      ASSERT_TRUE(o && o->te);
      o->te->text_kind = c.number ? 1 : 2;
      o->te->pos = c.pos;
      o->te->format.font_id = c.face ? font_id_by_name_or_create(c.face, c.size) : 0;
      o->te->format.size = c.size;
      o->te->format.style = c.style;
      o->te->format.color = c.color;
      o->settings.Color = 0x0000FF;
      if (!c.number) o->te->size = te_size{c.width, c.height};
      ASSERT_TRUE(set_text_record_text(o->te, c.text));
      mark_text_needs_regen(o);
      const Picture plain = picture(o, c.ratio, how);
      ASSERT_TRUE(kp_text_string_is_plain(o->te->display_string)) << "the run is drawn without a document";
      if (c.text[0] && !how.patterned) EXPECT_GT(ink_of(plain.pixels), 40);

      // The same strings as documents: the display string is built from a
      // stored document, and stays a document.
      ASSERT_NE(kp_text_document(o->te->stored_string), nullptr);
      ASSERT_NE(kp_text_document(o->te->display_string), nullptr);
      const Picture document = picture(o, c.ratio, how);
      ASSERT_FALSE(kp_text_string_is_plain(o->te->display_string));
      EXPECT_TRUE(plain == document) << "frame " << plain.frame.w << "x" << plain.frame.h << " / " << document.frame.w
                                     << "x" << document.frame.h << ", extent right " << plain.extent.right << " / "
                                     << document.extent.right << ", bottom " << plain.extent.bottom << " / "
                                     << document.extent.bottom;
    }
}

// A text measured in the font of a plain run (a value measured as it
// changes, before it is drawn) is measured by the run's layout: its width
// is the one the font's metrics give, to the last 64th of a pixel, in
// every face, size and style, kerned pairs, accents and blanks included.
TEST_F(PlainTextDrawing, ATextMeasuredInThePlainRunsFontHasTheWidthItsMetricsGive) {
  struct Face {
    const char* face;  // null: the default face
    int32_t size;
    uint16_t style;  // 1 bold, 2 italic
  };
  // Sizes no other text takes: the runs' styles are new.
  const Face faces[] = {{nullptr, 21, 0}, {"Helvetica", 10, 1},     {"Times", 23, 2},
                        {"Courier", 15, 0}, {"DejaVu Serif", 19, 3}, {"Times", 11, 1}};
  const char* texts[] = {"AV",         "12.34 cm",       "Wa To 1,234.56", "45.00 \xA1",  "-7.5e+12 LT",
                         "fi ffl Yo.", "\x81 \x83 \x9F \xA7", "  blanks around  ", "x", "AVAVAVAVAVAVAVAV r.F,"};
  for (const Face& f : faces) {
    SCOPED_TRACE(f.face ? f.face : "default face");
    SCOPED_TRACE(f.size);
    // A number in the face: its run's style is made.
    object* o = make(&classe_nombre, 0, {});
    ASSERT_TRUE(o && o->te);
    o->te->text_kind = 1;
    o->te->format.font_id = f.face ? font_id_by_name_or_create(f.face, f.size) : 0;
    o->te->format.size = f.size;
    o->te->format.style = f.style;
    ASSERT_TRUE(set_text_record_text(o->te, "1.5"));
    mark_text_needs_regen(o);
    drawn_text_pixels(o, 100, 40, 1);
    ASSERT_TRUE(kp_text_string_is_plain(o->te->display_string));
    // The font the kernel measures the number's values in.
    QFont font = font_get_nsfont(o->te->format.font_id)->impl()->font;
    font.setPointSizeF(f.size);
    font.setBold(f.style & 1);
    font.setItalic(f.style & 2);
    font.setUnderline(false);
    const std::unique_ptr<KPFont> measuring(kp_font_from_qfont(font));
    for (const char* text : texts) {
      SCOPED_TRACE(text);
      const QString s = unit_text_to_qstring(text);
      const double metrics = kp_font_metrics(measuring->impl()->font).horizontalAdvance(s);
      // Laid out, then found laid out.
      for (int i = 0; i < 2; ++i) {
        double laid = 0;
        ASSERT_TRUE(kp_plain_run_width(measuring->impl()->font, s, &laid)) << "measured by the run's layout";
        EXPECT_EQ(laid, metrics);
      }
      EXPECT_EQ(measuring->widthOf(text, std::strlen(text)), metrics);
    }
  }
}

}  // namespace
