#include "shell/startup.h"

#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <ctime>

#include "files/preferences.h"
#include "graphics/image_desc.h"
#include "graphics/text_draw.h"
#include "install/modified_file_question.h"
#include "install/release_builder_display.h"
#include "platform/folders.h"
#include "platform/window_events.h"
#include "runtime/command_line.h"
#include "runtime/frame_clock.h"
#include "runtime/random_table.h"
#include "runtime/shell_records.h"
#include "runtime/shell_services.h"
#include "runtime/stack_dump.h"
#include "runtime/thread_layer.h"
#include "shell/alerts.h"
#include "shell/display.h"
#include "shell/display_preferences.h"
#include "shell/event_proc.h"
#include "shell/file_question.h"
#include "shell/file_browser.h"
#include "files/folder_listing.h"
#include "shell/frame_input.h"
#include "shell/frame_parts.h"
#include "shell/log.h"
#include "shell/menus.h"
#include "shell/shell_globals.h"
#include "shell/translation.h"
#include "shell/widgets.h"

int g_mon_x_res_now = 0, g_mon_y_res_now = 0;
const char* const maker_web_address = "www.skyrill.example";

namespace {

shell_display* display = shell_window_display();

// What MACIBM_setres keeps from its first call.
struct first_display {
  bool taken = false;
  int width = 0, height = 0, depth = 0;
  int change_depth = 0;
} first;

int show_init_calls = 0;


int samples_for_level(int level) {
  return level > 3 ? 16 : level > 2 ? 8 : level > 1 ? 4 : level > 0 ? 2 : 0;
}
int level_for_samples(int samples) {
  return samples >= 16 ? 4 : samples >= 8 ? 3 : samples >= 4 ? 2 : samples >= 2 ? 1 : 0;
}

void fill_random_table() {
  std::srand(1);
  for (float& r : randrat) r = static_cast<float>(std::rand() * (1.0 / 2147483648.0) * 0.9999);
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  const unsigned seed = static_cast<unsigned>(now.tv_sec * 1000000 + now.tv_nsec / 1000);
  std::srand(seed);
  for (unsigned i = 0; i < seed % 1000; ++i) (void)std::rand();
}

}  // namespace

shell_display* shell_display_in_use() { return display; }
void shell_set_display(shell_display* d) { display = d ? d : shell_window_display(); }

void shell_startup_reset() {
  first = first_display();
  show_init_calls = 0;
}

bool MACIBM_fps_test() { return cmdline.has_option("--fps_test") != 0; }

std::string MACIBM_app_folder() { return platform_app_folder(); }

void shell_install_hooks() {
  shell_hooks hooks;
  hooks.alert = shell_alert;
  hooks.finishup = shell_finishup;
  hooks.translate = translate_lookup;
  hooks.open_url = shell_go_to_URL;
  install_shell_hooks(hooks);
  xtim_set_frame_hook(shell_frame_tick);
  set_builder_display(shell_builder_draw_progress, shell_builder_poll_key_q);
  set_modified_file_question(shell_select_alert);
  in_window_file_dialog = shell_in_window_file_dialog;
  graphics_widget_hooks widgets;
  widgets.expand_label = BTN_expand_label;
  widgets.frame1 = BTN_frame1;
  widgets.draw_label = [](float x, float y, int type, std::string text, int lit) {
    BTN_util_draw_label(x, y, type, text, lit);
  };
  install_graphics_widget_hooks(widgets);
  pref_bind_display_io(shell_display_preferences_io);
}

std::string MACIBM_drop_last_component(const std::string& path) {
  std::string p = path;
  if (p.size() > 1 && p.back() == '/') p.pop_back();
  const size_t slash = p.rfind('/');
  return slash == std::string::npos ? std::string() : p.substr(0, slash + 1);
}

void MACIBM_set_app_path(std::string& out, int flag) {
  // There is no bundle: the running executable stands for it, so its folder is the folder
  // that holds the application.
  std::string path = flag ? platform_bundle_path() : platform_executable_path();
  if (path.size() > 2047) path.resize(2047);
  out = flag ? path : MACIBM_drop_last_component(path);
}

void MACIBM_init_without_window(int argc, char** argv) {
  shell_install_hooks();
  UTL_debug_init();
  window_init_events();
  window_flush_events();
  window_arrow_cursor();

  // The header's folder line stays empty: relative paths resolve against the current folder,
  // which becomes the application's.
  MACIBM_set_app_path(app_path, 0);
  const std::string folder = app_path;
  app_path.clear();
  if (!folder.empty() && chdir(folder.c_str()) != 0) {
    // The current folder stays as it was.
  }
  diagnostics_folder = MACIBM_diagnostics_folder(folder);
  MACIBM_open_log(diagnostics_folder);
  xer << "Log folder: '" << diagnostics_folder << "'\n";
  xer.flush();

  // The sine and cosine tables of the graphics layer are filled when the program loads.
  fill_random_table();

  // Every option is echoed to the log; the printing options end the program here, before any
  // thread starts.
  cmdline.init_unix(argc, argv);
  THREAD_init();

  mnw.req_width = 800;
  mnw.req_height = 600;
  mnw.req_depth = 32;
  mnw.tex_res = 5;
  mnw.aa_level_wanted = 0;
  mnw.language = -1;
  if (frame_parts.default_language) mnw.language = frame_parts.default_language();
}

void MACIBM_init(int argc, char** argv) {
  MACIBM_init_without_window(argc, argv);
  MACIBM_setres(1);
  if (!MACIBM_make_context(0))
    __MACIBM_alert(0,
                   "I could not set up the graphics for Skyrill! I hope your monitor is at 1024x768 "
                   "or higher! It must be!",
                   "You do not meet the system requirements or you do not have OpenGL drivers or "
                   "you entered a bad resolution in Skyrill!",
                   "You need at least 256 meg of RAM, 16 meg of VRAM, and OpenGl drivers for your "
                   "3-D accelerator card!",
                   "If you reset the resolution, you can try launching Skyrill again, since I am "
                   "resetting Skyrill to default resolution now.",
                   t_exit, "hl_init", 1586);

  if (frame_parts.pix_specs) frame_parts.pix_specs(0);
  if (frame_parts.init_extensions) frame_parts.init_extensions();
  THREAD_make_workers();

  if (frame_parts.load_texture) {
    frame_parts.load_texture(396, 0x502, "RESOURCE:map.png");
    frame_parts.load_texture(397, 0x501, "RESOURCE:background.png");
    frame_parts.load_texture(392, 0x702, "RESOURCE:interface.png");
  }
  MACIBM_take_interface_palette();

  MACIBM_clear_menus(1);
  MACIBM_startwind(-1);
  if (frame_parts.pix_specs) frame_parts.pix_specs(0);
  ogl_inited = 1;

  MACIBM_pick_language();
  MACIBM_setupforlang();
  MACIBM_show_init("Will init plugins.", nullptr);
  MACIBM_show_init("Starting application.", nullptr);
}

void MACIBM_pick_language() {
  const std::vector<int> offered =
      frame_parts.languages ? frame_parts.languages() : std::vector<int>{0};
  if (std::find(offered.begin(), offered.end(), mnw.language) == offered.end())
    mnw.language = offered.size() == 1 ? offered[0] : -1;
  if (mnw.language < 0) {
    mnw.language = 0;
    __MACIBM_alert(-1, "-", "-", "-", "-", t_lang, "hl_init", 1669);
  }
}

void MACIBM_take_interface_palette() {
  if (!frame_parts.scratch_pixel) return;
  static const struct {
    int entry, column, row;
  } swatches[] = {
      {34, 319, 155}, {35, 319, 147}, {36, 319, 139}, {37, 319, 131}, {38, 319, 123},
      {40, 319, 115}, {41, 319, 107}, {42, 319, 99},  {43, 319, 91},  {45, 319, 83},
      {46, 319, 75},  {47, 319, 67},  {44, 395, 115},
  };
  for (const auto& s : swatches) {
    unsigned char p[4];
    if (!frame_parts.scratch_pixel(s.column, s.row, p)) return;
    colr.assign(s.entry, p[0] / 255.0f, p[1] / 255.0f, p[2] / 255.0f);
  }
  colr.assign(39, (colr.rgb[35][0] + colr.rgb[38][0]) / 2, (colr.rgb[35][1] + colr.rgb[38][1]) / 2,
              (colr.rgb[35][2] + colr.rgb[38][2]) / 2);
}

int MACIBM_setres(int set) {
  mnw.draw_w = mnw.req_width;
  mnw.draw_h = mnw.req_height;
  mnw.depth = mnw.req_depth;
  int change = mnw.change_depth;

  int width = 0, height = 0, depth = 0;
  const bool known = display && display->desktop_mode(&width, &height, &depth);
  g_mon_x_res_now = width;
  g_mon_y_res_now = height;
  if (mnw.fit_to_screen) {
    mnw.req_width = mnw.draw_w = width - 40;
    mnw.req_height = mnw.draw_h = height - 60;
  }
  const bool first_call = !first.taken;
  if (first_call) {
    first.taken = true;
    first.width = width;
    first.height = height;
    first.depth = depth;
  }
  if (width < 1024 || height < 768) change = 1;
  if (first_call) first.change_depth = change;

  int target;
  if (set) {
    if (!change) return mnw.req_depth;
    target = mnw.req_depth;
  } else {
    target = first.depth;
    if (!first.change_depth) return target;
  }
  if (depth == target || !known) return target;
  // X11 cannot switch the depth of a running display: the program draws at the one it has.
  xer << "Display depth " << depth << " left alone; wanted " << target << "\n";
  xer.flush();
  return target;
}

int MACIBM_make_context(int index) {
  // One window only: the two-window mode is never on.
  if (index != 0 || !display) return 0;
  int width = 0, height = 0, depth = 0;
  display->desktop_mode(&width, &height, &depth);
  // Framed at (0, 40) when the size plus 20 is less than the display's, else frameless over it
  // (window_place also takes exactly 20 to spare as fitting).
  const bool windowed = mnw.req_width + 20 < width && mnw.req_height + 20 < height;
  std::string problem;
  if (!display->open_window(0, windowed ? 40 : 0, mnw.req_width, mnw.req_height, !windowed,
                            samples_for_level(mnw.aa_level_wanted), &problem)) {
    xer << "Window and OpenGL context: " << problem << "\n";
    xer.flush();
    return 0;
  }
  mnw.windows[0] = display->window_handle();
  mnw.contexts[0] = display->context_handle();
  int w = 0, h = 0;
  display->drawable_size(&w, &h);
  if (w > 0 && h > 0) {
    mnw.draw_w = w;
    mnw.draw_h = h;
  }

  const shell_pixel_format f = display->pixel_format();
  mnw.aa_level_obtained = level_for_samples(f.samples);
  xer << "AGL_RGBA         : " << f.rgba << "\n";
  xer << "AGL_DOUBLEBUFFER : " << f.double_buffer << "\n";
  xer << "AGL_RED_SIZE     : " << f.red << "\n";
  xer << "AGL_GREEN_SIZE   : " << f.green << "\n";
  xer << "AGL_BLUE_SIZE    : " << f.blue << "\n";
  xer << "AGL_ALPHA_SIZE   : " << f.alpha << "\n";
  xer << "AGL_DEPTH_SIZE   : " << f.depth << "\n";
  const long vram = display->video_memory_mb();
  if (vram >= 0) xer << "VRAM             : " << vram << "\n";
  xer.flush();

  if (const int t = display->init_entry_points())
    __MACIBM_alert(0, "Could not open OpenGL framework", "", "Error=" + std::to_string(t), "",
                   t_exit, "hl_init", 736);
  if (cmdline.has_option("--use_threaded_ogl")) {
    // Linux has no multithreaded GL engine to switch on; the switch reports success.
    xer << "Enabling threaded OGL - got " << 0 << "\n";
  }
  // A software renderer is accepted: Mesa's llvmpipe draws this interface easily.
  display->starting_gl_state(mnw.aa_level_obtained > 0);
  return 1;
}

void MACIBM_nuke_context(int index) {
  if (index != 0 || !display) return;
  display->close_window();
  mnw.windows[0] = mnw.contexts[0] = nullptr;
}

void* MACIBM_make_context_loader() {
  void* context = display && mnw.windows[0] ? display->make_shared_context() : nullptr;
  if (!context) xer << "We could not create a context for our worker threads.\n";
  return context;
}

int MACIBM_set_context_loader(void* context) {
  return display && display->make_current(context) ? 1 : 0;
}

float MACIBM_show_init_fraction(const float* fraction) {
  const float f = fraction ? *fraction : show_init_calls++ / 100.0f;
  return std::clamp(f, 0.02f, 1.0f);
}

void MACIBM_show_init(const std::string& text, const float* fraction) {
  const float f = MACIBM_show_init_fraction(fraction);
  if (!plot_init_lights) return;
  const float left = mnw.side_margin;
  if (frame_parts.plot_back_col) frame_parts.plot_back_col();
  if (frame_parts.frame2) frame_parts.frame2(15, left + 10, 31, 460, 200, "");
  if (frame_parts.draw_string)
    frame_parts.draw_string(49, left + 22, 210, maker_web_address, 440, 0);
  // The bar runs from left + 8 to left + 1016.
  if (frame_parts.frame1) {
    frame_parts.frame1(4, left + 8 + 504, 15, 1008, 0);
    frame_parts.frame1(5, left + 8 + 504 * f, 15, 1008 * f, 0);
  }
  if (frame_parts.draw_string) frame_parts.draw_string(61, left + 22, 60, text, 440, 0);
  if (frame_parts.swap_buffers) frame_parts.swap_buffers();
}

std::string MACIBM_lang_text_path(int language) {
  std::string path = "Resources/text/" +
                     (frame_parts.language_folder ? frame_parts.language_folder(language) : "") +
                     "Installer.txt";
  path.insert(path.size() - 4, "2");
  return path;
}

void MACIBM_setupforlang() {
  if (mnw.language != 0) {
    if (frame_parts.translate_load)
      frame_parts.translate_load(mnw.language, MACIBM_lang_text_path(mnw.language));
  } else if (frame_parts.translate_clear) {
    frame_parts.translate_clear();
  }
}

void IBM_turnoff() {}

void MACIBM_finishup_shell(int save) {
  if (save) {
    // The key bindings are neither read nor written: there is no key-binding file.
    if (!MACIBM_fps_test()) pref.IO_set(11, 1);
    if (THREAD_is_inited()) THREAD_shutdown();
  }
  MACIBM_setres(0);
  MACIBM_nuke_context(0);
  xer.close();
  window_flush_events();
}

void shell_finishup(int save) { MACIBM_finishup_shell(save); }
