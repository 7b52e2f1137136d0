// Frame time of a wizard-sized page (800 x 600) of text and widgets, drawn 1000 times with
// swap interval 0, each frame cleared, drawn, swapped and finished (glFinish):
//   ours:  the program's toolkit: the window frame and two panels, a step list and a paragraph
//          of wrapped text through the font path, a text field, a scrolled list with 30 rows,
//          four check boxes, a number field and four push buttons
//   imgui: the same page with Dear ImGui (its OpenGL 2 back end, immediate-mode GL like ours):
//          same texts in the same face (DejaVu Sans at the same em size), same widgets
// Prints the mean, 99th percentile and longest frame; for ours also the GL state calls the
// caches let through per frame. With a picture path, one more frame is drawn after the timed
// ones and written there (PPM) to be looked at.
//   frame_bench [ours|imgui] [FRAMES] [PICTURE]   (default ours 1000; needs DISPLAY)
#include <GL/gl.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "graphics/draw_2d.h"
#include "graphics/gl_capabilities.h"
#include "graphics/gl_state.h"
#include "graphics/image_desc.h"
#include "graphics/texture_manager.h"
#include "platform/folders.h"
#include "platform/window.h"
#include "runtime/shell_records.h"
#include "shell/file_browser.h"
#include "shell/startup.h"
#include "shell/value_widgets.h"
#include "shell/widget_drawing.h"
#include "shell/widgets.h"

#ifdef FRAME_BENCH_IMGUI
#include <imgui.h>
#include <backends/imgui_impl_opengl2.h>
#endif

namespace {

constexpr int kWidth = 800, kHeight = 600;

long g_state_calls = 0;
const gl_state_calls* g_real = nullptr;

void count_bind(GLenum t, GLuint n) { ++g_state_calls, g_real->bind_texture(t, n); }
void count_env_i(GLenum t, GLenum p, GLint v) { ++g_state_calls, g_real->tex_env_i(t, p, v); }
void count_env_f(GLenum t, GLenum p, GLfloat v) { ++g_state_calls, g_real->tex_env_f(t, p, v); }
void count_env_fv(GLenum t, GLenum p, const GLfloat* v) { ++g_state_calls, g_real->tex_env_fv(t, p, v); }
void count_active(GLenum u) { ++g_state_calls, g_real->active_texture(u); }
void count_enable(GLenum c) { ++g_state_calls, g_real->enable(c); }
void count_disable(GLenum c) { ++g_state_calls, g_real->disable(c); }
void count_mask(GLboolean f) { ++g_state_calls, g_real->depth_mask(f); }

// The page's contents, the same for both.
const char* const kSteps[] = {"Welcome", "Pick Destination", "Search for Updates", "Check Disk Space",
                              "Install Updates", "Finish"};
const char* const kTitle = "Skyrill 9 Web Updater";
const char* const kParagraph =
    "I will guide you through the process of updating your copy of Skyrill 9 to the latest version. "
    "The updater compares every file of your copy with the release on the update server, downloads "
    "only the files that changed, and checks each one before it replaces the old file. You can stop "
    "at any time: what was already installed stays, and the next run goes on where this one ended. "
    "Make sure the disk that holds your copy has room for the new files before you go on.";
const char* const kChecks[] = {"Download with four streams", "Log installer actions",
                               "Check for new betas as well", "Keep the downloaded archives"};
const char* const kButtons[] = {"Quit", "Preferences", "Back", "Next"};
std::vector<std::string> list_rows() {
  std::vector<std::string> rows;
  for (int i = 0; i < 30; ++i) rows.push_back("Resources/scenery/tile " + std::to_string(i + 1) + ".zip");
  return rows;
}

// --- Ours.
std::string g_field = "/home/user/Skyrill 9/";
std::vector<std::string> g_rows = list_rows();
int g_checks[4] = {1, 0, 1, 0};
int g_streams = 4;
int g_centre = 0, g_selected = 3;

bool start_ours() {
  static std::vector<unsigned char> scratch(TEX_scratch_bytes);
  if (!scratch_array) scratch_array = scratch.data();
  OGL_pix_specs(0);
  OGL_nrml_colors();
  if (tman.load_texture(4, 392, 0x702, 100, "RESOURCE:interface.png") != 392) return false;
  MACIBM_take_interface_palette();
  colr.assign(103, 1, 1, 1);
  mnw.screen_w = kWidth;
  mnw.screen_h = kHeight;
  mnw.mouse_x = mnw.mouse_y = -100;
  mnw.open_menu = -1;

  g_real = &gl_state_default_calls();
  gl_state_calls& c = gl_state_dispatch();
  c.bind_texture = count_bind;
  c.tex_env_i = count_env_i;
  c.tex_env_f = count_env_f;
  c.tex_env_fv = count_env_fv;
  c.active_texture = count_active;
  c.enable = count_enable;
  c.disable = count_disable;
  c.depth_mask = count_mask;
  return true;
}

void draw_ours(int frame) {
  widget_draw_calls& draw = widget_drawing();
  OGL_plot_back_col();
  BTN_begin_focus_ring();
  BTN_fillwin(0, 21);
  float nx = 0, ny = 0;
  BTN_subwin(0, 13, 10, 50, 190, 490, "", &nx, &ny);
  BTN_subwin(0, 13, nx, 50, -1, 490, "", &nx, &ny);
  for (int i = 0; i < 6; ++i) draw.text(i == 0 ? 82 : 43, 30, 520 - 20.0f * i, kSteps[i], 9999, 0);
  draw.text(43, 500, 520, kTitle, 9999, 1);
  draw.text(43, 230, 480, kParagraph, 540, 0);
  BTN_enterstring(320, 390, &g_field, 200, "Install Location:", 440, 0);
  g_centre = frame % 18;
  BTN_list_and_search(1, 230, 250, 300, 220, &g_centre, &g_selected, 0, static_cast<int>(g_rows.size()) - 1, nullptr,
                      "", BTN_name_from_vector, &g_rows, nullptr, nullptr, nullptr, nullptr);
  for (int i = 0; i < 4; ++i) BTN_bool(560, 320 - 25.0f * i, &g_checks[i], std::string("|") + kChecks[i], 0);
  BTN_int_range(600, 190, &g_streams, 1, 1, 4, "Streams:");
  const float xs[] = {58, 140, 615, 720};
  for (int i = 0; i < 4; ++i) BTN_action(xs[i], 25, 0, 0, 0, kButtons[i], "-");
}

// --- Dear ImGui.
#ifdef FRAME_BENCH_IMGUI
char g_imgui_field[256] = "/home/user/Skyrill 9/";
bool g_imgui_checks[4] = {true, false, true, false};
int g_imgui_streams = 4;
int g_imgui_selected = 3;

bool start_imgui(const std::string& face) {
  IMGUI_CHECKVERSION();
  ImGui::CreateContext();
  ImGuiIO& io = ImGui::GetIO();
  io.IniFilename = nullptr;
  io.DisplaySize = ImVec2(kWidth, kHeight);
  // The same face at the same em size: ImGui's size is ascent minus descent, 1.164 em for
  // DejaVu Sans, and ours is 10.5 points at 72 dpi.
  if (!io.Fonts->AddFontFromFileTTF(face.c_str(), 10.5f * 1.164f)) return false;
  ImGui::StyleColorsLight();
  ImGui::GetStyle().ItemSpacing.y = 0;
  return ImGui_ImplOpenGL2_Init();
}

void draw_imgui(int frame) {
  ImGuiIO& io = ImGui::GetIO();
  io.DeltaTime = 1.0f / 60;
  ImGui_ImplOpenGL2_NewFrame();
  ImGui::NewFrame();
  ImGui::SetNextWindowPos(ImVec2(0, 0));
  ImGui::SetNextWindowSize(ImVec2(kWidth, kHeight));
  ImGui::Begin("page", nullptr, ImGuiWindowFlags_NoDecoration | ImGuiWindowFlags_NoMove);
  ImGui::SetCursorPos(ImVec2(10, 60));
  ImGui::BeginChild("steps", ImVec2(190, 490), true);
  for (int i = 0; i < 6; ++i) ImGui::TextUnformatted(kSteps[i]);
  ImGui::EndChild();
  ImGui::SetCursorPos(ImVec2(210, 60));
  ImGui::BeginChild("content", ImVec2(580, 490), true);
  ImGui::SetCursorPosX(220);
  ImGui::TextUnformatted(kTitle);
  ImGui::PushTextWrapPos(550);
  ImGui::TextUnformatted(kParagraph);
  ImGui::PopTextWrapPos();
  ImGui::SetNextItemWidth(440);
  ImGui::InputText("Install Location:", g_imgui_field, sizeof g_imgui_field);
  // As many rows in view as ours shows (21).
  ImGui::SetNextItemWidth(300);
  if (ImGui::BeginListBox("##list", ImVec2(300, 21 * ImGui::GetTextLineHeightWithSpacing() + 4))) {
    ImGui::SetScrollY(static_cast<float>(frame % 18) * ImGui::GetTextLineHeightWithSpacing());
    for (int i = 0; i < static_cast<int>(g_rows.size()); ++i)
      if (ImGui::Selectable(g_rows[i].c_str(), g_imgui_selected == i)) g_imgui_selected = i;
    ImGui::EndListBox();
  }
  for (int i = 0; i < 4; ++i) ImGui::Checkbox(kChecks[i], &g_imgui_checks[i]);
  ImGui::SetNextItemWidth(80);
  ImGui::InputInt("Streams:", &g_imgui_streams);
  ImGui::EndChild();
  ImGui::SetCursorPos(ImVec2(30, 565));
  for (int i = 0; i < 4; ++i) {
    if (i) ImGui::SameLine(i == 2 ? 580.0f : 0.0f);
    ImGui::Button(kButtons[i]);
  }
  ImGui::End();
  ImGui::Render();
  glViewport(0, 0, kWidth, kHeight);
  glClearColor(0.9f, 0.92f, 0.95f, 1);
  glClear(GL_COLOR_BUFFER_BIT);
  ImGui_ImplOpenGL2_RenderDrawData(ImGui::GetDrawData());
}
#endif

void write_picture(const std::string& path) {
  std::vector<unsigned char> px(static_cast<size_t>(kWidth) * kHeight * 3);
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glReadBuffer(GL_BACK);
  glReadPixels(0, 0, kWidth, kHeight, GL_RGB, GL_UNSIGNED_BYTE, px.data());
  FILE* out = std::fopen(path.c_str(), "wb");
  if (!out) return;
  std::fprintf(out, "P6\n%d %d\n255\n", kWidth, kHeight);
  for (int y = kHeight - 1; y >= 0; --y) std::fwrite(&px[static_cast<size_t>(y) * kWidth * 3], 1, kWidth * 3, out);
  std::fclose(out);
}

}  // namespace

int main(int argc, char** argv) {
  const std::string mode = argc > 1 ? argv[1] : "ours";
  const int frames = argc > 2 ? std::atoi(argv[2]) : 1000;
  const std::string picture = argc > 3 ? argv[3] : "";
  const bool imgui = mode == "imgui";
  if (!imgui && mode != "ours") {
    std::fprintf(stderr, "usage: frame_bench [ours|imgui] [FRAMES] [PICTURE]\n");
    return 2;
  }
#ifndef FRAME_BENCH_IMGUI
  if (imgui) {
    std::fprintf(stderr, "built without Dear ImGui (libimgui-dev)\n");
    return 2;
  }
#endif
  // The bundled faces and pictures are the build's Resources/ folder beside the program.
  platform_set_executable_path(SKY_BINARY_DIR "/src/skyrill-installer");
  window_request request;
  request.title = "frame bench";
  request.width = kWidth;
  request.height = kHeight;
  std::string problem;
  if (!window_open(request, &problem)) {
    std::fprintf(stderr, "no window: %s\n", problem.c_str());
    return 1;
  }
  window_set_swap_interval(0);
  OGL_extensions::init_entry_points();
  glExt.init_extensions();
  window_drawable_size(&mnw.draw_w, &mnw.draw_h);
  mnw.topwi = 0;
  bool started = false;
#ifdef FRAME_BENCH_IMGUI
  if (imgui) started = start_imgui(SKY_BINARY_DIR "/src/Resources/DejaVuSans.ttf");
#endif
  if (!imgui) started = start_ours();
  if (!started) {
    std::fprintf(stderr, "could not start the %s page\n", mode.c_str());
    return 1;
  }

  std::vector<double> ms;
  ms.reserve(frames);
  for (int f = 0; f < frames; ++f) {
    const auto start = std::chrono::steady_clock::now();
#ifdef FRAME_BENCH_IMGUI
    if (imgui) draw_imgui(f);
#endif
    if (!imgui) draw_ours(f);
    OGL_sbuff();
    glFinish();
    ms.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
  }
  if (!picture.empty()) {  // one more frame, not timed, read back before its swap
#ifdef FRAME_BENCH_IMGUI
    if (imgui) draw_imgui(frames);
#endif
    if (!imgui) draw_ours(frames);
    write_picture(picture);
  }
  if (frames > 0) {
    double sum = 0;
    for (double v : ms) sum += v;
    std::vector<double> sorted = ms;
    std::sort(sorted.begin(), sorted.end());
    const double p99 = sorted[std::min<size_t>(sorted.size() - 1, sorted.size() * 99 / 100)];
    std::printf("%s frames: %d  mean: %.3f ms  p99: %.3f ms  longest: %.3f ms", mode.c_str(), frames, sum / frames,
                p99, sorted.back());
    if (!imgui) std::printf("  GL state calls per frame: %.1f", static_cast<double>(g_state_calls) / frames);
    std::printf("\n");
  }
#ifdef FRAME_BENCH_IMGUI
  if (imgui) {
    ImGui_ImplOpenGL2_Shutdown();
    ImGui::DestroyContext();
  }
#endif
  window_close();
  return 0;
}
