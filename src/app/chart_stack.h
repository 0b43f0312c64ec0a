// The ride report's plots, stacked over one distance axis: one per panel of
// ride::PlotPanels, zoomed together (drag across a plot to zoom in,
// right-click to zoom out), with the loaded track's vertices dashed and
// numbered, a cursor line and, when shown, a second ride drawn dashed.
// Stretches where the riders are turned over though nothing asks for it are
// shaded across every plot; a roll that wraps through +-180 degrees breaks
// its line there. Each plot's value scale follows the bulk of what it shows
// in the zoomed range and says in its corner which values run off it.
#pragma once

#include <QList>
#include <QPointF>
#include <QWidget>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

#include "ride/ride_report.h"

class QLineSeries;
class QPen;

namespace torvix::app {

class ChartStack : public QWidget {
    Q_OBJECT
public:
    explicit ChartStack(QWidget* parent = nullptr);
    ~ChartStack() override;

    // The ride drawn solid, and where the loaded track's vertices lie along it.
    void SetRide(const ride::RideReport& report, std::vector<double> vertex_s);
    // A second ride drawn dashed, each sample at its distance in `positions`
    // (on this ride's axis); hidden until ShowOther(true).
    void SetOther(const ride::RideReport& other, const std::vector<double>& positions);
    void ShowOther(bool on);

    // The cursor line at heart-line distance `s`.
    void SetCursor(double s);
    std::optional<double> cursor() const { return cursor_; }
    const std::vector<double>& vertex_positions() const { return vertex_s_; }
    // The solid ride's unasked stretches, shaded.
    const std::vector<ride::RideStretch>& unasked_stretches() const { return unasked_; }

    // Shows [lo, hi] metres on every plot; ResetZoom shows every ride shown, whole.
    void SetDistanceRange(double lo, double hi);
    void ResetZoom();
    std::pair<double, double> distance_range() const;

signals:
    // The mouse is over a plot at heart-line distance `s`.
    void pointed(double s);

private:
    struct Plot;
    class PlotView;

    void AddPlot(std::size_t panel, bool top, bool bottom);
    // `points` as one line per stretch its value does not wrap within, in place of `lines`.
    void DrawLine(Plot& plot, std::vector<QLineSeries*>& lines, const QList<QPointF>& points,
                  const QString& name, const QPen& pen, bool visible);
    void FillBands(Plot& plot);
    void FitValueAxis(Plot& plot);
    void FitDistanceAxes();
    void OnDistanceRangeChanged(double lo, double hi);
    double RideEnd() const;

    std::vector<std::unique_ptr<Plot>> plots_;
    std::vector<double> vertex_s_;
    std::vector<ride::RideStretch> unasked_;
    double ride_end_ = 1;   // the solid ride's last distance
    double other_end_ = 0;  // the dashed ride's, 0 while there is none
    bool other_shown_ = false;
    std::optional<double> cursor_;
    bool syncing_ = false;
};

}  // namespace torvix::app
