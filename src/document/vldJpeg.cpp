#include "vldJpeg.h"

#include <QFile>

#include <cerrno>
#include <csetjmp>
#include <cstdio>
#include <memory>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <jerror.h>
#include <jpeglib.h>

namespace {

// The error manager: errors, and the warnings that mean the picture's data is cut or damaged,
// jump back to the decoder with the library's message; nothing is printed.
struct RErrorManager {
  jpeg_error_mgr Pub;
  std::jmp_buf Jump;
  char Message[JMSG_LENGTH_MAX];
};

[[noreturn]] void JumpBack(j_common_ptr Info) {
  auto *mgr = reinterpret_cast<RErrorManager *>(Info->err);
  mgr->Pub.format_message(Info, mgr->Message);
  std::longjmp(mgr->Jump, 1);
}

void OnErrorExit(j_common_ptr Info) { JumpBack(Info); }

void OnOutputMessage(j_common_ptr) {}

void OnEmitMessage(j_common_ptr Info, int Level) {
  if (Level >= 0) return;  // trace messages
  const int code = Info->err->msg_code;
  // Data that ends early or is broken inside a scan: the library would go on and paint the rest
  // grey or garbled.
  if (code == JWRN_JPEG_EOF || code == JWRN_HIT_MARKER || code == JWRN_MUST_RESYNC) JumpBack(Info);
  ++Info->err->num_warnings;
}

// Everything the decoder changes between setjmp and a possible longjmp lives here, on the heap
// and reached through a pointer that never changes, so that its values survive the jump.
struct RDecodeState {
  jpeg_decompress_struct Info{};
  RErrorManager Errors{};
  bool Created = false;
  QImage Image;
  std::vector<JSAMPLE> Row;
};

// Pixels of Format_RGB32 in memory order, with the unused byte set to 0xFF.
#if Q_BYTE_ORDER == Q_LITTLE_ENDIAN
constexpr J_COLOR_SPACE RGB32Order = JCS_EXT_BGRA;
#else
constexpr J_COLOR_SPACE RGB32Order = JCS_EXT_ARGB;
#endif

void SetProblem(QString *Problem, const QString &Text) {
  if (Problem) *Problem = Text;
}

}  // namespace

QImage DecodeJpeg(QByteArrayView Bytes, QString *Problem, const RJpegLimits &Limits) {
  if (Bytes.isEmpty()) {
    SetProblem(Problem, QStringLiteral("No picture data"));
    return {};
  }
  const auto state = std::make_unique<RDecodeState>();
  jpeg_decompress_struct &info = state->Info;
  info.err = jpeg_std_error(&state->Errors.Pub);
  state->Errors.Pub.error_exit = OnErrorExit;
  state->Errors.Pub.output_message = OnOutputMessage;
  state->Errors.Pub.emit_message = OnEmitMessage;

  if (setjmp(state->Errors.Jump)) {
    if (state->Created) jpeg_destroy_decompress(&info);
    SetProblem(Problem,
               QStringLiteral("Damaged picture: ") + QString::fromLocal8Bit(state->Errors.Message));
    return {};
  }
  jpeg_create_decompress(&info);
  state->Created = true;
  jpeg_mem_src(&info, reinterpret_cast<const unsigned char *>(Bytes.data()),
               static_cast<unsigned long>(Bytes.size()));
  if (jpeg_read_header(&info, TRUE) != JPEG_HEADER_OK) {
    jpeg_destroy_decompress(&info);
    SetProblem(Problem, QStringLiteral("No picture in the data"));
    return {};
  }

  const std::int64_t w = info.image_width, h = info.image_height;
  if (w < 1 || h < 1 || w > Limits.MaxSide || h > Limits.MaxSide || w * h > Limits.MaxPixels) {
    jpeg_destroy_decompress(&info);
    SetProblem(Problem, QStringLiteral("Picture too large: %1 x %2").arg(w).arg(h));
    return {};
  }

  bool cmyk = false;
  switch (info.jpeg_color_space) {
    case JCS_GRAYSCALE:
    case JCS_YCbCr:
    case JCS_RGB: info.out_color_space = RGB32Order; break;
    case JCS_CMYK:
    case JCS_YCCK:
      info.out_color_space = JCS_CMYK;
      cmyk = true;
      break;
    default:
      jpeg_destroy_decompress(&info);
      SetProblem(Problem, QStringLiteral("Unsupported colours in picture"));
      return {};
  }

  jpeg_start_decompress(&info);
  state->Image = QImage(static_cast<int>(w), static_cast<int>(h), QImage::Format_RGB32);
  if (state->Image.isNull()) {
    jpeg_destroy_decompress(&info);
    SetProblem(Problem, QStringLiteral("Out of memory for picture"));
    return {};
  }
  if (cmyk) state->Row.resize(static_cast<std::size_t>(w) * 4);
  // Adobe writes CMYK inverted, and it is the one writer of CMYK JPEGs that matters.
  const bool inverted = info.saw_Adobe_marker;
  while (info.output_scanline < info.output_height) {
    const int y = static_cast<int>(info.output_scanline);
    if (!cmyk) {
      JSAMPROW row = state->Image.scanLine(y);
      jpeg_read_scanlines(&info, &row, 1);
      continue;
    }
    JSAMPROW row = state->Row.data();
    jpeg_read_scanlines(&info, &row, 1);
    auto *out = reinterpret_cast<QRgb *>(state->Image.scanLine(y));
    for (std::int64_t x = 0; x < w; ++x) {
      const JSAMPLE *p = row + x * 4;
      int c = p[0], m = p[1], ye = p[2], k = p[3];
      if (!inverted) {
        c = 255 - c;
        m = 255 - m;
        ye = 255 - ye;
        k = 255 - k;
      }
      out[x] = qRgb(c * k / 255, m * k / 255, ye * k / 255);
    }
  }
  jpeg_finish_decompress(&info);
  jpeg_destroy_decompress(&info);
  state->Created = false;
  return std::move(state->Image);
}

QImage LoadJpegFile(const QString &Path, QString *Problem, const RJpegLimits &Limits) {
  if (Path.isEmpty()) {
    SetProblem(Problem, QStringLiteral("No picture file"));
    return {};
  }
  // Opened without blocking and checked on the open descriptor, so that a FIFO, a device or a
  // file swapped after a check by name is never waited on.
  const QByteArray name = QFile::encodeName(Path);
  const int fd = ::open(name.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
  if (fd < 0) {
    SetProblem(Problem, QStringLiteral("Picture file not found: ") + Path);
    return {};
  }
  struct FdCloser {
    int Fd;
    ~FdCloser() { ::close(Fd); }
  } closer{fd};
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    SetProblem(Problem, QStringLiteral("Not a picture file: ") + Path);
    return {};
  }
  if (st.st_size > Limits.MaxFileBytes) {
    SetProblem(Problem, QStringLiteral("Picture file too large: ") + Path);
    return {};
  }
  QByteArray bytes;
  bytes.resize(static_cast<qsizetype>(st.st_size));
  qsizetype got = 0;
  while (got < bytes.size()) {
    const ssize_t n = ::read(fd, bytes.data() + got, static_cast<std::size_t>(bytes.size() - got));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;  // the file shrank while being read: decode what is there
    got += n;
  }
  bytes.truncate(got);
  return DecodeJpeg(bytes, Problem, Limits);
}
