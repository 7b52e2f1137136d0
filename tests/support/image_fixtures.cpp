#include "support/image_fixtures.h"

#include <cstring>
#include <fstream>

#include "support/process.h"
#include "support/temp_tree.h"

rgba_picture test_picture(int width, int height, int seed, bool with_alpha) {
  rgba_picture p;
  p.width = width;
  p.height = height;
  p.rgba.resize(size_t(width) * height * 4);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      unsigned char* px = p.at(x, y);
      px[0] = static_cast<unsigned char>((x * 37 + y * 11 + seed * 5) & 255);
      px[1] = static_cast<unsigned char>((y * 53 + x * 7 + seed * 29) & 255);
      px[2] = static_cast<unsigned char>((x * y * 13 + seed * 71) & 255);
      px[3] = with_alpha ? static_cast<unsigned char>((x * 29 + y * 91 + seed) & 255) : 255;
    }
  }
  return p;
}

bool convert_picture(const rgba_picture& picture, const std::string& out_path,
                     const std::vector<std::string>& extra_args, const std::string& out_prefix) {
  const std::string raw = out_path + ".raw-rgba";
  write_whole_file(raw, std::string(reinterpret_cast<const char*>(picture.rgba.data()), picture.rgba.size()));
  std::vector<std::string> argv = {"convert", "-size", std::to_string(picture.width) + "x" + std::to_string(picture.height),
                                   "-depth", "8", "rgba:" + raw,
                                   "-define", "png:exclude-chunk=gAMA,cHRM,sRGB,iCCP,bKGD,tIME,tEXt,zTXt,date,pHYs,vpAg,oFFs"};
  argv.insert(argv.end(), extra_args.begin(), extra_args.end());
  argv.push_back(out_prefix + out_path);
  const process_result r = run_process(argv);
  std::remove(raw.c_str());
  return r.exit_code == 0 && path_exists(out_path);
}

rgba_picture convert_decode(const std::string& path) {
  rgba_picture p;
  const process_result size = run_process({"identify", "-format", "%w %h", path + "[0]"});
  if (size.exit_code != 0) return p;
  int w = 0, h = 0;
  if (sscanf(size.out.c_str(), "%d %d", &w, &h) != 2) return p;
  const process_result r = run_process({"convert", path + "[0]", "-depth", "8", "rgba:-"});
  if (r.exit_code != 0 || r.out.size() != size_t(w) * h * 4) return p;
  p.width = w;
  p.height = h;
  p.rgba.assign(r.out.begin(), r.out.end());
  return p;
}

heap_mapping::heap_mapping(const std::string& bytes) : copy_(new char[bytes.size()]) {
  if (!bytes.empty()) std::memcpy(copy_, bytes.data(), bytes.size());
  map_.begin = map_.cursor = copy_;
  map_.end = copy_ + bytes.size();
}

heap_mapping::~heap_mapping() {
  // The view is not a mapping: the reader must not try to unmap it.
  map_.begin = map_.cursor = map_.end = nullptr;
  delete[] copy_;
}

bool have_imagemagick() {
  static const bool present = run_process({"convert", "-list", "format"}).out.find("DDS") != std::string::npos;
  return present;
}
