// The capability detection: its rules against injected driver facts (version and extension
// strings, limits, a look-up that records what it was asked), the capability block in the log
// byte for byte, and real runs on Mesa under Xvfb with the driver's override variables.
#include "graphics/gl_capabilities.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "support/display_fixture.h"
#include "support/shell_double.h"
#include "support/temp_tree.h"

namespace {

// Driver facts as a test sets them. Every name is found unless listed as missing.
struct fake_facts : gl_driver_facts {
  std::string vendor = "Test Vendor";
  std::string renderer = "Test Renderer";
  std::string version = "2.1";
  std::string extensions;
  bool no_extensions = false;  // glGetString(GL_EXTENSIONS) gives null
  std::string glsl_version = "1.20";
  std::map<GLenum, GLint> ints = {{GL_MAX_TEXTURE_UNITS_ARB, 4}, {GL_MAX_TEXTURE_SIZE, 2048}};
  std::map<GLenum, GLfloat> floats_ = {{GL_MAX_TEXTURE_MAX_ANISOTROPY_EXT, 16.0f}};
  std::map<GLenum, GLint> fragment_limits;  // by program query name
  std::map<GLenum, GLint> vertex_limits;
  std::set<std::string> missing;
  std::vector<std::string> asked;
  int os = -1;  // -1: unavailable
  std::set<std::string> options;

  const char* string(GLenum name) override {
    switch (name) {
      case GL_VENDOR: return vendor.c_str();
      case GL_RENDERER: return renderer.c_str();
      case GL_VERSION: return version.c_str();
      case GL_EXTENSIONS: return no_extensions ? nullptr : extensions.c_str();
      case GL_SHADING_LANGUAGE_VERSION_ARB: return glsl_version.c_str();
    }
    return nullptr;
  }
  void integers(GLenum name, GLint* out) override {
    auto i = ints.find(name);
    if (i != ints.end()) *out = i->second;
  }
  void floats(GLenum name, GLfloat* out) override {
    if (name == GL_POINT_SIZE_RANGE) {
      out[0] = 1;
      out[1] = 64;
      return;
    }
    auto i = floats_.find(name);
    if (i != floats_.end()) *out = i->second;
  }
  void program_integer(GLenum target, GLenum name, GLint* out) override {
    auto& m = target == GL_FRAGMENT_PROGRAM_ARB ? fragment_limits : vertex_limits;
    auto i = m.find(name);
    if (i != m.end()) *out = i->second;
  }
  void* lookup(const char* name) override {
    asked.push_back(name);
    static char anything;
    return missing.count(name) ? nullptr : &anything;
  }
  bool os_version(int* bcd) override {
    if (os < 0) return false;
    *bcd = os;
    return true;
  }
  bool has_option(const char* name) override { return options.count(name) != 0; }

  bool was_asked(const std::string& name) const {
    for (const auto& a : asked)
      if (a == name) return true;
    return false;
  }
};

struct detection {
  OGL_extensions ext;
  render_settings settings{};
  std::string log;
  std::vector<recorded_alert> alerts;
};

detection detect(fake_facts& facts) {
  shell_double::reset();
  shell_double::reopen_log();
  detection d;
  d.settings.global_alpha = 1.0f;
  detect_capabilities(d.ext, d.settings, facts);
  d.log = shell_double::log_text();
  d.alerts = shell_double::alerts();
  return d;
}

bool log_has(const detection& d, const std::string& line) { return d.log.find(line) != std::string::npos; }

TEST(GlVersionCode, LeadingPairOrKnownPrefix) {
  const struct {
    const char* version;
    int code;
  } rows[] = {
      {"2.1 NVIDIA-1.5.36", 210}, {"1.5.3", 150}, {"4.5 (Compatibility Profile) Mesa 22.3.6", 450},
      {"OpenGL ES 2.0", 100},     {"1.0", 100},   {"", 100},
      {"3.10", 400},  // 100 x 3 + 10 x 10, as the rule reads
  };
  for (const auto& r : rows) EXPECT_EQ(gl_version_code(r.version), r.code) << r.version;
  EXPECT_EQ(gl_version_code(nullptr), 100);
}

TEST(GlExtensions, WholeEntriesOnly) {
  const char* list = "GL_ARB_fragment_program_shadow GL_ARB_texture_compression_rgtc GL_EXT_x";
  EXPECT_FALSE(gl_has_extension(list, "GL_ARB_fragment_program"));
  EXPECT_FALSE(gl_has_extension(list, "GL_ARB_texture_compression"));
  EXPECT_FALSE(gl_has_extension(list, "GL_EXT"));
  EXPECT_TRUE(gl_has_extension(list, "GL_EXT_x"));
  EXPECT_TRUE(gl_has_extension(list, "GL_ARB_fragment_program_shadow"));
  EXPECT_TRUE(gl_has_extension("A B C", "B"));
  EXPECT_FALSE(gl_has_extension(nullptr, "B"));
}

TEST(Capabilities, FlagsFromVersionAndExtensions) {
  {
    // A version with a driver build number: every version-gated flag, pbo included, without
    // looking at the (empty) extension list; the extension-only flags stay off.
    fake_facts f;
    f.version = "2.1 NVIDIA-1.5.36";
    detection d = detect(f);
    EXPECT_TRUE(log_has(d, "OpenGL Version   : 2.1 NVIDIA-1.5.36 (210)\n"));
    const OGL_extensions& e = d.ext;
    for (int flag : {e.multitex_avail, e.tex_clamp_avail, e.add_env_avail, e.combine_avail,
                     e.tex_comp_avail, e.vbo_avail, e.pbo_avail, e.automini_avail, e.fsaa_avail,
                     e.sprites_avail, e.depth_tex_avail, e.occlude_avail, e.shad_objs_avail,
                     e.vshader_avail, e.fshader_avail, e.glsl_avail})
      EXPECT_EQ(flag, 1);
    for (int flag : {e.dis_fog_avail, e.vprog_avail, e.fprog_avail, e.aniso_avail, e.gshader_avail,
                     e.framebuf_avail, e.sblend_avail})
      EXPECT_EQ(flag, 0);
    EXPECT_EQ(d.ext.max_tex_size, 2048);
  }
  {
    fake_facts f;
    f.version = "1.5.3";
    f.extensions = "GL_ARB_pixel_buffer_object";
    detection d = detect(f);
    EXPECT_EQ(d.ext.vbo_avail, 1);
    EXPECT_EQ(d.ext.occlude_avail, 1);
    EXPECT_EQ(d.ext.pbo_avail, 1);
    EXPECT_EQ(d.ext.shad_objs_avail, 0);
    EXPECT_EQ(d.ext.glsl_avail, 0);
    EXPECT_EQ(d.ext.sprites_avail, 0);
  }
  {
    // No version the rule knows: only the extension list decides.
    fake_facts f;
    f.version = "OpenGL ES 2.0";
    f.extensions = "GL_ARB_multitexture GL_ARB_vertex_buffer_object GL_EXT_framebuffer_object";
    detection d = detect(f);
    EXPECT_TRUE(log_has(d, "(100)\n"));
    EXPECT_EQ(d.ext.multitex_avail, 1);
    EXPECT_EQ(d.ext.vbo_avail, 1);
    EXPECT_EQ(d.ext.framebuf_avail, 1);
    EXPECT_EQ(d.ext.tex_clamp_avail, 0);
    EXPECT_EQ(d.ext.pbo_avail, 0);
    EXPECT_TRUE(d.alerts.empty());  // multitexturing is there: no gate
  }
  {
    // A longer extension's name does not stand for a shorter one.
    fake_facts f;
    f.version = "1.4";
    f.extensions = "GL_ARB_vertex_program GL_ARB_fragment_program_shadow";
    f.vertex_limits[GL_MAX_PROGRAM_NATIVE_INSTRUCTIONS_ARB] = 128;
    detection d = detect(f);
    EXPECT_EQ(d.ext.vprog_avail, 1);
    EXPECT_EQ(d.ext.fprog_avail, 0);
  }
}

TEST(Capabilities, NullExtensionStringReadsAsEmpty) {
  fake_facts f;
  f.version = "3.3";
  f.no_extensions = true;
  detection d = detect(f);
  EXPECT_STREQ(d.settings.gl_extensions, "");
  EXPECT_TRUE(log_has(d, "WARNING: the driver gave no extension string.\n"));
  EXPECT_TRUE(log_has(d, "OpenGL Extensions: \n"));
  EXPECT_EQ(d.ext.vbo_avail, 1);
  EXPECT_EQ(d.ext.aniso_avail, 0);
}

TEST(Capabilities, DriverWorkarounds) {
  struct row {
    const char* what;
    std::string vendor, renderer, extensions;
    int os;
    std::set<std::string> options;
    int sprites, glsl, occlude, first_gen;
    const char* line;  // the log line expected, or null for none
  };
  const std::string ati = "ATI Radeon HD 2600 PRO OpenGL Engine";
  const row rows[] = {
      {"ATI exact", "ATI", ati, "", -1, {}, 0, 1, 1, 0, "Disabling point sprites for Radeon HD on OS X.\n"},
      {"ATI with more text", "ATI", ati + " X", "", -1, {}, 1, 1, 1, 0, nullptr},
      {"ATI kept by option", "ATI", ati, "", -1, {"--use_sprites"}, 1, 1, 1, 0, nullptr},
      {"ATI 2400", "ATI", "ATI Radeon HD 2400 XT OpenGL Engine", "", -1, {}, 0, 1, 1, 0,
       "Disabling point sprites for Radeon HD on OS X.\n"},
      {"GMA 950 inside", "Intel", "foo Intel GMA 950 OpenGL Engine bar", "", -1, {}, 1, 0, 1, 0,
       "Disabling GLSL for GMA 950.\n"},
      {"GMA 950 kept", "Intel", "Intel GMA 950 OpenGL Engine", "", -1, {"--use_glsl"}, 1, 1, 1, 0, nullptr},
      {"NV34 on 10.3.9", "NVIDIA", "NVIDIA NV34MAP OpenGL Engine", "", 0x1039, {}, 1, 1, 0, 1,
       "Disabling occlusion queries on OS X 10.3 for nVidia.\n"},
      {"NV34 on 10.4", "NVIDIA", "NVIDIA NV34MAP OpenGL Engine", "", 0x1040, {}, 1, 1, 1, 1, nullptr},
      {"NV34, OS unknown", "NVIDIA", "NVIDIA NV34MAP OpenGL Engine", "", -1, {}, 1, 1, 1, 1, nullptr},
      {"7300 GT on 10.4.8", "NVIDIA", "NVIDIA GeForce 7300 GT OpenGL Engine", "", 0x1048, {}, 1, 1, 0, 1,
       "Disabling occlusion queries on OS X 10.4 for nVidia 7300 GT on 10.4.8.\n"},
      {"7300 GT kept", "NVIDIA", "NVIDIA GeForce 7300 GT OpenGL Engine", "", 0x1048, {"--use_pixel_counters"},
       1, 1, 1, 1, nullptr},
      {"NVIDIA with fp2", "NVIDIA", "GeForce", "GL_NV_fragment_program2", -1, {}, 1, 1, 1, 0, nullptr},
  };
  for (const row& r : rows) {
    fake_facts f;
    f.version = "2.1";
    f.vendor = r.vendor;
    f.renderer = r.renderer;
    f.extensions = r.extensions;
    f.os = r.os;
    f.options = r.options;
    detection d = detect(f);
    EXPECT_EQ(d.ext.sprites_avail, r.sprites) << r.what;
    EXPECT_EQ(d.ext.glsl_avail, r.glsl) << r.what;
    EXPECT_EQ(d.ext.occlude_avail, r.occlude) << r.what;
    EXPECT_EQ(d.ext.first_gen_shaders, r.first_gen) << r.what;
    if (r.line) EXPECT_TRUE(log_has(d, r.line)) << r.what;
    else EXPECT_EQ(d.log.find("Disabling"), std::string::npos) << r.what << "\n" << d.log;
  }
}

TEST(Capabilities, OptionsClearAfterTheLookUps) {
  fake_facts f;
  f.version = "2.1";
  f.options = {"--no_vbos", "--no_threaded_ogl", "--no_aniso_filtering", "--no_glsl"};
  f.extensions = "GL_EXT_texture_filter_anisotropic";
  detection d = detect(f);
  EXPECT_EQ(d.ext.vbo_avail, 0);
  EXPECT_EQ(d.ext.pbo_avail, 0);
  EXPECT_TRUE(log_has(d, "vbo_avail        : 0\npbo_avail        : 0\n"));
  // The option cleared the flag only; the buffer entry points were looked up and kept.
  EXPECT_TRUE(f.was_asked("glBindBufferARB"));
  EXPECT_NE(d.ext.glBindBufferARB, nullptr);
  EXPECT_EQ(d.ext.aniso_avail, 0);
  EXPECT_EQ(d.settings.max_aniso, 1.0f);
  EXPECT_EQ(d.ext.glsl_avail, 0);
  EXPECT_TRUE(log_has(d, "threaded_avail   : 0\n"));

  fake_facts g;
  detection d2 = detect(g);
  EXPECT_EQ(d2.ext.threaded_avail, 0);
  EXPECT_TRUE(log_has(d2, "threaded_avail   : 0\n"));
}

TEST(Capabilities, MinimumHardwareGate) {
  {
    fake_facts f;
    f.version = "1.1";
    detection d = detect(f);
    EXPECT_EQ(d.ext.multitex_avail, 0);
    EXPECT_TRUE(d.alerts.empty());  // 110 passes although it lacks multitexturing
  }
  {
    fake_facts f;
    f.version = "1.0";
    detection d = detect(f);
    ASSERT_EQ(d.alerts.size(), 1u);
    EXPECT_EQ(d.alerts[0].type, 2);
    EXPECT_EQ(d.alerts[0].lines[0],
              "Your graphics hardware cannot support Skyrill. Skyrill requires a graphics card with 16 MB "
              "of VRAM and multitexturing.");
    EXPECT_EQ(d.alerts[0].lines[1], "First, try updating your graphics drivers.");
    EXPECT_EQ(d.alerts[0].lines[3].rfind("For tech support, email ", 0), 0u);
    EXPECT_EQ(d.alerts[0].line, 590);
    // The block is in the log before the fatal alert ends the program.
    EXPECT_TRUE(log_has(d, "max point size   : 64\n"));
  }
  {
    fake_facts f;
    f.version = "1.0";
    f.options = {"--force_run"};
    detection d = detect(f);
    ASSERT_EQ(d.alerts.size(), 1u);
    EXPECT_EQ(d.alerts[0].type, 1);
    EXPECT_EQ(d.alerts[0].lines[1], "Your system does not meet Skyrill's hardware requirements.");
  }
}

TEST(Capabilities, FragmentProgramLimits) {
  struct row {
    int native;
    bool use_fprogs;
    int fprog, first_gen;
  };
  const row rows[] = {{80, false, 1, 1}, {0, false, 0, 1}, {0, true, 1, 1}, {100, false, 1, 0}};
  for (const row& r : rows) {
    fake_facts f;
    f.version = "1.5";
    f.extensions = "GL_ARB_vertex_program GL_ARB_fragment_program";
    f.vertex_limits[GL_MAX_PROGRAM_NATIVE_INSTRUCTIONS_ARB] = 256;
    f.fragment_limits[GL_MAX_PROGRAM_NATIVE_INSTRUCTIONS_ARB] = r.native;
    if (r.use_fprogs) f.options.insert("--use_fprogs");
    detection d = detect(f);
    EXPECT_EQ(d.ext.fprog_avail, r.fprog) << r.native;
    EXPECT_EQ(d.ext.first_gen_shaders, r.first_gen) << r.native;
  }
  // A vertex-program limit of 0 takes vertex programs away.
  fake_facts f;
  f.version = "1.5";
  f.extensions = "GL_ARB_vertex_program";
  detection d = detect(f);
  EXPECT_EQ(d.ext.vprog_avail, 0);
  EXPECT_TRUE(log_has(d, "vprog_avail      : 0 (0)\n"));
}

TEST(Capabilities, NvidiaWithoutFragmentProgram2IsFirstGeneration) {
  fake_facts f;
  f.vendor = "NVIDIA Corporation";
  f.version = "2.1";
  f.extensions = "GL_ARB_vertex_program GL_ARB_fragment_program";
  f.vertex_limits[GL_MAX_PROGRAM_NATIVE_INSTRUCTIONS_ARB] = 4096;
  f.fragment_limits[GL_MAX_PROGRAM_NATIVE_INSTRUCTIONS_ARB] = 4096;
  detection d = detect(f);
  EXPECT_EQ(d.ext.glsl_avail, 1);
  EXPECT_EQ(d.ext.first_gen_shaders, 1);
}

TEST(Capabilities, MissingEntryPoints) {
  {
    fake_facts f;
    f.version = "2.1";
    f.missing = {"glMapBufferARB"};
    detection d = detect(f);
    EXPECT_TRUE(log_has(d, "WARNING: extension missing proc glMapBufferARB\n"));
    EXPECT_EQ(d.ext.vbo_avail, 0);
    EXPECT_EQ(d.ext.glMapBufferARB, nullptr);
    // The rest of the group was still looked up and stored.
    EXPECT_NE(d.ext.glUnmapBufferARB, nullptr);
    EXPECT_NE(d.ext.glGetBufferPointervARB, nullptr);
    EXPECT_NE(d.ext.glBindBufferARB, nullptr);
    EXPECT_TRUE(log_has(d, "Disabling PBOs because VBOs are not available.  This probably means that VBOs "
                           "are disabled for compatibility reasons.\n"));
    EXPECT_EQ(d.ext.pbo_avail, 0);
  }
  {
    fake_facts f;
    f.version = "2.1";
    f.extensions = "GL_EXT_blend_func_separate GL_EXT_blend_equation_separate";
    f.missing = {"glBlendEquationSeparateEXT"};
    detection d = detect(f);
    EXPECT_EQ(d.ext.sblend_avail, 0);
    EXPECT_FALSE(f.was_asked("glBlendFuncSeparateEXT"));
    EXPECT_EQ(d.ext.glBlendFuncSeparateEXT, nullptr);
  }
  {
    // A missing shader-object name takes GLSL with it through the dependency rules.
    fake_facts f;
    f.version = "2.0";
    f.missing = {"glLinkProgramARB"};
    detection d = detect(f);
    EXPECT_EQ(d.ext.shad_objs_avail, 0);
    EXPECT_EQ(d.ext.vshader_avail, 0);
    EXPECT_EQ(d.ext.fshader_avail, 0);
    EXPECT_EQ(d.ext.glsl_avail, 0);
    EXPECT_TRUE(log_has(d, "glsl_avail       : 0 (n/a)\n"));
  }
}

TEST(Capabilities, SoftwareRendererWarnsForExactNamesOnly) {
  const struct {
    const char* renderer;
    bool alert;
  } rows[] = {{"GENERIC", true},   {"Generic", true},    {"generic", true},
              {"Mesa GLX Indirect", true}, {"Generic X", false}, {"llvmpipe (LLVM 15.0.6, 256 bits)", false}};
  for (const auto& r : rows) {
    fake_facts f;
    f.renderer = r.renderer;
    detection d = detect(f);
    ASSERT_EQ(d.alerts.size(), r.alert ? 1u : 0u) << r.renderer;
    if (r.alert) {
      EXPECT_EQ(d.alerts[0].type, 1);
      EXPECT_EQ(d.alerts[0].line, 601);
      EXPECT_EQ(d.alerts[0].lines[0],
                "I can not find a 3-D accelerator card that can handle OpenGL that has correctly installed drivers.");
    }
  }
}

TEST(Capabilities, LogBlockByteForByte) {
  fake_facts f;
  f.vendor = "V";
  f.renderer = "R";
  f.version = "1.5";
  f.extensions = "GL_ARB_vertex_program GL_ARB_fragment_program GL_ARB_shader_objects GL_ARB_vertex_shader "
                 "GL_ARB_fragment_shader GL_ARB_shading_language_100 GL_EXT_texture_filter_anisotropic";
  f.fragment_limits = {{GL_MAX_PROGRAM_NATIVE_INSTRUCTIONS_ARB, 96},
                       {GL_MAX_PROGRAM_NATIVE_ALU_INSTRUCTIONS_ARB, 64},
                       {GL_MAX_PROGRAM_NATIVE_TEX_INSTRUCTIONS_ARB, 32},
                       {GL_MAX_PROGRAM_NATIVE_TEX_INDIRECTIONS_ARB, 4}};
  f.vertex_limits = {{GL_MAX_PROGRAM_NATIVE_INSTRUCTIONS_ARB, 128}};
  f.ints = {{GL_MAX_TEXTURE_UNITS_ARB, 4},         {GL_MAX_TEXTURE_SIZE, 4096},
            {GL_MAX_TEXTURE_IMAGE_UNITS_ARB, 8},   {GL_MAX_TEXTURE_COORDS_ARB, 6},
            {GL_MAX_VERTEX_ATTRIBS_ARB, 16},       {GL_MAX_VERTEX_UNIFORM_COMPONENTS_ARB, 512},
            {GL_MAX_VARYING_FLOATS_ARB, 32},       {GL_MAX_COMBINED_TEXTURE_IMAGE_UNITS_ARB, 12},
            {GL_MAX_VERTEX_TEXTURE_IMAGE_UNITS_ARB, 4}, {GL_MAX_FRAGMENT_UNIFORM_COMPONENTS_ARB, 256}};
  f.floats_ = {{GL_MAX_TEXTURE_MAX_ANISOTROPY_EXT, 8.5f}};
  // Options clear the flags after the limits were read: the numbers still show.
  f.options = {"--no_fshaders", "--no_glsl"};
  detection d = detect(f);
  const std::string expected =
      "OpenGL Vendor    : V\n"
      "OpenGL Render    : R\n"
      "OpenGL Version   : 1.5 (150)\n"
      "OpenGL Extensions: " + f.extensions + "\n"
      "tex_clamp_avail  : 1\n"
      "add_env_avail    : 1\n"
      "combine_avail    : 1\n"
      "dis_fog_avail    : 0\n"
      "tex_comp_avail   : 1\n"
      "vbo_avail        : 1\n"
      "pbo_avail        : 0\n"
      "vprog_avail      : 1 (128)\n"
      "fprog_avail      : 0 (96/64/32/4)\n"
      "automini_avail   : 1\n"
      "aniso_avail      : 1\n"
      "fsaa_avail       : 1\n"
      "sprites_avail    : 0\n"
      "depth_tex_avail  : 1\n"
      "occlude_avail    : 1\n"
      "shad_objs_avail  : 1\n"
      "vshader_avail    : 1 (16/512/32/12/4/256)\n"
      "fshader_avail    : 1 (256)\n"
      "gshader_avail    : 0\n"
      "glsl_avail       : 0 (1.20)\n"
      "framebuf_avail   : 0\n"
      "sblend_avail     : 0\n"
      "threaded_avail   : 0\n"
      "first-gen shaders: 1\n"
      "max tex units    : 4 (8/6)\n"
      "max iso filtering: 8.5\n"
      "max texture size : 4096\n"
      "max point size   : 64\n";
  EXPECT_EQ(d.log, expected);
  // GLSL was cleared after the block, so the unit count stays the fixed-function one.
  EXPECT_EQ(d.settings.tex_units, 4);
}

TEST(Capabilities, TextureUnitsRaisedForGlslAndNeverZero) {
  fake_facts f;
  f.version = "2.0";
  f.extensions = "GL_ARB_vertex_program GL_ARB_fragment_program";
  f.fragment_limits[GL_MAX_PROGRAM_NATIVE_INSTRUCTIONS_ARB] = 1024;
  f.vertex_limits[GL_MAX_PROGRAM_NATIVE_INSTRUCTIONS_ARB] = 1024;
  f.ints = {{GL_MAX_TEXTURE_UNITS_ARB, 4}, {GL_MAX_TEXTURE_IMAGE_UNITS_ARB, 16}, {GL_MAX_TEXTURE_COORDS_ARB, 8}};
  detection d = detect(f);
  EXPECT_EQ(d.settings.tex_units, 16);
  EXPECT_TRUE(log_has(d, "max tex units    : 4 (16/8)\n"));

  fake_facts g;
  g.version = "1.3";
  g.ints.clear();
  detection d2 = detect(g);
  EXPECT_EQ(d2.settings.tex_units, 1);
  EXPECT_EQ(d2.settings.tex_image_units, 0);  // the copy was made before the floor
}

TEST(Capabilities, ThreadedFailureAlertsOnce) {
  shell_double::reset();
  OGL_extensions e;
  EXPECT_EQ(e.threaded_avail, 1);
  e.threaded_ogl_failed();
  e.threaded_ogl_failed();
  auto alerts = shell_double::alerts();
  ASSERT_EQ(alerts.size(), 1u);
  EXPECT_EQ(alerts[0].type, 1);
  EXPECT_EQ(alerts[0].lines[0], "There was a problem setting up OpenGL.");
  EXPECT_EQ(alerts[0].line, 637);
  EXPECT_EQ(e.threaded_avail, 0);
}

TEST(Capabilities, EntryPointsNeedTheGlLibrary) {
  // No window, so SDL has no GL library to answer from.
  shell_double::reset();
  EXPECT_EQ(OGL_extensions::init_entry_points(), -37);
  auto alerts = shell_double::alerts();
  ASSERT_EQ(alerts.size(), 1u);
  EXPECT_EQ(alerts[0].type, 2);
  EXPECT_EQ(alerts[0].lines[3], "libGL.so.1");
}

// Runs the live detection in a child process whose environment is set before its context is
// made, and returns the child's log and the number of alerts it raised.
struct live_run {
  std::string log;
  int alerts = -1;
};

live_run run_live(const std::vector<std::pair<const char*, const char*>>& env) {
  std::string problem;
  EXPECT_TRUE(test_display(&problem)) << problem;
  // The child runs the test again from its start, so the file is named for the test alone.
  const std::string out = std::string(SKY_BINARY_DIR) + "/gl_capabilities_" +
                          testing::UnitTest::GetInstance()->current_test_info()->name() + ".txt";
  std::remove(out.c_str());
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(
      {
        for (const auto& kv : env) setenv(kv.first, kv.second, 1);
        std::string why;
        if (!open_test_window(640, 480, &why)) std::exit(2);
        shell_double::reset();
        shell_double::reopen_log();
        if (OGL_extensions::init_entry_points() != 0) std::exit(3);
        glExt.init_extensions();
        std::string text = std::to_string(shell_double::alerts().size()) + "\n" + shell_double::log_text();
        write_whole_file(out, text);
        std::exit(0);
      },
      testing::ExitedWithCode(0), "");
  live_run r;
  std::string text = read_whole_file(out);
  std::remove(out.c_str());
  size_t nl = text.find('\n');
  if (nl == std::string::npos) return r;
  r.alerts = std::atoi(text.substr(0, nl).c_str());
  r.log = text.substr(nl + 1);
  return r;
}

TEST(CapabilitiesOnMesa, DefaultDriver) {
  live_run r = run_live({});
  EXPECT_EQ(r.alerts, 0) << r.log;
  EXPECT_NE(r.log.find("OpenGL Vendor    : Mesa"), std::string::npos) << r.log;
  EXPECT_NE(r.log.find("Compatibility Profile"), std::string::npos) << r.log;
  EXPECT_NE(r.log.find("(450)\n"), std::string::npos) << r.log;
  EXPECT_NE(r.log.find("vbo_avail        : 1\npbo_avail        : 1\n"), std::string::npos) << r.log;
  EXPECT_NE(r.log.find("gshader_avail    : 0\n"), std::string::npos) << r.log;
  EXPECT_NE(r.log.find("combine_avail    : 1\n"), std::string::npos) << r.log;
  EXPECT_EQ(r.log.find("WARNING"), std::string::npos) << r.log;
}

TEST(CapabilitiesOnMesa, OlderVersionWithoutPixelBuffers) {
  live_run r = run_live({{"MESA_GL_VERSION_OVERRIDE", "1.5"},
                         {"MESA_EXTENSION_OVERRIDE", "-GL_ARB_pixel_buffer_object"}});
  EXPECT_EQ(r.alerts, 0) << r.log;
  EXPECT_NE(r.log.find("OpenGL Version   : 1.5"), std::string::npos) << r.log;
  EXPECT_NE(r.log.find("(150)\n"), std::string::npos) << r.log;
  EXPECT_NE(r.log.find("vbo_avail        : 1\npbo_avail        : 0\n"), std::string::npos) << r.log;
  EXPECT_EQ(r.log.find(" GL_ARB_pixel_buffer_object"), std::string::npos);
}

TEST(CapabilitiesOnMesa, SoftpipeIsNotTakenForTheGenericRenderer) {
  live_run r = run_live({{"GALLIUM_DRIVER", "softpipe"}});
  EXPECT_EQ(r.alerts, 0) << r.log;
  EXPECT_NE(r.log.find("OpenGL Render    : softpipe"), std::string::npos) << r.log;
}

}  // namespace
