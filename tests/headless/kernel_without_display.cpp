// The kernel on its own, in a program that makes no Qt application object:
// it registers its classes, builds a triangle's circumscribed circle, saves
// the figure and reads it back. Nothing on the way may need a display.
#include <QCoreApplication>
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "app/kernel_iface/kp_geo_document.h"
#include "kernel/files/figure_file.h"
#include "kernel/files/file_dialogs.h"
#include "kernel/files/file_paths.h"
#include "kernel/files/text_family.h"
#include "kernel/model/classes.h"
#include "kernel/model/create.h"
#include "kernel/model/figure.h"
#include "kernel/model/version_info.h"
#include "kernel/support/intersection_clicks.h"
#include "kernel/tools/tool_state.h"

namespace {

object* make(construct_class* cls, int method, std::initializer_list<object*> picks, double x = 0, double y = 0) {
  kelvo_win_info* fig = KPGeoDocument::currentInfo();
  current_class = cls;
  objlist_clear(fig->inputs);
  for (object* pick : picks) objlist_add(fig->inputs, pick, 0);
  rubber_points[0] = valeur{x, y, {}, 0};
  uint16_t created = 0;
  object* o = create_object(static_cast<uint16_t>(method), &created, 1, 1, 0);
  objlist_clear(fig->inputs);
  if (o) o->state &= ~OBJ_NEW;
  return o;
}

TEST(KernelWithoutDisplay, BuildsSavesAndReadsBackACircumscribedCircle) {
  ASSERT_EQ(QCoreApplication::instance(), nullptr);
  set_resource_folder(KELVO_TEST_DATA "/../../resources");
  init_version_info();
  init_construct_classes();
  init_object_lists();
  new_figure_info();
  kelvo_win_info* fig = KPGeoDocument::currentInfo();
  ASSERT_NE(fig, nullptr);

  object* a = make(&classe_point, 0, {}, 0, 0);
  object* b = make(&classe_point, 0, {}, 200, 0);
  object* c = make(&classe_point, 0, {}, 0, 100);
  object* ab = make(&classe_mediatrice, 0, {a, b});
  object* ac = make(&classe_mediatrice, 0, {a, c});
  ASSERT_NE(ab, nullptr);
  ASSERT_NE(ac, nullptr);
  object* centre = intersection_by_clicks(ab, ac);
  ASSERT_NE(centre, nullptr);
  object* circle = make(&classe_cercle, 1, {centre, a});
  ASSERT_NE(circle, nullptr);
  // The hypotenuse of a right triangle is a diameter of its circle.
  EXPECT_NEAR(centre->valeurs[0].h, 100, 1e-9);
  EXPECT_NEAR(centre->valeurs[0].v, 50, 1e-9);
  EXPECT_NEAR(circle->valeurs[1].info.rayon, std::hypot(100.0, 50.0), 1e-9);
  const uint32_t count = fig->nbobj;

  const std::filesystem::path dir = std::filesystem::path(KELVO_TEST_OUTPUT) / "headless";
  std::filesystem::create_directories(dir);
  const std::string path = (dir / "circumcircle.fig").string();
  std::filesystem::remove(path);
  file_dialog_record = OPENFILENAME{};
  std::snprintf(file_path_buffer, sizeof file_path_buffer, "%s", path.c_str());
  ASSERT_EQ(save_document_file(nullptr, SAVE_DOCUMENT, nullptr), 1);
  std::ifstream in(path, std::ios::binary);
  const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_EQ(text.rfind("Figure Kelvo Nova vers.", 0), 0u) << text;

  new_figure_info();
  kelvo_win_info* read = KPGeoDocument::currentInfo();
  ASSERT_TRUE(load_file_image(text.data(), static_cast<uint32_t>(text.size())));
  ASSERT_EQ(read_figure_file(file_buffer, file_buffer_len, path.c_str()), 1) << figure_file_error();
  free_file_image();
  EXPECT_EQ(read->nbobj, count);

  for (kelvo_win_info* f : {read, fig}) {
    kelvo_win_info* undo = f->undo;
    free_figure_info(f, false);
    free_figure_info(undo, false);
  }
  KPGeoDocument::setCurrentInfo(nullptr);
  free_object_lists();
  free_construct_classes();
}

}  // namespace
