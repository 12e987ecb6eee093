// A user-edited preferences store. The input is read as
// the key=value lines of a preference text into an in-memory store, from
// which the preferences and the default-attribute table are built; the
// record is then written out as text and as a property list.
#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz_target.h"
#include "kernel/files/text_family.h"
#include "kernel/prefs/default_attrs.h"
#include "kernel/prefs/preferences.h"
#include "kernel/render/colors.h"

KELVO_FUZZ_TARGET(preferences_fuzz) {
  static bool ready = [] {
    // Text styles name fonts, which the font table looks up through Qt.
    kelvo_fuzz_gui_application();
    init_color_table();
    return true;
  }();
  (void)ready;
  std::string text = std::string(kTxtPrefsHeader) + "\r\n";
  text.append(reinterpret_cast<const char*>(data), size);
  MemoryPreferenceStore store;
  parse_preference_text(text.data(), static_cast<uint32_t>(text.size()), &store);
  set_preference_store(&store);
  init_default_attrs(nullptr);
  set_preference_store(nullptr);
  // What was read writes out and reads back the same.
  MemoryPreferenceStore again;
  for (const auto& [key, value] : preference_entries(prefs)) again.set(key.c_str(), value.c_str());
  prefs_rec first = prefs, second{};
  set_preference_store(&again);
  read_preferences(&second, nullptr);
  set_preference_store(nullptr);
  if (preference_entries(first) != preference_entries(second)) __builtin_trap();
  std::string out(static_cast<size_t>(save_temp_preferences(nullptr)), '\0');
  save_temp_preferences(out.data());
  (void)preferences_plist(prefs);
  return 0;
}
