#pragma once
// Files the program writes whole: the bytes go to a temporary file beside the target, which
// replaces the old file in one step once everything is on disk. A failure at any point leaves
// the old file as it was and no temporary file behind.

#include <QByteArray>
#include <QString>
#include <QStringList>

// False, with the reason in ErrorText when given, when anything fails.
bool WriteFileAtomically(const QString &Path, const QByteArray &Bytes,
                         QString *ErrorText = nullptr);
// The program's own small text files (diagnostics, lists of paths): UTF-8 with CR LF line ends.
bool WriteTextFileAtomically(const QString &Path, const QStringList &Lines);
