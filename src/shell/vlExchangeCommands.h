#pragma once
// File > "Export Notes ..." and File > "Import Recording ...": the main window's doors to the
// exporter and to the import of recordings made elsewhere (src/export). Everything the user is
// asked or told goes through the prompts, so the commands run under scripted prompts in tests.
// User-interface thread only.

#include "vlDateTime.h"

#include <optional>

struct RProgramParts;

// Asks for the file (the dialog's filter chooses the format, else the name's extension), then
// exports every tab that holds notes, with the bookmarks, timed by the recordings catalogue. Says
// what was written, or why nothing was. False when nothing was written.
bool ExportNotesCommand(const RProgramParts &Parts);

// Asks for an audio file, shows where it will go and where its start comes from for confirmation,
// and copies it into the audio folder; the listing is read again. The imported recording's start,
// or nothing when nothing was imported (cancelled, refused: the user is told why).
std::optional<TDateTime> ImportRecordingCommand(const RProgramParts &Parts);
