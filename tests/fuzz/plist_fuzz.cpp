// The property-list reader of the application's resources and of the
// preferences files the user opens.
#include <string>

#include "fuzz_target.h"
#include "kernel/model/version_info.h"

KELVO_FUZZ_TARGET(plist_fuzz) {
  const std::string xml(reinterpret_cast<const char*>(data), size);
  for (const char* key : {"KPProductVersion", "CFBundleVersion", ""}) (void)plist_string_value(xml, key);
  (void)is_xml_property_list(xml.data(), xml.size());
  if (const auto entries = plist_string_entries(xml))
    for (const auto& [key, value] : *entries) (void)plist_string_value(xml, key);
  return 0;
}
