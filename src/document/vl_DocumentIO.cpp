// TDocument's file form: the notes block, written and read as an isolated tab file (a NotesDoc
// element of its own, ".vlTab") and embedded in a binder's DocTab element.
//
// Block order: [NotesDoc] CaretPos [ScrollPos] <Sections> P* </Sections> <Fonts> Font* </Fonts>
// <Insets> (Inset Dimensions [Graphic [Sketch Stroke* </Sketch>] </Graphic>] </Inset>)* </Insets>
// [</NotesDoc>]. The paragraph, text and fonts elements are read and written by their own
// classes; this file holds the frame around them, the insets and the pen strokes.
//
// Reading trusts nothing in the file. Every search for an optional element is bounded by the
// elements that the block puts after it, so that a missing line costs only itself and never
// pulls in a later block (in a binder: the next tab). Inside a block (sections, paragraph, fonts,
// insets, inset, sketch) a line the loader cannot use where it stands (stray, doubled, out of
// order) is skipped and reported, and reading goes on to the block's end tag or to the start of
// a later block; a block whose header line is missing starts at its first element. So a damaged
// line costs only the element it belongs to. Every such problem is kept by the reader and handed
// to the caller with the load (IO_LastLoad().StructuralTexts), besides the error log. Handles,
// counts and indices are checked before anything is sized or looked up by them. Whatever the file
// holds, the document comes out consistent: at least one paragraph, a caret on a valid position,
// anchors and anchored lists in step.

#include "vl_Document.h"

#include "vl09_XmlIn.h"
#include "vl09_XmlOut.h"
#include "vlClock.h"
#include "vlGlobals.h"
#include "vlGuard.h"
#include "vlNumberForms.h"
#include "vlPrompts.h"
#include "vlSaveTarget.h"
#include "vldGraphic.h"
#include "vldSketch.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>

#include <algorithm>
#include <iterator>
#include <memory>

namespace {

constexpr int FileVersion = 2;
constexpr int NoAnchor = -2;
constexpr float DefaultSketchWidth = 100;
constexpr float DefaultSketchHeight = 75;
constexpr float DefaultStrokeWidth = 3;

QString Generator() { return QStringLiteral("Vellomar\u00AE Software for Taking Notes"); }

// Problems are collected one per line.
void AddProblem(QString &All, const QString &One) {
  if (One.isEmpty()) return;
  if (!All.isEmpty()) All += QLatin1Char('\n');
  All += One;
}

// Moves to the block whose header is Header: true at the header, or at the block's first element
// (one of Elements) when its header line is missing, which the block's loader reports as it
// starts there (LoadBlockHeader). False, with a report, when the block is not there: at one of
// StopAt, at the end of the tab's block, or past an empty block whose header is missing (at its
// EndTag). Any other line on the way is skipped and reported.
bool FindBlock(TvlXmlIn &In, TvlXmlTags Header, std::initializer_list<TvlXmlTags> Elements,
               TvlXmlTags EndTag, std::initializer_list<TvlXmlTags> StopAt) {
  const auto isIn = [](TvlXmlTags Tag, std::initializer_list<TvlXmlTags> Tags) {
    return std::find(Tags.begin(), Tags.end(), Tag) != Tags.end();
  };
  for (;;) {
    const TvlXmlTags tag = In.CurrentTag();
    if (tag == Header || isIn(tag, Elements)) return true;
    if (tag == EndTag) {
      const std::string_view text = TagText(Header);
      In.ReportProblem(QStringLiteral("The ") +
                       QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size())) +
                       QStringLiteral(" line of an empty block is missing: ") + In.TraceLine());
      In.NextRecognizedTag();
      return false;
    }
    if (EndsNotesBlock(tag) || isIn(tag, StopAt)) {
      In.WarnIfCurrentTagIsNot(Header);
      return false;
    }
    In.SkipLine(QStringLiteral("A line out of place, skipped"));
  }
}

// At a block found by FindBlock: past its header, or, when the header line is missing, at the
// first element with a report.
void LoadBlockHeader(TvlXmlIn &In, TvlXmlTags Header) {
  if (In.CurrentTag() == Header) {
    In.NextRecognizedTag();
    return;
  }
  const std::string_view text = TagText(Header);
  In.ReportProblem(QStringLiteral("The ") +
                   QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size())) +
                   QStringLiteral(" line is missing; the block starts at ") + In.TraceLine());
}

// As TvlXmlIn::Next_SearchForBefore, for the single lines at the top of the block (NotesDoc,
// CaretPos, ScrollPos): a recognised line passed on the way is reported as skipped.
// The search stops, unsuccessful, at the first line of the body (or at ScrollPos when
// StopAtScrollPos: in a binder's tab the caret line comes before it).
bool SeekLine(TvlXmlIn &In, TvlXmlTags Tag, bool StopAtScrollPos = false) {
  static constexpr TvlXmlTags BodyTags[] = {
      xtSectionsBegin, xtFontsBegin, xtInsetsBegin,  xtParagraphBegin_, xtInsetAnchor_, xtPWhen_,
      xtText_,         xtWhen_,      xtParagraphEnd, xtFont_,           xtInsetBegin_};
  for (;;) {
    const TvlXmlTags tag = In.CurrentTag();
    if (tag == Tag) return true;
    if (EndsNotesBlock(tag) || (StopAtScrollPos && tag == xtScrollPos_) ||
        std::find(std::begin(BodyTags), std::end(BodyTags), tag) != std::end(BodyTags))
      return false;
    In.SkipLine(QStringLiteral("A line out of place, skipped"));
  }
}

// After the last block: lines before the block's end (a doubled end tag, a stray line) are
// skipped and reported.
void SkipToEndOfBlock(TvlXmlIn &In) {
  while (!EndsNotesBlock(In.CurrentTag()))
    In.SkipLine(QStringLiteral("A line after the last block, skipped"));
}

// ---- Point lists -----------------------------------------------------------------------------

// X "," Y, then "," pressure only when the pressure is not 1, then ";". The pressure is left out
// when its written form is "1", so that a value that merely rounds to 1 reads back as the 1 that
// a second save leaves out as well.
void AppendPointList(QByteArray &Out, const std::vector<TPenPoint> &Points) {
  QByteArray pressure;
  for (const TPenPoint &p : Points) {
    AppendCompactSingle(Out, p.X);
    Out.append(',');
    AppendCompactSingle(Out, p.Y);
    pressure.clear();
    AppendCompactSingle(pressure, p.Pressure);
    if (pressure != "1") {
      Out.append(',');
      Out.append(pressure);
    }
    Out.append(';');
  }
}

// One number of a point list: an optional sign, digits and a decimal point. Text that is no
// number reads as 0, as does a value that is not finite.
float ReadPointNumber(QByteArrayView Text, qsizetype &At) {
  const qsizetype start = At;
  if (At < Text.size() && (Text[At] == '-' || Text[At] == '+')) ++At;
  while (At < Text.size() && ((Text[At] >= '0' && Text[At] <= '9') || Text[At] == '.')) ++At;
  float value = 0;
  if (At > start && !ParseSingle(Text.sliced(start, At - start), value)) value = 0;
  return value;
}

// Up to Count points from the text. Points come only from text that is there: a count larger
// than the list yields the points present, never points made up at the origin. Every point
// consumes at least one character, so a damaged list cannot make more points than it has
// characters.
void ReadPointList(QByteArrayView Text, int Count, std::vector<TPenPoint> &Points) {
  Points.clear();
  qsizetype at = 0;
  while (static_cast<int>(Points.size()) < Count && at < Text.size()) {
    TPenPoint p;
    p.X = ReadPointNumber(Text, at);
    if (at < Text.size()) ++at;  // the separator
    p.Y = ReadPointNumber(Text, at);
    if (at < Text.size() && Text[at] == ',') {
      ++at;
      p.Pressure = ReadPointNumber(Text, at);
    }
    if (at < Text.size()) ++at;  // the ";"
    Points.push_back(p);
  }
}

// ---- Strokes and sketches --------------------------------------------------------------------

void SaveSketch(TvlXmlOut &Out, const TSketch &Sketch) {
  Out.Insert_TagOpenForAttributes(xtSketchBegin_);
  Out.Insert_Attribute("Width", Sketch.FSketchWidth);
  Out.Insert_Attribute("Height", Sketch.FSketchHeight);
  Out.Insert_Attribute("Strokes", Sketch.PenStrokeCount());
  Out.Insert_TagClose_NoMoreAttributes();
  QByteArray points;
  for (const auto &stroke : Sketch.PenStrokes) {
    Out.Insert_TagOpenForAttributes(xtStrokeBegin_);
    Out.Insert_Attribute("Tool", QStringView(KindOfToolName(stroke->Tool)));
    Out.Insert_AttributeC("Color", stroke->Color);
    Out.Insert_AttributeC("Fill", stroke->Fill);
    Out.Insert_Attribute("Width", stroke->Width);
    Out.Insert_Attribute("N", stroke->PenPoint_Count());
    points.clear();
    AppendPointList(points, stroke->Points);
    Out.Insert_Attribute("XYPData", QStringView(QString::fromLatin1(points)));
    Out.Insert_TagClose_NoMoreAttributes();
  }
  Out.Insert_TagWithoutAttributes(xtSketchEnd);
}

QString LoadStroke(TvlXmlIn &In, TPenStroke &Stroke) {
  QString tool;
  Stroke.Tool = ktLineFreehand;
  if (In.Get("Tool", tool) && !KindOfToolFromName(tool, Stroke.Tool)) Stroke.Tool = ktLineFreehand;
  if (!In.GetC("Color", Stroke.Color)) Stroke.Color = clBlack;
  if (!In.GetC("Fill", Stroke.Fill)) Stroke.Fill = clWhite;
  if (!In.Get("Width", Stroke.Width)) Stroke.Width = DefaultStrokeWidth;
  int count = 0;
  if (!In.Get("N", count)) count = 0;
  count = std::clamp(count, 0, TSketch::MaxPointsPerStroke);
  QByteArrayView list;
  if (!In.GetRaw("XYPData", list)) list = QByteArrayView();
  ReadPointList(list, count, Stroke.Points);
  if (Stroke.PenPoint_Count() < count)
    return QStringLiteral("Stroke with %1 of its %2 points: ")
               .arg(Stroke.PenPoint_Count())
               .arg(count) +
           In.TraceLine();
  return {};
}

// At a Sketch line (or at the first Stroke line of a sketch whose Sketch line is missing): the
// sketch with its strokes, and past "</Sketch>". Lines it cannot use are skipped and reported;
// it stops at the end of its picture or inset even without "</Sketch>". Every Stroke line present
// is read (up to the most a sketch may hold), whatever Strokes declares: a count that is too large
// must not make the loader take the lines after the sketch for strokes, and one that is too
// small must not drop strokes that are there.
QString LoadSketch(TvlXmlIn &In, TSketch &Sketch) {
  QString problems;
  Sketch.Clear();
  const bool headed = In.CurrentTag() == xtSketchBegin_;
  if (!headed)
    In.ReportProblem(QStringLiteral("The Sketch line is missing; the strokes start at ") +
                     In.TraceLine());
  if (!headed || !In.Get("Width", Sketch.FSketchWidth)) Sketch.FSketchWidth = DefaultSketchWidth;
  if (!headed || !In.Get("Height", Sketch.FSketchHeight))
    Sketch.FSketchHeight = DefaultSketchHeight;
  int declared = 0;
  if (!headed || !In.Get("Strokes", declared)) declared = 0;
  declared = std::clamp(declared, 0, TSketch::MaxStrokes);
  // The sketch starts at its first Stroke line when its Sketch line is missing.
  if (In.CurrentTag() == xtSketchBegin_) In.NextRecognizedTag();
  int skipped = 0;
  bool closed = false;
  for (;;) {
    const TvlXmlTags tag = In.CurrentTag();
    if (tag == xtStrokeBegin_) {
      if (Sketch.PenStrokeCount() < TSketch::MaxStrokes)
        AddProblem(problems, LoadStroke(In, Sketch.PenStroke_Append()));
      else
        ++skipped;
      In.NextRecognizedTag();
      continue;
    }
    if (tag == xtSketchEnd) {
      closed = true;
      In.NextRecognizedTag();
      break;
    }
    if (tag == xtGraphicEnd || tag == xtInsetEnd || tag == xtInsetBegin_ || tag == xtInsetsEnd ||
        EndsNotesBlock(tag))
      break;
    In.SkipLine(QStringLiteral("A line out of place in a sketch, skipped"));
  }
  if (headed && Sketch.PenStrokeCount() + skipped != declared)
    AddProblem(problems, QStringLiteral("Sketch declares %1 strokes and holds %2")
                             .arg(declared)
                             .arg(Sketch.PenStrokeCount() + skipped));
  if (skipped > 0)
    AddProblem(problems, QStringLiteral("Sketch strokes beyond %1 not loaded: %2")
                             .arg(TSketch::MaxStrokes)
                             .arg(skipped));
  if (!closed) In.WarnIfCurrentTagIsNot(xtSketchEnd);
  return problems;
}

// ---- Pictures --------------------------------------------------------------------------------

// Pictures are referenced by path. A notes file brought from another machine (a Windows path, a
// moved folder) names a place that does not exist here; the picture is then looked for under its
// own name beside the notes file. The reference is kept as stored either way, so that saving
// gives it back unchanged.
void LoadPicture(TvlGraphic &Graphic, const QString &Path, const QString &NotesPath) {
  // A path with a NUL in it names no file; it is kept, but not handed to the file system.
  if (Path.contains(QChar(0))) {
    Graphic.JpegPathName = Path;
    Graphic.PictureProblem = QStringLiteral("No such picture file");
    return;
  }
  QString readFrom = Path;
  if (!QFileInfo::exists(Path) && !NotesPath.isEmpty()) {
    QString name = Path;
    name.replace(QLatin1Char('\\'), QLatin1Char('/'));
    name = name.section(QLatin1Char('/'), -1);
    if (!name.isEmpty()) {
      const QString beside = QFileInfo(NotesPath).absoluteDir().filePath(name);
      if (QFileInfo::exists(beside)) readFrom = beside;
    }
  }
  Graphic.JPeg_LoadFromFile(readFrom);
  Graphic.JpegPathName = Path;
}

}  // namespace

// ---- Writing ---------------------------------------------------------------------------------

bool TDocument::IO_Save(const QString &PathName, const QString &TabTitle, int VertScrollbar) {
  TvlXmlOut out;
  return IO_Save(out, PathName, TabTitle, VertScrollbar);
}

bool TDocument::IO_Save(TvlXmlOut &Out, const QString &PathName, const QString &TabTitle,
                        int VertScrollbar) {
  if (!Out.File_OpenForRewritingOrDoErrorDialogs(PathName)) return false;
  Out.Insert_TagOpenForAttributes(xtNotesDocBegin_);
  Out.Insert_Attribute("Version", FileVersion);
  Out.Insert_AttributeE("Generator", Generator());
  Out.Insert_AttributeE("TabTitle", TabTitle);
  Out.Insert_Attribute("WhenSaved", QStringView(TimeStampFull(Now())));
  Out.Insert_TagClose_NoMoreAttributes();
  IO_SaveCaret(Out);
  Out.Insert_TagOpenForAttributes(xtScrollPos_);
  Out.Insert_Attribute("VSB", VertScrollbar);
  Out.Insert_TagClose_NoMoreAttributes();
  IO_SaveBody(Out);
  Out.Insert_TagWithoutAttributes(xtNotesDocEnd);
  // The document counts as saved only once the file has replaced the old one.
  if (!Out.File_Close()) {
    TraceWrite(QStringLiteral("Tab not saved to ") + PathName + QStringLiteral(": ") +
               Out.ErrorString());
    return false;
  }
  ChangeCount_Clear();
  return true;
}

QByteArray TDocument::IO_SaveToBytes(const QString &TabTitle) const {
  auto target = std::make_unique<TvlMemoryTarget>();
  const TvlMemoryTarget *memory = target.get();
  TvlXmlOut out(std::move(target));
  if (!out.File_OpenForRewritingOrDoErrorDialogs(QStringLiteral("memory"))) return QByteArray();
  out.Insert_TagOpenForAttributes(xtNotesDocBegin_);
  out.Insert_Attribute("Version", FileVersion);
  out.Insert_AttributeE("Generator", Generator());
  out.Insert_AttributeE("TabTitle", TabTitle);
  out.Insert_TagClose_NoMoreAttributes();
  IO_SaveCaret(out);
  IO_SaveBody(out);
  out.Insert_TagWithoutAttributes(xtNotesDocEnd);
  if (!out.File_Close()) return QByteArray();
  return memory->Bytes();
}

bool TDocument::IO_SaveEmbedded(TvlXmlOut &Out) const {
  IO_SaveCaret(Out);
  IO_SaveBody(Out);
  return true;
}

void TDocument::IO_SaveCaret(TvlXmlOut &Out) const {
  Out.Insert_TagOpenForAttributes(xtCaretPos_);
  Out.Insert_Attribute("SN", static_cast<int>(FAtPos.SN));
  Out.Insert_Attribute("GN", static_cast<int>(FAtPos.FGN));
  Out.Insert_Attribute("EOL", FAtPos.EOL);
  Out.Insert_TagClose_NoMoreAttributes();
}

void TDocument::IO_SaveBody(TvlXmlOut &Out) const {
  Out.Insert_TagWithoutAttributes(xtSectionsBegin);
  // The ID is the section number, which is what anchors and the caret count in.
  for (int sn = 0; sn <= Section_High(); ++sn)
    if (const TParagraph *p = Paragraph_FromSectionNum(sn)) p->IO_Save(Out, sn);
  Out.Insert_TagWithoutAttributes(xtSectionsEnd);
  FontsInUse.IO_Save(Out);
  IO_SaveInsets(Out);
}

void TDocument::IO_SaveInsets(TvlXmlOut &Out) const {
  Out.Insert_TagWithoutAttributes(xtInsetsBegin);
  for (TInsetHandle h = InsetsStorage.Low(); h <= InsetsStorage.High(); ++h) {
    const TInset *inset = InsetsStorage.GetInset(h);
    if (!inset) continue;
    const auto *graphic = dynamic_cast<const TvlGraphic *>(inset);
    int anchor = inset->FAnchor ? Paragraph_GetSectionNumOf(inset->FAnchor) : NoAnchor;
    if (anchor < 0) anchor = NoAnchor;
    Out.Insert_TagOpenForAttributes(xtInsetBegin_);
    Out.Insert_Attribute("Handle", static_cast<int>(h));
    Out.Insert_Attribute("Type", graphic ? QStringView(u"G") : QStringView());
    Out.Insert_Attribute("Anchor", anchor);
    Out.Insert_TagClose_NoMoreAttributes();

    const TInsetPositioning &place = inset->EditorsData;
    Out.Insert_TagOpenForAttributes(xtDimensions_);
    Out.Insert_Attribute("vLeft", static_cast<int>(place.FvLeft));
    Out.Insert_Attribute("vTop", static_cast<long long>(place.FvTop));
    Out.Insert_Attribute("Width", static_cast<int>(place.FPixelWidth));
    Out.Insert_Attribute("Height", static_cast<int>(place.FPixelHeight));
    Out.Insert_TagClose_NoMoreAttributes();

    if (graphic) {
      Out.Insert_TagOpenForAttributes(xtGraphicBegin_);
      Out.Insert_Attribute("ZOrder", graphic->FZOrder);
      if (!graphic->JpegPathName.trimmed().isEmpty())
        Out.Insert_AttributeE("Path", graphic->JpegPathName);
      Out.Insert_TagClose_NoMoreAttributes();
      if (graphic->Sketch.PenStrokeCount() > 0) SaveSketch(Out, graphic->Sketch);
      Out.Insert_TagWithoutAttributes(xtGraphicEnd);
    }
    Out.Insert_TagWithoutAttributes(xtInsetEnd);
  }
  Out.Insert_TagWithoutAttributes(xtInsetsEnd);
}

// ---- Reading ---------------------------------------------------------------------------------

QString TDocument::RLoadReport::OpeningLabelText() const {
  return QString::asprintf("   Opening %7.3f", OpeningSeconds);
}

QString TDocument::RLoadReport::XRefLabelText() const {
  return QString::asprintf("   xRef %7.3f", XRefSeconds);
}

QString TDocument::IO_Load(const QString &PathName, QString &TabTitle, int &VertScrollbar) {
  QElapsedTimer started;
  started.start();
  IO_LoadBegin();
  TvlXmlIn in;
  QString openProblem;
  const bool opened = in.File_OpenOrDoErrorDialogs(PathName, openProblem);
  // A file that is missing or unreadable has had its message box already; what is left to show
  // is a refusal with its reason (a file of the earlier binary format).
  if (!opened && !openProblem.isEmpty()) Prompts().Message(openProblem, TPromptIcon::piWarning);
  if (!opened && openProblem.isEmpty())
    openProblem = in.ReadProblem().isEmpty()
                      ? QStringLiteral("This file can not be opened:  ") + PathName
                      : in.ReadProblem();
  return IO_LoadIsolated(in, opened, openProblem, TabTitle, VertScrollbar, started);
}

QString TDocument::IO_LoadFromBytes(const QByteArray &Bytes, const QString &Name, QString &TabTitle,
                                    int &VertScrollbar) {
  QElapsedTimer started;
  started.start();
  IO_LoadBegin();
  TvlXmlIn in;
  QString openProblem;
  const bool opened = in.Bytes_Open(Bytes, Name, openProblem);
  return IO_LoadIsolated(in, opened, openProblem, TabTitle, VertScrollbar, started);
}

QString TDocument::IO_LoadEmbedded(TvlXmlIn &In) {
  QElapsedTimer started;
  started.start();
  IO_LoadBegin();
  FLastLoad.Opened = In.OpenedFile();
  QString problems;
  TCaretPos caret = Document_FirstCaretPos();
  const qsizetype firstProblem = In.ProblemCount();
  try {
    if (SeekLine(In, xtCaretPos_)) {
      // Here the three go together: a line that lacks one of them is not trusted for the others.
      int sn = 0, gn = 1;
      bool eol = false;
      if (In.Get("SN", sn) && In.Get("GN", gn) && In.Get("EOL", eol))
        caret = TCaretPos{sn, gn, eol};
      In.NextRecognizedTag();
    } else {
      In.ReportProblem(
          QStringLiteral("The CaretPos line is missing; the caret starts at the "
                         "top"));
    }
    AddProblem(problems, IO_LoadBody(In));
    SkipToEndOfBlock(In);
    FLastLoad.Complete = In.CurrentTag() == xtDocTabEnd;
  } catch (const ReportedError &e) {
    // Only in DebugMode: a strict-tag report interrupts. The document is still made whole below.
    AddProblem(problems, QStringLiteral("Loading stopped: ") + e.Msg());
    try {
      ShowReportedError(e);
    } catch (...) {
    }
  }
  FLastLoad.StructuralTexts = In.ProblemsSince(firstProblem);
  AddProblem(problems, IO_LoadEnd(caret, started));
  return problems;
}

void TDocument::IO_LoadBegin() {
  FLastLoad = RLoadReport{};
  FReportsBeforeLoad = ErrorLog().ReportCount();
  FGraphic_Merge = nullptr;
  // A fresh fonts table first, so that the fresh paragraph's end of line has the new document's
  // font.
  ClearOther();
  ClearSections();
}

QString TDocument::IO_LoadIsolated(TvlXmlIn &In, bool Opened, const QString &OpenProblem,
                                   QString &TabTitle, int &VertScrollbar,
                                   const QElapsedTimer &Started) {
  TabTitle = QStringLiteral("(Untitled)");
  VertScrollbar = 0;
  QString problems;
  TCaretPos caret = Document_FirstCaretPos();
  FLastLoad.Opened = Opened;
  const qsizetype firstProblem = In.ProblemCount();
  if (!Opened) {
    AddProblem(problems, OpenProblem);
  } else {
    try {
      if (In.Next_SearchForBefore(xtNotesDocBegin_,
                                  {xtCaretPos_, xtScrollPos_, xtSectionsBegin, xtFontsBegin,
                                   xtInsetsBegin, xtNotesDocEnd, xtBoundNotesBegin_, xtDocTabBegin_,
                                   xtDocTabEnd, xtOtherEventsBegin, xtBoundNotesEnd})) {
        FLastLoad.IsNotesDoc = true;
        QString title;
        if (In.GetE("TabTitle", title)) TabTitle = title;
        In.NextRecognizedTag();
        while (In.CurrentTag() == xtNotesDocBegin_)
          In.SkipLine(QStringLiteral("A second NotesDoc line, skipped"));
      } else {
        AddProblem(problems, QStringLiteral("Not an isolated tab file: it has no NotesDoc line"));
      }
      // Each attribute has its own default here.
      if (SeekLine(In, xtCaretPos_, true)) {
        int sn = 0, gn = 1;
        bool eol = false;
        if (!In.Get("SN", sn)) sn = 0;
        if (!In.Get("GN", gn)) gn = 1;
        if (!In.Get("EOL", eol)) eol = false;
        caret = TCaretPos{sn, gn, eol};
        In.NextRecognizedTag();
      } else {
        In.ReportProblem(
            QStringLiteral("The CaretPos line is missing; the caret starts at the "
                           "top"));
      }
      if (SeekLine(In, xtScrollPos_)) {
        int vsb = 0;
        if (In.Get("VSB", vsb)) VertScrollbar = vsb;
        In.NextRecognizedTag();
      } else {
        In.ReportProblem(
            QStringLiteral("The ScrollPos line is missing; the view starts at the "
                           "top"));
      }
      AddProblem(problems, IO_LoadBody(In));
      SkipToEndOfBlock(In);
      if (In.CurrentTag() != xtNotesDocEnd) {
        In.WarnIfCurrentTagIsNot(xtNotesDocEnd);
        In.Next_SearchFor(xtNotesDocEnd);
      }
      FLastLoad.Complete = In.CurrentTag() == xtNotesDocEnd;
      if (FLastLoad.Complete) {
        In.NextRecognizedTag();
        if (!In.EndOfFile())
          In.ReportProblem(QStringLiteral("Lines after </NotesDoc> were not read, from ") +
                           In.TraceLine());
      }
    } catch (const ReportedError &e) {
      AddProblem(problems, QStringLiteral("Loading stopped: ") + e.Msg());
      try {
        ShowReportedError(e);
      } catch (...) {
      }
    }
    AddProblem(problems, In.ReadProblem());
    FLastLoad.StructuralTexts = In.ProblemsSince(firstProblem);
    if (!FLastLoad.Complete)
      AddProblem(problems,
                 QStringLiteral("The file appears incomplete: its closing </NotesDoc> is missing"));
  }
  AddProblem(problems, IO_LoadEnd(caret, Started));
  return problems;
}

QString TDocument::IO_LoadBody(TvlXmlIn &In) {
  QString problems;
  if (FindBlock(In, xtSectionsBegin, {xtParagraphBegin_, xtInsetAnchor_, xtPWhen_, xtText_},
                xtSectionsEnd, {xtFontsBegin, xtInsetsBegin}))
    AddProblem(problems, IO_LoadSections(In));
  if (FindBlock(In, xtFontsBegin, {xtFont_}, xtFontsEnd, {xtInsetsBegin}))
    AddProblem(problems, FontsInUse.IO_Load(In));
  if (FindBlock(In, xtInsetsBegin, {xtInsetBegin_}, xtInsetsEnd, {}))
    AddProblem(problems, IO_LoadInsets(In));

  // A font the text uses that the table lacks: its Font line was lost. The slot gets the
  // default font, so that the text keeps its runs and the next save is whole.
  std::vector<TFontIndex> missing;
  const auto check = [&](TFontIndex F) {
    if (F >= 0 && !FontsInUse.FontExists(F) &&
        std::find(missing.begin(), missing.end(), F) == missing.end())
      missing.push_back(F);
  };
  for (int sn = 0; sn <= Section_High(); ++sn)
    if (const TParagraph *p = Paragraph_FromSectionNum(sn)) {
      for (TFontIndex f : p->Fonts()) check(f);
      check(p->FNLFont);
    }
  if (!missing.empty()) {
    std::sort(missing.begin(), missing.end());
    QString list;
    for (TFontIndex f : missing) {
      list += (list.isEmpty() ? QString() : QStringLiteral(", ")) + QString::number(f);
      AddProblem(problems, FontsInUse.IO_Load_ForceFont(
                               f, FontsInUse.DefaultName, FontsInUse.DefaultRotation,
                               FontsInUse.DefaultSize, FontsInUse.DefaultColor,
                               FontsInUse.DefaultHighlight, FontsInUse.DefaultStyle));
    }
    In.ReportProblem(QStringLiteral("FontIndex not found: the text uses fonts the <Fonts> block "
                                    "does not hold, given the default font: ") +
                     list);
  }
  return problems;
}

QString TDocument::IO_LoadSections(TvlXmlIn &In) {
  QString problems;
  LoadBlockHeader(In, xtSectionsBegin);
  bool first = true;
  bool fontless = false;
  // Anchor lines met outside a paragraph: the first lines of one whose P line is missing, or
  // strays. They go to the next paragraph; the insets block decides where an inset belongs, and
  // a listing that disagrees with it is dropped at the end.
  std::vector<int> loose;
  for (;;) {
    const TvlXmlTags tag = In.CurrentTag();
    if (tag == xtSectionsEnd) {
      In.NextRecognizedTag();
      break;
    }
    if (tag == xtFontsBegin || tag == xtInsetsBegin || EndsNotesBlock(tag)) {
      In.WarnIfCurrentTagIsNot(xtSectionsEnd);
      break;
    }
    if (tag == xtInsetAnchor_) {
      int x = 0;
      if (In.Get("x", x) && x >= 0) loose.push_back(x);
      In.SkipLine(QStringLiteral("An Anchor line outside its paragraph, given to the next one"));
      continue;
    }
    if (tag != xtParagraphBegin_ && tag != xtPWhen_ && tag != xtText_) {
      // A stray, doubled or left-over line costs only itself: the paragraphs after it still load.
      In.SkipLine(QStringLiteral("A line out of place in <Sections>, skipped"));
      continue;
    }
    TParagraph &p = first ? *Paragraph_FromSectionNum(0) : Paragraph_Append();
    first = false;
    AddProblem(problems, p.IO_Load(In));
    for (const int h : loose) TInsetsStorage::ListFromFile(p, h);
    loose.clear();
    // Text before any font switch, or after a switch to a number no font can have, has no
    // font; it gets the first slot, which always names a font.
    const auto &fonts = p.Fonts();
    if (std::any_of(fonts.begin(), fonts.end(), [](TFontIndex F) { return F < 0; })) {
      fontless = true;
      for (int i = 1; i <= p.High(); ++i)
        if (p.Char_GetFont(i) < 0) p.Char_SetFont(i, 0);
    }
    if (p.FNLFont < 0) {
      fontless = true;
      p.FNLFont = 0;
    }
  }
  if (fontless)
    AddProblem(problems, QStringLiteral("FontIndex not found: text without a valid font switch "
                                        "was given font 0"));
  return problems;
}

QString TDocument::IO_LoadInsets(TvlXmlIn &In) {
  QString problems;
  LoadBlockHeader(In, xtInsetsBegin);
  for (;;) {
    const TvlXmlTags tag = In.CurrentTag();
    if (tag == xtInsetsEnd) {
      In.NextRecognizedTag();
      break;
    }
    if (EndsNotesBlock(tag)) {
      In.WarnIfCurrentTagIsNot(xtInsetsEnd);
      break;
    }
    if (tag == xtInsetBegin_) {
      AddProblem(problems, IO_LoadOneInset(In));
      continue;
    }
    // The rest of an inset whose Inset line is missing: without its handle it cannot be kept.
    In.SkipLine(QStringLiteral("A line out of place in <Insets>, skipped"));
  }
  return problems;
}

QString TDocument::IO_LoadOneInset(TvlXmlIn &In) {
  QString problems;
  int handle = 0;
  QString type, anchorText;
  const bool haveHandle = In.Get("Handle", handle);
  const bool haveType = In.Get("Type", type);
  const bool haveAnchor = In.Get("Anchor", anchorText);
  if (!haveHandle || !haveType || !haveAnchor)
    In.ReportProblemInDebug(QStringLiteral("Read error for Inset:  ") + In.TraceLine());
  const QString insetLine = In.TraceLine();
  In.NextRecognizedTag();

  // The lines of one inset in their order; a line that comes again or out of order is skipped
  // and reported, so that a doubled or missing line costs only itself.
  enum TStage { isHead, isDimensions, isGraphicLine, isSketch, isGraphicEnd };
  TStage stage = isHead;
  TInsetPositioning place;
  bool havePlace = false;
  bool dimensionsLine = false;
  bool graphicLine = false;
  int z = 0;
  QString path;
  TSketch sketch;
  bool haveSketch = false;
  bool closed = false;
  for (;;) {
    const TvlXmlTags tag = In.CurrentTag();
    if (tag == xtInsetEnd) {
      closed = true;
      In.NextRecognizedTag();
      break;
    }
    if (tag == xtInsetBegin_ && stage == isHead) {
      In.SkipLine(QStringLiteral("A second Inset line, skipped"));
      continue;
    }
    if (tag == xtInsetBegin_ || tag == xtInsetsEnd || EndsNotesBlock(tag)) break;
    if (tag == xtDimensions_ && stage == isHead) {
      int left = 0, width = 0, height = 0;
      long long top = 0;
      havePlace = In.Get("vLeft", left) && In.Get("vTop", top) && In.Get("Width", width) &&
                  In.Get("Height", height);
      if (havePlace) {
        place.FvLeft = left;
        place.FvTop = top;
        place.FPixelWidth = width;
        place.FPixelHeight = height;
      } else {
        In.ReportProblemInDebug(QStringLiteral("Read error for Dimensions:  ") + In.TraceLine());
      }
      stage = isDimensions;
      dimensionsLine = true;
      In.NextRecognizedTag();
      continue;
    }
    if (tag == xtGraphicBegin_ && stage < isGraphicLine) {
      graphicLine = true;
      z = In.Get("ZOrder", z) ? z : 0;
      if (!In.GetE("Path", path)) path.clear();
      stage = isGraphicLine;
      In.NextRecognizedTag();
      continue;
    }
    // A sketch whose Sketch line is missing starts at its first stroke, right after the Graphic
    // line; a Stroke line anywhere else is a stray.
    if ((tag == xtSketchBegin_ && stage < isSketch) ||
        (tag == xtStrokeBegin_ && stage == isGraphicLine)) {
      AddProblem(problems, LoadSketch(In, sketch));
      haveSketch = true;
      stage = isSketch;
      continue;
    }
    if (tag == xtGraphicEnd && (stage == isGraphicLine || stage == isSketch)) {
      stage = isGraphicEnd;
      In.NextRecognizedTag();
      continue;
    }
    In.SkipLine(QStringLiteral("A line out of place in an inset, skipped"));
  }
  if (!closed) In.WarnIfCurrentTagIsNot(xtInsetEnd);
  if (!dimensionsLine)
    In.ReportProblem(QStringLiteral("An inset without its Dimensions line: ") + insetLine);

  // A line without its Type is still a picture when its Graphic element follows.
  const bool isGraphic = type == QLatin1String("G") || (!haveType && (graphicLine || haveSketch));
  std::unique_ptr<TInset> made;
  try {
    // A type other than a picture is kept as a plain inset, so that its place and anchor survive.
    made = isGraphic ? std::make_unique<TvlGraphic>() : std::make_unique<TInset>();
  } catch (const std::bad_alloc &) {
  }
  const bool taken = haveHandle && InsetsStorage.GetInset(handle) != nullptr;
  if (!haveHandle || !made || !InsetsStorage.PutInsetAt(handle, std::move(made))) {
    AddProblem(problems, QStringLiteral("Can't create Inset #") +
                             (haveHandle ? QString::number(handle) : QStringLiteral("?")));
    return problems;
  }
  if (taken)
    AddProblem(problems,
               QStringLiteral("Inset #%1 is given twice; the later one is kept").arg(handle));
  TInset *inset = InsetsStorage.GetInset(handle);
  if (havePlace) {
    inset->EditorsData.FvLeft = place.FvLeft;
    inset->EditorsData.FvTop = place.FvTop;
    inset->EditorsData.FPixelWidth = place.FPixelWidth;
    inset->EditorsData.FPixelHeight = place.FPixelHeight;
  }

  int anchor = NoAnchor;
  if (!ParseInt32(QStringView(anchorText), anchor)) anchor = NoAnchor;
  if (anchor != NoAnchor) {
    if (TParagraph *p = Paragraph_FromSectionNum(anchor))
      InsetsStorage.Anchor(handle, p);
    else
      AddProblem(problems,
                 QStringLiteral("Can't anchor inset: #%1 to paragraph %2").arg(handle).arg(anchor));
  }

  if (auto *graphic = dynamic_cast<TvlGraphic *>(inset)) {
    if (!graphicLine)
      In.ReportProblem(QStringLiteral("A picture without its Graphic line: ") + insetLine);
    graphic->FZOrder = z;
    if (!path.trimmed().isEmpty()) LoadPicture(*graphic, path, In.PathName());
    if (haveSketch) graphic->Sketch.MyAssign(sketch);
  } else if (graphicLine || haveSketch) {
    AddProblem(problems, QStringLiteral("A picture's lines in an inset that is not a picture "
                                        "were not used: ") +
                             insetLine);
  }
  return problems;
}

QString TDocument::IO_CheckAnchoredLists() {
  // Anchors and anchored lists must agree: a paragraph lists exactly the insets anchored to it.
  // A file can list a handle that names no inset, or one anchored elsewhere; such a listing
  // carries nothing and is dropped.
  QString dropped;
  for (int sn = 0; sn <= Section_High(); ++sn) {
    TParagraph *p = Paragraph_FromSectionNum(sn);
    if (!p) continue;
    const THandleList gone = InsetsStorage.DropUnbackedListings(*p);
    // Reported in the paragraph's order; the storage answers them from last to first.
    for (int i = gone.Count(); i >= 1; --i) {
      if (!dropped.isEmpty()) dropped += QStringLiteral(", ");
      dropped += QStringLiteral("#%1 in paragraph %2").arg(gone.GetHandle(i)).arg(sn);
    }
  }
  return dropped.isEmpty() ? QString() : QStringLiteral("Can't anchor inset: ") + dropped;
}

QString TDocument::IO_LoadEnd(const TCaretPos &Caret, const QElapsedTimer &Started) {
  QString problems = IO_CheckAnchoredLists();
  if (Paragraph_MakeSureThereIsOne()) Prompts().Message(QStringLiteral("Error reading file"));

  // The caret read from the file may name a place the document does not have.
  TCaretPos caret = ClampedPos(Caret);
  if (!IsValidCaretPosition_Silent(caret)) caret = Document_FirstCaretPos();
  if (caret.SN != Caret.SN || caret.FGN != Caret.FGN) caret.EOL = false;
  AtPos_NoSelectionSet(caret);

  // One notification for the whole document instead of one per paragraph. It is not an edit:
  // change counts stay out of it.
  const TCaretPos first = Document_FirstCaretPos(), last = Document_LastCaretPos();
  for (int h = FirstFormatterHandle; h <= LastFormatterHandle; ++h)
    if (NotifyList[static_cast<std::size_t>(h)])
      NotifyList[static_cast<std::size_t>(h)](first, first, last);
  for (auto &s : Sections) s->FChanged = true;
  ChangeCount_Clear();
  FLastLoad.OpeningSeconds = static_cast<double>(Started.nsecsElapsed()) / 1e9;

  QElapsedTimer xref;
  xref.start();
  for (int sn = 0; sn <= Section_High(); ++sn)
    if (const TParagraph *p = Paragraph_FromSectionNum(sn); p && p->High() > 0)
      p->DayFiles_RegisterSubstring(1, p->High());
  FLastLoad.XRefSeconds = static_cast<double>(xref.nsecsElapsed()) / 1e9;

  FLastLoad.StructuralProblems = ErrorLog().ReportCount() - FReportsBeforeLoad;
  if (FLastLoad.StructuralProblems > 0)
    AddProblem(problems, QStringLiteral("(%1 structural problems, see Errors.txt)")
                             .arg(FLastLoad.StructuralProblems));
  return problems;
}
