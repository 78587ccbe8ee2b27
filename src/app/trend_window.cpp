#include "app/trend_window.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QDateTime>
#include <QEvent>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QImage>
#include <QLabel>
#include <QPushButton>
#include <QShowEvent>
#include <QVBoxLayout>

#include "app/pictures.h"
#include "app/qt_ui.h"
#include "app/trend_csv.h"
#include "app/trend_pane.h"

namespace korvin {

namespace {

constexpr int kDefaultWidth = 1000;
constexpr int kDefaultHeight = 860;
constexpr int kPaneMinimumHeight = 150;
constexpr int64_t kMsPerDay = 24 * 60 * 60 * 1000;

// Dew point, alternative value, temperature, pressure.
const std::array<QColor, kTrendChannelCount> kPaneColours = {
    QColor(0, 90, 200), QColor(0, 140, 70), QColor(200, 40, 30), QColor(120, 60, 160)};

const FileChooserSpec kPictureChooser{FileChooserSpec::Mode::kSave, trendwindow::kSavePicture,
                                      trendwindow::kPictureFilter, trendwindow::kPicturePattern,
                                      trendwindow::kPictureSuffix};
const FileChooserSpec kDataChooser{FileChooserSpec::Mode::kSave, trendwindow::kSaveData,
                                   trendwindow::kDataFilter, trendwindow::kDataPattern,
                                   trendwindow::kDataSuffix};

QString Text(std::string_view text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// The time labels say as much as the span needs.
QString TimeFormat(TrendSpan span, const TimeRange& range) {
  switch (span) {
    case TrendSpan::kTenMinutes:
      return QStringLiteral("hh:mm:ss");
    case TrendSpan::kOneHour:
      return QStringLiteral("hh:mm");
    case TrendSpan::kAll:
      break;
  }
  return range.toMs - range.fromMs > kMsPerDay / 2 ? QStringLiteral("dd.MM. hh:mm")
                                                   : QStringLiteral("hh:mm:ss");
}

}  // namespace

TrendWindow::TrendWindow(const TrendBuffer& buffer, WallClock wallClockMs, QWidget* parent)
    : QWidget(parent, Qt::Window),
      buffer_(buffer),
      wallClockMs_(std::move(wallClockMs)),
      plot_(buffer) {
  setWindowTitle(Text(trendwindow::kTitle));
  setWindowIcon(WindowIcon());
  BuildWidgets();
  resize(kDefaultWidth, kDefaultHeight);
  Redraw(true);
}

TrendWindow::~TrendWindow() = default;

void TrendWindow::BuildWidgets() {
  auto* controls = new QHBoxLayout;
  auto* spanLabel = new QLabel(Text(trendwindow::kSpanLabel), this);
  spanList_ = new QComboBox(this);
  for (const TrendSpanChoice& choice : kTrendSpans) spanList_->addItem(Text(choice.caption));
  spanLabel->setBuddy(spanList_);
  connect(spanList_, &QComboBox::currentIndexChanged, this,
          [this](int index) { SetSpan(kTrendSpans[static_cast<size_t>(index)].span); });
  pauseButton_ = new QPushButton(Text(trendwindow::kPause), this);
  connect(pauseButton_, &QPushButton::clicked, this, [this] { SetPaused(!paused_); });
  savePictureButton_ = new QPushButton(Text(trendwindow::kSavePicture), this);
  connect(savePictureButton_, &QPushButton::clicked, this, [this] {
    SaveChosen(kPictureChooser, &TrendWindow::SavePicture, trendwindow::kPictureFailed);
  });
  saveDataButton_ = new QPushButton(Text(trendwindow::kSaveData), this);
  connect(saveDataButton_, &QPushButton::clicked, this,
          [this] { SaveChosen(kDataChooser, &TrendWindow::SaveData, trendwindow::kDataFailed); });
  status_ = new QLabel(this);
  controls->addWidget(spanLabel);
  controls->addWidget(spanList_);
  controls->addWidget(pauseButton_);
  controls->addSpacing(pauseButton_->sizeHint().width() / 2);
  controls->addWidget(savePictureButton_);
  controls->addWidget(saveDataButton_);
  controls->addStretch();
  controls->addWidget(status_);

  panesArea_ = new QWidget(this);
  auto* panes = new QVBoxLayout(panesArea_);
  panes->setContentsMargins(0, 0, 0, 0);
  panes->setSpacing(0);
  for (int c = 0; c < kTrendChannelCount; ++c) {
    panes_[c] = new TrendPane(kTrendChannelNames[c], kPaneColours[c], panesArea_);
    panes_[c]->setMinimumHeight(kPaneMinimumHeight);
    panes->addWidget(panes_[c]);
  }
  // All panes are as wide as the first.
  connect(panes_[kTrendDewPoint], &TrendPane::resized, this, [this] { FitColumns(); });

  auto* layout = new QVBoxLayout(this);
  layout->addLayout(controls);
  layout->addWidget(panesArea_, 1);
}

void TrendWindow::SetSpan(TrendSpan span) {
  const auto index = static_cast<int>(
      std::find_if(kTrendSpans.begin(), kTrendSpans.end(),
                   [span](const TrendSpanChoice& choice) { return choice.span == span; }) -
      kTrendSpans.begin());
  if (spanList_->currentIndex() != index) spanList_->setCurrentIndex(index);
  if (span == plot_.span()) return;
  plot_.SetSpan(span);
  Redraw(true);
}

void TrendWindow::ShowPaused(bool paused) {
  paused_ = paused;
  pausedEnd_ = buffer_.endSequence();
  pauseButton_->setText(Text(paused ? trendwindow::kResume : trendwindow::kPause));
}

void TrendWindow::SetPaused(bool paused) {
  if (paused == paused_) return;
  ShowPaused(paused);
  if (paused) {
    ShowStatus();
  } else {
    Redraw(true);
  }
}

void TrendWindow::Update() {
  // Closed or minimised, the window costs the poll nothing; it catches up when shown again.
  if (!isVisible() || isMinimized()) return;
  Redraw(false);
}

void TrendWindow::Redraw(bool force) {
  if (buffer_.generation() != seenGeneration_) {
    // A new connection: its trend starts empty and scrolling.
    seenGeneration_ = buffer_.generation();
    ShowPaused(false);
    force = true;
  }
  if (paused_ && !force) return;
  const uint64_t end = paused_ ? pausedEnd_ : buffer_.endSequence();
  if (!force && drawnOnce_ && end == seenEnd_ && buffer_.firstSequence() == seenFirst_) return;
  seenEnd_ = end;
  seenFirst_ = buffer_.firstSequence();
  ShowChannels();
  const bool changed = plot_.Update(end, wallClockMs_ ? wallClockMs_() : 0);
  if (changed || !drawnOnce_ || force) {
    const TimeRange& range = plot_.timeRange();
    const QString format = TimeFormat(plot_.span(), range);
    for (int c = 0; c < kTrendChannelCount; ++c) {
      panes_[c]->Show(plot_.lines(c), range, plot_.valueRange(c), format,
                      SpanChoice(plot_.span()).timeTicks);
    }
    drawnOnce_ = true;
    ++draws_;
  }
  ShowStatus();
}

void TrendWindow::ShowChannels() {
  const TrendChannels& channels = buffer_.channels();
  for (int c = 0; c < kTrendChannelCount; ++c) {
    panes_[c]->SetUnit(channels.unitLabels[c]);
    panes_[c]->setVisible(channels.Shows(c));
  }
}

void TrendWindow::ShowStatus() {
  QString text;
  if (buffer_.empty()) {
    text = Text(trendwindow::kNoSamples);
  } else {
    const uint64_t end =
        paused_ ? std::max(pausedEnd_, buffer_.firstSequence()) : buffer_.endSequence();
    const auto shown = static_cast<qulonglong>(end - buffer_.firstSequence());
    text = Text(trendwindow::kStatus)
               .arg(shown)
               .arg(QDateTime::fromMSecsSinceEpoch(buffer_.At(buffer_.firstSequence()).timeMs)
                        .toString(QStringLiteral("dd.MM.yyyy hh:mm:ss")))
               .arg(end > buffer_.firstSequence()
                        ? QDateTime::fromMSecsSinceEpoch(buffer_.At(end - 1).timeMs)
                              .toString(QStringLiteral("hh:mm:ss"))
                        : QString());
    if (paused_) text += Text(trendwindow::kPausedSuffix);
  }
  if (status_->text() != text) status_->setText(text);
}

void TrendWindow::FitColumns() {
  const int columns = panes_[kTrendDewPoint]->PlotWidth();
  if (columns == plot_.columns()) return;
  plot_.SetColumns(columns);
  Redraw(true);
}

void TrendWindow::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  Redraw(false);
}

void TrendWindow::changeEvent(QEvent* event) {
  QWidget::changeEvent(event);
  if (event->type() == QEvent::WindowStateChange) Update();
}

bool TrendWindow::SavePicture(const std::filesystem::path& png) {
  // The charts lay out their axes' labels and ticks when the event loop comes round; a picture
  // taken right after an update must not show the labels of the one before.
  QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
  // RGB, not RGBA: the picture is a window, and every reader takes an RGB PNG.
  const QImage image = panesArea_->grab().toImage().convertToFormat(QImage::Format_RGB888);
  return image.save(QString::fromStdString(png.string()), "PNG");
}

bool TrendWindow::SaveData(const std::filesystem::path& csv) {
  return WriteTrendCsv(buffer_, csv);
}

void TrendWindow::SaveChosen(const FileChooserSpec& chooser,
                             bool (TrendWindow::*save)(const std::filesystem::path&),
                             std::string_view failure) {
  const std::optional<std::filesystem::path> file = ChooseFile(chooser);
  if (file && !(this->*save)(*file)) Tell(failure, *file);
}

std::optional<std::filesystem::path> TrendWindow::ChooseFile(const FileChooserSpec& wanted) {
  if (chooser_) return chooser_(wanted);
  QFileDialog chooser(this, Text(wanted.title));
  chooser.setAcceptMode(QFileDialog::AcceptSave);
  chooser.setNameFilter(Text(wanted.filterName) + QStringLiteral(" (") + Text(wanted.pattern) +
                        QStringLiteral(")"));
  chooser.setDefaultSuffix(Text(wanted.defaultSuffix));
  if (chooser.exec() != QDialog::Accepted || chooser.selectedFiles().isEmpty()) return std::nullopt;
  return std::filesystem::path(chooser.selectedFiles().first().toStdString());
}

void TrendWindow::Tell(std::string_view failure, const std::filesystem::path& file) {
  const std::string text = std::string(failure) + "\n" + file.string();
  if (ui_ != nullptr) return ui_->Message(text);
  ShowMessageBox(this, text);
}

}  // namespace korvin
