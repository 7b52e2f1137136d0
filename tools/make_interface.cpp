// Draws the interface pictures into a folder:
//   make_interface <slot map> <bold font> <output folder>
// writes interface.png, elements_English.png, elements_French.png, elements_German.png and
// background.png. The committed copies in resources/ are this program's output.
#include <cstdio>
#include <exception>
#include <stdexcept>
#include <string>

#include "interface_art.h"

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: make_interface <slot map> <bold font> <output folder>\n");
    return 2;
  }
  try {
    using namespace interface_art;
    const std::vector<slot> slots = read_slots(argv[1]);
    for (const char* atlas : {"interface", "elements"}) {
      const std::string clash = first_overlap(slots, atlas);
      if (!clash.empty()) throw std::runtime_error(std::string("slots overlap: ") + clash);
    }
    const std::string out = std::string(argv[3]) + "/";
    write_png(out + "interface.png", draw_interface(slots));
    const char* languages[3] = {"English", "French", "German"};
    for (int language = 0; language < 3; ++language)
      write_png(out + "elements_" + languages[language] + ".png", draw_elements(slots, language, argv[2]));
    write_png(out + "background.png", draw_background());
  } catch (const std::exception& e) {
    std::fprintf(stderr, "make_interface: %s\n", e.what());
    return 1;
  }
  return 0;
}
