#pragma once
// vlaudio import FILE [--start "YYYY-MM-DD HH:MM:SS[.t]"] [--folder DIR]
// Copies a recording made elsewhere into the audio folder (the program's by default) under the
// catalogue's name (vlImportRecording.h) and prints the new path and where its start came from.
// Exit codes: 0 imported; 1 refused (the name is taken, or the file cannot be read as audio; the
// reason is printed); 2 wrong use.

#include <QStringList>

int ImportCommand(const QStringList &Args);
