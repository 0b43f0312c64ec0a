// The ride report of a finished run: speed, seat forces and roll along the
// new track's heart line (a ChartStack), the summary figures beside them, and
// optionally the same run made with the other banking method, drawn dashed.
#pragma once

#include <QPointer>
#include <QString>
#include <QWidget>
#include <optional>
#include <vector>

#include "heartline/solver.h"
#include "refined/solver_modes.h"
#include "ride/ride_report.h"
#include "track/track.h"

class QCheckBox;
class QImage;
class QLabel;
class QPushButton;

namespace torvix::app {

class ChartStack;
class FileDialogs;
class RunController;
struct RunOutcome;

// Everything the report needs from a run, copied so that the report stays
// valid whatever the main window loads or runs next.
struct RideReportRun {
    track::Track input;   // the track as loaded: its spline is the heart path the designer drew
    track::Track result;  // the run's new track
    double track_length = 0;  // the loaded track's length as measured at load
    heartline::HeartlineParams params;
    refined::SolverMode mode = refined::SolverMode::kLiteral;
    QString track_name;   // shown in the caption and on the exported picture
    QString export_file;  // proposed path of the exported picture
};

inline constexpr double kRideReportStep = 0.5;  // metres of heart line between plotted samples

// One ride as the report shows it, measured against the path the designer drew.
struct MeasuredRide {
    ride::RideReport report;
    std::vector<double> vertex_s;  // heart-line distance of every vertex of the loaded track
    double deviation = -1;         // farthest the heart line strays from the drawn path, metres
};
MeasuredRide MeasureAgainstDrawn(const track::Track& ride_track, const track::Track& drawn,
                                 const ride::RideParams& params);

class RideReportWindow : public QWidget {
    Q_OBJECT
public:
    // `measured` is the ride of `run.result`. `runs` makes the comparison run,
    // off the window's thread; `dialogs` asks for the export file, and
    // without it the export does nothing.
    RideReportWindow(RideReportRun run, MeasuredRide measured, RunController* runs, FileDialogs* dialogs,
                     QWidget* parent = nullptr);
    // A comparison still running is cancelled; its result is dropped.
    ~RideReportWindow() override;

    const RideReportRun& run() const { return run_; }
    const ride::RideReport& report() const { return mine_.report; }
    // Heart-line distance of every vertex of the loaded track, in ride order.
    const std::vector<double>& vertex_positions() const { return mine_.vertex_s; }
    // The other method's report once a comparison ran and its run succeeded.
    const ride::RideReport* other_report() const { return other_ ? &other_->report : nullptr; }
    // Where its samples are drawn: its distances matched to this ride's at the loaded track's vertices.
    const std::vector<double>& other_positions() const { return other_s_; }
    bool comparing() const { return comparing_; }
    QString status_text() const;
    QString readout_text() const;
    QString summary_text() const;

    // The comparison with the other banking method, as its check box does
    // it. Its run goes off the window's thread; the dashed ride appears when
    // the run is done.
    void SetCompare(bool on);
    // The readout and cursor at heart-line distance `s`, as the mouse does it.
    void ShowValuesAt(double s);
    // Shows [lo, hi] metres on every plot; ResetZoom shows the whole ride.
    void SetDistanceRange(double lo, double hi);
    void ResetZoom();
    std::pair<double, double> distance_range() const;

    // The export button: asks for a file and writes the plots there.
    bool ExportPng();
    bool SavePng(const QString& path);
    QImage RenderPlots() const;

private:
    void BuildPlotArea();
    void BuildPanel();
    void StartComparison();
    void ComparisonDone(RunOutcome& outcome);
    void ShowComparison(bool on);
    void RefreshSummary();
    void SetStatus(const QString& text);
    // The other ride's heart-line distance moved onto this ride's.
    double FromOther(double s) const;

    RideReportRun run_;
    QPointer<RunController> runs_;
    FileDialogs* dialogs_ = nullptr;
    MeasuredRide mine_;
    std::optional<MeasuredRide> other_;
    std::vector<double> other_s_;  // each of its samples on this ride's distance
    bool other_tried_ = false;
    bool comparing_ = false;
    QString other_failure_;

    QWidget* plot_area_ = nullptr;
    ChartStack* charts_ = nullptr;
    QLabel* heading_ = nullptr;
    QLabel* readout_ = nullptr;
    QLabel* summary_ = nullptr;
    QLabel* status_ = nullptr;
    QCheckBox* compare_ = nullptr;
    QPushButton* export_ = nullptr;
    QPushButton* whole_ = nullptr;
};

}  // namespace torvix::app
