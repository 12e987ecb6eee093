// The plotting of an expression over a coordinate system: the second method
// of the expression-application class is a macro with static steps, and
// the numbers the user chose besides the axes and the expression become
// the first parents of the evaluation.
#include <cstring>
#include <iterator>
#include <vector>

#include "app/kernel_iface/kp_geo_document.h"
#include "kernel/macros/macro_def.h"
#include "kernel/macros/macro_records.h"
#include "kernel/model/classes.h"
#include "kernel/model/memory.h"
#include "kernel/model/recompute.h"
#include "kernel/tools/tool_state.h"

namespace {

// Instance numbers: the axes' defining point 1, the axes 2, the expression 3.
uint32_t p_point[] = {2}, p_coords[] = {4, 2}, p_eval[] = {5, 3}, p_transf[] = {2, 6}, p_par1[] = {7, 2},
         p_par2[] = {4, 2}, p_int[] = {8, 9}, p_locus[] = {4, 10};
#define STEP(cls, method, final, side, nvals, parents) \
  {final, side, nullptr, nullptr, static_cast<int16_t>(std::size(parents)), nvals, parents, &cls, method, 0, nullptr, nullptr, nullptr, 0}
macro_object plot_steps[] = {
    STEP(classe_ptsur, 0, 0, 1, 2, p_point),        STEP(classe_equation, 0, 0, 0, 3, p_coords),
    STEP(classe_exp_num_app, 0, 0, 0, 1, p_eval),   STEP(classe_compas3, 0, 0, 2, 1, p_transf),
    STEP(classe_parallele, 0, 0, 1, 4, p_par1),     STEP(classe_parallele, 0, 0, 2, 4, p_par2),
    STEP(classe_ptint, 0, 0, 0, 1, p_int),          STEP(classe_locus, 0, 1, 0, 50, p_locus),
};
#undef STEP
int16_t plot_info[] = {8, 1, 0, 7};

uint16_t type_id(const object* o) { return o != nullptr && o->otype != nullptr ? o->otype->id : 0; }

}  // namespace

macro_def expression_plot_definition = {plot_info, plot_steps, nullptr, 0, 0, 0};

object* prepare_macro_application() {
  kelvo_win_info* fig = KPGeoDocument::currentInfo();
  if (fig == nullptr) return nullptr;
  std::vector<object*> numbers;
  object* axes = nullptr;
  object* expression = nullptr;
  for (int i = 0; i < objlist_count(fig->inputs); ++i) {
    object* o = fig->inputs->items[i];
    const uint16_t t = type_id(o);
    if (t == TYPE_NUMBER) numbers.push_back(o);
    if (t == TYPE_AXES) axes = o;
    if (t == TYPE_EXPRESSION) expression = o;
  }
  if (axes == nullptr || expression == nullptr) return nullptr;

  // The same plot exists already: same axes and expression, same numbers.
  for (object* o = fig->first; o != nullptr; o = o->next) {
    const infomacro* im = o->macro;
    if (im == nullptr || im->im_class != &classe_exp_num_app || im->im_method != 1 || type_id(o) != TYPE_LOCUS)
      continue;
    if (im->im_nb_initials < 2 || im->im_initials[0] != axes || im->im_initials[1] != expression) continue;
    for (object* e = fig->first; e != nullptr; e = e->next) {
      if (e->macro != im || e->classe != &classe_exp_num_app || e->methode != 0) continue;
      bool same = e->nbparents >= static_cast<int16_t>(numbers.size());
      for (size_t k = 0; same && k < numbers.size(); ++k) same = e->parents[k] == numbers[k];
      if (same) return nullptr;
    }
  }

  objlist_clear(fig->inputs);
  objlist_add(fig->inputs, axes, 0);
  objlist_add(fig->inputs, expression, 0);
  object* before = fig->last_hint;
  construct_class* saved = current_class;
  current_class = &classe_exp_num_app;
  apply_macro(1, 0);
  current_class = saved;
  object* first_new = before != nullptr ? before->next : fig->first;
  if (first_new == nullptr) return nullptr;
  for (object* o = first_new; o != nullptr && !numbers.empty(); o = o->next) {
    if (o->classe != &classe_exp_num_app || o->methode != 0) continue;
    // The chosen numbers go first; the two blocks after the parents follow.
    const int old = o->nbparents;
    const int extra = static_cast<int>(numbers.size());
    auto* parents = alloc_block<object*>(static_cast<uint32_t>(old + extra + 2));
    if (parents == nullptr) break;
    for (int k = 0; k < extra; ++k) parents[k] = numbers[static_cast<size_t>(k)];
    const uint32_t slots = o->parents != nullptr ? GlobalSize(o->parents) / sizeof(object*) : 0;
    for (int k = 0; k < old + 2 && static_cast<uint32_t>(k) < slots; ++k) parents[extra + k] = o->parents[k];
    GlobalFreeAndNull(&o->parents);
    o->parents = parents;
    o->nbparents = static_cast<int16_t>(old + extra);
    for (object* q = o; q != nullptr; q = q->next) recompute_object(q);
    break;
  }
  return fig->last_hint;
}
