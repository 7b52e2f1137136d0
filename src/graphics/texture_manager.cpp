#include "graphics/texture_manager.h"

#include <GL/gl.h>
#include <GL/glext.h>

#include <cstdio>
#include <cstring>

#include "graphics/gl_capabilities.h"
#include "graphics/image_ops.h"
#include "graphics/maker_contacts.h"
#include "runtime/frame_clock.h"
#include "runtime/shell_records.h"
#include "runtime/shell_services.h"

// The binding cache's unit; until it is part of the build the manager binds plainly on unit 0.
#include "graphics/gl_state.h"

// The map first: the manager's constructor empties it.
std::unordered_map<std::string, int> tex_hash;
tex_load_vars async_vars;
tman_class tman;

namespace {

const char kAlertFile[] = "RIzirud/OOPS_cpp/tman";

std::string fmt(const char* format, double v) {
  char text[64];
  std::snprintf(text, sizeof text, format, v);
  return text;
}

void fatal(const std::string& l1, const std::string& l2, const std::string& l3, const std::string& l4, int line) {
  __MACIBM_alert(0, l1, l2, l3, l4, t_exit, kAlertFile, line);
}

double clock_seconds() { return double(xtim_class::microsecs()) / 1e6; }

bool scratch_name(const std::string& name) { return name.compare(0, 13, "scratch_array") == 0; }

class lock_guard {
 public:
  explicit lock_guard(UTL_critical_section* cs) : cs_(cs) { UTL_critical_section_lock(cs_); }
  ~lock_guard() { UTL_critical_section_unlock(cs_); }
  lock_guard(const lock_guard&) = delete;
  lock_guard& operator=(const lock_guard&) = delete;

 private:
  UTL_critical_section* cs_;
};

bool is_compressed(int f) { return TEX_is_dxt(unsigned(f)); }

}  // namespace

tman_hooks& tman_hook_table() {
  static tman_hooks hooks{TEX_bind_ref, TEX_reset_bind, nullptr, clock_seconds, TEX_set_blend_level};
  return hooks;
}

tman_class::tman_class() {
  UTL_critical_section_create(&lock);
  tex_hash.clear();
}

tman_class::~tman_class() { UTL_critical_section_destroy(&lock); }

void tman_class::grow_to(int ref) {
  if (ref >= int(ref_dat.size())) ref_dat.resize(size_t(ref) + 1);
}

int tman_class::load_texture(int fail_mode, int ref, int flags, int when, const std::string& name) {
  if (name.empty()) return 0;
  // A line on the progress screen for a load that follows a pause of more than a second.
  static double last_stamp = 0;
  const double now = tman_hook_table().seconds();
  const bool after_pause = now - last_stamp > 1.0;
  last_stamp = now;
  const bool quiet_ref = ref == 0 || ref == 312 || ref == 392 || ref == 398 || ref == tex_fallback_ref ||
                         (ref >= 429 && ref <= 444);
  if (after_pause && when == 100 && !scratch_name(name) && !quiet_ref && tman_hook_table().show_progress)
    tman_hook_table().show_progress("Loading bitmap " + name + ".");

  lock_guard hold(&lock);
  if (when < 100 || when > 102) {
    fatal("Trying to create an invalid texture load_time!", name, "value:", fmt("%1.0f", when), __LINE__);
    return 0;
  }
  // Manual refs are 1 to 1136: 1137 is the first dynamic ref, which a manual load must not take.
  if (ref < 0 || ref >= tex_first_dynamic) {
    fatal("Trying to bind too low or high a manual_ref!", name, "value:", fmt("%1.0f", ref), __LINE__);
    return 0;
  }
  const bool dynamic = ref == 0;
  if (dynamic) {
    auto found = tex_hash.find(name);
    // Only a dynamic record may be shared: a manual one would be counted and later released.
    if (found != tex_hash.end() && found->second >= tex_first_dynamic && ref_in_table(found->second)) {
      const int hit = found->second;
      ++ref_dat[size_t(hit)].use_count;
      if (ref_dat[size_t(hit)].state != tex_state_loaded) load_texture_int(fail_mode, hit, flags, name, 0);
      return hit;
    }
    int candidate = std::max(int(ref_dat.size()), int(tex_first_dynamic));
    for (int i = tex_first_dynamic; i < int(ref_dat.size()); ++i)
      if (ref_dat[size_t(i)].format == 0) candidate = i;
    ref = candidate;
  }
  grow_to(ref);
  ref_dat_struct& r = ref_dat[size_t(ref)];
  // The record's old name leaves the map only when it names this record.
  auto old = tex_hash.find(r.file_name);
  if (old != tex_hash.end() && old->second == ref && r.file_name != name) tex_hash.erase(old);
  auto entry = tex_hash.find(name);
  if (entry == tex_hash.end()) tex_hash.emplace(name, ref);
  else if (dynamic && entry->second < tex_first_dynamic) entry->second = ref;  // look-ups are for dynamic refs

  if (r.format == 0) {
    r.file_name = name;
    r.state = tex_state_loaded;
    r.gl_name = 0;
    r.image_w = r.image_h = r.tex_w = r.tex_h = 0;
    r.use_count = dynamic ? 1 : -1;
    r.flags = flags;
    r.fail_mode = fail_mode;
    r.format = TEX_fmt_rgba;
    r.byte_size = 0;
    ++registered;
  }
  const int result = load_texture_int(fail_mode, ref, flags, name, 1);
  if (result == 0 && !dynamic) return 0;
  return ref;
}

int tman_class::load_texture_int(int fail_mode, int ref, int flags, const std::string& name, int first_load) {
  lock_guard hold(&lock);
  if (finish && !scratch_name(name)) finish->finish_load();
  if (flags < 0 || flags > tex_flags_limit) {
    fatal("Trying to bind an invalid filter type!", name, "value:", fmt("%1.0f", flags), __LINE__);
    return 0;
  }
  tex_load_vars vars;
  vars.fail_mode = fail_mode;
  vars.ref = ref;
  vars.flags = flags;
  vars.name = name;
  vars.first_load = first_load;
  const int decoded = load_texture_io(&vars);
  return load_texture_ogl(&vars, decoded);
}

void tman_class::force_load_tex(int ref) {
  lock_guard hold(&lock);
  if (!ref_in_table(ref)) {
    fatal("Trying to load a ref outside the texture table!", "", fmt("ref=%6.0f", ref), "", __LINE__);
    return;
  }
  const ref_dat_struct r = ref_dat[size_t(ref)];
  if (r.state != tex_state_loaded) load_texture_int(r.fail_mode, ref, r.flags, r.file_name, 1);
}

void tman_class::bind_ref(int ref, int unit, int mode) {
  lock_guard hold(&lock);
  if (!ref_in_table(ref)) {
    // Ref 0 before anything is registered binds no texture, as GL name 0 does.
    if (ref == 0) {
      tman_hook_table().bind(0, unit, mode);
      return;
    }
    fatal("Trying to bind a ref outside the texture table!", "", fmt("ref=%6.0f", ref), "", __LINE__);
    return;
  }
  const ref_dat_struct& r = ref_dat[size_t(ref)];
  int gl = r.gl_name;
  if (ref != 0 && r.state != tex_state_loaded) {
    if (r.state != tex_state_deferred)
      fatal("missing non-scenery texture - how?", "", fmt("ref=%6.0f", ref), r.file_name, __LINE__);
    gl = tex_fallback_ref;
  }
  tman_hook_table().bind(gl, unit, mode);
}

void tman_class::reset_bind() { tman_hook_table().reset_bind(); }

void tman_class::unload_texture(int ref) {
  lock_guard hold(&lock);
  if (ref >= tex_first_dynamic) {
    fatal("Error: dynamic textures should be released, not unloaded.", ref_in_table(ref) ? ref_dat[size_t(ref)].file_name : "",
          fmt("%f", ref), "", __LINE__);
    return;
  }
  if (ref < 1) {
    fatal("Trying to unload too low a manual_ref!", "", fmt("%f", ref), "", __LINE__);
    return;
  }
  if (!ref_in_table(ref)) return;  // a manual ref never loaded
  unload_texture_internal(ref);
}

void tman_class::unload_texture_internal(int ref) {
  lock_guard hold(&lock);
  if (!ref_in_table(ref)) return;
  ref_dat_struct& r = ref_dat[size_t(ref)];
  if (r.gl_name != 0 && r.gl_name != tex_fallback_ref) {
    const GLuint name = GLuint(r.gl_name);
    glDeleteTextures(1, &name);
    // GL falls back to texture 0 on every unit that had it; the bind cache must not go on
    // believing the name is bound, or a reload under the same ref would fill texture 0.
    tman_hook_table().reset_bind();
  }
  if (r.state == tex_state_loaded && r.byte_size != 0) --loaded;
  if (r.format != 0) --registered;
  auto entry = tex_hash.find(r.file_name);
  if (entry != tex_hash.end() && entry->second == ref) tex_hash.erase(entry);
  r = ref_dat_struct();
}

void tman_class::release_texture(int ref) {
  lock_guard hold(&lock);
  if (ref < tex_first_dynamic) {
    fatal("Trying to release a manual texture - use unload_texture.", fmt("%f", ref),
          ref_in_table(ref) ? ref_dat[size_t(ref)].file_name : "", "", __LINE__);
    return;
  }
  if (!ref_in_table(ref)) {
    fatal("Trying to release a ref outside the texture table!", fmt("%f", ref), "", "", __LINE__);
    return;
  }
  ref_dat_struct& r = ref_dat[size_t(ref)];
  if (r.use_count == -1) {
    fatal("Ref count is negative - was never reffed.", fmt("%f", ref), r.file_name, "", __LINE__);
    return;
  }
  --r.use_count;
  if (r.use_count < 0) fatal("Ref count went negative", fmt("%f", ref), r.file_name, "", __LINE__);
}

void tman_class::purge_unused_texes() {
  lock_guard hold(&lock);
  for (int i = tex_first_dynamic; i < int(ref_dat.size()); ++i)
    if (ref_dat[size_t(i)].use_count == 0) unload_texture_internal(i);
}

int tman_class::total_texes() {
  lock_guard hold(&lock);
  return registered;
}

int tman_class::loaded_texes() {
  lock_guard hold(&lock);
  return loaded;
}

int tman_class::tot_vram() {
  lock_guard hold(&lock);
  int64_t total = int64_t(mnw.draw_w) * mnw.draw_h * mnw.depth / 8;
  for (const ref_dat_struct& r : ref_dat) total += r.byte_size;
  return int(total);
}

float tman_class::scale_rat() {
  switch (mnw.tex_res) {
    case 0: return 1.0f / 32;
    case 1: return 1.0f / 16;
    case 2: return 1.0f / 8;
    case 3: return 1.0f / 4;
    case 4: return 1.0f / 2;
    default: return 1.0f;
  }
}

void tman_class::set_blend_level(int unit, float level) { tman_hook_table().set_blend_level(unit, level); }

int tman_class::num_remaining_async_texes() {
  lock_guard hold(&lock);
  int n = 0;
  for (int i = async_start; i < int(ref_dat.size()); ++i)
    if (ref_dat[size_t(i)].state == tex_state_deferred) ++n;
  return n;
}

int tman_class::load_scenery_async_register(tman_force_finish_obj* finish_obj) {
  for (int i = async_start; i < int(ref_dat.size()); ++i) {
    const ref_dat_struct& r = ref_dat[size_t(i)];
    if (r.state != tex_state_deferred) continue;
    finish = finish_obj;
    async_vars = tex_load_vars();
    async_vars.fail_mode = r.fail_mode;
    async_vars.ref = i;
    async_vars.flags = r.flags;
    async_vars.name = r.file_name;
    async_vars.first_load = 0;
    async_params = &async_vars;
    return 1;
  }
  async_start = int(ref_dat.size());
  return 0;
}

int tman_class::load_scenery_async_work() {
  if (!async_params) return 0;
  async_result = load_texture_io(async_params);
  return async_result;
}

int tman_class::load_scenery_async_finalize() {
  if (!finish || !async_params) return 0;
  lock_guard hold(&lock);
  const int result = load_texture_ogl(async_params, async_result);
  finish = nullptr;
  async_params = nullptr;
  return result;
}

void tman_class::load_all_scenery_texes() {
  UTL_critical_section_lock(&lock);
  int total = 0;
  for (int i = async_start; i < int(ref_dat.size()); ++i)
    if (ref_dat[size_t(i)].state == tex_state_deferred) ++total;
  int done = 0;
  for (int i = async_start; i < int(ref_dat.size()); ++i) {
    if (ref_dat[size_t(i)].state != tex_state_deferred) continue;
    const ref_dat_struct r = ref_dat[size_t(i)];
    load_texture_int(r.fail_mode, i, r.flags, r.file_name, 0);
    if (done % 40 == 0 && tman_hook_table().show_progress) {
      const size_t slash = r.file_name.rfind('/');
      UTL_critical_section_unlock(&lock);
      tman_hook_table().show_progress("Loading scenery texture " +
                                      (slash == std::string::npos ? r.file_name : r.file_name.substr(slash + 1)) + ".");
      UTL_critical_section_lock(&lock);
    }
    ++done;
  }
  (void)total;
  async_start = int(ref_dat.size());
  UTL_critical_section_unlock(&lock);
}

void tman_class::make_fallback_texture() {
  lock_guard hold(&lock);
  grow_to(tex_fallback_ref);
  ref_dat_struct& r = ref_dat[tex_fallback_ref];
  if (r.state == tex_state_loaded && r.gl_name == tex_fallback_ref) return;
  if (r.format == 0) ++registered;
  r.file_name = "t_blank_gray";
  r.format = TEX_fmt_rgb;
  r.use_count = -1;
  static unsigned char grey[8 * 8 * 3];
  std::memset(grey, 128, sizeof grey);
  tex_load_vars vars;
  vars.ref = tex_fallback_ref;
  vars.flags = 0x501;
  vars.name = "t_blank_gray";
  vars.format = TEX_fmt_rgb;
  vars.channels = 3;
  vars.image_w = vars.image_h = vars.tex_w = vars.tex_h = 8;
  vars.pixels = grey;
  tex_decoded_row_texels = 8;
  load_texture_ogl(&vars, 1);
}

int tman_class::load_texture_ogl(tex_load_vars* v, int decode_result) {
  lock_guard hold(&lock);
  if (!ref_in_table(v->ref)) {
    fatal("(manual_ref>=ref_dat.size()!",
          "maybe we tried to load some texture thatis not avail, and we have not loaded the t_blank_gray yet?", "", "",
          __LINE__);
    return 0;
  }
  if (decode_result == 0) {
    // The fallback must exist before a missing file can stand in with it.
    if (v->ref != tex_fallback_ref) make_fallback_texture();
    ref_dat_struct& r = ref_dat[size_t(v->ref)];
    const ref_dat_struct& fb = ref_dat[tex_fallback_ref];
    r.gl_name = fb.gl_name;
    r.image_w = fb.image_w, r.image_h = fb.image_h;
    r.tex_w = fb.tex_w, r.tex_h = fb.tex_h;
    r.format = fb.format;
    r.byte_size = 0;
    r.state = tex_state_loaded;
    int* fail_state = v->fail_mode == tex_fail_scenery ? &scene_fail
                      : v->fail_mode == tex_fail_plane ? &plane_fail
                      : v->fail_mode == tex_fail_instl ? &instl_fail
                                                       : nullptr;
    if (fail_state && *fail_state == 0) *fail_state = 1;
    if (v->fail_mode == tex_fail_fatal) {
      fatal("Trying to load a texture that you do not have!", "This smacks of a mis-installed copy of Skyrill!",
            std::string("Get a new download from ") + maker_web_address + ". The missing file is:", v->name, __LINE__);
    } else if (v->fail_mode != tex_fail_silent) {
      xer << "WARNING: we are missing the texture: " << v->name << ".\n";
    }
    return 0;
  }
  if (v->ref == 0) {
    const std::string name0 = ref_dat[0].file_name;
    fatal("Trying to bind a null ref!", "ref=     0, tex=     0", "", name0, __LINE__);
    fatal("Trying to bind a null tex!", "ref=     0, tex=     0", "", name0, __LINE__);
    return 0;
  }

  const int format = v->format;
  const bool compressed = is_compressed(format);
  const bool bleed = v->channels == 4 && decode_result != 1 && !compressed && !v->file_mips;
  const int ref = v->ref;
  const bool nearest = ref == 392 || ref == 393 || ref == 421 || (ref >= 427 && ref <= 444);
  const bool mipmaps = (v->flags & tex_mipmaps) != 0;
  const bool hw_mips = mipmaps && glExt.automini_avail && !compressed && !(v->flags & tex_sized_8bit);
  int internal = format == int(TEX_fmt_bgra) ? int(TEX_fmt_rgba) : format == int(TEX_fmt_bgr) ? int(TEX_fmt_rgb) : format;
  if (v->flags & tex_float16) {
    if (internal == TEX_fmt_rgb) internal = 0x881B;
    else if (internal == TEX_fmt_rgba) internal = 0x881A;
    else if (internal == TEX_fmt_alpha) internal = 0x881C;
  }
  if (internal == TEX_fmt_depth) internal = TEX_fmt_depth24;
  if (v->flags & tex_sized_8bit) {
    if (internal == TEX_fmt_rgb) internal = GL_RGB8;
    else if (internal == TEX_fmt_rgba) internal = GL_RGBA8;
  }
  ref_dat_struct& r = ref_dat[size_t(ref)];
  const bool reuse = r.state == tex_state_loaded && r.format == format && int(r.tex_w) == v->tex_w &&
                     int(r.tex_h) == v->tex_h && r.gl_name == ref && (!mipmaps || hw_mips);
  const bool soft_mips = mipmaps && !v->file_mips && !hw_mips;

  if (r.byte_size == 0) ++loaded;
  r.file_name = v->name;
  r.state = tex_state_loaded;
  r.gl_name = ref;
  r.image_w = float(v->image_w), r.image_h = float(v->image_h);
  r.tex_w = float(v->tex_w), r.tex_h = float(v->tex_h);
  r.format = format;
  r.flags = v->flags;
  r.byte_size = int(double(v->tex_w) * v->tex_h * v->channels * (mipmaps ? 1.33 : 1.0));

  const int row_texels = std::max(v->tex_w, tex_decoded_row_texels);
  if (bleed) TEX_bleed_alpha(v->pixels, row_texels, v->tex_h);

  if (!(v->flags & tex_exact_size) &&
      (v->tex_w != TEX_next_pow2(v->tex_w) || v->tex_h != TEX_next_pow2(v->tex_h))) {
    fatal("load_tex: Trying to read a texture that is not a power of 2!", v->name, "", "", __LINE__);
    return 0;
  }
  tex_check_size(v->tex_w, v->name);
  tex_check_size(v->tex_h, v->name);

  // Bind on unit 0 alone: the state cache's unit count is 1 for the bind, GL_TEXTURE_2D on for
  // it when no unit was, and both go back afterwards.
  const int saved_units = num_units;
  num_units = 1;
  if (saved_units == 0) glEnable(GL_TEXTURE_2D);
  tman_hook_table().bind(ref, 0, 0);
  num_units = saved_units;
  if (saved_units == 0) glDisable(GL_TEXTURE_2D);

  GLint old_alignment = 4, old_row_length = 0;
  glGetIntegerv(GL_UNPACK_ALIGNMENT, &old_alignment);
  glGetIntegerv(GL_UNPACK_ROW_LENGTH, &old_row_length);
  // Rows are packed (an RGB row of 2 texels is 6 bytes) and may be wider than the texture.
  glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
  auto compressed_upload = glExt.glCompressedTexImage2DARB
                               ? glExt.glCompressedTexImage2DARB
                               : reinterpret_cast<PFNGLCOMPRESSEDTEXIMAGE2DARBPROC>(aglGetProcAddress("glCompressedTexImage2DARB"));
  if (hw_mips) glTexParameteri(GL_TEXTURE_2D, GL_GENERATE_MIPMAP, GL_TRUE);
  const int bpp = std::max(1, TEX_bytes_per_pixel(unsigned(format)));
  const int pad_texels = compressed ? 0 : row_texels - v->tex_w;
  unsigned char* data = v->pixels;
  int w = v->tex_w, h = v->tex_h;
  for (int level = 0;; ++level) {
    const TEX_image_desc desc{unsigned(format), w, h, compressed ? 0 : pad_texels * bpp, 0};
    const int bytes = TEX_bytes_needed_for_image(desc);
    if (compressed) {
      if (compressed_upload) compressed_upload(GL_TEXTURE_2D, level, GLenum(format), w, h, 0, bytes, data);
    } else {
      glPixelStorei(GL_UNPACK_ROW_LENGTH, w + pad_texels);
      if (reuse) glTexSubImage2D(GL_TEXTURE_2D, level, 0, 0, w, h, GLenum(format), GL_UNSIGNED_BYTE, data);
      else glTexImage2D(GL_TEXTURE_2D, level, internal, w, h, 0, GLenum(format), GL_UNSIGNED_BYTE, data);
    }
    if (w == 1 && h == 1) break;
    if (v->file_mips) {
      data += bytes;
      w = std::max(1, w / 2);
      h = std::max(1, h / 2);
    } else if (soft_mips) {
      TEX_image_desc d = desc;
      TEX_downscale(d, data, w >= 2 ? 2 : 1, h >= 2 ? 2 : 1);
      w = d.width;
      h = d.height;
    } else {
      break;
    }
  }
  glPixelStorei(GL_UNPACK_ALIGNMENT, old_alignment);
  glPixelStorei(GL_UNPACK_ROW_LENGTH, old_row_length);

  if (compressed) {
    GLint is_compressed_level = 0, size = 0;
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_COMPRESSED, &is_compressed_level);
    if (is_compressed_level) {
      glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_COMPRESSED_IMAGE_SIZE, &size);
      r.byte_size = int(size * (mipmaps ? 1.33 : 1.0));
    }
  }
  const GLint clamp = glExt.tex_clamp_avail ? GL_CLAMP_TO_EDGE : GL_CLAMP;
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, (v->flags & (tex_clamp_st | tex_clamp_s)) ? clamp : GL_REPEAT);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, (v->flags & tex_clamp_st) ? clamp : GL_REPEAT);
  if (glExt.aniso_avail) glTexParameterf(GL_TEXTURE_2D, GL_TEXTURE_MAX_ANISOTROPY_EXT, 1.0f);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER,
                  nearest ? GL_NEAREST : mipmaps ? GL_LINEAR_MIPMAP_LINEAR : GL_LINEAR);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, nearest ? GL_NEAREST : GL_LINEAR);
  if (internal == TEX_fmt_depth24) {
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_COMPARE_MODE, GL_COMPARE_R_TO_TEXTURE);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_COMPARE_FUNC, GL_LEQUAL);
  }
  return ref;
}
