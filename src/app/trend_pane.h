#pragma once

#include <QChartView>
#include <QString>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "app/trend_plot.h"

class QDateTimeAxis;
class QLineSeries;
class QValueAxis;

namespace korvin {

// One channel of the trend: a chart with a date-time axis below and the channel's value axis,
// titled with its unit, on the left. Each polling segment is a line series of its own, so
// polling off and on again leaves a gap. The plot area keeps fixed margins, so the panes of a
// window, stacked, share their time scale pixel for pixel.
class TrendPane final : public QChartView {
  Q_OBJECT

 public:
  static constexpr int kLeftMargin = 86;
  static constexpr int kRightMargin = 40;
  static constexpr int kTopMargin = 42;
  static constexpr int kBottomMargin = 42;

  TrendPane(std::string_view title, const QColor& colour, QWidget* parent = nullptr);

  void SetUnit(const std::string& unitLabel);
  // Shows the lines: a series per segment, kept while its segment is drawn.
  void Show(const std::vector<PlotLine>& lines, const TimeRange& time, const ValueRange& values,
            const QString& timeFormat, int timeTicks);

  // The plot area's width in pixels.
  int PlotWidth() const;
  QDateTimeAxis* timeAxis() const { return timeAxis_; }
  QValueAxis* valueAxis() const { return valueAxis_; }
  std::vector<QLineSeries*> series() const;

 signals:
  // The pane got a new size, so its plot area may have another width.
  void resized();

 protected:
  void resizeEvent(QResizeEvent* event) override;

 private:
  struct Line {
    uint64_t segment = 0;
    QLineSeries* series = nullptr;
  };

  QLineSeries* NewSeries();

  QColor colour_;
  QDateTimeAxis* timeAxis_ = nullptr;
  QValueAxis* valueAxis_ = nullptr;
  std::vector<Line> lines_;
};

}  // namespace korvin
