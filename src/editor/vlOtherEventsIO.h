#pragma once
// The binder's seam to the events that are not typing (markers, labels, symbols). The binder
// writes them after its last tab and reads them back at the same place, as the OtherEvents block;
// what the block holds belongs to the day files manager, which installs an implementation of its
// own. The default keeps the file well formed without knowing any event: it writes an empty block
// and, when reading, steps over the block's lines without taking anything from them.
//
// User-interface thread only.

#include <QString>
#include "vlSeam.h"

#include <vector>

class TDocument;
class TvlXmlIn;
class TvlXmlOut;

class TvlOtherEventsIO {
 public:
  virtual ~TvlOtherEventsIO() = default;
  // Writes "<OtherEvents>", one Event line per stored event, "</OtherEvents>".
  virtual void IO_SaveNonTypingEvents(TvlXmlOut &Out);
  // Called with the reader on the first line after the last tab. Does nothing unless the current
  // tag is "<OtherEvents>"; otherwise reads the block and steps past "</OtherEvents>" (never past
  // "</BoundNotes>"). Answers problems as text, empty when there were none.
  virtual QString IO_LoadNonTypingEvents(TvlXmlIn &In);
  // The binder's tabs were replaced (a binder opened, or failed to open after reading part of
  // its tabs) or a tab was closed: the typing events are those of Documents' characters from now
  // on, and no others. The default keeps no events, so it has nothing to do.
  virtual void TypingEvents_Rebuild(const std::vector<const TDocument *> & /*Documents*/) {}
};

// The implementation in use; the default one until another is installed (not owned).
TSeam<TvlOtherEventsIO> &OtherEventsIOSeam();
TvlOtherEventsIO &OtherEventsIO();
void SetOtherEventsIO(TvlOtherEventsIO *Installed);
