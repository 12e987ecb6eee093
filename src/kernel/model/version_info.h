// The version of the running program: the text written into file headers,
// the highest file version the readers accept, and the version entries of
// the application's resources.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

extern char* version_string;  // "(MAC 1.40)", owned
extern double max_version;    // 1.4
extern uint8_t version_flag_a;
extern uint8_t version_flag_b;
extern uint8_t version_extra_flag;

void init_version_info();
void clear_version_flag();

// The folder holding the application's resource files (version.plist,
// Info.plist). The application sets it at start-up.
void set_resource_folder(const std::string& path);
const std::string& resource_folder();

// The string stored under key in "version.plist" of the resource folder;
// nothing when the file is missing or unreadable or has no such key.
std::optional<std::string> get_version_plist_value(const std::string& key);

// The "KPProductVersion" string of "Info.plist" in the resource folder:
// a NUL-terminated copy from the C heap (the caller frees it) and its
// length without the NUL. Null and 0 when it is missing or empty.
void get_product_version(char** buffer, uint32_t* length);

// The string value of key in an XML property-list dictionary; nothing when
// the text is not such a dictionary or has no string under the key.
std::optional<std::string> plist_string_value(const std::string& xml, const std::string& key);
// Every key of an XML property list's top dictionary that holds a string,
// with its string, in file order; nothing when the text is not such a
// dictionary or is cut short.
std::optional<std::vector<std::pair<std::string, std::string>>> plist_string_entries(const std::string& xml);
// Whether the bytes begin as an XML property list does (a byte-order mark
// and blanks allowed before it).
bool is_xml_property_list(const char* bytes, std::size_t len);
