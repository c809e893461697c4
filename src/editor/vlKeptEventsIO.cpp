#include "vlKeptEventsIO.h"

#include "vl09_XmlIn.h"
#include "vl09_XmlOut.h"
#include "vlNumberForms.h"

void TvlKeptEventsIO::Add(const QString &Kind, QChar What, TDateTime When, const QString &Text) {
  QByteArray w;
  AppendDouble16(w, When);
  Events.push_back(REvent{Kind, QString(What), QString::fromLatin1(w), When, Text});
}

void TvlKeptEventsIO::IO_SaveNonTypingEvents(TvlXmlOut &Out) {
  Out.Insert_TagWithoutAttributes(xtOtherEventsBegin);
  for (const REvent &e : Events) {
    Out.Insert_TagOpenForAttributes(xtEvent_);
    Out.Insert_AttributeE("K", e.Kind);
    if (!e.What.isEmpty()) Out.Insert_AttributeE("C", e.What);
    Out.Insert_Attribute("W", QStringView(e.WhenText));
    if (!e.Text.isEmpty()) Out.Insert_AttributeE("T", e.Text);
    Out.Insert_TagClose_NoMoreAttributes();
  }
  Out.Insert_TagWithoutAttributes(xtOtherEventsEnd);
}

QString TvlKeptEventsIO::IO_LoadNonTypingEvents(TvlXmlIn &In) {
  Events.clear();
  // A missing or doubled header line costs none of the events.
  if (!In.BeginBlock(xtOtherEventsBegin, xtEvent_)) return {};
  int unreadable = 0;
  while (In.CurrentTag() == xtEvent_) {
    REvent e;
    QByteArrayView w;
    if (In.GetE("K", e.Kind) && !e.Kind.isEmpty() && In.GetRaw("W", w) && ParseDouble(w, e.When) &&
        IsValidDateTime(e.When)) {
      e.WhenText = QString::fromLatin1(w.data(), w.size());
      if (!In.GetE("C", e.What)) e.What.clear();
      if (!In.GetE("T", e.Text)) e.Text.clear();
      Events.push_back(std::move(e));
    } else {
      ++unreadable;
    }
    In.NextRecognizedTag();
  }
  if (In.CurrentTag() == xtOtherEventsEnd) In.NextRecognizedTag();
  return unreadable == 0 ? QString()
                         : QStringLiteral(
                               "%1 events without a kind or a readable moment were "
                               "left out")
                               .arg(unreadable);
}
