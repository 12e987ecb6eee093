// Mouse cursors as the kernel names them: by numeric resource identifier
// (the cursor table's entries and the standard Win32 identifiers such as
// 32512 the arrow, 32513 the I-beam, 32514 busy, 32649 the pointing hand)
// or by name ("AppStarting"). The application shows the current cursor; it
// listens for changes and reads it back here. Plain C++.
#pragma once

#include <cstdint>

using HCURSOR = void*;

inline constexpr int32_t kCursorArrow = 32512;
inline constexpr int32_t kCursorIBeam = 32513;
inline constexpr int32_t kCursorBusy = 32514;
inline constexpr int32_t kCursorHand = 32649;

struct KPCursor {
  // The cursor with that identifier; the same handle for the same
  // identifier, never null.
  static HCURSOR loadCursor(int32_t id);
  // Makes the cursor current and answers it (the arrow for null).
  static HCURSOR setCursor(HCURSOR cursor);
  static HCURSOR setCursorByID(int32_t id);
  // A named system cursor; "AppStarting" is the busy cursor.
  static void setCursorByName(const char* name);

  // The identifier of a handle from loadCursor (0 for null).
  static int32_t cursorID(HCURSOR cursor);
  // The current cursor: its identifier, or 0 while a named one is shown,
  // and that name ("" for an identifier).
  static int32_t currentID();
  static const char* currentName();
};

// Called after every change of the current cursor.
void install_cursor_listener(void (*changed)());
