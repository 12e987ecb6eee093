// The records of a figure: objects, their values and settings, the figure
// record `kelvo_win_info`, the object-pointer lists and the object-record
// pool, with the routines that build, copy and free them. Everything here is
// kernel block memory (kernel/model/memory.h).
#pragma once

#include <cstdint>

#include "platform/win_types.h"

struct object;
struct kelvo_win_info;
struct TErec;
struct infomacro;
struct bitmap_info;
struct param_color;
struct label_settings;
struct type;
struct construct_class;
struct construct_method;
struct DisplayDevice;

// ---------------------------------------------------------------- values

union info_val {
  double rayon;
  int32_t entier;
};

// Flag bits of valeur::infini_inexist_indetermine.
inline constexpr uint8_t VAL_AT_INFINITY = 1;
inline constexpr uint8_t VAL_NOT_EXIST = 2;

struct valeur {
  double h;
  double v;
  info_val info;
  uint8_t infini_inexist_indetermine;
};

struct dot {
  uint8_t lg;
  uint8_t cycle;
};

struct object_settings {
  uint32_t Color;
  uint32_t FillColor;
  int8_t opaque;
  uint8_t thickness;
  dot dot_style;
  uint8_t graph_type;
  uint8_t smartline_type;
  double smartline_length[2];
  int8_t visible;
  int8_t sticky;
  int8_t marked;
  uint8_t nbre_decimales;
  uint8_t contraint;
  uint8_t unite;
};

union math_info {
  struct {
    uint8_t format;
    uint8_t typeunite;
    uint8_t standard;
    uint8_t reserved2;
  } equa;
  struct {
    uint8_t index;
    uint8_t index2;
    int8_t side_of_point;
    int8_t force_grad;
  } side;
  struct {
    int16_t index;
    int16_t nbsides;
  } polreg;
  struct {
    int8_t lkpt;
    int8_t envelop;
    int16_t nb_pts;
  } locus;
  uint32_t polyarea;
  uint32_t inter_index;
  uint32_t conic_info;
  uint32_t calc_info;
  uint32_t bitsfield;
};
static_assert(sizeof(math_info) == 4);

// ---------------------------------------------------------------- objects

// Bits of object::state.
inline constexpr uint32_t OBJ_WALK = 1;         // reached by the dependency walk in progress
inline constexpr uint32_t OBJ_CHOSEN = 2;       // argument of the current tool / deletion candidate
inline constexpr uint32_t OBJ_TO_DELETE = 4;    // marked for deletion
inline constexpr uint32_t OBJ_NEW = 8;          // made by the construction in progress
inline constexpr uint32_t OBJ_ERASE = 16;       // draw in the background colour
inline constexpr uint32_t OBJ_UNDEFINED = 64;   // does not exist with its parents' values
inline constexpr uint32_t OBJ_AT_INFINITY = 128;

struct object_pos {
  int32_t x;
  int32_t y;
};

struct objectptrlist {
  object* obj;
  objectptrlist* next;
};

// A node of the list of objects referenced inside a text. The text
// subsystem gives meaning to the fields after `next`; this subsystem copies
// nodes whole and only rewrites `obj`.
struct insert_object {
  object* obj;
  int16_t number;
  int16_t spare;
  insert_object* next;
  tagPOINT area[4];
};

// The fields every walk over a figure reads (the links, the number, the
// state, the kind, the parents and values) come first, so that they share
// the record's first cache line.
struct object {
  uint8_t in_use;
  uint8_t flag1;
  int16_t final_no;
  uint32_t num;
  uint32_t state;
  int16_t nbparents;
  int16_t nbvaleurs;
  object* next;
  object* prev;
  type* otype;
  construct_class* classe;
  object** parents;
  valeur* valeurs;
  int16_t methode;
  int32_t aux3;
  TErec* te;
  infomacro* macro;
  object_settings settings;
  math_info math;
  bitmap_info* bitmap;
  param_color* pcolor;
  param_color* pfill;
  char* str;
  valeur val;
  double* pdata;  // where the label sits on the object: its point-on parameter block, or null
  object_pos pos;
  label_settings* label;
  uint32_t aux1;
  uint32_t aux2;
  insert_object* inserted;
  objectptrlist* associated;
  void* data;
};

// ---------------------------------------------------------------- lists

inline constexpr int16_t kObjListStep = 20;

struct dyn_array_object {
  int16_t capacity;  // pointer slots, terminator included
  object** items;    // null-terminated
  uint16_t* tags;
};

// Saved per-figure data of one macro method while its figure is not current.
struct def_object_macro_inf {
  construct_class* macro_class;
  construct_method* method;
  void* figdata;
  def_object_macro_inf* next;
};

// One block of a figure's object-record pool.
inline constexpr int kSlabRecords = 32;
struct object_slab {
  object records[kSlabRecords];
  object_slab* next;
  // Records from here on were never handed out: the block is made without
  // clearing, so their bytes are unset and nothing reads them; a record is
  // cleared as it is handed out.
  int32_t untouched_from;
  // While this block is the figure's pool hint, every record before this
  // one is in use: the next search starts here.
  int32_t free_from;
};

// ---------------------------------------------------------------- figures

// Bits of kelvo_win_info::wflags.
inline constexpr char WFLAG_UNDO_ENABLED = 1;

struct kelvo_win_info {
  char* text0;
  char* text1;
  int32_t ival;
  char* path;
  char pflag;
  object* first;
  uint32_t nbobj;
  dyn_array_object* inputs;
  dyn_array_object* selection;
  dyn_array_object* list3;
  dyn_array_object* list4;
  char wflags;
  kelvo_win_info* undo;
  object* cur_text;
  object* cur2;
  object* moving;
  object_slab* slabs;
  def_object_macro_inf* macro_inf;
  int16_t sval;
  uint32_t table256[256];
  bitmap_info* background;
  uint32_t bgcolor;
  DisplayDevice* dd;
  char tail_a;
  char tail_b;
  uint8_t tail_c;
  // Private caches that keep allocation and appending constant-time: the
  // first pool block that may have a free slot, and the last object of the
  // list. Both are checked before use and rebuilt when stale.
  object_slab* pool_hint;
  object* last_hint;
  // Changes whenever an object joins or leaves the list or an object's
  // parents change (figure_objects_changed), to a value no figure had
  // before; caches built on the objects keep it to know they are current.
  uint64_t list_stamp;
  // The figure's trace layer, null when it has none. The undo copy shares it.
  DisplayDevice* trace_device;
  // Kept by the figure file: the figure's password (owned, null when none),
  // its table object, and the animate-on-open and linked-pictures options
  // (pictures kept as files beside the figure instead of inside it).
  char* password;
  object* table_object;
  uint8_t animate_on_open;
  uint8_t linked_pictures;
  // Set once the figure's password was given in this session.
  uint8_t password_given;
};

// ------------------------------------------------- object-pointer lists

// Each returns quietly on a null list; allocation failures leave the list
// as it was.
void objlist_init(dyn_array_object* list);
void objlist_add(dyn_array_object* list, object* obj, uint16_t tag);
void objlist_remove(dyn_array_object* list, object* obj);
void objlist_replace(dyn_array_object* list, object* old_obj, object* new_obj);
void objlist_remove_item(dyn_array_object* list, object* obj);
dyn_array_object* objlist_copy(const dyn_array_object* list);
void objlist_add_if_member(object* obj, const dyn_array_object* src, object* other,
                           dyn_array_object* dst);
void objlist_shrink(dyn_array_object* list);
void objlist_free(dyn_array_object** list);
// A new header with its arrays initialised, or null.
dyn_array_object* objlist_new();
// Number of objects in the list (the terminator excluded).
int objlist_count(const dyn_array_object* list);
// Index of the first occurrence of obj, or -1.
int objlist_find(const dyn_array_object* list, const object* obj);
// Empties the list without giving back its arrays.
void objlist_clear(dyn_array_object* list);

void init_object_lists();
void free_object_lists();

// ---------------------------------------------------- figure list and pool

object* alloc_object_record();
object* append_new_object();
void unlink_object(object* obj);
object* last_object();
// Marks that the figure's objects, their order or their parents changed.
void figure_objects_changed(kelvo_win_info* fig);
bool slab_is_empty(const object_slab* block);
void free_record_pool(kelvo_win_info* fig);
void compact_record_pool(kelvo_win_info* fig);

// ------------------------------------------------------------ figures

void new_figure_info();
kelvo_win_info* duplicate_figure_info(kelvo_win_info* dest, uint32_t limit);
void empty_figure(kelvo_win_info* fig);
void free_figure_info(kelvo_win_info* fig, bool reset_tool);
void bind_macro_classes(kelvo_win_info* fig);
TErec* copy_terec(const TErec* te);
