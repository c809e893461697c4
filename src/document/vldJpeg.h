#pragma once
// JPEG pictures of picture insets, decoded with libjpeg-turbo.
//
// The library's own error handler ends the process; a damaged picture referenced by a notes file
// must instead leave its inset without a picture while everything else loads. So every failure
// here (a missing or special file, damaged or cut data, a picture too large to hold) answers a
// null image and a problem text, and nothing is ever written to standard error.
//
// Paths come from notes files and are not trusted: only regular files are read (a FIFO or device
// would block the load), and sizes are capped before anything is allocated by them.
//
// Any thread; no shared state.

#include <QByteArrayView>
#include <QImage>
#include <QString>

#include <cstdint>

struct RJpegLimits {
  int MaxSide = 16384;                      // pixels per side
  std::int64_t MaxPixels = 100'000'000;     // width x height
  std::int64_t MaxFileBytes = 256LL << 20;  // bytes read from a file
};

// Gray, YCbCr, RGB and CMYK pictures become QImage::Format_RGB32. A cut stream counts as damaged:
// its missing part would otherwise be painted grey.
QImage DecodeJpeg(QByteArrayView Bytes, QString *Problem = nullptr, const RJpegLimits &Limits = {});
QImage LoadJpegFile(const QString &Path, QString *Problem = nullptr,
                    const RJpegLimits &Limits = {});
