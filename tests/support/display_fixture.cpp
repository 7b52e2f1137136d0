#include "support/display_fixture.h"

#include <GL/gl.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <dlfcn.h>
#include <fcntl.h>
#include <png.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/window.h"

// Mesa's llvmpipe JIT and the X client libraries keep allocations for the life of the process;
// LeakSanitizer would report them at exit of every drawing test.
extern "C" const char* __lsan_default_suppressions() {
  return "leak:libLLVM\n"
         "leak:swrast_dri\n"
         "leak:libgallium\n"
         "leak:libGLX_mesa\n"
         "leak:libGLX\n"
         "leak:libGL.so\n"
         "leak:libglapi\n"
         "leak:libX11\n"
         "leak:libxcb\n"
         "leak:libSDL2\n"
         "leak:libdbus\n";
}

namespace {

// The Xvfb this process started, and the process that started it (a forked death-test child
// shares the variables but must not stop the server).
pid_t g_xvfb_pid = 0;
pid_t g_owner_pid = 0;

// Tells children which display is our private one, so they use it instead of starting another.
const char* const kInheritedDisplay = "SKY_TEST_XVFB_DISPLAY";

void stop_xvfb() {
  if (g_xvfb_pid <= 0 || getpid() != g_owner_pid) return;
  window_close();
  kill(g_xvfb_pid, SIGTERM);
  int status = 0;
  while (waitpid(g_xvfb_pid, &status, 0) < 0 && errno == EINTR) {
  }
  g_xvfb_pid = 0;
}

bool start_xvfb(std::string* problem) {
  int fds[2];
  if (pipe2(fds, O_CLOEXEC) != 0) {
    if (problem) *problem = std::string("pipe: ") + std::strerror(errno);
    return false;
  }
  const pid_t parent = getpid();
  char fd_text[16];
  std::snprintf(fd_text, sizeof fd_text, "%d", fds[1]);
  pid_t pid = fork();
  if (pid < 0) {
    if (problem) *problem = std::string("fork: ") + std::strerror(errno);
    close(fds[0]);
    close(fds[1]);
    return false;
  }
  if (pid == 0) {
    // The server goes with the test process, however that ends.
    prctl(PR_SET_PDEATHSIG, SIGTERM);
    if (getppid() != parent) _exit(127);
    fcntl(fds[1], F_SETFD, 0);
    int null_fd = open("/dev/null", O_RDWR);
    if (null_fd >= 0) {
      dup2(null_fd, 0);
      dup2(null_fd, 1);
      dup2(null_fd, 2);
    }
    execlp("Xvfb", "Xvfb", "-displayfd", fd_text, "-screen", "0", "1280x1024x24", "-nolisten",
           "tcp", "-noreset", static_cast<char*>(nullptr));
    _exit(127);
  }
  close(fds[1]);

  // Xvfb writes the display number it took once it accepts connections.
  std::string number;
  bool done = false;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (!done) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) break;
    pollfd p{fds[0], POLLIN, 0};
    int r = poll(&p, 1, static_cast<int>(left.count()));
    if (r < 0 && errno == EINTR) continue;
    if (r <= 0) break;
    char buf[32];
    ssize_t n = read(fds[0], buf, sizeof buf);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    for (ssize_t i = 0; i < n; ++i) {
      if (buf[i] == '\n') done = true;
      else number += buf[i];
    }
  }
  close(fds[0]);
  if (!done || number.empty()) {
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
    if (problem) *problem = "Xvfb did not start (is the xvfb package installed?)";
    return false;
  }
  g_xvfb_pid = pid;
  g_owner_pid = parent;
  std::atexit(stop_xvfb);
  const std::string display = ":" + number;
  setenv("DISPLAY", display.c_str(), 1);
  setenv(kInheritedDisplay, display.c_str(), 1);
  return true;
}

}  // namespace

bool test_display(std::string* problem) {
  setenv("LIBGL_ALWAYS_SOFTWARE", "1", 1);
  setenv("SDL_VIDEODRIVER", "x11", 1);
  if (g_xvfb_pid > 0) return true;
  if (const char* inherited = std::getenv(kInheritedDisplay)) {
    setenv("DISPLAY", inherited, 1);
    return true;
  }
  return start_xvfb(problem);
}

bool open_test_window(int width, int height, std::string* problem, bool visible) {
  if (!test_display(problem)) return false;
  window_close();
  window_request request;
  request.title = "test";
  request.width = width;
  request.height = height;
  request.place.x = 0;
  request.place.y = 0;
  request.hidden = !visible;
  if (!window_open(request, problem)) return false;
  window_set_swap_interval(0);
  glViewport(0, 0, width, height);
  return true;
}

void close_test_window() { window_close(); }

int gl_picture::count(uint32_t rgb_colour) const {
  int n = 0;
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x)
      if (rgb(x, y) == rgb_colour) ++n;
  return n;
}

bool gl_picture::bounds(uint32_t rgb_colour, int* x0, int* y0, int* x1, int* y1) const {
  bool any = false;
  int lx = width, ly = height, hx = -1, hy = -1;
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x)
      if (rgb(x, y) == rgb_colour) {
        any = true;
        if (x < lx) lx = x;
        if (y < ly) ly = y;
        if (x > hx) hx = x;
        if (y > hy) hy = y;
      }
  if (any) {
    *x0 = lx;
    *y0 = ly;
    *x1 = hx;
    *y1 = hy;
  }
  return any;
}

gl_picture read_back_buffer(int x, int y, int width, int height) {
  gl_picture p;
  if (width <= 0 || height <= 0) {
    x = 0;
    y = 0;
    window_drawable_size(&width, &height);
  }
  p.width = width;
  p.height = height;
  p.rgba.assign(static_cast<size_t>(width) * height * 4, 0);
  glFinish();
  GLint old_alignment = 4;
  glGetIntegerv(GL_PACK_ALIGNMENT, &old_alignment);
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glReadBuffer(GL_BACK);
  glReadPixels(x, y, width, height, GL_RGBA, GL_UNSIGNED_BYTE, p.rgba.data());
  glPixelStorei(GL_PACK_ALIGNMENT, old_alignment);
  return p;
}

gl_picture read_screen(int x, int y, int width, int height) {
  gl_picture p;
  // Xlib is loaded at run time: SDL loads it the same way, and the tests link no X library.
  void* lib = dlopen("libX11.so.6", RTLD_NOW | RTLD_LOCAL);
  if (!lib) return p;
  auto open_display = reinterpret_cast<Display* (*)(const char*)>(dlsym(lib, "XOpenDisplay"));
  auto close_display = reinterpret_cast<int (*)(Display*)>(dlsym(lib, "XCloseDisplay"));
  auto get_image = reinterpret_cast<XImage* (*)(Display*, Drawable, int, int, unsigned, unsigned, unsigned long, int)>(
      dlsym(lib, "XGetImage"));
  auto sync = reinterpret_cast<int (*)(Display*, Bool)>(dlsym(lib, "XSync"));
  Display* d = open_display && close_display && get_image && sync ? open_display(nullptr) : nullptr;
  if (d) {
    sync(d, False);
    const int screen_h = DisplayHeight(d, DefaultScreen(d));
    XImage* img = get_image(d, RootWindow(d, DefaultScreen(d)), x, screen_h - y - height, width, height, AllPlanes,
                            ZPixmap);
    if (img) {
      p.width = width;
      p.height = height;
      p.rgba.assign(static_cast<size_t>(width) * height * 4, 255);
      for (int row = 0; row < height; ++row)
        for (int col = 0; col < width; ++col) {
          const unsigned long v = XGetPixel(img, col, height - 1 - row);
          uint8_t* q = &p.rgba[(static_cast<size_t>(row) * width + col) * 4];
          q[0] = static_cast<uint8_t>((v & img->red_mask) >> 16);
          q[1] = static_cast<uint8_t>((v & img->green_mask) >> 8);
          q[2] = static_cast<uint8_t>(v & img->blue_mask);
        }
      XDestroyImage(img);
    }
    close_display(d);
  }
  dlclose(lib);
  return p;
}

bool write_png(const std::string& path, const gl_picture& picture) {
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return false;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png ? png_create_info_struct(png) : nullptr;
  if (!png || !info) {
    png_destroy_write_struct(&png, nullptr);
    std::fclose(f);
    return false;
  }
  std::vector<png_bytep> rows(picture.height);
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    std::fclose(f);
    return false;
  }
  png_init_io(png, f);
  png_set_IHDR(png, info, picture.width, picture.height, 8, PNG_COLOR_TYPE_RGB_ALPHA,
               PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  for (int r = 0; r < picture.height; ++r)
    rows[r] = const_cast<png_bytep>(picture.at(0, picture.height - 1 - r));
  png_set_rows(png, info, rows.data());
  png_write_png(png, info, PNG_TRANSFORM_IDENTITY, nullptr);
  png_destroy_write_struct(&png, &info);
  return std::fclose(f) == 0;
}

bool read_png(const std::string& path, gl_picture* picture) {
  png_image image;
  std::memset(&image, 0, sizeof image);
  image.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_file(&image, path.c_str())) return false;
  image.format = PNG_FORMAT_RGBA;
  std::vector<uint8_t> top_first(PNG_IMAGE_SIZE(image));
  if (!png_image_finish_read(&image, nullptr, top_first.data(), 0, nullptr)) {
    png_image_free(&image);
    return false;
  }
  picture->width = static_cast<int>(image.width);
  picture->height = static_cast<int>(image.height);
  picture->rgba.resize(top_first.size());
  const size_t row = static_cast<size_t>(picture->width) * 4;
  for (int r = 0; r < picture->height; ++r)
    std::memcpy(&picture->rgba[r * row], &top_first[(picture->height - 1 - r) * row], row);
  return true;
}

::testing::AssertionResult matches_golden(const gl_picture& picture, const std::string& golden_path, int tolerance,
                                          int allowed) {
  gl_picture golden;
  const char* update = std::getenv("SKY_UPDATE_GOLDEN");
  if ((update && std::strcmp(update, "1") == 0) || !read_png(golden_path, &golden)) {
    if (!write_png(golden_path, picture)) return ::testing::AssertionFailure() << "cannot write " << golden_path;
    return ::testing::AssertionFailure() << "wrote the golden " << golden_path << "; look at it, then commit it";
  }
  if (golden.width != picture.width || golden.height != picture.height)
    return ::testing::AssertionFailure() << "size " << picture.width << "x" << picture.height << ", golden "
                                         << golden.width << "x" << golden.height;
  int bad = 0, first_x = -1, first_y = -1;
  for (int y = 0; y < picture.height; ++y)
    for (int x = 0; x < picture.width; ++x) {
      const uint8_t* a = picture.at(x, y);
      const uint8_t* b = golden.at(x, y);
      for (int c = 0; c < 3; ++c)
        if (std::abs(a[c] - b[c]) > tolerance) {
          if (bad++ == 0) first_x = x, first_y = y;
          break;
        }
    }
  if (bad > allowed)
    return ::testing::AssertionFailure() << bad << " pixels differ from " << golden_path << " (first at " << first_x
                                         << ", " << first_y << ")";
  return ::testing::AssertionSuccess();
}

std::string save_screenshot(const std::string& name) {
  const std::string folder = std::string(SKY_BINARY_DIR) + "/screenshots";
  mkdir(folder.c_str(), 0755);
  const std::string path = folder + "/" + name + ".png";
  return write_png(path, read_back_buffer()) ? path : std::string();
}

void gl_display_test::SetUpTestSuite() {
  std::string problem;
  ASSERT_TRUE(open_test_window(1024, 768, &problem)) << problem;
}

void gl_display_test::TearDownTestSuite() { close_test_window(); }

void gl_display_test::SetUp() {
  ASSERT_TRUE(window_is_open());
  glClearColor(0, 0, 0, 1);
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
}
