#include "import.h"

#include "vlAppPaths.h"
#include "vlImportRecording.h"

#include <cstdio>

namespace {

void Out(const QString &Text) {
  std::fputs((Text + QLatin1Char('\n')).toLocal8Bit().constData(), stdout);
  std::fflush(stdout);
}

void Err(const QString &Text) {
  std::fputs((QStringLiteral("vlaudio: ") + Text + QLatin1Char('\n')).toLocal8Bit().constData(),
             stderr);
}

}  // namespace

int ImportCommand(const QStringList &Arguments) {
  QString file, folder = AppPaths().DataFolder() + QStringLiteral("/Audio");
  std::optional<TDateTime> start;
  for (qsizetype i = 1; i < Arguments.size(); ++i) {
    const QString &a = Arguments[i];
    if (a == u"--start" && i + 1 < Arguments.size()) {
      start = ParseMomentText(Arguments[++i]);
      if (!start) {
        Err(QStringLiteral("not a moment (\"YYYY-MM-DD HH:MM:SS[.t]\"): ") + Arguments[i]);
        return 2;
      }
    } else if (a == u"--folder" && i + 1 < Arguments.size()) {
      folder = Arguments[++i];
    } else if (file.isEmpty() && !a.startsWith(u'-')) {
      file = a;
    } else {
      return 2;
    }
  }
  if (file.isEmpty()) return 2;
  const RImportPlan plan = PlanRecordingImport(file, folder, start);
  if (const QString problem = ImportRecording(plan); !problem.isEmpty()) {
    Err(problem);
    return 1;
  }
  Out(plan.Target);
  Out(QStringLiteral("start ") + ImportStartText(plan) +
      (plan.Converted ? QStringLiteral("; written as WAV") : QString()));
  return 0;
}
