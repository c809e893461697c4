#pragma once
// File formats a recording can be written in; the extensions are "wav", "ogg" and "wma", in that
// order. WMA cannot be written here: it stays readable in the settings and among existing
// recordings, and recording falls back to WAV.

#include <QString>

enum TAudioFileFormats { affWAV, affOGG, affWMA };

inline QString AudioFileFormatExtension(TAudioFileFormats Format) {
  switch (Format) {
    case affWAV: return QStringLiteral("wav");
    case affOGG: return QStringLiteral("ogg");
    case affWMA: return QStringLiteral("wma");
  }
  return QStringLiteral("wav");
}
