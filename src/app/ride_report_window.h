// The ride report of a finished run: speed, seat forces and roll along the
// new track's heart line, stacked over one distance axis, with the loaded
// track's vertices marked so that a spike leads back to the curve whose
// colour to change. Optionally overlays the same run made with the other
// banking method.
#pragma once

#include <QString>
#include <QWidget>
#include <memory>
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

namespace torvix {

class FileDialogs;
class RunController;

// Everything the report needs from a run, copied so that the report stays
// valid whatever the main window loads or runs next.
struct RideReportRun {
    Track input;   // the track as loaded: its spline is the heart path the designer drew
    Track result;  // the run's new track
    double track_length = 0;  // the loaded track's length as measured at load
    HeartlineParams params;
    SolverMode mode = SolverMode::kLiteral;
    QString track_name;   // shown in the caption and on the exported picture
    QString export_file;  // proposed path of the exported picture
};

inline constexpr double kRideReportStep = 0.5;  // metres of heart line between plotted samples

class RideReportWindow : public QWidget {
    Q_OBJECT
public:
    // `runs` makes the comparison run, off the window's thread; `dialogs`
    // asks for the export file, and without it the export does nothing.
    RideReportWindow(RideReportRun run, RunController& runs, FileDialogs* dialogs, QWidget* parent = nullptr);
    ~RideReportWindow() override;

    const RideReportRun& run() const { return run_; }
    const ride::RideReport& report() const { return report_; }
    // Heart-line distance of every vertex of the loaded track, in ride order.
    const std::vector<double>& vertex_positions() const { return vertex_s_; }
    // The other method's report once a comparison ran and its run succeeded.
    const ride::RideReport* other_report() const { return other_ ? &*other_ : nullptr; }
    // Where its samples are drawn: its distances matched to this ride's at the loaded track's vertices.
    const std::vector<double>& other_positions() const { return other_s_; }
    QString status_text() const;
    QString readout_text() const;
    QString summary_text() const;

    // The comparison with the other banking method, as its check box does it.
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
    struct Plot;
    class PlotView;

    void BuildPlots();
    void BuildPanel();
    void FillSeries(Plot& plot, const ride::RideReport& report, bool other);
    void FitValueAxis(Plot& plot);
    void FitDistanceAxes();
    void OnDistanceRangeChanged(double lo, double hi);
    void RefreshSummary();
    void SetStatus(const QString& text);
    int InputCurveAt(double s) const;
    // The other ride's heart-line distance moved onto this ride's.
    double FromOther(double s) const;

    RideReportRun run_;
    RunController& runs_;
    FileDialogs* dialogs_ = nullptr;
    ride::RideReport report_;
    std::vector<double> vertex_s_;
    double deviation_ = -1;  // heart line against the designed path, metres
    std::optional<ride::RideReport> other_;
    std::optional<double> other_deviation_;
    std::vector<double> other_vertex_s_;
    std::vector<double> other_s_;  // each of its samples on this ride's distance
    bool other_tried_ = false;
    QString other_failure_;

    std::vector<std::unique_ptr<Plot>> plots_;
    QWidget* plot_area_ = nullptr;
    QLabel* heading_ = nullptr;
    QLabel* readout_ = nullptr;
    QLabel* summary_ = nullptr;
    QLabel* status_ = nullptr;
    QCheckBox* compare_ = nullptr;
    QPushButton* export_ = nullptr;
    QPushButton* whole_ = nullptr;
    std::optional<double> cursor_s_;
    bool syncing_ = false;
};

}  // namespace torvix
