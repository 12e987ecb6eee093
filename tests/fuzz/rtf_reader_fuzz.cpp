// Rich-text blocks as text records carry them and as other
// programs put them on the clipboard. Each block is read into runs, then
// pasted into a text open in the in-figure editor (where references, the
// checks before a change and the hand-back run on it), copied out again as
// RTF and read back.
#include <cstddef>
#include <cstdint>

#include <QApplication>
#include <QWidget>

#include "app/kernel_iface/kp_geo_document.h"
#include "fuzz_target.h"
#include "kernel/model/classes.h"
#include "kernel/model/create.h"
#include "kernel/model/figure.h"
#include "kernel/render/colors.h"
#include "kernel/text/text_record.h"
#include "kernel/text/text_services.h"
#include "kernel/tools/tool_state.h"
#include "platform/ns_kelvo_text_editor.h"
#include "platform/rtf_reader.h"

namespace {

struct PasteBench {
  QWidget* parent = nullptr;
  NSKelvoTextEditor* editor = nullptr;
  object* text = nullptr;
  object* value = nullptr;
};

PasteBench& bench() {
  static PasteBench b = [] {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static int argc = 1;
    static char name[] = "rtf_reader_fuzz";
    static char* argv[] = {name, nullptr};
    new QApplication(argc, argv);
    init_color_table();
    init_construct_classes();
    install_kelvo_text_view();
    new_figure_info();
    PasteBench made;
    made.parent = new QWidget();
    made.editor = NSKelvoTextEditor::createWithFrame(KPTextFrame{}, made.parent, nullptr);
    kelvo_win_info* fig = KPGeoDocument::currentInfo();
    auto build = [fig](construct_class* cls) {
      current_class = cls;
      objlist_clear(fig->inputs);
      uint16_t created = 0;
      object* o = create_object(0, &created, 1, 1, 0);
      current_class = nullptr;
      return o;
    };
    made.value = build(&classe_nombre);
    made.text = build(&classe_text);
    return made;
  }();
  return b;
}

}  // namespace

KELVO_FUZZ_TARGET(rtf_reader_fuzz) {
  const rtf_document doc = read_rtf(reinterpret_cast<const char*>(data), size);
  size_t n = 0;
  for (const rtf_run& r : doc.runs) n += r.text.size() + r.font.size();

  PasteBench& b = bench();
  if (!b.text || !b.text->te || !b.value || !b.value->te) return 0;
  set_text_record_text(b.value->te, "1,5");
  free_text_references(&b.text->inserted);
  add_text_reference(b.value, &b.text->inserted);
  set_text_record_text(b.text->te, "a$1$b");
  b.text->te->regen_pending = 1;
  b.text->te->size = te_size{200, 40};
  b.editor->enterObjectEdit(b.text);
  int32_t range[2] = {2, 2};
  b.editor->sendMessage(1079, 0, reinterpret_cast<LPARAM>(range));
  b.editor->insertRTFtext(reinterpret_cast<const char*>(data), size);
  range[0] = 0;
  range[1] = b.editor->stringLength();
  b.editor->sendMessage(1079, 0, reinterpret_cast<LPARAM>(range));
  const std::string copied = b.editor->selectionRtf();
  n += read_rtf(copied.data(), copied.size()).runs.size();
  b.editor->textToObject(false);
  return n == static_cast<size_t>(-1) ? 1 : 0;
}
