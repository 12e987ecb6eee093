#include "kernel/exchange/export_question.h"

#include <string>
#include <unordered_set>

#include "app/kernel_iface/figure_description.h"
#include "app/kernel_iface/kp_geo_document.h"
#include "kernel/model/classes.h"
#include "kernel/model/deletion.h"
#include "kernel/model/figure.h"
#include "kernel/text/kernel_strings.h"
#include "kernel/text/text_record.h"
#include "platform/kernel_services.h"

namespace {

constexpr int kLeftOutQuestionRow = 768;
constexpr int kAlteredQuestionRow = 933;
constexpr int kAlteredHeadingRow = 934;
constexpr size_t kListedObjects = 10;
constexpr size_t kListLength = 256;

bool is_text(const object* o) { return o != nullptr && o->otype == &type_text; }
bool is_number(const object* o) { return o != nullptr && o->otype == &type_number; }

// How the figure shows an object where it names it: a text with the names
// of what it quotes put in for its references, a table by nothing (its
// text holds its cells), any other object by its name.
std::string shown_name(const object* o) {
  if (o == nullptr || is_table_object(o)) return {};
  return describe_object_name(o, nullptr).object_text;
}

// The number a text shows alone (an equation with the others of its
// curve), whose parents the line then gives; null when there is none.
const object* number_shown_alone(const object* text) {
  if (!is_text(text)) return nullptr;
  const object* number = nullptr;
  for (const insert_object* r = text->inserted; r != nullptr; r = r->next)
    if (is_number(r->obj)) {
      number = r->obj;
      break;
    }
  if (number == nullptr) return nullptr;
  for (const insert_object* r = text->inserted; r != nullptr; r = r->next) {
    if (r->obj == number) continue;
    const bool same_curve = number->classe == &classe_equation && r->obj != nullptr &&
                            r->obj->classe == &classe_equation && r->obj->nbparents > 0 &&
                            number->nbparents > 0 && r->obj->parents[0] == number->parents[0];
    if (!same_curve) return nullptr;
  }
  return number;
}

// The line of one object: its name, then its kind and the objects it is
// built from, as the figure's description gives them.
std::string line_of(const object* o) {
  std::string line;
  const std::string name = shown_name(o);
  if (!name.empty()) line = name + " => ";
  line += describe_object(o, nullptr);
  auto name_or_blank = [](const object* p) {
    const std::string n = shown_name(p);
    return n.empty() ? std::string("_") : n;
  };
  if (o->classe == &classe_locus) {
    line += ": " + name_or_blank(o->nbparents > 0 ? o->parents[0] : nullptr);
    line += ", " + name_or_blank(o->nbparents > 1 ? o->parents[1] : nullptr);
    return line;
  }
  const object* source = o;
  if (o->classe == &classe_ptint && o->nbparents > 0 && o->parents[0] != nullptr)
    source = o->parents[0];
  else if (const object* number = number_shown_alone(o))
    source = number;
  for (int i = 0; i < source->nbparents && source->parents != nullptr; ++i)
    line += (i == 0 ? ": " : ", ") + name_or_blank(source->parents[i]);
  return line;
}

// Intersection sets and the hidden steps of macros are the figure's own
// workings: the user never sees them, and they go with what they serve.
bool listed(const object* o) {
  return o != nullptr && !is_intersection_set(o) && !(o->macro != nullptr && o->final_no == 0);
}

// The lines of a list: ten at most, then "[...]" when there are more or
// when the lines reach 256 characters.
std::string list_of(const std::vector<object*>& all) {
  std::vector<const object*> objects;
  for (const object* o : all)
    if (listed(o)) objects.push_back(o);
  std::string list;
  for (size_t k = 0; k < objects.size() && k < kListedObjects; ++k) list += "\n" + line_of(objects[k]);
  if (objects.size() > kListedObjects || list.size() >= kListLength) list += "\n[...]";
  return list;
}

}  // namespace

void compose_left_out_question(const std::vector<object*>& left_out, const std::vector<object*>& altered) {
  // The lines are made of the objects' texts: names, measures and equations
  // write their unit signs as the kernel's own texts do.
  std::string lines;
  const char* question = kernel_string(left_out.empty() && !altered.empty() ? kAlteredQuestionRow : kLeftOutQuestionRow);
  if (!left_out.empty()) lines = "\n" + list_of(left_out);
  if (!altered.empty()) {
    if (!left_out.empty()) {
      const char* heading = kernel_string(kAlteredHeadingRow);
      lines += "\n\n";
      lines += heading != nullptr ? heading : "";
    } else {
      lines += "\n";
    }
    lines += list_of(altered);
  }
  message_compose_unit_text(question != nullptr ? question : "", lines.c_str(), "", "");
}

std::vector<object*> objects_lost_with(const std::vector<object*>& unwritable) {
  kelvo_win_info* fig = KPGeoDocument::currentInfo();
  if (fig == nullptr || unwritable.empty()) return unwritable;
  std::vector<object*> originals;
  for (object* o = fig->first; o != nullptr; o = o->next) originals.push_back(o);
  kelvo_win_info* copy = duplicate_figure_info(nullptr, 0);
  if (copy == nullptr) return unwritable;
  KPGeoDocument::setCurrentInfo(copy);
  // The copy holds the objects in the same order.
  std::vector<object*> twins;
  for (object* o = copy->first; o != nullptr; o = o->next) twins.push_back(o);
  const std::unordered_set<const object*> wanted(unwritable.begin(), unwritable.end());
  std::vector<object*> doomed;
  for (size_t k = 0; k < originals.size() && k < twins.size(); ++k)
    if (wanted.count(originals[k]) != 0) doomed.push_back(twins[k]);
  auto alive = [copy] {
    std::unordered_set<const object*> set;
    for (const object* o = copy->first; o != nullptr; o = o->next) set.insert(o);
    return set;
  };
  for (object* t : doomed)
    if (alive().count(t) != 0) delete_object_quietly(t);
  const std::unordered_set<const object*> left = alive();
  std::vector<object*> lost;
  for (size_t k = 0; k < originals.size(); ++k)
    if (k >= twins.size() || left.count(twins[k]) == 0) lost.push_back(originals[k]);
  free_figure_info(copy, false);
  KPGeoDocument::setCurrentInfo(fig);
  return lost;
}
