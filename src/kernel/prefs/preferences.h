// The preferences record, the store it lives in and its text forms: the
// key-value pairs of the user's settings, the preference text a situations
// file carries and the property list the user can export.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

// The default look of one kind of graphic object.
struct kind_pref {
  uint32_t color;
  uint8_t thickness;         // thickness index, 0..2
  uint8_t dotted;            // index into the dash table, 0..2
  uint8_t graph_type;        // point shape for points, style for angle marks
  uint8_t smartline_type;    // lines only
  double smartline_length;   // lines only
};

// The default style of one kind of text.
struct text_style_pref {
  uint32_t reserved;  // carried into the default attributes, never stored
  uint16_t font;      // id in the font table
  uint32_t size;      // points
  uint16_t face;      // style bits
  uint32_t color;
  uint8_t char_set;
};

inline constexpr int kGraphicKinds = 10;
inline constexpr int kTextKinds = 7;

struct prefs_rec {
  uint8_t manage_infinity;
  uint8_t manage_point_on_object;
  uint8_t link_points;
  uint8_t envelope;
  uint16_t locus_points;
  int16_t length_decimals;
  int16_t angle_decimals;
  int16_t other_decimals;
  int16_t length_unit;
  uint16_t angle_unit;
  int16_t equation_type;
  uint16_t coordinate_system;
  kind_pref kinds[kGraphicKinds];
  text_style_pref texts[kTextKinds];
  uint8_t bitmap_copy;
  uint16_t tolerance;
  text_style_pref cursor_text;
  text_style_pref menu_text;
};

// The record the program works with; start-up and every file read refill it
// from the store.
extern prefs_rec prefs;
// The two smart line lengths of the preferences dialog's working area.
extern double prefs_smartline_lengths[2];
// The kernel's style of the help text beside the cursor and of the tools
// menus' items, set from the preferences.
extern text_style_pref cursor_text_font;
extern text_style_pref tools_menu_font;

// Key names of the graphic kinds and the text kinds, in record order.
extern const char* const kGraphicKindNames[kGraphicKinds];
extern const char* const kTextKindNames[kTextKinds];

// Where preferences are kept: key-value pairs of kernel texts.
class PreferenceStore {
 public:
  virtual ~PreferenceStore() = default;
  // Called before a run of reads, so a store can take one snapshot.
  virtual void begin_reading() {}
  // The stored text of key; false when the key is absent.
  virtual bool get(const char* key, std::string* value) = 0;
  virtual void set(const char* key, const char* value) = 0;
  // Makes what was set durable.
  virtual void sync() {}
};

// A store in memory, in the order keys were first set.
class MemoryPreferenceStore : public PreferenceStore {
 public:
  bool get(const char* key, std::string* value) override;
  void set(const char* key, const char* value) override;
  const std::vector<std::pair<std::string, std::string>>& entries() const { return entries_; }

 private:
  std::vector<std::pair<std::string, std::string>> entries_;
  std::map<std::string, size_t> index_;  // key -> position in entries_
};

// The user's settings (the platform's store).
PreferenceStore& user_preference_store();
// The store the functions below use: the user's unless redirected (null
// gives the user's back).
PreferenceStore& preference_store();
void set_preference_store(PreferenceStore* store);

// Group bits of set_factory_prefs.
enum : uint8_t {
  PREFS_PRECISION = 1,
  PREFS_EQUATIONS = 2,
  PREFS_LOCUS = 4,
  PREFS_STYLES = 8,
  PREFS_GEOMETRY = 16,
  PREFS_SYSTEM = 32,
  PREFS_ALL = 63,
};
void set_factory_prefs(uint8_t groups, prefs_rec* p);

// Fills the record from the store. A missing key keeps the factory value;
// a value that is not a number or lies outside its range takes the factory
// value too. The file name is not used: there is one store.
void read_preferences(prefs_rec* p, const char* file_name);
// Writes every key of the record to the store, then syncs it.
void write_preferences(const prefs_rec* p, const char* file_name);
void read_text_style_pref(text_style_pref* style, const char* prefix, const char* file_name);
void write_text_style_pref(const text_style_pref* style, const char* prefix, const char* file_name);

// Every key of the record with its stored text, in the order of writing.
std::vector<std::pair<std::string, std::string>> preference_entries(const prefs_rec& p);

// The colour word of a colour-table name or of a palette name of the
// 16-colour palette; Black for any other text.
uint32_t color_from_name(const char* name);

// The preference text of a situations file: the preference file's header
// line, then one "key=value" line per preference of `prefs`. A null dst
// only counts; both passes give the same text.
int32_t save_temp_preferences(char* dst);
// Reads a preference text (as save_temp_preferences writes it, up to its
// first empty line) into the user's store and rebuilds the preferences and
// the default attributes from it. Answers the bytes the text takes, 0 when
// there is no preference header at text.
uint32_t restore_preference_text(const char* text, uint32_t len);
// A preferences file opened by the user (its whole bytes): its preferences
// replace the stored ones and the default attributes take them at once. A
// file that holds no preference text changes nothing and says so.
void import_preferences_file(const char* bytes, uint32_t len);
// Parses the key=value lines of a preference text into a store.
uint32_t parse_preference_text(const char* text, uint32_t len, MemoryPreferenceStore* into);

// The property-list text of the record (XML, UTF-8).
std::string preferences_plist(const prefs_rec& p);
// With a file name: writes the record to the store. Without: asks for a file
// and writes the record there as a property list, the store untouched; a
// cancelled dialog writes nothing. False when nothing was written.
bool export_preferences(const char* file_name);
