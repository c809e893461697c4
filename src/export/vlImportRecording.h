#pragma once
// Recordings made elsewhere (a phone, a recorder, a call) come into the audio folder, so that
// the tracks, the calendar and playing from notes treat them like the program's own.
//
// The file is copied, never moved: the source is only ever opened for reading. It lands in the
// month folder of its start under the catalogue's name, "<stamp> (<seconds>).<ext>". WAV and Ogg
// files are copied byte for byte; every other format libsndfile reads (FLAC, AIFF, CAF, MP3, ...)
// is written as WAV, with the source's own PCM sample size when it has one (FLAC, AIFF: no loss),
// else 16-bit, because the catalogue lists only ".wav", ".ogg" and ".wma".
//
// The start is, in this order: the one given; the file's own recording date (libsndfile's
// SF_STR_DATE: a Vorbis or FLAC DATE comment, a WAV INFO ICRD), when it holds a time of day;
// the file's modification time minus its length (a recorder stops, then writes the file). It is
// rounded to the tenth of a second, which is what the name can hold and what the catalogue reads
// back.
//
// Its level readings are written beside it as the recorder would (a ".vu" file), so the tracks
// draw its waveform. A name already taken is refused (nothing is replaced); a file that cannot be
// read as audio is refused with libsndfile's reason. The copy goes to a temporary name in the month
// folder and is renamed into place only when complete. User-interface thread only (or a tool's
// main).

#include "vlDateTime.h"

#include <QString>

#include <cstdint>
#include <optional>

enum TImportStartFrom { isfGiven, isfFileDate, isfModified };

struct RImportPlan {
  QString Source;
  QString Target;  // the full path in the audio folder; empty when refused
  TDateTime Start = 0;
  TImportStartFrom StartFrom = isfGiven;
  std::int64_t LengthMSecs = 0;
  bool Converted = false;  // written as WAV rather than copied byte for byte
  QString Problem;         // why it cannot be imported, for the user; empty when it can
};

// Looks at Source and decides where it goes. AudioFolder: the catalogue's folder for new
// recordings (with or without a trailing "/").
RImportPlan PlanRecordingImport(const QString &Source, const QString &AudioFolder,
                                std::optional<TDateTime> GivenStart = std::nullopt);
// Copies (or converts) as planned. Empty on success, else why not; nothing is left behind then.
// The target is checked again: a name taken meanwhile is still refused.
QString ImportRecording(const RImportPlan &Plan);

// The ".vu" level file beside an imported recording, read from its samples (one reading per
// 100 ms), so that the tracks draw its real waveform. Never replaces an existing one; false when
// none was written (the tracks then draw their placeholder).
bool WriteLevelFileFor(const QString &Recording);
// "2009-09-03 13:47:36.5 (from the file's recording date)", for the confirmation and the tool.
QString ImportStartText(const RImportPlan &Plan);
// A recording date as files carry it ("2024-05-01T10:20:30", "2024-05-01 10:20:30Z",
// "2024-05-01T10:20:30+02:00"), to local time; nothing for a date without a time of day or for
// text that is no date.
std::optional<TDateTime> ParseRecordingDate(const QString &Text);
// "YYYY-MM-DD HH:MM:SS[.t]" (milliseconds allowed) as local time; nothing when not such a moment.
std::optional<TDateTime> ParseMomentText(const QString &Text);
