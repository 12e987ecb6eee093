// What the figure readers need around one input: the Qt application (rich
// text runs name fonts), version and colour tables, a fresh class list (the
// macros a file loads join it) and a fresh current figure, all given back
// at the end; the kernel must then hold no more blocks than before.
#pragma once

#include "app/kernel_iface/kp_geo_document.h"
#include "fuzz_target.h"
#include "kernel/model/classes.h"
#include "kernel/model/figure.h"
#include "kernel/model/memory.h"
#include "kernel/model/version_info.h"
#include "kernel/render/colors.h"

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
    before_ = kernel_live_blocks();
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
    free_construct_classes();
    kelvo_fuzz_check_blocks(before_, "the reader");
  }
  FuzzFigure(const FuzzFigure&) = delete;
  FuzzFigure& operator=(const FuzzFigure&) = delete;

 private:
  std::size_t before_ = 0;
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
