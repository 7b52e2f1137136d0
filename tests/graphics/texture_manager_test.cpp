// The texture manager on Mesa under Xvfb: the registry of manual and dynamic refs, missing files
// and the fallback texture, range checks and their alerts, and what reaches GL (sizes, formats,
// wrap and filters, texels read back with glGetTexImage).
#include <GL/gl.h>
#include <GL/glext.h>
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <memory>
#include <vector>

#include "graphics/gl_capabilities.h"
#include "graphics/texture_manager.h"
#include "runtime/shell_records.h"
#include "runtime/shell_services.h"
#include "support/display_fixture.h"
#include "support/image_fixtures.h"
#include "support/shell_double.h"
#include "support/temp_tree.h"

namespace {

struct hook_log {
  std::vector<std::pair<int, int>> binds;  // (GL name, unit)
  int resets = 0;
  std::vector<std::string> progress;
  double now = 0;
};
hook_log* g_log = nullptr;

class TextureManager : public gl_display_test {
 protected:
  static void SetUpTestSuite() {
    gl_display_test::SetUpTestSuite();
    static std::vector<unsigned char> shared(TEX_scratch_bytes);
    scratch_array = shared.data();
    ASSERT_EQ(OGL_extensions::init_entry_points(), 0);
    glExt.init_extensions();
  }
  void SetUp() override {
    gl_display_test::SetUp();
    if (!have_imagemagick()) GTEST_SKIP() << "ImageMagick is not installed";
    shell_double::reset();
    shell_double::reopen_log();
    mnw.tex_res = 5;
    tm = std::make_unique<tman_class>();
    log = hook_log();
    g_log = &log;
    saved = tman_hook_table();
    tman_hooks& h = tman_hook_table();
    h.bind = [](int tex, int unit, int) {
      g_log->binds.push_back({tex, unit});
      glBindTexture(GL_TEXTURE_2D, GLuint(tex));
    };
    h.reset_bind = [] { ++g_log->resets; };
    h.show_progress = [](const std::string& text) { g_log->progress.push_back(text); };
    h.seconds = [] { return g_log->now; };
    const rgba_picture p = test_picture(8, 4, 2);
    png = make("pic.png", p);
  }
  void TearDown() override { tman_hook_table() = saved; }

  std::string make(const std::string& name, const rgba_picture& p,
                   std::vector<std::string> args = {"-define", "png:color-type=2"}) {
    EXPECT_TRUE(convert_picture(p, tree.path() + name, args));
    return tree.path() + name;
  }
  bool alerted(const std::string& first, const std::string& fourth = "") {
    for (const recorded_alert& a : shell_double::alerts())
      if (a.lines[0] == first && (fourth.empty() || a.lines[3] == fourth) && a.type == t_exit) return true;
    return false;
  }
  // Level 0 of the texture bound under name, as RGBA bytes, bottom row first.
  std::vector<unsigned char> texels(int ref, int* w, int* h) {
    glBindTexture(GL_TEXTURE_2D, GLuint(ref));
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, w);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_HEIGHT, h);
    std::vector<unsigned char> out(size_t(*w) * *h * 4);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, out.data());
    return out;
  }
  GLint param(int ref, GLenum name) {
    glBindTexture(GL_TEXTURE_2D, GLuint(ref));
    GLint v = 0;
    glGetTexParameteriv(GL_TEXTURE_2D, name, &v);
    return v;
  }

  temp_tree tree;
  std::unique_ptr<tman_class> tm;
  hook_log log;
  tman_hooks saved{};
  std::string png;
};

}  // namespace

TEST_F(TextureManager, DynamicRefsAreSharedCountedAndPurged) {
  EXPECT_EQ(tm->load_texture(0, 0, 0x501, 100, ""), 0);
  EXPECT_TRUE(tm->ref_dat.empty());
  EXPECT_EQ(tm->total_texes(), 0);

  const int a = tm->load_texture(0, 0, 0x501, 100, png);
  EXPECT_EQ(a, tex_first_dynamic);
  EXPECT_EQ(tm->load_texture(0, 0, 0x501, 100, png), a);
  EXPECT_EQ(tm->ref_dat[a].use_count, 2);
  tm->release_texture(a);
  tm->release_texture(a);
  EXPECT_EQ(tm->ref_dat[a].use_count, 0);
  EXPECT_TRUE(glIsTexture(GLuint(a)));
  tm->purge_unused_texes();
  EXPECT_FALSE(glIsTexture(GLuint(a)));
  EXPECT_EQ(tex_hash.count(png), 0u);
  EXPECT_EQ(tm->ref_dat[a].file_name, "un-inited");
  EXPECT_GE(log.resets, 1);

  // Four names take 1137 to 1140; with 1138 and 1140 free again, a new name takes 1140.
  std::vector<std::string> names;
  for (int i = 0; i < 4; ++i) names.push_back(make("d" + std::to_string(i) + ".png", test_picture(4, 4, i)));
  for (int i = 0; i < 4; ++i) EXPECT_EQ(tm->load_texture(0, 0, 0x501, 100, names[i]), tex_first_dynamic + i);
  tm->release_texture(1138);
  tm->release_texture(1140);
  tm->purge_unused_texes();
  EXPECT_EQ(tm->load_texture(0, 0, 0x501, 100, make("new.png", test_picture(4, 4, 9))), 1140);
  // With no free record up to 1199, the next name gets 1200 and the table 1201 records.
  tm->ref_dat.resize(1200);
  for (int i = 1141; i < 1200; ++i) tm->ref_dat[i].format = GL_RGBA;
  tm->ref_dat[1138].format = GL_RGBA;
  EXPECT_EQ(tm->load_texture(0, 0, 0x501, 100, make("last.png", test_picture(4, 4, 10))), 1200);
  EXPECT_EQ(tm->ref_dat.size(), 1201u);
  EXPECT_TRUE(shell_double::alerts().empty());
}

// Manual refs: the range (1 to 1136; 1137 is dynamic), the load-time and flag checks with their
// values printed without decimals, unload and release misuse, and the name map kept right when
// names move between records.
TEST_F(TextureManager, ManualRefsAndTheirChecks) {
  struct bad_load {
    int ref, flags, when;
    const char* first;
    const char* value;
  };
  for (const bad_load& b : std::vector<bad_load>{{1137, 0x501, 100, "Trying to bind too low or high a manual_ref!", "1137"},
                                                 {-1, 0x501, 100, "Trying to bind too low or high a manual_ref!", "-1"},
                                                 {396, 0x501, 99, "Trying to create an invalid texture load_time!", "99"},
                                                 {396, 0x501, 103, "Trying to create an invalid texture load_time!", "103"},
                                                 {396, 0x4000, 100, "Trying to bind an invalid filter type!", "16384"}}) {
    shell_double::reset();
    EXPECT_EQ(tm->load_texture(0, b.ref, b.flags, b.when, png), 0);
    EXPECT_TRUE(alerted(b.first, b.value)) << b.first << " " << b.value;
  }

  shell_double::reset();
  const std::string other = make("other.png", test_picture(8, 4, 5));
  EXPECT_EQ(tm->load_texture(0, 396, 0x501, 100, png), 396);
  EXPECT_EQ(tex_hash.at(png), 396);
  EXPECT_EQ(tm->load_texture(0, 396, 0x501, 100, other), 396);
  EXPECT_EQ(tex_hash.count(png), 0u);
  EXPECT_EQ(tex_hash.at(other), 396);

  // A dynamic load of a name registered under a manual ref gets a dynamic ref of its own, which
  // its user may release; unloading the manual ref leaves the dynamic entry.
  const int dyn = tm->load_texture(0, 0, 0x501, 100, other);
  EXPECT_GE(dyn, tex_first_dynamic);
  EXPECT_EQ(tex_hash.at(other), dyn);
  tm->unload_texture(396);
  EXPECT_EQ(tex_hash.at(other), dyn);
  EXPECT_EQ(tm->load_texture(0, 0, 0x501, 100, other), dyn);
  tm->release_texture(dyn);
  tm->release_texture(dyn);
  EXPECT_TRUE(shell_double::alerts().empty());

  struct misuse {
    std::function<void(tman_class&, int)> call;
    int ref;
    const char* first;
  };
  auto unload = [](tman_class& t, int r) { t.unload_texture(r); };
  auto release = [](tman_class& t, int r) { t.release_texture(r); };
  auto bind = [](tman_class& t, int r) { t.bind_ref(r, 0, 0); };
  auto force = [](tman_class& t, int r) { t.force_load_tex(r); };
  for (const misuse& m : std::vector<misuse>{
           {unload, dyn, "Error: dynamic textures should be released, not unloaded."},
           {unload, -3, "Trying to unload too low a manual_ref!"},
           {release, 396, "Trying to release a manual texture - use unload_texture."},
           {release, 5000, "Trying to release a ref outside the texture table!"},
           {release, 1180, "Ref count is negative - was never reffed."},
           {release, dyn, "Ref count went negative"},
           {bind, 5000, "Trying to bind a ref outside the texture table!"},
           {force, -2, "Trying to load a ref outside the texture table!"}}) {
    shell_double::reset();
    if (m.ref == 1180) tm->ref_dat.resize(1181);
    m.call(*tm, m.ref);
    EXPECT_TRUE(alerted(m.first)) << m.first;
  }
  // A manual ref never loaded unloads to nothing.
  shell_double::reset();
  tm->unload_texture(1100);
  EXPECT_TRUE(shell_double::alerts().empty());
}

// Missing files stand in with the fallback texture, which exists even when the first missing
// file comes before anything else; the fail mode decides the rest.
TEST_F(TextureManager, MissingFilesAndFailModes) {
  const std::string missing = tree.path() + "missing.png";
  for (int mode : {0, 1, 2, 3, 5, 4}) {
    SCOPED_TRACE(mode);
    shell_double::reset();
    shell_double::reopen_log();
    const int ref = 300 + mode;
    EXPECT_EQ(tm->load_texture(mode, ref, 0x501, 100, missing), 0);
    ASSERT_GT(tm->ref_dat.size(), size_t(tex_fallback_ref));
    EXPECT_TRUE(glIsTexture(tex_fallback_ref));
    EXPECT_EQ(tm->ref_dat[ref].state, tex_state_loaded);
    EXPECT_EQ(tm->ref_dat[ref].gl_name, tex_fallback_ref);
    const bool logged = shell_double::log_text().find("WARNING: we are missing the texture: " + missing + ".\n") !=
                        std::string::npos;
    EXPECT_EQ(logged, mode != 0 && mode != 4);
    EXPECT_EQ(alerted("Trying to load a texture that you do not have!", missing), mode == 4);
    log.binds.clear();
    tm->bind_ref(ref, 0, 0);
    ASSERT_EQ(log.binds.size(), 1u);
    EXPECT_EQ(log.binds[0].first, tex_fallback_ref);
  }
  EXPECT_EQ(tm->has_scene_load_fail(), 1);
  EXPECT_EQ(tm->has_plane_load_fail(), 1);
  EXPECT_EQ(tm->has_instl_load_fail(), 1);
  tm->mute_scene_load_fail();
  EXPECT_EQ(tm->load_texture(1, 310, 0x501, 100, missing), 0);
  EXPECT_EQ(tm->has_scene_load_fail(), 0);
  EXPECT_EQ(tm->scene_fail, 2);
  tm->reset_scene_load_fail();
  EXPECT_EQ(tm->scene_fail, 0);
  // A dynamic ref whose file is missing is still handed out.
  EXPECT_GE(tm->load_texture(0, 0, 0x501, 100, missing), tex_first_dynamic);
}

TEST_F(TextureManager, BindStates) {
  tm->load_texture(0, 396, 0x501, 100, png);
  log.binds.clear();
  tm->bind_ref(396, 1, 0);
  ASSERT_EQ(log.binds.size(), 1u);
  EXPECT_EQ(log.binds[0], std::make_pair(396, 1));
  tm->ref_dat[396].state = tex_state_deferred;
  tm->bind_ref(396, 0, 0);
  EXPECT_EQ(log.binds.back().first, tex_fallback_ref);
  EXPECT_TRUE(shell_double::alerts().empty());
  tm->ref_dat[396].state = tex_state_unloaded;
  tm->bind_ref(396, 0, 0);
  EXPECT_TRUE(alerted("missing non-scenery texture - how?"));
}

// What reaches GL: padded and exact sizes, the texels the right way up, wrap and filters by
// flags and ref, compressed DDS levels, mipmaps, and a reload of the same size in place.
TEST_F(TextureManager, UploadsThroughGL) {
  rgba_picture big = test_picture(1000, 500, 3);
  const std::string wide = make("wide.png", big);
  ASSERT_EQ(tm->load_texture(0, 396, 0x501, 100, wide), 396);
  int w = 0, h = 0;
  std::vector<unsigned char> t = texels(396, &w, &h);
  EXPECT_EQ(w, 1024);
  EXPECT_EQ(h, 512);
  EXPECT_FLOAT_EQ(tm->ref_dat[396].image_w, 1000);
  ASSERT_EQ(tm->load_texture(0, 397, 0x2501, 100, wide), 397);
  t = texels(397, &w, &h);
  ASSERT_EQ(w, 1000);
  ASSERT_EQ(h, 500);
  // The picture's top row is the texture's last row (t = 1); every row in its place.
  for (int y : {0, 1, 250, 499})
    for (int x : {0, 1, 500, 999})
      EXPECT_EQ(0, std::memcmp(&t[(size_t(499 - y) * 1000 + x) * 4], big.at(x, y), 3)) << x << "," << y;

  struct wrap_row {
    int ref, flags;
    GLint s, t, min, mag;
  };
  for (const wrap_row& r : std::vector<wrap_row>{{380, 0x511, GL_CLAMP_TO_EDGE, GL_CLAMP_TO_EDGE, GL_LINEAR, GL_LINEAR},
                                                 {381, 0x521, GL_CLAMP_TO_EDGE, GL_REPEAT, GL_LINEAR, GL_LINEAR},
                                                 {382, 0x501, GL_REPEAT, GL_REPEAT, GL_LINEAR, GL_LINEAR},
                                                 {383, 0x509, GL_REPEAT, GL_REPEAT, GL_LINEAR_MIPMAP_LINEAR, GL_LINEAR},
                                                 {393, 0x503, GL_REPEAT, GL_REPEAT, GL_NEAREST, GL_NEAREST},
                                                 {394, 0x503, GL_REPEAT, GL_REPEAT, GL_LINEAR, GL_LINEAR},
                                                 {392, 0x702, GL_REPEAT, GL_REPEAT, GL_NEAREST, GL_NEAREST}}) {
    SCOPED_TRACE(r.ref);
    ASSERT_EQ(tm->load_texture(0, r.ref, r.flags, 100, png), r.ref);
    EXPECT_EQ(param(r.ref, GL_TEXTURE_WRAP_S), r.s);
    EXPECT_EQ(param(r.ref, GL_TEXTURE_WRAP_T), r.t);
    EXPECT_EQ(param(r.ref, GL_TEXTURE_MIN_FILTER), r.min);
    EXPECT_EQ(param(r.ref, GL_TEXTURE_MAG_FILTER), r.mag);
  }
  GLint level1 = 0;
  glBindTexture(GL_TEXTURE_2D, 383);
  glGetTexLevelParameteriv(GL_TEXTURE_2D, 1, GL_TEXTURE_WIDTH, &level1);
  EXPECT_EQ(level1, 4);
  glBindTexture(GL_TEXTURE_2D, 393);
  GLint internal = 0;
  glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_INTERNAL_FORMAT, &internal);
  EXPECT_EQ(internal, GL_ALPHA);

  // A DXT1 DDS with its chain: compressed levels, the driver's size.
  const std::string dds = tree.path() + "chain.dds";
  ASSERT_TRUE(convert_picture(test_picture(16, 16, 4), dds, {"-alpha", "off", "-define", "dds:compression=dxt1"}));
  ASSERT_EQ(tm->load_texture(0, 384, 0x509, 100, dds), 384);
  glBindTexture(GL_TEXTURE_2D, 384);
  GLint compressed = 0, size = 0;
  glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_COMPRESSED, &compressed);
  glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_INTERNAL_FORMAT, &internal);
  glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_COMPRESSED_IMAGE_SIZE, &size);
  EXPECT_EQ(compressed, GL_TRUE);
  EXPECT_EQ(internal, GL_COMPRESSED_RGB_S3TC_DXT1_EXT);
  EXPECT_EQ(size, 128);
  EXPECT_EQ(tm->ref_dat[384].byte_size, int(128 * 1.33));

  // A reload of the same size and format replaces the texels in the same storage.
  const rgba_picture second = test_picture(8, 4, 7);
  const std::string png2 = make("pic2.png", second);
  ASSERT_EQ(tm->load_texture(0, 382, 0x501, 100, png2), 382);
  t = texels(382, &w, &h);
  EXPECT_EQ(0, std::memcmp(&t[0], second.at(0, 3), 3));
  EXPECT_TRUE(shell_double::alerts().empty());
}

// An unloaded manual ref loaded again gets its texels under its own name: the unload told the
// bind cache that the name is gone.
TEST_F(TextureManager, ReloadAfterUnloadLandsInTheRef) {
  ASSERT_EQ(tm->load_texture(0, 396, 0x501, 100, png), 396);
  const int resets = log.resets;
  tm->unload_texture(396);
  EXPECT_EQ(log.resets, resets + 1);
  EXPECT_FALSE(glIsTexture(396));
  const rgba_picture second = test_picture(8, 4, 8);
  ASSERT_EQ(tm->load_texture(0, 396, 0x501, 100, make("again.png", second)), 396);
  int w = 0, h = 0;
  const std::vector<unsigned char> t = texels(396, &w, &h);
  ASSERT_EQ(w, 8);
  EXPECT_EQ(0, std::memcmp(&t[0], second.at(0, 3), 3));
}

TEST_F(TextureManager, CountsAndVideoMemory) {
  mnw.draw_w = 100, mnw.draw_h = 10, mnw.depth = 32;
  tm->load_texture(0, 396, 0x501, 100, png);    // 8 x 4 RGB: 96 bytes
  tm->load_texture(0, 397, 0x509, 100, png);    // with mipmaps: 96 x 1.33
  tm->load_texture(0, 398, 0x501, 100, tree.path() + "none.png");  // missing: registered, not loaded
  EXPECT_EQ(tm->total_texes(), 3 + 1);  // and the fallback
  EXPECT_EQ(tm->loaded_texes(), 2 + 1);
  EXPECT_EQ(tm->tot_vram(), 100 * 10 * 4 + 96 + int(96 * 1.33) + 8 * 8 * 3);
  tm->unload_texture(396);
  EXPECT_EQ(tm->total_texes(), 3);
  EXPECT_EQ(tm->loaded_texes(), 2);
}

// The progress line: only after a pause of more than a second, at load time 100, and never for
// the scratch names or the quiet refs.
TEST_F(TextureManager, ProgressLineAfterAPause) {
  struct row {
    double now;
    int ref, when;
    std::string name;
    bool shown;
  };
  const std::vector<row> rows = {{10, 396, 100, png, true},  {10.5, 397, 100, png, false},
                                 {12, 392, 100, png, false}, {14, 430, 100, png, false},
                                 {16, 396, 101, png, false}, {18, 380, 100, png, true}};
  for (const row& r : rows) {
    log.progress.clear();
    log.now = r.now;
    tm->load_texture(0, r.ref, 0x501, r.when, r.name);
    EXPECT_EQ(log.progress.size(), r.shown ? 1u : 0u) << r.now;
    if (r.shown && !log.progress.empty()) {
      EXPECT_EQ(log.progress[0], "Loading bitmap " + png + ".");
    }
  }
}

// Drawn on the screen with t = 0 at the bottom, a picture stands the right way up: its red top
// half at the top of the quad, its blue bottom half below.
TEST_F(TextureManager, DrawnPictureStandsUpright) {
  rgba_picture p = test_picture(64, 32, 1);
  for (int y = 0; y < 32; ++y)
    for (int x = 0; x < 64; ++x) {
      unsigned char* px = p.at(x, y);
      px[0] = y < 16 ? 255 : 0;
      px[1] = x < 8 ? 255 : 0;  // a green stripe on the left
      px[2] = y < 16 ? 0 : 255;
    }
  ASSERT_EQ(tm->load_texture(0, 396, 0x501, 100, make("upright.png", p)), 396);
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  glOrtho(0, 1024, 0, 768, -1, 1);
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
  glEnable(GL_TEXTURE_2D);
  tm->bind_ref(396, 0, 0);
  glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_REPLACE);
  glBegin(GL_QUADS);
  glTexCoord2f(0, 0), glVertex2f(100, 100);
  glTexCoord2f(1, 0), glVertex2f(612, 100);
  glTexCoord2f(1, 1), glVertex2f(612, 356);
  glTexCoord2f(0, 1), glVertex2f(100, 356);
  glEnd();
  glDisable(GL_TEXTURE_2D);
  const gl_picture shot = read_back_buffer();
  save_screenshot("texture_upright");
  EXPECT_EQ(shot.rgb(400, 340), 0xFF0000u);
  EXPECT_EQ(shot.rgb(400, 120), 0x0000FFu);
  EXPECT_EQ(shot.rgb(110, 340), 0xFFFF00u);
  EXPECT_EQ(shot.rgb(110, 120), 0x00FFFFu);
}

// The same cycle through the program's own binds (the binding cache, once it is linked in): the
// unload must leave no cached binding of the deleted name behind, or the reload's bind is
// skipped and its texels go to texture 0.
TEST_F(TextureManager, ReloadAfterUnloadThroughTheProgramsBinds) {
  tman_hook_table() = saved;
  tm->reset_bind();
  ASSERT_EQ(tm->load_texture(0, 396, 0x501, 100, png), 396);
  tm->bind_ref(396, 0, 0);
  tm->unload_texture(396);
  const rgba_picture second = test_picture(8, 4, 11);
  ASSERT_EQ(tm->load_texture(0, 396, 0x501, 100, make("third.png", second)), 396);
  EXPECT_TRUE(glIsTexture(396));
  int w = 0, h = 0;
  const std::vector<unsigned char> t = texels(396, &w, &h);
  ASSERT_EQ(w, 8);
  EXPECT_EQ(0, std::memcmp(&t[0], second.at(0, 3), 3));
  tm->reset_bind();
}

// Deferred scenery loads (nothing in this program puts a record into state 101, so the state is
// set by hand): the records are taken in table order, decoded by the work step and uploaded by
// the finalize step; load_all_scenery_texes loads the rest with a progress line per 40.
TEST_F(TextureManager, DeferredSceneryLoads) {
  const std::string a = make("a.png", test_picture(8, 4, 21)), b = make("b.png", test_picture(8, 4, 22));
  tm->ref_dat.resize(1200);
  for (int ref : {1150, 1160}) {
    tm->ref_dat[ref].state = tex_state_deferred;
    tm->ref_dat[ref].format = GL_RGBA;
    tm->ref_dat[ref].flags = 0x501;
    tm->ref_dat[ref].fail_mode = 0;
    tm->ref_dat[ref].file_name = ref == 1150 ? a : b;
  }
  EXPECT_EQ(tm->num_remaining_async_texes(), 2);
  struct finisher : tman_force_finish_obj {
    void finish_load() override {}
  } finish;
  ASSERT_EQ(tm->load_scenery_async_register(&finish), 1);
  EXPECT_EQ(tm->async_params->ref, 1150);
  EXPECT_EQ(tm->load_scenery_async_work(), 2);
  EXPECT_EQ(tm->load_scenery_async_finalize(), 1150);
  EXPECT_EQ(tm->ref_dat[1150].state, tex_state_loaded);
  EXPECT_TRUE(glIsTexture(1150));
  EXPECT_EQ(tm->load_scenery_async_finalize(), 0);  // nothing registered any more
  EXPECT_EQ(tm->num_remaining_async_texes(), 1);

  log.progress.clear();
  tm->load_all_scenery_texes();
  EXPECT_EQ(tm->ref_dat[1160].state, tex_state_loaded);
  ASSERT_EQ(log.progress.size(), 1u);
  EXPECT_EQ(log.progress[0], "Loading scenery texture b.png.");
  EXPECT_EQ(tm->num_remaining_async_texes(), 0);
  EXPECT_EQ(tm->load_scenery_async_register(&finish), 0);
}
