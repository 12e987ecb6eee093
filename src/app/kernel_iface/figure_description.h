// The figure description as the kernel sees it. The description drawer
// comes with the panels; until then only the one-line description of an
// object exists, which the ambiguity list shows.
#pragma once

#include <string>

struct object;

// The type's name with its first letter upper-cased, then the object's own
// name in parentheses when it has one.
std::string describe_object(const object* obj, int flags);
