#include "platform/dialogs.h"

#include <SDL2/SDL.h>

#include <atomic>
#include <cstdio>

namespace {

std::atomic<platform_alert_box_fn> replacement{nullptr};

void show_native(const std::string& message, const std::string& explanation) {
  std::string text = message + "\n\n" + explanation;
  if (SDL_ShowSimpleMessageBox(SDL_MESSAGEBOX_ERROR, "", text.c_str(), nullptr) == 0) return;
  std::fprintf(stderr, "%s\n", message.c_str());
  if (!explanation.empty()) std::fprintf(stderr, "%s\n", explanation.c_str());
  std::fflush(stderr);
}

}  // namespace

std::string platform_cut_utf8(const std::string& text, size_t max_bytes) {
  if (text.size() <= max_bytes) return text;
  size_t cut = max_bytes;
  // Step back over continuation bytes so the cut lands before a sequence's lead byte.
  while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80) --cut;
  return text.substr(0, cut);
}

void platform_alert_box(const std::string& message, const std::string& explanation) {
  const std::string m = platform_cut_utf8(message, 499);
  const std::string e = platform_cut_utf8(explanation, 499);
  if (platform_alert_box_fn show = replacement.load()) {
    show(m, e);
    return;
  }
  show_native(m, e);
}

void platform_set_alert_box(platform_alert_box_fn show) { replacement.store(show); }
