#pragma once
// The program's command line, and the message in which a later start hands its files to the
// running program.
//
//   vellomar [--quit-after-start] [FILE...]
//   vellomar --help | --version
//
// A FILE is a binder (opened in place of the current one, after the save question) or an
// isolated tab (imported as one more tab). Relative names are made absolute against the folder
// the command ran in, so that the running program, whose folder may be another, finds them.
//
// The message (over the user's private local socket) is text, one item a line:
//   "open 1"              the request and its version
//   PATH                  each file: an absolute path, percent-encoded (no line breaks inside)
//   "end"
// It is bounded: at most MaxRequestFiles paths of at most MaxRequestPathBytes bytes each, at most
// MaxRequestBytes in all. A line that is not such a path is dropped and reported; a request
// that is malformed as a whole, too long or unfinished is dropped. The one-line "raise" of
// earlier versions asks for the window alone.
//
// No widgets; safe on any thread.

#include <QByteArray>
#include <QString>
#include <QStringList>

struct RCommandLine {
  bool Help = false;
  bool Version = false;
  bool QuitAfterStart = false;
  // Absolute paths, in the order given.
  QStringList Files;
  // Wrong use (an unknown option): what to tell, empty when none.
  QString Error;
};

// Arguments without the program's name (Qt's own options already taken out by QApplication).
RCommandLine ParseCommandLine(const QStringList &Arguments, const QString &WorkingFolder);
// True when Arguments ask for --help or --version: answered before any window system is needed.
bool AsksForHelpOrVersion(int argc, const char *const *argv);
QString CommandLineHelpText();
QString CommandLineVersionText(const QString &Version);

// What a file given to the program is: by its extension (".vlTab" a tab, ".vl" and backups a
// binder), else by its first line (an isolated tab begins with "<NotesDoc", a binder with
// "<BoundNotes"); anything else is treated as a binder, whose opening reports the problem.
enum class TGivenFileKind { gfBinder, gfTab };
TGivenFileKind GivenFileKind(const QString &PathName);

inline constexpr int MaxRequestFiles = 64;
inline constexpr int MaxRequestPathBytes = 4096;
inline constexpr int MaxRequestBytes = 3 * MaxRequestPathBytes * MaxRequestFiles + 64;

// The message for Files; those beyond MaxRequestFiles are left out (the caller says so).
QByteArray EncodeOpenRequest(const QStringList &Files);

// Reads a request as its bytes arrive, in pieces of any size.
class TOpenRequestReader {
 public:
  enum TState { rsIncomplete, rsComplete, rsRejected };

  // Takes the bytes that arrived; answers the state after them. Bytes after a complete or
  // rejected request are ignored.
  TState Feed(const QByteArray &Bytes);
  TState State() const { return FState; }
  // The paths accepted so far (all of them once complete).
  const QStringList &Files() const { return FFiles; }
  // What was dropped and why, one line each, for the trace.
  const QStringList &Dropped() const { return FDropped; }

 private:
  void TakeLine(const QByteArray &Line);
  void Reject(const QString &Why);

  TState FState = rsIncomplete;
  QByteArray FPending;
  qsizetype FTotal = 0;
  bool FHeaderSeen = false;
  QStringList FFiles;
  QStringList FDropped;
};
