// The movie recorder: records what the window shows into "Skyrill movie take-N.mov". Once per
// frame the main thread captures the window at the movie size and hands the pixels to a
// compressor thread, which JPEG-compresses them into the movie file; a small pool of frame
// records circulates between the two, and a frame is dropped rather than waited for when every
// record is in flight. Nothing in the installer starts a recording, so in the program
// qtim_class::mov_per_frame returns 0 and the event procedure swaps the buffers itself.
#pragma once

#include <cstdint>
#include <string>

// Where the recorder's pictures come from and where its light and buffer swaps go: the window
// through OpenGL in the program (graphics/movie_gl_capture.h), synthetic pictures in tests.
// Main thread only.
class movie_capture {
 public:
  virtual ~movie_capture() = default;
  // A recording starts at movie_w x movie_h (its capture texture and read-back buffer).
  virtual void begin(int movie_w, int movie_h) = 0;
  // The recording ends, or a start is abandoned: everything begin made is released.
  virtual void end() = 0;
  // 1 when a frame's pixels arrive only with the next capture (asynchronous read-back).
  virtual int delayed() const = 0;
  // Copies the window as it stands, before the record light is drawn.
  virtual void grab_window() = 0;
  // Draws a text in a palette colour at (x, y) in screen units.
  virtual void draw_text(int colour, float x, float y, const std::string& text) = 0;
  // Ends the frame by showing the back buffer.
  virtual void swap_buffers() = 0;
  // Scales the grabbed window to the movie size and reads it back, BGRA, bottom row first:
  // into pixels, or when delayed into the read-back buffer (pixels is then not written).
  virtual void read_frame(uint8_t* pixels) = 0;
  // Delayed only: the pixels of the frame read last.
  virtual void read_previous(uint8_t* pixels) = 0;
};

class qtim_class {
 public:
  qtim_class();
  ~qtim_class();
  qtim_class(const qtim_class&) = delete;
  qtim_class& operator=(const qtim_class&) = delete;

  // Idle: stores the mode and starts a recording (1 into a movie file). Recording: stops once
  // more than two frame records have come back from the compressor since the start.
  void mov_toggle(int mode);
  // Called at the end of every frame in place of the buffer swap: 1 when it has swapped.
  int mov_per_frame();
  // One frame of recording; 0 when it did nothing, 1 when it swapped the buffers.
  int mov_add_frame();
  // "Quicktime Movie Recording..." at (10, 10).
  void draw_record_lgt();
  // Finishes a running recording, then ends the compressor thread. Never waits on a thread
  // that has had no frame.
  void stop_thread();

  int available;        // 1 when the MJPEG encoder is there; nothing records without it
  int mode;             // 0 idle, 1 recording to a movie file, 2 stop requested
  int movie_width;      // pixels, 32..2048; at a start no wider than the window
  int movie_height;     // pixels, from the window's aspect at each start, at most 2048
  float frame_rate;     // frames per second, 10..99
  int returned_buffers; // frame records back from the compressor since the start
};

extern qtim_class qtim;

void mov_startrecord();
void mov_stoprecord();
// A fatal alert: the two strings, the text and the code as a signed decimal.
void mov_alert(const std::string& line1, const std::string& line2, const std::string& text,
               int code);
// The compressor thread's entry.
void* QT_Thread(void* arg);

// The capture the recorder uses (not owned); null leaves the recorder unable to record. The
// program sets the window's, tests their own.
void qtim_set_capture(movie_capture* capture);

// For tests: a call made on the compressor thread before each frame it compresses (null for
// none), the movie clock of the last captured frame in seconds, the records ready for capture,
// the last movie file's path and the number of frames it received.
void qtim_set_compress_gate(void (*gate)());
double qtim_prev_frame_time();
int qtim_usable_buffer_count();
std::string qtim_movie_path();
