// The text of a measure or a number: its value converted to the unit of
// the object, with the object's number of decimals, in exponent form when
// it is very large, the infinity sign when it is infinite, and the user's
// decimal separator; and the change of a number's unit.
#pragma once

#include <cstdint>
#include <string>

struct object;

// The byte the infinity sign is written with.
inline constexpr char kInfinitySign = '\xB0';

// Largest number of decimals a text is written with; the decimals byte of
// a damaged file may ask for more.
inline constexpr int kMaxDecimals = 99;

// The short name of a unit byte (kind in the top three bits), "" for none.
std::string unit_short_name(uint8_t unit);

// The number as the measure shows it, without unit: `decimals` decimals,
// exponent form beyond 1e12 in size, "." as the decimal point.
std::string format_measure_number(double shown, int decimals);

// Stores `value` as the object's raw value and writes its text (with the
// sign of infinity when `infinite` is set or the value is not finite) into
// the object's text record.
void format_measure_value(double value, object* obj, bool infinite);

// The number takes the unit byte; when the kind of unit changes, the raw
// value is rescaled so that the shown number stays the same. The text is
// rebuilt.
void update_measure_text(object* number, uint8_t unit);

// The equation text of an equation object into its text record; the text
// of an empty equation when the equation forms are not available.
void build_measure_text(object* obj);
