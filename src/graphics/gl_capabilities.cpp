#include "graphics/gl_capabilities.h"

#include <cstdio>
#include <cstring>
#include <string>

#include "graphics/maker_contacts.h"
#include "platform/window.h"
#include "runtime/command_line.h"
#include "runtime/shell_services.h"

OGL_extensions glExt;
render_settings ren = {0.0f, 0, 0, 0, nullptr, nullptr, nullptr, nullptr, 0, 1.0f};

namespace {

const char* const kSourceFile = "/code/design++/RIzirud/OGL/OGL_extensions";

// The program's facts: the current context, SDL's look-up and the command line. No OS version
// is known on this platform, so the rules keyed on one never apply.
class live_facts : public gl_driver_facts {
 public:
  const char* string(GLenum name) override { return reinterpret_cast<const char*>(glGetString(name)); }
  void integers(GLenum name, GLint* out) override { glGetIntegerv(name, out); }
  void floats(GLenum name, GLfloat* out) override { glGetFloatv(name, out); }
  void program_integer(GLenum target, GLenum name, GLint* out) override {
    if (glExt.glGetProgramivARB) glExt.glGetProgramivARB(target, name, out);
  }
  void* lookup(const char* name) override { return aglGetProcAddress(name); }
  bool os_version(int*) override { return false; }
  bool has_option(const char* name) override { return cmdline.has_option(name) != 0; }
};

bool renderer_contains(const char* renderer, const char* text) {
  return std::strstr(renderer, text) != nullptr;
}

bool renderer_is(const char* renderer, const char* text) { return std::strcmp(renderer, text) == 0; }

// Looks up every name of a group, in order, storing each; a name the library lacks is logged
// and takes the group's feature away, but the rest of the group is still looked up.
template <typename T>
void look_up(gl_driver_facts& facts, const char* name, T& slot, int& flag) {
  void* p = facts.lookup(name);
  slot = reinterpret_cast<T>(p);
  if (!p) {
    xer << "WARNING: extension missing proc " << name << "\n";
    flag = 0;
  }
}

}  // namespace

OGL_extensions::OGL_extensions() {
#define SKY_GL_CLEAR(type, name) name = nullptr;
  SKY_GL_BUFFER_OBJECTS(SKY_GL_CLEAR)
  SKY_GL_LOW_LEVEL_PROGRAMS(SKY_GL_CLEAR)
  SKY_GL_OCCLUSION_QUERIES(SKY_GL_CLEAR)
  SKY_GL_SHADER_OBJECTS(SKY_GL_CLEAR)
  SKY_GL_VERTEX_SHADER(SKY_GL_CLEAR)
  SKY_GL_GEOMETRY_SHADER(SKY_GL_CLEAR)
  SKY_GL_FRAME_BUFFER_OBJECTS(SKY_GL_CLEAR)
  SKY_GL_TEXTURE_COMPRESSION(SKY_GL_CLEAR)
  SKY_GL_SEPARATE_BLENDING(SKY_GL_CLEAR)
#undef SKY_GL_CLEAR
  multitex_avail = tex_clamp_avail = add_env_avail = combine_avail = dis_fog_avail = 0;
  tex_comp_avail = vbo_avail = pbo_avail = vprog_avail = fprog_avail = automini_avail = 0;
  aniso_avail = fsaa_avail = sprites_avail = depth_tex_avail = occlude_avail = 0;
  shad_objs_avail = vshader_avail = fshader_avail = gshader_avail = glsl_avail = 0;
  first_gen_shaders = framebuf_avail = sblend_avail = 0;
  max_tex_size = 0;
  threaded_avail = 1;
}

void* aglGetProcAddress(const char* name) { return window_gl_proc(name); }

int OGL_extensions::init_entry_points() {
  if (aglGetProcAddress("glGetString")) return 0;
  __MACIBM_alert(0, "Could not load code for framework", "", "", "libGL.so.1", t_exit, __FILE__,
                 __LINE__);
  return -37;
}

void OGL_extensions::init_extensions() {
  live_facts facts;
  detect_capabilities(*this, ren, facts);
}

void OGL_extensions::threaded_ogl_failed() {
  if (!threaded_avail) return;
  threaded_avail = 0;
  __MACIBM_alert(0, "There was a problem setting up OpenGL.",
                 "You can still fly, but you may experience pauses during flight while scenery loads.",
                 "", "(Please send your log.txt file to Corvane for debugging purposes.)", t_alert,
                 kSourceFile, 637);
}

int gl_version_code(const char* version) {
  if (!version) return 100;
  int major = 0, minor = 0;
  if (std::sscanf(version, "%d.%d", &major, &minor) == 2) return 100 * major + 10 * minor;
  static const struct {
    const char* prefix;
    int code;
  } known[] = {{"1.1", 110}, {"1.2", 120}, {"1.3", 130}, {"1.4", 140},
               {"1.5", 150}, {"2.0", 200}, {"2.1", 210}};
  for (const auto& k : known)
    if (std::strncmp(version, k.prefix, 3) == 0) return k.code;
  return 100;
}

// A whole-entry match: "GL_ARB_fragment_program" must not be found inside
// "GL_ARB_fragment_program_shadow", which a driver may list without the former.
bool gl_has_extension(const char* extensions, const char* name) {
  if (!extensions || !name || !*name) return false;
  const size_t n = std::strlen(name);
  for (const char* p = extensions; (p = std::strstr(p, name)) != nullptr; p += n) {
    const bool starts = p == extensions || p[-1] == ' ';
    const bool ends = p[n] == '\0' || p[n] == ' ';
    if (starts && ends) return true;
  }
  return false;
}

void detect_capabilities(OGL_extensions& e, render_settings& r, gl_driver_facts& facts) {
  // 1. The driver's strings. A core-profile or half-made context gives null for some; they are
  // read as empty so that no rule below reads through a null pointer.
  static const char empty[] = "";
  const GLenum names[4] = {GL_VENDOR, GL_RENDERER, GL_VERSION, GL_EXTENSIONS};
  const char** fields[4] = {&r.gl_vendor, &r.gl_renderer, &r.gl_version, &r.gl_extensions};
  static const char* const labels[4] = {"vendor", "renderer", "version", "extension"};
  for (int i = 0; i < 4; ++i) {
    const char* s = facts.string(names[i]);
    if (!s) {
      xer << "WARNING: the driver gave no " << labels[i] << " string.\n";
      s = empty;
    }
    *fields[i] = s;
  }
  const char* vendor = r.gl_vendor;
  const char* renderer = r.gl_renderer;
  const char* ext = r.gl_extensions;

  // 2. Version code.
  const int code = gl_version_code(r.gl_version);

  // 3. Flags from the version, or else from the extension list.
  auto has = [ext](const char* name) { return gl_has_extension(ext, name); };
  e.multitex_avail = code >= 130 || has("GL_ARB_multitexture");
  e.tex_clamp_avail = code >= 120 || has("GL_EXT_texture_edge_clamp") || has("GL_SGIS_texture_edge_clamp");
  e.add_env_avail = code >= 130 || has("GL_ARB_texture_env_add") || has("GL_EXT_texture_env_add");
  e.combine_avail = code >= 130 || has("GL_ARB_texture_env_combine") || has("GL_EXT_texture_env_combine");
  e.dis_fog_avail = has("GL_NV_fog_distance");
  e.tex_comp_avail = code >= 130 || has("GL_ARB_texture_compression");
  e.vbo_avail = code >= 150 || has("GL_ARB_vertex_buffer_object");
  e.pbo_avail = code >= 210 || has("GL_ARB_pixel_buffer_object");
  e.vprog_avail = has("GL_ARB_vertex_program");
  e.fprog_avail = has("GL_ARB_fragment_program");
  e.automini_avail = code >= 140 || has("GL_SGIS_generate_mipmap");
  e.aniso_avail = has("GL_EXT_texture_filter_anisotropic");
  e.fsaa_avail = code >= 130 || has("GL_ARB_multisample");
  e.sprites_avail = code >= 200 || has("GL_ARB_point_sprite");
  e.depth_tex_avail = code >= 140 || has("GL_ARB_depth_texture");
  e.occlude_avail = code >= 150 || has("GL_ARB_occlusion_query");
  e.shad_objs_avail = code >= 200 || has("GL_ARB_shader_objects");
  e.vshader_avail = code >= 200 || has("GL_ARB_vertex_shader");
  e.fshader_avail = code >= 200 || has("GL_ARB_fragment_shader");
  e.gshader_avail = has("GL_EXT_geometry_shader4");
  e.glsl_avail = code >= 200 || has("GL_ARB_shading_language_100");
  e.framebuf_avail = has("GL_EXT_framebuffer_object");
  e.sblend_avail = has("GL_EXT_blend_func_separate") && has("GL_EXT_blend_equation_separate");
  e.first_gen_shaders = 0;

  // 4. Driver workarounds.
  int os = 0;
  const bool os_known = facts.os_version(&os);
  if (e.occlude_avail && os_known && os < 0x1040 &&
      renderer_contains(renderer, "NVIDIA NV34MAP OpenGL Engine") &&
      !facts.has_option("--use_pixel_counters")) {
    xer << "Disabling occlusion queries on OS X 10.3 for nVidia.\n";
    e.occlude_avail = 0;
  }
  if (e.occlude_avail && os_known && os <= 0x1048 &&
      renderer_contains(renderer, "NVIDIA GeForce 7300 GT OpenGL Engine") &&
      !facts.has_option("--use_pixel_counters")) {
    xer << "Disabling occlusion queries on OS X 10.4 for nVidia 7300 GT on 10.4.8.\n";
    e.occlude_avail = 0;
  }
  if (e.glsl_avail && renderer_contains(renderer, "Intel GMA 950 OpenGL Engine") &&
      !facts.has_option("--use_glsl")) {
    xer << "Disabling GLSL for GMA 950.\n";
    e.glsl_avail = 0;
  }
  if (e.sprites_avail &&
      (renderer_is(renderer, "ATI Radeon HD 2600 PRO OpenGL Engine") ||
       renderer_is(renderer, "ATI Radeon HD 2400 XT OpenGL Engine")) &&
      !facts.has_option("--use_sprites")) {
    xer << "Disabling point sprites for Radeon HD on OS X.\n";
    e.sprites_avail = 0;
  }
  if (e.glsl_avail && std::strstr(vendor, "NVIDIA") && !has("GL_NV_fragment_program2"))
    e.first_gen_shaders = 1;

  // 5. Entry points, group by group.
#define SKY_GL_LOOK_UP(flag) [&](auto& slot, const char* name) { look_up(facts, name, slot, e.flag); }
  if (e.vbo_avail) {
    auto f = SKY_GL_LOOK_UP(vbo_avail);
#define X(type, name) f(e.name, #name);
    SKY_GL_BUFFER_OBJECTS(X)
#undef X
  }
  if (e.pbo_avail && !e.vbo_avail) {
    xer << "Disabling PBOs because VBOs are not available.  This probably means that VBOs are "
           "disabled for compatibility reasons.\n";
    e.pbo_avail = 0;
  }
  // The low-level program group serves vertex and fragment programs alike; a missing name
  // takes away vertex programs, and fragment programs follow in step 6.
  if (e.vprog_avail) {
    auto f = SKY_GL_LOOK_UP(vprog_avail);
#define X(type, name) f(e.name, #name);
    SKY_GL_LOW_LEVEL_PROGRAMS(X)
#undef X
  }
  if (e.occlude_avail) {
    auto f = SKY_GL_LOOK_UP(occlude_avail);
#define X(type, name) f(e.name, #name);
    SKY_GL_OCCLUSION_QUERIES(X)
#undef X
  }
  if (e.shad_objs_avail) {
    auto f = SKY_GL_LOOK_UP(shad_objs_avail);
#define X(type, name) f(e.name, #name);
    SKY_GL_SHADER_OBJECTS(X)
#undef X
  }
  if (e.gshader_avail) {
    auto f = SKY_GL_LOOK_UP(gshader_avail);
#define X(type, name) f(e.name, #name);
    SKY_GL_GEOMETRY_SHADER(X)
#undef X
  }
  if (e.vshader_avail) {
    auto f = SKY_GL_LOOK_UP(vshader_avail);
#define X(type, name) f(e.name, #name);
    SKY_GL_VERTEX_SHADER(X)
#undef X
  }
  if (e.framebuf_avail) {
    auto f = SKY_GL_LOOK_UP(framebuf_avail);
#define X(type, name) f(e.name, #name);
    SKY_GL_FRAME_BUFFER_OBJECTS(X)
#undef X
  }
  if (e.tex_comp_avail) {
    auto f = SKY_GL_LOOK_UP(tex_comp_avail);
#define X(type, name) f(e.name, #name);
    SKY_GL_TEXTURE_COMPRESSION(X)
#undef X
  }
  if (e.sblend_avail) {
    auto f = SKY_GL_LOOK_UP(sblend_avail);
    f(e.glBlendEquationSeparateEXT, "glBlendEquationSeparateEXT");
    if (e.sblend_avail) f(e.glBlendFuncSeparateEXT, "glBlendFuncSeparateEXT");
  }
#undef SKY_GL_LOOK_UP

  // 6. Dependencies between the flags.
  if (!e.vprog_avail) e.fprog_avail = 0;
  if (!e.shad_objs_avail) {
    e.fshader_avail = 0;
    e.vshader_avail = 0;
    e.gshader_avail = 0;
  }
  if (!(e.vshader_avail && e.fshader_avail)) e.glsl_avail = 0;

  // 7. Program limits.
  GLint fp_instr = 0, fp_alu = 0, fp_tex = 0, fp_indir = 0, vp_instr = 0;
  if (e.fprog_avail) {
    facts.program_integer(GL_FRAGMENT_PROGRAM_ARB, GL_MAX_PROGRAM_NATIVE_INSTRUCTIONS_ARB, &fp_instr);
    facts.program_integer(GL_FRAGMENT_PROGRAM_ARB, GL_MAX_PROGRAM_NATIVE_ALU_INSTRUCTIONS_ARB, &fp_alu);
    facts.program_integer(GL_FRAGMENT_PROGRAM_ARB, GL_MAX_PROGRAM_NATIVE_TEX_INSTRUCTIONS_ARB, &fp_tex);
    facts.program_integer(GL_FRAGMENT_PROGRAM_ARB, GL_MAX_PROGRAM_NATIVE_TEX_INDIRECTIONS_ARB, &fp_indir);
    if (fp_instr == 0 && !facts.has_option("--use_fprogs")) e.fprog_avail = 0;
    if (fp_instr <= 99) e.first_gen_shaders = 1;
  }
  if (e.vprog_avail) {
    facts.program_integer(GL_VERTEX_PROGRAM_ARB, GL_MAX_PROGRAM_NATIVE_INSTRUCTIONS_ARB, &vp_instr);
    if (vp_instr == 0 && !facts.has_option("--use_vprogs")) e.vprog_avail = 0;
  }

  // 8. Shader limits.
  GLint v_attribs = 0, v_uniforms = 0, varyings = 0, combined_units = 0, v_tex_units = 0, f_uniforms = 0;
  if (e.vshader_avail) {
    facts.integers(GL_MAX_VERTEX_ATTRIBS_ARB, &v_attribs);
    facts.integers(GL_MAX_VERTEX_UNIFORM_COMPONENTS_ARB, &v_uniforms);
    facts.integers(GL_MAX_VARYING_FLOATS_ARB, &varyings);
    facts.integers(GL_MAX_COMBINED_TEXTURE_IMAGE_UNITS_ARB, &combined_units);
    facts.integers(GL_MAX_VERTEX_TEXTURE_IMAGE_UNITS_ARB, &v_tex_units);
  }
  if (e.fshader_avail) facts.integers(GL_MAX_FRAGMENT_UNIFORM_COMPONENTS_ARB, &f_uniforms);

  // 9. Shading-language version.
  std::string glsl_version = "n/a";
  if (e.glsl_avail) {
    const char* s = facts.string(GL_SHADING_LANGUAGE_VERSION_ARB);
    glsl_version = s ? s : "<null string>";
  }

  // 10. Limits.
  r.tex_units = 0;
  r.max_aniso = 1.0f;
  GLint units = 0;
  facts.integers(GL_MAX_TEXTURE_UNITS_ARB, &units);
  r.tex_units = units;
  if (e.fprog_avail) {
    GLint n = 0;
    facts.integers(GL_MAX_TEXTURE_IMAGE_UNITS_ARB, &n);
    r.tex_image_units = n;
  } else {
    r.tex_image_units = r.tex_units;
  }
  if (e.vprog_avail) {
    GLint n = 0;
    facts.integers(GL_MAX_TEXTURE_COORDS_ARB, &n);
    r.tex_coord_units = n;
  } else {
    r.tex_coord_units = r.tex_units;
  }
  if (e.aniso_avail) {
    GLfloat a[2] = {1.0f, 1.0f};
    facts.floats(GL_MAX_TEXTURE_MAX_ANISOTROPY_EXT, a);
    r.max_aniso = a[0];
  }
  GLint max_size = 0;
  facts.integers(GL_MAX_TEXTURE_SIZE, &max_size);
  e.max_tex_size = max_size;
  GLfloat point_range[2] = {0.0f, 0.0f};
  facts.floats(GL_POINT_SIZE_RANGE, point_range);
  if (r.tex_units == 0) r.tex_units = 1;

  // 11. Command-line options; they only ever take a feature away.
  if (facts.has_option("--no_vbos")) e.vbo_avail = e.pbo_avail = 0;
  if (facts.has_option("--no_pbos")) e.pbo_avail = 0;
  if (facts.has_option("--no_sprites")) e.sprites_avail = 0;
  if (facts.has_option("--no_pixel_counters")) e.occlude_avail = 0;
  if (facts.has_option("--no_aniso_filtering")) {
    e.aniso_avail = 0;
    r.max_aniso = 1.0f;
  }
  if (facts.has_option("--no_hw_mipmap")) e.automini_avail = 0;
  if (facts.has_option("--no_vshaders")) e.vprog_avail = 0;
  if (facts.has_option("--no_fshaders")) e.fprog_avail = 0;
  if (facts.has_option("--no_glsl")) e.glsl_avail = 0;
  if (facts.has_option("--no_fbos")) e.framebuf_avail = 0;
  if (facts.has_option("--no_threaded_ogl")) e.threaded_avail = 0;
  if (facts.has_option("--no_sblend")) e.sblend_avail = 0;

  // 12. Worker threads never get contexts of their own.
  e.threaded_avail = 0;

  // 13. The capability block.
  xer << "OpenGL Vendor    : " << r.gl_vendor << "\n";
  xer << "OpenGL Render    : " << r.gl_renderer << "\n";
  xer << "OpenGL Version   : " << r.gl_version << " (" << code << ")\n";
  xer << "OpenGL Extensions: " << r.gl_extensions << "\n";
  xer << "tex_clamp_avail  : " << e.tex_clamp_avail << "\n";
  xer << "add_env_avail    : " << e.add_env_avail << "\n";
  xer << "combine_avail    : " << e.combine_avail << "\n";
  xer << "dis_fog_avail    : " << e.dis_fog_avail << "\n";
  xer << "tex_comp_avail   : " << e.tex_comp_avail << "\n";
  xer << "vbo_avail        : " << e.vbo_avail << "\n";
  xer << "pbo_avail        : " << e.pbo_avail << "\n";
  xer << "vprog_avail      : " << e.vprog_avail << " (" << vp_instr << ")\n";
  xer << "fprog_avail      : " << e.fprog_avail << " (" << fp_instr << "/" << fp_alu << "/" << fp_tex << "/"
      << fp_indir << ")\n";
  xer << "automini_avail   : " << e.automini_avail << "\n";
  xer << "aniso_avail      : " << e.aniso_avail << "\n";
  xer << "fsaa_avail       : " << e.fsaa_avail << "\n";
  xer << "sprites_avail    : " << e.sprites_avail << "\n";
  xer << "depth_tex_avail  : " << e.depth_tex_avail << "\n";
  xer << "occlude_avail    : " << e.occlude_avail << "\n";
  xer << "shad_objs_avail  : " << e.shad_objs_avail << "\n";
  xer << "vshader_avail    : " << e.vshader_avail << " (" << v_attribs << "/" << v_uniforms << "/" << varyings
      << "/" << combined_units << "/" << v_tex_units << "/" << f_uniforms << ")\n";
  xer << "fshader_avail    : " << e.fshader_avail << " (" << f_uniforms << ")\n";
  xer << "gshader_avail    : " << e.gshader_avail << "\n";
  xer << "glsl_avail       : " << e.glsl_avail << " (" << glsl_version << ")\n";
  xer << "framebuf_avail   : " << e.framebuf_avail << "\n";
  xer << "sblend_avail     : " << e.sblend_avail << "\n";
  xer << "threaded_avail   : " << e.threaded_avail << "\n";
  xer << "first-gen shaders: " << e.first_gen_shaders << "\n";
  xer << "max tex units    : " << r.tex_units << " (" << r.tex_image_units << "/" << r.tex_coord_units << ")\n";
  xer << "max iso filtering: " << r.max_aniso << "\n";
  xer << "max texture size : " << e.max_tex_size << "\n";
  xer << "max point size   : " << point_range[1] << "\n";

  // 14.
  if (e.glsl_avail && r.tex_image_units > r.tex_units) r.tex_units = r.tex_image_units;

  // 15. The minimum-hardware gate.
  if (!e.multitex_avail && code <= 109) {
    const char* message =
        "Your graphics hardware cannot support Skyrill. Skyrill requires a graphics card with 16 MB of "
        "VRAM and multitexturing.";
    if (!facts.has_option("--force_run")) {
      xer.flush();
      __MACIBM_alert(0, message, "First, try updating your graphics drivers.",
                     "If this does not help, check your graphics card specifications.",
                     std::string("For tech support, email ") + maker_support_mail, t_exit, kSourceFile, 590);
    } else {
      __MACIBM_alert(0, message, "Your system does not meet Skyrill's hardware requirements.",
                     "You have used the force-run command inline option to run Skyrill anyway, but it may crash.",
                     std::string("Go to ") + maker_web_address +
                         " for system requirements and tech support information.",
                     t_alert, kSourceFile, 590);
    }
  }

  // 16. A software renderer only warns.
  if (renderer_is(renderer, "GENERIC") || renderer_is(renderer, "Generic") || renderer_is(renderer, "generic") ||
      renderer_is(renderer, "Mesa GLX Indirect")) {
    __MACIBM_alert(0, "I can not find a 3-D accelerator card that can handle OpenGL that has correctly installed drivers.",
                   "I will still let you run the simulator, but the frame rate will NOT allow for a good simulation.",
                   std::string("For you to fly realistically, you must use Skyrill version ") + software_edition_name +
                       ", or get a 3-D accelerator card that can handle OpenGL.",
                   std::string("See ") + maker_web_address + " for a list of the currently-compatible 3-D video cards.",
                   t_alert, kSourceFile, 601);
  }
  xer.flush();
}
