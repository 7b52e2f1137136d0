// Draws the interface pictures the program loads from its Resources folder: the interface atlas,
// the per-language button atlases and the background tile. The pictures are drawn from the slot
// map in tools/interface_slots.txt, so that they and the drawing code agree on every texel.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace interface_art {

struct slot {
  std::string atlas;  // "interface" or "elements"
  std::string name;
  std::string kind;
  int s0 = 0, t0 = 0, s1 = 0, t1 = 0;  // texels, t up from the bottom; s1/t1 excluded
};

// An RGBA picture, 8 bits a channel, top row first (as a PNG file holds it).
struct picture {
  int width = 0, height = 0;
  std::vector<uint8_t> rgba;
};

// Reads the slot map; throws std::runtime_error naming the line on a malformed line.
std::vector<slot> read_slots(const std::string& path);

// The button atlas slots of one language (0 English, 1 French, 2 German): one per bottom-bar
// button and band, cut at the edges the wizard uses.
std::vector<slot> button_slots(int language);

// The first pair of slots of one atlas that share a texel, as "a / b"; empty when none do.
std::string first_overlap(const std::vector<slot>& slots, const std::string& atlas);

// The pictures. Fonts are TrueType files (regular and bold). Throws std::runtime_error.
picture draw_interface(const std::vector<slot>& slots);
picture draw_elements(const std::vector<slot>& slots, int language, const std::string& bold_font);
picture draw_background();

// PNG without gamma or colour-space chunks, so the pixels load unchanged.
void write_png(const std::string& path, const picture& p);
picture read_png(const std::string& path);

}  // namespace interface_art
