// The chunky vertex buffer on Mesa under Xvfb: what was written comes out of both kinds of
// finalize byte for byte at the right offsets, the array-buffer binding is the same afterwards,
// the memory statistic rises and falls by the total, mapping keeps the binding cache true, a
// second finalize changes nothing, and vertices drawn from the buffer land where they should.
#include "graphics/chunky_buffer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

#include "graphics/gl_capabilities.h"
#include "graphics/gl_state.h"
#include "runtime/memory/stats.h"
#include "support/display_fixture.h"
#include "support/shell_double.h"

namespace {

class ChunkyBuffer : public gl_display_test {
 protected:
  static void SetUpTestSuite() {
    gl_display_test::SetUpTestSuite();
    ASSERT_EQ(OGL_extensions::init_entry_points(), 0);
    glExt.init_extensions();
    ASSERT_TRUE(glExt.vbo_avail);
  }
  void SetUp() override {
    gl_display_test::SetUp();
    shell_double::reset();
  }
};

// Fills each subregion with its size in bytes of 32-bit values numbered on from the last one
// written, and returns the whole sequence as the finalized block must hold it.
std::vector<uint32_t> fill(OGL_chunkybuffer& buffer, const std::vector<int>& sizes,
                           std::vector<chunky_subregion*>& regions) {
  std::vector<uint32_t> all;
  for (int bytes : sizes) {
    chunky_subregion* region = buffer.new_subregion();
    regions.push_back(region);
    std::vector<uint32_t> values;
    for (int i = 0; i < bytes / 4; ++i) values.push_back(static_cast<uint32_t>(all.size() + values.size()));
    // Written in uneven runs, so that appends cross chunk ends in the middle of a run.
    for (size_t at = 0; at < values.size();) {
      const size_t run = std::min<size_t>(values.size() - at, 1 + at % 97);
      buffer.append(region, values.data() + at, static_cast<int>(run));
      at += run;
    }
    all.insert(all.end(), values.begin(), values.end());
  }
  return all;
}

struct SizeCase {
  const char* what;
  std::vector<int> sizes;
  std::vector<int> offsets;
  int total;
};

const SizeCase size_cases[] = {
    {"no subregion", {}, {}, 0},
    {"one empty subregion", {0}, {0}, 0},
    {"a subregion over two chunks, an empty one, a small one", {1504, 0, 12}, {0, 1504, 1504}, 1516},
    {"exactly one chunk, then one chunk and a value", {1024, 1028}, {0, 1024}, 2052},
    {"three times four chunks", {4096, 4096, 4096}, {0, 4096, 8192}, 12288},
};

TEST_F(ChunkyBuffer, FinalizeToMemoryKeepsEveryByteInPlace) {
  for (const SizeCase& c : size_cases) {
    const float before = g_mem_used.value;
    {
      OGL_chunkybuffer buffer;
      std::vector<chunky_subregion*> regions;
      const std::vector<uint32_t> want = fill(buffer, c.sizes, regions);
      buffer.finalize_mem();
      EXPECT_EQ(buffer.total_size, c.total) << c.what;
      EXPECT_EQ(buffer.vbo, 0u) << c.what;
      ASSERT_NE(buffer.data, nullptr) << c.what;
      for (size_t i = 0; i < regions.size(); ++i) {
        EXPECT_EQ(regions[i]->offset, c.offsets[i]) << c.what << " subregion " << i;
        EXPECT_EQ(regions[i]->first_chunk, nullptr) << c.what;
      }
      if (c.total > 0) {
        EXPECT_EQ(std::memcmp(buffer.data, want.data(), static_cast<size_t>(c.total)), 0) << c.what;
      }
      EXPECT_EQ(g_mem_used.value, before + static_cast<float>(c.total)) << c.what;

      // A heap block has nothing to map.
      buffer.map();
      EXPECT_EQ(buffer.is_mapped(), 0) << c.what;
      void* const block = buffer.data;
      buffer.unmap();
      EXPECT_EQ(buffer.data, block) << c.what;
    }
    EXPECT_EQ(g_mem_used.value, before) << c.what;
  }
}

TEST_F(ChunkyBuffer, FinalizeToBufferObjectKeepsEveryByteAndTheBinding) {
  GLuint other = 0;
  glExt.glGenBuffersARB(1, &other);
  for (const SizeCase& c : size_cases) {
    // Something else is bound, through the cache, as drawing code leaves it.
    OGL_bind_vbo(other);
    const float before = g_mem_used.value;
    {
      OGL_chunkybuffer buffer;
      std::vector<chunky_subregion*> regions;
      const std::vector<uint32_t> want = fill(buffer, c.sizes, regions);
      buffer.finalize_vbo(1);
      ASSERT_NE(buffer.vbo, 0u) << c.what;
      EXPECT_EQ(buffer.data, nullptr) << c.what;
      EXPECT_EQ(buffer.total_size, c.total) << c.what;
      for (size_t i = 0; i < regions.size(); ++i) EXPECT_EQ(regions[i]->offset, c.offsets[i]) << c.what;
      GLint bound = 0;
      glGetIntegerv(GL_ARRAY_BUFFER_BINDING_ARB, &bound);
      EXPECT_EQ(static_cast<GLuint>(bound), other) << c.what;
      EXPECT_EQ(g_mem_used.value, before + static_cast<float>(c.total)) << c.what;

      glExt.glBindBufferARB(GL_ARRAY_BUFFER_ARB, buffer.vbo);
      GLint size = -1;
      glExt.glGetBufferParameterivARB(GL_ARRAY_BUFFER_ARB, GL_BUFFER_SIZE_ARB, &size);
      EXPECT_EQ(size, c.total) << c.what;
      std::vector<uint32_t> got(want.size());
      if (c.total > 0) glExt.glGetBufferSubDataARB(GL_ARRAY_BUFFER_ARB, 0, c.total, got.data());
      glExt.glBindBufferARB(GL_ARRAY_BUFFER_ARB, other);
      EXPECT_EQ(got, want) << c.what;
    }
    EXPECT_EQ(g_mem_used.value, before) << c.what;
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR)) << c.what;
  }
  const GLuint none = 0;
  OGL_bind_vbo(none);
  glExt.glDeleteBuffersARB(1, &other);
}

TEST_F(ChunkyBuffer, MapWritesReachTheBufferAndTheCacheStaysTrue) {
  GLuint other = 0;
  glExt.glGenBuffersARB(1, &other);
  {
    OGL_chunkybuffer buffer;
    std::vector<chunky_subregion*> regions;
    fill(buffer, {2048}, regions);
    buffer.finalize_vbo(0);
    OGL_bind_vbo(other);  // the cache now holds the other buffer

    buffer.map();
    ASSERT_EQ(buffer.is_mapped(), 1);
    // A cached bind of the other buffer must reach GL after each of map and unmap: they bind
    // through the cache.
    GLint bound = 0;
    OGL_bind_vbo(other);
    glGetIntegerv(GL_ARRAY_BUFFER_BINDING_ARB, &bound);
    EXPECT_EQ(static_cast<GLuint>(bound), other);
    auto* words = static_cast<uint32_t*>(buffer.data);
    for (int i = 0; i < 512; ++i) words[i] = 0xA5000000u + static_cast<uint32_t>(i);
    buffer.unmap();
    EXPECT_EQ(buffer.is_mapped(), 0);
    EXPECT_EQ(buffer.data, nullptr);

    OGL_bind_vbo(other);
    glGetIntegerv(GL_ARRAY_BUFFER_BINDING_ARB, &bound);
    EXPECT_EQ(static_cast<GLuint>(bound), other);

    std::vector<uint32_t> got(512);
    glExt.glBindBufferARB(GL_ARRAY_BUFFER_ARB, buffer.vbo);
    glExt.glGetBufferSubDataARB(GL_ARRAY_BUFFER_ARB, 0, 2048, got.data());
    glExt.glBindBufferARB(GL_ARRAY_BUFFER_ARB, other);
    for (int i = 0; i < 512; ++i) ASSERT_EQ(got[static_cast<size_t>(i)], 0xA5000000u + static_cast<uint32_t>(i));
  }
  // The destructor cleared the cache, so binding the other buffer again reaches GL too.
  glExt.glBindBufferARB(GL_ARRAY_BUFFER_ARB, 0);
  OGL_bind_vbo(other);
  GLint bound = 0;
  glGetIntegerv(GL_ARRAY_BUFFER_BINDING_ARB, &bound);
  EXPECT_EQ(static_cast<GLuint>(bound), other);
  const GLuint none = 0;
  OGL_bind_vbo(none);
  glExt.glDeleteBuffersARB(1, &other);
}

TEST_F(ChunkyBuffer, FinalizingTwiceChangesNothing) {
  const float before = g_mem_used.value;
  {
    OGL_chunkybuffer buffer;
    std::vector<chunky_subregion*> regions;
    const std::vector<uint32_t> want = fill(buffer, {1504, 12}, regions);
    buffer.finalize_mem();
    void* const block = buffer.data;
    buffer.finalize_mem();
    buffer.finalize_vbo(1);
    buffer.calc_offsets();
    EXPECT_EQ(buffer.data, block);
    EXPECT_EQ(buffer.vbo, 0u);
    EXPECT_EQ(buffer.total_size, 1516);
    EXPECT_EQ(regions[1]->offset, 1504);
    EXPECT_EQ(std::memcmp(buffer.data, want.data(), 1516), 0);
    EXPECT_EQ(g_mem_used.value, before + 1516);
    buffer.append(regions[1], want.data(), 4);  // writing after finalize does nothing either
    EXPECT_EQ(buffer.total_size, 1516);
  }
  {
    OGL_chunkybuffer buffer;
    std::vector<chunky_subregion*> regions;
    fill(buffer, {4096}, regions);
    buffer.finalize_vbo(1);
    const GLuint first = buffer.vbo;
    buffer.finalize_vbo(1);
    EXPECT_EQ(buffer.vbo, first);
    EXPECT_EQ(buffer.total_size, 4096);
    EXPECT_EQ(g_mem_used.value, before + 4096);
  }
  // Offsets computed without a finalize count nothing, and take nothing away.
  {
    OGL_chunkybuffer buffer;
    std::vector<chunky_subregion*> regions;
    fill(buffer, {400}, regions);
    buffer.calc_offsets();
    EXPECT_EQ(buffer.total_size, 400);
  }
  EXPECT_EQ(g_mem_used.value, before);
}

void* GLAPIENTRY refuse_map(GLenum, GLenum) { return nullptr; }

TEST_F(ChunkyBuffer, AMappingThatFailsIsFatal) {
  OGL_chunkybuffer buffer;
  std::vector<chunky_subregion*> regions;
  fill(buffer, {64}, regions);
  buffer.finalize_vbo(1);
  const auto real_map = glExt.glMapBufferARB;
  glExt.glMapBufferARB = refuse_map;
  buffer.map();
  glExt.glMapBufferARB = real_map;
  EXPECT_EQ(buffer.is_mapped(), 0);
  const auto alerts = shell_double::alerts();
  ASSERT_EQ(alerts.size(), 1u);
  EXPECT_EQ(alerts[0].type, 2);
  EXPECT_EQ(alerts[0].lines[0], "Skyrill has run out of video card memory.");
  EXPECT_EQ(alerts[0].lines[3], "If that does not help, please report this to Corvane!");
}

// Two quads in two subregions of one buffer object, drawn from their offsets.
TEST_F(ChunkyBuffer, VerticesDrawFromTheirSubregions) {
  OGL_chunkybuffer buffer;
  chunky_subregion* left = buffer.new_subregion();
  chunky_subregion* right = buffer.new_subregion();
  const float left_quad[] = {100, 100, 300, 100, 300, 300, 100, 300};
  const float right_quad[] = {600, 200, 900, 200, 900, 500, 600, 500};
  buffer.append(left, left_quad, 8);
  buffer.append(right, right_quad, 8);
  buffer.finalize_vbo(1);

  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  glOrtho(0, 1024, 0, 768, -1, 1);
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
  glDisable(GL_TEXTURE_2D);
  glDisable(GL_BLEND);
  glDisable(GL_DEPTH_TEST);
  OGL_bind_vbo(buffer.vbo);
  glEnableClientState(GL_VERTEX_ARRAY);
  glColor3f(1, 0, 0);
  glVertexPointer(2, GL_FLOAT, 0, reinterpret_cast<const void*>(static_cast<intptr_t>(left->offset)));
  glDrawArrays(GL_QUADS, 0, 4);
  glColor3f(0, 1, 0);
  glVertexPointer(2, GL_FLOAT, 0, reinterpret_cast<const void*>(static_cast<intptr_t>(right->offset)));
  glDrawArrays(GL_QUADS, 0, 4);
  glDisableClientState(GL_VERTEX_ARRAY);
  const GLuint none = 0;
  OGL_bind_vbo(none);

  const gl_picture picture = read_back_buffer();
  save_screenshot("chunky_buffer_quads");
  int x0, y0, x1, y1;
  ASSERT_TRUE(picture.bounds(0xFF0000, &x0, &y0, &x1, &y1));
  EXPECT_EQ(x0, 100);
  EXPECT_EQ(y0, 100);
  EXPECT_EQ(x1, 299);
  EXPECT_EQ(y1, 299);
  ASSERT_TRUE(picture.bounds(0x00FF00, &x0, &y0, &x1, &y1));
  EXPECT_EQ(x0, 600);
  EXPECT_EQ(y0, 200);
  EXPECT_EQ(x1, 899);
  EXPECT_EQ(y1, 499);
}

}  // namespace
