#pragma once
// Reports that interrupt the user unwind the operation in progress as a ReportedError. Qt's
// event loop must never see an exception, so every entry point that Qt calls into our code (slots,
// event handlers, timer callbacks) runs its body through RunGuarded, which catches the error and
// shows it: OK goes on, Ignore stops the message for the rest of the run, Abort ends the program.

#include <QString>

#include <functional>
#include <stdexcept>

class ReportedError : public std::runtime_error {
 public:
  // Msg is what was reported; the dialog text adds the instructions for the three buttons.
  explicit ReportedError(const QString &Msg);
  const QString &Msg() const { return FMsg; }
  QString DialogText() const;

 private:
  QString FMsg;
};

// Shows the dialog for a caught report and applies the answer.
void ShowReportedError(const ReportedError &Error);
// Shows an unexpected exception as an internal error; the program goes on.
void ShowInternalError(const char *What);

// What Abort does. The default asks the application's event loop to end with exit code 1; the
// main window installs one that first writes a backup of unsaved notes.
void SetAbortHandler(std::function<void()> Handler);
void RunAbortHandler();

// Runs Body; a ReportedError or other exception escaping it is caught and shown. Never throws.
template <typename TBody>
void RunGuarded(TBody &&Body) noexcept {
  try {
    Body();
  } catch (const ReportedError &e) {
    try {
      ShowReportedError(e);
    } catch (...) {
    }
  } catch (const std::exception &e) {
    try {
      ShowInternalError(e.what());
    } catch (...) {
    }
  } catch (...) {
    try {
      ShowInternalError("unknown exception");
    } catch (...) {
    }
  }
}

// As RunGuarded, but a caught report is shown later from the event loop: for paint handlers and
// other places where a modal dialog must not open.
void RunGuardedDeferred(const std::function<void()> &Body) noexcept;
