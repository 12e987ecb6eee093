// Writes the seed inputs of the fuzz targets for old binary files, built by
// old_binary_builder.h: c++ -std=c++20 -I tests make_old_binary_seeds.cpp
// && ./a.out <repository root>.
#include <fstream>
#include <string>

#include "data/files/old_binary_builder.h"

using namespace old_files;

int main(int argc, char** argv) {
  const std::string root = argc > 1 ? argv[1] : ".";
  auto put = [&root](const std::string& rel, const std::string& bytes) {
    std::ofstream(root + "/" + rel, std::ios::binary) << bytes;
  };
  Record a, b, c, seg, cir, in, mid, tri;
  a.points[0] = {10, 10, 0};
  b.points[0] = {110, 10, 0};
  c.points[0] = {60, 90, 0};
  seg.kind = 3, seg.refs[0] = 1, seg.refs[1] = 2, seg.name = "4";
  seg.points[1] = {100, 0, 0};
  cir.kind = 6, cir.refs[0] = 1, cir.refs[1] = 3;
  in.kind = 9, in.refs[0] = 4, in.refs[1] = 5;
  mid.kind = 7, mid.refs[0] = 1, mid.refs[1] = 2;
  tri.kind = 5, tri.refs[0] = 1, tri.refs[1] = 2, tri.refs[2] = 3;
  put("tests/fuzz/corpus/figure_file_fuzz/old_v2.fig", figure_v2({a, b, c, seg, cir, in, mid, tri}, 1, 2));
  for (uint16_t k = 0; k < 8; ++k) {
    Record* r[] = {&a, &b, &c, &seg, &cir, &in, &mid, &tri};
    r[k]->number = static_cast<uint16_t>(k + 1);
  }
  put("tests/fuzz/corpus/figure_file_fuzz/old_v1.fig", figure_v1({a, b, c, seg, cir, in, mid, tri}, "2.2", true, 5, 5, "comment"));
  put("tests/fuzz/corpus/figure_file_fuzz/old_v1_class3.fig", figure_v1({a, b, seg}, "2.01"));
  MacroStep s1{3, false, {10, 11, 0, 0}};
  MacroStep s2{7, true, {10001, 0, 0, 0}};
  s2.kind = 19;
  MacroStep s3{8, true, {10, 11, 0, 0}};
  const std::string macro = macro_v2("Old macro", {0, 0}, {s1, s2, s3}, "help");
  put("tests/fuzz/corpus/old_macro_fuzz/old_macro.mac", macro);
  put("tests/fuzz/corpus/macro_file_fuzz/old_macro.mac", macro);
  put("tests/fuzz/corpus/old_macro_fuzz/segment_initial.mac",
      macro_v2("Seg", {1}, {{7, true, {100, 101, 0, 0}}}));
  return 0;
}
