#include "app/ride_report_window.h"

#include <QAreaSeries>
#include <QChart>
#include <QChartView>
#include <QCheckBox>
#include <QFileInfo>
#include <QGraphicsLayout>
#include <QHBoxLayout>
#include <QImage>
#include <QLabel>
#include <QLineSeries>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QRegularExpression>
#include <QValueAxis>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>

#include "app/file_dialogs.h"

namespace torvix {

namespace {

using ride::RideReport;
using ride::RideSample;

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

// Fixed margins around every plot area, so the stacked plots share one
// distance axis to the pixel whatever their value labels need.
constexpr int kLeftMargin = 74;
constexpr int kRightMargin = 18;
constexpr int kTopMargin = 9;         // half a label: the top value label stays inside
constexpr int kTopLabelMargin = 20;     // the top plot carries the vertex numbers
constexpr int kBottomMargin = 9;
constexpr int kBottomAxisMargin = 40;   // the bottom plot carries the distance labels
constexpr int kPixelsPerValueTick = 28;  // closer value labels are cut to "..." by the chart
constexpr int kPixelsPerDistanceTick = 80;

struct Band {
    double lo, hi;
    QColor colour;
};

struct PlotSpec {
    const char* name;   // object name of the run's series; the other method's adds "_other"
    const char* title;  // value axis title
    const char* unit;
    QColor colour;
    double (*value)(const RideSample&);
    double floor_lo, floor_hi;  // always shown, so the bands keep their meaning
    std::vector<Band> bands;
};

const std::vector<PlotSpec>& Specs() {
    static const std::vector<PlotSpec> specs = {
        {"speed", "speed (m/s)", "m/s", QColor(90, 200, 230), [](const RideSample& p) { return p.speed; }, 0, 5, {}},
        {"vertical", "vertical (g)", "g", QColor(240, 150, 70), [](const RideSample& p) { return p.vertical; }, -0.5,
         4.5, {{0, 4, kComfortable}}},
        {"lateral", "lateral (g)", "g", QColor(120, 170, 255), [](const RideSample& p) { return p.lateral; }, -1.2, 1.2,
         {{-1, 1, kTolerable}, {-0.3, 0.3, kComfortable}}},
        {"roll", "roll (°)", "°", QColor(200, 140, 230), [](const RideSample& p) { return p.roll; }, -45, 45, {}},
        {"roll_rate", "roll rate (°/s)", "°/s", QColor(120, 215, 150), [](const RideSample& p) { return p.roll_rate; },
         -60, 60, {}},
    };
    return specs;
}

QString Num(double v, int digits) { return QString::number(v, 'f', digits); }

QString Mode(SolverMode mode) { return QString::fromLatin1(ModeName(mode)); }

QString OtherMode(SolverMode mode) {
    return Mode(mode == SolverMode::kLiteral ? SolverMode::kRefined : SolverMode::kLiteral);
}

// The sample nearest to heart-line distance `s`; samples are in ride order.
const RideSample* NearestSample(const RideReport& report, double s) {
    const auto& samples = report.samples;
    if (samples.empty()) return nullptr;
    auto it = std::lower_bound(samples.begin(), samples.end(), s,
                               [](const RideSample& p, double value) { return p.s < value; });
    if (it == samples.end()) return &samples.back();
    if (it != samples.begin() && s - std::prev(it)->s < it->s - s) --it;
    return &*it;
}

// Each figure kept whole when the readout wraps.
QString SampleValues(const RideSample& p) {
    return QString("speed %1 m/s   vertical %2 g   lateral %3 g   roll %4°   roll rate %5 °/s")
        .arg(Num(p.speed, 2), Num(p.vertical, 2), Num(p.lateral, 2), Num(p.roll, 1), Num(p.roll_rate, 0))
        .replace(QRegularExpression("(?<=\\S) (?=\\S)"), QString(QChar(0x00A0)));
}

QString Escape(const QString& s) { return s.toHtmlEscaped(); }

std::vector<Vector3> DrawnVertices(const Track& track) {
    std::vector<Vector3> drawn;
    const auto count = static_cast<std::size_t>(std::max<Long>(0, track.bezr.vertex_count));
    for (std::size_t i = 0; i < count && i < track.bezr.vertices.size(); ++i)
        drawn.push_back(track.bezr.vertices[i].position);
    return drawn;
}

// A tick step of 1, 2, 2.5 or 5 times a power of ten that splits `span` into
// at most `ticks` intervals.
double NiceStep(double span, int ticks) {
    if (!(span > 0)) return 1;
    const double raw = span / std::max(1, ticks);
    const double power = std::pow(10.0, std::floor(std::log10(raw)));
    for (double m : {1.0, 2.0, 2.5, 5.0, 10.0})
        if (m * power >= raw) return m * power;
    return 10 * power;
}

// Range of the values a plot shows. A few spikes far beyond the rest would
// flatten everything else (and the comfort bands) into a line, so the scale
// follows the bulk of the values and the spikes run off it; the plot says so.
std::pair<double, double> ValueRange(std::vector<double>& values, double floor_lo, double floor_hi) {
    double lo = floor_lo, hi = floor_hi;
    if (values.empty()) return {lo, hi};
    std::sort(values.begin(), values.end());
    const double min = values.front(), max = values.back();
    const auto at = [&](double q) { return values[static_cast<std::size_t>(q * double(values.size() - 1))]; };
    const double q_lo = at(0.005), q_hi = at(0.995);
    const double bulk = std::max(q_hi - q_lo, floor_hi - floor_lo);
    // Up to the bulk's spread again beyond it is still shown whole.
    lo = std::min(lo, std::max(min, q_lo - bulk));
    hi = std::max(hi, std::min(max, q_hi + bulk));
    return {lo, hi};
}

}  // namespace

// ---- one plot

struct RideReportWindow::Plot {
    const PlotSpec* kind = nullptr;
    PlotView* view = nullptr;
    QChart* chart = nullptr;
    QValueAxis* x = nullptr;
    QValueAxis* y = nullptr;
    QLineSeries* main = nullptr;
    QLineSeries* other = nullptr;
    std::vector<QAreaSeries*> bands;
    QString off_scale;  // the extreme values beyond the scale, when there are any
};

class RideReportWindow::PlotView : public QChartView {
public:
    PlotView(Plot* plot, RideReportWindow* owner, bool top, bool bottom)
        : QChartView(plot->chart), plot_(plot), owner_(owner), top_(top), bottom_(bottom) {
        setRenderHint(QPainter::Antialiasing);
        setFrameShape(QFrame::NoFrame);
        setBackgroundBrush(kBack);
        setMouseTracking(true);
        setRubberBand(QChartView::HorizontalRubberBand);
        setMinimumHeight(60 + (top ? kTopLabelMargin : 0) + (bottom ? kBottomAxisMargin : 0));
    }

protected:
public:
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
        // Tick counts follow the plot's size.
        owner_->FitValueAxis(*plot_);
        if (bottom_) owner_->FitDistanceAxes();
    }

    void mouseMoveEvent(QMouseEvent* event) override {
        QChartView::mouseMoveEvent(event);
        const QPointF at = chart()->mapFromScene(mapToScene(event->position().toPoint()));
        if (chart()->plotArea().contains(at)) owner_->ShowValuesAt(chart()->mapToValue(at).x());
    }

    void drawForeground(QPainter* painter, const QRectF& rect) override {
        QChartView::drawForeground(painter, rect);
        const QRectF area = chart()->mapRectToScene(chart()->plotArea());
        auto x_of = [this](double s) { return chart()->mapToScene(chart()->mapToPosition(QPointF(s, 0))).x(); };
        painter->save();
        painter->setClipping(false);
        QPen pen(kVertexLine, 1, Qt::DashLine);
        painter->setPen(pen);
        QFont small = font();
        small.setPixelSize(9);
        painter->setFont(small);
        const QFontMetrics metrics(small);
        double last_label_right = -1e9;
        const std::vector<double>& vertices = owner_->vertex_s_;
        for (std::size_t i = 0; i < vertices.size(); ++i) {
            const double x = x_of(vertices[i]);
            if (x < area.left() - 0.5 || x > area.right() + 0.5) continue;
            painter->setPen(pen);
            painter->drawLine(QPointF(x, area.top()), QPointF(x, area.bottom()));
            if (!top_) continue;
            // Vertex numbers where they do not crowd each other.
            const QString label = QString::number(i);
            const double w = metrics.horizontalAdvance(label);
            if (x - w / 2 < last_label_right + 4 || x + w / 2 > area.right() + kRightMargin) continue;
            painter->setPen(kDimText);
            painter->drawText(QRectF(x - w / 2, area.top() - kTopLabelMargin + 3, w + 1, metrics.height()),
                              Qt::AlignCenter, label);
            last_label_right = x + w / 2;
        }
        if (top_) {
            painter->setPen(kDimText);
            painter->drawText(QRectF(4, area.top() - kTopLabelMargin + 3, kLeftMargin - 8, metrics.height()),
                              Qt::AlignRight | Qt::AlignVCenter, "vertex");
        }
        if (!plot_->off_scale.isEmpty()) {
            painter->setPen(kWarning);
            painter->drawText(area.adjusted(0, 2, -4, 0), Qt::AlignRight | Qt::AlignTop, plot_->off_scale);
        }
        if (owner_->cursor_s_) {
            const double x = x_of(*owner_->cursor_s_);
            if (x >= area.left() && x <= area.right()) {
                painter->setPen(QPen(kCursor, 1));
                painter->drawLine(QPointF(x, area.top()), QPointF(x, area.bottom()));
            }
        }
        painter->restore();
    }

private:
    Plot* plot_;
    RideReportWindow* owner_;
    bool top_;
    bool bottom_;
};

// ---- the window

RideReportWindow::RideReportWindow(RideReportRun run, FileDialogs* dialogs, QWidget* parent)
    : QWidget(parent, Qt::Window), run_(std::move(run)), dialogs_(dialogs) {
    setObjectName("rideReport");
    // Closing the main window ends the program even while a report is open.
    setAttribute(Qt::WA_QuitOnClose, false);
    setWindowTitle(QString("Ride report - %1 (%2)").arg(run_.track_name, Mode(run_.mode)));

    const ride::RideParams params{run_.params.heartline, run_.params.start_speed, run_.params.end_speed,
                                  kRideReportStep};
    report_ = ride::MeasureRide(run_.result, params);
    vertex_s_ = ride::LocateAlong(report_, DrawnVertices(run_.input));
    deviation_ = ride::HeartDeviationMax(report_, run_.input);

    QPalette p = palette();
    p.setColor(QPalette::Window, kBack);
    p.setColor(QPalette::Base, kPlotBack);
    p.setColor(QPalette::Button, QColor(56, 62, 70));
    for (auto role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText}) p.setColor(role, kText);
    p.setColor(QPalette::Link, QColor(140, 190, 250));
    p.setColor(QPalette::Disabled, QPalette::WindowText, kDimText);
    p.setColor(QPalette::Disabled, QPalette::ButtonText, kDimText);
    setPalette(p);
    setAutoFillBackground(true);

    BuildPlots();
    BuildPanel();
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(8, 8, 8, 8);
    layout->addWidget(plot_area_, 1);
    auto* side = new QWidget(this);
    auto* side_layout = new QVBoxLayout(side);
    side_layout->setContentsMargins(8, 0, 0, 0);
    side_layout->addWidget(summary_);
    side_layout->addSpacing(6);
    side_layout->addWidget(compare_);
    side_layout->addWidget(status_);
    side_layout->addStretch(1);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(whole_);
    buttons->addWidget(export_);
    side_layout->addLayout(buttons);
    side->setFixedWidth(400);
    layout->addWidget(side);

    if (!report_.ok) SetStatus("The ride stops short: " + QString::fromStdString(report_.message));
    RefreshSummary();
    ResetZoom();
    resize(1240, 860);
}

RideReportWindow::~RideReportWindow() = default;

void RideReportWindow::BuildPlots() {
    plot_area_ = new QWidget(this);
    plot_area_->setAutoFillBackground(true);
    auto* column = new QVBoxLayout(plot_area_);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);

    heading_ = new QLabel(plot_area_);
    heading_->setObjectName("rideHeading");
    const HeartlineParams& hp = run_.params;
    heading_->setText(QString("<b>%1</b> &nbsp; %2 banking · heartline %3 m · %4 → %5 m/s · %6 × %7 · Filter %8"
                              " · %9 reading of the rolls")
                          .arg(Escape(run_.track_name), Mode(run_.mode), Num(hp.heartline, 2),
                               Num(hp.start_speed, 1), Num(hp.end_speed, 1))
                          .arg(hp.segments)
                          .arg(hp.precision)
                          .arg(hp.filter)
                          .arg(railframe::ReadingName(report_.params.reading)));
    heading_->setContentsMargins(kLeftMargin, 0, 0, 4);
    column->addWidget(heading_);

    const auto& specs = Specs();
    for (std::size_t i = 0; i < specs.size(); ++i) {
        auto plot = std::make_unique<Plot>();
        plot->kind = &specs[i];
        const bool top = i == 0, bottom = i + 1 == specs.size();
        auto* chart = new QChart;
        plot->chart = chart;
        chart->legend()->hide();
        chart->setBackgroundBrush(kBack);
        chart->setBackgroundRoundness(0);
        chart->setPlotAreaBackgroundBrush(kPlotBack);
        chart->setPlotAreaBackgroundVisible(true);
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
        plot->y->setTitleText(specs[i].title);
        chart->addAxis(plot->x, Qt::AlignBottom);
        chart->addAxis(plot->y, Qt::AlignLeft);

        for (const Band& band : specs[i].bands) {
            auto* upper = new QLineSeries(chart);
            auto* lower = new QLineSeries(chart);
            auto* area = new QAreaSeries(upper, lower);
            area->setObjectName(QString(specs[i].name) + "_band");
            area->setBrush(band.colour);
            area->setPen(Qt::NoPen);
            chart->addSeries(area);
            area->attachAxis(plot->x);
            area->attachAxis(plot->y);
            plot->bands.push_back(area);
        }

        plot->main = new QLineSeries;
        plot->main->setObjectName(specs[i].name);
        plot->main->setPen(QPen(specs[i].colour, 1.5));
        chart->addSeries(plot->main);
        plot->main->attachAxis(plot->x);
        plot->main->attachAxis(plot->y);
        FillSeries(*plot, report_, false);

        plot->view = new PlotView(plot.get(), this, top, bottom);
        plot->view->setObjectName(QString(specs[i].name) + "_plot");
        column->addWidget(plot->view, top || bottom ? 6 : 5);
        connect(plot->x, &QValueAxis::rangeChanged, this,
                [this](double lo, double hi) { OnDistanceRangeChanged(lo, hi); });
        plots_.push_back(std::move(plot));
    }

    readout_ = new QLabel(plot_area_);
    readout_->setObjectName("rideReadout");
    readout_->setContentsMargins(kLeftMargin, 4, 0, 0);
    readout_->setText("Point at a plot to read the values there; drag across a plot to zoom in, "
                      "right-click to zoom out.");
    readout_->setWordWrap(true);
    // Room for this run's values and the other method's, wrapped, without the plots jumping.
    readout_->setFixedHeight(3 * readout_->fontMetrics().lineSpacing() + 8);
    readout_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    column->addWidget(readout_);
}

void RideReportWindow::BuildPanel() {
    summary_ = new QLabel(this);
    summary_->setObjectName("rideSummary");
    summary_->setTextFormat(Qt::RichText);
    summary_->setWordWrap(true);
    summary_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    summary_->setTextInteractionFlags(Qt::TextBrowserInteraction);
    connect(summary_, &QLabel::linkActivated, this, [this](const QString& link) {
        // Links name a distance: show 60 m around it and read the values there.
        bool ok = false;
        const double s = link.toDouble(&ok);
        if (!ok) return;
        SetDistanceRange(std::max(0.0, s - 30), s + 30);
        ShowValuesAt(s);
    });

    status_ = new QLabel(this);
    status_->setObjectName("rideStatus");
    status_->setWordWrap(true);
    QPalette warn = status_->palette();
    warn.setColor(QPalette::WindowText, kWarning);
    status_->setPalette(warn);
    status_->hide();

    compare_ = new QCheckBox("Compare with the other mode", this);
    compare_->setObjectName("rideCompare");
    compare_->setToolTip(QString("Run the %1 method on the loaded track with the same settings and draw its "
                                 "ride dashed over this one.")
                             .arg(OtherMode(run_.mode)));
    connect(compare_, &QCheckBox::toggled, this, &RideReportWindow::SetCompare);

    whole_ = new QPushButton("Whole ride", this);
    whole_->setObjectName("rideWhole");
    whole_->setToolTip("Show the whole ride on every plot.");
    connect(whole_, &QPushButton::clicked, this, &RideReportWindow::ResetZoom);

    export_ = new QPushButton("Export PNG...", this);
    export_->setObjectName("rideExport");
    export_->setToolTip("Save the plots as a PNG picture.");
    connect(export_, &QPushButton::clicked, this, [this] { ExportPng(); });
}

void RideReportWindow::FillSeries(Plot& plot, const RideReport& report, bool other) {
    QList<QPointF> points;
    points.reserve(static_cast<qsizetype>(report.samples.size()));
    for (std::size_t i = 0; i < report.samples.size(); ++i)
        points.append(QPointF(other ? other_s_[i] : report.samples[i].s, plot.kind->value(report.samples[i])));
    QLineSeries* series = other ? plot.other : plot.main;
    series->replace(points);

    // Bands reach over every ride shown.
    double end = report_.samples.empty() ? 1 : report_.samples.back().s;
    if (!other_s_.empty()) end = std::max(end, other_s_.back());
    for (std::size_t b = 0; b < plot.bands.size(); ++b) {
        const Band& band = plot.kind->bands[b];
        plot.bands[b]->upperSeries()->replace({QPointF(0, band.hi), QPointF(end, band.hi)});
        plot.bands[b]->lowerSeries()->replace({QPointF(0, band.lo), QPointF(end, band.lo)});
    }
}

std::pair<double, double> RideReportWindow::distance_range() const {
    if (plots_.empty()) return {0, 0};
    return {plots_.front()->x->min(), plots_.front()->x->max()};
}

void RideReportWindow::FitValueAxis(Plot& plot) {
    // Plain copies: clang 14 does not let a lambda capture structured bindings.
    const auto range = distance_range();
    const double lo = range.first, hi = range.second;
    std::vector<double> values;
    auto take = [&](const RideReport& report, const std::vector<double>* at) {
        for (std::size_t i = 0; i < report.samples.size(); ++i) {
            const double s = at ? (*at)[i] : report.samples[i].s;
            const double v = plot.kind->value(report.samples[i]);
            if (s >= lo && s <= hi && std::isfinite(v)) values.push_back(v);
        }
    };
    take(report_, nullptr);
    if (other_ && plot.other && plot.other->isVisible()) take(*other_, &other_s_);
    auto [min, max] = ValueRange(values, plot.kind->floor_lo, plot.kind->floor_hi);

    const int height = plot.view ? static_cast<int>(plot.chart->plotArea().height()) : 0;
    const int ticks = std::max(2, height / kPixelsPerValueTick);
    const double step = NiceStep((max - min) * 1.04, ticks);
    const double axis_lo = plot.kind->floor_lo == 0 && min >= 0 ? 0 : std::floor((min - (max - min) * 0.02) / step) * step;
    const double axis_hi = std::ceil((max + (max - min) * 0.02) / step) * step;
    plot.y->setTickType(QValueAxis::TicksDynamic);
    plot.y->setTickAnchor(0);
    plot.y->setTickInterval(step);
    // Room for half a label beyond the end ticks: the chart drops a label that
    // would reach past the plot.
    const double pad = height > 0 ? (axis_hi - axis_lo) * 7.0 / height : 0;
    plot.y->setRange(axis_lo == 0 && min >= 0 ? 0 : axis_lo - pad, axis_hi + pad);

    plot.off_scale.clear();
    if (!values.empty() && (values.front() < axis_lo || values.back() > axis_hi)) {
        QStringList beyond;
        if (values.front() < axis_lo) beyond << Num(values.front(), 2);
        if (values.back() > axis_hi) beyond << Num(values.back(), 2);
        plot.off_scale = QString("off scale: %1 %2").arg(beyond.join(" and "), plot.kind->unit);
    }
}

void RideReportWindow::FitDistanceAxes() {
    if (plots_.empty()) return;
    const auto [lo, hi] = distance_range();
    const int width = static_cast<int>(plots_.back()->chart->plotArea().width());
    const double step = NiceStep(hi - lo, std::max(2, width / kPixelsPerDistanceTick));
    for (auto& plot : plots_) {
        plot->x->setTickType(QValueAxis::TicksDynamic);
        plot->x->setTickAnchor(0);
        plot->x->setTickInterval(step);
    }
}

void RideReportWindow::OnDistanceRangeChanged(double lo, double hi) {
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

void RideReportWindow::SetDistanceRange(double lo, double hi) {
    if (!(hi > lo)) hi = lo + 1;
    plots_.front()->x->setRange(lo, hi);
    // setRange emits nothing when the range is unchanged; refit anyway.
    OnDistanceRangeChanged(lo, hi);
}

void RideReportWindow::ResetZoom() {
    double end = report_.samples.empty() ? 1 : report_.samples.back().s;
    if (compare_->isChecked() && !other_s_.empty()) end = std::max(end, other_s_.back());
    SetDistanceRange(0, end);
}

double RideReportWindow::FromOther(double s) const {
    const std::vector<double>& from = other_vertex_s_;
    const std::vector<double>& to = vertex_s_;
    if (from.size() != to.size() || from.size() < 2) return s;
    if (s <= from.front()) return to.front() + (s - from.front());
    if (s >= from.back()) return to.back() + (s - from.back());
    const auto it = std::upper_bound(from.begin(), from.end(), s);
    const std::size_t k = static_cast<std::size_t>(it - from.begin()) - 1;
    const double span = from[k + 1] - from[k];
    if (!(span > 1e-9)) return to[k];
    return to[k] + (s - from[k]) / span * (to[k + 1] - to[k]);
}

int RideReportWindow::InputCurveAt(double s) const {
    const int curves = static_cast<int>(vertex_s_.size()) - 1;
    if (curves < 1) return 0;
    const auto it = std::upper_bound(vertex_s_.begin(), vertex_s_.end(), s);
    const int k = static_cast<int>(it - vertex_s_.begin()) - 1;
    return std::clamp(k, 0, curves - 1);
}

void RideReportWindow::ShowValuesAt(double s) {
    const RideSample* p = NearestSample(report_, s);
    if (p == nullptr) return;
    cursor_s_ = p->s;
    QString text = QString("%1 m, input curve %2 (new curve %3):   %4")
                       .arg(Num(p->s, 1))
                       .arg(InputCurveAt(p->s))
                       .arg(p->curve)
                       .arg(SampleValues(*p));
    if (other_ && compare_->isChecked() && !other_s_.empty()) {
        auto it = std::lower_bound(other_s_.begin(), other_s_.end(), p->s);
        if (it == other_s_.end() || (it != other_s_.begin() && p->s - *std::prev(it) < *it - p->s)) --it;
        if (std::abs(*it - p->s) < 1.0) {
            const RideSample& q = other_->samples[static_cast<std::size_t>(it - other_s_.begin())];
            text += QString("\n%1 run:   %2").arg(OtherMode(run_.mode), SampleValues(q));
        }
    }
    readout_->setText(text);
    for (auto& plot : plots_) plot->view->viewport()->update();
}

QString RideReportWindow::readout_text() const { return readout_->text(); }
QString RideReportWindow::status_text() const { return status_->isHidden() ? QString() : status_->text(); }
QString RideReportWindow::summary_text() const { return summary_->text(); }

void RideReportWindow::SetStatus(const QString& text) {
    status_->setText(text);
    status_->setVisible(!text.isEmpty());
}

void RideReportWindow::SetCompare(bool on) {
    if (compare_->isChecked() != on) {
        compare_->setChecked(on);  // comes back here through the signal
        return;
    }
    const QString other_name = OtherMode(run_.mode);
    if (on && !other_tried_) {
        other_tried_ = true;
        Track other_track = run_.input;
        const SolverMode other_mode = run_.mode == SolverMode::kLiteral ? SolverMode::kRefined : SolverMode::kLiteral;
        const SolveResult result = SolveHeartlineWith(other_mode, other_track, run_.publiclength, run_.params);
        if (result.ok) {
            other_ = ride::MeasureRide(other_track, report_.params);
            other_deviation_ = ride::HeartDeviationMax(*other_, run_.input);
            // Drawn against this run's distance, matched at the loaded track's
            // vertices, so both rides line up curve by curve.
            other_vertex_s_ = ride::LocateAlong(*other_, DrawnVertices(run_.input));
            other_s_.clear();
            for (const RideSample& q : other_->samples) other_s_.push_back(FromOther(q.s));
            for (auto& plot : plots_) {
                plot->other = new QLineSeries;
                plot->other->setObjectName(QString(plot->kind->name) + "_other");
                QColor c = plot->kind->colour.lighter(135);
                c.setAlpha(210);
                plot->other->setPen(QPen(c, 1.3, Qt::DashLine));
                plot->chart->addSeries(plot->other);
                plot->other->attachAxis(plot->x);
                plot->other->attachAxis(plot->y);
                FillSeries(*plot, *other_, true);
            }
        } else {
            other_failure_ = QString::fromStdString(result.message.empty() ? std::string(kValleyMessage)
                                                                            : result.message);
        }
    }
    for (auto& plot : plots_)
        if (plot->other) plot->other->setVisible(on);

    QString status;
    if (!report_.ok) status = "The ride stops short: " + QString::fromStdString(report_.message);
    if (on) {
        QString line;
        if (!other_failure_.isEmpty())
            line = QString("The %1 run failed: %2").arg(other_name, other_failure_);
        else if (other_ && !other_->ok)
            line = QString("Dashed: the %1 run; its ride stops short: %2")
                       .arg(other_name, QString::fromStdString(other_->message));
        if (!line.isEmpty()) status = status.isEmpty() ? line : status + "\n" + line;
    }
    SetStatus(status);
    RefreshSummary();
    const auto [lo, hi] = distance_range();
    OnDistanceRangeChanged(lo, hi);
}

void RideReportWindow::RefreshSummary() {
    const bool two = other_ && compare_->isChecked();
    auto column = [this](const RideReport& r, double deviation, bool other) {
        const ride::RideSummary& s = r.summary;
        auto at = [this, other](double where) {
            return QString(" at %1 m").arg(Num(other ? FromOther(where) : where, 1));
        };
        QStringList rows;
        rows << Num(s.length, 1) + " m, " + Num(s.duration, 1) + " s";
        rows << Num(s.speed_min, 1) + " – " + Num(s.speed_max, 1) + " m/s";
        rows << Num(s.vertical_min, 2) + " g" + at(s.vertical_min_s);
        rows << Num(s.vertical_max, 2) + " g" + at(s.vertical_max_s);
        rows << Num(s.lateral_max, 2) + " g" + at(s.lateral_max_s);
        rows << Num(s.lateral_rms, 3) + " g";
        rows << Num(s.airtime, 2) + " s";
        rows << Num(std::abs(s.bank_error_max), 1) + "°" + at(s.bank_error_max_s);
        rows << Num(s.roll_rate_max, 0) + " °/s" + at(s.roll_rate_max_s);
        rows << (deviation >= 0 ? Num(deviation, 3) + " m" : QString("–"));
        if (s.valley)
            rows << QString("at %1 m, input curve %2; clears from %3 m/s")
                        .arg(Num(other ? FromOther(s.valley->s) : s.valley->s, 1))
                        .arg(InputCurveAt(other ? FromOther(s.valley->s) : s.valley->s))
                        .arg(Num(s.valley->min_start_speed, 1));
        else
            rows << "none";
        return rows;
    };
    static const char* const names[] = {"Heart line",      "Speed",        "Vertical min", "Vertical max",
                                        "Lateral largest", "Lateral RMS",  "Airtime",      "Bank error seated",
                                        "Roll rate max",   "Off the drawn path", "Valley"};
    const QStringList mine = column(report_, deviation_, false);
    QStringList theirs;
    if (two) theirs = column(*other_, other_deviation_.value_or(-1), true);

    QString html = "<style>td{padding:1px 6px 1px 0; white-space:nowrap;} "
                   "th{text-align:left;color:#8e9aa8;font-weight:normal;}</style>";
    html += "<table cellspacing=0>";
    if (two)
        html += QString("<tr><th></th><th>%1</th><th>%2 (dashed)</th></tr>")
                    .arg(Mode(run_.mode), OtherMode(run_.mode));
    for (int i = 0; i < mine.size(); ++i) {
        html += QString("<tr><td style='color:#8e9aa8'>%1</td><td>%2</td>").arg(QString::fromLatin1(names[i]), Escape(mine[i]));
        if (two) html += QString("<td>%1</td>").arg(Escape(theirs[i]));
        html += "</tr>";
    }
    html += "</table>";

    auto peaks = [this](const RideReport& r, const QString& heading, bool other) {
        QString out = "<p style='margin-top:10px'><b>" + heading + "</b><br>";
        if (r.summary.peaks.empty()) out += "none";
        int n = 0;
        for (const ride::RidePeak& p : r.summary.peaks) {
            const double s = other ? FromOther(p.s) : p.s;
            out += QString("%1. <a href='%2' style='color:#8cbefa'>%3 g at %4 m</a> &nbsp;input curve %5<br>")
                       .arg(++n)
                       .arg(s, 0, 'f', 2)
                       .arg(Num(p.lateral, 2), Num(s, 1))
                       .arg(InputCurveAt(s));
        }
        return out + "</p>";
    };
    html += peaks(report_, "Worst lateral spots", false);
    if (two) html += peaks(*other_, QString("Worst lateral spots, %1").arg(OtherMode(run_.mode)), true);
    html += "<p style='color:#8e9aa8'>Bands: vertical 0 to 4 g and lateral within 0.3 g are comfortable, "
            "lateral within 1 g tolerable. Dashed grey lines mark the loaded track's vertices; "
            "curve k runs from vertex k to k + 1.";
    if (two)
        html += " The dashed ride is drawn, and its places given, along this run's heart line, matched at "
                "every vertex of the loaded track.";
    html += "</p>";
    summary_->setText(html);
}

bool RideReportWindow::ExportPng() {
    if (dialogs_ == nullptr) return false;
    std::string file = run_.export_file.toStdString();
    std::string file_title;
    std::string filter = "PNG pictures (*.png)|*.png";
    std::int32_t filter_index = 1;
    std::int32_t flags = 0;
    const std::string folder = QFileInfo(run_.export_file).absolutePath().toStdString();
    if (!dialogs_->ShowSaveDialog(file, file_title, true, filter, filter_index, folder, "Export Ride Report",
                                  "png", this, flags))
        return false;
    return SavePng(QString::fromStdString(file));
}

bool RideReportWindow::SavePng(const QString& path) {
    if (RenderPlots().save(path, "PNG")) {
        run_.export_file = path;
        return true;
    }
    SetStatus("Could not write " + path);
    return false;
}

QImage RideReportWindow::RenderPlots() const { return plot_area_->grab().toImage(); }

}  // namespace torvix
