#include "app/chart_stack.h"

#include <QAreaSeries>
#include <QChart>
#include <QChartView>
#include <QGraphicsLayout>
#include <QLineSeries>
#include <QMouseEvent>
#include <QPainter>
#include <QValueAxis>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>
#include <functional>

#include "ride/plot_rules.h"

namespace torvix::app {

namespace {

using ride::PlotBand;
using ride::PlotPanel;

const QColor kBack(40, 44, 50);
const QColor kPlotBack(27, 30, 34);
const QColor kText(180, 200, 220);
const QColor kDimText(130, 142, 156);
const QColor kGrid(58, 64, 72);
const QColor kAxisLine(96, 104, 114);
const QColor kVertexLine(150, 162, 178, 80);
const QColor kCursor(230, 236, 242, 170);
const QColor kComfortable(60, 170, 90, 46);
const QColor kTolerable(210, 170, 50, 34);
const QColor kWarning(236, 170, 90);
const QColor kUnasked = [] {
    QColor c(ride::kUnaskedColour);
    c.setAlpha(64);
    return c;
}();

// Fixed margins around every plot area, so the stacked plots share one
// distance axis to the pixel whatever their value labels need.
constexpr int kLeftMargin = 74;
constexpr int kRightMargin = 18;
constexpr int kTopMargin = 9;            // half a label: the top value label stays inside
constexpr int kTopLabelMargin = 20;      // the top plot carries the vertex numbers
constexpr int kBottomMargin = 9;
constexpr int kBottomAxisMargin = 40;    // the bottom plot carries the distance labels
constexpr int kPixelsPerValueTick = 28;  // closer value labels are cut to "..." by the chart
constexpr int kPixelsPerDistanceTick = 80;

QColor BandColour(PlotBand::Kind kind) { return kind == PlotBand::Kind::kComfortable ? kComfortable : kTolerable; }

// Each panel's line colour, by the panel's name.
QColor PanelColour(const PlotPanel& panel) {
    const std::string name = panel.name;
    if (name == "speed") return QColor(90, 200, 230);
    if (name == "vertical") return QColor(240, 150, 70);
    if (name == "lateral") return QColor(120, 170, 255);
    if (name == "roll") return QColor(200, 140, 230);
    return QColor(120, 215, 150);
}

QList<QPointF> Points(const PlotPanel& panel, const ride::RideReport& report, const std::vector<double>* at) {
    QList<QPointF> points;
    points.reserve(static_cast<qsizetype>(report.samples.size()));
    for (std::size_t i = 0; i < report.samples.size(); ++i)
        points.append(QPointF(at ? (*at)[i] : report.samples[i].s, panel.value(report.samples[i])));
    return points;
}

}  // namespace

// ---- one plot

struct ChartStack::Plot {
    const PlotPanel* kind = nullptr;
    QColor colour;
    PlotView* view = nullptr;
    QChart* chart = nullptr;
    QValueAxis* x = nullptr;
    QValueAxis* y = nullptr;
    std::vector<QLineSeries*> main_lines, other_lines;  // more than one where the value wraps
    std::vector<QAreaSeries*> bands;
    QList<QPointF> main_points, other_points;
    QString off_scale;  // the extreme values beyond the scale, when there are any
};

// One chart of the stack. It draws what the stack shows over every plot (the
// vertices, the cursor) from the stack's public face, and reports its size
// and the mouse to whoever listens.
class ChartStack::PlotView : public QChartView {
public:
    PlotView(const ChartStack& stack, const Plot& plot, bool top, bool bottom)
        : QChartView(plot.chart), stack_(stack), plot_(plot), top_(top), bottom_(bottom) {
        setRenderHint(QPainter::Antialiasing);
        setFrameShape(QFrame::NoFrame);
        setBackgroundBrush(kBack);
        setMouseTracking(true);
        setRubberBand(QChartView::HorizontalRubberBand);
        setMinimumHeight(60 + (top ? kTopLabelMargin : 0) + (bottom ? kBottomAxisMargin : 0));
    }

    std::function<void()> resized;
    std::function<void(double)> pointed;

    // Fixed margins: the value labels of every plot get the same room, so
    // the plots' distance axes line up.
    void PlaceArea() {
        const QSizeF size = chart()->size();
        const double top = top_ ? kTopLabelMargin : kTopMargin;
        const double bottom = bottom_ ? kBottomAxisMargin : kBottomMargin;
        chart()->setPlotArea(QRectF(kLeftMargin, top, std::max(10.0, size.width() - kLeftMargin - kRightMargin),
                                    std::max(10.0, size.height() - top - bottom)));
        // The series follow a new plot area at once, the axes only at the
        // chart's next layout; lay it out now so both agree.
        chart()->layout()->invalidate();
        chart()->layout()->activate();
    }

protected:
    void resizeEvent(QResizeEvent* event) override {
        QChartView::resizeEvent(event);
        PlaceArea();
        if (resized) resized();
    }

    void mouseMoveEvent(QMouseEvent* event) override {
        QChartView::mouseMoveEvent(event);
        const QPointF at = chart()->mapFromScene(mapToScene(event->position().toPoint()));
        if (chart()->plotArea().contains(at) && pointed) pointed(chart()->mapToValue(at).x());
    }

    // The plot area's own background, with the unasked stretches shaded on it
    // under the bands, grid and lines.
    void drawBackground(QPainter* painter, const QRectF& rect) override {
        QChartView::drawBackground(painter, rect);
        const QRectF area = chart()->mapRectToScene(chart()->plotArea());
        painter->fillRect(area, kPlotBack);
        for (const ride::RideStretch& r : stack_.unasked_stretches()) {
            const double from = std::max(XOf(r.from), area.left());
            const double to = std::min(std::max(XOf(r.to), XOf(r.from) + 1.5), area.right());
            if (to > from) painter->fillRect(QRectF(from, area.top(), to - from, area.height()), kUnasked);
        }
    }

    void drawForeground(QPainter* painter, const QRectF& rect) override {
        QChartView::drawForeground(painter, rect);
        const QRectF area = chart()->mapRectToScene(chart()->plotArea());
        painter->save();
        painter->setClipping(false);
        QFont small = font();
        small.setPixelSize(9);
        painter->setFont(small);
        DrawVertices(*painter, area);
        if (!plot_.off_scale.isEmpty()) {
            painter->setPen(kWarning);
            painter->drawText(area.adjusted(0, 2, -4, 0), Qt::AlignRight | Qt::AlignTop, plot_.off_scale);
        }
        if (const std::optional<double> cursor = stack_.cursor()) {
            const double x = XOf(*cursor);
            if (x >= area.left() && x <= area.right()) {
                painter->setPen(QPen(kCursor, 1));
                painter->drawLine(QPointF(x, area.top()), QPointF(x, area.bottom()));
            }
        }
        painter->restore();
    }

private:
    double XOf(double s) const { return chart()->mapToScene(chart()->mapToPosition(QPointF(s, 0))).x(); }

    // Dashed lines at the loaded track's vertices; over the top plot their
    // numbers, where they do not crowd each other.
    void DrawVertices(QPainter& painter, const QRectF& area) const {
        const QPen pen(kVertexLine, 1, Qt::DashLine);
        const QFontMetrics metrics(painter.font());
        double last_label_right = -1e9;
        const std::vector<double>& vertices = stack_.vertex_positions();
        for (std::size_t i = 0; i < vertices.size(); ++i) {
            const double x = XOf(vertices[i]);
            if (x < area.left() - 0.5 || x > area.right() + 0.5) continue;
            painter.setPen(pen);
            painter.drawLine(QPointF(x, area.top()), QPointF(x, area.bottom()));
            if (!top_) continue;
            const QString label = QString::number(i);
            const double w = metrics.horizontalAdvance(label);
            if (x - w / 2 < last_label_right + 4 || x + w / 2 > area.right() + kRightMargin) continue;
            painter.setPen(kDimText);
            painter.drawText(QRectF(x - w / 2, area.top() - kTopLabelMargin + 3, w + 1, metrics.height()),
                             Qt::AlignCenter, label);
            last_label_right = x + w / 2;
        }
        if (top_) {
            painter.setPen(kDimText);
            painter.drawText(QRectF(4, area.top() - kTopLabelMargin + 3, kLeftMargin - 8, metrics.height()),
                             Qt::AlignRight | Qt::AlignVCenter, "vertex");
        }
    }

    const ChartStack& stack_;
    const Plot& plot_;
    bool top_;
    bool bottom_;
};

// ---- the stack

ChartStack::ChartStack(QWidget* parent) : QWidget(parent) {
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    const auto& panels = ride::PlotPanels();
    for (std::size_t i = 0; i < panels.size(); ++i) AddPlot(i, i == 0, i + 1 == panels.size());
}

ChartStack::~ChartStack() = default;

void ChartStack::AddPlot(std::size_t panel, bool top, bool bottom) {
    auto plot = std::make_unique<Plot>();
    const PlotPanel& kind = ride::PlotPanels()[panel];
    plot->kind = &kind;
    plot->colour = PanelColour(kind);
    auto* chart = new QChart;
    plot->chart = chart;
    chart->legend()->hide();
    // The view paints both backgrounds, the plot area's with the unasked stretches on it.
    chart->setBackgroundVisible(false);
    chart->setPlotAreaBackgroundVisible(false);
    chart->setMargins(QMargins(0, 0, 0, 0));

    QFont axis_font = font();
    axis_font.setPixelSize(10);
    plot->x = new QValueAxis;
    plot->y = new QValueAxis;
    for (QValueAxis* axis : {plot->x, plot->y}) {
        axis->setLabelsFont(axis_font);
        axis->setLabelsBrush(kText);
        axis->setGridLineColor(kGrid);
        axis->setLinePenColor(kAxisLine);
        axis->setTitleFont(axis_font);
        axis->setTitleBrush(kText);
        axis->setLabelFormat("%.4g");
    }
    plot->x->setLabelFormat("%.0f");
    plot->x->setLabelsVisible(bottom);
    if (bottom) plot->x->setTitleText("distance along the heart line (m)");
    plot->y->setTitleText(kind.title);
    chart->addAxis(plot->x, Qt::AlignBottom);
    chart->addAxis(plot->y, Qt::AlignLeft);

    for (const PlotBand& band : kind.bands) {
        auto* area = new QAreaSeries(new QLineSeries(chart), new QLineSeries(chart));
        area->setObjectName(QString(kind.name) + "_band");
        area->setBrush(BandColour(band.kind));
        area->setPen(Qt::NoPen);
        chart->addSeries(area);
        area->attachAxis(plot->x);
        area->attachAxis(plot->y);
        plot->bands.push_back(area);
    }

    Plot& p = *plot;
    p.view = new PlotView(*this, p, top, bottom);
    p.view->setObjectName(QString(kind.name) + "_plot");
    // Tick counts follow the plot's size.
    p.view->resized = [this, &p, bottom] {
        FitValueAxis(p);
        if (bottom) FitDistanceAxes();
    };
    p.view->pointed = [this](double s) { emit pointed(s); };
    static_cast<QVBoxLayout*>(layout())->addWidget(p.view, top || bottom ? 6 : 5);
    connect(p.x, &QValueAxis::rangeChanged, this, [this](double lo, double hi) { OnDistanceRangeChanged(lo, hi); });
    plots_.push_back(std::move(plot));
}

void ChartStack::DrawLine(Plot& plot, std::vector<QLineSeries*>& lines, const QList<QPointF>& points,
                          const QString& name, const QPen& pen, bool visible) {
    for (QLineSeries* series : lines) {
        plot.chart->removeSeries(series);
        delete series;
    }
    lines.clear();
    QList<QPointF> piece;
    auto add = [&] {
        auto* series = new QLineSeries;
        series->setObjectName(name);
        series->setPen(pen);
        plot.chart->addSeries(series);
        series->attachAxis(plot.x);
        series->attachAxis(plot.y);
        series->replace(piece);
        series->setVisible(visible);
        lines.push_back(series);
        piece.clear();
    };
    for (qsizetype i = 0; i < points.size(); ++i) {
        if (i > 0 && ride::WrapsBetween(*plot.kind, points[i - 1].y(), points[i].y())) add();
        piece.append(points[i]);
    }
    add();
}

void ChartStack::SetRide(const ride::RideReport& report, std::vector<double> vertex_s) {
    vertex_s_ = std::move(vertex_s);
    unasked_ = report.summary.unasked_stretches;
    ride_end_ = report.samples.empty() ? 1 : report.samples.back().s;
    for (auto& plot : plots_) {
        plot->main_points = Points(*plot->kind, report, nullptr);
        DrawLine(*plot, plot->main_lines, plot->main_points, plot->kind->name, QPen(plot->colour, 1.5), true);
        FillBands(*plot);
        plot->view->viewport()->update();
    }
}

void ChartStack::SetOther(const ride::RideReport& other, const std::vector<double>& positions) {
    if (!positions.empty()) other_end_ = positions.back();
    for (auto& plot : plots_) {
        QColor c = plot->colour.lighter(135);
        c.setAlpha(210);
        plot->other_points = Points(*plot->kind, other, &positions);
        DrawLine(*plot, plot->other_lines, plot->other_points, QString(plot->kind->name) + "_other",
                 QPen(c, 1.3, Qt::DashLine), other_shown_);
        FillBands(*plot);
    }
}

void ChartStack::ShowOther(bool on) {
    other_shown_ = on;
    for (auto& plot : plots_)
        for (QLineSeries* series : plot->other_lines) series->setVisible(on);
    const auto [lo, hi] = distance_range();
    OnDistanceRangeChanged(lo, hi);
}

// Bands reach over every ride drawn.
void ChartStack::FillBands(Plot& plot) {
    const double end = std::max(ride_end_, other_end_);
    for (std::size_t b = 0; b < plot.bands.size(); ++b) {
        const PlotBand& band = plot.kind->bands[b];
        plot.bands[b]->upperSeries()->replace({QPointF(0, band.hi), QPointF(end, band.hi)});
        plot.bands[b]->lowerSeries()->replace({QPointF(0, band.lo), QPointF(end, band.lo)});
    }
}

void ChartStack::SetCursor(double s) {
    cursor_ = s;
    for (auto& plot : plots_) plot->view->viewport()->update();
}

std::pair<double, double> ChartStack::distance_range() const {
    if (plots_.empty()) return {0, 0};
    return {plots_.front()->x->min(), plots_.front()->x->max()};
}

void ChartStack::FitValueAxis(Plot& plot) {
    // Plain copies: clang 14 does not let a lambda capture structured bindings.
    const auto range = distance_range();
    const double lo = range.first, hi = range.second;
    std::vector<double> values;
    auto take = [&](const QList<QPointF>& points) {
        for (const QPointF& p : points)
            if (p.x() >= lo && p.x() <= hi && std::isfinite(p.y())) values.push_back(p.y());
    };
    take(plot.main_points);
    if (other_shown_) take(plot.other_points);
    auto [min, max] = ride::ValueRange(values, plot.kind->floor_lo, plot.kind->floor_hi);

    const int height = plot.view ? static_cast<int>(plot.chart->plotArea().height()) : 0;
    const int ticks = std::max(2, height / kPixelsPerValueTick);
    const ride::PlotAxis axis = ride::ValueAxis(*plot.kind, min, max, ticks);
    plot.y->setTickType(QValueAxis::TicksDynamic);
    plot.y->setTickAnchor(0);
    plot.y->setTickInterval(axis.step);
    // Room for half a label beyond the end ticks: the chart drops a label that
    // would reach past the plot.
    const double pad = height > 0 ? (axis.hi - axis.lo) * 7.0 / height : 0;
    plot.y->setRange(axis.lo == 0 && min >= 0 ? 0 : axis.lo - pad, axis.hi + pad);

    plot.off_scale.clear();
    if (!values.empty() && (values.front() < axis.lo || values.back() > axis.hi)) {
        QStringList beyond;
        if (values.front() < axis.lo) beyond << QString::number(values.front(), 'f', 2);
        if (values.back() > axis.hi) beyond << QString::number(values.back(), 'f', 2);
        plot.off_scale = QString("off scale: %1 %2").arg(beyond.join(" and "), plot.kind->unit);
    }
}

void ChartStack::FitDistanceAxes() {
    if (plots_.empty()) return;
    const auto [lo, hi] = distance_range();
    const int width = static_cast<int>(plots_.back()->chart->plotArea().width());
    const double step = ride::TickStep(hi - lo, std::max(2, width / kPixelsPerDistanceTick));
    for (auto& plot : plots_) {
        plot->x->setTickType(QValueAxis::TicksDynamic);
        plot->x->setTickAnchor(0);
        plot->x->setTickInterval(step);
    }
}

void ChartStack::OnDistanceRangeChanged(double lo, double hi) {
    if (syncing_) return;
    syncing_ = true;
    for (auto& plot : plots_) plot->x->setRange(lo, hi);
    FitDistanceAxes();
    for (auto& plot : plots_) {
        FitValueAxis(*plot);
        plot->view->PlaceArea();
        plot->view->viewport()->update();
    }
    syncing_ = false;
}

void ChartStack::SetDistanceRange(double lo, double hi) {
    if (!(hi > lo)) hi = lo + 1;
    plots_.front()->x->setRange(lo, hi);
    // setRange emits nothing when the range is unchanged; refit anyway.
    OnDistanceRangeChanged(lo, hi);
}

double ChartStack::RideEnd() const { return other_shown_ && other_end_ > 0 ? std::max(ride_end_, other_end_) : ride_end_; }

void ChartStack::ResetZoom() { SetDistanceRange(0, RideEnd()); }

}  // namespace torvix::app
