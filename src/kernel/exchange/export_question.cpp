#include "kernel/exchange/export_question.h"

#include <string>

#include "app/kernel_iface/figure_description.h"
#include "kernel/text/kernel_strings.h"
#include "platform/kernel_services.h"

namespace {

constexpr int kLeftOutQuestionRow = 768;
constexpr size_t kListedObjects = 10;

}  // namespace

void compose_left_out_question(const std::vector<object*>& left_out, size_t count) {
  // The report is made of the objects' texts: names, measures and
  // equations write their unit signs as the kernel's own texts do.
  std::string report;
  if (!left_out.empty()) report = "\n";
  for (size_t k = 0; k < left_out.size() && k < kListedObjects; ++k) {
    const description_line line = describe_object_name(left_out[k], nullptr);
    report += "\n\t\t";
    if (!line.object_text.empty()) report += line.object_text + " => ";
    report += line.type_text;
  }
  const char* more = !left_out.empty() && (count > kListedObjects || report.size() >= 256) ? "\n\t\t[...]" : "";
  message_compose_unit_text(kernel_string(kLeftOutQuestionRow), report.c_str(), more, "");
}
