#include "kernel/macros/macro_source.h"

#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "kernel/files/text_output.h"
#include "kernel/macros/macro_def.h"
#include "kernel/model/classes.h"
#include "kernel/model/memory.h"

namespace {

struct SourceName {
  const construct_class* cls;
  const char* name;
};

const SourceName kSourceNames[] = {
    {&classe_point, "&classe_point"},
    {&classe_point_polyreg, "&classe_point_polyreg"},
    {&classe_ptsur, "&classe_ptsur"},
    {&classe_ptint, "&classe_ptint"},
    {&classe_axe, "&classe_axe"},
    {&classe_grid, "&classe_grid"},
    {&classe_segment, "&classe_segment"},
    {&classe_vecteur, "&classe_vecteur"},
    {&classe_triangle, "&classe_triangle"},
    {&classe_polygone, "&classe_polygone"},
    {&classe_polyreg, "&classe_polyreg"},
    {&classe_droite, "&classe_droite"},
    {&classe_demidroite, "&classe_demidroite"},
    {&classe_cercle, "&classe_cercle"},
    {&classe_arc, "&classe_arc"},
    {&classe_conic, "&classe_conic"},
    {&classe_angle, "&classe_angle"},
    {&classe_milieu, "&classe_milieu"},
    {&classe_mediatrice, "&classe_mediatrice"},
    {&classe_parallele, "&classe_parallele"},
    {&classe_perpendiculaire, "&classe_perpendiculaire"},
    {&classe_bissectrice, "&classe_bissectrice"},
    {&classe_compas3, "&classe_compas3"},
    {&classe_locus, "&classe_locus"},
    {&classe_translation, "&classe_translation"},
    {&classe_symetriquedr, "&classe_symetriquedr"},
    {&classe_symetrique, "&classe_symetrique"},
    {&classe_rotation, "&classe_rotation"},
    {&classe_dilatation, "&classe_dilatation"},
    {&classe_inverse, "&classe_inverse"},
    {&classe_label, "&classe_label"},
    {&classe_text, "&classe_text"},
    {&classe_nombre, "&classe_nombre"},
    {&classe_length, "&classe_length"},
    {&classe_aire, "&classe_aire"},
    {&classe_pente, "&classe_pente"},
    {&classe_angleMes, "&classe_angleMes"},
    {&classe_equation, "&classe_equation"},
    {&classe_alignement, "&classe_alignement"},
    {&classe_parallelism, "&classe_parallelism"},
    {&classe_perpendism, "&classe_perpendism"},
    {&classe_equidistant, "&classe_equidistant"},
    {&classe_membership, "&classe_membership"},
    {&classe_calculate, "&classe_calculate"},
};

// Enumerators of the argument codes, by code from 1.
const char* const kCodeNames[22] = {"POINT",      "SEGMENT",   "VECTEUR",  "TRIANGLE", "POLYGONE", "POLYGONEREG",
                                    "DROITE",     "DEMIDROITE", "CERCLE",  "ARC",      "CONIC",    "AXES",
                                    "GRID",       "LOCUS",     "ANGLEMARK", "TEXT_ZO", "NOMBRE",   "PROPRIETE",
                                    "EQUATION",   "TABLE",     "DIRECTION", "BIPOINT"};

// The identifier part of every table name: letters and digits of the name,
// anything else an underscore.
std::string identifier_of(const char* name) {
  std::string id;
  for (const char* p = name != nullptr ? name : ""; *p != '\0'; ++p) {
    const char c = *p;
    const bool alnum = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
    id.push_back(alnum ? c : '_');
  }
  return id;
}

void put_code_name(TxtOut& out, TYPEOBJ code) {
  if (code >= 1 && code <= 22) out.put(kCodeNames[code - 1]);
  else if (code == ARG_STRAIGHT_BOUNDED) out.put("STRAIGHT_BOUNDED");
  else if (code == ARG_STRAIGHT) out.put("STRAIGHT");
  else out.u(code);
}

// A C string literal, or NULL.
void put_literal(TxtOut& out, const char* s) {
  if (s == nullptr) {
    out.put("NULL");
    return;
  }
  out.ch('"');
  for (const char* p = s; *p != '\0'; ++p) {
    if (*p == '"' || *p == '\\') out.ch('\\');
    out.ch(*p);
  }
  out.ch('"');
}

int code_count(const construct_method* m) {
  int n = 0;
  while (m->args != nullptr && m->args[n] != 0) ++n;
  return n;
}

// Two words of eight palette nibbles, most significant first.
void put_icon_row(TxtOut& out, const uint8_t* row) {
  static const char kHex[] = "0123456789ABCDEF";
  for (int w = 0; w < 2; ++w) {
    out.put("0x");
    for (int k = 0; k < 8; ++k) out.ch(kHex[row[w * 8 + k] & 15]);
    if (w == 0) out.put(", ");
  }
}

}  // namespace

const char* macro_class_c_name(const construct_class* cls) {
  for (const SourceName& s : kSourceNames)
    if (s.cls == cls) return s.name;
  return "";
}

int32_t write_macro_as_c(construct_class* cls, char* buffer) {
  TxtOut out(buffer);
  if (cls == nullptr) return 0;
  const std::string id = identifier_of(cls->name);
  const char* idc = id.c_str();
  int methods = 0;
  out.put("//");
  out.put(cls->name != nullptr ? cls->name : "");
  out.crlf();
  for (int m = 0; cls->methods != nullptr && cls->methods[m] != nullptr; ++m, ++methods) {
    const construct_method* method = cls->methods[m];
    const macro_def* def = method->def;
    const int n = code_count(method);
    out.put("//");
    out.put(cls->name != nullptr ? cls->name : "");
    out.put(" methode n\xB0");
    out.i(m);
    out.crlf();
    const int steps = def != nullptr && def->macro_def_info != nullptr ? def->macro_def_info[0] : 0;
    for (int k = 0; k < steps; ++k) {
      const macro_object& s = def->macro_def_objects[k];
      if (s.mo_nb_parents <= 0 || s.mo_parents == nullptr) continue;
      // The element type of the steps' parent numbers.
      out.put("uint32_t ");
      out.put(idc);
      out.put("ind");
      out.i(k);
      out.ch('[');
      out.i(s.mo_nb_parents);
      out.put("]={");
      for (int j = 0; j < s.mo_nb_parents; ++j) {
        if (j != 0) out.put(", ");
        out.u(s.mo_parents[j]);
      }
      out.put("};");
      out.crlf();
    }
    out.put("static macro_object ");
    out.put(idc);
    out.put("objmth");
    out.i(m);
    out.ch('[');
    out.i(steps);
    out.put("]={");
    out.crlf();
    for (int k = 0; k < steps; ++k) {
      const macro_object& s = def->macro_def_objects[k];
      if (k != 0) {
        out.ch(',');
        out.crlf();
      }
      out.put("\t\t{");
      out.put(s.mo_final != 0 ? "FINAL, " : "NOTFINAL, ");
      out.u(s.mo_side_info);
      out.put(", ");
      out.i(s.mo_nb_parents);
      out.put(", ");
      out.i(s.mo_nb_values);
      out.put(", ");
      // A step without parents has no array to name.
      if (s.mo_nb_parents > 0 && s.mo_parents != nullptr) {
        out.put(idc);
        out.put("ind");
        out.i(k);
      } else {
        out.put("NULL");
      }
      out.put(", ");
      const char* c_name = macro_class_c_name(s.mo_class);
      out.put(c_name[0] != '\0' ? c_name : "NULL");
      out.put(", ");
      out.i(s.mo_method);
      out.put(", {");
      out.g(s.mo_value, 6);
      out.put(", ");
      put_literal(out, s.mo_formula);
      out.put("}}");
    }
    out.put("};");
    out.crlf();
    out.put("KPSHORT ");
    out.put(idc);
    out.put("info");
    out.i(m);
    out.ch('[');
    out.i(n + 2);
    out.put("]={");
    for (int j = 0; j < n + 2; ++j) {
      if (j != 0) out.put(", ");
      out.i(def != nullptr && def->macro_def_info != nullptr ? def->macro_def_info[j] : 0);
    }
    out.put("};");
    out.crlf();
    out.put("static macro_def ");
    out.put(idc);
    out.put("def");
    out.i(m);
    out.put("={");
    out.put(idc);
    out.put("info");
    out.i(m);
    out.put(", ");
    out.put(idc);
    out.put("objmth");
    out.i(m);
    out.put(", NULL, 0, NULL};");
    out.crlf();
    out.put("TYPEOBJ ");
    out.put(idc);
    out.put("tyc");
    out.i(m);
    out.ch('[');
    out.i(n + 1);
    out.put("]={");
    for (int j = 0; j < n; ++j) {
      put_code_name(out, method->args[j]);
      out.put(", ");
    }
    out.put("0};");
    out.crlf();
    out.put("construct_method ");
    out.put(idc);
    out.put("mth");
    out.i(m);
    out.put("={&");
    out.put(idc);
    out.put("def");
    out.i(m);
    out.put(", NULL, NULL, NULL, identstd, NULL, ");
    out.put(idc);
    out.put("tyc");
    out.i(m);
    out.put("};");
    out.crlf();
    out.crlf();
  }

  out.put("icone_type ");
  out.put(idc);
  out.put("_icon={");
  out.crlf();
  const uint8_t* icon = cls->icon != nullptr ? cls->icon : default_macro_icon16();
  for (int r = 0; r < 16; ++r) {
    put_icon_row(out, icon + r * 16);
    out.put(r < 15 ? "," : "};");
    out.crlf();
  }
  out.crlf();

  out.put("construct_methodptr ");
  out.put(idc);
  out.put("methlist[");
  out.i(methods + 1);
  out.put("]={");
  for (int m = 0; m < methods; ++m) {
    out.ch('&');
    out.put(idc);
    out.put("mth");
    out.i(m);
    out.put(", ");
  }
  out.put("NULL};");
  out.crlf();

  out.put("construct_class classe_");
  out.put(idc);
  out.put("={TRUE, &point_type, ");
  // The short name without the byte that marks it as a macro's.
  const char* short_name = cls->short_name;
  if (short_name != nullptr && short_name[0] == '\x01') ++short_name;
  for (const char* s : {short_name, cls->code, cls->name, cls->english_name}) {
    put_literal(out, s);
    out.put(", ");
  }
  out.put(idc);
  out.put("_icon, ");
  out.i(static_cast<int16_t>(cls->nbvals));
  out.put(", select_macro, fil_prop, ");
  out.put(idc);
  out.put("methlist};");
  out.crlf();
  return out.len;
}

bool export_macro_as_c(construct_class* cls, const char* path) {
  if (cls == nullptr || path == nullptr) return false;
  const int32_t length = write_macro_as_c(cls, nullptr);
  std::vector<char> text(static_cast<size_t>(length) + 1);
  const int32_t written = write_macro_as_c(cls, text.data());
  if (written != length) return false;
  // Into a file beside the target first, so that a failed write leaves
  // whatever was there.
  const std::string temporary = std::string(path) + ".part";
  {
    std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
    if (!out) return false;
    out.write(text.data(), length);
    out.close();
    if (!out) {
      std::remove(temporary.c_str());
      return false;
    }
  }
  if (std::rename(temporary.c_str(), path) != 0) {
    std::remove(temporary.c_str());
    return false;
  }
  return true;
}
