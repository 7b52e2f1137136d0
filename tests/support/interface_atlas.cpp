#include "support/interface_atlas.h"

#include <png.h>

#include <cstring>
#include <vector>

#include "graphics/image_desc.h"
#include "graphics/texture_manager.h"
#include "platform/folders.h"
#include "runtime/shell_records.h"
#include "shell/keyboard.h"
#include "shell/widgets.h"

gl_picture read_png_bottom_up(const std::string& path) {
  gl_picture pic;
  png_image image;
  std::memset(&image, 0, sizeof image);
  image.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_file(&image, path.c_str())) return pic;
  image.format = PNG_FORMAT_RGBA;
  pic.width = static_cast<int>(image.width);
  pic.height = static_cast<int>(image.height);
  pic.rgba.resize(PNG_IMAGE_SIZE(image));
  // A negative stride turns the file's top-first rows into GL's bottom-first order.
  if (!png_image_finish_read(&image, nullptr, pic.rgba.data(), -static_cast<int>(PNG_IMAGE_ROW_STRIDE(image)),
                             nullptr))
    pic = gl_picture();
  return pic;
}

namespace {

// Entries 34 to 47 from the swatch pixels (column 319 and one at (395, 115)); 39 is the mean
// of 35 and 38.
void take_palette(const gl_picture& atlas) {
  auto take = [&](int entry, int s, int t) {
    const uint8_t* p = atlas.at(s, t);
    colr.assign(entry, p[0] / 255.0f, p[1] / 255.0f, p[2] / 255.0f);
  };
  const int rows[] = {155, 147, 139, 131, 123};
  for (int i = 0; i < 5; ++i) take(34 + i, 319, rows[i]);
  const int more[] = {115, 107, 99, 91};
  for (int i = 0; i < 4; ++i) take(40 + i, 319, more[i]);
  take(44, 395, 115);
  const int last[] = {83, 75, 67};
  for (int i = 0; i < 3; ++i) take(45 + i, 319, last[i]);
  for (int k = 0; k < 3; ++k) colr.rgb[39][k] = (colr.rgb[35][k] + colr.rgb[38][k]) / 2;
}

}  // namespace

bool load_interface_atlases() {
  const std::string folder = std::string(SKY_SOURCE_DIR) + "/resources/";
  const gl_picture atlas = read_png_bottom_up(folder + "interface.png");
  const gl_picture buttons = read_png_bottom_up(folder + "elements_English.png");
  if (atlas.width != 512 || buttons.width != 1024) return false;
  // The loads decode through the shared scratch buffer, which start-up provides.
  static std::vector<unsigned char> scratch(TEX_scratch_bytes);
  if (!scratch_array) scratch_array = scratch.data();
  if (tman.load_texture(4, 392, 0x702, 100, folder + "interface.png") != 392) return false;
  if (tman.load_texture(4, 395, 0x502, 100, folder + "elements_English.png") != 395) return false;
  take_palette(atlas);
  return true;
}


bool start_widgets_on_display(const std::string& resources_dir) {
  platform_set_executable_path(resources_dir + "/../skyrill-installer");
  if (!load_interface_atlases()) return false;
  key_delivery delivery;
  delivery.dispatch_to_focus = BTN_dispatch_to_focus;
  keys_set_delivery(delivery);
  return true;
}
