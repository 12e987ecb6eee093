// The tool handlers whose rules go beyond the generic handler: the point
// tool, one- and two-point lines, rays and circles, polygons, regular
// polygons, transformations, measurement transfer, property checks and
// measures. Each follows the handler protocol of tool_handler.h.
#pragma once

#include <cstdint>

#include "kernel/model/figure.h"

// A property check or transfer waits for the click that places its text,
// with the method it will be built with.
extern uint16_t saved_method;
// Set by the figure view's mouse-down when the click count is above 1.
extern uint8_t double_click;
// The text rectangle of a new measure or text (left, top, right, bottom).
extern tagRECT measure_text_rect;

bool point_tool_handler(uint16_t* method, object** designated);
bool point_on_object_tool_handler(uint16_t* method, object** designated);
bool line_tool_handler(uint16_t* method, object** designated);
bool perp_par_tool_handler(uint16_t* method, object** designated);
bool polygon_tool_handler(uint16_t* method, object** designated);
bool regular_polygon_tool_handler(uint16_t* method, object** designated);
bool transform_tool_handler(uint16_t* method, object** designated);
bool measure_transfer_tool_handler(uint16_t* method, object** designated);
bool property_check_tool_handler(uint16_t* method, object** designated);
bool measure_tool_handler(uint16_t* method, object** designated);

// Where the text of a new measure of the class goes (the top-left corner of
// measure_text_rect), from the arguments in the figure's argument list.
void place_new_measure_text(const construct_class* cls, uint16_t method);
// Fills the two text records of a property check with its pair of texts.
void set_property_texts(object* obj);
