#include "app/ride_report_window.h"

#include <QCheckBox>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QImage>
#include <QLabel>
#include <QPushButton>
#include <QRegularExpression>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>

#include "app/chart_stack.h"
#include "app/file_dialogs.h"
#include "app/run_controller.h"
#include "app/widget_style.h"
#include "ride/plot_rules.h"
#include "ride/ride_alignment.h"
#include "ride/ride_summary.h"
#include "ride/verdict.h"

using namespace torvix::heartline;
using namespace torvix::refined;
using namespace torvix::track;

namespace torvix::app {

namespace {

using ride::RideReport;
using ride::RideSample;

const QColor kBack(40, 44, 50);
const QColor kPlotBack(27, 30, 34);
const QColor kText(180, 200, 220);
const QColor kDimText(130, 142, 156);
const QColor kWarning(236, 170, 90);
constexpr int kLeftMargin = 74;  // the plots' left margin: heading and readout start where the plots do

QString Num(double v, int digits) { return QString::number(v, 'f', digits); }
QString Mode(SolverMode mode) { return QString::fromLatin1(ModeName(mode)); }
SolverMode Other(SolverMode mode) { return mode == SolverMode::kLiteral ? SolverMode::kRefined : SolverMode::kLiteral; }
QString Escape(const QString& s) { return s.toHtmlEscaped(); }

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

// The summary as the window's table shows it: one line per label, rows that
// share a label joined by commas.
using TableLine = std::pair<QString, QString>;
std::vector<TableLine> TableLines(const std::vector<ride::SummaryRow>& rows, const ride::PlaceNaming& places) {
    std::vector<TableLine> lines;
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const QString text = QString::fromStdString(ride::RowText(rows[i], ride::UnitStyle::kSymbols, places));
        if (i > 0 && rows[i].label == rows[i - 1].label) lines.back().second += ", " + text;
        else lines.emplace_back(QString::fromStdString(rows[i].label), text);
    }
    return lines;
}

// A table cell that keeps each figure whole ("0.96 g at 180.7 m") and wraps a
// list only after its commas, so a long row stays within the panel.
QString Cell(const QString& text) {
    return Escape(text).replace(' ', "&nbsp;").replace(",&nbsp;", ", ");
}

// Two rides' lines side by side, matched by label: a ride may have a line the
// other lacks ("Turned over at"), which goes where its own ride lists it.
struct TableRow {
    QString label, mine, other;
};
std::vector<TableRow> SideBySide(const std::vector<TableLine>& mine, const std::vector<TableLine>& other) {
    std::vector<TableRow> rows;
    for (const auto& [label, text] : mine) rows.push_back({label, text, {}});
    std::size_t next = 0;  // where a line only the other ride has goes
    for (const TableLine& line : other) {
        auto it = std::find_if(rows.begin(), rows.end(), [&](const TableRow& r) { return r.label == line.first; });
        if (it == rows.end()) it = rows.insert(rows.begin() + static_cast<std::ptrdiff_t>(std::min(next, rows.size())),
                                               {line.first, {}, {}});
        it->other = line.second;
        next = static_cast<std::size_t>(it - rows.begin()) + 1;
    }
    return rows;
}

// "Ride: harsh  241 g lateral at 50.7 m; ...": the level in its colour, then what decides it.
// `which` names the ride when two are shown ("refined", "literal, dashed").
QString VerdictHtml(const RideReport& report, const QString& which) {
    const ride::RideVerdict verdict = ride::JudgeRide(report);
    const QString name = QString::fromLatin1(ride::VerdictName(verdict.level));
    QString why = QString::fromStdString(verdict.text);
    if (why.startsWith(name + ": ")) why = why.mid(name.size() + 2);
    return QString("<p style='margin-top:0'><b>Ride%1: <span style='color:%2'>%3</span></b> &nbsp;%4</p>")
        .arg(which.isEmpty() ? QString() : " (" + which + ")", VerdictColour(verdict.level).name(), name,
             Escape(why));
}

}  // namespace

MeasuredRide MeasureAgainstDrawn(const Track& ride_track, const Track& drawn, const ride::RideParams& params) {
    MeasuredRide m;
    // Against the drawn track's colours and rolls, as the command line judges a run.
    m.report = ride::MeasureRide(ride_track, params, &drawn);
    m.vertex_s = ride::DrawnVertexDistances(m.report, drawn);
    m.deviation = ride::HeartDeviationMax(m.report, drawn);
    return m;
}

RideReportWindow::RideReportWindow(RideReportRun run, MeasuredRide measured, RunController* runs,
                                   FileDialogs* dialogs, QWidget* parent)
    : QWidget(parent, Qt::Window), run_(std::move(run)), runs_(runs), dialogs_(dialogs), mine_(std::move(measured)) {
    setObjectName("rideReport");
    // Closing the main window ends the program even while a report is open.
    setAttribute(Qt::WA_QuitOnClose, false);
    setWindowTitle(QString("Ride report - %1 (%2)").arg(run_.track_name, Mode(run_.mode)));

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

    BuildPlotArea();
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

    if (!mine_.report.status.ok()) SetStatus("The ride stops short: " + QString::fromStdString(mine_.report.status.message()));
    RefreshSummary();
    ResetZoom();
    resize(1240, 860);
}

RideReportWindow::~RideReportWindow() {
    // Nobody is left to show the comparison: stop its run rather than let it lock the main window.
    if (comparing_ && runs_ != nullptr) runs_->Cancel();
}

void RideReportWindow::BuildPlotArea() {
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
                          .arg(railframe::ReadingName(mine_.report.params.reading)));
    heading_->setContentsMargins(kLeftMargin, 0, 0, 4);
    column->addWidget(heading_);

    charts_ = new ChartStack(plot_area_);
    charts_->SetRide(mine_.report, mine_.vertex_s);
    connect(charts_, &ChartStack::pointed, this, &RideReportWindow::ShowValuesAt);
    column->addWidget(charts_, 1);

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
                             .arg(Mode(Other(run_.mode))));
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

std::pair<double, double> RideReportWindow::distance_range() const { return charts_->distance_range(); }
void RideReportWindow::SetDistanceRange(double lo, double hi) { charts_->SetDistanceRange(lo, hi); }
void RideReportWindow::ResetZoom() { charts_->ResetZoom(); }

double RideReportWindow::FromOther(double s) const {
    return other_ ? ride::MapDistance(other_->vertex_s, mine_.vertex_s, s) : s;
}

void RideReportWindow::ShowValuesAt(double s) {
    const RideSample* p = NearestSample(mine_.report, s);
    if (p == nullptr) return;
    QString text = QString("%1 m, input curve %2 (new curve %3):   %4")
                       .arg(Num(p->s, 1))
                       .arg(ride::CurveAt(mine_.vertex_s, p->s))
                       .arg(p->curve)
                       .arg(SampleValues(*p));
    if (other_ && compare_->isChecked() && !other_s_.empty()) {
        auto it = std::lower_bound(other_s_.begin(), other_s_.end(), p->s);
        if (it == other_s_.end() || (it != other_s_.begin() && p->s - *std::prev(it) < *it - p->s)) --it;
        if (std::abs(*it - p->s) < 1.0) {
            const RideSample& q = other_->report.samples[static_cast<std::size_t>(it - other_s_.begin())];
            text += QString("\n%1 run:   %2").arg(Mode(Other(run_.mode)), SampleValues(q));
        }
    }
    readout_->setText(text);
    charts_->SetCursor(p->s);
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
    if (on && !other_tried_) {
        StartComparison();
        return;
    }
    ShowComparison(on);
}

void RideReportWindow::StartComparison() {
    other_tried_ = true;
    RunRequest request{run_.input, run_.track_length, Other(run_.mode), run_.params};
    const bool started = runs_ != nullptr && runs_->Start(std::move(request), this, [this](RunOutcome& outcome) {
        ComparisonDone(outcome);
    });
    if (!started) {
        other_failure_ = "Another run is in progress.";
        ShowComparison(compare_->isChecked());
        return;
    }
    // The box stays as it is until the run is done.
    comparing_ = true;
    compare_->setEnabled(false);
}

void RideReportWindow::ComparisonDone(RunOutcome& outcome) {
    comparing_ = false;
    compare_->setEnabled(true);
    if (outcome.ok()) {
        other_ = MeasureAgainstDrawn(outcome.track, run_.input, mine_.report.params);
        // Drawn against this run's distance, matched at the loaded track's
        // vertices, so both rides line up curve by curve.
        other_s_.clear();
        for (const RideSample& q : other_->report.samples) other_s_.push_back(FromOther(q.s));
        charts_->SetOther(other_->report, other_s_);
    } else {
        const std::string& why = outcome.cancelled ? std::string(kCancelledMessage) : outcome.result.status.message();
        other_failure_ = QString::fromStdString(why.empty() ? std::string(kValleyMessage) : why);
    }
    ShowComparison(compare_->isChecked());
}

void RideReportWindow::ShowComparison(bool on) {
    QString status;
    if (!mine_.report.status.ok()) status = "The ride stops short: " + QString::fromStdString(mine_.report.status.message());
    if (on) {
        const QString other_name = Mode(Other(run_.mode));
        QString line;
        if (!other_failure_.isEmpty())
            line = QString("The %1 run failed: %2").arg(other_name, other_failure_);
        else if (other_ && !other_->report.status.ok())
            line = QString("Dashed: the %1 run; its ride stops short: %2")
                       .arg(other_name, QString::fromStdString(other_->report.status.message()));
        if (!line.isEmpty()) status = status.isEmpty() ? line : status + "\n" + line;
    }
    SetStatus(status);
    RefreshSummary();
    charts_->ShowOther(on);
}

void RideReportWindow::RefreshSummary() {
    const bool two = other_ && compare_->isChecked();
    const ride::PlaceNaming mine{nullptr, [this](double s, int) {
                                     return "input curve " + std::to_string(ride::CurveAt(mine_.vertex_s, s));
                                 }};
    ride::PlaceNaming theirs = mine;
    theirs.distance = [this](double s) { return FromOther(s); };
    std::vector<TableLine> other_lines;
    if (two) other_lines = TableLines(ride::SummaryRows(other_->report, other_->deviation), theirs);
    const std::vector<TableRow> rows =
        SideBySide(TableLines(ride::SummaryRows(mine_.report, mine_.deviation), mine), other_lines);

    QString html = "<style>td{padding:1px 6px 1px 0;} "
                   "th{text-align:left;color:#8e9aa8;font-weight:normal;}</style>";
    html += VerdictHtml(mine_.report, two ? Mode(run_.mode) : QString());
    if (two) html += VerdictHtml(other_->report, Mode(Other(run_.mode)) + ", dashed");
    html += "<table cellspacing=0>";
    if (two)
        html += QString("<tr><th></th><th>%1</th><th>%2 (dashed)</th></tr>").arg(Mode(run_.mode), Mode(Other(run_.mode)));
    for (const TableRow& row : rows) {
        html += QString("<tr><td style='color:#8e9aa8; white-space:nowrap'>%1</td><td>%2</td>")
                    .arg(row.label, Cell(row.mine));
        if (two) html += QString("<td>%1</td>").arg(Cell(row.other));
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
                       .arg(ride::CurveAt(mine_.vertex_s, s));
        }
        return out + "</p>";
    };
    html += peaks(mine_.report, "Worst lateral spots", false);
    if (two) html += peaks(other_->report, QString("Worst lateral spots, %1").arg(Mode(Other(run_.mode))), true);
    html += "<p style='color:#8e9aa8'>Bands: " + QString::fromLatin1(ride::kBandsText) +
            ". Dashed grey lines mark the loaded track's vertices; "
            "curve k runs from vertex k to k + 1.";
    if (!mine_.report.summary.unasked_stretches.empty())
        html += QString(" <span style='color:%1'>Pink</span>: riders turned over where nothing calls for it.")
                    .arg(QString::fromLatin1(ride::kUnaskedColour));
    if (two)
        html += " The dashed ride is drawn, and its places given, along this run's heart line, matched at "
                "every vertex of the loaded track.";
    html += "</p>";
    summary_->setText(html);
}

bool RideReportWindow::ExportPng() {
    if (dialogs_ == nullptr) return false;
    const std::string folder = QFileInfo(run_.export_file).absolutePath().toStdString();
    const std::optional<std::string> file = dialogs_->Choose(
        SaveRequest(run_.export_file.toStdString(), folder, "Export Ride Report", "PNG pictures (*.png)|*.png", "png"),
        this);
    if (!file) return false;
    return SavePng(QString::fromStdString(*file));
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

}  // namespace torvix::app
