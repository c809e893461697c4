#pragma once
// The Help menu's own texts and where its local page lives. The texts are ours: short, plain,
// and about this program on Linux.

#include <QString>

QString AboutText(const QString &Version);
QString MicrophoneTipsText();
QString ContactSupportText();
// The "Getting Started" page shipped with the program (ProgramDataPath): beside the program in
// the build tree, else in the installed data folder. Empty when none exists.
QString GettingStartedPagePath();
// What the user is told when no browser opened the page or address: the address up to its "?".
QString BrowserNotOpenedText(const QString &Address);
