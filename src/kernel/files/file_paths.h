// Path and file-dialog helpers shared by the file code: the separator and
// name of a path (8-bit, multibyte aware), the directory the kernel's
// dialogs start in, and the filter lists of those dialogs.
#pragma once

#include <cstddef>
#include <string>

// The last '\' or '/' of the path that is a one-byte character and does not
// start an escaped character ('\' followed by three digits); the path itself
// when there is none.
const char* path_last_separator(const char* path);
// The text after that separator; the whole path when there is none or it is
// the path's first character.
const char* path_file_name(const char* path);
// A new block: the directory part of path (through its last separator)
// followed by the file-name part of name. Null when memory runs out.
char* path_replace_file_name(const char* name, const char* path);

// The directory every kernel dialog starts in.
inline constexpr std::size_t kRememberedDirectorySize = 1024;
extern char remembered_directory[kRememberedDirectorySize];
// Keeps the directory part of path (before its last separator) when it is
// shorter than 1023 bytes; a longer one leaves the remembered one as it was.
void remember_directory(const char* path);

// A filter list: pairs of NUL-terminated strings {label, pattern} ended by
// an empty string; pass data() as the dialog record's filter.
using file_filter_list = std::string;
void append_file_filter(file_filter_list* list, const std::string& label, const char* pattern);
// Ends a list (the empty string after the last pair).
void end_file_filters(file_filter_list* list);
// The save dialog's pairs for a file kind: "label (pattern)"; the macro
// pattern "*.mac" also gets the older-format pair "label (Kelvo Duo) (pattern)".
void build_file_filters(file_filter_list* list, const char* label, const char* pattern);
// The seven pairs of the export dialog: HTML, PNG, then the calculator files.
void build_export_filters(file_filter_list* list);
// True when the name's last extension (after its last '.') is the extension
// of one of the patterns ("*." and the extension). "my.page.html" has the
// extension "html".
bool filter_has_extension(const char* file_name, const char* filters);
