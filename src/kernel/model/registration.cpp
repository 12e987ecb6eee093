#include "kernel/model/classes.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "kernel/conics/conic_bindings.h"
#include "kernel/macros/macro_def.h"
#include "kernel/macros/macro_records.h"
#include "kernel/measure/calculator.h"
#include "kernel/model/compute_values.h"
#include "kernel/model/identical.h"
#include "kernel/model/memory.h"
#include "kernel/model/table.h"
#include "kernel/objects/axes_grid_bindings.h"
#include "kernel/objects/circle_bindings.h"
#include "kernel/objects/locus_type.h"
#include "kernel/objects/straight_bindings.h"
#include "kernel/prefs/default_attrs.h"
#include "kernel/text/kernel_strings.h"
#include "kernel/text/text_drawing.h"
#include "kernel/tools/tool_handler.h"
#include "kernel/tools/pick.h"
#include "kernel/tools/tool_state.h"
#include "kernel/window/object_events.h"
#include "kernel/window/springs.h"

// ---------------------------------------------------------------------------
// Type records

void type_draw_pending(DisplayDevice*, object*) {}
bool type_hit_test_pending(object*, tagPOINT*) { return false; }
void type_point_on_pending(object*, valeur* val, void**, int) {
  if (val) val->infini_inexist_indetermine |= VAL_NOT_EXIST;
}
int32_t type_intersect_pending(object*, object*, void*, uint32_t) { return 3; }

#define TYPE_ALL type_draw_pending, type_hit_test_pending, type_point_on_pending, type_intersect_pending, nullptr
#define TYPE_ON type_draw_pending, type_hit_test_pending, type_point_on_pending, nullptr, nullptr
#define TYPE_PLAIN type_draw_pending, type_hit_test_pending, nullptr, nullptr, nullptr

type type_point = {TYPE_POINT, nullptr, nullptr, TYPE_PLAIN};
type type_segment = {TYPE_SEGMENT, nullptr, nullptr, TYPE_ALL};
type type_vector = {TYPE_VECTOR, nullptr, nullptr, TYPE_ALL};
type type_triangle = {TYPE_TRIANGLE, nullptr, nullptr, TYPE_ALL};
type type_polygon = {TYPE_POLYGON, nullptr, nullptr, TYPE_ALL};
type type_regular_polygon = {TYPE_POLYGON, nullptr, nullptr, TYPE_ALL};
type type_line = {TYPE_LINE, nullptr, nullptr, TYPE_ALL};
type type_ray = {TYPE_RAY, nullptr, nullptr, TYPE_ALL};
type type_axes = {TYPE_AXES, nullptr, nullptr, TYPE_ALL};
type type_circle = {TYPE_CIRCLE, nullptr, nullptr, TYPE_ALL};
type type_arc = {TYPE_ARC, nullptr, nullptr, TYPE_ALL};
type type_conic = {TYPE_CONIC, nullptr, nullptr, TYPE_ALL};
type type_grid = {TYPE_GRID, nullptr, nullptr, TYPE_ON};
type type_locus = {TYPE_LOCUS, nullptr, nullptr, TYPE_ALL};
type type_angle = {TYPE_ANGLE, nullptr, nullptr, TYPE_ON};
type type_text = {TYPE_TEXT, nullptr, nullptr, TYPE_PLAIN};
type type_number = {TYPE_NUMBER, nullptr, nullptr, TYPE_PLAIN};
type type_property = {TYPE_PROPERTY, nullptr, nullptr, TYPE_PLAIN};
type type_equation = {TYPE_EQUATION, nullptr, nullptr, TYPE_PLAIN};
type type_table = {TYPE_TABLE, nullptr, nullptr, TYPE_PLAIN};
type type_spring = {TYPE_SPRING, nullptr, nullptr, TYPE_PLAIN};
type type_expression = {TYPE_EXPRESSION, nullptr, nullptr, TYPE_PLAIN};
type type_line2 = {TYPE_LINE, nullptr, nullptr, TYPE_ALL};
type type_interset = {TYPE_INTERSECTION_SET, nullptr, nullptr, TYPE_PLAIN};
type type_button = {TYPE_BUTTON, nullptr, nullptr, TYPE_PLAIN};

#undef TYPE_ALL
#undef TYPE_ON
#undef TYPE_PLAIN

type* const type_slots[kTypeTableSize] = {
    &type_point,  &type_segment, &type_vector,   &type_triangle,   &type_polygon,  &type_regular_polygon,
    &type_line,   &type_ray,     &type_axes,     &type_circle,     &type_arc,      &type_conic,
    &type_grid,   &type_locus,   &type_angle,    &type_text,       &type_number,   &type_property,
    &type_equation, &type_table, &type_spring,   &type_expression, &type_line2,
};

const char* const type_english_names[kTypeTableSize] = {
    "point",  "segment", "vector", "triangle", "polygon", "regular polygon", "line", "ray",
    "coordinate system", "circle", "arc", "conic", "grid", "locus", "angle", "text",
    "number", "property", "equation", "table", "spring", "expression", "line",
};

// ---------------------------------------------------------------------------
// Argument lists. They are writable: the tools mark them while picking.

namespace {

constexpr TYPEOBJ P = TYPE_POINT, SEG = TYPE_SEGMENT, VEC = TYPE_VECTOR, TRI = TYPE_TRIANGLE,
                  POL = TYPE_POLYGON, LIN = TYPE_LINE, RAY = TYPE_RAY, AXE = TYPE_AXES,
                  CIR = TYPE_CIRCLE, ARC = TYPE_ARC, CON = TYPE_CONIC, GRI = TYPE_GRID,
                  LOC = TYPE_LOCUS, ANG = TYPE_ANGLE, TXT = TYPE_TEXT, NUM = TYPE_NUMBER,
                  PRO = TYPE_PROPERTY, EXP = TYPE_EXPRESSION, ISET = TYPE_INTERSECTION_SET,
                  BUT = TYPE_BUTTON;
constexpr TYPEOBJ ONE_OF(int n) { return static_cast<TYPEOBJ>(ARG_ONE_OF + n); }
constexpr TYPEOBJ REP = ARG_REPEAT;

// The ten transformable kinds.
#define TRANSFORMABLE ONE_OF(10), P, LIN, RAY, SEG, VEC, TRI, POL, CIR, ARC, CON
// Every straight kind but the regular polygon written separately.
#define STRAIGHT7 ONE_OF(7), LIN, RAY, AXE, SEG, VEC, TRI, POL

TYPEOBJ a_none[] = {0};
TYPEOBJ a_p[] = {P, 0};
TYPEOBJ a_pp[] = {P, P, 0};
TYPEOBJ a_ppp[] = {P, P, P, 0};
TYPEOBJ a_ppppp[] = {P, P, P, P, P, 0};
TYPEOBJ a_ptsur0[] = {ONE_OF(3), LIN, RAY, AXE, 0};
TYPEOBJ a_ptsur1[] = {ONE_OF(2), SEG, VEC, 0};
TYPEOBJ a_ptsur2[] = {ONE_OF(2), TRI, POL, 0};
TYPEOBJ a_ptsur3[] = {CIR, 0};
TYPEOBJ a_ptsur4[] = {ARC, 0};
TYPEOBJ a_ptsur5[] = {CON, 0};
TYPEOBJ a_ptsur6[] = {GRI, 0};
TYPEOBJ a_ptsur7[] = {LOC, 0};
TYPEOBJ a_ptint[] = {ISET, 0};
TYPEOBJ a_many_points[] = {REP, P, 0};
TYPEOBJ a_perp[] = {P, STRAIGHT7, 0};
TYPEOBJ a_par[] = {P, STRAIGHT7, 0};
TYPEOBJ a_mid0[] = {P, P, 0};
TYPEOBJ a_mid1[] = {ONE_OF(4), SEG, VEC, TRI, POL, 0};
TYPEOBJ a_pbiss0[] = {P, P, 0};
TYPEOBJ a_pbiss1[] = {ONE_OF(4), SEG, VEC, TRI, POL, 0};
TYPEOBJ a_transf0[] = {ONE_OF(3), VEC, RAY, AXE, NUM, 0};
TYPEOBJ a_transf1[] = {CIR, P, NUM, 0};
TYPEOBJ a_transf2[] = {P, NUM, 0};
TYPEOBJ a_transf3[] = {ONE_OF(2), TRI, POL, NUM, 0};
TYPEOBJ a_locus[] = {ONE_OF(12), P, LIN, SEG, RAY, CIR, VEC, ARC, CON, TRI, POL, POL, LOC, P, 0};
TYPEOBJ a_redefine[] = {P, LIN, SEG, VEC, RAY, CIR, ARC, CON, TRI, POL, 0};
TYPEOBJ a_translation[] = {TRANSFORMABLE, VEC, 0};
TYPEOBJ a_reflection[] = {TRANSFORMABLE, ARG_STRAIGHT, 0};
TYPEOBJ a_symmetry[] = {TRANSFORMABLE, P, 0};
TYPEOBJ a_rotation0[] = {TRANSFORMABLE, P, ONE_OF(2), NUM, ANG, 0};
TYPEOBJ a_rotation1[] = {TRANSFORMABLE, P, P, P, P, 0};
TYPEOBJ a_dilation0[] = {TRANSFORMABLE, P, NUM, 0};
TYPEOBJ a_dilation1[] = {TRANSFORMABLE, P, P, P, 0};
TYPEOBJ a_inverse[] = {P, ONE_OF(2), CIR, ARC, 0};
TYPEOBJ a_collinear[] = {P, P, P, 0};
TYPEOBJ a_parallelism[] = {STRAIGHT7, STRAIGHT7, 0};
TYPEOBJ a_perpendism[] = {STRAIGHT7, STRAIGHT7, 0};
TYPEOBJ a_equidistant[] = {P, P, P, 0};
TYPEOBJ a_membership[] = {P, ONE_OF(10), RAY, LIN, AXE, SEG, VEC, TRI, POL, CIR, ARC, CON, 0};
TYPEOBJ a_length0[] = {ONE_OF(7), SEG, VEC, CIR, ARC, TRI, POL, CON, 0};
TYPEOBJ a_length1[] = {P, ONE_OF(4), P, LIN, AXE, CIR, 0};
TYPEOBJ a_area[] = {ONE_OF(4), CIR, TRI, POL, CON, 0};
TYPEOBJ a_slope[] = {ONE_OF(4), LIN, RAY, SEG, VEC, 0};
TYPEOBJ a_angval0[] = {P, P, P, 0};
TYPEOBJ a_angval1[] = {ANG, 0};
TYPEOBJ a_equation0[] = {P, AXE, 0};
TYPEOBJ a_equation1[] = {ONE_OF(4), LIN, CIR, CON, LOC, AXE, 0};
TYPEOBJ a_calculate[] = {REP, NUM, 0};
TYPEOBJ a_expapp0[] = {REP, NUM, EXP, 0};
TYPEOBJ a_expapp1[] = {AXE, EXP, 0};
TYPEOBJ a_table[] = {REP, NUM, 0};
TYPEOBJ a_text[] = {TXT, PRO, BUT, 0};
TYPEOBJ a_exp_num[] = {EXP, 0};
TYPEOBJ a_axes0[] = {P, 0};
TYPEOBJ a_axes1[] = {P, P, P, 0};
TYPEOBJ a_grid[] = {AXE, 0};
TYPEOBJ a_button[] = {BUT, 0};
TYPEOBJ a_spring[] = {ONE_OF(11), P, LIN, RAY, SEG, VEC, TRI, POL, CIR, ARC, CON, NUM, P, 0};
TYPEOBJ a_preg0[] = {P, 0};
TYPEOBJ a_preg1[] = {P, P, 0};

#undef TRANSFORMABLE
#undef STRAIGHT7

// The two lists built at start-up from the type table (at most one group
// of every slot plus a point, twice for the intersection set); empty until
// then.
TYPEOBJ a_label[kTypeTableSize + 3];
TYPEOBJ a_interset[2 * (kTypeTableSize + 1) + 1];

}  // namespace

// ---------------------------------------------------------------------------
// Methods. Compute and point-on operations belong to the Parts of each kind
// of object and are bound there; until then a method without its compute
// operation recomputes nothing.

namespace {

#define M(args, event, ident) {nullptr, nullptr, event, nullptr, ident, nullptr, args, nullptr}

construct_method m_point = M(a_none, event_points, ident_never);
construct_method m_ptsur[8] = {
    M(a_ptsur0, event_points, ident_never), M(a_ptsur1, event_points, ident_never),
    M(a_ptsur2, event_points, ident_never), M(a_ptsur3, event_points, ident_never),
    M(a_ptsur4, event_points, ident_never), M(a_ptsur5, event_points, ident_never),
    M(a_ptsur6, event_points, ident_never), M(a_ptsur7, event_points, ident_never),
};
construct_method m_interset = M(a_interset, nullptr, ident_two_points_any_order);
construct_method m_ptint = M(a_ptint, nullptr, ident_never);
construct_method m_axe[2] = {M(a_axes0, event_axes_grid, ident_never), M(a_axes1, event_generic, identstd)};
construct_method m_grid = M(a_grid, event_axes_grid, identstd);
construct_method m_segment = M(a_pp, event_generic, ident_two_points_any_order);
construct_method m_vecteur = M(a_pp, event_generic, identstd);
construct_method m_triangle = M(a_ppp, event_generic, ident_cyclic_parents);
construct_method m_polygone = M(a_many_points, event_generic, ident_cyclic_parents);
construct_method m_polyreg = M(a_many_points, event_regular_polygon, ident_never);
construct_method m_droite[2] = {M(a_p, event_one_point, ident_never), M(a_pp, event_generic, ident_two_points_any_order)};
construct_method m_demidroite[2] = {M(a_p, event_one_point, ident_never), M(a_pp, event_generic, identstd)};
construct_method m_angle = M(a_ppp, event_angle, identstd);
construct_method m_cercle[2] = {M(a_p, event_one_point, ident_never), M(a_pp, event_generic, identstd)};
construct_method m_arc = M(a_ppp, event_generic, identstd);
construct_method m_conic = M(a_ppppp, event_generic, identstd);
construct_method m_milieu[2] = {M(a_mid0, nullptr, ident_midpoint), M(a_mid1, nullptr, ident_midpoint)};
construct_method m_mediatrice[2] = {M(a_pbiss0, nullptr, ident_midpoint), M(a_pbiss1, nullptr, ident_midpoint)};
construct_method m_parallele = M(a_par, nullptr, identstd);
construct_method m_perpendiculaire = M(a_perp, nullptr, identstd);
construct_method m_bissectrice = M(a_ppp, nullptr, identstd);
construct_method m_compas3[4] = {
    M(a_transf0, nullptr, identstd), M(a_transf1, nullptr, identstd),
    M(a_transf2, event_compass, ident_never), M(a_transf3, nullptr, identstd),
};
construct_method m_locus = M(a_locus, event_locus, identstd);
construct_method m_spring = M(a_spring, event_generic, ident_spring);
construct_method m_redefine = M(a_redefine, nullptr, nullptr);
construct_method m_translation = M(a_translation, nullptr, ident_translation);
construct_method m_symetriquedr = M(a_reflection, nullptr, ident_reflection);
construct_method m_symetrique = M(a_symmetry, nullptr, ident_centre_fixed);
construct_method m_rotation[2] = {M(a_rotation0, nullptr, ident_centre_fixed), M(a_rotation1, nullptr, ident_centre_fixed)};
construct_method m_dilatation[2] = {M(a_dilation0, nullptr, ident_centre_fixed), M(a_dilation1, nullptr, ident_centre_fixed)};
construct_method m_inverse = M(a_inverse, nullptr, identstd);
construct_method m_label = M(a_label, nullptr, nullptr);
construct_method m_text = M(a_text, event_value_object, ident_never);
construct_method m_nombre = M(a_none, event_value_object, identstd);
construct_method m_length[2] = {M(a_length0, event_value_object, ident_length), M(a_length1, event_value_object, ident_length)};
construct_method m_aire = M(a_area, event_value_object, ident_same_parents);
construct_method m_pente = M(a_slope, event_value_object, ident_same_parents);
construct_method m_angleMes[2] = {M(a_angval0, event_value_object, ident_same_parents), M(a_angval1, event_value_object, ident_same_parents)};
construct_method m_equation[2] = {M(a_equation0, event_value_object, ident_coordinates), M(a_equation1, event_value_object, ident_same_parents)};
construct_method m_calculate = M(a_calculate, event_value_object, ident_never);
construct_method m_table = M(a_table, event_value_object, ident_never);
// The second method is built as a macro: its definition comes with the
// macro code, and it has no compute operation.
construct_method m_exp_num_app[2] = {M(a_expapp0, event_value_object, ident_never), M(a_expapp1, event_value_object, identstd)};
construct_method m_exp_num = M(a_exp_num, event_value_object, ident_never);
construct_method m_alignement = M(a_collinear, event_value_object, ident_cyclic_parents);
construct_method m_parallelism = M(a_parallelism, event_value_object, ident_pair_property);
construct_method m_perpendism = M(a_perpendism, event_value_object, ident_pair_property);
construct_method m_equidistant = M(a_equidistant, event_value_object, identstd);
construct_method m_membership = M(a_membership, event_value_object, identstd);
construct_method m_button = M(a_button, event_value_object, ident_never);
construct_method m_point_polyreg[2] = {M(a_preg0, event_regular_polygon, ident_never), M(a_preg1, event_regular_polygon, ident_never)};

#undef M

}  // namespace

// ---------------------------------------------------------------------------
// Classes, in registration order.

#define C(drawable, ctype, short_name, code, nbvals) \
  {drawable, &ctype, short_name, code, nullptr, nullptr, nullptr, nbvals, nullptr, nullptr, nullptr, nullptr, nullptr, {}}
constexpr uint32_t VAR = kVariableNbVals;

construct_class classe_point = C(1, type_point, "Pt", "PL", 1);
construct_class classe_ptsur = C(0, type_point, "Pt/", "PS", 2);
construct_class classe_interset = C(0, type_interset, "IntSet", "IntSet", 0);
construct_class classe_ptint = C(0, type_point, "Int", "PI", 1);
construct_class classe_droite = C(1, type_line, "Line", "DR", 4);
construct_class classe_segment = C(1, type_segment, "Seg", "SE", 2);
construct_class classe_demidroite = C(1, type_ray, "Ray", "DD", 3);
construct_class classe_vecteur = C(1, type_vector, "Vec", "VE", 2);
construct_class classe_triangle = C(1, type_triangle, "Tr", "TT", 4);
construct_class classe_polygone = C(1, type_polygon, "Pol", "PO", VAR);
construct_class classe_polyreg = C(1, type_regular_polygon, "PolReg", "PR", VAR);
construct_class classe_cercle = C(1, type_circle, "Cir", "CE", 2);
construct_class classe_arc = C(1, type_arc, "Arc", "AR", 4);
construct_class classe_conic = C(1, type_conic, "Con", nullptr, 11);
construct_class classe_perpendiculaire = C(1, type_line, "Perp", "PE", 4);
construct_class classe_parallele = C(1, type_line, "Par", "PA", 4);
construct_class classe_milieu = C(1, type_point, "Mid", "MI", 1);
construct_class classe_mediatrice = C(1, type_line, "PBiss", "ME", 4);
construct_class classe_bissectrice = C(1, type_line, "Biss", "BI", 4);
construct_class classe_compas3 = C(0, type_point, "Transf", "RE", VAR);
construct_class classe_locus = C(0, type_locus, "Locus", "LI", 0);
construct_class classe_redefine = C(0, type_point, "", nullptr, 0);
construct_class classe_translation = C(1, type_point, "Tran", "TR", 1);
construct_class classe_symetriquedr = C(1, type_point, "Refl", "SD", 1);
construct_class classe_symetrique = C(1, type_point, "Sym", "SP", 1);
construct_class classe_rotation = C(1, type_point, "Rot", "RO", 1);
construct_class classe_dilatation = C(1, type_point, "Dil", "DI", 1);
construct_class classe_inverse = C(1, type_point, "Inv", "IN", 1);
construct_class classe_alignement = C(0, type_property, "Col?", "AL", 0);
construct_class classe_parallelism = C(0, type_property, "Par?", "Pa", 0);
construct_class classe_perpendism = C(0, type_property, "Perp?", "Pe", 0);
construct_class classe_equidistant = C(0, type_property, "Equi?", nullptr, 0);
construct_class classe_membership = C(0, type_property, "IsOn?", nullptr, 0);
construct_class classe_length = C(0, type_number, "Lgth", "LO", 1);
construct_class classe_aire = C(0, type_number, "Area", "SU", 1);
construct_class classe_pente = C(0, type_number, "Slo", "PN", 1);
construct_class classe_angleMes = C(0, type_number, "AngVal", "MA", 1);
construct_class classe_equation = C(0, type_equation, "Eq/Co", "EQ", 3);
construct_class classe_calculate = C(0, type_number, "Formula", "FO", 1);
construct_class classe_exp_num_app = C(0, type_number, "Exp_num_App", "FO", 1);
construct_class classe_table = C(0, type_table, "Table", nullptr, VAR);
construct_class classe_label = C(0, type_point, "", nullptr, 0);
construct_class classe_text = C(0, type_text, "Text", "TE", VAR);
construct_class classe_nombre = C(0, type_number, "Num", "NO", 1);
construct_class classe_exp_num = C(0, type_expression, "Exp_num", "EN", 1);
construct_class classe_angle = C(1, type_angle, "Angle", "AN", 4);
construct_class classe_axe = C(1, type_axes, "Axes", "AX", 3);
construct_class classe_grid = C(1, type_grid, "Grid", "GR", 3);
construct_class classe_button = C(0, type_button, "Button", "BU", 1);
construct_class classe_spring = C(0, type_spring, "Spr", nullptr, 2);
construct_class classe_point_polyreg = C(0, type_point, "PReg", "PP", VAR);

#undef C

construct_class** class_list = nullptr;
uint16_t class_list_capacity = 0;

namespace {

// Classes 1 to 19, then (after the optional macro classes) 20 to 50.
construct_class* const registration_first[] = {
    &classe_point, &classe_ptsur, &classe_interset, &classe_ptint, &classe_droite,
    &classe_segment, &classe_demidroite, &classe_vecteur, &classe_triangle, &classe_polygone,
    &classe_polyreg, &classe_cercle, &classe_arc, &classe_conic, &classe_perpendiculaire,
    &classe_parallele, &classe_milieu, &classe_mediatrice, &classe_bissectrice,
};
construct_class* const registration_second[] = {
    &classe_compas3, &classe_locus, &classe_redefine, &classe_translation, &classe_symetriquedr,
    &classe_symetrique, &classe_rotation, &classe_dilatation, &classe_inverse, &classe_alignement,
    &classe_parallelism, &classe_perpendism, &classe_equidistant, &classe_membership, &classe_length,
    &classe_aire, &classe_pente, &classe_angleMes, &classe_equation, &classe_calculate,
    &classe_exp_num_app, &classe_table, &classe_label, &classe_text, &classe_nombre,
    &classe_exp_num, &classe_angle, &classe_axe, &classe_grid, &classe_button, &classe_spring,
};

struct attachment {
  construct_class* cls;
  construct_method* methods;
  int count;
};

// Methods, class by class, in the order they are attached.
const attachment attachments[] = {
    {&classe_point, &m_point, 1},
    {&classe_ptsur, m_ptsur, 8},
    {&classe_interset, &m_interset, 1},
    {&classe_ptint, &m_ptint, 1},
    {&classe_axe, m_axe, 2},
    {&classe_grid, &m_grid, 1},
    {&classe_segment, &m_segment, 1},
    {&classe_vecteur, &m_vecteur, 1},
    {&classe_triangle, &m_triangle, 1},
    {&classe_polygone, &m_polygone, 1},
    {&classe_polyreg, &m_polyreg, 1},
    {&classe_droite, m_droite, 2},
    {&classe_demidroite, m_demidroite, 2},
    {&classe_angle, &m_angle, 1},
    {&classe_cercle, m_cercle, 2},
    {&classe_arc, &m_arc, 1},
    {&classe_conic, &m_conic, 1},
    {&classe_milieu, m_milieu, 2},
    {&classe_mediatrice, m_mediatrice, 2},
    {&classe_parallele, &m_parallele, 1},
    {&classe_perpendiculaire, &m_perpendiculaire, 1},
    {&classe_bissectrice, &m_bissectrice, 1},
    {&classe_compas3, m_compas3, 4},
    {&classe_locus, &m_locus, 1},
    {&classe_spring, &m_spring, 1},
    {&classe_redefine, &m_redefine, 1},
    {&classe_translation, &m_translation, 1},
    {&classe_symetriquedr, &m_symetriquedr, 1},
    {&classe_symetrique, &m_symetrique, 1},
    {&classe_rotation, m_rotation, 2},
    {&classe_dilatation, m_dilatation, 2},
    {&classe_inverse, &m_inverse, 1},
    {&classe_label, &m_label, 1},
    {&classe_text, &m_text, 1},
    {&classe_nombre, &m_nombre, 1},
    {&classe_length, m_length, 2},
    {&classe_aire, &m_aire, 1},
    {&classe_pente, &m_pente, 1},
    {&classe_angleMes, m_angleMes, 2},
    {&classe_equation, m_equation, 2},
    {&classe_calculate, &m_calculate, 1},
    {&classe_table, &m_table, 1},
    {&classe_exp_num_app, m_exp_num_app, 2},
    {&classe_exp_num, &m_exp_num, 1},
    {&classe_alignement, &m_alignement, 1},
    {&classe_parallelism, &m_parallelism, 1},
    {&classe_perpendism, &m_perpendism, 1},
    {&classe_equidistant, &m_equidistant, 1},
    {&classe_membership, &m_membership, 1},
    {&classe_button, &m_button, 1},
};

[[noreturn]] void registration_failed(const char* what) {
  std::fprintf(stderr, "kelvo: out of memory while registering the construction classes (%s)\n", what);
  std::abort();
}

// The label method takes a point or any object a point can lie on.
void build_label_arguments() {
  int k = 0;
  for (type* t : type_slots)
    if (t->point_on) ++k;
  int n = 0;
  a_label[n++] = static_cast<TYPEOBJ>(ARG_ONE_OF + k + 1);
  a_label[n++] = TYPE_POINT;
  for (type* t : type_slots)
    if (t->point_on) a_label[n++] = t->id;
  a_label[n] = 0;
}

// The intersection set takes two intersectable objects.
void build_interset_arguments() {
  int m = 0;
  for (type* t : type_slots)
    if (t->intersect) ++m;
  int n = 0;
  for (int group = 0; group < 2; ++group) {
    a_interset[n++] = static_cast<TYPEOBJ>(ARG_ONE_OF + m);
    for (type* t : type_slots)
      if (t->intersect) a_interset[n++] = t->id;
  }
  a_interset[n] = 0;
}

}  // namespace

// ---------------------------------------------------------------------------

namespace {

// The classes by short name, for find_class_by_short_name; rebuilt when a
// class joins or the list is freed. A class keeps its short name once
// registered, and each answer is checked against the list all the same.
struct NameHash {
  using is_transparent = void;
  std::size_t operator()(std::string_view s) const { return std::hash<std::string_view>{}(s); }
};
struct ShortNameTable {
  bool current = false;
  std::unordered_map<std::string, int, NameHash, std::equal_to<>> index;  // first place in class_list
};
ShortNameTable short_names;

}  // namespace

construct_class* find_class_by_short_name(const char* name, size_t length) {
  if (!class_list || !name) return nullptr;
  const std::string_view key(name, length);
  if (!short_names.current) {
    short_names.index.clear();
    for (int k = 0; class_list[k]; ++k)
      if (class_list[k]->short_name) short_names.index.try_emplace(class_list[k]->short_name, k);
    short_names.current = true;
  }
  auto it = short_names.index.find(key);
  if (it != short_names.index.end()) {
    construct_class* cls = class_list[it->second];
    if (cls && cls->short_name && key == cls->short_name) return cls;
  }
  // Not in the table, or the table no longer fits the list: the list says.
  for (int k = 0; class_list[k]; ++k)
    if (class_list[k]->short_name && key == class_list[k]->short_name) {
      short_names.current = false;
      return class_list[k];
    }
  return nullptr;
}

bool register_construct_class(construct_class* cls) {
  short_names.current = false;
  if (!class_list) {
    auto* list = static_cast<construct_class**>(GlobalAlloc(0, 50 * sizeof(construct_class*)));
    if (!list) return false;
    class_list = list;
    class_list_capacity = 50;
  }
  const int count = class_list_count();
  if (count >= class_list_capacity - 1) {
    const uint32_t capacity = class_list_capacity + 10u;
    if (capacity > 0xFFFF) return false;
    auto* list = static_cast<construct_class**>(GlobalAlloc(0, capacity * sizeof(construct_class*)));
    if (!list) return false;
    std::memcpy(list, class_list, (count + 1) * sizeof(construct_class*));
    GlobalFreeAndNull(&class_list);
    class_list = list;
    class_list_capacity = static_cast<uint16_t>(capacity);
  }
  class_list[count] = cls;
  class_list[count + 1] = nullptr;
  return true;
}

bool add_construct_method(construct_class* cls, construct_method* method) {
  const int count = class_method_count(cls);
  const uint32_t slots = count == 0 ? 2 : static_cast<uint32_t>(count) + 2;
  auto* list = static_cast<construct_methodptr*>(GlobalAlloc(0, slots * sizeof(construct_methodptr)));
  if (!list) return false;
  if (count) std::memcpy(list, cls->methods, count * sizeof(construct_methodptr));
  list[count] = method;
  list[count + 1] = nullptr;
  GlobalFreeAndNull(&cls->methods);
  cls->methods = list;
  return true;
}

void remove_class_from_list(construct_class* cls) {
  if (!class_list || !cls) return;
  int at = 0;
  for (int i = 0; class_list[i]; ++i)
    if (class_list[i] != cls) class_list[at++] = class_list[i];
  class_list[at] = nullptr;
}

construct_method* remove_list_entry(construct_class* cls, int index) {
  const int count = class_method_count(cls);
  if (index < 0 || index >= count) return nullptr;
  construct_method* removed = cls->methods[index];
  for (int i = index; i < count; ++i) cls->methods[i] = cls->methods[i + 1];
  return removed;
}

bool insert_construct_method_first(construct_class* cls, construct_method* method) {
  if (!add_construct_method(cls, method)) return false;
  const int count = class_method_count(cls);
  for (int i = count - 1; i > 0; --i) cls->methods[i] = cls->methods[i - 1];
  cls->methods[0] = method;
  return true;
}

namespace {
// Set while the built-in classes are registered: each attached method is
// appended to its class, so a second registration would list it twice and
// no set of parents would then complete it.
bool builtin_classes_registered = false;
}  // namespace

void init_construct_classes() {
  if (builtin_classes_registered) return;
  builtin_classes_registered = true;
  build_label_arguments();
  build_interset_arguments();
  init_tool_names_and_help();

  for (construct_class* cls : registration_first)
    if (!register_construct_class(cls)) registration_failed("class list");
  m_exp_num_app[1].def = &expression_plot_definition;
  if (!install_optional_class(1, 0) || !install_optional_class(0, 0))
    registration_failed("optional macro classes");
  for (construct_class* cls : registration_second)
    if (!register_construct_class(cls)) registration_failed("class list");

  assign_builtin_icons();

  for (const attachment& a : attachments)
    for (int i = 0; i < a.count; ++i)
      if (!add_construct_method(a.cls, &a.methods[i])) registration_failed("method list");

  if (!register_construct_class(&classe_point_polyreg)) registration_failed("class list");
  for (construct_method& m : m_point_polyreg)
    if (!add_construct_method(&classe_point_polyreg, &m)) registration_failed("method list");

  bind_point_and_straight_operations();
  bind_circle_and_intersection_operations();
  if (construct_method* m = class_method(&classe_table, 0)) m->compute = compute_table;
  bind_text_operations();
  bind_axes_grid_angle_operations();
  bind_conic_operations();
  bind_value_computes();
  bind_locus_operations();
  bind_spring_operations();
  bind_calculator_services();
  install_pick_services();
  bind_tool_handlers();

  init_default_attrs(0);
}

void free_construct_classes() {
  if (class_list)
    for (construct_class** c = class_list; *c; ++c) {
      // User macros were made at run time and go with the list.
      if (is_macro_class(*c)) {
        free_construct_class(*c);
        continue;
      }
      // The built-in methods outlive the list: their argument codes lose the
      // marks a tool left on them.
      reset_class_type_marks(*c);
      GlobalFreeAndNull(&(*c)->methods);
    }
  GlobalFreeAndNull(&class_list);
  class_list_capacity = 0;
  builtin_classes_registered = false;
  short_names = ShortNameTable{};
}

void reset_class_type_marks(construct_class* cls) {
  if (!cls || !cls->methods) return;
  for (construct_methodptr* m = cls->methods; *m; ++m)
    if ((*m)->args)
      for (TYPEOBJ* code = (*m)->args; *code; ++code) *code %= 0x4000;
}

bool is_transformation_class(const construct_class* cls) {
  return cls == &classe_translation || cls == &classe_symetrique || cls == &classe_symetriquedr ||
         cls == &classe_rotation || cls == &classe_dilatation;
}

int class_list_count() {
  int n = 0;
  if (class_list)
    while (class_list[n]) ++n;
  return n;
}

int class_method_count(const construct_class* cls) {
  int n = 0;
  if (cls && cls->methods)
    while (cls->methods[n]) ++n;
  return n;
}

construct_method* class_method(const construct_class* cls, int index) {
  // Asked for every object made and recomputed: the list is walked only up
  // to the index, not counted whole.
  if (index < 0 || !cls || !cls->methods) return nullptr;
  for (int k = 0; k < index; ++k)
    if (!cls->methods[k]) return nullptr;
  return cls->methods[index];
}

void set_method_compute(construct_class* cls, int index, method_compute_fn compute) {
  if (construct_method* m = class_method(cls, index)) m->compute = compute;
}

// ---------------------------------------------------------------------------
// Descriptions of the arguments: what the hint beside the pointer and the
// lines of the context menu call an argument ("through this point").

namespace {

// The language row of each built-in method. A row lists the texts of the
// method's arguments in the order of its codes, separated by '|', one text
// per type code (a group's members each have theirs; a group header and
// the repeat mark have none). A text left empty or missing takes the
// argument word of its type. The parallelism and perpendicularity checks
// share one row.
struct description_row {
  construct_method* method;
  int row;
};
const description_row description_rows[] = {
    {&m_ptsur[0], 78}, {&m_ptsur[1], 79}, {&m_ptsur[2], 80}, {&m_ptsur[3], 81}, {&m_ptsur[4], 82},
    {&m_ptsur[5], 83}, {&m_ptsur[6], 84}, {&m_ptsur[7], 85}, {&m_ptint, 86}, {&m_axe[0], 87}, {&m_axe[1], 88},
    {&m_grid, 89}, {&m_segment, 90}, {&m_vecteur, 91}, {&m_triangle, 92}, {&m_polygone, 93}, {&m_polyreg, 94},
    {&m_droite[0], 95}, {&m_droite[1], 96}, {&m_demidroite[0], 97}, {&m_demidroite[1], 98}, {&m_angle, 99},
    {&m_cercle[0], 100}, {&m_cercle[1], 101}, {&m_arc, 102}, {&m_conic, 103}, {&m_milieu[0], 104},
    {&m_milieu[1], 105}, {&m_mediatrice[0], 106}, {&m_mediatrice[1], 107}, {&m_parallele, 108},
    {&m_perpendiculaire, 109}, {&m_bissectrice, 110}, {&m_compas3[0], 111}, {&m_compas3[1], 112},
    {&m_compas3[2], 124}, {&m_compas3[3], 125}, {&m_locus, 126}, {&m_spring, 127}, {&m_translation, 128},
    {&m_symetriquedr, 129}, {&m_symetrique, 130}, {&m_rotation[0], 131}, {&m_rotation[1], 132},
    {&m_dilatation[0], 133}, {&m_dilatation[1], 134}, {&m_inverse, 135}, {&m_text, 136}, {&m_length[0], 137},
    {&m_length[1], 138}, {&m_aire, 139}, {&m_pente, 140}, {&m_angleMes[0], 141}, {&m_angleMes[1], 142},
    {&m_equation[0], 143}, {&m_equation[1], 144}, {&m_exp_num_app[0], 145}, {&m_exp_num_app[1], 146},
    {&m_exp_num, 147}, {&m_alignement, 148}, {&m_parallelism, 149}, {&m_perpendism, 149},
    {&m_equidistant, 150}, {&m_membership, 151}, {&m_button, 152}, {&m_point_polyreg[0], 153},
    {&m_point_polyreg[1], 154},
};

// Methods whose lists the type table builds, or that take any object:
// each argument is called by the argument word of its type.
construct_method* const described_by_type[] = {&m_interset, &m_label, &m_redefine};
// The two methods that take numbers one after another share the
// argument-description list: entry 0 for the repeat mark, entry 1 for the
// numbers.
construct_method* const described_by_list[] = {&m_calculate, &m_table};

bool is_structure_code(TYPEOBJ code) {
  const TYPEOBJ c = code & 0x3FFF;
  return c == ARG_REPEAT || c >= ARG_ONE_OF;
}

// The argument word of a type code: the ten kinds a transformation takes,
// then numbers (entries 1 to 11); null for the others.
const char* argument_word(TYPEOBJ code) {
  static constexpr TYPEOBJ kinds[11] = {TYPE_POINT, TYPE_LINE,    TYPE_RAY,    TYPE_SEGMENT, TYPE_VECTOR, TYPE_TRIANGLE,
                                        TYPE_POLYGON, TYPE_CIRCLE, TYPE_ARC, TYPE_CONIC,   TYPE_NUMBER};
  const TYPEOBJ c = code & 0x3FFF;
  for (int k = 0; k < 11; ++k)
    if (kinds[k] == c) return method_argument_words[k + 1];
  return nullptr;
}

// The texts live for the run: a designation list or a hint may still hold
// one when a language load gives the methods new ones.
const char* kept_text(std::string_view text) {
  static std::unordered_set<std::string>* kept = new std::unordered_set<std::string>;
  while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
  while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
  if (text.empty()) return nullptr;
  return kept->emplace(text).first->c_str();
}

// One array per built-in method: one entry per code and a final null.
std::vector<const char*>& texts_of(construct_method* method) {
  static auto* arrays = new std::unordered_map<construct_method*, std::vector<const char*>>;
  std::vector<const char*>& texts = (*arrays)[method];
  size_t n = 0;
  while (method->args && method->args[n]) ++n;
  if (texts.size() != n + 1) texts.assign(n + 1, nullptr);
  return texts;
}

void describe_from_row(construct_method* method, const char* row) {
  std::vector<const char*>& texts = texts_of(method);
  std::string_view rest(row ? row : "");
  bool more = !rest.empty();
  for (size_t i = 0; i + 1 < texts.size(); ++i) {
    const TYPEOBJ code = method->args[i];
    if (is_structure_code(code)) {
      texts[i] = nullptr;
      continue;
    }
    std::string_view own;
    if (more) {
      const size_t bar = rest.find('|');
      own = rest.substr(0, bar);
      if (bar == std::string_view::npos) {
        rest = {};
        more = false;
      } else {
        rest.remove_prefix(bar + 1);
      }
    }
    texts[i] = kept_text(own);
    if (!texts[i]) texts[i] = kept_text(argument_word(code) ? argument_word(code) : "");
  }
  method->text = texts.data();
}

}  // namespace

void fill_method_descriptions() {
  for (const description_row& d : description_rows) describe_from_row(d.method, kernel_string(d.row));
  for (construct_method* m : described_by_type) describe_from_row(m, "");
  for (construct_method* m : described_by_list) {
    std::vector<const char*>& texts = texts_of(m);
    for (size_t i = 0; i + 1 < texts.size(); ++i)
      texts[i] = kept_text(argument_description_words[i < 2 ? i : 1] ? argument_description_words[i < 2 ? i : 1] : "");
    m->text = texts.data();
  }
}

const char* method_argument_text(const construct_method* method, int position) {
  if (!method || !method->text || !method->args || position < 0) return nullptr;
  for (int i = 0; i < position; ++i)
    if (!method->args[i]) return nullptr;
  return method->args[position] ? method->text[position] : nullptr;
}

bool argument_code_accepts(TYPEOBJ code, uint16_t id) {
  if (code == id) return true;
  if (code == ARG_STRAIGHT) return id >= 2 && id <= 9;
  if (code == ARG_STRAIGHT_BOUNDED) return id >= 2 && id <= 6;
  return false;
}
