// The movie recorder's file: a QuickTime (.mov) file with one video track of JPEG frames, time
// scale 600, written through FFmpeg (the "mov" muxer, the MJPEG encoder, and libswscale for
// BGRA to full-range YUV 4:2:0). Frames come in as the window's read-back gives them: BGRA bytes,
// rows bottom-up. One object is used by one thread at a time.
#pragma once

#include <cstdint>
#include <string>

struct AVFormatContext;
struct AVCodecContext;
struct AVIOContext;
struct AVStream;
struct AVFrame;
struct AVPacket;
struct SwsContext;

// 1 when FFmpeg has an MJPEG encoder, which is all a recording needs.
int movie_encoder_available();

// Creates the next free movie file under prefix (a folder ending with "/", or "" for the current
// folder): "Skyrill movie take-N.mov" with N counting up from *take + 1, skipping every name
// that exists in any form (a file of any kind, an unreadable one, a dangling link). The file is
// made with O_EXCL, so an existing file is never truncated. Returns the open descriptor and sets
// *take and *path, or returns -errno.
int movie_create_take(const std::string& prefix, int* take, std::string* path);

class movie_file {
 public:
  // Which step failed, for the caller's message.
  enum stage { ok = 0, stage_create, stage_compressor, stage_track, stage_frame, stage_sample,
               stage_finish };

  movie_file() = default;
  ~movie_file();  // an unfinished file is closed as it stands (it has no index)
  movie_file(const movie_file&) = delete;
  movie_file& operator=(const movie_file&) = delete;

  // Takes the descriptor (closed by the object from then on, also on failure) and writes the
  // file header for a width x height track. Returns 0, or an FFmpeg error code with *failed set.
  int open(int fd, int width, int height, stage* failed);
  // Compresses one frame (width x height x 4 bytes, BGRA, bottom row first) and appends it as a
  // sample lasting units / 600 s (limited to 1..60).
  int add_frame(const uint8_t* bgra, int units, stage* failed);
  // Writes the movie's index and closes the file.
  int finish(stage* failed);

  bool is_open() const { return fc_ != nullptr; }

 private:
  void release();
  static int write_cb(void* opaque, uint8_t* buf, int size);
  static int64_t seek_cb(void* opaque, int64_t offset, int whence);
  int write_packets(stage* failed);

  int fd_ = -1;
  int width_ = 0;
  int height_ = 0;
  AVFormatContext* fc_ = nullptr;
  AVIOContext* io_ = nullptr;
  AVStream* st_ = nullptr;
  AVCodecContext* cc_ = nullptr;
  SwsContext* sws_ = nullptr;
  AVFrame* frame_ = nullptr;
  AVPacket* pkt_ = nullptr;
  int64_t next_pts_ = 0;  // in 1/600 s
  int write_error_ = 0;
};
