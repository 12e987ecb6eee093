// The TI-83 Plus export: the encoder that turns the objects of the current
// figure into version-2 records, and the export that asks about the objects
// the calculator cannot show and builds the ".8xv" image.
#pragma once

#include <cstddef>
#include <cstdint>
#include <unordered_map>
#include <unordered_set>
#include <vector>

struct object;

// The state of one export: the records written so far, the origins and
// unit of the coordinate context, the side and angle tables, and which
// record stands for each object.
struct ti83_encoder {
  struct record {
    uint8_t b[18];
  };
  std::vector<record> records;
  int32_t origin_x = 12032;
  int32_t origin_y = 7936;
  double unit = 1;
  // The figure's own axes (its second object), or null.
  const object* axes = nullptr;
  // Records the image holds: an object whose records would go past it is
  // refused whole.
  size_t capacity = static_cast<size_t>(-1);
  bool share_sides = true;
  bool share_angles = true;
  struct side_row {
    uint8_t a, b, seg;
  };
  struct angle_row {
    uint8_t a, b, c, angle;
  };
  std::vector<side_row> sides;
  std::vector<angle_row> angles;
  std::unordered_map<const object*, int> record_of;
  // Objects left out: an object that depends on one of them is left out too.
  std::unordered_set<const object*> left_out;
  // The two records that define each straight object or circle written.
  std::unordered_map<const object*, std::pair<int, int>> defined_by;

  // Sets the origins and takes the unit of the figure's axes (the pixels
  // per centimetre when that unit is not a usable length).
  void set_context();
  // 24-bit coordinate of a figure coordinate on axis 0 (x) or 1 (y).
  int32_t coordinate(double v, int axis) const;
};

// Encodes one object, appending its records. 1 when exportable (possibly
// without a record), 0 when not; a refused object leaves no record and the
// tables as they were.
int ti83_encode_object(object* obj, ti83_encoder* enc);

// The records of a segment joining records a and b (shared when one exists).
int ti83_side_record(ti83_encoder* enc, int a, int b, uint8_t flags);
// The angle record of three point records (shared when one exists).
int ti83_angle_record(ti83_encoder* enc, int a, int b, int c);

// The object pass: the record count the figure needs, the list of the
// objects that cannot go to the calculator and the question about them.
// 1 to go on (the objects left out are in enc->left_out), 0 when declined.
int ti83_check_exportable(ti83_encoder* enc, uint32_t* record_count);

// Builds the image of the current figure into *image (a kernel block the
// caller frees) and *length. 1 built, 0 declined by the user.
int ti83_build_file(const char* file_name, char** image, uint32_t* length);

// The save command's entry for the TI-83 Plus format: the image becomes the
// kernel file image. 0 when built (or no figure), 2 when declined.
int ti83_export_figure(const char* file_name);
