#pragma once
// The binder the export tests share: two tabs with bold, italic and underlined text, Cyrillic,
// Japanese and Arabic paragraphs, a long paragraph of three sentences, an empty paragraph and one
// typed before the recording began; two bookmarks and a label with "<" and "&" in it; and one
// recording of 40 seconds that started at 2024-03-05 10:00:00.0. Every character is typed 50 ms
// after the one before it, so the moment of any piece of text is known here, independently of
// the exporter.

#include "vl09_NotebookBinder.h"
#include "vlDateTime.h"
#include "vlKeptEventsIO.h"
#include "vlNotesExport.h"

#include <QString>

#include <cstdint>
#include <vector>

inline const TDateTime kRecordingStart = EncodeDateTime(2024, 3, 5, 10, 0, 0, 0);
inline constexpr int kRecordingSecs = 40;
inline constexpr int kCharStepMSecs = 50;

struct RSegment {
  QString Text;
  TFontStyles Style;
};

struct RTestParagraph {
  std::vector<RSegment> Segments;
  std::int64_t AtMSecs = 0;  // the first character's moment, from the recording's start
  QString Text() const;
};

struct RTestTab {
  QString Title;
  std::vector<RTestParagraph> Paragraphs;
};

const std::vector<RTestTab> &TestTabs();

// The tabs as documents, and the events block with the bookmarks.
struct RTestBinder {
  TvlTabList Tabs;
  TvlKeptEventsIO Events;
  RTestBinder();
};

// Writes the 40-second recording into Folder's month folder as 16-bit PCM or, with Adpcm, as IMA
// ADPCM WAV (the program's default kind, which browsers cannot play). Answers its path.
QString WriteTestRecording(const QString &AudioFolder, bool Adpcm);

// The moment of an offset from the recording's start.
TDateTime AtRecording(std::int64_t MSecs);
