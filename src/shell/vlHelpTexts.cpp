#include "vlHelpTexts.h"

#include "vlAppPaths.h"

#include <QFileInfo>

QString AboutText(const QString &Version) {
  return QStringLiteral(
             "Vellomar \u00AE  %1\n\n"
             "Take notes while you record. Every character you type remembers the moment of the "
             "recording it belongs to, so that your notes and your recordings lead to each "
             "other: move through the notes and the timelines follow; pick a moment on a "
             "timeline and the notes typed then come into view.")
      .arg(Version.isEmpty() ? QStringLiteral("(development build)") : Version);
}

QString MicrophoneTipsText() {
  return QStringLiteral(
      "Three Tips about Microphones\n\n"
      "1.  Get close.  A microphone a hand's width from the speaker beats the best microphone "
      "across the room.  Distance adds room echo and noise faster than it lowers the voice.\n\n"
      "2.  Choose the right input.  In Options, Recording, pick the device and source the "
      "microphone is plugged into, then watch the level meter while you speak: it should move "
      "well up without staying at the top.\n\n"
      "3.  Keep noise away.  Put the microphone on something soft, away from the computer's fan "
      "and the keyboard, and make a short test recording before the session that matters.");
}

QString ContactSupportText() {
  return QStringLiteral(
      "To report a problem, please describe what you did, what you expected and what happened, "
      "and add the files \"Errors.txt\" and \"Trace.txt\" from the Vellomar folder in your "
      "documents folder.  They hold no notes text, only the program's own record of what it "
      "did.");
}

QString GettingStartedPagePath() {
  const QString page = ProgramDataPath(QStringLiteral("GettingStarted/index.html"));
  return QFileInfo(page).isFile() ? page : QString();
}

QString BrowserNotOpenedText(const QString &Address) {
  const qsizetype question = Address.indexOf(QLatin1Char('?'));
  const QString shown = question < 0 ? Address : Address.left(question);
  return QStringLiteral(
             "Your Internet browser could not be opened automatically. Please open it manually "
             "and visit \"") +
         shown + QStringLiteral("\". ");
}
