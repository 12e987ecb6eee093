// The description list's rules on small hand-made figures: which objects
// get a line, the kind and parent texts of a line, and the red lines.
#include <gtest/gtest.h>

#include <cstring>
#include <deque>
#include <string>

#include "../model/geometry_fixture.h"
#include "app/kernel_iface/figure_description.h"
#include "kernel/text/text_record.h"

namespace {

class Description : public GeometryTest {
 protected:
  // An object of the class (of its type unless given), named when `name`
  // is not null, appended to the hand-made figure.
  object* add(construct_class& cls, const char* name, std::initializer_list<object*> parents = {},
              type* t = nullptr) {
    object& o = objects_.emplace_back();
    o.classe = &cls;
    o.otype = t ? t : cls.ctype;
    o.final_no = 1;
    o.settings.visible = 1;
    if (name) {
      TErec& te = records_.emplace_back();
      te.text = const_cast<char*>(names_.emplace_back(name).c_str());
      te.length = static_cast<int32_t>(std::strlen(te.text));
      o.te = &te;
    }
    auto& list = parent_lists_.emplace_back(parents);
    o.parents = list.empty() ? nullptr : list.data();
    o.nbparents = static_cast<int16_t>(list.size());
    if (last_) {
      last_->next = &o;
      o.prev = last_;
    } else {
      figure_.first = &o;
    }
    last_ = &o;
    return &o;
  }
  // Makes `text` quote `obj` as its marker number n.
  void quote(object* text, object* obj, int16_t n) {
    insert_object& r = inserts_.emplace_back();
    r.obj = obj;
    r.number = n;
    r.next = text->inserted;
    text->inserted = &r;
  }
  std::vector<std::string> lines(const description_state* s = nullptr) {
    std::vector<std::string> out;
    for (object* o : description_objects(&figure_, s)) {
      const description_line l = describe_object_name(o, s);
      out.push_back(l.object_text + " | " + l.type_text);
    }
    return out;
  }
  static std::string name(const construct_class& c) { return c.name && *c.name ? c.name : c.english_name; }
  static std::string tname(const type& t) {
    std::string n = t.name && *t.name ? t.name : t.english_name;
    if (!n.empty() && n[0] == 1) n.erase(0, 1);
    if (auto b = n.find(' '); b != std::string::npos && b + 1 < n.size()) n = n.substr(b + 1);
    if (!n.empty() && n[0] >= 'a' && n[0] <= 'z') n[0] = static_cast<char>(n[0] - 32);
    return n;
  }

  kelvo_win_info figure_{};
  std::deque<object> objects_;
  std::deque<TErec> records_;
  std::deque<std::string> names_;
  std::deque<std::vector<object*>> parent_lists_;
  std::deque<insert_object> inserts_;
  object* last_ = nullptr;
};

TEST_F(Description, IntersectionSetHasNoLineItsPointsShowItsKindAndParents) {
  object* a = add(classe_droite, "d");
  object* b = add(classe_cercle, nullptr);
  object* set = add(classe_interset, nullptr, {a, b});
  add(classe_ptint, "I", {set});
  const auto shown = lines();
  ASSERT_EQ(shown.size(), 3u);
  EXPECT_EQ(shown[2], "I | " + tname(type_interset) + " (" + name(classe_interset) + "): d, _");
}

TEST_F(Description, NumberShownOnlyByTextsHasNoLineTheTextCarriesIt) {
  object* a = add(classe_point, "A");
  object* b = add(classe_point, "B");
  object* len = add(classe_length, "7.5", {a, b});
  object* text = add(classe_text, "AB = $1$ cm", {}, &type_text);
  quote(text, len, 1);
  auto shown = lines();
  ASSERT_EQ(shown.size(), 3u);
  EXPECT_EQ(shown[2], "AB = 7.5 cm | " + tname(type_text) + " (" + name(classe_length) + "): A, B");
  // A text quoting something else too no longer shows the number alone.
  quote(text, a, 2);
  shown = lines();
  EXPECT_EQ(shown.size(), 4u);
}

TEST_F(Description, HiddenObjectsAreListedOnlyWhenAskedAndInLightGray) {
  add(classe_point, "A");
  object* h = add(classe_point, "H");
  h->settings.visible = 0;
  description_state s;
  EXPECT_EQ(lines(&s).size(), 1u);
  s.show_hidden = 1;
  EXPECT_EQ(lines(&s).size(), 2u);
  EXPECT_EQ(description_line_color(h), kDescriptionLightGray);
  EXPECT_EQ(description_line_color(figure_.first), kDescriptionBlack);
}

TEST_F(Description, ObjectsBeingBuiltOrMissingHaveNoLine) {
  add(classe_point, "A")->state |= OBJ_NEW;
  add(classe_point, "B")->state |= OBJ_UNDEFINED;
  EXPECT_TRUE(lines().empty());
}

TEST_F(Description, LocusLineNamesItsTwoParentsUnnamedAsUnderscore) {
  object* p = add(classe_point, "P");
  object* m = add(classe_milieu, nullptr, {p, p});
  add(classe_locus, "L", {p, m});
  const auto shown = lines();
  ASSERT_EQ(shown.size(), 3u);
  EXPECT_EQ(shown[2], "L | " + tname(type_locus) + ": P, _");
}

TEST_F(Description, ParentsOfTheSelectedObjectAreRed) {
  object* a = add(classe_point, "A");
  object* b = add(classe_point, "B");
  object* c = add(classe_point, "C");
  object* tri = add(classe_triangle, nullptr, {a, b, c});
  object* mid = add(classe_milieu, nullptr, {tri});
  mid->math.side.index = 2;
  EXPECT_TRUE(is_parent_in_description(mid, c));
  EXPECT_TRUE(is_parent_in_description(mid, a));
  EXPECT_FALSE(is_parent_in_description(mid, b));
  // A polygon without vertices makes nothing red (and divides by nothing).
  object* empty = add(classe_polygone, nullptr);
  object* mid2 = add(classe_milieu, nullptr, {empty});
  EXPECT_FALSE(is_parent_in_description(mid2, a));
  object* text = add(classe_text, "$1$", {}, &type_text);
  quote(text, b, 1);
  EXPECT_TRUE(is_parent_in_description(text, b));
  EXPECT_FALSE(is_parent_in_description(text, a));
  EXPECT_FALSE(is_parent_in_description(nullptr, a));
}

TEST_F(Description, ControlBytesBecomeBlanksAndLongNamesAreBounded) {
  add(classe_point, "A\x01\x02" "B");
  std::string long_name(5000, 'x');
  add(classe_point, long_name.c_str());
  const auto all = description_objects(&figure_, nullptr);
  ASSERT_EQ(all.size(), 2u);
  EXPECT_EQ(describe_object_name(all[0], nullptr).object_text, "A  B");
  const description_line l = describe_object_name(all[1], nullptr);
  EXPECT_LE(l.object_text.size(), kDescriptionTextLimit);
  EXPECT_EQ(l.object_text.substr(l.object_text.size() - 3), "...");
}

TEST_F(Description, AreaTextsShowExponentCodes) {
  object* a = add(classe_point, "A");
  add(classe_aire, "12 cm\x01", {a});
  const auto all = description_objects(&figure_, nullptr);
  ASSERT_EQ(all.size(), 2u);
  EXPECT_EQ(describe_object_name(all[1], nullptr).object_text, "12 cm\xB2");
}

TEST_F(Description, CopiedTextHoldsOneTabSeparatedLinePerObject) {
  add(classe_point, "A");
  add(classe_point, "B");
  EXPECT_EQ(description_plain_text(&figure_, nullptr),
            "A\t" + tname(type_point) + "\r\nB\t" + tname(type_point) + "\r\n");
}

}  // namespace
