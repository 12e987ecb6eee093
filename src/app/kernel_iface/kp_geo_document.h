// The document layer as the kernel sees it: the current figure and the
// edited/clean marks of documents. The kernel never holds a document; it
// asks here for the figure it works on: the figure of the current document's
// view, or, with no current document, a fallback record. The Qt document
// layer installs its hooks at start-up; without them the fallback record is
// the current figure and the marks are only kept in the figure's flags.
#pragma once

struct kelvo_win_info;

// Bits of the figure record's flag byte (`wflags`) that documents keep.
inline constexpr char kFigureChanged = 1;  // changed since saved
inline constexpr char kFigureHasFile = 2;

struct KPGeoDocument {
  struct Hooks {
    // Answers false when there is no current document.
    bool (*current_info)(kelvo_win_info** out) = nullptr;
    bool (*set_current_info)(kelvo_win_info* info) = nullptr;
    void (*do_dirty)(kelvo_win_info*) = nullptr;
    void (*undo_dirty)(kelvo_win_info*) = nullptr;
    bool (*printing_in_progress)() = nullptr;
  };

  static kelvo_win_info* currentInfo();
  static void setCurrentInfo(kelvo_win_info* info);
  // Marks the figure changed (or clean) and tells its document.
  static void _do_dirty(kelvo_win_info* info);
  static void _undo_dirty(kelvo_win_info* info);
  static bool printingInProgress();

  static void installHooks(const Hooks& hooks);
  static const Hooks& installedHooks();
};
