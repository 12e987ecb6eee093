// A macro class written as static source tables in the kernel's own
// notation (its steps, definition, argument codes, methods, icon and class
// record), so that a macro can be compiled into the program as a pre-built
// class. It is an export of its own, never the macro file.
#pragma once

#include <cstdint>

struct construct_class;

// The source text of the class; a null buffer counts only (the two passes
// give the same length). Lines end with CR LF.
int32_t write_macro_as_c(construct_class* cls, char* buffer);

// The source name of a built-in class ("&classe_point" ...), or "" for the
// classes that have none (macros among them).
const char* macro_class_c_name(const construct_class* cls);

// Writes the source text of the class to path; false (and no file) when it
// cannot be written.
bool export_macro_as_c(construct_class* cls, const char* path);
