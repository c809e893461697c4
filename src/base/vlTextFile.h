#pragma once
// Small text files of the program's own (diagnostics, lists of paths): UTF-8, CR LF line ends,
// written to a temporary file that replaces the old one in one step.

#include <QString>
#include <QStringList>

// False, with the old file left as it was, when anything fails.
bool WriteTextFileAtomically(const QString &Path, const QStringList &Lines);
