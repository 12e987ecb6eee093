// The settings store: key-value pairs in the user's settings file (INI
// format). Keys and values are kernel texts. The file name the kernel
// passes is not used: there is one store.
// Plain C++: the kernel includes this header.
#pragma once

#include <cstddef>

#include "platform/win_types.h"

class KPPreferencesWrapper {
 public:
  // Copies the stored value (else the default, which is not stored) into
  // value, at most capacity bytes with the terminating zero; FALSE and the
  // buffer unchanged when there is neither.
  static BOOL GetUserDefault(const char* key, char* value, size_t capacity, const char* default_value,
                             const char* file_name);
  static void SetUserDefault(const char* key, const char* value, const char* file_name);
  // Hands every stored key and its value (as text) to the visitor, reading
  // the store once.
  static void GetAllUserDefaults(void (*visit)(void* context, const char* key, const char* value), void* context);
  // Stores count pairs and writes the store out once.
  static void SetUserDefaults(const char* const* keys, const char* const* values, size_t count,
                              const char* file_name);
};
