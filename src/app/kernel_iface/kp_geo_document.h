// The document layer as the kernel sees it: the current figure and the
// edited/clean marks of documents. The kernel never holds a document; it
// asks here for the figure it works on. The Qt document layer installs its
// hooks at start-up; without them the marks are simply not shown.
#pragma once

struct kelvo_win_info;

struct KPGeoDocument {
  struct Hooks {
    void (*do_dirty)(kelvo_win_info*) = nullptr;
    void (*undo_dirty)(kelvo_win_info*) = nullptr;
    bool (*printing_in_progress)() = nullptr;
  };

  static kelvo_win_info* currentInfo();
  static void setCurrentInfo(kelvo_win_info* info);
  static void _do_dirty(kelvo_win_info* info);
  static void _undo_dirty(kelvo_win_info* info);
  static bool printingInProgress();

  static void installHooks(const Hooks& hooks);
};
