#pragma once
// The vlnotes tool run as a process, for the test executables that are given its path as
// VLNOTES_EXE.

#include "vlTestSupport.h"

#ifndef VLNOTES_EXE
#error "VLNOTES_EXE must name the vlnotes executable"
#endif

inline RRun RunTool(const QStringList &Arguments, int TimeoutMs = 120'000) {
  return RunProgram(QStringLiteral(VLNOTES_EXE), Arguments, TimeoutMs);
}
