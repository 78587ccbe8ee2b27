// Trend figures, printed: what one poll costs the trend when its buffer holds a full day.
//  1. appending a sample to the buffer;
//  2. the plot's update after each poll, for each span (the points it draws);
//  3. the trend window's update after each poll, for each span, offscreen: the plot, the
//     series edits and one paint of the window;
//  4. the memory of the full buffer.
//
//   korvin-bench-trend [folder]    (given: the panes of each span are saved there as a PNG)

#include <QApplication>
#include <QImage>
#include <QPainter>
#include <array>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <string>

#include "app/trend_buffer.h"
#include "app/trend_plot.h"
#include "app/trend_window.h"

namespace {

using Clock = std::chrono::steady_clock;
using korvin::TrendBuffer;
using korvin::TrendSpan;

// 2024-05-06 07:08:09 UTC.
constexpr int64_t kStartMs = 1714979289000;
constexpr int64_t kPollMs = 1000;
constexpr int kPolls = 60;
constexpr int kColumns = 850;
constexpr double kBytesPerMiB = 1024.0 * 1024.0;

double UsSince(Clock::time_point start) {
  return std::chrono::duration<double, std::micro>(Clock::now() - start).count();
}

void AppendPoll(TrendBuffer& buffer, int n) {
  const double wave = std::sin(n / 300.0) * 10;
  buffer.Append(kStartMs + n * kPollMs,
                {static_cast<float>(wave - 40), static_cast<float>(wave + 100),
                 static_cast<float>(20 + wave / 10), static_cast<float>(7 + wave / 100)},
                {2, 1, 1, 3});
}

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication application(argc, argv);
  std::setvbuf(stdout, nullptr, _IOLBF, 0);

  TrendBuffer buffer;
  buffer.BeginSegment({{"℃ Td", "ppm", "℃", "barg"}, true});
  const auto fill = Clock::now();
  const int day = static_cast<int>(buffer.capacity());
  for (int n = 0; n < day; ++n) AppendPoll(buffer, n);
  std::printf("buffer append: %.3f us per sample (%d samples)\n", UsSince(fill) / day, day);
  int next = day;

  for (const korvin::TrendSpanChoice& choice : korvin::kTrendSpans) {
    korvin::TrendPlot plot(buffer);
    plot.SetSpan(choice.span);
    plot.SetColumns(kColumns);
    const auto first = Clock::now();
    plot.Update(buffer.endSequence(), 0);
    const double firstUs = UsSince(first);
    const auto polls = Clock::now();
    for (int i = 0; i < kPolls; ++i) {
      AppendPoll(buffer, next++);
      plot.Update(buffer.endSequence(), 0);
    }
    size_t points = 0;
    for (const auto& line : plot.lines(korvin::kTrendDewPoint)) points += line.points.size();
    std::printf("plot update, %-15s: %8.1f us per poll (first %.1f us), %zu points a line\n",
                std::string(choice.caption).c_str(), UsSince(polls) / kPolls, firstUs, points);
  }

  korvin::TrendWindow window(buffer, [] { return kStartMs; });
  window.show();
  QApplication::processEvents();
  QImage canvas(window.size(), QImage::Format_RGB32);
  for (const korvin::TrendSpanChoice& choice : korvin::kTrendSpans) {
    const auto first = Clock::now();
    window.SetSpan(choice.span);
    const double firstUs = UsSince(first);
    double updateUs = 0;
    double paintUs = 0;
    for (int i = 0; i < kPolls; ++i) {
      AppendPoll(buffer, next++);
      const auto update = Clock::now();
      window.Update();
      updateUs += UsSince(update);
      const auto paint = Clock::now();
      QPainter painter(&canvas);
      window.render(&painter);
      paintUs += UsSince(paint);
    }
    std::printf("window update, %-15s: %8.1f us per poll + paint %8.1f us (first %.1f us)\n",
                std::string(choice.caption).c_str(), updateUs / kPolls, paintUs / kPolls, firstUs);
    if (argc > 1) {
      const std::string file =
          std::string(argv[1]) + "/trend-" + std::to_string(static_cast<int>(choice.span)) + ".png";
      if (!window.SavePicture(file)) std::fprintf(stderr, "could not save %s\n", file.c_str());
    }
  }
  std::printf("buffer memory: %.1f MiB for %zu samples\n",
              static_cast<double>(buffer.capacity() * sizeof(korvin::TrendSample)) / kBytesPerMiB,
              buffer.capacity());
  return 0;
}
