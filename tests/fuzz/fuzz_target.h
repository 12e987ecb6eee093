// A reader's fuzz target: `KELVO_FUZZ_TARGET(name) { ... }` is the body run
// on one input (`data`, `size`). Built with -DKELVO_FUZZ=ON it becomes the
// libFuzzer entry point of the program `name`; in the test build the body
// joins kelvo_fuzz_replay, which runs every stored input of the target
// under the sanitizers.
#pragma once

#include <cstddef>
#include <cstdint>

using kelvo_fuzz_body = int (*)(const uint8_t* data, size_t size);

// Registers a body under its target's name (test build only).
bool kelvo_fuzz_register(const char* name, kelvo_fuzz_body body);

// Creates, once per process, the QGuiApplication on the offscreen platform
// that readers touching fonts need, and answers every message box with its
// first button.
void kelvo_fuzz_gui_application();

// Stops the process when the kernel holds more blocks than at `before`:
// a reader that keeps blocks nobody frees leaks one file after another.
void kelvo_fuzz_check_blocks(std::size_t before, const char* what);

#ifdef KELVO_FUZZ_ENTRY
#define KELVO_FUZZ_TARGET(name) extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
#else
#define KELVO_FUZZ_TARGET(name)                                                       \
  static int name##_body(const uint8_t* data, size_t size);                           \
  [[maybe_unused]] static const bool name##_known = kelvo_fuzz_register(#name, name##_body); \
  static int name##_body(const uint8_t* data, size_t size)
#endif
