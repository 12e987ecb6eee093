// The one-level undo copy of the current figure: a second figure record,
// refreshed before or after each change and swapped with the figure by the
// Undo/Redo command.
#pragma once

#include <cstdint>

// Number of objects of the figure at the last full snapshot (and after a
// deletion); the tools pass it back once a construction has added objects.
extern uint32_t remembered_object_count;
// Undo menu state: the copy exists; the item offers Undo (1) or Redo (0);
// a further word set to 0xFFFF by each snapshot.
extern uint16_t undo_available;
extern uint8_t undo_offers_undo;
extern uint16_t undo_state_word;

// Refreshes the undo copy with the first `limit` objects (all for 0). A
// full snapshot leaves nothing to undo (the Undo item is greyed); a limited
// one makes the objects above the limit undoable.
void save_undo_state(uint32_t limit);
// A full snapshot taken just before a change of the objects in place (a
// drag): the Undo item stays available and brings that state back.
void save_undo_state_before_change();
// A figure window that becomes active shows the Undo item as a snapshot
// leaves it: "Undo", offering to undo.
void restore_undo_menu_text();

// Exchanges the current figure and its undo copy.
void undo_swap_state();

// Destroys every object of the current figure's undo copy.
void empty_undo_copy();
