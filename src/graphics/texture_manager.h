// The texture manager: the table of texture records, addressed by reference number (the ref),
// which is also the GL texture name the image is uploaded under. Manual refs 1 to 1136 are
// chosen in code (392 interface atlas, 393/394 glyphs, 395 button atlas, 396 world map, 397
// background); ref 0 asks for a shared dynamic ref (1137 up) found by file name; 932 is the
// fallback texture every missing file stands in with. Every public operation holds the
// manager's recursive lock; GL calls happen on the calling thread, which holds the context.
#pragma once

#include <string>
#include <unordered_map>
#include <vector>

#include "graphics/texture_loading.h"
#include "runtime/threads.h"

enum { tex_first_dynamic = 1137, tex_fallback_ref = 932 };
enum { tex_state_loaded = 100, tex_state_deferred = 101, tex_state_unloaded = 102 };

// Completes a pending deferred scenery load before another load goes on.
class tman_force_finish_obj {
 public:
  virtual ~tman_force_finish_obj() = default;
  virtual void finish_load() = 0;
};

class tman_class {
 public:
  struct ref_dat_struct {
    std::string file_name = "un-inited";
    int gl_name = 0;        // the ref after an upload; 932 while a missing file stands in
    float image_w = 0, image_h = 0;
    float tex_w = 0, tex_h = 0;
    int byte_size = 0;      // estimated video memory
    int format = 0;         // 0 marks a free record
    int state = tex_state_unloaded;
    int flags = 0;
    int fail_mode = tex_fail_fatal;
    int use_count = -1;     // -1 for a manual ref, else its users
  };

  tman_class();
  ~tman_class();
  tman_class(const tman_class&) = delete;
  tman_class& operator=(const tman_class&) = delete;

  // Registers and loads a file: returns the ref used, or 0 (an empty name; a manual ref whose
  // file is missing). when must be 100 to 102.
  int load_texture(int fail_mode, int ref, int flags, int when, const std::string& name);
  // The load shared by every path; the caller holds the lock. The ref, or 0 for a missing file.
  int load_texture_int(int fail_mode, int ref, int flags, const std::string& name, int first_load);
  void force_load_tex(int ref);
  void bind_ref(int ref, int unit, int mode);
  void reset_bind();
  // Unloads a manual ref; a dynamic one is a fatal alert, a ref never loaded does nothing.
  void unload_texture(int ref);
  void unload_texture_internal(int ref);
  // One user fewer of a dynamic ref; it stays loaded until purge_unused_texes.
  void release_texture(int ref);
  void purge_unused_texes();

  int has_scene_load_fail() const { return scene_fail == 1; }
  int has_plane_load_fail() const { return plane_fail == 1; }
  int has_instl_load_fail() const { return instl_fail == 1; }
  void mute_scene_load_fail() { scene_fail = 2; }
  void mute_plane_load_fail() { plane_fail = 2; }
  void mute_instl_load_fail() { instl_fail = 2; }
  void reset_scene_load_fail() { scene_fail = 0; }
  void reset_plane_load_fail() { plane_fail = 0; }
  void reset_instl_load_fail() { instl_fail = 0; }

  int total_texes();
  int loaded_texes();
  int tot_vram();
  float scale_rat();
  void set_blend_level(int unit, float level);

  // Deferred scenery loads of records in state 101.
  int num_remaining_async_texes();
  int load_scenery_async_register(tman_force_finish_obj* finish);
  int load_scenery_async_work();
  int load_scenery_async_finalize();
  void load_all_scenery_texes();

  // Makes the fallback texture 932 (8 x 8 mid-grey) when it is not loaded. Start-up calls it
  // once the GL context exists; a missing file before that makes it on the spot.
  void make_fallback_texture();

  // Upload step of one decoded load (the record must exist); the ref, or 0 for a missing file.
  int load_texture_ogl(tex_load_vars* vars, int decode_result);

  int async_start = 0;
  int loaded = 0;
  int registered = 0;
  std::vector<ref_dat_struct> ref_dat;
  int scene_fail = 0;
  int plane_fail = 0;
  int instl_fail = 0;
  tex_load_vars* async_params = nullptr;
  int async_result = 0;
  tman_force_finish_obj* finish = nullptr;
  UTL_critical_section lock;

 private:
  bool ref_in_table(int ref) const { return ref >= 0 && ref < int(ref_dat.size()); }
  void grow_to(int ref);
};

extern tman_class tman;
// File name to ref, one entry per registered name; dynamic look-ups take only dynamic refs.
extern std::unordered_map<std::string, int> tex_hash;
extern tex_load_vars async_vars;

// What the manager needs from outside its layer and from the binding cache, replaceable by
// tests: the binds (TEX_bind_ref and TEX_reset_bind of the binding cache; plain binds on unit 0
// until it is linked in), the start-up progress screen (installed by the shell; nothing
// without it), the clock in seconds, and the blend level.
struct tman_hooks {
  void (*bind)(int tex, int unit, int mode);
  void (*reset_bind)();
  void (*show_progress)(const std::string& text);
  double (*seconds)();
  void (*set_blend_level)(int unit, float level);
};
tman_hooks& tman_hook_table();
