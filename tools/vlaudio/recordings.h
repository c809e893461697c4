#pragma once
// vlaudio's commands over the recordings catalogue: list, at, and play --at.

#include <QCoreApplication>
#include <QStringList>

#include <memory>

class TPulseBackend;

// vlaudio list [--folder DIR] [YYYY-MM]
int ListRecordings(const QStringList &Args);
// vlaudio at [--folder DIR] "YYYY-MM-DD HH:MM:SS[.t]"
int RecordingAt(const QStringList &Args);
// vlaudio play --at MOMENT [--folder DIR] [--tempo PERCENT] [--device N]
int PlayAt(QCoreApplication &App, const std::shared_ptr<TPulseBackend> &Backend,
           const QStringList &Args);
