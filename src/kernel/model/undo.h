// The one-level undo copy of the current figure.
#pragma once

#include <cstdint>

// Number of objects of the figure at the last full snapshot.
extern uint32_t remembered_object_count;
// Undo menu state: the copy exists; the item offers Undo (1) or Redo (0);
// a further word set to 0xFFFF by each snapshot.
extern uint16_t undo_available;
extern uint8_t undo_offers_undo;
extern uint16_t undo_state_word;

// Refreshes the undo copy with the first `limit` objects (all for 0).
void save_undo_state(uint32_t limit);

// Destroys every object of the current figure's undo copy.
void empty_undo_copy();
