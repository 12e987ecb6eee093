// Keys on value objects: numbers step digit by digit under the arrows and
// gain or lose decimals with '+' and '-', equations change their decimals
// and their form, axes and grids their display mode, tables follow their
// values; a typed coordinate moves its point. Also the display text of a
// number, with digit groups, unit and the cursor kept on its digit.
#pragma once

#include <cstdint>

struct object;

// Key codes of the value keys. The figure view hands the arrows over as the
// low byte of their function-key codes (0 up, 1 down, 2 left, 3 right);
// numbers take them as the arrows 37..40.
inline constexpr uint32_t kValueKeyLeft = 37;
inline constexpr uint32_t kValueKeyUp = 38;
inline constexpr uint32_t kValueKeyRight = 39;
inline constexpr uint32_t kValueKeyDown = 40;
inline constexpr uint32_t kValueKeyForwardDelete = 21248;

// Largest number of significant digits an edited number keeps.
inline constexpr int kMaxNumberDigits = 10;

// Whether the key acts on the object's value.
bool key_accepted(object* obj, uint32_t key);
// Performs the key on the object's value.
void value_key_command_impl(object* obj, uint32_t key);

// Steps or edits the number by the key (see the header comment).
void step_number_by_key(object* number, uint32_t key);
// The number's text was shortened from its value (a change of unit): more
// decimals show the digits of the value until the next edit or step.
void set_number_value_exact(object* number);

// Writes the number text into the object's text record: leading zeros
// dropped, digit groups, the unit's short name, and the cursor on the digit
// `place` (1 after the units digit, 0 after the separator, -1 after the
// first decimal...). The place is kept on the object.
void format_number_text(object* obj, int16_t place, const char* text);
// The place format_number_text kept on the object.
int16_t number_text_place(const object* obj);

// A point's coordinate object takes a typed value and moves its point;
// answers false when the point cannot take it.
bool set_point_coordinate_value(object* coordinates, double value, bool infinite);
