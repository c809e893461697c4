#pragma once
// An OtherEvents block kept as it was read, for programs that open and save binders without the
// day files (the notes tool, the sample generator): every Event line is remembered with its
// attributes and written back unchanged, so that a binder saved again keeps its bookmarks.
// The program itself uses the day files manager's implementation instead.

#include "vlDateTime.h"
#include "vlOtherEventsIO.h"

#include <QChar>
#include <QString>

#include <vector>

class TvlKeptEventsIO final : public TvlOtherEventsIO {
 public:
  struct REvent {
    QString Kind;      // K as written ("Marker", "Label", ...)
    QString What;      // C, one character, or empty when the line had none
    QString WhenText;  // W as written, so that it is written back byte for byte
    TDateTime When = 0;
    QString Text;  // T; empty when the line had none
  };
  std::vector<REvent> Events;

  // An event in the form the day files manager writes: K the kind's display name, W with ten
  // decimals, T left out when empty.
  void Add(const QString &Kind, QChar What, TDateTime When, const QString &Text = QString());

  void IO_SaveNonTypingEvents(TvlXmlOut &Out) override;
  // Keeps every Event line that has K and a readable W; lines without them are reported.
  QString IO_LoadNonTypingEvents(TvlXmlIn &In) override;
};
