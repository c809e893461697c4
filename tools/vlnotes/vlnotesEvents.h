#pragma once
// vlnotes events FILE: the bookmarks (every event that is not a typing event) of the OtherEvents
// block of FILE, one per line in time order: the moment (local time, to the millisecond), the
// kind, the event's character and its text. Any file that holds the block will do (a binder, or
// a file a program wrote the block into).
//
// Answers the exit code: 0 listed (also when the file holds no block, which is said on standard
// error); 1 some lines of the block could not be read (the rest was listed); 3 the file is missing
// or cannot be read.

#include <QString>

int CommandEvents(const QString &Path);
