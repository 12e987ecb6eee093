#include <string>
#include <vector>

#include "../model/engine_fixture.h"
#include "kernel/prefs/default_attrs.h"
#include "kernel/render/colors.h"
#include "kernel/text/kernel_strings.h"
#include "kernel/text/text_record.h"
#include "kernel/text/text_services.h"
#include "kernel/text/text_drawing.h"
#include "kernel/tools/drag_start.h"
#include "kernel/tools/geometric_handlers.h"
#include "kernel/tools/pick.h"
#include "kernel/tools/label_settings.h"
#include "kernel/tools/number_in_text.h"
#include "kernel/tools/tool_hooks.h"
#include "kernel/window/window_hooks.h"
#include "platform/win_constants.h"

namespace {

std::vector<std::pair<UINT, WPARAM>>& editor_messages() {
  static std::vector<std::pair<UINT, WPARAM>> seen;
  return seen;
}

class TextRecords : public EngineTest {
 protected:
  void SetUp() override {
    EngineTest::SetUp();
    init_default_attrs(0);
    const struct {
      int kind;
      int32_t size;
      uint32_t color;
    } styles[] = {{ATTRS_TEXT, 14, 0x112233},   {ATTRS_NUMBER, 10, 0x445566}, {ATTRS_EQUATION, 9, 0x778899},
                  {ATTRS_BUTTON, 11, 0xAA0000}, {ATTRS_LABEL, 30, 0x00BB00}};
    for (const auto& s : styles) {
      default_attrs[s.kind].text_size = s.size;
      default_attrs[s.kind].text_color = s.color;
    }
    measure_text_rect = tagRECT{30, 40, 130, 90};
    std::vector<const char*> rows(kKernelStringCount, "");
    rows[237] = "collinear";
    rows[238] = "not collinear";
    lang_fill_kernel_strings(rows.data(), kKernelStringCount);
    editor_messages().clear();
  }

  void TearDown() override {
    install_tool_services(tool_hooks{});
    window_services() = window_hooks{};
    pending_extra[0] = nullptr;
    measure_text_rect = tagRECT{};
    lang_reset_kernel_strings();
    EngineTest::TearDown();
  }

  static void expect_format(const TErec* te, const default_attr* defaults) {
    EXPECT_EQ(te->format.size, defaults->text_size);
    EXPECT_EQ(te->format.color, defaults->text_color);
  }

  // A text "a$1$b" showing the number n1 (its only parent), and a second
  // number n2 not yet in it, both framed over the text.
  void text_with_one_number() {
    n1 = make(&classe_nombre, 0, {});
    n2 = make(&classe_nombre, 0, {});
    text = make(&classe_text, 0, {});
    ASSERT_TRUE(n1 && n2 && text && text->te);
    set_content("a$1$b", {n1});
  }

  void set_content(const char* content, std::vector<object*> parents) {
    ASSERT_TRUE(set_text_record_text(text->te, content));
    free_text_references(&text->inserted);
    GlobalFreeAndNull(&text->parents);
    text->parents = alloc_block<object*>(static_cast<uint32_t>(parents.size()));
    text->nbparents = static_cast<int16_t>(parents.size());
    int16_t reference = 0;
    for (size_t i = 0; i < parents.size(); ++i) {
      text->parents[i] = parents[i];
      if (parents[i]->otype->id != TYPE_NUMBER) continue;
      parents[i]->aux2 |= 2;
      auto* node = alloc_block<insert_object>();
      node->obj = parents[i];
      node->number = ++reference;
      insert_object** tail = &text->inserted;
      while (*tail) tail = &(*tail)->next;
      *tail = node;
    }
  }

  void select(int32_t start, int32_t end) {
    text->te->sel_start = start;
    text->te->sel_end = end;
  }

  std::vector<object*> parents_of(const object* o) const { return {o->parents, o->parents + o->nbparents}; }

  // The objects of the reference list in marker order.
  std::vector<object*> shown_in_order() const {
    std::vector<object*> shown;
    for (const char* p = text->te->text; *p; ++p) {
      uint16_t length = 0;
      if (uint16_t n = parse_reference_marker(p, &length)) {
        const insert_object* node = find_text_reference(n, nullptr, text->inserted);
        shown.push_back(node ? node->obj : nullptr);
        p += length - 1;
      }
    }
    return shown;
  }

  object* n1 = nullptr;
  object* n2 = nullptr;
  object* text = nullptr;
};

// ------------------------------------------------------------ text records

TEST_F(TextRecords, EachTextLikeKindGetsItsFrameBufferFlagsAndDefaults) {
  object* a = point(0, 0);
  object* axes = make(&classe_axe, 0, {{a, 0}});
  object* text = make(&classe_text, 0, {});
  object* number = make(&classe_nombre, 0, {});
  object* table = make(&classe_table, 0, {{number, 0}});
  object* button = make(&classe_button, 0, {});
  pending_extra[0] = const_cast<char*>("a+b");
  object* expression = make(&classe_exp_num, 0, {});
  pending_extra[0] = nullptr;
  object* empty_expression = make(&classe_exp_num, 0, {});
  object* coordinates = make(&classe_equation, 0, {{a, 0}, {axes, 1}});
  struct row {
    const char* name;
    object* obj;
    te_point pos;
    int32_t width, height;  // height -1: one line of the kind's font
    uint32_t buffer;
    uint8_t edit_flags, second_flags;
    int32_t kind, fit;
    bool has_defaults;
  };
  const row rows[] = {
      {"text", text, {30, 40}, 100, 50, 20, 4, 0, 2, 0, true},
      {"number", number, {30, 40}, 100, -1, 100, 1, 0, 1, 1, true},
      {"table", table, {30, 40}, 100, 50, 10, 0, 0, 0, 0, false},
      {"button", button, {30, 40}, 100, 50, 20, 4, 2, 2, 0, true},
      {"expression", expression, {30, 40}, 100, 50, 4, 1, 0, 1, 1, true},
      {"empty expression", empty_expression, {30, 40}, 100, 50, 11, 1, 0, 1, 1, true},
      {"coordinates", coordinates, {0, 0}, 50, 20, 200, 1, 0, 1, 1, true},
  };
  for (const row& r : rows) {
    SCOPED_TRACE(r.name);
    ASSERT_NE(r.obj, nullptr);
    const TErec* te = r.obj->te;
    ASSERT_NE(te, nullptr);
    EXPECT_EQ(te->pos.x, r.pos.x);
    EXPECT_EQ(te->pos.y, r.pos.y);
    EXPECT_EQ(te->size.w, r.width);
    if (r.height >= 0) EXPECT_EQ(te->size.h, r.height);
    EXPECT_EQ(GlobalSize(te->text), r.buffer);
    EXPECT_EQ(te->edit_flags, r.edit_flags);
    EXPECT_EQ(te->reserved2, r.second_flags);
    EXPECT_EQ(te->text_kind, r.kind);
    EXPECT_EQ(te->needs_regen, r.fit);
    EXPECT_EQ(te->rich, 0) << "texts do not show values in this system";
    // The kind's defaults, looked up as the record was made (before a
    // coordinates object turns into a number).
    const uint16_t made_as = r.obj == coordinates ? TYPE_EQUATION : r.obj->otype->id;
    if (r.has_defaults) expect_format(te, get_default_attrs(made_as, r.obj->classe));
  }
  EXPECT_STREQ(expression->te->text, "a+b");
  EXPECT_STREQ(empty_expression->te->text, "");
  // A number takes the frame's corner as its place.
  ASSERT_NE(number->valeurs, nullptr);
  EXPECT_EQ(number->valeurs[0].h, 30);
  EXPECT_EQ(number->valeurs[0].v, 40);
}

TEST_F(TextRecords, ANumberIsOneLineOfItsFontHigh) {
  object* small = make(&classe_nombre, 0, {});
  default_attrs[ATTRS_NUMBER].text_size = 40;
  object* large = make(&classe_nombre, 0, {});
  ASSERT_TRUE(small && small->te && large && large->te);
  EXPECT_GT(small->te->size.h, 0);
  EXPECT_GT(large->te->size.h, small->te->size.h);
}

TEST_F(TextRecords, APropertyCheckHoldsItsTwoTextsInItsValues) {
  object* a = point(0, 0);
  object* b = point(50, 0);
  object* c = point(100, 0);
  object* check = make(&classe_alignement, 0, {{a, 0}, {b, 0}, {c, 0}});
  ASSERT_NE(check, nullptr);
  auto** pair = reinterpret_cast<TErec**>(check->valeurs);
  ASSERT_NE(pair, nullptr);
  EXPECT_EQ(check->te, pair[0]);
  const char* texts[] = {"collinear", "not collinear"};
  for (int k = 0; k < 2; ++k) {
    SCOPED_TRACE(k);
    ASSERT_NE(pair[k], nullptr);
    EXPECT_STREQ(pair[k]->text, texts[k]);
    EXPECT_EQ(pair[k]->length, static_cast<int32_t>(std::string(texts[k]).size()));
    EXPECT_EQ(pair[k]->pos.x, 30);
    EXPECT_EQ(pair[k]->pos.y, 40);
    EXPECT_EQ(pair[k]->size.w, 1000);
    EXPECT_EQ(pair[k]->size.h, 20);
    EXPECT_EQ(pair[k]->needs_regen, 1);
    EXPECT_EQ(pair[k]->regen_pending, 1);
    expect_format(pair[k], &default_attrs[ATTRS_TEXT]);
  }
  EXPECT_NE(pair[0], pair[1]);
}

TEST_F(TextRecords, AnObjectWithoutTextGetsALabelInItsOwnColour) {
  object* p = point(10, 10);
  ASSERT_EQ(p->te, nullptr);
  ASSERT_EQ(p->label, nullptr);
  p->settings.Color = 0x0000FF;
  fig_->bgcolor = 0xFAFAFA;
  default_attrs[ATTRS_LABEL].settings.dot_style = dot{5, 8};
  ASSERT_TRUE(init_object_text_records(p));
  const TErec* te = p->te;
  ASSERT_NE(te, nullptr);
  EXPECT_EQ(te->pos.x, 0);
  EXPECT_EQ(te->pos.y, 0);
  EXPECT_EQ(te->size.w, 40);
  EXPECT_GT(te->size.h, 0);
  EXPECT_EQ(GlobalSize(te->text), 5u);
  EXPECT_EQ(te->format.size, 30);
  EXPECT_EQ(te->format.color, 0x0000FFu);
  EXPECT_EQ(te->text_kind, 2);
  EXPECT_EQ(te->needs_regen, 1);
  EXPECT_EQ(te->regen_pending, 1);
  ASSERT_NE(p->label, nullptr);
  EXPECT_EQ(p->label->Color, 0xFAFAFAu);
  EXPECT_EQ(p->label->FillColor, back_color);
  EXPECT_EQ(p->label->thickness, 0);
  EXPECT_EQ(p->label->opaque, 0);
  EXPECT_EQ(p->label->dot_style.lg, 5);
  EXPECT_EQ(p->label->dot_style.cycle, 8);

  // A second call keeps the record and the label settings.
  label_settings* kept = p->label;
  ASSERT_TRUE(init_object_text_records(p));
  EXPECT_EQ(p->te, te);
  EXPECT_EQ(p->label, kept);

  // A label record already there is kept when the text record is remade.
  free_text_window(p->te);
  p->te = nullptr;
  ASSERT_TRUE(init_object_text_records(p));
  EXPECT_EQ(p->label, kept);
}

TEST_F(TextRecords, DefaultLabelSettingsFollowTheFigureBackground) {
  fig_->bgcolor = 0x123456;
  label_settings* with_figure = get_default_font_info();
  ASSERT_NE(with_figure, nullptr);
  EXPECT_EQ(with_figure->Color, 0x123456u);
  EXPECT_EQ(with_figure->FillColor, back_color);

  KPGeoDocument::setCurrentInfo(nullptr);
  label_settings* without = get_default_font_info();
  KPGeoDocument::setCurrentInfo(fig_);
  ASSERT_NE(without, nullptr);
  EXPECT_EQ(without->Color, back_color);
  EXPECT_EQ(without->FillColor, back_color);
  GlobalFreeAndNull(&with_figure);
  GlobalFreeAndNull(&without);
}

// ------------------------------------------------------------ numbers in texts

TEST_F(TextRecords, ANumberGoesIntoTheTextAtTheSelection) {
  install_tool_services([] {
    tool_hooks h;
    h.send_text_editor = [](UINT m, WPARAM w, LPARAM) {
      editor_messages().emplace_back(m, w);
      return true;
    };
    return h;
  }());
  struct row {
    const char* name;
    int32_t start, end;
    const char* content;
    bool keeps_first;
    bool new_first;
  };
  const row rows[] = {
      {"at the end", 5, 5, "a$1$b$2$", true, false},
      {"at the start", 0, 0, "$2$a$1$b", true, true},
      {"over the first number", 1, 4, "a$1$b", false, true},
      {"inside a marker", 2, 3, "a$1$b", false, true},
      {"over plain text", 0, 1, "$2$$1$b", true, true},
  };
  for (const row& r : rows) {
    SCOPED_TRACE(r.name);
    text_with_one_number();
    select(r.start, r.end);
    editor_messages().clear();
    link_number_to_text(n2, text, 0);
    EXPECT_STREQ(text->te->text, r.content);
    EXPECT_EQ(text->te->length, static_cast<int32_t>(std::string(r.content).size()));
    std::vector<object*> expected;
    if (r.keeps_first) expected = r.new_first ? std::vector<object*>{n2, n1} : std::vector<object*>{n1, n2};
    else expected = {n2};
    EXPECT_EQ(parents_of(text), expected);
    EXPECT_EQ(shown_in_order(), expected) << "markers and parents in step";
    EXPECT_TRUE(n2->aux2 & 2);
    EXPECT_EQ((n1->aux2 & 2) != 0, r.keeps_first);
    ASSERT_EQ(editor_messages().size(), 1u);
    EXPECT_EQ(editor_messages()[0], (std::pair<UINT, WPARAM>{WM_CHAR, 7}));
    // Taking it out again leaves the text without it.
    link_number_to_text(n2, text, 1);
    EXPECT_EQ(parents_of(text), r.keeps_first ? std::vector<object*>{n1} : std::vector<object*>{});
    EXPECT_EQ(shown_in_order(), parents_of(text));
    EXPECT_FALSE(n2->aux2 & 2);
  }
}

TEST_F(TextRecords, TheOpenEditorsSelectionPlacesTheNumber) {
  window_hooks h;
  h.text_editor_selection = [](int32_t* start, int32_t* end, int32_t* length) {
    *start = *end = 0;
    *length = 5;
    return true;
  };
  window_services() = h;
  text_with_one_number();
  select(5, 5);
  link_number_to_text(n2, text, 0);
  EXPECT_STREQ(text->te->text, "$2$a$1$b");
  EXPECT_EQ(parents_of(text), (std::vector<object*>{n2, n1}));
}

TEST_F(TextRecords, ANumberAwayFromTheTextOrAlreadyInItIsNotInserted) {
  text_with_one_number();
  select(5, 5);
  n2->te->pos = te_point{500, 500};
  link_number_to_text(n2, text, 0);
  link_number_to_text(n1, text, 0);
  EXPECT_STREQ(text->te->text, "a$1$b");
  EXPECT_EQ(parents_of(text), std::vector<object*>{n1});
  EXPECT_FALSE(n2->aux2 & 2);
}

TEST_F(TextRecords, RemovingANumberTakesItsWholeMarkerAndKeepsTheOthersInStep) {
  text_with_one_number();
  object* p = point(0, 0);
  object* n3 = make(&classe_nombre, 0, {});
  set_content("x$1$y$2$z", {p, n1, n3});
  select(9, 9);
  link_number_to_text(n1, text, 1);
  EXPECT_STREQ(text->te->text, "xy$2$z");
  EXPECT_EQ(text->te->length, 6);
  EXPECT_EQ(parents_of(text), (std::vector<object*>{p, n3}));
  EXPECT_EQ(shown_in_order(), std::vector<object*>{n3});
  EXPECT_FALSE(n1->aux2 & 2);
  EXPECT_TRUE(n3->aux2 & 2);
  EXPECT_EQ(text->te->sel_start, 6) << "the selection is pulled back inside the text";
  EXPECT_EQ(text->te->sel_end, 6);

  // A number that is not in the text changes nothing.
  link_number_to_text(n2, text, 1);
  EXPECT_STREQ(text->te->text, "xy$2$z");
  EXPECT_EQ(parents_of(text), (std::vector<object*>{p, n3}));
}

// A key or a press on a number that a text shows is the text's: the key,
// with that text not under edit, is taken and starts nothing.
TEST_F(TextRecords, AKeyOnANumberShownInATextIsTakenForTheText) {
  text_with_one_number();
  n1->aux2 |= 2;
  fig_->cur_text = nullptr;
  kel_EventRecord key{};
  key.what = kEventKey;
  key.message = '7';
  manipulating = 0;
  EXPECT_EQ(dispatch_object_event(&key, n1), 1);
  EXPECT_EQ(manipulating, 0);
  EXPECT_EQ(n1->state & OBJ_MOVING, 0u);
  EXPECT_EQ(find_text_containing_number(n1), text);
}

}  // namespace
