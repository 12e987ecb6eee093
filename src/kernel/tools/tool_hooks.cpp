#include "kernel/tools/tool_hooks.h"

#include "app/kernel_iface/kp_figure_view.h"
#include "kernel/measure/formula_text.h"
#include "kernel/tools/text_tool_handlers.h"
#include "platform/kp_dialog.h"

namespace {
bool modifier_down(uint32_t code) { return KPEventsWrapper::modifierKeyDown(static_cast<uint16_t>(code)); }
}  // namespace

namespace {

tool_hooks make_default_hooks() {
  tool_hooks h;
  h.modifier_key_down = &modifier_down;
  h.collect_formula_variables = &collect_expression_variables;
  h.expression_has_pending_variable = &expression_wants_number;
  h.expression_waits_for_axes = &expression_wants_axes;
  return h;
}

tool_hooks g_hooks = make_default_hooks();

}  // namespace

tool_hooks& tool_services() { return g_hooks; }

void install_tool_services(const tool_hooks& hooks) {
  g_hooks = hooks;
  if (!g_hooks.modifier_key_down) g_hooks.modifier_key_down = &modifier_down;
  if (!g_hooks.collect_formula_variables) g_hooks.collect_formula_variables = &collect_expression_variables;
  if (!g_hooks.expression_has_pending_variable) g_hooks.expression_has_pending_variable = &expression_wants_number;
  if (!g_hooks.expression_waits_for_axes) g_hooks.expression_waits_for_axes = &expression_wants_axes;
}

void tool_redraw_figure(int mode, int reason) {
  if (g_hooks.redraw_figure) g_hooks.redraw_figure(mode, reason);
}

bool tool_modifier_down(uint32_t code) { return g_hooks.modifier_key_down && g_hooks.modifier_key_down(code); }

bool tool_calculator_window_exists() { return g_hooks.calculator_window_exists && g_hooks.calculator_window_exists(); }

void invalidate_current_figure_window() { invalidate_figure_view(current_figure_view); }
