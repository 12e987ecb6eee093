// Import of the two oldest binary figure formats and of the old binary macro
// file. Both figure readers first turn each stored object into an old record
// and then convert every record into objects of the current figure in one
// pass, through the construction engine, as a user would build them. They
// are read only, never written.
//
// Every read is bounded by the file image: a short file or a partial record
// ends the records there; references that point forward, out of range or at
// a record that made no object leave the object that needs them unmade.
#pragma once

#include <cstdint>

#include "kernel/model/figure.h"

inline constexpr int kMaxOldRecords = 1000;
inline constexpr int kOldMacroRecordSize = 1210;
inline constexpr int kOldMacroMaxInitials = 10;
inline constexpr int kOldMacroMaxSteps = 50;

// Messages of the importers.
inline constexpr const char* kOldFileRefused = "Vieux Fichier";
inline constexpr const char* kOldExternalClass = "Classe externe";
inline constexpr const char* kOldBisectorProblem = "Probleme bissectrice";

// The version class of a format-1 header's version number: 1 for exactly 1,
// 2..7 for the ranges of the later editions, 0 for every other value and for
// each boundary value itself.
int old_version_class(double version);

// Read the figure in the file image into the current figure; 1 when done
// (possibly partially, after a message), 0 when nothing could be imported
// (the reason is in old_binary_error()).
int import_old_figure_v2();
int import_old_figure_v1();
// The same on an image of len bytes.
int import_old_figure_v2(const char* image, uint32_t len);
int import_old_figure_v1(const char* image, uint32_t len);
// Builds a macro class from the old macro file in the file image, registers
// it and adds it to the tools; 1 when done, 0 when the file is refused.
int import_old_macro_v2();
int import_old_macro_v2(const char* image, uint32_t len);
// The first binary format keeps no macros this program can use.
int import_old_macro_v1();

// The lowest side value 0, 0x10000, 0x20000 ... that no intersection point
// of the set holds yet.
uint32_t next_intersection_side(object* set);

const char* old_binary_error();
