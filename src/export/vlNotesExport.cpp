#include "vlNotesExport.h"

#include "vl09_DayFilesManager.h"
#include "vl09_MediaFoldersInfo.h"
#include "vl09_MediaInfo.h"
#include "vl09_NotebookBinder.h"
#include "vlKeptEventsIO.h"
#include "vlSoundFile.h"
#include "vl_Document.h"
#include "vldGraphic.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSaveFile>
#include <QUrl>

#include <sndfile.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>

// ---------------------------------------------------------------------------------------------
// Formats and sources

std::optional<TExportFormat> ExportFormatFromName(const QString &Name) {
  const QString n = Name.trimmed().toLower();
  if (n == u"md" || n == u"markdown") return efMarkdown;
  if (n == u"html" || n == u"htm") return efHtml;
  if (n == u"vtt" || n == u"webvtt") return efWebVTT;
  if (n == u"srt") return efSrt;
  if (n == u"tsv" || n == u"txt") return efTsv;
  return std::nullopt;
}

QString ExportFormatExtension(TExportFormat Format) {
  switch (Format) {
    case efMarkdown: return QStringLiteral("md");
    case efHtml: return QStringLiteral("html");
    case efWebVTT: return QStringLiteral("vtt");
    case efSrt: return QStringLiteral("srt");
    case efTsv: return QStringLiteral("tsv");
  }
  return QStringLiteral("md");
}

namespace {

const QString &FilterText(TExportFormat Format) {
  static const QString texts[] = {
      QStringLiteral("Markdown (*.md)"),
      QStringLiteral("Web page with the recordings (*.html)"),
      QStringLiteral("WebVTT subtitles (*.vtt)"),
      QStringLiteral("SRT subtitles (*.srt)"),
      QStringLiteral("Labels for audio editors (*.tsv)"),
  };
  return texts[Format];
}

}  // namespace

QString ExportDialogFilters() {
  QStringList filters;
  for (TExportFormat f : {efMarkdown, efHtml, efWebVTT, efSrt, efTsv})
    filters.append(FilterText(f));
  return filters.join(QStringLiteral(";;"));
}

TExportFormat ExportFormatFromDialog(const QString &Filter, const QString &Path) {
  for (TExportFormat f : {efMarkdown, efHtml, efWebVTT, efSrt, efTsv})
    if (Filter == FilterText(f)) return f;
  return ExportFormatFromName(QFileInfo(Path).suffix()).value_or(efMarkdown);
}

std::vector<RExportTab> ExportTabsOf(TvlBinderTabs &Tabs) {
  std::vector<RExportTab> out;
  for (int i = 0; i < Tabs.Tabs_Count(); ++i)
    out.push_back({Tabs.Tabs_Title(i), &Tabs.Tabs_Document(i)});
  return out;
}

namespace {

bool IsBookmarkKind(TKindOfEvent Kind) {
  return Kind == koeMarker || Kind == koeLabel || Kind == koeWebDings || Kind == koeWingDings ||
         Kind == koeWingDings2 || Kind == koeWingDings3;
}

// The kind of a K attribute as the day files manager reads it: its first character counts.
TKindOfEvent KindFromText(const QString &K) {
  switch (K.isEmpty() ? u'\0' : K.front().unicode()) {
    case u'M': return koeMarker;
    case u'L': return koeLabel;
    case u'W': return koeWebDings;
    case u'1': return koeWingDings;
    case u'2': return koeWingDings2;
    case u'3': return koeWingDings3;
    default: return koeNone;
  }
}

}  // namespace

std::vector<RExportBookmark> ExportBookmarksOf(const TvlKeptEventsIO &Events) {
  std::vector<RExportBookmark> out;
  for (const TvlKeptEventsIO::REvent &e : Events.Events) {
    const TKindOfEvent kind = KindFromText(e.Kind);
    if (!IsBookmarkKind(kind) || !(e.When > 0)) continue;
    out.push_back({kind, e.What.size() == 1 ? e.What.front() : QChar(u'1'), e.When, e.Text});
  }
  return out;
}

std::vector<RExportBookmark> ExportBookmarksOf(const TvlDayFilesManager &Events) {
  std::vector<RExportBookmark> out;
  TEventID id = NoEventID;
  TvlEvent ev;
  for (auto walk = Events.Walk(); walk.Next(id);)
    if (Events.Event_FromEventID(id, ev) && IsBookmarkKind(ev.Kind) && ev.When > 0)
      out.push_back({ev.Kind, ev.What, ev.When, ev.Text});
  std::stable_sort(out.begin(), out.end(), [](const RExportBookmark &A, const RExportBookmark &B) {
    return A.When < B.When;
  });
  return out;
}

QString BookmarkCaption(const RExportBookmark &Bookmark) {
  switch (Bookmark.Kind) {
    case koeMarker: return QStringLiteral("Bookmark ") + Bookmark.What;
    case koeLabel:
      return Bookmark.Text.trimmed().isEmpty() ? QStringLiteral("Label")
                                               : Bookmark.Text.simplified();
    default:
      return QStringLiteral("Symbol") + (Bookmark.Text.isEmpty()
                                             ? QString()
                                             : QStringLiteral(" ") + Bookmark.Text.simplified());
  }
}

// ---------------------------------------------------------------------------------------------
// Recordings

TvlExportRecordings::TvlExportRecordings(TvlMediaFoldersInfo *Folders) : FFolders(Folders) {}

std::int64_t TvlExportRecordings::OffsetInto(const RExportRecording &Recording, TDateTime When) {
  // Playback's mapping: wall milliseconds since the start named, through the clock record.
  const double wall = (When - Recording.Start) * MSecsPerDay;
  if (wall < 0) return std::llround(wall);
  return Recording.Clock ? ClockMSecsToInt(Recording.Clock->FileMSecsAt(wall))
                         : ClockMSecsToInt(wall);
}

int TvlExportRecordings::IndexOf(const QString &Path, TDateTime Start, std::int64_t LengthMSecs) {
  for (std::size_t i = 0; i < FRecordings.size(); ++i)
    if (FRecordings[i].Path == Path) return static_cast<int>(i);
  // The clock record of the recording itself (the exact name or one overlapping it almost
  // wholly), never a neighbour's, as playback loads it.
  std::vector<TvuDatum> readings;
  const QString vu = FindVuFileFor(Path, true);
  if (vu.isEmpty() || !ReadVuFile(vu, readings)) readings.clear();
  FRecordings.push_back(
      {Path, Start, LengthMSecs, std::make_shared<const TRecordingClock>(readings)});
  return static_cast<int>(FRecordings.size()) - 1;
}

std::int64_t TvlExportRecordings::LengthMSecsOf(QString &Path, std::int64_t &CatalogueMSecs) {
  if (const auto known = FLengths.find(Path); known != FLengths.end()) {
    Path = known->second.Path;
    CatalogueMSecs = known->second.CatalogueMSecs;
    return known->second.MSecs;
  }
  const QString asListed = Path;
  // What playback goes by: the whole seconds of the name (or measured, for a name without them).
  CatalogueMSecs = std::int64_t{std::max(FFolders->LengthOf(Path), 0)} * 1000;
  // The milliseconds the name cannot hold, from the header when it agrees with the name.
  const std::int64_t header = CatalogueMSecs > 0 ? SoundFileDurationMSecs(Path) : 0;
  const std::int64_t length =
      header >= CatalogueMSecs && header < CatalogueMSecs + 1000 ? header : CatalogueMSecs;
  FLengths[asListed] = {Path, length, CatalogueMSecs};
  return length;
}

int TvlExportRecordings::Cover(TDateTime When, std::int64_t &OffsetMSecs) {
  OffsetMSecs = 0;
  if (!FFolders || !IsValidDateTime(When) || When < 1) return -1;
  auto day = FDays.find(DateOf(When));
  if (day == FDays.end())
    day = FDays.emplace(DateOf(When), FFolders->RecordingsOfDayAndDayBefore(When)).first;
  // Playback's choice: of the recordings that cover the moment, the one with the most left to
  // play (the later end), the latest start among equals.
  QString best;
  TDateTime bestStart = 0;
  std::int64_t bestLeft = -1;
  std::int64_t bestLength = 0;
  for (const RRecordingEntry &e : day->second) {
    if (When < e.Start) continue;
    QString path = e.Path;
    std::int64_t catalogue = 0;
    const std::int64_t length = LengthMSecsOf(path, catalogue);
    if (catalogue <= 0) continue;
    const std::int64_t into = MilliSecondsBetween(e.Start, When);
    if (into > catalogue) continue;
    if (catalogue - into >= bestLeft) {
      bestLeft = catalogue - into;
      best = path;
      bestStart = e.Start;
      bestLength = length;
    }
  }
  if (best.isEmpty()) return -1;
  const int index = IndexOf(best, bestStart, bestLength);
  OffsetMSecs = OffsetInto(FRecordings[index], When);
  return index;
}

int TvlExportRecordings::Named(const QString &Path) {
  const QFileInfo info(Path);
  const TDateTime start = RecordingStartFromName(info.fileName());
  if (start == kInvalidRecordingStart || !info.isFile()) return -1;
  const std::int64_t length = SoundFileDurationMSecs(info.absoluteFilePath());
  if (length <= 0) return -1;
  for (std::size_t i = 0; i < FRecordings.size(); ++i)
    if (QFileInfo(FRecordings[i].Path) == info) return static_cast<int>(i);
  return IndexOf(info.absoluteFilePath(), start, length);
}

// ---------------------------------------------------------------------------------------------
// Audio files for the page

bool BrowserPlaysAudioFile(const QString &Path) {
  SF_INFO info{};
  SNDFILE *file = sf_open(QFile::encodeName(Path).constData(), SFM_READ, &info);
  if (!file) return false;
  sf_close(file);
  const int major = info.format & SF_FORMAT_TYPEMASK;
  const int sub = info.format & SF_FORMAT_SUBMASK;
  if (major == SF_FORMAT_OGG) return sub == SF_FORMAT_VORBIS || sub == SF_FORMAT_OPUS;
  if (major == SF_FORMAT_FLAC) return true;
  if (major == SF_FORMAT_WAV || major == SF_FORMAT_WAVEX)
    return sub == SF_FORMAT_PCM_U8 || sub == SF_FORMAT_PCM_16 || sub == SF_FORMAT_PCM_24 ||
           sub == SF_FORMAT_PCM_32 || sub == SF_FORMAT_FLOAT;
  return false;
}

bool WritePcmWavCopy(const QString &Source, const QString &Target, QString &Error) {
  SF_INFO in{};
  SNDFILE *from = sf_open(QFile::encodeName(Source).constData(), SFM_READ, &in);
  if (!from) {
    Error = Source + QStringLiteral(": ") + QString::fromUtf8(sf_strerror(nullptr));
    return false;
  }
  // Written beside the target under a name of its own, put in place only when complete: an
  // earlier copy stays whole until then.
  const QString part = Target + QStringLiteral(".part");
  SF_INFO out{};
  out.samplerate = in.samplerate;
  out.channels = in.channels;
  out.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
  SNDFILE *to = sf_open(QFile::encodeName(part).constData(), SFM_WRITE, &out);
  if (!to) {
    Error = part + QStringLiteral(": ") + QString::fromUtf8(sf_strerror(nullptr));
    sf_close(from);
    return false;
  }
  std::vector<short> block(static_cast<std::size_t>(4096) * static_cast<std::size_t>(in.channels));
  bool ok = true;
  for (;;) {
    const sf_count_t got = sf_readf_short(from, block.data(), 4096);
    if (got <= 0) break;
    if (sf_writef_short(to, block.data(), got) != got) {
      Error = part + QStringLiteral(": ") + QString::fromUtf8(sf_strerror(to));
      ok = false;
      break;
    }
  }
  sf_close(from);
  if (sf_close(to) != 0 && ok) {
    Error = part + QStringLiteral(": cannot be finished");
    ok = false;
  }
  // rename() replaces an earlier copy of this export in one step.
  if (ok && std::rename(QFile::encodeName(part).constData(),
                        QFile::encodeName(Target).constData()) != 0) {
    Error = Target + QStringLiteral(": cannot be put in place");
    ok = false;
  }
  if (!ok) QFile::remove(part);
  return ok;
}

// ---------------------------------------------------------------------------------------------
// The notes as the formats see them

namespace {

struct RRun {
  QString Text;
  TFontStyles Style;
};

// A stretch of a paragraph: all of it, or one piece of a subtitle.
struct RStretch {
  TDateTime When = 0;  // 0: no moment
  std::vector<RRun> Runs;
  QString Plain;
};

struct RPara {
  RStretch Whole;
  std::vector<RStretch> Sentences;  // for subtitles; the whole paragraph when it is short
  QStringList Pictures;
};

struct RItem {
  bool IsBookmark = false;
  int Index = 0;
};

struct RTabOut {
  QString Title;
  std::vector<RPara> Paras;
  std::vector<RItem> Items;  // paragraphs in document order, bookmarks among them
};

// Subtitles: a paragraph longer than this is split at the ends of its sentences; pieces are
// joined while they stay within it.
constexpr int kCueChars = 84;

bool HasMoment(TDateTime When) { return IsValidDateTime(When) && When >= 1; }

TDateTime CharMoment(const TParagraph &P, int CharIndex) {
  const TDateTime when = TypingEventMoment(P.Timestamp_Get(CharIndex));
  return HasMoment(when) ? when : 0;
}

// A character as text: controls other than the tab dropped, tabs and line breaks a space.
QString Visible(QChar C) {
  if (C == u'\t' || C == u'\n' || C == u'\r') return QStringLiteral(" ");
  if (C.unicode() < 32 || C.unicode() == 127) return {};
  return QString(C);
}

RStretch StretchOf(const TDocument &Doc, const TParagraph &P, int First, int Last) {
  RStretch s;
  for (int i = First; i <= Last; ++i) {
    const QString text = Visible(P.Char_GetChar(i));
    if (!s.When) s.When = CharMoment(P, i);
    if (text.isEmpty()) continue;
    const TFontStyles style = Doc.FontsInUse.GetFontStyle(P.Char_GetFont(i));
    if (s.Runs.empty() || s.Runs.back().Style != style)
      s.Runs.push_back({text, style});
    else
      s.Runs.back().Text += text;
    s.Plain += text;
  }
  return s;
}

bool EndsSentence(QChar C) {
  return C == u'.' || C == u'!' || C == u'?' || C == u'\u3002' || C == u'\uFF01' ||
         C == u'\uFF1F' || C == u'\u0964' || C == u'\u061F' || C == u'\u2026';
}

// Ends of sentences: a closing mark followed by a space (or, for the marks of scripts written
// without spaces, by anything). Answers the 1-based index of each sentence's last character.
std::vector<int> SentenceEnds(const TParagraph &P) {
  std::vector<int> ends;
  const int n = P.High();
  for (int i = 1; i < n; ++i) {
    const QChar c = P.Char_GetChar(i);
    if (!EndsSentence(c)) continue;
    const QChar next = P.Char_GetChar(i + 1);
    const bool wide = c.unicode() >= 0x3000;
    if (next.isSpace()) {
      int j = i + 1;  // the spaces go with the sentence they follow
      while (j < n && P.Char_GetChar(j + 1).isSpace()) ++j;
      ends.push_back(j);
      i = j;
    } else if (wide && !EndsSentence(next)) {
      ends.push_back(i);
    }
  }
  ends.push_back(n);
  return ends;
}

std::vector<RStretch> Sentences(const TDocument &Doc, const TParagraph &P) {
  std::vector<RStretch> out;
  if (P.High() <= kCueChars) return out;
  int first = 1;
  int pieceEnd = 0;
  for (const int end : SentenceEnds(P)) {
    if (pieceEnd >= first && end - first + 1 > kCueChars) {
      out.push_back(StretchOf(Doc, P, first, pieceEnd));
      first = pieceEnd + 1;
    }
    pieceEnd = end;
  }
  if (pieceEnd >= first) out.push_back(StretchOf(Doc, P, first, pieceEnd));
  return out;
}

RPara ParaOf(const TDocument &Doc, const TParagraph &P) {
  RPara para;
  para.Whole = StretchOf(Doc, P, 1, P.High());
  // Only a paragraph without characters goes by its end of line (a picture's line).
  if (!para.Whole.When && P.High() == 0) {
    const TDateTime eol = TypingEventMoment(P.FNLWhen);
    if (HasMoment(eol)) para.Whole.When = eol;
  }
  para.Sentences = Sentences(Doc, P);
  for (int i = 1; i <= P.AnchoredInsets.Count(); ++i)
    if (const TvlGraphic *g = Doc.InsetsStorage.GetIfGraphic(P.AnchoredInsets.GetHandle(i)))
      if (!g->JpegPathName.trimmed().isEmpty()) para.Pictures.append(g->JpegPathName);
  return para;
}

std::vector<RTabOut> BuildTabs(const std::vector<RExportTab> &Tabs,
                               const std::vector<RExportBookmark> &Bookmarks, int OnlyTab) {
  std::vector<RTabOut> out;
  for (int t = 0; t < static_cast<int>(Tabs.size()); ++t) {
    RTabOut tab;
    tab.Title = Tabs[t].Title;
    if (const TDocument *doc = Tabs[t].Doc)
      for (int sn = 0; sn <= doc->Section_High(); ++sn)
        if (const TParagraph *p = doc->Paragraph_FromSectionNum(sn)) {
          RPara para = ParaOf(*doc, *p);
          // Empty lines carry nothing to export but their pictures.
          if (para.Whole.Plain.trimmed().isEmpty() && para.Pictures.isEmpty()) continue;
          tab.Paras.push_back(std::move(para));
        }
    out.push_back(std::move(tab));
  }
  if (out.empty()) return out;

  // Each bookmark goes once, into the tab with a paragraph nearest to it in time (the first such
  // tab; the first tab when no paragraph has a moment), before the first paragraph that comes
  // later than it.
  std::vector<std::vector<int>> bookmarksOfTab(out.size());
  for (int b = 0; b < static_cast<int>(Bookmarks.size()); ++b) {
    std::size_t bestTab = 0;
    double bestDistance = 1e300;
    for (std::size_t t = 0; t < out.size(); ++t)
      for (const RPara &p : out[t].Paras)
        if (p.Whole.When && std::abs(p.Whole.When - Bookmarks[b].When) < bestDistance) {
          bestDistance = std::abs(p.Whole.When - Bookmarks[b].When);
          bestTab = t;
        }
    bookmarksOfTab[bestTab].push_back(b);
  }
  for (std::size_t t = 0; t < out.size(); ++t) {
    std::vector<int> marks = bookmarksOfTab[t];
    std::stable_sort(marks.begin(), marks.end(),
                     [&](int A, int B) { return Bookmarks[A].When < Bookmarks[B].When; });
    std::size_t next = 0;
    for (int p = 0; p < static_cast<int>(out[t].Paras.size()); ++p) {
      const TDateTime when = out[t].Paras[p].Whole.When;
      while (when && next < marks.size() && Bookmarks[marks[next]].When < when)
        out[t].Items.push_back({true, marks[next++]});
      out[t].Items.push_back({false, p});
    }
    while (next < marks.size()) out[t].Items.push_back({true, marks[next++]});
  }
  // One tab asked for: it keeps the bookmarks that are its own among all tabs.
  if (OnlyTab >= 0) {
    RTabOut only = std::move(out[static_cast<std::size_t>(OnlyTab)]);
    out.clear();
    out.push_back(std::move(only));
  }
  return out;
}

QString TimeOfDay(TDateTime When) {
  const RDecodedDateTime d = DecodeDateTime(When);
  return QString::asprintf("%02d:%02d:%02d", d.Hour, d.Minute, d.Second);
}

QString DateText(TDateTime When) {
  const RDecodedDateTime d = DecodeDateTime(When);
  return QString::asprintf("%04d-%02d-%02d", d.Year, d.Month, d.Day);
}

// HH:MM:SS.mmm (WebVTT) or HH:MM:SS,mmm (SRT).
QString CueTime(std::int64_t MSecs, QChar Separator) {
  MSecs = std::max<std::int64_t>(MSecs, 0);
  return QString::asprintf("%02lld:%02lld:%02lld", static_cast<long long>(MSecs / 3600000),
                           static_cast<long long>(MSecs / 60000 % 60),
                           static_cast<long long>(MSecs / 1000 % 60)) +
         Separator + QString::asprintf("%03lld", static_cast<long long>(MSecs % 1000));
}

QString Seconds(std::int64_t MSecs) {
  return QString::asprintf("%lld.%03lld000", static_cast<long long>(MSecs / 1000),
                           static_cast<long long>(MSecs % 1000));
}

// ---- Markdown ----

QString MarkdownEscaped(const QString &Text) {
  QString out;
  for (const QChar c : Text) {
    if (QStringView(u"\\`*_[]<>#|~").contains(c)) out += u'\\';
    if (c == u'&')
      out += QStringLiteral("&amp;");
    else
      out += c;
  }
  return out;
}

QString MarkdownRuns(const std::vector<RRun> &Runs) {
  QString out;
  for (const RRun &run : Runs) {
    // Emphasis markers must touch the words: spaces at a run's edges stay outside them.
    const QString body = run.Text.trimmed();
    if (body.isEmpty()) {
      out += run.Text;
      continue;
    }
    const qsizetype lead = run.Text.indexOf(body);
    QString open, close;
    if (run.Style.testFlag(fsBold)) open += QStringLiteral("**");
    if (run.Style.testFlag(fsItalic)) open += QStringLiteral("*");
    if (run.Style.testFlag(fsUnderline)) open += QStringLiteral("<u>");
    if (run.Style.testFlag(fsStrikeOut)) open += QStringLiteral("~~");
    if (run.Style.testFlag(fsStrikeOut)) close += QStringLiteral("~~");
    if (run.Style.testFlag(fsUnderline)) close += QStringLiteral("</u>");
    if (run.Style.testFlag(fsItalic)) close += QStringLiteral("*");
    if (run.Style.testFlag(fsBold)) close += QStringLiteral("**");
    out += run.Text.left(lead) + open + MarkdownEscaped(body) + close +
           run.Text.mid(lead + body.size());
  }
  return out;
}

// A paragraph without a moment that starts like a list item ("- ", "+ ", "3. ") stays a
// paragraph.
QString WithoutBlockMarker(const QString &Line) {
  static const QRegularExpression marker(QStringLiteral("^(?:[-+]|\\d{1,9}[.)])(?:\\s|$)"));
  const QRegularExpressionMatch m = marker.match(Line);
  if (!m.hasMatch()) return Line;
  const qsizetype sign = m.captured(0).trimmed().size() - 1;
  return Line.left(sign) + u'\\' + Line.mid(sign);
}

QString PictureReference(const QString &Path) {
  return QStringLiteral("![picture](<") + QString(Path).replace(u'>', QStringLiteral("%3E")) +
         QStringLiteral(">)");
}

QString Markdown(const std::vector<RTabOut> &Tabs, const std::vector<RExportBookmark> &Bookmarks,
                 const QString &Title) {
  QString out;
  if (!Title.isEmpty())
    out += QStringLiteral("# ") + MarkdownEscaped(Title) + QStringLiteral("\n\n");
  for (const RTabOut &tab : Tabs) {
    out += QStringLiteral("## ") + MarkdownEscaped(tab.Title.simplified()) + QStringLiteral("\n\n");
    TDateTime lastDay = -1;
    bool inList = false;
    for (const RItem &item : tab.Items) {
      const TDateTime when =
          item.IsBookmark ? Bookmarks[item.Index].When : tab.Paras[item.Index].Whole.When;
      if (when && DateOf(when) != lastDay) {
        if (inList) out += u'\n';
        inList = false;
        lastDay = DateOf(when);
        out += u'_' + DateText(when) + QStringLiteral("_\n\n");
      }
      if (item.IsBookmark) {
        const RExportBookmark &b = Bookmarks[item.Index];
        out += QStringLiteral("- [") + TimeOfDay(b.When) + QStringLiteral("] ") +
               MarkdownEscaped(BookmarkCaption(b)) + u'\n';
        inList = true;
        continue;
      }
      if (inList) out += u'\n';
      inList = false;
      const RPara &p = tab.Paras[item.Index];
      QString line = MarkdownRuns(p.Whole.Runs).trimmed();
      if (when)
        line = u'[' + TimeOfDay(when) + QStringLiteral("] ") + line;
      else
        line = WithoutBlockMarker(line);
      for (const QString &picture : p.Pictures)
        line += (line.isEmpty() ? QString() : QStringLiteral("\n")) + PictureReference(picture);
      out += line + QStringLiteral("\n\n");
    }
    if (inList) out += u'\n';
  }
  while (out.endsWith(QStringLiteral("\n\n"))) out.chop(1);
  return out;
}

// ---- HTML ----

QString HtmlEscaped(const QString &Text) {
  QString out;
  out.reserve(Text.size());
  for (const QChar c : Text) {
    switch (c.unicode()) {
      case u'&': out += QStringLiteral("&amp;"); break;
      case u'<': out += QStringLiteral("&lt;"); break;
      case u'>': out += QStringLiteral("&gt;"); break;
      case u'"': out += QStringLiteral("&quot;"); break;
      default: out += c;
    }
  }
  return out;
}

QString HtmlRuns(const std::vector<RRun> &Runs) {
  QString out;
  for (const RRun &run : Runs) {
    QString open, close;
    if (run.Style.testFlag(fsBold)) open += QStringLiteral("<b>");
    if (run.Style.testFlag(fsItalic)) open += QStringLiteral("<i>");
    if (run.Style.testFlag(fsUnderline)) open += QStringLiteral("<u>");
    if (run.Style.testFlag(fsStrikeOut)) open += QStringLiteral("<s>");
    if (run.Style.testFlag(fsStrikeOut)) close += QStringLiteral("</s>");
    if (run.Style.testFlag(fsUnderline)) close += QStringLiteral("</u>");
    if (run.Style.testFlag(fsItalic)) close += QStringLiteral("</i>");
    if (run.Style.testFlag(fsBold)) close += QStringLiteral("</b>");
    out += open + HtmlEscaped(run.Text) + close;
  }
  return out;
}

// A path as a URL reference: relative to the page when it can be, every segment percent-encoded.
QString UrlOf(const QString &Path, const QString &PageFolder) {
  const QString relative = PageFolder.isEmpty() ? Path : QDir(PageFolder).relativeFilePath(Path);
  if (QDir::isAbsolutePath(relative))
    return QUrl::fromLocalFile(relative).toString(QUrl::FullyEncoded);
  QStringList parts = relative.split(u'/');
  for (QString &part : parts) part = QString::fromLatin1(QUrl::toPercentEncoding(part));
  return parts.join(u'/');
}

// The link on a moment: plays the recording covering it from there; plain text when none does.
QString MomentLink(TDateTime When, TvlExportRecordings &Recordings) {
  std::int64_t offset = 0;
  const int r = Recordings.Cover(When, offset);
  const QString time = u'[' + TimeOfDay(When) + u']';
  if (r < 0) return QStringLiteral("<span class=\"t\">") + time + QStringLiteral("</span>");
  return QStringLiteral("<a class=\"t\" href=\"#\" data-r=\"%1\" data-at=\"%2\" title=\"%3\">")
             .arg(r)
             .arg(QString::asprintf("%lld.%03lld", static_cast<long long>(offset / 1000),
                                    static_cast<long long>(offset % 1000)))
             .arg(HtmlEscaped(DateText(When) + u' ' + TimeOfDay(When))) +
         time + QStringLiteral("</a>");
}

const char *const kPageStyle =
    "body{font-family:'DejaVu Sans',Verdana,'Noto Sans','Noto Sans CJK JP',sans-serif;"
    "max-width:48em;margin:0 auto;"
    "padding:5.5em 1.2em 3em;line-height:1.55;color:#222;background:#fff}\n"
    "#bar{position:fixed;top:0;left:0;right:0;background:#f3f5f7;border-bottom:1px solid #cdd;"
    "padding:.5em 1.2em;display:flex;gap:1em;align-items:center}\n"
    "#bar audio{flex:1}#now{font-size:.85em;color:#555;min-width:14em}\n"
    "h1{font-size:1.5em}h2{font-size:1.2em;border-bottom:1px solid #ddd;margin-top:2em}\n"
    ".d{color:#777;font-size:.85em}\n"
    "a.t,span.t{font-family:'DejaVu Sans Mono',monospace;font-size:.85em;margin-right:.5em;"
    "text-decoration:none;white-space:nowrap}\n"
    "a.t{color:#0a58ca}a.t:hover{text-decoration:underline}span.t{color:#888}\n"
    "a.t.playing{background:#ffe58a}\n"
    "ul.bm{list-style:none;padding-left:1em;color:#8a4b00}\n"
    "img{max-width:100%}\n";

// Plays recording R from At seconds: a recording not loaded yet is loaded first and seeked once
// its length is known.
const char *const kPageScript =
    "(function(){\n"
    "var audio=document.getElementById('audio'),now=document.getElementById('now');\n"
    "var recs=JSON.parse(document.getElementById('recordings').textContent);\n"
    "var current=-1,lit=null;\n"
    "function play(r,at){\n"
    "  if(r!==current){current=r;audio.src=recs[r].url;\n"
    "    audio.addEventListener('loadedmetadata',function(){audio.currentTime=at;audio.play();},"
    "{once:true});audio.load();}\n"
    "  else{audio.currentTime=at;audio.play();}\n"
    "  now.textContent=recs[r].name;}\n"
    "document.addEventListener('click',function(e){\n"
    "  var a=e.target.closest('a.t');if(!a)return;e.preventDefault();\n"
    "  if(lit)lit.classList.remove('playing');lit=a;a.classList.add('playing');\n"
    "  play(parseInt(a.dataset.r,10),parseFloat(a.dataset.at));});\n"
    "})();\n";

// JSON string contents: what a <script> block may hold ("</" never appears, "<" is escaped).
QString JsonString(const QString &Text) {
  QString out = QStringLiteral("\"");
  for (const QChar c : Text) {
    if (c == u'"' || c == u'\\')
      out += u'\\' + QString(c);
    else if (c.unicode() < 32 || c == u'<' || c == u'>' || c == u'&')
      out += QString::asprintf("\\u%04x", c.unicode());
    else
      out += c;
  }
  return out + u'"';
}

QString Html(const std::vector<RTabOut> &Tabs, const std::vector<RExportBookmark> &Bookmarks,
             TvlExportRecordings &Recordings, const QString &Title,
             const std::function<QString(int)> &UrlOfRecording) {
  QString body;
  for (const RTabOut &tab : Tabs) {
    body += QStringLiteral("<section>\n<h2>") + HtmlEscaped(tab.Title.simplified()) +
            QStringLiteral("</h2>\n");
    TDateTime lastDay = -1;
    bool inList = false;
    for (const RItem &item : tab.Items) {
      const TDateTime when =
          item.IsBookmark ? Bookmarks[item.Index].When : tab.Paras[item.Index].Whole.When;
      const bool newDay = when && DateOf(when) != lastDay;
      if (inList && (!item.IsBookmark || newDay)) {
        body += QStringLiteral("</ul>\n");
        inList = false;
      }
      if (newDay) {
        lastDay = DateOf(when);
        body += QStringLiteral("<p class=\"d\">") + DateText(when) + QStringLiteral("</p>\n");
      }
      if (item.IsBookmark) {
        if (!inList) body += QStringLiteral("<ul class=\"bm\">\n");
        inList = true;
        const RExportBookmark &b = Bookmarks[item.Index];
        body += QStringLiteral("<li>") + MomentLink(b.When, Recordings) +
                HtmlEscaped(BookmarkCaption(b)) + QStringLiteral("</li>\n");
        continue;
      }
      const RPara &p = tab.Paras[item.Index];
      body += QStringLiteral("<p>");
      if (when) body += MomentLink(when, Recordings);
      body += HtmlRuns(p.Whole.Runs);
      for (const QString &picture : p.Pictures)
        body += QStringLiteral("<br><img alt=\"picture\" src=\"") +
                HtmlEscaped(QUrl::fromLocalFile(picture).toString(QUrl::FullyEncoded)) +
                QStringLiteral("\">");
      body += QStringLiteral("</p>\n");
    }
    if (inList) body += QStringLiteral("</ul>\n");
    body += QStringLiteral("</section>\n");
  }

  QStringList recs;
  const std::vector<RExportRecording> &all = Recordings.Recordings();
  for (int r = 0; r < static_cast<int>(all.size()); ++r)
    recs.append(QStringLiteral("{\"url\":") + JsonString(UrlOfRecording(r)) +
                QStringLiteral(",\"name\":") + JsonString(QFileInfo(all[r].Path).fileName()) +
                u'}');

  const QString title = Title.isEmpty() ? QStringLiteral("Notes") : Title;
  return QStringLiteral(
             "<!DOCTYPE html>\n<html>\n<head>\n<meta charset=\"utf-8\">\n"
             "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n"
             "<title>") +
         HtmlEscaped(title) + QStringLiteral("</title>\n<style>\n") +
         QString::fromLatin1(kPageStyle) +
         QStringLiteral("</style>\n</head>\n<body>\n<div id=\"bar\"><span id=\"now\">") +
         (all.empty() ? QStringLiteral("No recording covers these notes")
                      : QStringLiteral("Click a time to play from it")) +
         QStringLiteral(
             "</span><audio id=\"audio\" controls preload=\"none\"></audio></div>\n<h1>") +
         HtmlEscaped(title) + QStringLiteral("</h1>\n") + body +
         QStringLiteral("<script type=\"application/json\" id=\"recordings\">[") + recs.join(u',') +
         QStringLiteral("]</script>\n<script>\n") + QString::fromLatin1(kPageScript) +
         QStringLiteral("</script>\n</body>\n</html>\n");
}

// ---- Subtitles and labels ----

struct RCue {
  std::int64_t Start = 0;
  std::int64_t End = 0;
  QString Text;
};

// The time it takes to read Text: a second and a half at least, 15 characters a second, at most
// seven seconds.
std::int64_t ReadingMSecs(const QString &Text) {
  return std::clamp<std::int64_t>(Text.size() * 1000 / 15, 1500, 7000);
}

// The recording subtitles and labels are timed from: the one named, else the one covering the
// most paragraphs (the earliest among equals). -1 when none.
int ReferenceRecording(const std::vector<RTabOut> &Tabs, TvlExportRecordings &Recordings,
                       const QString &Named, QString &Error) {
  if (!Named.isEmpty()) {
    const int r = Recordings.Named(Named);
    if (r < 0)
      Error = Named + QStringLiteral(
                          ": not a recording (its name carries no start, or it cannot "
                          "be read)");
    return r;
  }
  std::map<int, int> counts;
  for (const RTabOut &tab : Tabs)
    for (const RPara &p : tab.Paras) {
      std::int64_t offset = 0;
      const int r = Recordings.Cover(p.Whole.When, offset);
      if (r >= 0) ++counts[r];
    }
  int best = -1, bestCount = 0;
  for (const auto &[r, count] : counts)
    if (count > bestCount ||
        (count == bestCount && best >= 0 &&
         Recordings.Recordings()[r].Start < Recordings.Recordings()[best].Start)) {
      best = r;
      bestCount = count;
    }
  if (best < 0) Error = QStringLiteral("No recording covers the moments of these notes.");
  return best;
}

std::vector<RCue> Cues(const std::vector<RTabOut> &Tabs, const RExportRecording &Recording,
                       QStringList *Notes) {
  std::vector<RCue> cues;
  int outside = 0;
  for (const RTabOut &tab : Tabs)
    for (const RPara &p : tab.Paras) {
      const std::vector<RStretch> one{p.Whole};
      for (const RStretch &s : p.Sentences.empty() ? one : p.Sentences) {
        const QString text = s.Plain.simplified();
        if (text.isEmpty()) continue;
        const std::int64_t at = TvlExportRecordings::OffsetInto(Recording, s.When);
        if (!s.When || at < 0 || at > Recording.LengthMSecs) {
          ++outside;
          continue;
        }
        cues.push_back({at, 0, text});
      }
    }
  std::stable_sort(cues.begin(), cues.end(),
                   [](const RCue &A, const RCue &B) { return A.Start < B.Start; });
  for (std::size_t i = 0; i < cues.size(); ++i) {
    std::int64_t end = cues[i].Start + ReadingMSecs(cues[i].Text);
    if (i + 1 < cues.size() && cues[i + 1].Start > cues[i].Start)
      end = std::min(end, cues[i + 1].Start);
    cues[i].End = std::max(cues[i].Start + 1,
                           std::min(end, std::max(Recording.LengthMSecs, cues[i].Start + 1)));
  }
  if (outside > 0 && Notes)
    Notes->append(QStringLiteral("%1 paragraph(s) or sentence(s) lie outside %2 and were left out.")
                      .arg(outside)
                      .arg(QFileInfo(Recording.Path).fileName()));
  return cues;
}

// A cue over 42 characters goes on two lines, broken at the space nearest its middle (no
// break in text written without spaces).
QString TwoLines(const QString &Text) {
  if (Text.size() <= 42) return Text;
  const qsizetype middle = Text.size() / 2;
  qsizetype best = -1;
  for (qsizetype i = 0; i < Text.size(); ++i)
    if (Text[i] == u' ' && (best < 0 || std::abs(i - middle) < std::abs(best - middle))) best = i;
  if (best <= 0) return Text;
  return Text.left(best) + u'\n' + Text.mid(best + 1);
}

// Cue text needs only these three (a "-->" cannot survive them).
QString VttEscaped(const QString &Text) {
  return QString(Text)
      .replace(u'&', QStringLiteral("&amp;"))
      .replace(u'<', QStringLiteral("&lt;"))
      .replace(u'>', QStringLiteral("&gt;"));
}

QString WebVtt(const std::vector<RCue> &Cues, const RExportRecording &Recording) {
  QString out = QStringLiteral("WEBVTT\n\nNOTE\nTimed from the start of ") +
                VttEscaped(QFileInfo(Recording.Path).fileName()) + QStringLiteral("\n");
  for (const RCue &c : Cues)
    out += u'\n' + CueTime(c.Start, u'.') + QStringLiteral(" --> ") + CueTime(c.End, u'.') + u'\n' +
           VttEscaped(TwoLines(c.Text)) + u'\n';
  return out;
}

QString Srt(const std::vector<RCue> &Cues) {
  QString out;
  for (std::size_t i = 0; i < Cues.size(); ++i)
    out += QString::number(i + 1) + u'\n' + CueTime(Cues[i].Start, u',') + QStringLiteral(" --> ") +
           CueTime(Cues[i].End, u',') + u'\n' +
           TwoLines(Cues[i].Text).replace(QStringLiteral("-->"), QStringLiteral("->")) +
           QStringLiteral("\n\n");
  return out;
}

QString Tsv(const std::vector<RTabOut> &Tabs, const std::vector<RExportBookmark> &Bookmarks,
            const RExportRecording &Recording, QStringList *Notes) {
  struct RLabel {
    std::int64_t At;
    QString Text;
  };
  std::vector<RLabel> labels;
  int outside = 0;
  const auto add = [&](TDateTime When, const QString &Text) {
    const std::int64_t at = TvlExportRecordings::OffsetInto(Recording, When);
    if (!When || at < 0 || at > Recording.LengthMSecs) {
      ++outside;
      return;
    }
    labels.push_back({at, Text.simplified()});
  };
  for (const RExportBookmark &b : Bookmarks) add(b.When, BookmarkCaption(b));
  for (const RTabOut &tab : Tabs)
    for (const RPara &p : tab.Paras)
      if (!p.Whole.Plain.trimmed().isEmpty()) add(p.Whole.When, p.Whole.Plain);
  std::stable_sort(labels.begin(), labels.end(),
                   [](const RLabel &A, const RLabel &B) { return A.At < B.At; });
  QString out;
  for (const RLabel &l : labels)
    out += Seconds(l.At) + u'\t' + Seconds(l.At) + u'\t' + l.Text + u'\n';
  if (outside > 0 && Notes)
    Notes->append(QStringLiteral("%1 moment(s) lie outside %2 and were left out.")
                      .arg(outside)
                      .arg(QFileInfo(Recording.Path).fileName()));
  return out;
}

struct RTextResult {
  QString Text;
  QString Error;
};

RTextResult Render(const std::vector<RExportTab> &Tabs,
                   const std::vector<RExportBookmark> &Bookmarks, TvlExportRecordings &Recordings,
                   const RExportRequest &Request, QStringList *Notes,
                   const std::function<QString(int)> &UrlOfRecording) {
  if (Request.Tab >= static_cast<int>(Tabs.size()))
    return {{},
            QStringLiteral("There is no tab %1 (the binder has %2).")
                .arg(Request.Tab + 1)
                .arg(Tabs.size())};
  const std::vector<RTabOut> tabs = BuildTabs(Tabs, Bookmarks, Request.Tab);
  // Subtitles and labels: one tab's bookmarks only when one tab is asked for.
  std::vector<RExportBookmark> marks;
  for (const RTabOut &tab : tabs)
    for (const RItem &item : tab.Items)
      if (item.IsBookmark) marks.push_back(Bookmarks[item.Index]);
  switch (Request.Format) {
    case efMarkdown: return {Markdown(tabs, Bookmarks, Request.Title), {}};
    case efHtml: return {Html(tabs, Bookmarks, Recordings, Request.Title, UrlOfRecording), {}};
    case efWebVTT:
    case efSrt:
    case efTsv: {
      QString error;
      const int r = ReferenceRecording(tabs, Recordings, Request.RecordingPath, error);
      if (r < 0) return {{}, error};
      const RExportRecording recording = Recordings.Recordings()[r];
      if (Request.Format == efTsv) return {Tsv(tabs, marks, recording, Notes), {}};
      const std::vector<RCue> cues = Cues(tabs, recording, Notes);
      return {Request.Format == efWebVTT ? WebVtt(cues, recording) : Srt(cues), {}};
    }
  }
  return {};
}

}  // namespace

QString ExportText(const std::vector<RExportTab> &Tabs,
                   const std::vector<RExportBookmark> &Bookmarks, TvlExportRecordings &Recordings,
                   const RExportRequest &Request, QStringList *Notes) {
  const QString folder =
      Request.OutPath.isEmpty() ? QString() : QFileInfo(Request.OutPath).absolutePath();
  return Render(Tabs, Bookmarks, Recordings, Request, Notes,
                [&](int R) { return UrlOf(Recordings.Recordings()[R].Path, folder); })
      .Text;
}

RExportResult ExportNotes(const std::vector<RExportTab> &Tabs,
                          const std::vector<RExportBookmark> &Bookmarks,
                          TvlExportRecordings &Recordings, const RExportRequest &Request) {
  RExportResult result;
  const QFileInfo outInfo(Request.OutPath);
  const QString folder = outInfo.absolutePath();
  QStringList copies;  // written beside the page
  const auto urlOf = [&](int R) {
    const RExportRecording &rec = Recordings.Recordings()[R];
    if (BrowserPlaysAudioFile(rec.Path)) return UrlOf(rec.Path, folder);
    // The copy browsers play: "<page> <stamp>.wav" beside the page.
    const QString copy = folder + u'/' + outInfo.completeBaseName() + u' ' +
                         RecordingStamp(rec.Start) + QStringLiteral(".wav");
    QString error;
    if (!copies.contains(copy)) {
      if (WritePcmWavCopy(rec.Path, copy, error))
        copies.append(copy);
      else
        result.Notes.append(QStringLiteral("Not converted for the browser: ") + error);
    }
    return UrlOf(copy, folder);
  };
  const RTextResult text = Render(Tabs, Bookmarks, Recordings, Request, &result.Notes, urlOf);
  if (!text.Error.isEmpty()) {
    result.Error = text.Error;
    return result;
  }
  QSaveFile file(Request.OutPath);
  QByteArray bytes = text.Text.toUtf8();
  if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit()) {
    result.Error =
        Request.OutPath + QStringLiteral(": cannot be written (") + file.errorString() + u')';
    return result;
  }
  result.Written = true;
  result.Files.append(Request.OutPath);
  result.Files += copies;
  return result;
}
