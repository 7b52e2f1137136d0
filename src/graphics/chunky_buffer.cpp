#include "graphics/chunky_buffer.h"

#include <cstring>

#include "graphics/gl_capabilities.h"
#include "graphics/gl_state.h"
#include "runtime/memory/pooled_allocator.h"
#include "runtime/memory/stats.h"
#include "runtime/shell_services.h"

UTL_stat g_mem_used("memory/chunky_buffers", UTL_stat_memory, 0);

namespace {

const char kAlertFile[] = "/code/design++/RIzirud/OGL/OGL_ChunkyBuffer";

chunky_chunk* new_chunk() {
  auto* chunk = static_cast<chunky_chunk*>(nedmalloc(sizeof(chunky_chunk)));
  chunk->next = nullptr;
  chunk->bytes_free = chunky_chunk_bytes;
  return chunk;
}

int used_bytes(const chunky_chunk* chunk) { return chunky_chunk_bytes - chunk->bytes_free; }

}  // namespace

OGL_chunkybuffer::OGL_chunkybuffer()
    : data(nullptr), vbo(0), total_size(0), head(nullptr), tail(nullptr), finalized_(false), counted_(0) {}

OGL_chunkybuffer::~OGL_chunkybuffer() {
  if (vbo != 0) {
    // The buffer goes away under the binding caches: make them forget it (and anything else
    // bound) so that the next bind of a reused name reaches GL.
    const GLuint none = 0;
    OGL_bind_vbo(none);
    OGL_bind_vbo_ind(none);
    glExt.glDeleteBuffersARB(1, &vbo);
  } else if (data != nullptr) {
    nedfree(data);
  }
  for (chunky_subregion* region = head; region != nullptr;) {
    for (chunky_chunk* chunk = region->first_chunk; chunk != nullptr;) {
      chunky_chunk* next = chunk->next;
      nedfree(chunk);
      chunk = next;
    }
    chunky_subregion* next = region->next;
    nedfree(region);
    region = next;
  }
  g_mem_used.value -= static_cast<float>(counted_);
}

chunky_subregion* OGL_chunkybuffer::new_subregion() {
  auto* region = static_cast<chunky_subregion*>(nedmalloc(sizeof(chunky_subregion)));
  region->next = nullptr;
  region->first_chunk = region->cur_chunk = new_chunk();
  region->write_ptr = region->first_chunk->data;
  region->offset = 0;
  if (tail != nullptr)
    tail->next = region;
  else
    head = region;
  tail = region;
  return region;
}

void OGL_chunkybuffer::append(chunky_subregion* region, const void* values, int count) {
  if (finalized_ || region == nullptr || region->cur_chunk == nullptr) return;
  const auto* from = static_cast<const unsigned char*>(values);
  for (int i = 0; i < count; ++i, from += 4) {
    chunky_chunk* chunk = region->cur_chunk;
    if (chunk->bytes_free < 4) {
      chunk->next = new_chunk();
      region->cur_chunk = chunk = chunk->next;
      region->write_ptr = chunk->data;
    }
    std::memcpy(region->write_ptr, from, 4);
    region->write_ptr += 4;
    chunk->bytes_free -= 4;
  }
}

void OGL_chunkybuffer::calc_offsets() {
  // Once finalized the chunks are gone and the offsets already hold.
  if (finalized_) return;
  total_size = 0;
  for (chunky_subregion* region = head; region != nullptr; region = region->next) {
    region->offset = total_size;
    for (const chunky_chunk* chunk = region->first_chunk; chunk != nullptr; chunk = chunk->next)
      total_size += used_bytes(chunk);
  }
}

// Hands every chunk, in order, to copy(chunk, position), frees it, and leaves the subregions
// without chunks.
template <typename Copy>
void OGL_chunkybuffer::drain_chunks(Copy copy) {
  int position = 0;
  for (chunky_subregion* region = head; region != nullptr; region = region->next) {
    for (chunky_chunk* chunk = region->first_chunk; chunk != nullptr;) {
      copy(chunk, position);
      position += used_bytes(chunk);
      chunky_chunk* next = chunk->next;
      nedfree(chunk);
      chunk = next;
    }
    region->first_chunk = region->cur_chunk = nullptr;
    region->write_ptr = nullptr;
  }
  finalized_ = true;
}

void OGL_chunkybuffer::finalize_vbo(int static_draw) {
  // A second finalize would find no chunks, size the buffer 0 and lose the first one.
  if (finalized_) return;
  calc_offsets();
  g_mem_used.value += static_cast<float>(total_size);
  counted_ = total_size;

  glExt.glGenBuffersARB(1, &vbo);
  GLint previous = 0;
  glGetIntegerv(GL_ARRAY_BUFFER_BINDING_ARB, &previous);
  // Raw binds on purpose: the binding is put back as it was, so the cache stays true.
  glExt.glBindBufferARB(GL_ARRAY_BUFFER_ARB, vbo);
  glExt.glBufferDataARB(GL_ARRAY_BUFFER_ARB, total_size, nullptr,
                        static_draw ? GL_STATIC_DRAW_ARB : GL_STREAM_DRAW_ARB);
  data = nullptr;
  drain_chunks([](const chunky_chunk* chunk, int position) {
    glExt.glBufferSubDataARB(GL_ARRAY_BUFFER_ARB, position, used_bytes(chunk), chunk->data);
  });
  glExt.glBindBufferARB(GL_ARRAY_BUFFER_ARB, static_cast<GLuint>(previous));
}

void OGL_chunkybuffer::finalize_mem() {
  if (finalized_) return;
  calc_offsets();
  g_mem_used.value += static_cast<float>(total_size);
  counted_ = total_size;

  auto* block = static_cast<unsigned char*>(nedmalloc(static_cast<size_t>(total_size > 0 ? total_size : 1)));
  data = block;
  drain_chunks([block](const chunky_chunk* chunk, int position) {
    std::memcpy(block + position, chunk->data, static_cast<size_t>(used_bytes(chunk)));
  });
}

void OGL_chunkybuffer::map() {
  if (vbo == 0) return;
  OGL_bind_vbo(vbo);
  void* mapping = glExt.glMapBufferARB(GL_ARRAY_BUFFER_ARB, GL_WRITE_ONLY_ARB);
  const GLuint none = 0;
  OGL_bind_vbo(none);
  if (mapping == nullptr) {
    __MACIBM_alert(0, "Skyrill has run out of video card memory.", "I was unable to shift the scenery.",
                   "Try running Skyrill with lower rendering settings.",
                   "If that does not help, please report this to Corvane!", t_exit, kAlertFile, 186);
    return;
  }
  data = mapping;
}

void OGL_chunkybuffer::unmap() {
  if (vbo == 0) return;
  OGL_bind_vbo(vbo);
  glExt.glUnmapBufferARB(GL_ARRAY_BUFFER_ARB);
  const GLuint none = 0;
  OGL_bind_vbo(none);
  data = nullptr;
}

int OGL_chunkybuffer::is_mapped() const { return vbo != 0 && data != nullptr ? 1 : 0; }
