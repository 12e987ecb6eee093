// What the figure readers need around one input: the Qt application (rich
// text runs name fonts), version and colour tables, a fresh class list (the
// macros a file loads join it), a preference store of its own (situations
// files carry preferences) and a fresh current figure, all given back at
// the end.
#pragma once

#include "app/kernel_iface/kp_geo_document.h"
#include "fuzz_target.h"
#include "kernel/model/classes.h"
#include "kernel/model/figure.h"
#include "kernel/model/memory.h"
#include "kernel/model/version_info.h"
#include "kernel/prefs/preferences.h"
#include "kernel/render/colors.h"

// Reads one input twice: the first read makes whatever scratch blocks the
// readers keep for good, so the second must give back every block it takes.
// A reader that keeps blocks for each file it reads stops the process.
template <class Read>
int kelvo_fuzz_read_twice(Read&& read) {
  read();
  const std::size_t before = kernel_live_blocks();
  read();
  kelvo_fuzz_check_blocks(before, "the reader");
  return 0;
}

class FuzzFigure {
 public:
  FuzzFigure() {
    static const bool ready = [] {
      kelvo_fuzz_gui_application();
      init_version_info();
      init_color_table();
      return true;
    }();
    (void)ready;
    set_preference_store(&store_);
    init_construct_classes();
    new_figure_info();
  }
  ~FuzzFigure() {
    kelvo_win_info* fig = KPGeoDocument::currentInfo();
    if (fig != nullptr) {
      kelvo_win_info* copy = fig->undo;
      free_figure_info(fig, false);
      free_figure_info(copy, false);
      KPGeoDocument::setCurrentInfo(nullptr);
    }
    // A table read before its tool is ready takes the pointer tool, which
    // grows the tools' lists: they go with the figure.
    free_object_lists();
    free_construct_classes();
    set_preference_store(nullptr);
  }
  FuzzFigure(const FuzzFigure&) = delete;
  FuzzFigure& operator=(const FuzzFigure&) = delete;

 private:
  MemoryPreferenceStore store_;
};

// The toolboxes of a fresh start (macros read with `install` join them, the
// tool-menu reader rebuilds them), given back at the end.
class FuzzToolboxes {
 public:
  FuzzToolboxes();
  ~FuzzToolboxes();
  FuzzToolboxes(const FuzzToolboxes&) = delete;
  FuzzToolboxes& operator=(const FuzzToolboxes&) = delete;
};
