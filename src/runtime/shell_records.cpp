#include "runtime/shell_records.h"

#include <cstring>

mnw_struct mnw;
colr_class colr;
cmnd_class cmnd;

colr_class::colr_class() {
  std::memset(rgb, 0, sizeof rgb);
  pulse = 0;
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
  rgb[number][0] = red;
  rgb[number][1] = green;
  rgb[number][2] = blue;
}

cmnd_class::cmnd_class()
    : symbols{"cmnd_nothing"},
      paths{"sim/-none-/-none-"},
      descriptions{"Do nothing at all!"},
      types{3},
      presses{0} {}

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
