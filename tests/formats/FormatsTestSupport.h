#pragma once
// Helpers of the formats tests: a save target that fails on demand, an error log of the test's
// own, and a German numeric locale for the number forms.

#include "vlGlobals.h"
#include "vlSaveTarget.h"
#include "vlTestSupport.h"

#include <QString>
#include <QStringList>

#include <memory>
#include <ostream>

// Readable failure messages for Qt strings.
inline void PrintTo(const QString &Text, std::ostream *Out) {
  *Out << '"' << Text.toStdString() << '"';
}
inline void PrintTo(const QStringList &List, std::ostream *Out) {
  *Out << '"' << List.join(QStringLiteral("\", \"")).toStdString() << '"';
}

// Writes through the atomic writer like the real target, but fails the write that would take the
// total past FailAfterBytes, or the commit.
class TFailingTarget final : public TvlAtomicFileTarget {
 public:
  enum TFailAt { faWrite, faCommit };
  TFailingTarget(TFailAt At, qsizetype FailAfterBytes = 0) : FAt(At), FLimit(FailAfterBytes) {}
  bool Write(const char *Data, qsizetype Size) override;
  bool Commit() override;
  QString ErrorString() const override { return QStringLiteral("No space left on device"); }

 private:
  TFailAt FAt;
  qsizetype FLimit;
  qsizetype FWritten = 0;
};

// Installs an error log over a fresh folder for the test's lifetime.
class TCapturedErrorLog {
 public:
  TCapturedErrorLog() : FLog(FFolder.Path()), FScope(FLog) {}
  QString Text() const;
  TErrorLog &Log() { return FLog; }

 private:
  TFreshFolder FFolder;
  TErrorLog FLog;
  TScopedErrorLog FScope;
};

// Switches the C library to a German locale (decimal comma) for its lifetime, building the
// locale with localedef when the system has none. Active() is false when neither works.
class TGermanLocale {
 public:
  TGermanLocale();
  ~TGermanLocale();
  bool Active() const { return FActive; }

 private:
  bool FActive = false;
};
