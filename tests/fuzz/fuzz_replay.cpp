// Runs stored inputs through a fuzz target's body, the way libFuzzer runs
// one input: kelvo_fuzz_replay TARGET FILE-OR-FOLDER... Every input that
// once crashed, leaked or hung a reader stays in its target's corpus, so the
// normal test run checks it without clang.
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

#include "fuzz_target.h"

std::map<std::string, kelvo_fuzz_body>& kelvo_fuzz_bodies();

int main(int argc, char** argv) {
  namespace fs = std::filesystem;
  if (argc < 3) {
    std::fprintf(stderr, "usage: %s TARGET FILE-OR-FOLDER...\n", argv[0]);
    return 2;
  }
  const auto found = kelvo_fuzz_bodies().find(argv[1]);
  if (found == kelvo_fuzz_bodies().end()) {
    std::fprintf(stderr, "no fuzz target %s\n", argv[1]);
    return 2;
  }
  std::vector<fs::path> inputs;
  for (int i = 2; i < argc; ++i) {
    const fs::path given = argv[i];
    if (fs::is_directory(given)) {
      for (const auto& e : fs::recursive_directory_iterator(given))
        if (e.is_regular_file()) inputs.push_back(e.path());
    } else {
      inputs.push_back(given);
    }
  }
  std::sort(inputs.begin(), inputs.end());
  if (inputs.empty()) {
    std::fprintf(stderr, "no input for %s\n", argv[1]);
    return 1;
  }
  for (const fs::path& path : inputs) {
    std::ifstream in(path, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::printf("%s\n", path.c_str());
    std::fflush(stdout);
    found->second(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
  }
  std::printf("%zu inputs of %s read\n", inputs.size(), argv[1]);
  return 0;
}
