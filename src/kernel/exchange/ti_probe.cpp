#include "kernel/exchange/ti_probe.h"

#include <cstring>
#include <initializer_list>

namespace {

uint16_t le16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }

}  // namespace

int ti9x_check_signature(const char* image, uint32_t len, char* name_out) {
  if (image == nullptr || len < 66) return -1;
  const auto* b = reinterpret_cast<const uint8_t*>(image);
  bool sig = false;
  for (const char* s : {"**TI92**", "**TI92P*", "**TI89**"})
    if (std::memcmp(image, s, 8) == 0 && b[8] == 0x01 && b[9] == 0) sig = true;
  if (std::memcmp(image, "**TI92P*", 8) == 0 && b[8] == 0x08 && b[9] == 0) sig = true;
  if (!sig) return -1;
  uint32_t p = le16(b + 60);
  if (p < 2 || p >= len || b[p - 2] != 0xA5 || b[p - 1] != 'Z') return -1;
  if (name_out != nullptr) {
    size_t k = 0;
    for (; k < 8 && 64 + k < len && image[64 + k] != '\0'; ++k) name_out[k] = image[64 + k];
    name_out[k] = '\0';
  }
  return static_cast<int>(p + 4);
}

int ti83_check_file(const char* image, uint32_t len, double* version) {
  if (image == nullptr || len <= 9 || std::memcmp(image, "**TI83F*", 8) != 0) return 0;
  const auto* b = reinterpret_cast<const uint8_t*>(image);
  if (len < 84) return 0;
  uint16_t data_len = le16(b + 57);
  if (b[59] != 0x15) return 0;
  if (le16(b + 70) != data_len || le16(b + 72) != static_cast<uint16_t>(data_len - 2)) return 0;
  if (std::memcmp(image + 74, "ZoVe", 4) != 0) return 0;
  if (b[78] != 'F' && b[78] != 'f') return 0;
  uint32_t n = b[83] == 0 ? 256 : b[83];
  uint32_t end = 83 + 18 * n;  // last byte summed
  if (uint64_t{end} + 3 > len) return 0;
  uint16_t sum = 0;
  for (uint32_t k = 55; k <= end; ++k) sum = static_cast<uint16_t>(sum + b[k]);
  if (sum != le16(b + end + 1)) return 0;
  *version = b[78] == 'F' ? 1.0 : 2.0;
  return 1;
}
