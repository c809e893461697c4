#include "vldJournal.h"

#include "vlClock.h"
#include "vlGlobals.h"
#include "vl_Document.h"

#include <QFile>
#include <QFileInfo>
#include <QTimer>

#include <fcntl.h>
#include <unistd.h>
#include <algorithm>
#include <array>
#include <cerrno>
#include <cmath>
#include <cstring>

// ---- CRC32 -----------------------------------------------------------------------------------

namespace {

constexpr std::array<std::uint32_t, 256> MakeCrcTable() {
  std::array<std::uint32_t, 256> t{};
  for (std::uint32_t i = 0; i < 256; ++i) {
    std::uint32_t c = i;
    for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
    t[i] = c;
  }
  return t;
}
constexpr std::array<std::uint32_t, 256> CrcTable = MakeCrcTable();

constexpr char Magic[] = "VLJOURN1";
constexpr qsizetype MagicSize = 8;
constexpr qsizetype PrefixSize = 12;
// No record comes near this; a larger length is damage, never an allocation.
constexpr std::uint32_t MaxPayload = 256u * 1024 * 1024;

}  // namespace

std::uint32_t Crc32(const char *Data, qsizetype Size, std::uint32_t Crc) {
  std::uint32_t c = ~Crc;
  for (qsizetype i = 0; i < Size; ++i)
    c = CrcTable[(c ^ static_cast<std::uint8_t>(Data[i])) & 0xFF] ^ (c >> 8);
  return ~c;
}

std::uint32_t Crc32(const QByteArray &Bytes) { return Crc32(Bytes.constData(), Bytes.size()); }

RJournalBase RJournalBase::OfBytes(const QString &PathName, const QByteArray &Bytes) {
  RJournalBase b;
  b.IsFile = true;
  b.PathName = PathName;
  b.Size = Bytes.size();
  b.Crc = Crc32(Bytes);
  return b;
}

// ---- Little-endian fields --------------------------------------------------------------------

namespace {

class TPut {
 public:
  explicit TPut(QByteArray &Out) : FOut(Out) {}
  void U8(std::uint8_t V) { FOut.append(static_cast<char>(V)); }
  void U32(std::uint32_t V) {
    char b[4];
    for (int i = 0; i < 4; ++i) b[i] = static_cast<char>((V >> (8 * i)) & 0xFF);
    FOut.append(b, 4);
  }
  void I32(std::int32_t V) { U32(static_cast<std::uint32_t>(V)); }
  void I16(std::int16_t V) {
    const auto u = static_cast<std::uint16_t>(V);
    U8(static_cast<std::uint8_t>(u & 0xFF));
    U8(static_cast<std::uint8_t>(u >> 8));
  }
  void I64(std::int64_t V) {
    const auto u = static_cast<std::uint64_t>(V);
    U32(static_cast<std::uint32_t>(u & 0xFFFFFFFFu));
    U32(static_cast<std::uint32_t>(u >> 32));
  }
  void F64(double V) {
    std::uint64_t u = 0;
    std::memcpy(&u, &V, 8);
    I64(static_cast<std::int64_t>(u));
  }
  void Str(QStringView S) {
    U32(static_cast<std::uint32_t>(S.size()));
    for (QChar c : S) I16(static_cast<std::int16_t>(c.unicode()));
  }
  void Bytes(const QByteArray &B) {
    U32(static_cast<std::uint32_t>(B.size()));
    FOut.append(B);
  }
  void Moment(const RvlTimestamp &T) {
    F64(T.FEffectiveDT);
    F64(T.RealDT);
  }
  void Pos(const TCaretPos &P) {
    I32(P.SN);
    I32(P.FGN);
  }

 private:
  QByteArray &FOut;
};

// Reads fields; a read past the end sets Bad and answers zeros, so that a record whose checksum
// held but whose fields do not is still refused.
class TGet {
 public:
  TGet(const char *Data, qsizetype Size) : FData(Data), FSize(Size) {}
  bool Bad = false;
  bool AtEnd() const { return FPos == FSize; }
  std::uint8_t U8() { return Have(1) ? static_cast<std::uint8_t>(FData[FPos++]) : 0; }
  std::uint32_t U32() {
    if (!Have(4)) return 0;
    std::uint32_t v = 0;
    for (int i = 0; i < 4; ++i)
      v |= static_cast<std::uint32_t>(static_cast<std::uint8_t>(FData[FPos + i])) << (8 * i);
    FPos += 4;
    return v;
  }
  std::int32_t I32() { return static_cast<std::int32_t>(U32()); }
  std::int16_t I16() {
    if (!Have(2)) return 0;
    const auto v = static_cast<std::uint16_t>(static_cast<std::uint8_t>(FData[FPos]) |
                                              (static_cast<std::uint8_t>(FData[FPos + 1]) << 8));
    FPos += 2;
    return static_cast<std::int16_t>(v);
  }
  std::int64_t I64() {
    const std::uint64_t lo = U32(), hi = U32();
    return static_cast<std::int64_t>(lo | (hi << 32));
  }
  double F64() {
    const auto u = static_cast<std::uint64_t>(I64());
    double v = 0;
    std::memcpy(&v, &u, 8);
    return v;
  }
  QString Str() {
    const std::uint32_t n = U32();
    if (!Have(qsizetype{n} * 2)) return QString();
    QString s(static_cast<qsizetype>(n), Qt::Uninitialized);
    for (std::uint32_t i = 0; i < n; ++i) s[i] = QChar(static_cast<char16_t>(I16()));
    return s;
  }
  QByteArray Bytes() {
    const std::uint32_t n = U32();
    if (!Have(n)) return QByteArray();
    QByteArray b(FData + FPos, n);
    FPos += n;
    return b;
  }
  // A moment that is not a finite number is no moment the model can hold: the record is refused
  // (a document holding one could not be saved and read back as it was).
  RvlTimestamp Moment() {
    RvlTimestamp t;
    t.FEffectiveDT = F64();
    t.RealDT = F64();
    if (!std::isfinite(t.FEffectiveDT) || !std::isfinite(t.RealDT)) Bad = true;
    return t;
  }
  TCaretPos Pos() {
    TCaretPos p;
    p.SN = I32();
    p.FGN = I32();
    return p;
  }

 private:
  bool Have(qsizetype N) {
    if (N >= 0 && FSize - FPos >= N) return true;
    Bad = true;
    FPos = FSize;
    return false;
  }
  const char *FData;
  qsizetype FSize;
  qsizetype FPos = 0;
};

QByteArray Payload(TJournalKind Kind, TDateTime When) {
  QByteArray p;
  TPut put(p);
  put.U8(static_cast<std::uint8_t>(Kind));
  put.F64(When);
  return p;
}

void PutRich(TPut &Put, QStringView Chars, const TFontIndex *Fonts, const RvlTimestamp *Moments) {
  Put.Str(Chars);
  for (qsizetype i = 0; i < Chars.size(); ++i) Put.I16(Fonts[i]);
  for (qsizetype i = 0; i < Chars.size(); ++i) Put.Moment(Moments[i]);
}

bool KindHasText(TEditKind K) {
  return K == TEditKind::Insert || K == TEditKind::CharReplace || K == TEditKind::Sections;
}

}  // namespace

QByteArray Journal_Magic() { return QByteArray(Magic, MagicSize); }

QByteArray Journal_Frame(const QByteArray &Payload) {
  QByteArray out;
  out.reserve(PrefixSize + Payload.size());
  TPut put(out);
  const auto n = static_cast<std::uint32_t>(Payload.size());
  put.U32(n);
  put.U32(~n);
  put.U32(Crc32(Payload));
  out.append(Payload);
  return out;
}

// ---- Encoding ----------------------------------------------------------------------------------

QByteArray TJournalEncoder::Header(const RJournalBase &Base, TDateTime When) const {
  QByteArray p = Payload(TJournalKind::Header, When);
  TPut put(p);
  put.U8(Base.IsFile ? 1 : 0);
  put.Str(Base.PathName);
  put.I64(Base.Size);
  put.U32(Base.Crc);
  put.U32(static_cast<std::uint32_t>(Base.Tabs.size()));
  for (const QString &t : Base.Tabs) put.Str(t);
  return Journal_Frame(p);
}

void TJournalEncoder::ForgetDocument(const TDocument *Doc) {
  FDefined.erase(Doc);
  if (FRun.Doc == Doc) FRun.Active = false;
}

namespace {

RJournalFont FontOf(const TDocument &Doc, TFontIndex Font) {
  RJournalFont f;
  TFontStyles style;
  Doc.FontsInUse.GetFontDetails(Font, f.Name, f.Rotation, f.Size, f.Color, f.Highlight, style);
  f.Style = static_cast<int>(style.toInt());
  return f;
}

// The font was defined, and its slot still holds what it was defined as.
bool DefinedAsItIs(const std::map<TFontIndex, RJournalFont> &Defined, const TDocument &Doc,
                   TFontIndex Font) {
  const auto it = Defined.find(Font);
  if (it == Defined.end()) return false;
  const RJournalFont &d = it->second, f = FontOf(Doc, Font);
  return d.Name == f.Name && d.Rotation == f.Rotation && d.Size == f.Size && d.Color == f.Color &&
         d.Highlight == f.Highlight && d.Style == f.Style;
}

}  // namespace

void TJournalEncoder::DefineFont(QByteArray &Out, int TabIndex, const TDocument &Doc,
                                 TFontIndex Font, TDateTime When) {
  auto &defined = FDefined[&Doc];
  if (DefinedAsItIs(defined, Doc, Font)) return;
  const RJournalFont f = FontOf(Doc, Font);
  defined[Font] = f;
  QByteArray p = Payload(TJournalKind::FontDef, When);
  TPut put(p);
  put.I32(TabIndex);
  put.I16(Font);
  put.Str(f.Name);
  put.I32(f.Rotation);
  put.I32(f.Size);
  put.I32(f.Color);
  put.I32(f.Highlight);
  put.I32(f.Style);
  Out.append(Journal_Frame(p));
}

void TJournalEncoder::FlushRun(QByteArray &Out) {
  if (!FRun.Active) return;
  FRun.Active = false;
  QByteArray p = Payload(TJournalKind::Edit, FRun.When);
  TPut put(p);
  put.I32(FRun.Tab);
  put.U8(static_cast<std::uint8_t>(TEditKind::Insert));
  put.U8(static_cast<std::uint8_t>(FRun.Origin));
  put.Pos(FRun.At);
  put.Moment(RvlTimestamp{});
  put.Moment(RvlTimestamp{});
  put.I16(FRun.NewParagraphFont);
  PutRich(put, FRun.Chars, FRun.Fonts.data(), FRun.Moments.data());
  Out.append(Journal_Frame(p));
}

void TJournalEncoder::Edit(QByteArray &Out, int TabIndex, const TDocument &Doc,
                           const RDocumentEdit &E, TDateTime When) {
  const bool runnable = E.Kind == TEditKind::Insert && E.Origin == TEditOrigin::Typed && E.Text &&
                        E.Text->Length() == 1 && E.Text->Char_GetChar(1) != u'\n';
  if (runnable) {
    const TFontIndex font = E.Text->Char_GetFont(1);
    auto &defined = FDefined[&Doc];
    const bool joins = FRun.Active && FRun.Doc == &Doc && FRun.Tab == TabIndex &&
                       FRun.Next.SN == E.At.SN && FRun.Next.FGN == E.At.FGN &&
                       FRun.NewParagraphFont == E.Font && DefinedAsItIs(defined, Doc, font);
    if (joins) {
      FRun.Chars += E.Text->Char_GetChar(1);
      FRun.Fonts.push_back(font);
      FRun.Moments.push_back(E.Text->Timestamp_Get(1));
      FRun.Next.FGN += 1;
      FRun.When = When;
      return;
    }
    FlushRun(Out);
    DefineFont(Out, TabIndex, Doc, font, When);
    DefineFont(Out, TabIndex, Doc, E.Font, When);
    FRun.Active = true;
    FRun.Doc = &Doc;
    FRun.Tab = TabIndex;
    FRun.At = E.At;
    FRun.Next = TCaretPos{E.At.SN, E.At.FGN + 1, false};
    FRun.NewParagraphFont = E.Font;
    FRun.Origin = E.Origin;
    FRun.When = When;
    FRun.Chars = QString(E.Text->Char_GetChar(1));
    FRun.Fonts.assign(1, font);
    FRun.Moments.assign(1, E.Text->Timestamp_Get(1));
    return;
  }
  FlushRun(Out);
  if (E.Kind == TEditKind::Content) {
    // The content brings its own fonts table.
    FDefined.erase(&Doc);
  } else {
    if (KindHasText(E.Kind) && E.Text)
      for (TFontIndex f : E.Text->Fonts()) DefineFont(Out, TabIndex, Doc, f, When);
    if (KindHasText(E.Kind) || (E.Kind == TEditKind::FontChange && E.FontOp == TFontOp::Index))
      DefineFont(Out, TabIndex, Doc, E.Font, When);
  }
  QByteArray p = Payload(TJournalKind::Edit, When);
  TPut put(p);
  put.I32(TabIndex);
  put.U8(static_cast<std::uint8_t>(E.Kind));
  put.U8(static_cast<std::uint8_t>(E.Origin));
  put.Pos(E.At);
  switch (E.Kind) {
    case TEditKind::Insert:
    case TEditKind::CharReplace: {
      put.Moment(E.Moment);
      put.Moment(E.Moment2);
      put.I16(E.Font);
      const TRichString empty;
      const TRichString &t = E.Text ? *E.Text : empty;
      std::vector<RvlTimestamp> moments;
      moments.reserve(static_cast<std::size_t>(t.Length()));
      for (int i = 1; i <= t.High(); ++i) moments.push_back(t.Timestamp_Get(i));
      PutRich(put, t.Text(), t.Fonts().data(), moments.data());
      if (E.Kind == TEditKind::CharReplace) put.Str(E.Removed);
      break;
    }
    case TEditKind::CharDelete: put.Str(E.Removed); break;
    case TEditKind::CaretSpanDelete:
    case TEditKind::SubStrDelete:
      put.Pos(E.Stop);
      put.Str(E.Removed);
      break;
    case TEditKind::FontChange:
      put.Pos(E.Stop);
      put.U8(static_cast<std::uint8_t>(E.FontOp));
      put.I16(E.Font);
      put.U8(E.Flag ? 1 : 0);
      put.F64(E.Number);
      put.I32(E.Color);
      put.I32(E.Highlight);
      put.Str(E.Str);
      break;
    case TEditKind::Outline: {
      put.U8(static_cast<std::uint8_t>(E.Outline));
      put.Str(E.Str);
      // The prefix's moments, one per character of it.
      const int n = E.Text ? E.Text->High() : 0;
      put.U32(static_cast<std::uint32_t>(n));
      for (int i = 1; i <= n; ++i) put.Moment(E.Text->Timestamp_Get(i));
      break;
    }
    case TEditKind::CharMoment:
    case TEditKind::ParagraphMoment: put.Moment(E.Moment); break;
    case TEditKind::Content: put.Bytes(E.Bytes); break;
    case TEditKind::Sections: {
      put.Pos(E.Stop);
      const TRichString empty;
      const TRichString &t = E.Text ? *E.Text : empty;
      std::vector<RvlTimestamp> moments;
      moments.reserve(static_cast<std::size_t>(t.Length()));
      for (int i = 1; i <= t.High(); ++i) moments.push_back(t.Timestamp_Get(i));
      PutRich(put, t.Text(), t.Fonts().data(), moments.data());
      put.Str(E.Removed);
      put.Str(E.Str);
      break;
    }
  }
  Out.append(Journal_Frame(p));
}

void TJournalEncoder::TabAdded(QByteArray &Out, int Index, const QString &Title, TDateTime When) {
  FlushRun(Out);
  QByteArray p = Payload(TJournalKind::TabAdded, When);
  TPut put(p);
  put.I32(Index);
  put.Str(Title);
  Out.append(Journal_Frame(p));
}

void TJournalEncoder::TabRenamed(QByteArray &Out, int Index, const QString &Title, TDateTime When) {
  FlushRun(Out);
  QByteArray p = Payload(TJournalKind::TabRenamed, When);
  TPut put(p);
  put.I32(Index);
  put.Str(Title);
  Out.append(Journal_Frame(p));
}

void TJournalEncoder::TabMoved(QByteArray &Out, int From, int To, TDateTime When) {
  FlushRun(Out);
  QByteArray p = Payload(TJournalKind::TabMoved, When);
  TPut put(p);
  put.I32(From);
  put.I32(To);
  Out.append(Journal_Frame(p));
}

void TJournalEncoder::TabDeleted(QByteArray &Out, int Index, TDateTime When) {
  FlushRun(Out);
  QByteArray p = Payload(TJournalKind::TabDeleted, When);
  TPut put(p);
  put.I32(Index);
  Out.append(Journal_Frame(p));
}

void TJournalEncoder::TabImported(QByteArray &Out, int Index, const TDocument &Doc,
                                  const QString &Title, TDateTime When) {
  FlushRun(Out);
  FDefined.erase(&Doc);
  QByteArray p = Payload(TJournalKind::TabImported, When);
  TPut put(p);
  put.I32(Index);
  put.Str(Title);
  put.Bytes(Doc.IO_SaveToBytes(Title));
  Out.append(Journal_Frame(p));
}

void TJournalEncoder::Events(QByteArray &Out, const QByteArray &Block, TDateTime When) {
  FlushRun(Out);
  QByteArray p = Payload(TJournalKind::Events, When);
  TPut put(p);
  put.Bytes(Block);
  Out.append(Journal_Frame(p));
}

// ---- Decoding ----------------------------------------------------------------------------------

namespace {

bool DecodePayload(const char *Data, qsizetype Size, RJournalRecord &R) {
  TGet get(Data, Size);
  const std::uint8_t kind = get.U8();
  R.When = get.F64();
  if (kind < 1 || kind > 9) return false;
  R.Kind = static_cast<TJournalKind>(kind);
  switch (R.Kind) {
    case TJournalKind::Header: {
      R.Base.IsFile = get.U8() != 0;
      R.Base.PathName = get.Str();
      R.Base.Size = get.I64();
      R.Base.Crc = get.U32();
      const std::uint32_t n = get.U32();
      for (std::uint32_t i = 0; i < n && !get.Bad; ++i) R.Base.Tabs.push_back(get.Str());
      break;
    }
    case TJournalKind::FontDef:
      R.Tab = get.I32();
      R.FontIndex = get.I16();
      R.Font.Name = get.Str();
      R.Font.Rotation = get.I32();
      R.Font.Size = get.I32();
      R.Font.Color = get.I32();
      R.Font.Highlight = get.I32();
      R.Font.Style = get.I32();
      break;
    case TJournalKind::Edit: {
      R.Tab = get.I32();
      RDocumentEdit &e = R.Edit;
      const std::uint8_t k = get.U8();
      if (k < 1 || k > static_cast<std::uint8_t>(TEditKind::Sections)) return false;
      e.Kind = static_cast<TEditKind>(k);
      const std::uint8_t origin = get.U8();
      if (origin > 2) return false;
      e.Origin = static_cast<TEditOrigin>(origin);
      e.At = get.Pos();
      // Characters, then a font for each, then a moment for each.
      const auto readRichText = [&] {
        const QString chars = get.Str();
        std::vector<TFontIndex> fonts(static_cast<std::size_t>(chars.size()));
        for (auto &f : fonts) f = get.I16();
        R.Text = std::make_shared<TRichString>();
        for (qsizetype i = 0; i < chars.size() && !get.Bad; ++i)
          R.Text->Char_Append(chars[i], fonts[static_cast<std::size_t>(i)], get.Moment());
        e.Text = R.Text.get();
      };
      switch (e.Kind) {
        case TEditKind::Insert:
        case TEditKind::CharReplace: {
          e.Moment = get.Moment();
          e.Moment2 = get.Moment();
          e.Font = get.I16();
          readRichText();
          if (e.Kind == TEditKind::CharReplace) e.Removed = get.Str();
          break;
        }
        case TEditKind::CharDelete: e.Removed = get.Str(); break;
        case TEditKind::CaretSpanDelete:
        case TEditKind::SubStrDelete:
          e.Stop = get.Pos();
          e.Removed = get.Str();
          break;
        case TEditKind::FontChange:
          e.Stop = get.Pos();
          e.FontOp = static_cast<TFontOp>(get.U8());
          e.Font = get.I16();
          e.Flag = get.U8() != 0;
          e.Number = get.F64();
          e.Color = get.I32();
          e.Highlight = get.I32();
          e.Str = get.Str();
          break;
        case TEditKind::Outline: {
          const std::uint8_t o = get.U8();
          if (o > oRoman) return false;
          e.Outline = static_cast<TOutline>(o);
          e.Str = get.Str();
          const std::uint32_t n = get.U32();
          R.Text = std::make_shared<TRichString>();
          for (std::uint32_t i = 0; i < n && !get.Bad; ++i)
            R.Text->Char_Append(u' ', 0, get.Moment());
          e.Text = R.Text.get();
          break;
        }
        case TEditKind::CharMoment:
        case TEditKind::ParagraphMoment: e.Moment = get.Moment(); break;
        case TEditKind::Content: e.Bytes = get.Bytes(); break;
        case TEditKind::Sections: {
          e.Stop = get.Pos();
          readRichText();
          e.Removed = get.Str();
          e.Str = get.Str();
          break;
        }
      }
      break;
    }
    case TJournalKind::TabAdded:
    case TJournalKind::TabRenamed:
      R.Tab = get.I32();
      R.Title = get.Str();
      break;
    case TJournalKind::TabMoved:
      R.Tab = get.I32();
      R.To = get.I32();
      break;
    case TJournalKind::TabDeleted: R.Tab = get.I32(); break;
    case TJournalKind::TabImported:
      R.Tab = get.I32();
      R.Title = get.Str();
      R.Bytes = get.Bytes();
      break;
    case TJournalKind::Events: R.Bytes = get.Bytes(); break;
  }
  return !get.Bad && get.AtEnd();
}

}  // namespace

RJournalRead Journal_Read(const QByteArray &Bytes) {
  RJournalRead r;
  if (Bytes.size() < MagicSize || std::memcmp(Bytes.constData(), Magic, MagicSize) != 0) {
    r.Problem = QStringLiteral("not a journal");
    return r;
  }
  r.IsJournal = true;
  qsizetype at = MagicSize;
  const char *d = Bytes.constData();
  const auto damaged = [&r, &at](const QString &What) {
    r.Damaged = true;
    r.DamagedAt = at;
    r.Problem = What + QStringLiteral(" at byte %1 (record %2)").arg(at).arg(r.Records.size() + 1);
  };
  while (at < Bytes.size()) {
    const qsizetype left = Bytes.size() - at;
    TGet prefix(d + at, std::min(left, PrefixSize));
    if (left < 8) {
      r.TornEnd = true;
      break;
    }
    const std::uint32_t n = prefix.U32(), check = prefix.U32();
    if (n != ~check || n > MaxPayload) {
      damaged(QStringLiteral("a damaged record length"));
      break;
    }
    if (left < PrefixSize + qsizetype{n}) {
      r.TornEnd = true;
      break;
    }
    const std::uint32_t crc = prefix.U32();
    if (Crc32(d + at + PrefixSize, n) != crc) {
      damaged(QStringLiteral("a record whose checksum does not match"));
      break;
    }
    RJournalRecord rec;
    if (!DecodePayload(d + at + PrefixSize, n, rec) ||
        (r.Records.empty() != (rec.Kind == TJournalKind::Header))) {
      damaged(QStringLiteral("a record that cannot be read"));
      break;
    }
    r.Records.push_back(std::move(rec));
    at += PrefixSize + n;
    r.Ends.push_back(at);
  }
  r.GoodBytes = at;
  return r;
}

// ---- Replay ------------------------------------------------------------------------------------

RJournalReplay Journal_Replay(const RJournalRead &Read, TJournalTabs &Tabs) {
  RJournalReplay out;
  // Per tab, journal font index -> this document's index; moves along with its tab.
  std::vector<std::map<TFontIndex, TFontIndex>> fonts(
      static_cast<std::size_t>(Tabs.JournalTabs_Count()));
  const auto stop = [&out](const QString &Why, std::size_t RecordNumber) {
    out.Stopped = true;
    out.Problem = QStringLiteral("record %1 does not fit the binder: ").arg(RecordNumber + 1) + Why;
    return out;
  };
  // A binder leaves out the blank tab its notebook keeps on offer at the end, so the records
  // that follow a save may name that tab (or a tab added after it) one place past the tabs
  // read: it is put back, blank, as the notebook had it. One tab at most, never more.
  const auto reach = [&Tabs, &fonts](int Needed) {
    if (Needed != Tabs.JournalTabs_Count() + 1) return;
    Tabs.JournalTabs_Insert(Tabs.JournalTabs_Count(), QStringLiteral(" "),
                            std::make_unique<TDocument>());
    fonts.emplace_back();
  };
  const auto tabOk = [&Tabs, &reach](int I) {
    reach(I + 1);
    return I >= 0 && I < Tabs.JournalTabs_Count();
  };
  for (std::size_t i = 1; i < Read.Records.size(); ++i) {
    const RJournalRecord &r = Read.Records[i];
    switch (r.Kind) {
      case TJournalKind::Header: return stop(QStringLiteral("a second header"), i);
      case TJournalKind::FontDef: {
        if (!tabOk(r.Tab)) return stop(QStringLiteral("no such tab"), i);
        TDocument &doc = Tabs.JournalTabs_Document(r.Tab);
        fonts[static_cast<std::size_t>(r.Tab)][r.FontIndex] =
            doc.Font_GetIndex(r.Font.Name, r.Font.Rotation, r.Font.Size, r.Font.Color,
                              r.Font.Highlight, TFontStyles::fromInt(r.Font.Style));
        break;
      }
      case TJournalKind::Edit: {
        if (!tabOk(r.Tab)) return stop(QStringLiteral("no such tab"), i);
        TDocument &doc = Tabs.JournalTabs_Document(r.Tab);
        auto &map = fonts[static_cast<std::size_t>(r.Tab)];
        const auto mapped = [&map](TFontIndex F) {
          const auto it = map.find(F);
          return it == map.end() ? F : it->second;
        };
        RDocumentEdit e = r.Edit;
        // Every font an edit puts into the document must be one of its table: a font the
        // journal never defined would leave characters pointing at nothing.
        const TFontsInUse &table = doc.Font_GetFontsInUseObjectReference();
        bool fontsKnown = true;
        TRichString text;
        if (r.Text) {
          for (int c = 1; c <= r.Text->High(); ++c) {
            const TFontIndex f = mapped(r.Text->Char_GetFont(c));
            fontsKnown = fontsKnown && table.FontExists(f);
            text.Char_Append(r.Text->Char_GetChar(c), f, r.Text->Timestamp_Get(c));
          }
          e.Text = &text;
        }
        if (KindHasText(e.Kind) ||
            (e.Kind == TEditKind::FontChange && e.FontOp == TFontOp::Index)) {
          e.Font = mapped(e.Font);
          fontsKnown = fontsKnown && table.FontExists(e.Font);
        }
        if (!fontsKnown) return stop(QStringLiteral("a font that was never defined"), i);
        QString why;
        if (!doc.Edit_Apply(e, why)) return stop(why, i);
        if (e.Kind == TEditKind::Content) map.clear();
        if (e.Kind == TEditKind::Insert && e.Origin == TEditOrigin::Typed)
          out.TypedChars += text.Length();
        else if (e.Kind == TEditKind::Insert && e.Origin == TEditOrigin::Pasted)
          out.PastedChars += text.Length();
        else if (e.Kind == TEditKind::CharReplace && e.Origin == TEditOrigin::Typed)
          out.TypedChars += 1;
        else
          ++out.OtherEdits;
        break;
      }
      case TJournalKind::TabAdded:
        reach(r.Tab);
        if (r.Tab < 0 || r.Tab > Tabs.JournalTabs_Count())
          return stop(QStringLiteral("no such tab"), i);
        Tabs.JournalTabs_Insert(r.Tab, r.Title, std::make_unique<TDocument>());
        fonts.insert(fonts.begin() + r.Tab, std::map<TFontIndex, TFontIndex>());
        // An empty tab without a title (the blank tab a notebook keeps on offer) is nothing the
        // user would miss: it is not counted as a change.
        if (!r.Title.trimmed().isEmpty()) ++out.OtherEdits;
        break;
      case TJournalKind::TabImported: {
        reach(r.Tab);
        if (r.Tab < 0 || r.Tab > Tabs.JournalTabs_Count())
          return stop(QStringLiteral("no such tab"), i);
        auto doc = std::make_unique<TDocument>();
        QString title;
        int scroll = 0;
        doc->IO_LoadFromBytes(r.Bytes, r.Title, title, scroll);
        Tabs.JournalTabs_Insert(r.Tab, r.Title, std::move(doc));
        fonts.insert(fonts.begin() + r.Tab, std::map<TFontIndex, TFontIndex>());
        ++out.OtherEdits;
        break;
      }
      case TJournalKind::TabRenamed:
        if (!tabOk(r.Tab)) return stop(QStringLiteral("no such tab"), i);
        Tabs.JournalTabs_Rename(r.Tab, r.Title);
        ++out.OtherEdits;
        break;
      case TJournalKind::TabMoved: {
        reach(std::max(r.Tab, r.To) + 1);
        if (!tabOk(r.Tab) || !tabOk(r.To)) return stop(QStringLiteral("no such tab"), i);
        Tabs.JournalTabs_Move(r.Tab, r.To);
        auto moving = std::move(fonts[static_cast<std::size_t>(r.Tab)]);
        fonts.erase(fonts.begin() + r.Tab);
        fonts.insert(fonts.begin() + r.To, std::move(moving));
        ++out.OtherEdits;
        break;
      }
      case TJournalKind::TabDeleted:
        if (!tabOk(r.Tab)) return stop(QStringLiteral("no such tab"), i);
        Tabs.JournalTabs_Delete(r.Tab);
        fonts.erase(fonts.begin() + r.Tab);
        ++out.OtherEdits;
        break;
      case TJournalKind::Events:
        out.EventsBlock = r.Bytes;
        ++out.OtherEdits;
        break;
    }
    ++out.Records;
    out.LastWhen = r.When;
  }
  if (Read.Damaged) {
    out.Stopped = true;
    out.Problem = QStringLiteral("the journal is damaged: ") + Read.Problem;
  }
  return out;
}

// ---- Writing -----------------------------------------------------------------------------------

TJournalWriter::TJournalWriter() : FTimer(std::make_unique<QTimer>()) {
  FTimer->setSingleShot(true);
  FTimer->setInterval(FlushMSecs);
  QObject::connect(FTimer.get(), &QTimer::timeout, [this] { TimerFired(); });
}

TJournalWriter::~TJournalWriter() { Close(); }

bool TJournalWriter::Start(const QString &PathName, const QByteArray &HeaderRecord,
                           const QByteArray &Records) {
  Close();
  FError.clear();
  FPathName = PathName;
  // A fresh journal appears whole or not at all: written beside, synced, renamed over.
  const QString temporary = PathName + QStringLiteral(".new");
  const QByteArray start = Journal_Magic() + HeaderRecord + Records;
  const QByteArray tmpName = QFile::encodeName(temporary);
  const int fd = ::open(tmpName.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) {
    FError = QString::fromLocal8Bit(std::strerror(errno));
    return false;
  }
  qsizetype done = 0;
  while (done < start.size()) {
    const ssize_t n =
        ::write(fd, start.constData() + done, static_cast<size_t>(start.size() - done));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      FError = QString::fromLocal8Bit(std::strerror(errno));
      ::close(fd);
      QFile::remove(temporary);
      return false;
    }
    done += n;
  }
  if (::fdatasync(fd) != 0 ||
      ::rename(tmpName.constData(), QFile::encodeName(PathName).constData()) != 0) {
    FError = QString::fromLocal8Bit(std::strerror(errno));
    ::close(fd);
    QFile::remove(temporary);
    return false;
  }
  FFd = fd;
  FWritten = start.size();
  FWriteFailed = false;
  FSinceSync.start();
  return true;
}

void TJournalWriter::Close() {
  if (FFd < 0) return;
  Flush(true);
  FTimer->stop();
  ::close(FFd);
  FFd = -1;
}

void TJournalWriter::Reset() {
  Close();
  FPending.clear();
  FEncoder = TJournalEncoder();
}

void TJournalWriter::Changed() {
  if (!FTimer->isActive()) FTimer->start();
}

void TJournalWriter::TimerFired() {
  // The sync waits when one ran very recently; the bytes are written now all the same, which is
  // what a killed program needs (the kernel keeps them).
  const bool sync = !FSinceSync.isValid() || FSinceSync.elapsed() >= MinSyncMSecs;
  Flush(sync);
  if (!sync || FWriteFailed) FTimer->start();
}

bool TJournalWriter::Flush(bool Sync) {
  // The owner may add records, and open the file for them, first.
  if (BeforeFlush) BeforeFlush();
  if (FFd < 0) return false;
  FEncoder.FlushRun(FPending);
  qsizetype done = 0;
  while (done < FPending.size()) {
    const ssize_t n =
        ::write(FFd, FPending.constData() + done, static_cast<size_t>(FPending.size() - done));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      if (!FWriteFailed) {
        FError = QString::fromLocal8Bit(std::strerror(errno));
        ErrorReport(false, QStringLiteral("The journal ") + FPathName +
                               QStringLiteral(" could not be written: ") + FError);
      }
      FWriteFailed = true;
      // What was written of a record is torn; the rest is tried again at the next flush, from
      // a fresh start of the file position so that no record is left half.
      if (done > 0) {
        if (::ftruncate(FFd, FWritten) != 0 || ::lseek(FFd, FWritten, SEEK_SET) < 0)
          TraceWrite(QStringLiteral("The journal's torn end stays: ") + FPathName);
      }
      return false;
    }
    done += n;
  }
  FWritten += done;
  FPending.clear();
  FWriteFailed = false;
  if (Sync && done > 0) {
    ::fdatasync(FFd);
    FSinceSync.restart();
  }
  return true;
}
