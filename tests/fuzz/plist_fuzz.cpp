// The property-list reader of the application's resources.
#include <string>

#include "fuzz_target.h"
#include "kernel/model/version_info.h"

KELVO_FUZZ_TARGET(plist_fuzz) {
  const std::string xml(reinterpret_cast<const char*>(data), size);
  for (const char* key : {"KPProductVersion", "CFBundleVersion", ""}) (void)plist_string_value(xml, key);
  return 0;
}
