// Labels of objects: which objects can carry one, and its placement beside
// the object.
#pragma once

struct object;

// True when the object's type is accepted by the label method's argument
// list (a point, or any object a point can lie on).
bool is_labelable_object(const object* obj);

// Places the object's label beside it. Label geometry comes with the text
// code; until then a label stays where it was.
void place_object_label(object* obj, unsigned char force);

struct tagPOINT;
// True when the point lies in the frame of the object's label. Labels have
// no frame until the text code places them, so nothing is hit yet.
bool hit_test_object_label(object* obj, tagPOINT* p);
