#include "support/interface_atlas.h"

#include <GL/gl.h>
#include <png.h>

#include <cstring>

#include "runtime/shell_records.h"

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

void upload(int ref, const gl_picture& pic) {
  glBindTexture(GL_TEXTURE_2D, static_cast<GLuint>(ref));
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
  glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
  glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, pic.width, pic.height, 0, GL_RGBA, GL_UNSIGNED_BYTE, pic.rgba.data());
}

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
  upload(392, atlas);
  upload(395, buttons);
  take_palette(atlas);
  return true;
}
