#include "kernel/exchange/ti9x_file.h"

#include <cctype>
#include <cmath>
#include <cstring>

#include "kernel/files/text_convert.h"
#include "kernel/text/text_record.h"

namespace {

constexpr ti9x_model kModels[4] = {
    {"**TI92**", 1, ".92a", ".92x"},
    {"**TI92P*", 1, ".9xa", ".9xx"},
    {"**TI89**", 1, ".89a", ".89x"},
    {"**TI92P*", 8, ".v2a", ".v2x"},
};

// Calculator code -> host code, for the codes that change; the others map
// to themselves. The host side is the DOS code page the calculators' link
// software used (pi is 227, e-acute 130).
constexpr uint8_t kChanged[][2] = {
    {9, 85},    {16, 254},  {17, 60},   {18, 62},   {19, 94},   {20, 95},   {21, 95},   {22, 15},
    {23, 94},   {24, 124},  {25, 60},   {26, 62},   {27, 213},  {28, 85},   {29, 239},  {30, 20},
    {31, 238},  {127, 187}, {128, 224}, {129, 225}, {130, 226}, {131, 231}, {132, 127}, {133, 235},
    {134, 17},  {135, 188}, {136, 233}, {137, 21},  {138, 191}, {139, 227}, {140, 227}, {141, 18},
    {142, 228}, {143, 229}, {144, 195}, {145, 232}, {146, 197}, {147, 234}, {148, 19},  {149, 69},
    {150, 201}, {151, 202}, {152, 14},  {153, 84},  {154, 204}, {155, 205}, {156, 243}, {157, 206},
    {158, 242}, {159, 203}, {160, 16},  {161, 173}, {162, 155}, {163, 156}, {164, 207}, {165, 190},
    {166, 221}, {167, 28},  {168, 251}, {169, 184}, {170, 166}, {171, 174}, {172, 170}, {173, 218},
    {174, 169}, {175, 218}, {176, 248}, {177, 43},  {178, 253}, {179, 252}, {180, 26},  {181, 230},
    {182, 22},  {183, 46},  {184, 220}, {185, 49},  {186, 167}, {187, 175}, {188, 217}, {189, 186},
    {190, 236}, {191, 168}, {192, 183}, {193, 181}, {194, 182}, {195, 199}, {196, 142}, {197, 143},
    {198, 146}, {199, 128}, {200, 212}, {201, 144}, {202, 210}, {203, 211}, {204, 222}, {205, 214},
    {206, 215}, {207, 216}, {208, 209}, {209, 165}, {210, 178}, {211, 176}, {212, 177}, {213, 179},
    {214, 153}, {215, 120}, {216, 31},  {217, 194}, {218, 192}, {219, 193}, {220, 154}, {221, 89},
    {222, 24},  {223, 225}, {224, 133}, {225, 160}, {226, 131}, {227, 198}, {228, 132}, {229, 134},
    {230, 145}, {231, 135}, {232, 138}, {233, 130}, {234, 136}, {235, 137}, {236, 141}, {237, 161},
    {238, 140}, {239, 139}, {240, 208}, {241, 164}, {242, 149}, {243, 162}, {244, 147}, {245, 180},
    {246, 148}, {247, 246}, {248, 237}, {249, 151}, {250, 163}, {251, 150}, {252, 129}, {253, 25},
    {254, 23},  {255, 152},
};

struct HostTable {
  uint8_t to_host[256];
  constexpr HostTable() : to_host() {
    for (int i = 0; i < 256; ++i) to_host[i] = static_cast<uint8_t>(i);
    for (const auto& e : kChanged) to_host[e[0]] = e[1];
  }
};
constexpr HostTable kHost{};

bool is_letter(char c) { return std::isalpha(static_cast<unsigned char>(c)) != 0; }

}  // namespace

const ti9x_model* ti9x_model_for_code(int code) {
  return code >= 5 && code <= 8 ? &kModels[code - 5] : nullptr;
}

uint16_t copy_string(const char* text, uint8_t* dst) {
  const size_t n = std::strlen(text) + 1;
  if (dst != nullptr) std::memcpy(dst, text, n);
  return static_cast<uint16_t>(n);
}

uint8_t ti9x_host_char(uint8_t calculator_code) { return kHost.to_host[calculator_code]; }

void map_ti_text(char* text) {
  for (; *text != '\0'; ++text) *text = static_cast<char>(kHost.to_host[static_cast<uint8_t>(*text)]);
}

int write_be16(uint16_t v, uint8_t* dst) {
  if (dst != nullptr) {
    dst[0] = static_cast<uint8_t>(v >> 8);
    dst[1] = static_cast<uint8_t>(v);
  }
  return 2;
}

int write_be32(uint32_t v, uint8_t* dst) {
  if (dst != nullptr) {
    write_be16(static_cast<uint16_t>(v >> 16), dst);
    write_be16(static_cast<uint16_t>(v), dst + 2);
  }
  return 4;
}

int read_be16(const uint8_t* src, int16_t* out) {
  if (out != nullptr) *out = static_cast<int16_t>((src[0] << 8) | src[1]);
  return 2;
}

int read_be32(const uint8_t* src, int32_t* out) {
  if (out != nullptr)
    *out = static_cast<int32_t>((uint32_t{src[0]} << 24) | (uint32_t{src[1]} << 16) | (uint32_t{src[2]} << 8) |
                                uint32_t{src[3]});
  return 4;
}

int read_be16_x4(const uint8_t* src, int32_t out[4]) {
  for (int k = 0; k < 4; ++k) out[k] = (src[2 * k] << 8) | src[2 * k + 1];
  return 8;
}

int write_text_frame(uint8_t* dst, const TErec* record) {
  const int32_t v[4] = {record->pos.x, record->pos.y, record->size.w, record->size.h};
  for (int k = 0; k < 4; ++k) write_be16(static_cast<uint16_t>(v[k]), dst == nullptr ? nullptr : dst + 2 * k);
  return 8;
}

int copy_style3(const uint8_t* src, uint8_t* dst) {
  std::memcpy(dst, src, 3);
  return 3;
}

int write_style3(const uint8_t style[3], uint8_t* dst) {
  if (dst != nullptr) std::memcpy(dst, style, 3);
  return 3;
}

int ti_bcd_encode(double v, uint8_t* dst) {
  // An integer that 16 bits hold exactly goes as one.
  const double r = std::trunc(v + (v < 0 ? -0.5 : 0.5));
  const int16_t low = std::isfinite(r) && std::fabs(r) < 9.2e18
                          ? static_cast<int16_t>(static_cast<uint16_t>(static_cast<int64_t>(r) & 0xFFFF))
                          : 0;
  if (static_cast<double>(low) == v) {
    if (dst != nullptr) {
      dst[0] = 0;
      write_be16(static_cast<uint16_t>(low), dst + 1);
    }
    return 3;
  }
  if (dst == nullptr) return 11;
  dst[0] = 0xFF;
  const double s = v >= 0 ? 1.0 : -1.0;
  const double a = s * v;
  // Neither an infinity nor a NaN has digits: they go as zero, which the
  // calculator reads safely.
  if (!(a > 0) || !std::isfinite(a)) {
    std::memset(dst + 1, 0, 10);
    dst[1] = 0x40;
    return 11;
  }
  const double e = std::floor(std::log10(a));
  double m = a / std::pow(10.0, e);
  const auto field = static_cast<uint16_t>(static_cast<int>(e) + 0x4000);
  dst[1] = static_cast<uint8_t>((field >> 8) | (s < 0 ? 0x80 : 0));
  dst[2] = static_cast<uint8_t>(field);
  double p = 1;
  for (int k = 0; k < 8; ++k) {
    double d = std::floor(m / p);
    m -= d * p;
    const auto hi = static_cast<uint8_t>(static_cast<int>(d) & 0x0F);
    p /= 10;
    d = std::floor(m / p);
    m -= d * p;
    const auto lo = static_cast<uint8_t>(static_cast<int>(d) & 0x0F);
    p /= 10;
    dst[3 + k] = static_cast<uint8_t>((hi << 4) | lo);
  }
  return 11;
}

int ti_bcd_decode(const uint8_t* src, double* out) {
  if (src[0] != 0xFF) {
    int16_t v = 0;
    read_be16(src + 1, &v);
    if (out != nullptr) *out = v;
    return 3;
  }
  const bool negative = (src[1] & 0x80) != 0;
  const auto e = static_cast<int16_t>((((src[1] & 0x7F) << 8) | src[2]) - 0x4000);
  double m = 0, p = 1;
  for (int k = 3; k <= 9; ++k) {
    m += (src[k] >> 4) * p;
    p /= 10;
    m += (src[k] & 0x0F) * p;
    p /= 10;
  }
  const double v = m * std::pow(10.0, e);
  if (out != nullptr) *out = negative ? -v : v;
  return 11;
}

uint16_t ti_pi_text(const char* text, uint8_t* dst) {
  uint16_t n = 0;
  for (size_t k = 0; text[k] != '\0'; ++k) {
    const bool pi = text[k] == 'p' && text[k + 1] == 'i' && (k == 0 || !is_letter(text[k - 1])) &&
                    (text[k + 2] == '\0' || !is_letter(text[k + 2]));
    if (dst != nullptr) dst[n] = pi ? kTi9xPiByte : static_cast<uint8_t>(text[k]);
    ++n;
    if (pi) ++k;
  }
  if (dst != nullptr) dst[n] = 0;
  return static_cast<uint16_t>(n + 1);
}

std::string ti9x_text_to_calculator(const char* kernel_text) {
  std::string out = kernel_text != nullptr ? kernel_text : "";
  for (char& c : out) {
    const auto b = static_cast<uint8_t>(c);
    if (b >= 128) c = static_cast<char>(charset_mac_to_windows[b - 128]);
  }
  return out;
}

std::string ti9x_text_from_calculator(const char* bytes) {
  std::string out;
  for (const char* p = bytes; *p != '\0'; ++p) {
    const auto b = static_cast<uint8_t>(*p);
    if (b == kTi9xPiByte) {
      out += "pi";
      continue;
    }
    const uint8_t host = kHost.to_host[b];
    out.push_back(static_cast<char>(host >= 128 ? charset_dos_to_mac[host - 128] : host));
  }
  return out;
}

uint8_t* offset_pointer(uint8_t* base, int16_t offset) { return base == nullptr ? nullptr : base + offset; }

std::string ti9x_variable_name(std::string_view path) {
  const size_t slash = path.find_last_of('/');
  if (slash != std::string_view::npos) path.remove_prefix(slash + 1);
  const size_t dot = path.find('.');
  if (dot != std::string_view::npos) path = path.substr(0, dot);
  return std::string(path.substr(0, 8));
}

void ti9x_fill_container(uint8_t* image, uint32_t length, const ti9x_model& model, uint8_t type,
                         std::string_view name) {
  std::memcpy(image, model.signature, 8);
  image[8] = model.product;
  std::memcpy(image + 10, "main", 4);
  image[16] = 'T';
  image[17] = 'I';
  image[58] = 1;
  image[60] = 82;
  std::memcpy(image + 64, name.data(), std::min<size_t>(name.size(), 8));
  image[72] = type;
  const uint32_t size = length + kTi9xOverhead;
  for (int k = 0; k < 4; ++k) image[76 + k] = static_cast<uint8_t>(size >> (8 * k));
  image[80] = 0xA5;
  image[81] = 0x5A;
  write_be16(static_cast<uint16_t>(length), image + 86);
  uint16_t sum = 0;
  for (uint32_t k = 86; k < kTi9xDataOffset + length; ++k) sum = static_cast<uint16_t>(sum + image[k]);
  image[kTi9xDataOffset + length] = static_cast<uint8_t>(sum);
  image[kTi9xDataOffset + length + 1] = static_cast<uint8_t>(sum >> 8);
}
