// The text view: markers shown as their objects' values, exponents as
// superscripts, frames fitted to their text, references removed with the
// others renumbered; and the frames, labels and clean-up of text objects.
#include <QAbstractTextDocumentLayout>
#include <QGlyphRun>
#include <QRawFont>
#include <QTextBlock>
#include <QTextLayout>
#include <QTextCursor>
#include <QTextDocument>
#include <cmath>
#include <string>
#include <vector>

#include "kernel/model/engine_fixture.h"
#include "kernel/model/table.h"
#include "kernel/render/colors.h"
#include "kernel/render/display_device.h"
#include "kernel/text/labels.h"
#include "kernel/text/text_drawing.h"
#include "kernel/text/text_record.h"
#include "kernel/text/text_services.h"
#include "kernel/text/text_view.h"
#include "kernel/tools/hit_state.h"
#include "platform/ns_kelvo_text_view.h"

namespace {

class TextView : public EngineTest {
 protected:
  void SetUp() override {
    EngineTest::SetUp();
    init_color_table();
    install_kelvo_text_view();
    tabulate_ready = 1;  // as at start-up: tables append a row when made
  }
  void TearDown() override {
    kelvo_win_info* fig = KPGeoDocument::currentInfo();
    if (fig) fig->cur_text = nullptr;
    EngineTest::TearDown();
    install_text_handle_ops(TextHandleOps{});
  }
  object* number(const char* text) {
    object* n = make(&classe_nombre, 0, {});
    EXPECT_TRUE(n && n->te && set_text_record_text(n->te, text));
    n->te->text_kind = 1;
    return n;
  }
  object* text(const char* content, std::vector<object*> quoted) {
    object* t = make(&classe_text, 0, {});
    EXPECT_TRUE(t && t->te);
    for (object* q : quoted) add_text_reference(q, &t->inserted);
    EXPECT_TRUE(set_text_record_text(t->te, content));
    t->te->regen_pending = 1;
    return t;
  }
  NSKelvoTextView* view_of(object* o) {
    NSKelvoTextView::refreshAllNeededDatas(o, true);
    return static_cast<NSKelvoTextView*>(o->te->text_view);
  }
  static QString shown(const object* o) {
    return kp_text_document(o->te->display_string)->toPlainText();
  }
};

TEST_F(TextView, ValueRangesAndTheShiftOfLaterReferences) {
  object* four = number("1.25");
  object* two = number("77");
  object* t = text("abcdefg$1$xyz$2$!", {four, two});
  NSKelvoTextView* view = view_of(t);
  ASSERT_NE(view, nullptr);
  EXPECT_EQ(shown(t), QStringLiteral("abcdefg1.25xyz77!"));
  std::vector<std::pair<int, int>> ranges;
  std::vector<insert_object*> nodes;
  ASSERT_EQ(view->ListOfRangesAndObjects(&ranges, &nodes, true), 2);
  EXPECT_EQ(ranges[0], std::make_pair(7, 4));
  EXPECT_EQ(ranges[1], std::make_pair(14, 2));  // 13 shifted by 4 - 3
  EXPECT_EQ(nodes[0]->obj, four);
  ASSERT_EQ(view->ListOfRangesAndObjects(&ranges, nullptr, false), 2);
  EXPECT_EQ(ranges[1], std::make_pair(14, 3));
  ASSERT_EQ(view->ListOfRangesAndObjects2(&ranges, nullptr), 2);
  EXPECT_EQ(ranges[1], std::make_pair(13, 3));
  // The value of reference 1 is displayed somewhere right of the text's
  // start, on its first line.
  EXPECT_GT(nodes[0]->area[1].x, nodes[0]->area[0].x);
  EXPECT_GT(nodes[0]->area[1].y, nodes[0]->area[0].y);
}

TEST_F(TextView, ThreeDigitMarkersAreShownToo) {
  std::vector<object*> quoted;
  for (int i = 0; i < 100; ++i) quoted.push_back(number(i == 99 ? "hundred" : "n"));
  object* t = text("a$100$b$7$", quoted);
  view_of(t);
  EXPECT_EQ(shown(t), QStringLiteral("ahundredbn"));
}

TEST_F(TextView, ExponentBytesBecomeSmallSuperscripts) {
  object* t = text("m\x02", {});
  t->te->format.size = 12;
  t->te->text_kind = 1;
  view_of(t);
  QTextDocument* doc = kp_text_document(t->te->display_string);
  ASSERT_EQ(doc->toPlainText(), QStringLiteral("m3 "));
  QTextCursor c(doc);
  c.setPosition(2);  // the format of the character before the cursor: '3'
  EXPECT_EQ(c.charFormat().verticalAlignment(), QTextCharFormat::AlignSuperScript);
  c.setPosition(1);
  EXPECT_NE(c.charFormat().verticalAlignment(), QTextCharFormat::AlignSuperScript);
  // Laid out, the exponent is drawn at two thirds of the text's size, no
  // smaller.
  doc->documentLayout()->documentSize();
  QTextLayout* layout = doc->begin().layout();
  ASSERT_NE(layout, nullptr);
  const QList<QGlyphRun> letter = layout->glyphRuns(0, 1), exponent = layout->glyphRuns(1, 1);
  ASSERT_FALSE(letter.isEmpty());
  ASSERT_FALSE(exponent.isEmpty());
  EXPECT_NEAR(exponent[0].rawFont().pixelSize(), letter[0].rawFont().pixelSize() * 2 / 3, 1.0);
  EXPECT_EQ(prepare_replace_exponents("a\x01 b").data(), std::string("a\\2 b"));
  // Many escapes, and two in a row: each escape is a superscript up to its
  // blank.
  std::string many;
  for (int i = 0; i < 3000; ++i) many += "\\9 ";
  many += "a\\\\2 b";
  object* u = text(many.c_str(), {});
  view_of(u);
  QTextDocument* shown_doc = kp_text_document(u->te->display_string);
  ASSERT_EQ(shown_doc->toPlainText().size(), 3000 * 2 + 4);
  QTextCursor last(shown_doc);
  last.setPosition(3000 * 2 + 2);  // the format of the "2" after "a"
  EXPECT_EQ(last.charFormat().verticalAlignment(), QTextCharFormat::AlignSuperScript);
  QString pattern = QStringLiteral("cm\\3 and m\\2, \\x \\3");
  NSKelvoTextView::replaceExponentsString(pattern);
  EXPECT_EQ(pattern, QString::fromUtf8("cm\u00b3 and m\u00b2, \\x \\3"));
}

TEST_F(TextView, FramesAreNeverSmallerThanTheMinimum) {
  object* n = number("1");
  n->te->size = te_size{0, 0};
  object* t = text("x", {});
  t->te->size = te_size{0, 0};
  view_of(n);
  view_of(t);
  EXPECT_GE(n->te->size.w, 53);
  EXPECT_GE(n->te->size.h, 21);
  EXPECT_GE(t->te->size.w, 30);
  EXPECT_GE(t->te->size.h, 21);
}

TEST_F(TextView, RemovingAReferenceRenumbersTheStoredString) {
  object* a = number("A");
  object* b = number("B");
  object* c = number("C");
  object* t = text("1:$1$ 2:$2$ 3:$3$", {a, b, c});
  view_of(t);
  ASSERT_EQ(shown(t), QStringLiteral("1:A 2:B 3:C"));
  ASSERT_TRUE(text_view_remove_reference(t, nullptr, 1));
  EXPECT_STREQ(t->te->text, "1: 2:$1$ 3:$2$");
  EXPECT_EQ(kp_text_document(t->te->stored_string)->toPlainText(), QStringLiteral("1: 2:$1$ 3:$2$"));
  view_of(t);
  EXPECT_EQ(shown(t), QStringLiteral("1: 2:B 3:C"));
  EXPECT_FALSE(text_view_remove_reference(t, a, 0));  // no longer there
}

TEST_F(TextView, RemovingAReferenceEditsTheRichTextBytesToo) {
  object* a = number("A");
  object* b = number("B");
  object* t = text("$1$ and $2$", {a, b});
  const char rtf[] = "{\\rtf1 {\\b $1$} and {\\i $2$}}";
  t->te->rtf_data = static_cast<char*>(GlobalAlloc(GPTR, sizeof rtf - 1));
  std::memcpy(t->te->rtf_data, rtf, sizeof rtf - 1);
  t->te->text_kind = 2;
  view_of(t);
  ASSERT_EQ(shown(t), QStringLiteral("A and B"));
  ASSERT_TRUE(text_view_remove_reference(t, a, 0));
  EXPECT_EQ(std::string(t->te->rtf_data, GlobalSize(t->te->rtf_data)), "{\\rtf1 {\\b } and {\\i $1$}}");
  // Rebuilt from the bytes, the text still lacks the removed reference.
  t->te->regen_pending = 1;
  view_of(t);
  EXPECT_EQ(shown(t), QStringLiteral(" and B"));
  QTextCursor c(kp_text_document(t->te->display_string));
  c.setPosition(6);
  EXPECT_TRUE(c.charFormat().font().italic());

  // Bytes whose markers disagree with the text are dropped, not trusted.
  object* u = text("$1$", {b});
  const char odd[] = "{\\rtf1 no marker}";
  u->te->rtf_data = static_cast<char*>(GlobalAlloc(GPTR, sizeof odd - 1));
  std::memcpy(u->te->rtf_data, odd, sizeof odd - 1);
  ASSERT_TRUE(text_view_remove_reference(u, b, 0));
  EXPECT_EQ(u->te->rtf_data, nullptr);
}

TEST_F(TextView, RichTextReferencedKeepsItsAttributes) {
  object* rich = make(&classe_text, 0, {});
  rich->te->text_kind = 2;
  const char rtf[] = "{\\rtf1{\\colortbl;\\red255\\green0\\blue0;}\\cf1 red}";
  rich->te->rtf_data = static_cast<char*>(GlobalAlloc(GPTR, sizeof rtf - 1));
  std::memcpy(rich->te->rtf_data, rtf, sizeof rtf - 1);
  set_text_record_text(rich->te, "red");
  object* t = text("see $1$", {rich});
  t->te->text_kind = 1;
  view_of(t);
  QTextDocument* doc = kp_text_document(t->te->display_string);
  ASSERT_EQ(doc->toPlainText(), QStringLiteral("see red"));
  QTextCursor c(doc);
  c.setPosition(6);
  EXPECT_EQ(c.charFormat().foreground().color(), QColor(255, 0, 0));
}

// ------------------------------------------------------------- frames

TEST_F(TextView, FrameHandlesReferencesAndBody) {
  object* n = number("7");
  object* t = text("x$1$", {n});
  t->te->pos = te_point{100, 100};
  t->te->size = te_size{80, 40};
  t->settings.Color = back_color;
  t->settings.FillColor = back_color;
  t->settings.opaque = 0;
  tagRECT r;
  text_frame_rect(t, &r);
  ASSERT_EQ(r.left, 100);  // unframed: the text rectangle itself
  struct {
    tagPOINT p;
    bool hit;
    uint16_t code;
  } cases[] = {
      {{r.left - 4, (r.top + r.bottom) / 2}, true, 263},
      {{r.right + 3, r.top - 3}, true, 260},
      {{r.left - 3, r.top - 3}, true, 262},
      {{(r.left + r.right) / 2, r.top - 3}, true, 261},
      {{r.right + 3, (r.top + r.bottom) / 2}, true, 259},
      {{r.left - 3, r.bottom + 3}, true, 264},
      {{r.right + 3, r.bottom + 3}, true, 257},
      {{(r.left + r.right) / 2, r.bottom + 3}, true, 265},
      {{r.left + 70, r.top + 30}, true, 258},
      {{r.left - 8, r.top - 3}, false, 0},
      {{r.left - 3, r.top + 12}, false, 0},
  };
  for (const auto& c : cases) {
    hit_part = 0;
    tagPOINT p = c.p;
    EXPECT_EQ(hit_test_text_frame(t, &p), c.hit) << p.x << "," << p.y;
    if (c.hit) EXPECT_EQ(hit_part, c.code) << p.x << "," << p.y;
  }
  // On the displayed value of reference 1.
  t->inserted->area[0] = tagPOINT{10, 2};
  t->inserted->area[1] = t->inserted->area[2] = t->inserted->area[3] = tagPOINT{30, 18};
  tagPOINT on_value{115, 110};
  EXPECT_TRUE(hit_test_text_frame(t, &on_value));
  EXPECT_EQ(hit_part, 259);
  // Framed (opaque): grown by thickness + 3.
  t->settings.opaque = 1;
  t->settings.thickness = 2;
  text_frame_rect(t, &r);
  EXPECT_EQ(r.left, 95);
  EXPECT_EQ(r.bottom, 145);
  // A text a file put at the ends of the pixel range: its frame stops at
  // them rather than wrapping round to the other end.
  t->te->pos = te_point{INT32_MAX - 1, INT32_MIN + 1};
  text_frame_rect(t, &r);
  EXPECT_EQ(r.left, INT32_MAX - 6);
  EXPECT_EQ(r.right, INT32_MAX);
  EXPECT_EQ(r.top, INT32_MIN);
  EXPECT_EQ(r.bottom, INT32_MIN + 46);
  tagPOINT far{0, 0};
  EXPECT_FALSE(hit_test_text_frame(t, &far));
}

TEST_F(TextView, LabelsFollowTheirPointButNotWhenHiddenOrMissing) {
  object* p = point(50, 50);
  p->settings.visible = 1;
  p->te = create_text_record(0, 0, 20, 10, 0);
  set_text_record_text(p->te, "A");
  p->pos = object_pos{10, -10};  // label centre 10 right, 10 up
  place_object_label(p, 0);
  EXPECT_EQ(p->te->pos.x, 50 + 10 - 10);
  EXPECT_EQ(p->te->pos.y, 50 - 10 - 5);
  p->valeurs[0].h = 70;
  place_object_label(p, 0);
  EXPECT_EQ(p->te->pos.x, 70);
  // Hidden, then not existing: the label stays.
  p->settings.visible = 0;
  p->valeurs[0].h = 90;
  place_object_label(p, 0);
  EXPECT_EQ(p->te->pos.x, 70);
  p->settings.visible = 1;
  p->state |= OBJ_UNDEFINED;
  place_object_label(p, 0);
  EXPECT_EQ(p->te->pos.x, 70);
  p->state &= ~OBJ_UNDEFINED;
  // Forced: pulled within 30 pixels of the half diagonal; with the centre
  // on the anchor, nothing moves.
  p->te->pos = te_point{300, 50 - 5};
  place_object_label(p, 1);
  const double d = std::hypot(p->pos.x, p->pos.y);
  EXPECT_LE(d, std::sqrt(10.0 * 10 + 5 * 5) + 30 + 1);
  p->te->pos = te_point{90 - 10, 50 - 5};
  const object_pos before = p->pos;
  place_object_label(p, 1);
  EXPECT_EQ(p->pos.x, before.x);
  EXPECT_EQ(p->pos.y, before.y);
  EXPECT_EQ(p->te->pos.x, 80);
}

TEST_F(TextView, TypingIntoALabel) {
  object* p = point(50, 50);
  p->settings.visible = 1;
  fig_->cur_text = p;
  EXPECT_FALSE(type_into_label(8));  // backspace with no label
  EXPECT_EQ(p->te, nullptr);
  ASSERT_TRUE(type_into_label('A'));
  ASSERT_NE(p->te, nullptr);
  EXPECT_STREQ(p->te->text, "A");
  EXPECT_GE(p->te->size.w, 30);  // fitted to its one character, never below the minimum
  EXPECT_TRUE(type_into_label(8));
  EXPECT_STREQ(p->te->text, "");
  EXPECT_FALSE(type_into_label(8));  // backspace into an empty label
  for (int i = 0; i < 500; ++i) ASSERT_TRUE(type_into_label('x'));
  EXPECT_FALSE(type_into_label('y'));  // the 501st character
  EXPECT_EQ(std::strlen(p->te->text), 500u);
  fig_->cur_text = nullptr;
}

TEST_F(TextView, EmptyTextsGoAtTheNextCleanUpUnlessEdited) {
  object* kept = text("words", {});
  object* empty = text("", {});
  object* edited = text("", {});
  fig_->cur_text = edited;
  const uint32_t before = fig_->nbobj;
  delete_empty_text_objects();
  EXPECT_EQ(fig_->nbobj, before - 1);
  bool found_empty = false, found_edited = false, found_kept = false;
  for (object* o = fig_->first; o; o = o->next) {
    found_empty |= o == empty;
    found_edited |= o == edited;
    found_kept |= o == kept;
  }
  EXPECT_FALSE(found_empty);
  EXPECT_TRUE(found_edited);
  EXPECT_TRUE(found_kept);
  fig_->cur_text = nullptr;
}

DisplayDevice* small_device(int w, int h) {
  DisplayDevice* dd = dd_create();
  ensure_display_dc(dd);
  dd_select_bitmap(dd, create_dib_record(dd, w, h));
  dd->portRect = tagRECT{0, 0, w, h};
  dd->ratio = 1;
  dd->orientation = 1;
  dd_draw_background(dd);
  return dd;
}

// Pixels that are not white, inside and outside a rectangle.
std::pair<int, int> ink(const DisplayDevice* dd, tagRECT inside) {
  int in = 0, out = 0;
  for (int y = 0; y < dd->bm->height; ++y)
    for (int x = 0; x < dd->bm->width; ++x) {
      if ((dd->bm->pixels[y * dd->bm->pitch + x] & 0xFFFFFF) == 0xFFFFFF) continue;
      (x >= inside.left && x < inside.right && y >= inside.top && y < inside.bottom ? in : out) += 1;
    }
  return {in, out};
}

TEST_F(TextView, TablesDrawTheirGridNumbersAndCells) {
  DisplayDevice* dd = small_device(200, 120);
  static_display = dd;
  object* n = number("12.5 cm");
  tabulate_ready = 1;
  object* table = make(&classe_table, 0, {{n, 0}, {n, 0}});
  ASSERT_TRUE(table && table->te);
  table->te->pos = te_point{10, 10};
  table->te->size = te_size{150, 90};
  table->settings.Color = 0;
  table->settings.FillColor = back_color;
  ASSERT_EQ(table->nbvaleurs, 1);
  draw_table_object(dd, table);
  const auto [in, out] = ink(dd, tagRECT{9, 9, 162, 102});
  EXPECT_GT(in, 100);
  EXPECT_EQ(out, 0);
  ASSERT_NE(table->te->column_widths, nullptr);
  EXPECT_GE(table->te->column_widths[0], 2);
  static_display = nullptr;
  destroy_display_device(dd);
}

TEST_F(TextView, ButtonsDrawAFrameAndAreHitLikeTexts) {
  DisplayDevice* dd = small_device(120, 60);
  object* button = make(&classe_button, 0, {});
  ASSERT_TRUE(button && button->te);
  set_text_record_text(button->te, "Go");
  button->te->pos = te_point{20, 15};
  button->te->size = te_size{60, 25};
  button->settings.Color = 0;
  draw_button_object(dd, button);
  const auto [in, out] = ink(dd, tagRECT{16, 11, 84, 44});
  EXPECT_GT(in, 50);
  EXPECT_EQ(out, 0);
  tagPOINT inside{40, 25}, far{110, 55};
  EXPECT_TRUE(hit_test_button_object(button, &inside));
  EXPECT_FALSE(hit_test_button_object(button, &far));
  destroy_display_device(dd);
}

TEST_F(TextView, DrawingPutsInkInTheFrame) {
  DisplayDevice* dd = small_device(120, 60);
  object* t = text("Hello", {});
  t->te->pos = te_point{10, 10};
  t->te->size = te_size{100, 30};
  t->te->format.color = 0x000000;
  t->settings.Color = back_color;
  t->settings.opaque = 0;
  DrawKPTexte(dd, t);
  const auto [in, out] = ink(dd, tagRECT{10, 10, 110, 40});
  EXPECT_GT(in, 10);
  EXPECT_EQ(out, 0);
  destroy_display_device(dd);
}

}  // namespace
