// Cursors: the kernel names them by Win32-style resource identifiers, the
// platform layer by name. Each entry of the cursor table ("Cursors.xml")
// becomes a KPCursor, made into a native cursor on demand: from its image
// with a hot spot, else the standard cursor its selector names, else the
// arrow. Plain C++: the kernel includes this header.
#pragma once

#include <memory>
#include <string>

class QCursor;

class KPCursor {
 public:
  static KPCursor* createCursor(int res_id, const char* name, const char* image_name, float hot_x, float hot_y,
                                const char* selector);
  // The first entry with the identifier, its native cursor made afresh.
  static KPCursor* loadCursor(int res_id);
  static KPCursor* cursorByName(const char* name);
  // Unknown identifiers and names show the arrow and leave no current cursor.
  static void setCursorByID(int res_id);
  static void setCursorByName(const char* name);
  static void setCursor(KPCursor* cursor);  // null: the arrow
  // The native cursor last set, or null.
  static const QCursor* currentCursor();
  // The entry last set (the kernel's record of its cursor), or null.
  static KPCursor* lastSet();
  // Whether the pointer is over the current figure window.
  static bool pointerInWindow();
  // Forgets every entry.
  static void clearTable();

  ~KPCursor();
  int resID() const { return resID_; }
  const std::string& name() const { return name_; }
  void loadCursor();
  // Shows the cursor, when forced or when the pointer is over the current
  // figure window; otherwise the arrow.
  void set();
  void setForce(bool force) { force_ = force; }

 private:
  struct Native;
  KPCursor(int res_id, const char* name, const char* image_name, float hot_x, float hot_y, const char* selector);

  int resID_ = 0;
  std::string name_;
  std::string imageName_;
  float hotSpot_[2] = {0, 0};
  std::string selector_;
  bool force_ = false;
  std::unique_ptr<Native> native_;
};

// Reads the cursor table. Images named in it are looked up in the folder
// "cursors" beside the table file.
class NSKelvoCursorsLoader {
 public:
  // The table among the support files; false when it is missing.
  static bool initWithBundleFile(const char* name);
  // Reads a table file (UTF-8 path); false when it cannot be read or is not
  // well-formed (entries read before the fault are kept).
  static bool initWithFile(const char* path);
};
