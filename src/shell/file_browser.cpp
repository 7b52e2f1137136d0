// The in-window file browser and its list widget.
//
// The list's box spans x to x + width and y - height/2 to y + height/2; it shows 2 x rows + 1
// rows 10 units apart around the centre entry, rows = int(height / 20) - 1. Its keyboard focus
// takes the arrows and printable characters; a printable character extends the type-ahead search
// (a new search after a pause of more than a second).
#include "shell/file_browser.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <strings.h>

#include "files/folder_listing.h"
#include "files/mapped_file.h"
#include "graphics/texture_manager.h"
#include "runtime/threads.h"
#include "runtime/frame_clock.h"
#include "runtime/shell_records.h"
#include "runtime/shell_services.h"
#include "shell/modal_screen.h"
#include "shell/shell_globals.h"
#include "shell/translation.h"
#include "shell/value_widgets.h"
#include "shell/widget_drawing.h"
#include "shell/widgets.h"

namespace {

const char* const kFile = "shell/file_browser.cpp";
constexpr int kAtlas = 392;
constexpr int kMaxItems = 299;

bool printable(int code_point) {
  if (code_point < 32 || code_point == 127) return false;
  if (code_point >= 0x80 && code_point < 0xA0) return false;
  return code_point <= 0x10FFFF && !(code_point >= 0xD800 && code_point <= 0xDFFF);
}

void fill(int colour, float alpha, float x, float y, float w, float h) {
  if (shell_screen().fillrect) shell_screen().fillrect(colour, alpha, x, y, w, h);
}

// The folder part of a path: up to and including its last '/', a single trailing '/' skipped.
std::string folder_of(const std::string& path) {
  if (path.empty()) return "";
  size_t end = path.size();
  if (path.back() == '/') --end;
  if (end == 0) return "";
  const size_t slash = path.rfind('/', end - 1);
  return slash == std::string::npos ? "" : path.substr(0, slash + 1);
}

std::string last_component(const std::string& path) {
  std::string p = path;
  if (!p.empty() && p.back() == '/') p.pop_back();
  const size_t slash = p.rfind('/');
  return slash == std::string::npos ? p : p.substr(slash + 1);
}

// The type-ahead state and the list's own key queue.
std::string type_ahead;
float last_type_ahead = -100;
int current_list_id = 0;
int char_slot[64], vkey_slot[64], flag_slot[64], id_slot[64], ctr_slot = 0;

}  // namespace

std::string opensave_default_folder(int type) {
  switch (type) {
    case 9: return "Output/situations/";
    case 10: return "Output/movies/";
    case 11: return "Output/FMS plans/";
    case 13: return "Output/track builder/tracks/";
    case 14: return "Output/track builder/cars/";
    case 15: return "Resources/space builder/spaceships/";
    case 16: return "Resources/space builder/regions/";
    case 20:
    case 21: return "sim/";
    default: return "";
  }
}

std::string opensave_extension(int type) {
  static const char* const ext[22] = {"",     "",     ".BMP", ".ACF", ".AFL", ".WPN", ".WAV", ".OBJ",
                                      "",     ".SIT", ".SMO", ".FMS", "",     ".TRA", ".CAR", ".SPA",
                                      ".REG", "",     ".HGT", ".TXT", "",     ""};
  return type >= 0 && type <= 21 ? ext[type] : "";
}

std::string opensave_start_folder(const std::string& path, int type) {
  if (path.empty()) return opensave_default_folder(type);
  return folder_of(path);
}

std::string opensave_save_name(const std::string& typed, int type) {
  // Only a type with an extension of its own replaces the typed one: for the others the typed
  // extension is the only one the file gets.
  const std::string extension = opensave_extension(type);
  std::string name = typed;
  if (!extension.empty() && name.size() > 4 && name[name.size() - 4] == '.') name.resize(name.size() - 4);
  return name + extension;
}

std::string opensave_ancestor_items(const std::string& folder, std::vector<std::string>* paths) {
  std::string items = UTL_translate_string("Nimbrel folder");
  for (char& c : items)
    if (c == '-' || c == '|') c = ' ';
  if (paths) paths->assign(1, "");
  size_t start = 0;
  int count = 1;
  while (start < folder.size() && count < kMaxItems) {
    const size_t slash = folder.find('/', start);
    const size_t end = slash == std::string::npos ? folder.size() : slash;
    std::string part = folder.substr(start, end - start);
    for (char& c : part)
      if (c == '-' || c == '|') c = ' ';
    items += "-" + part;
    if (paths) paths->push_back(folder.substr(0, slash == std::string::npos ? folder.size() : slash + 1));
    ++count;
    if (slash == std::string::npos) break;
    start = slash + 1;
  }
  return items;
}

bool opensave_icon_cell(int type, int* u0, int* u1) {
  static const int table[][3] = {{1, 34, 46},    {3, 48, 60},    {4, 62, 74},    {5, 90, 102},
                                 {9, 104, 116},  {10, 118, 130}, {11, 132, 144}, {7, 146, 158}};
  for (const auto& row : table) {
    if (row[0] == type) {
      *u0 = row[1];
      *u1 = row[2];
      return true;
    }
  }
  return false;
}

int list_search(const std::string& text, int first, int last, list_name_fn names, void* context) {
  for (int i = first; i <= last; ++i) {
    const std::string name = names(i, context);
    if (name.size() >= text.size() && strncasecmp(name.c_str(), text.c_str(), text.size()) == 0) return i;
  }
  return -1;
}

int io_preview_reads = 0;

bool io_preview_has_extension(const std::string& path, const char* extension) {
  const size_t n = strlen(extension);
  return path.size() >= n && strcasecmp(path.c_str() + path.size() - n, extension) == 0;
}

std::string io_preview_icon_name(const std::string& path) {
  std::string base = path;
  if (base.size() > 4 && base[base.size() - 4] == '.') base.resize(base.size() - 4);
  return base + "_icon.png";
}

int io_preview_read_acf(const std::string& path, unsigned char block[io_acf_block_size]) {
  static const int veh_versions[] = {700, 740, 8000, 810, 830, 840, 860, 900, 901, 902, 0};
  std::memset(block, 0, io_acf_block_size);
  ++io_preview_reads;
  xmap_class file(path);
  if (!file.mapped() || !file.check_file(xmap_binary, veh_versions, nullptr, nullptr)) return 0;
  // A short file gives what it has: the reader's own copy would end the program on it, and the
  // preview runs on whatever file the cursor passes over.
  const long have = std::min<long>(file.end - file.cursor, io_acf_block_size);
  if (have > 0) std::memcpy(block, file.cursor, static_cast<size_t>(have));
  return 1;
}

std::string io_preview_acf_text(const unsigned char block[io_acf_block_size], int offset) {
  if (offset < 0 || offset >= io_acf_block_size) return "";
  const unsigned char* start = block + offset;
  const void* nul = std::memchr(start, 0, static_cast<size_t>(io_acf_block_size - offset));
  const size_t length = nul ? static_cast<const unsigned char*>(nul) - start : io_acf_block_size - offset;
  return std::string(reinterpret_cast<const char*>(start), length);
}

std::string io_preview_read_fdr(const std::string& path) {
  static const int versions[] = {1, 0};
  ++io_preview_reads;
  xmap_class file(path);
  if (!file.mapped() || file.check_file(xmap_text, versions, nullptr, nullptr) != 1) return "";
  const char* p = file.cursor;
  const char* end = file.end;
  auto blank = [](char c) { return c == ' ' || c == '\t'; };
  auto line_end = [](char c) { return c == 0 || c == '\n' || c == '\r'; };
  while (p < end) {
    while (p < end && blank(*p)) ++p;
    const char* key = p;
    while (p < end && *p != ',' && !line_end(*p)) ++p;
    const std::string k(key, p);
    if (p < end) ++p;
    while (p < end && blank(*p)) ++p;
    const char* value = p;
    while (p < end && !line_end(*p)) ++p;
    if (strcasecmp(k.c_str(), "COMM") == 0) return std::string(value, p);
    while (p < end && (line_end(*p) || blank(*p))) ++p;
  }
  return "";
}

void stand_io_dialog(int screen, int kind, const std::string& path) {
  static std::string old_path;
  static std::string comment;
  static unsigned char top_of_veh[io_acf_block_size];
  static int has_tex = 0;
  if (shell_screen().plot_back_col) shell_screen().plot_back_col();
  BTN_fillwin(1, 21);
  BTN_frame2(15, 10, 300, io_dx, 120, "");
  if (screen != 998) return;
  if (kind == 3 || kind == 8 || kind == 20) {
    BTN_frame2(15, 331, 70, 220, 220, "");
    BTN_frame2(15, 331, 300, 220, 120, "");
  }
  widget_draw_calls& draw = widget_drawing();
  if (kind == 3 && io_preview_has_extension(path, ".acf")) {
    if (path != old_path) {
      io_preview_read_acf(path, top_of_veh);
      has_tex = tman.load_texture(0, 410, 0x511, 100, io_preview_icon_name(path)) != 0;
    }
    float y = 405;
    for (int offset : {1552, 1052, 2052, 1012}) y = draw.text(47, 341, y, io_preview_acf_text(top_of_veh, offset), 200, 0) - 10;
    if (has_tex) {
      UTL_critical_section_lock(&tman.lock);
      float s = 1, t = 1;
      if (tman.ref_dat.size() > 410 && tman.ref_dat[410].tex_w > 0 && tman.ref_dat[410].tex_h > 0) {
        s = tman.ref_dat[410].image_w / tman.ref_dat[410].tex_w;
        t = tman.ref_dat[410].image_h / tman.ref_dat[410].tex_h;
      }
      UTL_critical_section_unlock(&tman.lock);
      const float corners[4][4] = {{341, 80, 0, 0}, {341, 280, 0, t}, {541, 280, s, t}, {541, 80, s, 0}};
      draw.quad_2d(410, 49, 1, corners);
    }
  }
  if (kind == 8 && io_preview_has_extension(path, ".fdr")) {
    if (path != old_path) comment = io_preview_read_fdr(path);
    if (!comment.empty()) draw.text(47, 341, 270, comment, 200, 0);
  }
  old_path = path;
}

int BTN_list_and_search(int id, float x, float y, float width, float height, int* centre, int* selected, int first,
                        int last, std::string* edit, const std::string& edit_label, list_name_fn names,
                        void* names_context, list_name_fn second, void* second_context, list_type_fn types,
                        void* types_context) {
  if (width <= 0) width = io_dx;
  if (height <= 0) height = io_dy;
  x = std::round(x);
  y = std::round(y);
  const float bottom = y - height / 2, top = y + height / 2;
  const int rows = static_cast<int>(height / 20) - 1;
  const int list_id = BTN_focus_id_at(x, y);
  widget_draw_calls& draw = widget_drawing();
  const bool menu = draw.menu_open && draw.menu_open();
  const bool inside = mnw.mouse_x >= x && mnw.mouse_x <= x + width && mnw.mouse_y >= bottom && mnw.mouse_y <= top;
  const int focused = BTN_register_focus(list_id, char_slot, vkey_slot, flag_slot, id_slot, &ctr_slot, 64, 0x1F0,
                                         !menu && mnw.mouse_down && inside);
  if (focused && list_id != current_list_id) {
    type_ahead.clear();
    current_list_id = list_id;
  }
  auto into_view = [&] {
    if (*selected > *centre + rows) *centre = *selected - rows;
    if (*selected < *centre - rows) *centre = *selected + rows;
  };
  int kept = 0;
  for (int i = 0; i < ctr_slot; ++i) {
    if (id_slot[i] != list_id) {
      char_slot[kept] = char_slot[i];
      vkey_slot[kept] = vkey_slot[i];
      flag_slot[kept] = flag_slot[i];
      id_slot[kept] = id_slot[i];
      ++kept;
      continue;
    }
    if (flag_slot[i] & 0x10) continue;
    if (vkey_slot[i] == 40) {
      ++*selected;
      into_view();
    } else if (vkey_slot[i] == 38) {
      --*selected;
      into_view();
    } else if (printable(char_slot[i]) && last >= first) {
      // A code point, kept whole as UTF-8 in the search text.
      if (xtim.elapsed - last_type_ahead > 1.0f) type_ahead.clear();
      char bytes[4];
      type_ahead.append(bytes, BTN_utf8_encode(char_slot[i], bytes));
      last_type_ahead = xtim.elapsed;
      const int found = list_search(type_ahead, first, last, names, names_context);
      if (found >= 0) {
        *selected = found;
        into_view();
      }
    }
  }
  ctr_slot = kept;

  if (edit) BTN_enterstring(x + 35, y - 131, edit, 36, edit_label, 252, 1);
  if (last < first) return 0;
  BTN_frame2(16, x, bottom, width, height, "");
  if (first < last) BTN_vert_slider(id, x + width + 16, bottom, top, first, last, centre);

  int result = 0;
  if (!menu && inside) {
    if (mnw.wheel) {
      *centre -= mnw.wheel;
      mnw.wheel = 0;
    }
  }
  *centre = std::clamp(*centre, first, last);
  if (!menu && inside && mnw.mouse_down) {
    *selected = *centre - static_cast<int>(std::round((mnw.mouse_y - y) / 10));
    if (mnw.mouse_double) result = 1;
  }
  *selected = std::clamp(*selected, first, last);

  for (int i = -rows; i <= rows; ++i) {
    const int entry = *centre + i;
    if (entry < first || entry > last) continue;
    const float row_y = y - 10 * i;
    draw.text(45, x + 20, row_y - 3, names(entry, names_context), 0, 0);
    if (second) draw.text(45, x + 242, row_y - 3, second(entry, second_context), 0, 0);
    int u0, u1;
    if (types && opensave_icon_cell(types(entry, types_context), &u0, &u1))
      BTN_util_element(x + 10, row_y, (u0 + u1) / 2.0f, 88, 6, 6, 0);
    if (entry == *selected) fill(12, 0.25f, x + 18, row_y - 5, width - 22, 10);
  }
  if (focused) {
    fill(45, 1, x, bottom, width, 1);
    fill(45, 1, x, top - 1, width, 1);
    fill(45, 1, x, bottom, 1, height);
    fill(45, 1, x + width - 1, bottom, 1, height);
  }
  return result;
}

int BTN_opensave(int screen, int type, std::string* path) {
  if (screen != 998 && screen != 999)
    __MACIBM_alert(0, "Bad open_save arg to BTN_opensave!", "", "", "", t_exit, kFile, __LINE__);
  if (type < 0 || type > 21)
    __MACIBM_alert(0, "Bad file_type arg to BTN_opensave!", "", "", "", t_exit, kFile, __LINE__);
  if (screen != 998 && screen != 999) return 0;
  if (type < 0 || type > 21) return 0;
  shell_screen_calls& frame = shell_screen();
  if (!frame.startwind || !frame.event_proc) return 0;

  static int level = 0;
  std::string folder = opensave_start_folder(*path, type);
  std::vector<std::string> names;
  std::vector<int> flags;
  auto relist = [&] { return std::max(0, opensave_getitems(folder, type, names, flags)); };
  int count = relist();
  int selected = count / 2, centre = count / 2;
  const int previous = mnw.topwi;
  frame.startwind(screen);
  // The widgets of the screen below are not drawn here: none of them keeps the keyboard, so
  // that the name field of the Save screen can take it.
  BTN_unfocus_any();
  const bool saving = screen == 999;
  std::string name;
  const std::string cancel = UTL_translate_string("Cancel");
  const std::string action = UTL_translate_string(saving ? "Save" : "Open");
  const std::string file_label = UTL_translate_string("File:");

  while (mnw.topwi == screen && !app_done) {
    const bool valid = selected >= 0 && selected < count;
    stand_io_dialog(screen, type, folder + (valid ? names[selected] : std::string("-")));
    count = relist();
    selected = std::clamp(selected, 0, std::max(0, count - 1));
    centre = std::clamp(centre, 0, std::max(0, count - 1));
    const int double_click =
        BTN_list_and_search(0, 10, 180, 0, 0, &centre, &selected, 0, count - 1, saving ? &name : nullptr,
                            file_label, BTN_name_from_vector, &names, nullptr, nullptr, BTN_type_from_vector, &flags);
    std::vector<std::string> item_paths;
    const std::string items = opensave_ancestor_items(folder, &item_paths);
    for (size_t k = 1; k < item_paths.size(); ++k) {
      const float cy = 405 - 10.0f * (k - 1);
      widget_drawing().text(47, 435 - cy, cy, last_component(item_paths[k]), 0, 0);
    }
    level = 0;
    for (size_t k = 0; k < item_paths.size(); ++k)
      if (item_paths[k] == folder) level = static_cast<int>(k);
    const int chosen_level = level;
    const int pressed = BTN_action(saving ? 282 : 280, 18, 0, 0, 1, action, "-");
    const int cancelled = BTN_action(33, 18, 0, 0, 1, cancel, "-");
    if (cancelled || escape_hit) {
      escape_hit = 0;
      frame.startwind(previous);
      return 0;
    }
    if (BTN_textlist(150, 434, &level, items, "") && level != chosen_level && level >= 0 &&
        level < static_cast<int>(item_paths.size())) {
      folder = item_paths[level];
      count = relist();
      selected = centre = count / 2;
    } else if (saving && (return_hit || pressed) && !name.empty()) {
      return_hit = 0;
      *path = folder + opensave_save_name(name, type);
      frame.startwind(previous);
      return 1;
    } else if (!double_click && !(return_hit && !saving) && !pressed) {
      if (delete_hit && !folder.empty()) {
        folder = folder_of(folder);
        count = relist();
        selected = centre = count / 2;
      }
    } else {
      return_hit = 0;
      const bool valid_now = selected >= 0 && selected < count;
      if (valid_now && flags[selected] == 1) {
        folder += names[selected] + "/";
        count = relist();
        selected = centre = count / 2;
      } else if (!saving && valid_now) {
        // The double press is used up: the screen below must not take it as its own click.
        mnw.mouse_down = mnw.mouse_double = 0;
        *path = folder + names[selected];
        frame.startwind(previous);
        return 1;
      }
    }
    frame.event_proc();
  }
  return 0;
}

int BTN_select_path_stl(float x, float y, int screen, int type, std::string* path, int max_length,
                        const std::string& label, float width, int take_focus) {
  if (screen != 998 && screen != 999)
    __MACIBM_alert(0, "Bad open_save arg to BTN_select_file_stl!", "", "", "", t_exit, kFile, __LINE__);
  if (type < 0 || type > 21)
    __MACIBM_alert(0, "Bad file_type arg to BTN_select_file_stl!", "", "", "", t_exit, kFile, __LINE__);
  if (screen != 998 && screen != 999) return 0;
  if (type < 0 || type > 21) return 0;
  std::string left, right, help;
  BTN_expand_label(label, &left, &right, &help);
  BTN_util_draw_label(x - 32, y, 0, left, 0);
  BTN_util_draw_label(x + width + 6, y, 2, right, 0);
  BTN_util_element(x - 17, y + 3, 221, 146, 13, 13, 0);
  std::string shown = (type == 20 || type == 21) ? *path : last_component(*path);
  if (BTN_enterstring(x, y, &shown, max_length, "", width, take_focus)) *path = shown;
  if (mnw.mouse_x >= x - 28 && mnw.mouse_x <= x - 6 && mnw.mouse_y >= y - 8 && mnw.mouse_y <= y + 12) {
    widget_drawing().set_help(help);
    if (mnw.mouse_down) {
      mnw.mouse_down = 0;
      BTN_opensave(screen, type, path);
      return 1;
    }
  }
  return 0;
}

namespace {

// Stores text in a buffer of max_length bytes when it fits (and stays under the toolkit's
// 500-character bound for buffers); otherwise keeps the buffer and tells the user.
void store_in_buffer(const std::string& text, char* buffer, int max_length) {
  if (static_cast<int>(text.size()) < max_length && text.size() < 500) {
    std::memcpy(buffer, text.c_str(), text.size() + 1);
    return;
  }
  __MACIBM_alert(0, "The path you chose is too long for this field.", "The field keeps its previous path.", text, "",
                 t_alert, kFile, __LINE__);
}

bool valid_picker(int screen, int type, int line) {
  if (screen != 998 && screen != 999)
    __MACIBM_alert(0, "Bad open_save arg to BTN_select_file_chr!", "", "", "", t_exit, kFile, line);
  else if (type < 0 || type > 21)
    __MACIBM_alert(0, "Bad file_type arg to BTN_select_file_chr!", "", "", "", t_exit, kFile, line);
  else
    return true;
  return false;
}

}  // namespace

int BTN_select_path_chr(float x, float y, int screen, int type, char* buffer, int max_length,
                        const std::string& label, float width, int take_focus) {
  if (!valid_picker(screen, type, __LINE__) || max_length <= 0) return 0;
  std::string text = buffer;
  const int opened = BTN_select_path_stl(x, y, screen, type, &text, max_length, label, width, take_focus);
  if (text != buffer) store_in_buffer(text, buffer, max_length);
  return opened;
}

int BTN_select_file_chr(float x, float y, int screen, int type, char* name, std::string* path, int max_length,
                        const std::string& label, float width) {
  if (!valid_picker(screen, type, __LINE__) || max_length <= 0) return 0;
  std::string full = folder_of(*path) + name;
  if (!BTN_select_path_stl(x, y, screen, type, &full, max_length, label, width, 1)) return 0;
  const std::string chosen = last_component(full);
  if (static_cast<int>(chosen.size()) < max_length && chosen.size() < 500) *path = full;
  store_in_buffer(chosen, name, max_length);
  return 1;
}

int shell_in_window_file_dialog(int kind, const std::string& start_folder, std::string& io_path) {
  if (kind < 0 || kind > 2) return 0;
  // The browser's paths are relative to app_path: the root for the while, so that any folder
  // can be reached.
  const std::string saved_app = app_path;
  app_path = "/";
  std::string path;
  if (!start_folder.empty() && start_folder[0] == '/') {
    path = start_folder.substr(1);
    if (!path.empty() && path.back() != '/') path += '/';
    path += ".";  // a name in the start folder: the browser opens on that folder
  }
  const int chosen = BTN_opensave(kind == 0 ? 998 : 999, 0, &path);
  app_path = saved_app;
  if (!chosen) return 0;
  io_path = "/" + path;
  return 1;
}
