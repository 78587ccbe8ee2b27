// The trend window offscreen: what its panes and axes show for each span, pause and resume, the
// files its buttons write, and the "Trend" button of the main window.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QApplication>
#include <QBoxLayout>
#include <QChart>
#include <QComboBox>
#include <QDateTime>
#include <QDateTimeAxis>
#include <QElapsedTimer>
#include <QImage>
#include <QLabel>
#include <QLineSeries>
#include <QPushButton>
#include <QValueAxis>
#include <fstream>
#include <memory>
#include <sstream>

#include "app/c_merido_app.h"
#include "app/c_merido_dlg_view.h"
#include "app/trend_pane.h"
#include "app/trend_window.h"
#include "gui/gui_test_support.h"
#include "gui/qt_test_support.h"
#include "platform/clock.h"
#include "sim/sensor_model.h"
#include "sim/sim_serial_port.h"
#include "support/scripted_ui.h"

namespace korvin {
namespace {

using test::ScriptedPageReader;
using test::ScriptedUi;
using test::TempFolder;
using test::WaitUntil;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

// 2024-05-06 07:08:09 UTC.
constexpr int64_t kStartMs = 1714979289000;
constexpr int64_t kSecond = 1000;
constexpr int64_t kMinute = 60 * kSecond;

const TrendChannels kWithPressure{{"℃ Td", "ppm", "℃", "barg"}, true};

std::vector<QPointF> Points(const QLineSeries* series) {
  const QList<QPointF> list = series->points();
  return {list.begin(), list.end()};
}

class TrendWindowTest : public ::testing::Test {
 protected:
  TrendWindowTest() {
    buffer_.BeginSegment(kWithPressure);
    window_ = std::make_unique<TrendWindow>(buffer_, [] { return kStartMs; });
    window_->SetUi(&ui_);
    window_->SetFileChooser([this](const FileChooserSpec& chooser) {
      choosers_.push_back(std::string(chooser.title));
      return chosen_;
    });
    window_->show();
  }
  // `count` samples a second apart, dew point n, alternative -n, temperature 20 + n/10,
  // pressure 7 + n/100.
  void Add(int count, int64_t startMs) {
    for (int i = 0; i < count; ++i) {
      const auto n = static_cast<float>(next_++);
      buffer_.Append(startMs + i * kSecond, {n, -n, 20 + n / 10, 7 + n / 100}, {1, 1, 1, 2});
    }
  }
  TrendPane& Pane(int channel) const { return *window_->pane(channel); }
  QLineSeries* OnlySeries(int channel) const {
    const auto series = Pane(channel).series();
    EXPECT_EQ(series.size(), 1u);
    return series.empty() ? nullptr : series.front();
  }
  int64_t AxisFrom(int channel) const {
    return Pane(channel).timeAxis()->min().toMSecsSinceEpoch();
  }
  int64_t AxisTo(int channel) const { return Pane(channel).timeAxis()->max().toMSecsSinceEpoch(); }

  TrendBuffer buffer_{10000};
  ScriptedUi ui_;
  std::unique_ptr<TrendWindow> window_;
  std::vector<std::string> choosers_;
  std::optional<std::filesystem::path> chosen_;
  int next_ = 0;
};

TEST_F(TrendWindowTest, EachChannelHasAPaneWithItsUnit) {
  EXPECT_EQ(window_->windowTitle().toStdString(), "Trend");
  EXPECT_FALSE(window_->isModal());
  EXPECT_EQ(window_->statusLabel()->text().toStdString(),
            "No samples yet: switch the online values on.");
  Add(5, kStartMs);
  window_->Update();
  const char* names[] = {"Dew point", "Alternative value", "Temperature", "Pressure"};
  for (int c = 0; c < kTrendChannelCount; ++c) {
    EXPECT_EQ(Pane(c).chart()->title().toStdString(), names[c]);
    EXPECT_EQ(Pane(c).valueAxis()->titleText().toStdString(), kWithPressure.unitLabels[c]);
    EXPECT_TRUE(Pane(c).isVisibleTo(window_.get())) << names[c];
    // The panes share the time axis pixel for pixel.
    EXPECT_EQ(Pane(c).chart()->plotArea().left(), Pane(kTrendDewPoint).chart()->plotArea().left());
    EXPECT_EQ(Pane(c).chart()->plotArea().width(),
              Pane(kTrendDewPoint).chart()->plotArea().width());
    EXPECT_EQ(Pane(c).chart()->plotArea().width(), window_->plot().columns());
  }

  // A sensor without pressure: no pressure pane, and no pressure in the saved data.
  buffer_.BeginSegment({{"°F Td", "g/m³", "°F", ""}, false});
  Add(3, kStartMs);
  window_->Update();
  EXPECT_FALSE(Pane(kTrendPressure).isVisibleTo(window_.get()));
  EXPECT_EQ(Pane(kTrendDewPoint).valueAxis()->titleText().toStdString(), "°F Td");
  EXPECT_TRUE(Pane(kTrendPressure).series().empty());
}

TEST_F(TrendWindowTest, SeriesHoldTheSamplesAndPollingOffLeavesAGap) {
  Add(5, kStartMs);
  buffer_.BeginSegment(kWithPressure);
  Add(3, kStartMs + kMinute);
  window_->Update();
  for (int c = 0; c < kTrendChannelCount; ++c) {
    const auto series = Pane(c).series();
    ASSERT_EQ(series.size(), 2u);
    EXPECT_EQ(series[0]->count(), 5);
    EXPECT_EQ(series[1]->count(), 3);
    EXPECT_EQ(series[0]->pen().color(), series[1]->pen().color());
  }
  const auto series = Pane(kTrendTemperature).series();
  // The samples are floats, as the sensor sends them.
  EXPECT_THAT(Points(series[1]),
              ElementsAre(QPointF(kStartMs + kMinute, double{20.5f}),
                          QPointF(kStartMs + kMinute + kSecond, double{20.6f}),
                          QPointF(kStartMs + kMinute + 2 * kSecond, double{20.7f})));

  // The next poll appends to the series of its segment; the others stay.
  Add(1, kStartMs + kMinute + 3 * kSecond);
  window_->Update();
  const auto after = Pane(kTrendTemperature).series();
  ASSERT_EQ(after.size(), 2u);
  EXPECT_EQ(after[0], series[0]);
  EXPECT_EQ(after[1], series[1]);
  EXPECT_EQ(after[1]->count(), 4);
  EXPECT_FLOAT_EQ(static_cast<float>(after[1]->at(3).y()), 20.8f);
}

TEST_F(TrendWindowTest, TheSpanChooserSetsTheTimeAxis) {
  Add(2 * 3600, kStartMs);  // two hours
  const int64_t newest = kStartMs + (2 * 3600 - 1) * kSecond;
  struct Case {
    int index;
    const char* caption;
    TrendSpan span;
    int64_t from;
    const char* format;
  };
  const Case cases[] = {
      {1, "Last hour", TrendSpan::kOneHour, newest - 60 * kMinute, "hh:mm"},
      {2, "All", TrendSpan::kAll, kStartMs, "hh:mm:ss"},
      {0, "Last 10 minutes", TrendSpan::kTenMinutes, newest - 10 * kMinute, "hh:mm:ss"},
  };
  for (const Case& c : cases) {
    window_->spanList()->setCurrentIndex(c.index);
    EXPECT_EQ(window_->spanList()->currentText().toStdString(), c.caption);
    EXPECT_EQ(window_->span(), c.span) << c.caption;
    for (int channel = 0; channel < kTrendChannelCount; ++channel) {
      EXPECT_EQ(AxisFrom(channel), c.from) << c.caption;
      EXPECT_EQ(AxisTo(channel), newest) << c.caption;
      EXPECT_EQ(Pane(channel).timeAxis()->format().toStdString(), c.format) << c.caption;
    }
    // No more points than two a pixel column, the newest always drawn.
    const QLineSeries* series = OnlySeries(kTrendDewPoint);
    EXPECT_LE(series->count(), 2 * window_->plot().columns()) << c.caption;
    EXPECT_EQ(series->at(series->count() - 1), QPointF(newest, 2 * 3600 - 1)) << c.caption;
    // The value axis spans the values drawn.
    const QList<QPointF> points = series->points();
    const auto [low, high] =
        std::minmax_element(points.begin(), points.end(),
                            [](const QPointF& a, const QPointF& b) { return a.y() < b.y(); });
    EXPECT_LE(Pane(kTrendDewPoint).valueAxis()->min(), low->y()) << c.caption;
    EXPECT_GE(Pane(kTrendDewPoint).valueAxis()->max(), high->y()) << c.caption;
  }
  EXPECT_EQ(OnlySeries(kTrendDewPoint)->count(), 601);
}

TEST_F(TrendWindowTest, PauseHoldsThePlotAndResumeCatchesUp) {
  Add(10, kStartMs);
  window_->Update();
  window_->pauseButton()->click();
  EXPECT_TRUE(window_->paused());
  EXPECT_EQ(window_->pauseButton()->text().toStdString(), "Resume");
  Add(5, kStartMs + 10 * kSecond);
  window_->Update();
  EXPECT_EQ(OnlySeries(kTrendDewPoint)->count(), 10);
  EXPECT_EQ(AxisTo(kTrendDewPoint), kStartMs + 9 * kSecond);
  EXPECT_THAT(window_->statusLabel()->text().toStdString(), ::testing::EndsWith("(paused)"));
  // Another span while paused still ends where the pause began.
  window_->SetSpan(TrendSpan::kAll);
  EXPECT_EQ(AxisTo(kTrendDewPoint), kStartMs + kMinute);
  EXPECT_EQ(OnlySeries(kTrendDewPoint)->count(), 10);

  window_->pauseButton()->click();
  EXPECT_FALSE(window_->paused());
  EXPECT_EQ(window_->pauseButton()->text().toStdString(), "Pause");
  EXPECT_EQ(OnlySeries(kTrendDewPoint)->count(), 15);
  EXPECT_THAT(window_->statusLabel()->text().toStdString(), ::testing::StartsWith("15 samples"));
}

TEST_F(TrendWindowTest, DrawsOncePerPollAndNotWithoutNews) {
  Add(3, kStartMs);
  window_->Update();
  const int draws = window_->draws();
  window_->Update();
  window_->Update();
  EXPECT_EQ(window_->draws(), draws);
  Add(1, kStartMs + 3 * kSecond);
  window_->Update();
  window_->Update();
  EXPECT_EQ(window_->draws(), draws + 1);
}

TEST_F(TrendWindowTest, ANewConnectionStartsEmptyAndScrolling) {
  Add(10, kStartMs);
  window_->Update();
  window_->SetPaused(true);
  buffer_.Clear();
  window_->Update();
  EXPECT_FALSE(window_->paused());
  for (int c = 0; c < kTrendChannelCount; ++c) EXPECT_TRUE(Pane(c).series().empty());
  // Without samples the span ends now.
  EXPECT_EQ(AxisTo(kTrendDewPoint), kStartMs);
  EXPECT_EQ(AxisFrom(kTrendDewPoint), kStartMs - 10 * kMinute);
}

std::vector<std::string> CsvLines(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
  }
  return lines;
}

TEST_F(TrendWindowTest, SaveButtonsWriteThePictureAndTheData) {
  TempFolder folder;
  Add(30, kStartMs);
  window_->Update();

  chosen_ = folder / "trend.png";
  window_->savePictureButton()->click();
  QImage picture(QString::fromStdString(chosen_->string()));
  ASSERT_FALSE(picture.isNull());
  EXPECT_FALSE(picture.hasAlphaChannel());
  EXPECT_EQ(picture.size(), window_->panesArea()->size() * window_->devicePixelRatio());
  // The dew point line is in the picture, in its colour.
  const QColor lineColour = OnlySeries(kTrendDewPoint)->pen().color();
  bool lineSeen = false;
  for (int y = 0; y < picture.height() / 4 && !lineSeen; ++y) {
    for (int x = 0; x < picture.width() && !lineSeen; ++x) {
      lineSeen = picture.pixelColor(x, y) == lineColour;
    }
  }
  EXPECT_TRUE(lineSeen);

  chosen_ = folder / "trend.csv";
  window_->saveDataButton()->click();
  const std::vector<std::string> lines = CsvLines(*chosen_);
  ASSERT_EQ(lines.size(), 31u);
  EXPECT_EQ(lines[0],
            "Time,Dew point [℃ Td],Alternative value [ppm],Temperature [℃],Pressure [barg]");
  std::vector<std::string> fields;
  std::istringstream last(lines[30]);
  for (std::string field; std::getline(last, field, ',');) fields.push_back(field);
  ASSERT_EQ(fields.size(), 5u);
  EXPECT_EQ(QDateTime::fromString(QString::fromStdString(fields[0]), Qt::ISODateWithMs)
                .toMSecsSinceEpoch(),
            kStartMs + 29 * kSecond);
  EXPECT_THAT(std::vector<std::string>(fields.begin() + 1, fields.end()),
              ElementsAre("29.0", "-29.0", "22.9", "7.29"));
  EXPECT_THAT(choosers_, ElementsAre("Save picture", "Save data"));
  EXPECT_THAT(ui_.messages, IsEmpty());

  // Cancelled: nothing written, nothing said. A file that cannot be written: said.
  chosen_.reset();
  window_->saveDataButton()->click();
  EXPECT_THAT(ui_.messages, IsEmpty());
  chosen_ = folder / "missing" / "trend.csv";
  window_->saveDataButton()->click();
  chosen_ = folder / "missing" / "trend.png";
  window_->savePictureButton()->click();
  EXPECT_THAT(ui_.messages, ElementsAre("The data could not be saved.\n" +
                                            (folder / "missing" / "trend.csv").string(),
                                        "The picture could not be saved.\n" +
                                            (folder / "missing" / "trend.png").string()));
}

// ---------------------------------------------------------------------------------------------
// The "Trend" button of the main window.

class MainWindowTrendTest : public ::testing::Test {
 protected:
  MainWindowTrendTest() {
    LoggingOptions logging;
    logging.folder = folder_.path();
    logging_ = std::make_unique<CLogging>(logging);
    CMeridoDlg::Options options;
    options.settingsFolder = folder_.path();
    options.programFolder = folder_.path();
    view_ = std::make_unique<CMeridoDlgView>(link_, pump_, *logging_, reader_, options);
    view_->SetUiOverride(&ui_);
    view_->Initialise();
  }
  QPushButton* Button(MainButton which) const { return view_->button(which); }

  TempFolder folder_;
  VirtualClock clock_;
  QtEventPump pump_;
  ScriptedUi ui_;
  ScriptedPageReader reader_;
  sim::SensorModel sensor_{0x1030, sim::LinkKind::kProfileF, clock_};
  sim::SimSerialPort port_{sensor_, clock_};
  ServiceLink link_{port_, clock_, pump_};
  std::unique_ptr<CLogging> logging_;
  std::unique_ptr<CMeridoDlgView> view_;
};

TEST_F(MainWindowTrendTest, TrendButtonSitsBelowComPortAndNeedsASensor) {
  auto* column = qobject_cast<QBoxLayout*>(view_->layout()->itemAt(1)->layout());
  ASSERT_NE(column, nullptr);
  EXPECT_EQ(column->indexOf(Button(MainButton::kTrend)),
            column->indexOf(Button(MainButton::kComPort)) + 1);
  EXPECT_EQ(Button(MainButton::kTrend)->text().toStdString(), "Trend");

  // Enabled with a sensor (the rules in full: main_window_test).
  EXPECT_FALSE(Button(MainButton::kTrend)->isEnabled());
  Button(MainButton::kConnect)->click();
  EXPECT_TRUE(Button(MainButton::kTrend)->isEnabled());
  EXPECT_EQ(view_->trendWindow(), nullptr);
  EXPECT_THAT(ui_.messages, IsEmpty());
}

TEST_F(MainWindowTrendTest, TrendWindowFollowsThePollsWithoutBlockingTheWindow) {
  view_->show();
  Button(MainButton::kConnect)->click();
  Button(MainButton::kTrend)->click();
  TrendWindow* trend = view_->trendWindow();
  ASSERT_NE(trend, nullptr);
  EXPECT_TRUE(trend->isVisible());
  EXPECT_EQ(trend->windowModality(), Qt::NonModal);
  EXPECT_TRUE(trend->isWindow());
  EXPECT_EQ(trend->parentWidget(), view_.get());
  EXPECT_EQ(trend->pane(kTrendDewPoint)->valueAxis()->titleText().toStdString(), "℃ Td");

  // Pressed again, the same window comes to the front.
  Button(MainButton::kTrend)->click();
  EXPECT_EQ(view_->trendWindow(), trend);

  Button(MainButton::kOnOff)->click();
  const auto dewPoints = [&] {
    const auto series = trend->pane(kTrendDewPoint)->series();
    return series.empty() ? 0 : series.back()->count();
  };
  ASSERT_TRUE(WaitUntil([&] { return dewPoints() >= 2; }, 5000));
  const TrendBuffer& buffer = view_->dialog().trend();
  const QLineSeries* series = trend->pane(kTrendDewPoint)->series().back();
  EXPECT_EQ(series->at(0).x(), static_cast<double>(buffer.At(0).timeMs));
  EXPECT_FLOAT_EQ(static_cast<float>(series->at(0).y()), buffer.At(0).values[kTrendDewPoint]);

  // Off and disconnected: the samples stay for saving until the next connection.
  Button(MainButton::kOnOff)->click();
  Button(MainButton::kConnect)->click();
  EXPECT_TRUE(trend->isVisible());
  EXPECT_GE(dewPoints(), 2);
  Button(MainButton::kConnect)->click();
  EXPECT_TRUE(trend->pane(kTrendDewPoint)->series().empty());

  // Closing the main window closes the trend window.
  view_->close();
  EXPECT_FALSE(trend->isVisible());
}

TEST(TrendScreenshotOptions, TakeAFileAndATimeOrSayWhatIsWrong) {
  std::string error;
  const auto options = CMeridoApp::ParseArguments(
      {"--simulate", "--screenshot-trend", "t.png", "--screenshot-after", "600"}, error);
  ASSERT_TRUE(options) << error;
  EXPECT_EQ(options->trendScreenshotFile, "t.png");
  EXPECT_EQ(options->screenshotAfterSeconds, 600);

  const std::string badSeconds = "--screenshot-after takes a number of seconds from 1 to 86400";
  const std::pair<std::vector<std::string>, std::string> refused[] = {
      {{"--screenshot-trend"}, "--screenshot-trend needs a file name"},
      {{"--screenshot", "m.png", "--screenshot-after", "0"}, badSeconds},
      {{"--screenshot", "m.png", "--screenshot-after", "86401"}, badSeconds},
      {{"--screenshot", "m.png", "--screenshot-after", "10s"}, badSeconds},
      {{"--screenshot-after", "5"}, "--screenshot-after needs --screenshot or --screenshot-trend"},
  };
  for (const auto& [args, message] : refused) {
    EXPECT_FALSE(CMeridoApp::ParseArguments(args, error)) << message;
    EXPECT_EQ(error, message);
  }
}

}  // namespace
}  // namespace korvin
