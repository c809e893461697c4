#include "vl09_Calendar.h"

#include "vl09_MediaFoldersInfo.h"
#include "vlClock.h"
#include "vlColorConversion.h"
#include "vlGuard.h"
#include "vlPrompts.h"
#include "vlVertTimelineLayout.h"

#include <QDate>
#include <QDesktopServices>
#include <QDir>
#include <QLabel>
#include <QListWidget>
#include <QMouseEvent>
#include <QPainter>
#include <QToolButton>
#include <QToolTip>
#include <QUrl>

#include <algorithm>

namespace {

constexpr int PanelHeight = 28;
constexpr int WeekdayBarHeight = 28;
constexpr int HoverRadius = 3;
constexpr int PressRadius = 5;
constexpr int HintMSecs = 999;
constexpr int OfferMSecs = 3000;
constexpr TColor HintColor = RGBColor(255, 255, 127);

QFont Font(const QString &Face, int PixelSize, bool Bold = false) {
  QFont f(TimelineDrawingFace(Face));
  f.setPixelSize(PixelSize);
  f.setBold(Bold);
  return f;
}

// The calendar's seeds before this day open the present month.
const TDateTime EarliestSeedDT = EncodeDate(1910, 12, 31);

}  // namespace

// ---------------------------------------------------------------------------------------------
// Links: the defaults

void TCalendarLinks::OpenFolderInExplorer(const QString &Folder) {
  // Through the desktop's own handler, never a shell command built from a path.
  QDesktopServices::openUrl(QUrl::fromLocalFile(Folder));
}

void TCalendarLinks::ShowHint(const QString &Text, QPoint ScreenAt, int MSecs, TColor) {
  QToolTip::showText(ScreenAt, Text, nullptr, QRect(), MSecs);
}

void TCalendarLinks::HideHint() { QToolTip::hideText(); }

TDateTime TCalendarLinks::RecTrackMonthDT() { return Now(); }
TDateTime TCalendarLinks::VertTimelineFromDT() { return Now(); }

int OpenCalendar(QWidget *Parent, TvlMediaFoldersInfo *Catalogue, TCalendarLinks *Links,
                 TDateTime SeedWhen) {
  TCalendarFm form(Catalogue, Links, Parent);
  return form.FormShowForMonth(SeedWhen);
}

// ---------------------------------------------------------------------------------------------
// The two paint boxes: the weekday letters and the day cells.

class TCalendarFm::TPaintBox final : public QWidget {
 public:
  TPaintBox(TCalendarFm &Form, bool Cells, QWidget *Parent)
      : QWidget(Parent), FForm(Form), FCells(Cells) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    if (Cells) setMouseTracking(true);
  }

 protected:
  void paintEvent(QPaintEvent *) override {
    RunGuardedDeferred([this] {
      if (FCells)
        FForm.PaintCalendar(this);
      else
        FForm.PaintWeekdays(this);
    });
  }
  void mouseMoveEvent(QMouseEvent *E) override {
    const QPoint at = E->position().toPoint();
    RunGuarded([&] { FForm.CalendarPBMouseMove(at); });
  }
  void mousePressEvent(QMouseEvent *E) override {
    const QPoint at = E->position().toPoint();
    RunGuarded([&] { FForm.CalendarPBMouseDown(at); });
  }
  // Qt sends press, release, double click, release: the double click runs the press logic
  // first, as a second press would.
  void mouseDoubleClickEvent(QMouseEvent *E) override {
    const QPoint at = E->position().toPoint();
    RunGuarded([&] {
      if (!FForm.CalendarPBMouseDown(at)) FForm.CalendarPBDblClick();
    });
  }

 private:
  TCalendarFm &FForm;
  bool FCells;
};

// ---------------------------------------------------------------------------------------------
// The form

TCalendarFm::TCalendarFm(TvlMediaFoldersInfo *Catalogue, TCalendarLinks *Links, QWidget *Parent)
    : QDialog(Parent),
      FCatalogue(Catalogue),
      FLinks(Links),
      FMonth(vlCalendar::DefaultCellPicture()) {
  if (!FLinks) {
    FOwnLinks = std::make_unique<TCalendarLinks>();
    FLinks = FOwnLinks.get();
  }
  setObjectName(QStringLiteral("CalendarFm"));
  setWindowTitle(QStringLiteral("Recordings are highlighted. Click on one."));
  setFont(Font(QStringLiteral("MS Sans Serif"), 11));
  setModal(true);

  const int cw = FMonth.CellWidth(), ch = FMonth.CellHeight();
  const int clientW = 7 * cw, clientH = 6 * ch + PanelHeight + WeekdayBarHeight;
  setFixedSize(clientW, clientH);

  FCalendarControlPnl = new QWidget(this);
  FCalendarControlPnl->setObjectName(QStringLiteral("CalendarControlPnl"));
  FCalendarControlPnl->setGeometry(0, 0, clientW, PanelHeight);
  FCaption = new QLabel(FCalendarControlPnl);
  FCaption->setFont(Font(QStringLiteral("Arial"), 16, true));
  FCaption->setAlignment(Qt::AlignCenter);
  FCaption->setGeometry(0, 0, clientW, PanelHeight);

  auto button = [&](const char *Name, const QString &Hint, int X, const QString &Text,
                    Qt::ArrowType Arrow, void (TCalendarFm::*Click)()) {
    auto *b = new QToolButton(FCalendarControlPnl);
    b->setObjectName(QString::fromLatin1(Name));
    b->setAutoRaise(true);
    b->setCursor(Qt::PointingHandCursor);
    b->setToolTip(Hint);
    if (Arrow != Qt::NoArrow)
      b->setArrowType(Arrow);
    else
      b->setText(Text);
    b->setGeometry(X, 0, 41, PanelHeight);
    connect(b, &QToolButton::clicked, this,
            [this, Click] { RunGuarded([&] { (this->*Click)(); }); });
    return b;
  };
  FYearPreviousBtn =
      button("YearPreviousBtn", QStringLiteral("Previous Year"), -3, QStringLiteral("\u00AB"),
             Qt::NoArrow, &TCalendarFm::YearPreviousBtnClick);
  FMonthPreviousBtn = button("MonthPreviousBtn", QStringLiteral("Previous Month"), 38, QString(),
                             Qt::LeftArrow, &TCalendarFm::MonthPreviousBtnClick);
  FMonthNextBtn = button("MonthNextBtn", QStringLiteral("Next Month"), clientW - 79, QString(),
                         Qt::RightArrow, &TCalendarFm::MonthNextBtnClick);
  FYearNextBtn = button("YearNextBtn", QStringLiteral("Next Year"), clientW - 38,
                        QStringLiteral("\u00BB"), Qt::NoArrow, &TCalendarFm::YearNextBtnClick);

  FDayOfWeekPB = new TPaintBox(*this, false, this);
  FDayOfWeekPB->setObjectName(QStringLiteral("DayOfWeekPB"));
  FDayOfWeekPB->setGeometry(0, PanelHeight, clientW, WeekdayBarHeight);
  FCalendarPB = new TPaintBox(*this, true, this);
  FCalendarPB->setObjectName(QStringLiteral("CalendarPB"));
  FCalendarPB->setGeometry(0, PanelHeight + WeekdayBarHeight, clientW, 6 * ch);

  FOpenFolderLnk = new QLabel(QStringLiteral("Open Audio Files Folder"), this);
  FOpenFolderLnk->setObjectName(QStringLiteral("OpenFolderLnk"));
  QPalette linkPalette = FOpenFolderLnk->palette();
  linkPalette.setColor(QPalette::WindowText, QColor(96, 96, 255));
  FOpenFolderLnk->setPalette(linkPalette);
  FOpenFolderLnk->setCursor(Qt::PointingHandCursor);
  FOpenFolderLnk->adjustSize();
  FOpenFolderLnk->move(280, clientH - FOpenFolderLnk->height() - 4);
  FOpenFolderLnk->installEventFilter(this);

  FFoldersLB = new QListWidget(this);
  FFoldersLB->setObjectName(QStringLiteral("FoldersLB"));
  FFoldersLB->setGeometry(6, 184, 499, 97);
  FFoldersLB->setSelectionMode(QAbstractItemView::SingleSelection);
  FFoldersLB->hide();
  connect(FFoldersLB, &QListWidget::itemClicked, this, [this](QListWidgetItem *Item) {
    RunGuarded([&] { FoldersLBClick(FFoldersLB->row(Item)); });
  });

  // Today's month until a seed says otherwise.
  PrepareForMonth(Now());
}

TCalendarFm::~TCalendarFm() { FLinks->HideHint(); }

bool TCalendarFm::eventFilter(QObject *Watched, QEvent *E) {
  if (Watched == FOpenFolderLnk && E->type() == QEvent::MouseButtonRelease) {
    RunGuarded([this] { OpenFolderLnkClick(); });
    return true;
  }
  return QDialog::eventFilter(Watched, E);
}

int TCalendarFm::FormShowForMonth(TDateTime DateTime) {
  PrepareForMonth(DateTime);
  return exec();
}

void TCalendarFm::PrepareForMonth(TDateTime DateTime) {
  if (!(DateTime >= EarliestSeedDT) || !IsValidDateTime(DateTime)) DateTime = Now();
  const RDecodedDateTime d = DecodeDateTime(DateTime);
  FYearToShow = d.Year;
  FMonthToShow = d.Month;
  FFoldersLB->hide();
  // The catalogue lists the months the program looked at last, which need not be this one.
  ReloadMonths();
}

QString TCalendarFm::CaptionText() const {
  return QStringLiteral("%1 / %2").arg(FMonthToShow).arg(FYearToShow);
}

void TCalendarFm::RefreshSpans() {
  std::vector<RRecordingSpan> spans;
  if (FCatalogue) {
    spans.reserve(FCatalogue->Entries().size() + 1);
    // The recording being made has no length in its name yet (the listing counts it a second,
    // or lists it not at all): it runs from its start to now.
    for (const RRecordingEntry &e : FCatalogue->Entries())
      if (!FCatalogue->IsRecordingInProgressFile(e.Path))
        spans.push_back(RRecordingSpan{e.Start, e.End()});
    const TDateTime began = FCatalogue->RecordingInProgressBeganAt();
    const TDateTime now = Now();
    if (!FCatalogue->RecordingInProgressPath().isEmpty() && began > 0 && now > began)
      spans.push_back(RRecordingSpan{began, now});
  }
  FMonth.SetMonth(FYearToShow, FMonthToShow);
  FMonth.SetToday(Now());
  FMonth.SetSpans(std::move(spans));
  FCaption->setText(CaptionText());
  update();
}

void TCalendarFm::StepMonths(int Months) {
  int index = FYearToShow * 12 + (FMonthToShow - 1) + Months;
  // Years 1..9999 are the moments there are.
  index = std::clamp(index, 12 * 1 + 0, 12 * 9999 + 11);
  FYearToShow = index / 12;
  FMonthToShow = index % 12 + 1;
  ReloadMonths();
}

void TCalendarFm::ReloadMonths() {
  if (FCatalogue)
    FCatalogue->Month_LoadMonthsOf(EncodeDate(FYearToShow, FMonthToShow, 2),
                                   FLinks->RecTrackMonthDT(), FLinks->VertTimelineFromDT());
  RefreshSpans();
}

void TCalendarFm::MonthNextBtnClick() { StepMonths(1); }
void TCalendarFm::MonthPreviousBtnClick() { StepMonths(-1); }
void TCalendarFm::YearNextBtnClick() { StepMonths(12); }
void TCalendarFm::YearPreviousBtnClick() { StepMonths(-12); }

// ---- Painting

void TCalendarFm::PaintWeekdays(QWidget *Box) {
  QPainter p(Box);
  p.fillRect(Box->rect(), palette().color(QPalette::Window));
  p.setFont(Font(QStringLiteral("Arial"), 19, true));
  p.setPen(QColor::fromRgb(vlCalendar::WeekdayLetterRgb));
  static const char16_t *const letters[] = {u"S", u"M", u"T", u"W", u"T", u"F", u"S"};
  const QFontMetrics fm(p.font());
  const int cw = FMonth.CellWidth();
  for (int i = 0; i < 7; ++i) {
    const QString letter = QString::fromUtf16(letters[i]);
    const int x = i * cw + (cw - fm.horizontalAdvance(letter)) / 2;
    const int y = (Box->height() - fm.height()) / 2 + fm.ascent();
    p.drawText(x, y, letter);
  }
}

void TCalendarFm::PaintCalendar(QWidget *Box) {
  QPainter p(Box);
  p.fillRect(Box->rect(), QColor(240, 240, 240));
  p.drawImage(0, 0, FMonth.Image());
  // The legend is drawn on the paint box only, not into the month image that the probe reads:
  // its squares carry the arc colours exactly.
  const int cw = FMonth.CellWidth(), ch = FMonth.CellHeight();
  const int x0 = int(std::lround(cw * 3.2)), y0 = int(std::lround(ch * 5.3));
  const QFont legendFont = Font(QStringLiteral("Arial"), 19, true);
  const QFontMetrics fm(legendFont);
  const int square = fm.ascent() - 4;
  const int gg = 2 * square + 3;
  p.fillRect(x0, y0 + 2, square, square, QColor::fromRgb(vlCalendar::MorningRgb));
  p.fillRect(x0 + square + 3, y0 + 2, square, square, QColor::fromRgb(vlCalendar::MorningRgb));
  p.fillRect(x0 + 2 * cw, y0 + 2, square, square, QColor::fromRgb(vlCalendar::AfternoonRgb));
  p.fillRect(x0 + 2 * cw + square + 3, y0 + 2, square, square,
             QColor::fromRgb(vlCalendar::AfternoonRgb));
  p.setFont(legendFont);
  p.setPen(Qt::black);
  const int x1 = x0 + gg + 5;
  p.drawText(x1, y0 + fm.ascent(), QStringLiteral("AM"));
  p.drawText(x1 + 2 * cw, y0 + fm.ascent(), QStringLiteral("PM"));
}

// ---- Mouse

void TCalendarFm::CalendarPBMouseMove(QPoint At) {
  TDateTime moment = 0;
  const vlCalendar::TProbeResult r = FMonth.ProbeAround(HoverRadius, At.x(), At.y(), moment);
  RRecordingSpan span;
  if (r == vlCalendar::prbRecording && vlCalendar::RecordingNear(FMonth.Spans(), moment, span)) {
    const QPoint screen = FCalendarPB->mapToGlobal(QPoint(At.x(), At.y() + 50));
    FLinks->ShowHint(vlCalendar::RecordingHintText(span), screen, HintMSecs, HintColor);
    FOfferedStartDT = span.Start;
    FOfferedEndDT = span.End;
    FOfferedTS = Clock().SteadyMSecs();
    FOffered = true;
    FCalendarPB->setCursor(Qt::PointingHandCursor);
    return;
  }
  if (r != vlCalendar::prbRecording) FLinks->HideHint();
  FCalendarPB->setCursor(Qt::ArrowCursor);
}

bool TCalendarFm::CalendarPBMouseDown(QPoint At) {
  TDateTime moment = 0;
  const vlCalendar::TProbeResult r = FMonth.ProbeAround(PressRadius, At.x(), At.y(), moment);
  FSetUpDoubleClickDT = r == vlCalendar::prbNothing ? 0 : moment;
  FFoldersLB->hide();
  RRecordingSpan span;
  if (r == vlCalendar::prbRecording && vlCalendar::RecordingNear(FMonth.Spans(), moment, span)) {
    ShowSpanAndClose(span);
    return true;
  }
  if (FOffered && Clock().SteadyMSecs() - FOfferedTS < OfferMSecs) {
    ShowSpanAndClose(RRecordingSpan{FOfferedStartDT, FOfferedEndDT});
    return true;
  }
  return false;
}

void TCalendarFm::CalendarPBDblClick() {
  if (FSetUpDoubleClickDT != 0) {
    TDateTime when = FSetUpDoubleClickDT;
    // A day's cell away from any arc answers its midnight: show the middle of that day instead.
    if (TimeOf(when) == 0) when += 0.5;
    FLinks->MoveHistoricalTrackTo(when);
  }
  done(QDialog::Accepted);
}

void TCalendarFm::ShowSpanAndClose(const RRecordingSpan &Span) {
  FLinks->HideHint();
  FLinks->ShowSpanOnHistoricalTrack(Span.Start, Span.End);
  done(QDialog::Accepted);
}

// ---- The audio folders link

void TCalendarFm::OpenFolderLnkClick() {
  QStringList entries;
  if (FCatalogue) {
    const QString month = RecordingMonthFolder(EncodeDate(FYearToShow, FMonthToShow, 1));
    for (const QString &folder : FCatalogue->AudioFolders()) {
      const QString path = QDir(folder).filePath(month);
      if (QDir(path).exists()) entries.append(QDir::cleanPath(path));
    }
    // The audio folders come first, the last one topmost.
    for (const QString &folder : FCatalogue->AudioFolders())
      entries.prepend(QDir::cleanPath(folder));
  }
  if (entries.isEmpty()) {
    Prompts().Message(QStringLiteral("There are no folders storing audio files yet."));
    return;
  }
  if (entries.size() == 1) {
    FLinks->OpenFolderInExplorer(entries.front());
    return;
  }
  FFoldersLB->clear();
  FFoldersLB->addItem(QStringLiteral("    Click on a folder, below:"));
  FFoldersLB->addItem(QString());
  FFoldersLB->addItems(entries);
  const int left = 6;
  const int itemHeight = 13;
  const int shown = std::min<int>(int(entries.size()) + 2, 8);
  const int height = shown * std::max(itemHeight, FFoldersLB->sizeHintForRow(0)) + 7;
  FFoldersLB->setGeometry(left, FOpenFolderLnk->y() - height, width() - 2 * left, height);
  FFoldersLB->show();
  FFoldersLB->raise();
}

void TCalendarFm::FoldersLBClick(int Row) {
  if (Row < 2 || Row >= FFoldersLB->count()) return;
  const QString folder = FFoldersLB->item(Row)->text();
  FFoldersLB->hide();
  FLinks->OpenFolderInExplorer(folder);
}
