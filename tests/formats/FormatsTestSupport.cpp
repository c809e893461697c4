#include "FormatsTestSupport.h"

#include <QDir>
#include <QLocale>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <clocale>
#include <cstdio>
#include <cstdlib>

bool TFailingTarget::Write(const char *Data, qsizetype Size) {
  if (FAt == faWrite && FWritten + Size > FLimit) return false;
  FWritten += Size;
  return TvlAtomicFileTarget::Write(Data, Size);
}

bool TFailingTarget::Commit() {
  if (FAt == faCommit) {
    Cancel();
    return false;
  }
  return TvlAtomicFileTarget::Commit();
}

QString TCapturedErrorLog::Text() const {
  return QString::fromUtf8(ReadAllBytes(FFolder.File(QStringLiteral("Errors.txt"))));
}

namespace {

bool UseGermanLocale() {
  for (const char *name : {"de_DE.UTF-8", "de_DE.utf8", "de_DE"})
    if (std::setlocale(LC_ALL, name)) return true;
  // Build one: the locale sources ship with the C library's locales package.
  static QTemporaryDir built(QDir::tempPath() + QStringLiteral("/vl-locale-XXXXXX"));
  static bool tried = false;
  if (!tried && built.isValid() &&
      !QStandardPaths::findExecutable(QStringLiteral("localedef")).isEmpty()) {
    tried = true;
    QProcess localedef;
    localedef.start(QStringLiteral("localedef"),
                    {QStringLiteral("-i"), QStringLiteral("de_DE"), QStringLiteral("-f"),
                     QStringLiteral("UTF-8"), built.filePath(QStringLiteral("de_DE.UTF-8"))});
    localedef.waitForFinished(120000);
    setenv("LOCPATH", built.path().toLocal8Bit().constData(), 1);
  }
  return std::setlocale(LC_ALL, "de_DE.UTF-8") != nullptr;
}

}  // namespace

TGermanLocale::TGermanLocale() {
  FActive = UseGermanLocale();
  if (FActive) {
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    // Make sure the C library really writes a decimal comma now.
    char text[16];
    std::snprintf(text, sizeof(text), "%.1f", 1.5);
    FActive = text[1] == ',';
  }
}

TGermanLocale::~TGermanLocale() {
  std::setlocale(LC_ALL, "C");
  QLocale::setDefault(QLocale::c());
}
