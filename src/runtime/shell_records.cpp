#include "runtime/shell_records.h"

#include <cassert>
#include <cmath>
#include <cstring>

mnw_struct mnw;
colr_class colr;
cmnd_class cmnd;

colr_class::colr_class() {
  std::memset(rgb, 0, sizeof rgb);
  std::memset(ramp, 0, sizeof ramp);
  pulse = 0;
  scale_min = scale_max = scale_range = 0;
  static const struct {
    int number;
    float r, g, b;
  } defaults[] = {
      {0, 1, 1, 1},        {1, 1, 0.2f, 0.2f},     {2, 1, 1, 0.2f},        {3, 0.7f, 0.7f, 0.7f},
      {4, 0.8f, 0, 0},     {5, 1, 1, 0},           {6, 0.3f, 0.3f, 0.3f},  {7, 0.2f, 0, 0},
      {8, 1, 0.8f, 0.2f},  {9, 0.1f, 0.1f, 0.1f},  {10, 0, 0.8f, 0},       {13, 0, 0.4f, 0},
      {15, 0.4f, 0.4f, 1}, {17, 0, 0, 0.6f},       {18, 0.9f, 0.9f, 0.9f}, {19, 0.8f, 0.1f, 0.1f},
      {20, 0.9f, 0.9f, 1}, {21, 0.9f, 0.9f, 0.9f}, {22, 0.1f, 0.1f, 0.1f}, {24, 1, 1, 0},
      {26, 1, 1, 1},       {27, 1, 1, 1},          {28, 1, 1, 1},          {29, 1, 1, 0},
      {31, 1, 1, 1},       {32, 1, 1, 1},          {33, 1, 1, 1},          {49, 1, 1, 1},
      {50, 0.4f, 1, 0.4f}, {51, 1, 0.4f, 0.4f},    {52, 1, 1, 0.6f},       {53, 0.7f, 0.7f, 1},
      {54, 1, 0.5f, 0},    {55, 0.8f, 0.8f, 0.8f}, {56, 0, 1, 0},          {57, 1, 0.2f, 0.2f},
      {58, 1, 1, 0.2f},    {59, 0.4f, 0.4f, 1},    {60, 0.5f, 0.3f, 0},    {61, 0.5f, 0.5f, 0.5f},
      {62, 0, 0.6f, 0},    {63, 0.6f, 0.2f, 0},    {64, 1, 1, 0},          {65, 0.2f, 0.2f, 0.8f},
      {66, 1, 0.4f, 0},    {67, 0.2f, 0.2f, 0.2f}, {68, 0, 0.2f, 0},       {69, 1, 0, 0},
      {70, 0.6f, 0.6f, 0}, {71, 0.15f, 0.15f, 0.6f}, {72, 0.49f, 0.43f, 0.24f}, {74, 0, 0.1f, 0},
      {75, 1, 0.2f, 1},    {76, 1, 0, 1},          {77, 0, 1, 1},          {78, 0.44f, 0.53f, 0.54f},
      {85, 1, 0, 1},       {87, 1, 0, 1},          {88, 1, 1, 1},          {97, 0.5f, 0.5f, 0.4f},
      {98, 1, 0.3f, 0},    {99, 0.5f, 0.5f, 0.4f}, {100, 0.8f, 0.8f, 0.7f}, {101, 0, 0.6f, 0.2f},
      {102, 1, 1, 0.9f},   {105, 1, 1, 1},
  };
  for (const auto& d : defaults) assign(d.number, d.r, d.g, d.b);
}

void colr_class::assign(int number, float red, float green, float blue) {
  assert(number >= 0 && number < entry_count);
  if (number < 0 || number >= entry_count) return;
  rgb[number][0] = red;
  rgb[number][1] = green;
  rgb[number][2] = blue;
}

void colr_class::set_lites_for_interface() {
  for (float& c : rgb[105])
    if (!(c > 0.75f)) c = 0.75f;
}

void colr_class::spectrum_init(int type) {
  static const float stops[6][3] = {{1, 0, 0},   {1, 0.32f, 0.08f}, {1, 1, 0},
                                    {0, 1, 0},   {0, 0, 1},         {0.8f, 0, 0.8f}};
  if (type < 0 || type > 3) return;
  for (int i = 0; i < ramp_steps; ++i) {
    const float a = static_cast<float>(i) / ramp_steps;
    float* out = ramp[i];
    if (type == 0) {
      const int k = a < 0.2f ? 0 : a < 0.4f ? 1 : a < 0.6f ? 2 : a < 0.8f ? 3 : 4;
      const float f = (a - 0.2f * k) * 5;
      for (int c = 0; c < 3; ++c) out[c] = stops[k][c] * (1 - f) + stops[k + 1][c] * f;
    } else {
      out[0] = out[1] = out[2] = 0;
      out[type - 1] = a;
    }
  }
}

std::vector<colr_class::scale_point> colr_class::scale_points(float x, float y) const {
  std::vector<scale_point> points;
  const float lo = std::fmin(scale_min, scale_max), hi = std::fmax(scale_min, scale_max);
  for (int o = 0; o <= 996; o += 4) {
    float v = scale_min + (scale_max - scale_min) / 999 * static_cast<float>(o);
    v = std::fmin(std::fmax(v, lo), hi);
    // An empty range would divide by zero; the whole scale then shows the ramp's first step.
    const float at = scale_range != 0 ? (v - scale_min) / scale_range * ramp_steps : 0;
    const int step = at >= ramp_steps - 1 ? ramp_steps - 1 : at > 0 ? static_cast<int>(at) : 0;
    scale_point p{x, y + static_cast<float>(o), {ramp[step][0], ramp[step][1], ramp[step][2]}};
    points.push_back(p);
  }
  return points;
}

namespace {
colr_scale_drawer scale_drawer = nullptr;
}  // namespace

void set_colr_scale_drawer(colr_scale_drawer draw) { scale_drawer = draw; }

void colr_class::spectrum_plotscale(float x, float y, float minimum, float maximum, int decimals) {
  scale_min = minimum;
  scale_max = maximum;
  scale_range = maximum - minimum;
  if (scale_drawer) scale_drawer(x, y, minimum, maximum, decimals, scale_points(x, y));
}

const default_command default_commands[1] = {
    {"cmnd_nothing", "sim/-none-/-none-", "Do nothing at all!", 3, 0, 0},
};

cmnd_class::cmnd_class()
    : symbols{default_commands[0].symbol},
      paths{default_commands[0].path},
      descriptions{default_commands[0].description},
      types{default_commands[0].type},
      presses{0} {}

int cmnd_class::get_cmnd_by_name(const std::string& path) const {
  for (size_t i = 0; i < paths.size(); ++i)
    if (paths[i] == path) return static_cast<int>(i);
  return 0;
}

void cmnd_class::press_one(int number) {
  if (number >= 0 && static_cast<size_t>(number) < presses.size()) ++presses[number];
}

void cmnd_class::release_one(int number) {
  if (number >= 0 && static_cast<size_t>(number) < presses.size()) --presses[number];
}

void cmnd_class::single_press(int number) {
  press_one(number);
  release_one(number);
}

void cmnd_class::press_always(int /*number*/) {}

namespace {
int fp = 0;
}  // namespace

int get_plane_focus() { return fp; }
void set_plane_focus(int focus) { fp = focus; }

int cmnd_class::add_cmd(const std::string& path, const std::string& description) {
  int number = static_cast<int>(paths.size());
  symbols.push_back("DYNAMIC");
  paths.push_back(path);
  descriptions.push_back(description);
  types.push_back(2);
  presses.push_back(0);
  return number;
}

void cmnd_class::get_cmds_in_path(const std::string& prefix, std::vector<std::string>& out) const {
  out.clear();
  for (const std::string& path : paths) {
    if (path.size() <= prefix.size() || path.compare(0, prefix.size(), prefix) != 0) continue;
    size_t slash = path.find('/', prefix.size());
    out.push_back(slash == std::string::npos ? path.substr(prefix.size())
                                             : path.substr(prefix.size(), slash + 1 - prefix.size()));
  }
}
