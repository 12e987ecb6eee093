#include "kernel/text/kernel_strings.h"

#include "kernel/model/figure.h"

#include <cstring>
#include <unordered_set>
#include <utility>
#include <memory>

// Before the first language is loaded the unit names hold built-in
// defaults (never released): long names (in French, Mac Roman bytes), then
// the short symbols. 0xB2/0xB3 are the exponents 2 and 3; 0xFB is the
// degree ring.
#define D(text) const_cast<char*>(text)
char* kernel_strings[kKernelStringCount] = {
    nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
    D("Sans unit\x8E"), D("Millim\x8Ftre"), D("Centim\x8Ftre"), D("M\x8Ftre"), D("Kilom\x8Ftre"),
    D("Scaled length unit"), D("Millim\x8Ftre carr\x8E"), D("Centim\x8Ftre carr\x8E"), D("M\x8Ftre carr\x8E"),
    D("Kilom\x8Ftre carr\x8E"), D("Scaled area unit"), D("Cube Millimeter"), D("Cube Centimeter"),
    D("Cube Meter"), D("Cube Kilometer"), D("Cube area unit"), D("Radian"), D("Degr\x8E"), D("Grade"),
    D("mm"), D("cm"), D("m"), D("km"), D("su"), D("mm\xB2"), D("cm\xB2"), D("m\xB2"), D("km\xB2"), D("su\xB2"),
    D("mm\xB3"), D("cm\xB3"), D("m\xB3"), D("km\xB3"), D("su\xB3"), D("rd"), D("\xFB"), D("gr")};
#undef D

namespace {
constexpr int kFirstUnitRow = 11;
constexpr int kUnitRowCount = 37;
char* const* unit_defaults() {
  static char* const* saved = [] {
    static char* copy[kUnitRowCount];
    for (int i = 0; i < kUnitRowCount; ++i) copy[i] = kernel_strings[kFirstUnitRow + i];
    return copy;
  }();
  return saved;
}
// Taken before anything can change the slots.
[[maybe_unused]] char* const* const kUnitDefaultsAtStart = unit_defaults();
}  // namespace

const char* method_argument_words[12] = {"", "", "", "", "", "", "", "", "", "", "", ""};
const char* argument_description_words[2] = {"", ""};
char separator_chars[3] = {',', '.', ';'};
const char* session_menu_texts[2] = {};

namespace {

constexpr int kFirstNativeOnlyRow = 931;
constexpr int kLastNativeOnlyRow = 969;

// Rows the native side keeps a copy of: the title, the write error, the
// three button titles, the close title, the native main-menu titles and
// the two panel toggles.
constexpr bool row_has_native_string(int row) {
  return row == 0 || row == 300 || (row >= 342 && row <= 344) || row == 349 ||
         (row >= 795 && row <= 869) || row == 941 || row == 942 || row == 958 || row == 959;
}

// Rows 933 and 934 word the question before an export that loses part of
// the objects' appearance, which the kernel asks.
constexpr bool row_has_kernel_variable(int row) {
  return row < kFirstNativeOnlyRow || row > kLastNativeOnlyRow || row == 933 || row == 934;
}

std::unique_ptr<char[]> owned_blocks[kKernelStringCount];
bool first_load = true;

void install_defaults() {
  char* const* defaults = unit_defaults();
  for (int i = 0; i < kUnitRowCount; ++i) kernel_strings[kFirstUnitRow + i] = defaults[i];
}

void refresh_lists() {
  method_argument_words[0] = "";
  for (int i = 0; i < 11; ++i) method_argument_words[1 + i] = kernel_string(lang_row::argument_words + i);
  argument_description_words[0] = kernel_string(lang_row::argument_description);
  argument_description_words[1] = kernel_string(lang_row::argument_description_value);
}

}  // namespace

constexpr std::array<lang_string_slot, kKernelStringCount> build_table() {
  std::array<lang_string_slot, kKernelStringCount> rows{};
  for (int r = 0; r < kKernelStringCount; ++r)
    rows[r] = {row_has_kernel_variable(r) ? &kernel_strings[r] : nullptr, row_has_native_string(r)};
  return rows;
}

constinit const std::array<lang_string_slot, kKernelStringCount> lang_string_table = build_table();

const char* kernel_string(int row) {
  if (row < 0 || row >= kKernelStringCount || kernel_strings[row] == nullptr) return "";
  return kernel_strings[row];
}

const char* kernel_string_or(int row, const char* builtin) {
  const char* text = kernel_string(row);
  return text[0] != '\0' ? text : builtin;
}

const char* out_of_memory_text() { return kernel_string_or(294, "Not enough memory"); }

bool lang_first_load_pending() { return first_load; }

void lang_apply_separators_and_session_texts() {
  const char* seps = kernel_string(lang_row::separators);
  for (int i = 0; i < 3 && seps[i] != '\0'; ++i) separator_chars[i] = seps[i];
  session_menu_texts[0] = kernel_string(lang_row::session_menu_first);
  session_menu_texts[1] = kernel_string(lang_row::session_menu_second);
}

bool lang_fill_kernel_strings(const char* const* texts, int count) {
  if (texts == nullptr || count != kKernelStringCount) return false;
  // Build every block before touching a row, so a failed allocation leaves
  // the previous texts in force.
  std::unique_ptr<char[]> fresh[kKernelStringCount];
  for (int r = 0; r < kKernelStringCount; ++r) {
    if (lang_string_table[r].cvar == nullptr) continue;
    const char* text = texts[r] != nullptr ? texts[r] : "";
    const std::size_t len = std::strlen(text);
    fresh[r] = std::make_unique<char[]>(len + 1);
    std::memcpy(fresh[r].get(), text, len + 1);
  }
  for (int r = 0; r < kKernelStringCount; ++r) {
    if (lang_string_table[r].cvar == nullptr) continue;
    *lang_string_table[r].cvar = fresh[r].get();
    owned_blocks[r] = std::move(fresh[r]);
  }
  // A degree sign that arrived as UTF-8 becomes the Mac Roman byte.
  char* degree = kernel_strings[lang_row::degree_symbol];
  if (static_cast<unsigned char>(degree[0]) == 0xC2 && static_cast<unsigned char>(degree[1]) == 0xB0) {
    degree[0] = '\xA1';
    degree[1] = '\0';
  }
  first_load = false;
  refresh_lists();
  lang_apply_separators_and_session_texts();
  return true;
}

void lang_reset_kernel_strings() {
  for (int r = 0; r < kKernelStringCount; ++r) {
    kernel_strings[r] = nullptr;
    owned_blocks[r].reset();
  }
  install_defaults();
  first_load = true;
  separator_chars[0] = ',';
  separator_chars[1] = '.';
  separator_chars[2] = ';';
  refresh_lists();
  session_menu_texts[0] = session_menu_texts[1] = nullptr;
}

void forget_kernel_string_uses(kelvo_win_info* fig) {
  if (fig == nullptr) return;
  std::unordered_set<const char*> rows;
  for (const char* row : kernel_strings)
    if (row != nullptr) rows.insert(row);
  for (object* o = fig->first; o != nullptr; o = o->next)
    if (o->str != nullptr && rows.contains(o->str)) o->str = nullptr;
}
