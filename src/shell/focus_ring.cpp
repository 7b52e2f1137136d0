// The keyboard focus ring. Immediate-mode widgets keep nothing between frames but their
// position, so the ring is rebuilt every frame: each widget that takes typed keys registers
// while it draws, and the next frame's keys are offered to the ring before anything else.
#include <cctype>

#include "runtime/shell_records.h"
#include "shell/widgets.h"

std::vector<focus_info_t> focus_ring;
int focus_id = 0;
int wind_focus = 0;
float io_dx = 290.0f;
float io_dy = 220.0f;
float io_cx = 155.0f;
float io_cy = 0.0f;

namespace {

constexpr int kTab = 9;
constexpr int kShift = 0x1;
constexpr int kKeyUp = 0x10;
constexpr int kAlertScreen = 994;

const focus_info_t* find_entry(int id) {
  for (const focus_info_t& entry : focus_ring)
    if (entry.id == id) return &entry;
  return nullptr;
}

// Keys queued for a widget that was not drawn in the last frame would wait for ever and be
// handed later to any widget that comes to sit at the same place; they are dropped before the
// queue takes a new key, and the count shrinks with them.
void drop_stale_entries(const focus_info_t& entry) {
  int kept = 0;
  for (int i = 0; i < *entry.count && i < entry.capacity; ++i) {
    const int owner = entry.owner_queue[i];
    if (owner == 0 || !find_entry(owner)) continue;
    entry.char_queue[kept] = entry.char_queue[i];
    entry.vkey_queue[kept] = entry.vkey_queue[i];
    entry.flag_queue[kept] = entry.flag_queue[i];
    entry.owner_queue[kept] = owner;
    ++kept;
  }
  *entry.count = kept;
}

}  // namespace

int BTN_key_class(int character, int vkey) {
  switch (vkey) {
    case 9:
      return focus_tab;
    case 13:
    case 187:
    case 188:  // keypad Enter answers like Return
      return focus_return;
    case 8:
    case 46:
      return focus_delete;
    case 27:
      return focus_escape;
    default:
      break;
  }
  if (vkey >= 33 && vkey <= 40) return focus_arrows;
  if (character > 127) return focus_printable;
  if (character < 0) return focus_control;
  const unsigned char c = static_cast<unsigned char>(character);
  if (std::isalpha(c)) return focus_letters;
  if (std::isdigit(c)) return focus_digits;
  if (c == '+' || c == '-') return focus_signs;
  if (std::isprint(c)) return focus_printable;
  return focus_control;
}

void BTN_begin_focus_ring() {
  focus_ring.clear();
  wind_focus = 0;
}

int BTN_register_focus(int id, int* char_queue, int* vkey_queue, int* flag_queue, int* owner_queue,
                       int* count, int capacity, int accept_mask, int take_focus) {
  focus_ring.push_back({id, char_queue, vkey_queue, flag_queue, owner_queue, count, capacity, accept_mask});
  if (take_focus) focus_id = id;
  return focus_id == id ? 1 : 0;
}

int BTN_dispatch_to_focus(int character, int vkey, int flags) {
  if (mnw.topwi == kAlertScreen) return 0;
  const focus_info_t* entry = focus_id ? find_entry(focus_id) : nullptr;
  if (!entry) {
    // Nothing holds the focus, or the widget that held it was not drawn: Tab starts the ring.
    focus_id = 0;
    if (vkey != kTab || (flags & kKeyUp) || focus_ring.empty()) return 0;
    focus_id = focus_ring.front().id;
    return 1;
  }
  const int kind = BTN_key_class(character, vkey);
  if (kind == focus_tab && !(entry->accept_mask & focus_tab)) {
    if (flags & kKeyUp) return 0;
    const int n = static_cast<int>(focus_ring.size());
    const int at = static_cast<int>(entry - focus_ring.data());
    const int next = (flags & kShift) ? (at + n - 1) % n : (at + 1) % n;
    focus_id = focus_ring[static_cast<size_t>(next)].id;
    return 1;
  }
  if (!(entry->accept_mask & kind)) return 0;
  drop_stale_entries(*entry);
  const int at = *entry->count < 0 ? 0 : *entry->count;
  // A full queue (more keys in one frame than the widget can take) drops the key; it is still
  // the focused widget's key, so nothing else may act on it.
  if (at >= entry->capacity) return 1;
  entry->char_queue[at] = character;
  entry->vkey_queue[at] = vkey;
  entry->flag_queue[at] = flags;
  entry->owner_queue[at] = focus_id;
  *entry->count = at + 1;
  return 1;
}

void BTN_unfocus_any() { focus_id = 0; }

void BTN_focus_any() { focus_id = focus_ring.empty() ? 0 : focus_ring.front().id; }

void BTN_window_has_focus() { wind_focus = 1; }

int BTN_no_focus_yet() { return wind_focus == 0 && focus_id == 0 ? 1 : 0; }

std::string BTN_name_from_vector(int index, void* list) {
  return (*static_cast<std::vector<std::string>*>(list))[static_cast<size_t>(index)];
}

int BTN_type_from_vector(int index, void* list) {
  return (*static_cast<std::vector<int>*>(list))[static_cast<size_t>(index)];
}
