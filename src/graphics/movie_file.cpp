#include "graphics/movie_file.h"

#include <cerrno>
#include <climits>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/dict.h>
#include <libavutil/imgutils.h>
#include <libavutil/opt.h>
#include <libswscale/swscale.h>
}

namespace {

constexpr int time_scale = 600;
// The MJPEG quantiser: 4 is about what a JPEG quality of 75 gives.
constexpr int jpeg_qscale = 4;
constexpr int io_buffer_size = 64 * 1024;

}  // namespace

int movie_encoder_available() {
  return avcodec_find_encoder(AV_CODEC_ID_MJPEG) != nullptr ? 1 : 0;
}

int movie_create_take(const std::string& prefix, int* take, std::string* path) {
  for (;;) {
    if (*take == INT_MAX) return -EEXIST;
    ++*take;
    const std::string name = prefix + "Skyrill movie take-" + std::to_string(*take) + ".mov";
    struct stat st;
    if (lstat(name.c_str(), &st) == 0) continue;
    const int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
    if (fd >= 0) {
      *path = name;
      return fd;
    }
    if (errno == EEXIST) continue;  // made by someone else since the probe
    return -errno;
  }
}

movie_file::~movie_file() { release(); }

void movie_file::release() {
  if (fc_) {
    avformat_free_context(fc_);  // also frees st_
    fc_ = nullptr;
    st_ = nullptr;
  }
  if (io_) {
    av_freep(&io_->buffer);
    avio_context_free(&io_);
  }
  avcodec_free_context(&cc_);
  sws_freeContext(sws_);
  sws_ = nullptr;
  av_frame_free(&frame_);
  av_packet_free(&pkt_);
  if (fd_ >= 0) {
    ::close(fd_);
    fd_ = -1;
  }
}

int movie_file::write_cb(void* opaque, uint8_t* buf, int size) {
  movie_file* self = static_cast<movie_file*>(opaque);
  int done = 0;
  while (done < size) {
    const ssize_t n = ::write(self->fd_, buf + done, size - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      self->write_error_ = AVERROR(errno);
      return self->write_error_;
    }
    done += static_cast<int>(n);
  }
  return size;
}

int64_t movie_file::seek_cb(void* opaque, int64_t offset, int whence) {
  movie_file* self = static_cast<movie_file*>(opaque);
  if (whence & AVSEEK_SIZE) {
    struct stat st;
    if (fstat(self->fd_, &st) != 0) return AVERROR(errno);
    return st.st_size;
  }
  const off_t r = lseek(self->fd_, offset, whence & ~AVSEEK_FORCE);
  return r < 0 ? AVERROR(errno) : r;
}

int movie_file::open(int fd, int width, int height, stage* failed) {
  release();
  fd_ = fd;
  width_ = width;
  height_ = height;
  next_pts_ = 0;
  write_error_ = 0;
  auto fail = [&](int err, stage s) {
    *failed = s;
    release();
    return err < 0 ? err : AVERROR(EINVAL);
  };

  // The container, writing to our descriptor.
  int err = avformat_alloc_output_context2(&fc_, nullptr, "mov", nullptr);
  if (err < 0 || !fc_) return fail(err, stage_create);
  uint8_t* buffer = static_cast<uint8_t*>(av_malloc(io_buffer_size));
  if (!buffer) return fail(AVERROR(ENOMEM), stage_create);
  io_ = avio_alloc_context(buffer, io_buffer_size, 1, this, nullptr, write_cb, seek_cb);
  if (!io_) {
    av_free(buffer);
    return fail(AVERROR(ENOMEM), stage_create);
  }
  fc_->pb = io_;
  fc_->flags |= AVFMT_FLAG_CUSTOM_IO;

  // The compressor: MJPEG from full-range 4:2:0.
  const AVCodec* codec = avcodec_find_encoder(AV_CODEC_ID_MJPEG);
  if (!codec) return fail(AVERROR_ENCODER_NOT_FOUND, stage_compressor);
  cc_ = avcodec_alloc_context3(codec);
  if (!cc_) return fail(AVERROR(ENOMEM), stage_compressor);
  cc_->width = width;
  cc_->height = height;
  cc_->pix_fmt = AV_PIX_FMT_YUVJ420P;
  cc_->color_range = AVCOL_RANGE_JPEG;
  cc_->time_base = AVRational{1, time_scale};
  cc_->flags |= AV_CODEC_FLAG_QSCALE;
  cc_->global_quality = FF_QP2LAMBDA * jpeg_qscale;
  if (fc_->oformat->flags & AVFMT_GLOBALHEADER) cc_->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
  err = avcodec_open2(cc_, codec, nullptr);
  if (err < 0) return fail(err, stage_compressor);
  // yuvj420p is yuv420p in full range; asking swscale for the plain format with the range set
  // gives the same planes without its warning about the "j" formats.
  sws_ = sws_getContext(width, height, AV_PIX_FMT_BGRA, width, height, AV_PIX_FMT_YUV420P,
                        SWS_POINT, nullptr, nullptr, nullptr);
  if (!sws_) return fail(AVERROR(EINVAL), stage_compressor);
  const int* bt601 = sws_getCoefficients(SWS_CS_ITU601);
  sws_setColorspaceDetails(sws_, bt601, 1, bt601, 1, 0, 1 << 16, 1 << 16);
  frame_ = av_frame_alloc();
  pkt_ = av_packet_alloc();
  if (!frame_ || !pkt_) return fail(AVERROR(ENOMEM), stage_compressor);
  frame_->format = AV_PIX_FMT_YUVJ420P;
  frame_->width = width;
  frame_->height = height;
  frame_->color_range = AVCOL_RANGE_JPEG;
  err = av_frame_get_buffer(frame_, 0);
  if (err < 0) return fail(err, stage_compressor);

  // The video track, tagged 'jpeg', in units of 1/600 s.
  st_ = avformat_new_stream(fc_, nullptr);
  if (!st_) return fail(AVERROR(ENOMEM), stage_track);
  st_->time_base = AVRational{1, time_scale};
  err = avcodec_parameters_from_context(st_->codecpar, cc_);
  if (err < 0) return fail(err, stage_track);
  st_->codecpar->codec_tag = MKTAG('j', 'p', 'e', 'g');
  AVDictionary* opts = nullptr;
  av_dict_set(&opts, "video_track_timescale", "600", 0);
  err = avformat_write_header(fc_, &opts);
  av_dict_free(&opts);
  if (err < 0) return fail(err, stage_track);
  *failed = ok;
  return 0;
}

int movie_file::write_packets(stage* failed) {
  for (;;) {
    int err = avcodec_receive_packet(cc_, pkt_);
    if (err == AVERROR(EAGAIN) || err == AVERROR_EOF) return 0;
    if (err < 0) {
      *failed = stage_frame;
      return err;
    }
    pkt_->stream_index = st_->index;
    av_packet_rescale_ts(pkt_, AVRational{1, time_scale}, st_->time_base);
    err = av_write_frame(fc_, pkt_);
    av_packet_unref(pkt_);
    if (err < 0 || write_error_ < 0) {
      *failed = stage_sample;
      return err < 0 ? err : write_error_;
    }
  }
}

int movie_file::add_frame(const uint8_t* bgra, int units, stage* failed) {
  *failed = ok;
  if (!fc_) {
    *failed = stage_sample;
    return AVERROR(EINVAL);
  }
  if (units < 1) units = 1;
  if (units > 60) units = 60;
  int err = av_frame_make_writable(frame_);
  if (err < 0) {
    *failed = stage_frame;
    return err;
  }
  // The first row in memory is the picture's bottom row: hand swscale the top row and a
  // negative stride so the picture comes out upright.
  const int stride = width_ * 4;
  const uint8_t* src[1] = {bgra + static_cast<size_t>(height_ - 1) * stride};
  const int src_stride[1] = {-stride};
  sws_scale(sws_, src, src_stride, 0, height_, frame_->data, frame_->linesize);
  frame_->pts = next_pts_;
  err = avcodec_send_frame(cc_, frame_);
  if (err < 0) {
    *failed = stage_frame;
    return err;
  }
  // MJPEG gives each frame's packet at once; it carries the frame's duration.
  for (;;) {
    err = avcodec_receive_packet(cc_, pkt_);
    if (err == AVERROR(EAGAIN)) break;
    if (err < 0) {
      *failed = stage_frame;
      return err;
    }
    pkt_->stream_index = st_->index;
    pkt_->duration = units;
    pkt_->flags |= AV_PKT_FLAG_KEY;
    av_packet_rescale_ts(pkt_, AVRational{1, time_scale}, st_->time_base);
    err = av_write_frame(fc_, pkt_);
    av_packet_unref(pkt_);
    if (err < 0 || write_error_ < 0) {
      *failed = stage_sample;
      return err < 0 ? err : write_error_;
    }
  }
  next_pts_ += units;
  return 0;
}

int movie_file::finish(stage* failed) {
  *failed = ok;
  if (!fc_) {
    *failed = stage_finish;
    return AVERROR(EINVAL);
  }
  int err = avcodec_send_frame(cc_, nullptr);
  if (err >= 0) err = write_packets(failed);
  if (err < 0) {
    release();
    return err;
  }
  err = av_write_trailer(fc_);
  if (err >= 0 && write_error_ < 0) err = write_error_;
  if (err >= 0) avio_flush(io_);
  if (err >= 0 && write_error_ < 0) err = write_error_;
  const int fd = fd_;
  fd_ = -1;
  release();
  if (::close(fd) != 0 && err >= 0) err = AVERROR(errno);
  if (err < 0) *failed = stage_finish;
  return err < 0 ? err : 0;
}
