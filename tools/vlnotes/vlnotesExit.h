#pragma once
// The exit codes of every vlnotes command: what could be read is still printed or saved when the
// code says damaged.

enum TExit : int {
  exOk = 0,
  exDamaged = 1,
  exUsage = 2,
  exUnreadable = 3,
  exNotNotes = 4,
  exNotWritten = 5,
};
