#include "graphics/movie_recorder.h"

#include <unistd.h>

#include <atomic>
#include <cstdint>
#include <list>

#include "graphics/movie_file.h"
#include "runtime/conversions.h"
#include "runtime/frame_clock.h"
#include "runtime/memory/pooled_allocator.h"
#include "runtime/shell_records.h"
#include "runtime/shell_services.h"
#include "runtime/thread_layer.h"
#include "runtime/threads.h"

namespace {

// One frame on its way between the main thread and the compressor.
struct frame_record {
  float frame_time = 0.0f;    // seconds since the previously captured frame
  uint8_t* pixels = nullptr;  // movie width x movie height x 4 bytes, BGRA, bottom row first
  int block_size = 0;         // bytes
};

constexpr int max_movie_side = 2048;
constexpr int min_records = 3;
constexpr int time_scale = 600;
const char* const light_text = "Quicktime Movie Recording...";
const char* const encoder_url = "https://ffmpeg.org/download.html";

int qt_thread_made = 0;
// Read by the compressor at each flush marker: 0 ends it, non-zero keeps it waiting for frames.
std::atomic<int> control_value{0};
UTL_message_queue* q_to_thread = nullptr;
UTL_message_queue* q_from_thread = nullptr;
std::list<frame_record*> usable_buffers;
UTL_thread qt_thread{}, qt_thread_id{}, qt_thread_join{};
// Movie clock readings in microseconds, so that the pacing compares exact numbers.
int64_t start_mov_time = 0;
int64_t prev_frame_time = 0;
int pbo_has_data = 0;
// The open movie. The main thread opens it before the first frame goes to the compressor and
// finishes it after the compressor has acknowledged the flush; the queue hand-offs order it.
movie_file* g_movie = nullptr;
std::string movie_path;
int movie_take = 0;
movie_capture* g_capture = nullptr;
void (*g_gate)() = nullptr;

// A failure on the compressor thread, reported by the main thread once the record that met it
// has come back (an alert on the compressor would end it and leave the main thread waiting).
// The compressor writes no more frames into the movie after a failure.
std::atomic<int> g_failure_code{0};
std::atomic<int> g_failure_stage{movie_file::ok};
int g_failure_reported = 0;  // main thread

// The running time: the simulation time this program keeps never moves.
int64_t movie_clock() { return xtim_class::microsecs(); }

int frame_bytes() { return qtim.movie_width * qtim.movie_height * 4; }

void send_frame(frame_record* rec) { UTL_message_queue_write(q_to_thread, rec); }

// Main thread: raises the compressor's failure, once.
void report_thread_failure() {
  const int code = g_failure_code.load();
  if (code == 0 || g_failure_reported) return;
  g_failure_reported = 1;
  if (g_failure_stage.load() == movie_file::stage_frame)
    mov_alert("Could not CompressSequenceFrame.",
              std::string("YOU HAVE TO INSTALL THE LATEST QUICKTIME WITH AUTHORING MODULE FROM ") +
                  encoder_url + "!",
              "(CompressSequenceBegin failed.)", code);
  else
    mov_alert("Could not AddMediaSample.", "", "AddMediaSample failed.", code);
}

// Frame records back from the compressor, without waiting.
void collect_returned() {
  while (void* item = UTL_message_queue_read(q_from_thread, 0)) {
    usable_buffers.push_back(static_cast<frame_record*>(item));
    ++qtim.returned_buffers;
  }
}

// A start that cannot go on leaves nothing behind: idle, no capture, no movie.
void abandon_start() {
  qtim.mode = 0;
  pbo_has_data = 0;
}

void free_records() {
  for (frame_record* rec : usable_buffers) {
    if (rec->pixels) nedfree(rec->pixels);
    delete rec;
  }
  usable_buffers.clear();
}

}  // namespace

// After the unit's globals, so that it is destroyed before them.
qtim_class qtim;

qtim_class::qtim_class()
    : available(movie_encoder_available()),
      mode(0),
      movie_width(320),
      movie_height(0),
      frame_rate(20.0f),
      returned_buffers(0) {}

// The frame records are freed by stop_thread, which shut-down calls; nothing is left for exit.
qtim_class::~qtim_class() = default;

void qtim_set_capture(movie_capture* capture) { g_capture = capture; }
void qtim_set_compress_gate(void (*gate)()) { g_gate = gate; }
double qtim_prev_frame_time() { return static_cast<double>(prev_frame_time) / 1e6; }
int qtim_usable_buffer_count() { return static_cast<int>(usable_buffers.size()); }
std::string qtim_movie_path() { return movie_path; }

void mov_alert(const std::string& line1, const std::string& line2, const std::string& text,
               int code) {
  char num[16];
  int_to_str(code, num, 1, 1);
  __MACIBM_alert(0, line1, line2, text, num, t_exit, __FILE__, __LINE__);
}

void qtim_class::draw_record_lgt() {
  if (g_capture) g_capture->draw_text(57, 10.0f, 10.0f, light_text);
}

void qtim_class::mov_toggle(int new_mode) {
  if (!available || !g_capture) return;
  if (mode == 0) {
    if (new_mode == 0) return;  // nothing to start
    mode = new_mode;
    mov_startrecord();
  } else if (returned_buffers > 2) {
    mov_stoprecord();
  }
}

int qtim_class::mov_per_frame() {
  if (mode == 1) return mov_add_frame();
  if (mode == 2) mov_toggle(0);
  return 0;
}

void mov_startrecord() {
  const int draw_w = mnw.draw_w;
  const int draw_h = mnw.draw_h;
  if (draw_w > max_movie_side || draw_h > max_movie_side) {
    __MACIBM_alert(0, "Oops!",
                   "You can NOT record movies in Skyrill at any Skyrill resolution higher that "
                   "2048 x 2048!",
                   "This limit is to keep the VRAM requirements of Skyrill down.", "", t_alert,
                   __FILE__, __LINE__);
    abandon_start();
    return;
  }
  if (draw_w <= 0 || draw_h <= 0 || !g_capture) {  // a minimised window has nothing to record
    thread_log() << "Movie: no window to record (" << draw_w << " x " << draw_h << ")\n";
    abandon_start();
    return;
  }

  if (!qt_thread_made) {
    qt_thread_made = 1;
    control_value = 1;
    UTL_message_queue_create(&q_to_thread);
    UTL_message_queue_create(&q_from_thread);
    THREAD_create(QT_Thread, nullptr, &qt_thread, &qt_thread_id, &qt_thread_join, 0);
  }

  // The movie keeps the window's aspect and never reaches outside the window.
  if (qtim.movie_width > draw_w) qtim.movie_width = draw_w;
  if (qtim.movie_width < 1) qtim.movie_width = 1;
  int64_t h = static_cast<int64_t>(draw_h) * qtim.movie_width / draw_w;
  if (h < 1) h = 1;
  if (h > max_movie_side) h = max_movie_side;
  qtim.movie_height = static_cast<int>(h);

  if (qtim.mode == 1) {
    if (g_movie) {
      __MACIBM_alert(0, "Trying to create a movie but one already exists", movie_path, "", "",
                     t_alert, __FILE__, __LINE__);
      abandon_start();
      return;
    }
    std::string path;
    const int fd = movie_create_take(app_path, &movie_take, &path);
    if (fd < 0) {
      const std::string name = "Skyrill movie take-" + std::to_string(movie_take) + ".mov";
      mov_alert("Could not CreateMovieFile to file: " + name, app_path + name,
                "(CreateMovieFile failed)", fd);
      abandon_start();
      return;
    }
    movie_path = path;
    movie_file* movie = new movie_file;
    movie_file::stage failed = movie_file::ok;
    const int err = movie->open(fd, qtim.movie_width, qtim.movie_height, &failed);
    if (err < 0) {
      delete movie;
      unlink(path.c_str());  // ours, just made, and empty of frames
      if (failed == movie_file::stage_compressor)
        mov_alert("Could not CompressSequenceBegin.", "", "(CompressSequenceBegin failed.)", err);
      else if (failed == movie_file::stage_track)
        mov_alert("Could not BeginMediaEdits.", path, "(BeginMediaEdits failed)", err);
      else
        mov_alert("Could not CreateMovieFile to file: " + path, path, "(CreateMovieFile failed)",
                  err);
      abandon_start();
      return;
    }
    g_movie = movie;
    qtim.returned_buffers = 0;
  }

  g_failure_code = 0;
  g_failure_reported = 0;
  start_mov_time = movie_clock();
  prev_frame_time = start_mov_time;

  while (usable_buffers.size() < static_cast<size_t>(min_records))
    usable_buffers.push_back(new frame_record);
  const int size = frame_bytes();
  for (frame_record* rec : usable_buffers) {
    if (rec->block_size == size) continue;
    if (rec->pixels) nedfree(rec->pixels);
    rec->pixels = static_cast<uint8_t*>(nedmalloc(static_cast<size_t>(size)));
    rec->block_size = size;
  }
  pbo_has_data = 0;
  g_capture->begin(qtim.movie_width, qtim.movie_height);
}

int qtim_class::mov_add_frame() {
  const int64_t now = movie_clock();
  if (now == start_mov_time) return 0;
  collect_returned();
  report_thread_failure();

  if (usable_buffers.empty()) {  // every record in flight: drop the frame
    draw_record_lgt();
    g_capture->swap_buffers();
    return 1;
  }
  const int64_t period = static_cast<int64_t>(1e6 / static_cast<double>(frame_rate) + 0.5);
  int64_t dt = now - prev_frame_time;
  if (dt < period) {
    draw_record_lgt();
    g_capture->swap_buffers();
    return 1;
  }
  if (dt < 2 * period) dt = period;
  prev_frame_time += dt;

  frame_record* rec = usable_buffers.front();
  const int delayed = g_capture->delayed();
  if (delayed && pbo_has_data) g_capture->read_previous(rec->pixels);
  g_capture->grab_window();
  draw_record_lgt();
  g_capture->swap_buffers();
  g_capture->read_frame(rec->pixels);
  rec->frame_time = static_cast<float>(static_cast<double>(dt) / 1e6);
  if (!delayed || pbo_has_data) {
    usable_buffers.pop_front();
    send_frame(rec);
  }
  pbo_has_data = 1;
  return 1;
}

void mov_stoprecord() {
  if (!qt_thread_made) {
    qtim.mode = 0;
    return;
  }
  // With a delayed read-back the last frame still waits in the read-back buffer.
  if (g_capture && g_capture->delayed() && pbo_has_data) {
    frame_record* rec = nullptr;
    if (!usable_buffers.empty()) {
      rec = usable_buffers.front();
      usable_buffers.pop_front();
    } else {  // every record in flight: the next one back takes it
      rec = static_cast<frame_record*>(UTL_message_queue_read(q_from_thread, -1));
      ++qtim.returned_buffers;
    }
    g_capture->read_previous(rec->pixels);
    rec->frame_time = 1.0f / qtim.frame_rate;
    send_frame(rec);
  }
  control_value = 1;
  send_frame(nullptr);
  // Every frame sent comes back before the acknowledgement.
  while (void* item = UTL_message_queue_read(q_from_thread, -1))
    usable_buffers.push_back(static_cast<frame_record*>(item));
  if (g_capture) g_capture->end();
  pbo_has_data = 0;
  report_thread_failure();

  // An open movie is finished whatever the mode: a stop that came as a request (mode 2) must
  // not leave the file without its index.
  if (!g_movie) {
    if (qtim.mode == 1) {
      __MACIBM_alert(0, "Cannot finish record of a movie that was not started!", "", "", "",
                     t_alert, __FILE__, __LINE__);
      return;
    }
    qtim.mode = 0;
    return;
  }
  // After a failed frame the file cannot be finished; it is closed as it stands.
  movie_file::stage failed = movie_file::ok;
  const int err = g_failure_code.load() == 0 ? g_movie->finish(&failed) : 0;
  delete g_movie;
  g_movie = nullptr;
  qtim.mode = 0;
  if (err < 0) mov_alert("Could not AddMovieResource.", "", "(AddMovieResource failed.)", err);
}

void qtim_class::stop_thread() {
  if (mode != 0) mov_stoprecord();
  if (!qt_thread_made) return;
  control_value = 0;
  send_frame(nullptr);
  UTL_thread_join(qt_thread, qt_thread_join);
  UTL_message_queue_destroy(q_to_thread);
  UTL_message_queue_destroy(q_from_thread);
  q_to_thread = q_from_thread = nullptr;
  qt_thread_made = 0;
  free_records();
}

void* QT_Thread(void*) {
  for (;;) {
    void* item = UTL_message_queue_read(q_to_thread, -1);
    if (!item) {
      // A flush marker is always acknowledged, whether or not a frame came since the last one.
      UTL_message_queue_write(q_from_thread, nullptr);
      if (control_value == 0) break;
      continue;
    }
    frame_record* rec = static_cast<frame_record*>(item);
    if (g_gate) g_gate();
    if (g_movie && g_failure_code.load() == 0) {
      // Truncated to whole units; the small allowance keeps a period stored as a float just
      // under its exact value (1/25 s is 0.0399999991) from losing a unit.
      int units = static_cast<int>(static_cast<double>(rec->frame_time) * time_scale + 1e-4);
      if (units < 1) units = 1;
      if (units > 60) units = 60;
      movie_file::stage failed = movie_file::ok;
      const int err = g_movie->add_frame(rec->pixels, units, &failed);
      if (err < 0) {
        g_failure_stage = failed;
        g_failure_code = err;
      }
    }
    UTL_message_queue_write(q_from_thread, rec);
  }
  return nullptr;
}
