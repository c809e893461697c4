#include "vlBookmarkKeys.h"

#include "vl09_DayFilesManager.h"
#include "vl09_Main.h"
#include "vl09_Notebook.h"
#include "vl09_Track.h"
#include "vl09_TrackWindow.h"
#include "vlClock.h"
#include "vlTimelineGlue.h"
#include "vlTrackGlue.h"

#include <utility>

namespace {

// The characters kept for recognising triggers: the longest trigger is three letters plus the
// one before them.
constexpr qsizetype TypedKept = 8;
// How long the space bar must have been held for the letters typed then to make a label.
constexpr std::int64_t SpaceHeldMSecs = 300;

// The labels F10, F11 and F12 have always made.
QString FunctionKeyLabelText(int Number) {
  switch (Number) {
    case 10: return QStringLiteral("F10");
    case 11: return QStringLiteral(" ");
    default: return QString();
  }
}

// Whether the text ends with Count times Ch and not with one more: a run of question marks or
// letters triggers once, at its Count-th character.
bool EndsWithRunOf(const QString &Text, QChar Ch, int Count) {
  if (Text.size() < Count) return false;
  for (qsizetype i = Text.size() - Count; i < Text.size(); ++i)
    if (Text[i] != Ch) return false;
  return Text.size() == Count || Text[Text.size() - Count - 1] != Ch;
}

}  // namespace

TvlBookmarkKeys::TvlBookmarkKeys(TvlOptions &Options, TvlDayFilesManager &Events)
    : FOptions(Options), FEvents(Events) {
  RebuildKeyCommands();
}

void TvlBookmarkKeys::Connect(TVellomarFm &Window, TvlNotebook *Notebook, TvlTrackGlue &Tracks,
                              TvlTimelineGlue &Timelines) {
  FWindow = &Window;
  FNotebook = Notebook;
  FTracks = &Tracks;
  FTimelines = &Timelines;
  Window.SetBookmarkKeysLink(this);
}

void TvlBookmarkKeys::RebuildKeyCommands() {
  for (int k = 1; k <= TvlOptions::FunctionKeyCount; ++k)
    for (int m = 0; m < TvlOptions::ModifierCount; ++m)
      FKeyCommands[k - 1][m] = FOptions.TriggerFunctionKey(k, m);
}

void TvlBookmarkKeys::RebuildBookmarkMenu() {
  // The program has no bookmark menu whose buttons the order would sort: the chosen order is
  // kept in the options until one comes.
}

TTriggerOption TvlBookmarkKeys::KeyCommand(int FunctionKey, int Modifier) const {
  if (FunctionKey < 1 || FunctionKey > TvlOptions::FunctionKeyCount || Modifier < 0 ||
      Modifier >= TvlOptions::ModifierCount)
    return toNoTrigger;
  return FKeyCommands[FunctionKey - 1][Modifier];
}

void TvlBookmarkKeys::EventsCleared() {
  // The ID names nothing (or another event) from now on; the tracks stopped their gatherers.
  FGather = RGathering();
  FTyped.clear();
}

// ---------------------------------------------------------------------------------------------
// Keys

bool TvlBookmarkKeys::NotesKeyPressed(int Key, Qt::KeyboardModifiers Modifiers, const QString &Text,
                                      bool AutoRepeat) {
  const bool ctrl = Modifiers & Qt::ControlModifier;
  const bool alt = Modifiers & (Qt::AltModifier | Qt::MetaModifier);
  if (Key >= Qt::Key_F1 && Key <= Qt::Key_F12 && !alt) {
    // A held key makes one bookmark, not one per repeat.
    if (AutoRepeat) return true;
    const int modifier = (Modifiers & Qt::ShiftModifier ? 1 : 0) + (ctrl ? 2 : 0);
    return FunctionKey(Key - Qt::Key_F1 + 1, modifier);
  }

  // The window told the tracks of this key first: a stop key has ended their gatherer.
  if (FGather.ID != NoEventID) {
    const TGatherLabel *g = Gatherer();
    if (!g || !g->IsGathering() || g->EventHandle() != FGather.ID) FinishGathering();
  } else if (FGather.Kind != gkNone) {
    const int virtualKey = VirtualKeyFromQtKey(Key);
    if (virtualKey != 0 && virtualKey != 8) FGather = RGathering();
  }

  if (Key == Qt::Key_B && ctrl && !alt) {
    FTyped.clear();
    if (!FOptions.FTriggerCtrlBBold || AutoRepeat) return false;
    if (FGather.Kind == gkBold) {
      FinishGathering();
    } else {
      // Ctrl+B on selected text makes that text bold: nothing is being typed.
      TDocument *doc = FNotebook ? FNotebook->GetActiveDocument() : nullptr;
      if (!doc || !doc->Select_IsAnyTextSelected()) {
        FinishGathering();
        StartGathering(gkBold, QChar());
      }
    }
    return false;  // the editor makes the text bold as ever
  }
  // Ctrl or Alt alone make a shortcut; both together are how some keyboards type "[" or "{".
  if (ctrl != alt) {
    FTyped.clear();
    return false;
  }
  if (Key == Qt::Key_Backspace) {
    FTyped.chop(1);
    return false;
  }
  if (Key == Qt::Key_Space && !AutoRepeat && FOptions.FTriggerSpaceDown && !FSpaceDown) {
    FSpaceDown = true;
    FSpaceDownWhen = BrokeredMoment();
    FSpaceDownMSecs = Clock().SteadyMSecs();
  }
  if (Text.isEmpty() || Text.at(0).unicode() < 32 || Text.at(0).unicode() == 127) {
    if (VirtualKeyFromQtKey(Key) != 0) FTyped.clear();
    return false;
  }
  for (const QChar ch : Text) Typed(ch);
  return false;
}

void TvlBookmarkKeys::NotesKeyReleased(int Key, bool AutoRepeat) {
  if (Key != Qt::Key_Space || AutoRepeat || !FSpaceDown) return;
  FSpaceDown = false;
  if (FGather.Kind == gkSpace) FinishGathering();
}

void TvlBookmarkKeys::PauseKeyPressed(bool Shift) {
  FinishGathering();
  FTyped.clear();
  Trigger(Shift ? FOptions.FTriggerPauseShift : FOptions.FTriggerPause, QStringLiteral("Pause"),
          gkPause, QChar());
}

bool TvlBookmarkKeys::FunctionKey(int Number, int Modifier) {
  FinishGathering();
  FTyped.clear();
  const TTriggerOption option = KeyCommand(Number, Modifier);
  if (option == toNoTrigger) return true;
  const TDateTime when = BrokeredMoment();
  switch (option) {
    case toMarkerOnly:
      if (Number <= 9) {
        if (FEvents.AddNumberedBookmark(Number, when) != NoEventID) BookmarkMade();
      } else if (NewLabel(BrokeredTrack(), when, FunctionKeyLabelText(Number), QChar(u' ')) !=
                 NoEventID) {
        BookmarkMade();
      }
      break;
    case toGatherLabelWindow: {
      const TEventID id =
          NewLabel(BrokeredTrack(), when, Number >= 10 ? FunctionKeyLabelText(Number) : QString(),
                   QChar(u' '));
      if (id == NoEventID) break;
      BookmarkMade();
      OpenLabelWindow(id);
      break;
    }
    case toGatherLabelBody:
      StartGathering(gkFollowing, QChar());
      FGather.When = when;
      break;
    case toNoTrigger: break;
  }
  return true;
}

void TvlBookmarkKeys::Typed(QChar Ch) {
  // A space still held when the next letter comes is only a fast typist's overlap unless it has
  // been held for a moment.
  if (FSpaceDown && Ch != u' ' && FGather.Kind == gkNone &&
      Clock().SteadyMSecs() - FSpaceDownMSecs >= SpaceHeldMSecs) {
    StartGathering(gkSpace, QChar());
    FGather.When = FSpaceDownWhen;
  }
  if (FGather.Kind != gkNone) {
    if (FGather.Kind == gkPair && Ch == FGather.Close && FTyped.endsWith(FGather.Close)) {
      // The closing pair: its first bracket was gathered and is taken off again.
      FTyped.clear();
      FinishGathering();
      return;
    }
    FTyped.append(Ch);
    Gather(Ch);
    if (FTyped.size() > TypedKept) FTyped.remove(0, FTyped.size() - TypedKept);
    return;
  }
  FTyped.append(Ch);
  if (FTyped.size() > TypedKept) FTyped.remove(0, FTyped.size() - TypedKept);

  struct RNest {
    QChar Open, Close;
    TTriggerOption TvlOptions::*Option;
  };
  static const RNest nests[] = {{QChar(u'['), QChar(u']'), &TvlOptions::FTriggerNestSquare},
                                {QChar(u'{'), QChar(u'}'), &TvlOptions::FTriggerNestCurly},
                                {QChar(u'('), QChar(u')'), &TvlOptions::FTriggerNestRound},
                                {QChar(u'<'), QChar(u'>'), &TvlOptions::FTriggerNestAngle}};
  for (const RNest &n : nests)
    if (Ch == n.Open && EndsWithRunOf(FTyped, Ch, 2)) {
      Trigger(FOptions.*n.Option, QString(2, Ch), gkPair, n.Close);
      return;
    }
  if (Ch == u'?' && EndsWithRunOf(FTyped, Ch, 2)) {
    Trigger(FOptions.FTriggerQuestions, QString(2, Ch), gkFollowing, QChar());
    return;
  }
  if (Ch.isLetter() && EndsWithRunOf(FTyped, Ch, 3))
    Trigger(FOptions.FTriggerTriples, QString(3, Ch), gkFollowing, QChar());
}

// ---------------------------------------------------------------------------------------------
// Bookmarks

void TvlBookmarkKeys::Trigger(TTriggerOption Option, const QString &TriggerText, TGatherKind Kind,
                              QChar Close) {
  switch (Option) {
    case toNoTrigger: return;
    case toMarkerOnly:
      if (NewLabel(BrokeredTrack(), BrokeredMoment(), TriggerText, QChar(u'|')) != NoEventID)
        BookmarkMade();
      return;
    case toGatherLabelBody:
      StartGathering(Kind, Close);
      // More question marks ("???") are not the label's text.
      if (TriggerText.startsWith(u'?')) FGather.Skip = QChar(u'?');
      return;
    case toGatherLabelWindow: {
      const TEventID id = NewLabel(BrokeredTrack(), BrokeredMoment(), QString(), QChar(u'|'));
      if (id == NoEventID) return;
      BookmarkMade();
      OpenLabelWindow(id);
      return;
    }
  }
}

void TvlBookmarkKeys::StartGathering(TGatherKind Kind, QChar Close) {
  FGather = RGathering();
  FGather.Kind = Kind;
  FGather.Close = Close;
  FGather.When = BrokeredMoment();
  FGather.Track = BrokeredTrack();
  if (!FGather.Track) FGather = RGathering();
}

void TvlBookmarkKeys::Gather(QChar Ch) {
  if (FGather.ID == NoEventID) {
    // The label begins with its first character that is neither a blank nor more of the
    // trigger ("[[ call" gives "call", "??? why" gives "why").
    if (Ch == u' ' || (!FGather.Skip.isNull() && Ch == FGather.Skip) ||
        (FGather.Kind == gkPair && Ch == FGather.Close))
      return;
    FGather.ID = NewLabel(FGather.Track, FGather.When, QString(), QChar(u'|'));
    TGatherLabel *g = Gatherer();
    if (FGather.ID == NoEventID || !g) {
      FGather = RGathering();
      return;
    }
    g->StartGatheringFor(FGather.ID);
    BookmarkMade();
  }
  TGatherLabel *g = Gatherer();
  if (!g || !g->IsGathering() || g->EventHandle() != FGather.ID) {
    FinishGathering();
    return;
  }
  if (g->MaybeGather(Ch)) {
    FGather.Track->UpdateEventTextAndDoLowLatencyDraw(FGather.ID, g->Text());
    if (FTimelines && FTimelines->VertTimeline()) FTimelines->VertTimeline()->InvalidateRendering();
  }
  if (!g->IsGathering()) FinishGathering();  // the limit was reached
}

void TvlBookmarkKeys::FinishGathering() {
  TGatherLabel *g = Gatherer();
  const RGathering done = std::exchange(FGather, RGathering());
  if (done.ID == NoEventID || !done.Track) return;
  if (g && g->IsGathering() && g->EventHandle() == done.ID) g->StopGathering();
  // The stored text is the gathered one: a stop key may have emptied the gatherer already.
  TvlEvent event;
  if (FEvents.Event_FromEventID(done.ID, event)) {
    QString text = event.Text;
    if (done.Kind == gkPair)
      while (text.endsWith(done.Close)) text.chop(1);
    text = text.trimmed();
    if (text.isEmpty()) {
      // Nothing but blanks and brackets was gathered: no label is better than an empty one.
      FEvents.Event_Delete(done.ID);
    } else if (text != event.Text) {
      done.Track->UpdateEventTextAndDoLowLatencyDraw(done.ID, text);
    }
  }
  BookmarkMade();
}

TGatherLabel *TvlBookmarkKeys::Gatherer() const {
  if (!FGather.Track) return nullptr;
  switch (FGather.Kind) {
    case gkPair: return &FGather.Track->Gather4Pair;
    case gkSpace: return &FGather.Track->Gather4Space;
    case gkPause: return &FGather.Track->Gather4Pause;
    case gkBold:
    case gkFollowing: return &FGather.Track->Gather4Symbol;
    case gkNone: break;
  }
  return nullptr;
}

TvlTrack *TvlBookmarkKeys::BrokeredTrack() const {
  if (!FWindow || !FTracks) return nullptr;
  TvlTrackWindow *w =
      FWindow->NewEventBroker_Track() == btkCurrent ? FTracks->Current() : FTracks->Historical();
  return w ? &w->vlTrack() : nullptr;
}

TDateTime TvlBookmarkKeys::BrokeredMoment() const {
  // The moment a space typed at the caret would get, as the function keys have always used.
  return FWindow ? FWindow->NewEventBroker_When(QChar(u' ')) : 0;
}

TEventID TvlBookmarkKeys::NewLabel(TvlTrack *Track, TDateTime When, const QString &Text,
                                   QChar What) {
  if (When < 100) return NoEventID;
  if (Track) return Track->NewEventWithLabel(koeLabel, What, When, Text);
  return FEvents.AddLabelBookmark(When, Text, What);
}

void TvlBookmarkKeys::OpenLabelWindow(TEventID ID) {
  // The vertical timeline's box, as F10 to F12 have always opened; with the timeline hidden,
  // the label tool of the track the bookmark went to.
  const TVertTimeline *vertical = FTimelines ? FTimelines->VertTimeline() : nullptr;
  if (vertical && vertical->isVisible()) {
    FTimelines->BookmarkSinkPart().BookmarkEdit(ID);
    return;
  }
  if (!FWindow || !FTracks) return;
  TvlTrackWindow *w =
      FWindow->NewEventBroker_Track() == btkCurrent ? FTracks->Current() : FTracks->Historical();
  if (w && w->isVisible()) w->EventID_OfferLabelTool(0, ID);
}

void TvlBookmarkKeys::BookmarkMade() {
  if (FTracks) FTracks->BookmarksChanged();
  if (FNotebook) FNotebook->IncrementChangeCountOfActiveDoc();
}
