#include "app/panels/help_pages.h"

#include <cstring>

#include "app/lang/language_starter.h"
#include "app/lang/resource_folders.h"
#include "app/panels/tool_icon.h"
#include "app/panels/tool_icon_art.h"
#include "kernel/tools/tool_ids.h"

void set_toolbar_row_icons() {
  init_icon_palette();
  for (int row = 1; row <= kToolbarRows; ++row) {
    toolbar_row* r = toolbar_row_at(static_cast<int16_t>(row));
    if (!r || !r->icon) continue;
    if (const tool_icon* art = builtin_tool_icon(r->english_name)) std::memcpy(r->icon, art, sizeof(tool_icon));
  }
  for (int face = 0; face < 2; ++face)
    if (const tool_icon* art = builtin_tool_icon(face == 0 ? "Show Axes" : "Hide Axes"); art && show_axes_icons[face])
      std::memcpy(show_axes_icons[face], art, sizeof(tool_icon));
}

void init_help_pages() {
  fill_help_page_table();
  set_toolbar_row_icons();
}

QString help_page_file(const char* page) {
  if (!page || !*page || std::strchr(page, '/') || std::strchr(page, '\\')) return {};
  // The pages are written in a language: those of the help folder in
  // English, those of another language in a folder named by its code
  // ("fr_FR", or "fr" for every country). A language without pages of its
  // own shows the tool's help text, which its file gives.
  const QString code = NSKelvoLanguageStarter::currentLanguageCode();
  const QString language = code.section(QLatin1Char('_'), 0, 0);
  if (language == QLatin1String("en"))
    return kelvo::lang::resource_file(QStringLiteral("html/help/") + QString::fromUtf8(page));
  if (language.isEmpty()) return {};
  for (const QString& folder : {code, language}) {
    const QString file =
        kelvo::lang::resource_file(QStringLiteral("html/help/") + folder + QLatin1Char('/') + QString::fromUtf8(page));
    if (!file.isEmpty()) return file;
  }
  return {};
}
