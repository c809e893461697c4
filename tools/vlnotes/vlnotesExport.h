#pragma once
// vlnotes export BINDER --format md|html|vtt|srt|tsv [--tab N] [--audio DIR] [--recording FILE]
//                -o OUT
// The binder's tabs (or tab N, from 1; an isolated tab file exports as a binder of one tab) with
// their moments and bookmarks through the program's exporter (vlNotesExport.h). --audio is the
// folder of the recordings (the program's audio folder by default); --recording names the recording
// subtitles and labels are timed from (by default the one covering the most paragraphs). Nothing in
// the audio folder is renamed or changed.
//
// Exit codes as in main.cpp: 0 written; 1 written from a damaged binder (its problems are listed);
// 2 wrong use (also a tab that does not exist); 3 the binder is missing or unreadable; 4 not a
// notes file; 5 nothing written (the output cannot be written, or no recording covers the notes for
// the formats that are timed from one).

#include <QStringList>

int CommandExport(const QStringList &Args);
