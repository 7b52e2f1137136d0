// The chunky vertex buffer: vertex data of any final size written into fixed 1 KB chunks,
// grouped into subregions, then turned into one contiguous block, either one GL vertex buffer
// object or one heap block. Writing never moves what was written; finalizing copies every byte
// once and frees each chunk right after copying it, so the peak memory is the finished block
// plus the chunks not copied yet. After finalizing, each subregion's offset says where its data
// starts in the block.
//
// Main thread (the thread with the GL context) for the GL operations; one thread at a time.
#pragma once

#include <GL/gl.h>

#include <cstdint>

class UTL_stat;

// Bytes held by finalized chunky buffers ("memory/chunky_buffers").
extern UTL_stat g_mem_used;

enum { chunky_chunk_bytes = 1024 };

// One chunk: its data area is filled from the start in whole 4-byte values.
struct chunky_chunk {
  chunky_chunk* next;  // null at the end of the subregion's list
  int bytes_free;      // of the data area; 1024 when new
  unsigned char data[chunky_chunk_bytes];
};

struct chunky_subregion {
  chunky_subregion* next;     // null at the end
  chunky_chunk* first_chunk;  // null once finalized
  chunky_chunk* cur_chunk;    // the chunk being written
  unsigned char* write_ptr;   // next free byte of cur_chunk
  int offset;                 // where the data starts in the finalized block; 0 until then
};

class OGL_chunkybuffer {
 public:
  OGL_chunkybuffer();
  ~OGL_chunkybuffer();
  OGL_chunkybuffer(const OGL_chunkybuffer&) = delete;
  OGL_chunkybuffer& operator=(const OGL_chunkybuffer&) = delete;

  // A new subregion at the end, with one empty chunk.
  chunky_subregion* new_subregion();
  // Appends count 4-byte values to a subregion of this buffer, starting a new chunk whenever
  // the current one is full. Nothing once the buffer is finalized.
  void append(chunky_subregion* region, const void* values, int count);

  // Each subregion's offset and the total size; nothing once finalized (the chunks are gone).
  void calc_offsets();
  // One vertex buffer object (GL_STATIC_DRAW when static_draw is non-zero, else
  // GL_STREAM_DRAW); the array-buffer binding is the same afterwards. Needs vertex buffer
  // support (the caller checks glExt.vbo_avail). A buffer is finalized once: a second finalize
  // of either kind does nothing.
  void finalize_vbo(int static_draw);
  // One heap block, in data.
  void finalize_mem();

  // For a buffer object: maps it for writing into data, or ends the mapping. Nothing for a
  // heap block. Binds through the buffer-binding cache, so the cache stays true.
  void map();
  void unmap();
  int is_mapped() const;

  void* data;          // the heap block, or the mapping between map and unmap; else null
  GLuint vbo;          // the buffer object, 0 when there is none
  int total_size;      // bytes
  chunky_subregion* head;
  chunky_subregion* tail;

 private:
  template <typename Copy>
  void drain_chunks(Copy copy);

  bool finalized_;
  int counted_;  // bytes this buffer added to g_mem_used
};
