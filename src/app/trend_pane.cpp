#include "app/trend_pane.h"

#include <QChart>
#include <QDateTime>
#include <QDateTimeAxis>
#include <QLineSeries>
#include <QPen>
#include <QValueAxis>
#include <algorithm>

namespace korvin {

namespace {

constexpr int kChartMargin = 2;
constexpr int kValueTicks = 5;
constexpr qreal kLineWidth = 1.5;

QList<QPointF> Points(const Polyline& points) {
  QList<QPointF> list;
  list.reserve(static_cast<qsizetype>(points.size()));
  for (const PlotPoint& p : points) list.append(QPointF(p.timeMs, p.value));
  return list;
}

}  // namespace

TrendPane::TrendPane(std::string_view title, const QColor& colour, QWidget* parent)
    : QChartView(parent), colour_(colour) {
  auto* chart = new QChart;
  chart->setTitle(QString::fromUtf8(title.data(), static_cast<qsizetype>(title.size())));
  QFont titleFont = chart->titleFont();
  titleFont.setBold(true);
  chart->setTitleFont(titleFont);
  chart->legend()->hide();
  chart->setMargins(QMargins(kChartMargin, kChartMargin, kChartMargin, kChartMargin));
  timeAxis_ = new QDateTimeAxis;
  valueAxis_ = new QValueAxis;
  valueAxis_->setTickCount(kValueTicks);
  chart->addAxis(timeAxis_, Qt::AlignBottom);
  chart->addAxis(valueAxis_, Qt::AlignLeft);
  setChart(chart);
  setRenderHint(QPainter::Antialiasing);
}

void TrendPane::SetUnit(const std::string& unitLabel) {
  const QString title = QString::fromStdString(unitLabel);
  if (valueAxis_->titleText() != title) valueAxis_->setTitleText(title);
}

QLineSeries* TrendPane::NewSeries() {
  auto* series = new QLineSeries;
  QPen pen(colour_);
  pen.setWidthF(kLineWidth);
  series->setPen(pen);
  chart()->addSeries(series);
  series->attachAxis(timeAxis_);
  series->attachAxis(valueAxis_);
  return series;
}

void TrendPane::Show(const std::vector<PlotLine>& lines, const TimeRange& time,
                     const ValueRange& values, const QString& timeFormat, int timeTicks) {
  // Any change to a series or to its axes makes the chart lay out and stroke all the series'
  // points again, and an appended point moves the time axis as well. So the series are emptied
  // first, the axes set while there is nothing to lay out, and each series filled once: one
  // layout per series and poll.
  std::vector<Line> next;
  next.reserve(lines.size());
  for (const PlotLine& wanted : lines) {
    const auto old = std::find_if(lines_.begin(), lines_.end(),
                                  [&](const Line& l) { return l.segment == wanted.segment; });
    if (old == lines_.end()) {
      next.push_back(Line{wanted.segment, NewSeries()});
    } else {
      old->series->clear();
      next.push_back(*old);
      old->series = nullptr;
    }
  }
  for (const Line& gone : lines_) {
    if (gone.series == nullptr) continue;
    chart()->removeSeries(gone.series);
    delete gone.series;
  }
  lines_ = std::move(next);

  if (timeAxis_->format() != timeFormat) timeAxis_->setFormat(timeFormat);
  if (timeAxis_->tickCount() != timeTicks) timeAxis_->setTickCount(timeTicks);
  timeAxis_->setRange(QDateTime::fromMSecsSinceEpoch(time.fromMs),
                      QDateTime::fromMSecsSinceEpoch(time.toMs));
  const AxisScale scale = NiceScale(values, kValueTicks);
  valueAxis_->setRange(scale.min, scale.max);
  valueAxis_->setTickCount(scale.ticks);
  const QString labels = QStringLiteral("%.%1f").arg(scale.decimals);
  if (valueAxis_->labelFormat() != labels) valueAxis_->setLabelFormat(labels);

  for (size_t i = 0; i < lines.size(); ++i) lines_[i].series->replace(Points(lines[i].points));
}

int TrendPane::PlotWidth() const {
  return std::max(width() - kLeftMargin - kRightMargin, 1);
}

std::vector<QLineSeries*> TrendPane::series() const {
  std::vector<QLineSeries*> out;
  for (const Line& line : lines_) out.push_back(line.series);
  return out;
}

void TrendPane::resizeEvent(QResizeEvent* event) {
  QChartView::resizeEvent(event);
  chart()->setPlotArea(QRectF(kLeftMargin, kTopMargin, PlotWidth(),
                              std::max(height() - kTopMargin - kBottomMargin, 1)));
  emit resized();
}

}  // namespace korvin
