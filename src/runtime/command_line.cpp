#include "runtime/command_line.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "runtime/shell_records.h"
#include "runtime/shell_services.h"

UTL_cmdline cmdline;

namespace {

// The usage text describes the options of the whole simulator family, not only this program's;
// it is printed exactly as users and scripts have always seen it, spelling included.
const char* const usage_text =
    "Usage: Skyrill [options...]\n"
    "\n"
    "Skyrill can take a number of command-line flags, in the form of --flag or\n"
    "--flag=value.  OpenGL options are available for all Skyrill-related\n"
    "applications; the frame-rate test is only for Skyrill itself.  Here is a listof current flags:\n"
    "\n"
    "--help\n"
    "-h\n"
    "Prints this message listing all command-line options, then quits.\n"
    "\n"
    "--no_sound\n"
    "Runs without initializing sound - can help identify a problem with sound hardware.\n"
    "\n"
    "--lang=<lang code>\n"
    "Runs the sim in a specific language (if available) - this only takes effect if there\n"
    "is no pre-saved preference.  This bypasses the regular system-language detection.\n"
    "\n"
    "OPTIONS TO DISABLE HARDWARE ACCELERATION\n"
    "Normally Skyrill uses all available hardware capabilities to maximize framerate.\n"
    "These options force Skyrill not to use some aspects of hardware acceleration.\n"
    "This hurts framerate, but can sometimes allow you to work around driver bugs.\n"
    "--no_vbos\n"
    "This disables the use of vertex buffer objects, as defined by \n"
    "GL_ARB_vertex_buffer_object.  VBOs are used to accelerate all aspects of Skyrill\n"
    "drawing.\n"
    "--no_fbos\n"
    "Disable the use of framebuffer obects, even if the hardware supports them.\n"
    "--no_pbos\n"
    "Disable the use of pixelbuffer obects, even if the hardware supports them.\n"
    "--no_sprites\n"
    "This disables the use of point sprites, as defined by GL_ARB_point_sprite.\n"
    "Point sprites are used to accelerate runway lights, among other things.\n"
    "--no_pixel_counters\n"
    "This disables pixel counters, as defined by GL_ARB_occlusion_query.  Pixel\n"
    "counters are used to calculate sun glare, among other things.\n"
    "--no_aniso_filtering\n"
    "This disables anisotropic filtering of textures, as defined by\n"
    "GL_EXT_texture_filter_anisotropic.  Anisotropic filtering is used to make\n"
    "runways look better.\n"
    "--no_hw_mipmap\n"
    "This disables hardware accelerated mipmap-creation, as defined by\n"
    "GL_SGIS_generate_mipmap.  Skyrill will still use mipmapping, but it will\n"
    "create the mipmap images on the CPU instead of the GPU.\n"
    "--no_fshaders\n"
    "Disable the use of fragment shaders, even on hardware that reports having them.\n"
    "--no_vshaders\n"
    "Disable the use of vertex shaders, even on hardware that reports having them.\n"
    "--no_glsl\n"
    "Disable the use of GLSL, even on hardware theat supports it.\n"
    "--no_threaded_ogl\n"
    "Disable the use of OpenGL via multiple threads.\n"
    "\n"
    "OPTIONS TO ENABLE INCOMPATIBLE HARDWARE ACCELERATION\n"
    "Skyrill will in a few cases intentionally disable hardware acceleration\n"
    "to work around known driver compatibility bugs.  You can force Skyrill\n"
    "to use the feature anyway (if the card supports it) with these options,\n"
    "but they may cause the sim to crash.\n"
    "--use_vbos\n"
    "Forces the use of VBOs, even on drivers where we at one point found\n"
    "them to be unstable.\n"
    "--use_sprites\n"
    "Forces the use of point sprites, even on drivers where they cause bugs.\n"
    "--use_fshaders\n"
    "Force the use of fragment shaders, even if they would not normally be used.\n"
    "--use_vshaders\n"
    "Force the use of vertex shaders, even if they would not be used.\n"
    "--use_glsl\n"
    "Force the use of GLSL even on cards where we would avoid it due to driver compatibility "
    "problems.\n"
    "--force_run\n"
    "Skyrill will not run on a machine that does not appear to have some\n"
    "minimum requirements, like at least two texture units.  This will allow\n"
    "Skyrill to run no matter what the hardware looks like.  Please note that\n"
    "most of the time if Skyrill out-right refuses to run, it will probably\n"
    "crash later if --force_run is used.\n"
    "\n"
    "FRAMERATE TEST\n"
    "--fps_test=n\n"
    "This runs Skyrill in frame-rate test mode.  The number indicates a framerate\n"
    "test number, which is 3 digits indicating a combination of camera angle,\n"
    "scenery complexity, and weather settings.  Skyrill will run for 90 seconds\n"
    "and quit, outputting 3 framerates to the Log.txt file for panel view,\n"
    "no-panel view, and paused no-panel view.  This can be used to get repeatable\n"
    "performance measurements without changing preferences.  (The preferences\n"
    "file is ignored when the framerate test is in effect.)\n"
    "--require_fps=n\n"
    "When used after --fps_test this puts Skyrill into a pass-fail mode.  The\n"
    "sim will run only one 30 second test with the flight model paused.  The\n"
    "sim will then exit with 0 if the measured fps is higher than N or 1\n"
    "if the fps is lower.  This can be used to create a shell script that will\n"
    "automatically detect whether Skyrill performance is as expected.\n";

bool is_blank(char c) { return std::isspace(static_cast<unsigned char>(c)) != 0; }

}  // namespace

void UTL_cmdline::add_option(const std::string& name, const std::string& value) {
  if (count(name))
    xer << "WARNING: command line option " << name << "=" << value << "included twice.\n";
  (*this)[name] = value;
  xer << "     '" << name;
  if (!value.empty()) xer << "'='" << value;
  xer << "'\n";
}

void UTL_cmdline::parse_unix(int argc, const char** argv) {
  for (int i = 1; i < argc; ++i) {
    const char* arg = argv[i];
    const char* eq = std::strchr(arg, '=');
    if (eq)
      add_option(std::string(arg, eq), std::string(eq + 1));
    else
      add_option(arg, "");
  }
}

void UTL_cmdline::parse_win(const char* line) {
  const char* p = line ? line : "";
  while (*p) {
    while (*p && is_blank(*p)) ++p;
    if (!*p) break;
    const char* name_start = p;
    while (*p && *p != '=' && !is_blank(*p)) ++p;
    std::string name(name_start, p);
    std::string value;
    if (*p == '=') {
      const char* value_start = ++p;
      while (*p && !is_blank(*p)) ++p;
      value.assign(value_start, p);
    }
    if (!name.empty()) add_option(name, value);
  }
}

void UTL_cmdline::init_unix(int argc, const char** argv) {
  parse_unix(argc, argv);
  init_common();
}

void UTL_cmdline::init_win(const char* line) {
  parse_win(line);
  init_common();
}

int UTL_cmdline::init_common() {
  if (has_option("--cmnds")) {
    const std::string prefix = get_option("--cmnds");
    if (prefix == "all") {
      for (size_t i = 0; i < cmnd.paths.size(); ++i)
        std::printf("%-50s %s\n", cmnd.paths[i].c_str(), cmnd.descriptions[i].c_str());
    } else {
      std::vector<std::string> names;
      cmnd.get_cmds_in_path(prefix, names);
      std::sort(names.begin(), names.end());
      for (const std::string& n : names) std::printf("%s\n", n.c_str());
    }
    std::exit(0);
  }
  if (has_option("--version")) {
    std::printf("Skyrill Web Updater 2.04r1\n");
    std::exit(0);
  }
  if (has_option("-h") || has_option("--help")) {
    std::printf("%s\n", usage_text);
    std::exit(0);
  }
  return 0;
}

int UTL_cmdline::has_option(const char* name) const { return count(name) ? 1 : 0; }

std::string UTL_cmdline::get_option(const char* name) const {
  auto it = find(name);
  return it == end() ? std::string() : it->second;
}
