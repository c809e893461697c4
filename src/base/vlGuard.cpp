#include "vlGuard.h"

#include "vlGlobals.h"
#include "vlPrompts.h"

#include <QCoreApplication>
#include <QMetaObject>

namespace {

std::function<void()> &AbortHandler() {
  static std::function<void()> handler;
  return handler;
}

}  // namespace

ReportedError::ReportedError(const QString &Msg)
    : std::runtime_error(Msg.toStdString()), FMsg(Msg) {}

QString ReportedError::DialogText() const {
  return FMsg + QStringLiteral(
                    "\n\nPress OK to continue.  Press Ignore to continue and not stop for this "
                    "message again.  Press Abort to close the program.");
}

void ShowReportedError(const ReportedError &Error) {
  const TPromptButton answer = Prompts().Ask(
      Error.DialogText(), {TPromptButton::pbOk, TPromptButton::pbIgnore, TPromptButton::pbAbort},
      TPromptButton::pbOk, TPromptIcon::piError);
  if (answer == TPromptButton::pbIgnore)
    ErrorLog().IgnoreKey(TErrorLog::MessageKey(Error.Msg()));
  else if (answer == TPromptButton::pbAbort)
    RunAbortHandler();
}

void ShowInternalError(const char *What) {
  const QString text = QStringLiteral("Internal error: ") + QString::fromUtf8(What);
  ErrorLog().ErrorReport(false, text);
  Prompts().Message(text, TPromptIcon::piError);
}

void SetAbortHandler(std::function<void()> Handler) { AbortHandler() = std::move(Handler); }

void RunAbortHandler() {
  if (AbortHandler()) {
    AbortHandler()();
    return;
  }
  if (QCoreApplication::instance()) QCoreApplication::exit(1);
}

void RunGuardedDeferred(const std::function<void()> &Body) noexcept {
  try {
    Body();
  } catch (const ReportedError &e) {
    try {
      const ReportedError copy = e;
      if (QCoreApplication::instance())
        QMetaObject::invokeMethod(
            QCoreApplication::instance(), [copy] { RunGuarded([&] { ShowReportedError(copy); }); },
            Qt::QueuedConnection);
    } catch (...) {
    }
  } catch (const std::exception &e) {
    try {
      ErrorLog().ErrorReport(false,
                             QStringLiteral("Internal error: ") + QString::fromUtf8(e.what()));
    } catch (...) {
    }
  } catch (...) {
  }
}
