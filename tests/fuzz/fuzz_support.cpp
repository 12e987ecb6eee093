#include <QGuiApplication>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>

#include "fuzz_target.h"
#include "kernel/model/memory.h"
#include "platform/kp_dialog.h"

std::map<std::string, kelvo_fuzz_body>& kelvo_fuzz_bodies() {
  static std::map<std::string, kelvo_fuzz_body> bodies;
  return bodies;
}

bool kelvo_fuzz_register(const char* name, kelvo_fuzz_body body) {
  kelvo_fuzz_bodies()[name] = body;
  return true;
}

void kelvo_fuzz_gui_application() {
  if (QGuiApplication::instance() != nullptr) return;
  qputenv("QT_QPA_PLATFORM", "offscreen");
  static int argc = 1;
  static char name[] = "kelvo_fuzz";
  static char* argv[] = {name, nullptr};
  new QGuiApplication(argc, argv);
  // A reader that tells the user something (an old file it converts) gets
  // the first button, as from a user pressing Return: there are no widgets
  // to show a box with, and nobody to close it.
  KPDialog::setMessageBoxResponder([](const KPMessageBoxRequest&) { return 0; });
}

void kelvo_fuzz_check_blocks(std::size_t before, const char* what) {
  const std::size_t after = kernel_live_blocks();
  if (after <= before) return;
  std::fprintf(stderr, "%s keeps %zu kernel blocks that nobody frees\n", what, after - before);
  std::abort();
}

#include "fuzz_figure.h"
#include "kernel/tools/tool_state.h"
#include "kernel/tools/toolbox.h"

FuzzToolboxes::FuzzToolboxes() {
  init_object_lists();
  build_all_toolboxes();
}

FuzzToolboxes::~FuzzToolboxes() {
  free_all_toolboxes();
  free_attribute_menus();
  free_tool_record(&trash_toolbox);
  free_object_lists();
}
