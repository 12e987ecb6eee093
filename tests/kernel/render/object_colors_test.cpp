// Colours driven by numbers of the figure.
#include <gtest/gtest.h>

#include "kernel/model/figure.h"
#include "kernel/render/colors.h"
#include "kernel/render/object_colors.h"

namespace {

TEST(ObjectColors, NumbersDriveComponentsInATriangleWave) {
  valeur value{};
  object number{};
  number.nbvaleurs = 1;
  number.valeurs = &value;
  const struct {
    double v;
    uint8_t c;
  } cases[] = {{0, 0}, {0.5, 127}, {1, 255}, {1.5, 127}, {2, 0}, {-0.25, 63}, {3.5, 127}};
  for (auto c : cases) {
    value.info.rayon = c.v;
    EXPECT_EQ(color_component_from_number(&number, 9), c.c) << c.v;
  }
  EXPECT_EQ(color_component_from_number(nullptr, 9), 9);

  object o{};
  o.settings.Color = 0x123456;
  EXPECT_EQ(object_effective_color(&o), 0x123456u);
  param_color p{nullptr, &number, nullptr};  // green only
  o.pcolor = &p;
  value.info.rayon = 1;
  EXPECT_EQ(object_effective_color(&o), 0x12FF56u);

  // A transparent fill driven by numbers starts from black.
  init_color_table();
  o.settings.FillColor = back_color;
  o.pfill = &p;
  EXPECT_EQ(object_effective_fill_color(&o), 0x00FF00u);
  o.settings.opaque = 1;
  EXPECT_EQ(object_effective_fill_color(&o), (back_color & 0xFF00FFu) | 0x00FF00u);
}

}  // namespace
