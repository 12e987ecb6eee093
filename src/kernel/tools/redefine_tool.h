// The redefinition tool: changes how an existing object is built while every
// object built on it keeps working. The first click picks the object and
// offers the constructions that give an object of its type (or merging it
// into an existing object of that type); the chosen construction's tool then
// runs nested, and the object it builds (or the object merged into) takes
// the old object's place, style, label and references.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "kernel/model/figure.h"

struct construct_class;

// 1 while the tool waits for the object to redefine, 0 while it waits for
// the new definition.
extern uint8_t redefine_choose;
// The object being redefined; null between redefinitions.
extern object* redefined_object;
// The merge item was chosen: the new definition is an existing object.
extern uint8_t redefine_same;

// Identifiers of the choice menu's items: 50000 + position from 1.
inline constexpr uint16_t kRedefineMenuBase = 50000;

// One item of the choice menu. The item's identifier names its class, so
// two classes that share a localised name never get mixed up; the merge
// item has no class.
struct redefine_menu_item {
  uint16_t id;
  construct_class* cls;
  std::string text;
};

// The items the choice menu offers for the object.
std::vector<redefine_menu_item> redefine_menu_entries(const object* obj);

// Shows the choice menu at the point (figure coordinates) and answers the
// chosen item's identifier, 0 when nothing was chosen. The default shows a
// pop-up menu; tests install their own.
using redefine_menu_tracker = uint16_t (*)(const std::vector<redefine_menu_item>& items, tagPOINT at);
void install_redefine_menu_tracker(redefine_menu_tracker tracker);

// The tool handler of the redefinition class; always false: the tool builds
// or merges the objects itself.
bool redefine_tool_handler(uint16_t* method, object** designated);

// Every locus's parents become the dependency chain from its driving point
// to its traced object again; a locus whose chain broke is deleted. Every
// locus is recomputed.
void rebuild_locus_chains();

// The tool waits for the object to redefine (a press, not a release, then
// opens its menu).
bool redefinition_waiting();

// Back to waiting for the object (the tool was chosen again or left).
void reset_redefinition();
