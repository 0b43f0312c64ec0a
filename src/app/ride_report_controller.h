// The life of the ride report window: which run it describes, when it may
// open, and that it goes away when the track it describes does. A report
// left open across a successful run is rebuilt for the new track where it was.
#pragma once

#include <QObject>
#include <QPointer>
#include <QRect>
#include <QString>
#include <functional>
#include <optional>

#include "heartline/solver.h"
#include "refined/solver_modes.h"

class QWidget;

namespace torvix::app {

class FileDialogs;
class RideReportWindow;
class RunController;
class TrackSession;

class RideReportController : public QObject {
    Q_OBJECT
public:
    // The report windows are children of `owner`; `export_folder` names where
    // exported pictures are proposed (the track's own folder when empty).
    RideReportController(const TrackSession& session, RunController& runs, FileDialogs* dialogs, QWidget* owner,
                         std::function<QString()> export_folder);

    // A new track is loaded (`new_track`) or a run starts: the last run's report no longer applies.
    void TrackChanging(bool new_track);
    // A run has ended; with `ok` it made the session's current track.
    void RunFinished(bool ok, const heartline::HeartlineParams& params, refined::SolverMode mode);
    // Opens the report of the last successful run, or brings it to the front.
    void Open();

    bool available() const { return finished_.has_value(); }
    RideReportWindow* window() const;

signals:
    void availableChanged(bool available);

private:
    struct FinishedRun {
        heartline::HeartlineParams params;
        refined::SolverMode mode = refined::SolverMode::kLiteral;
    };
    void SetFinished(std::optional<FinishedRun> run);

    const TrackSession& session_;
    RunController& runs_;
    FileDialogs* dialogs_;
    QWidget* owner_;
    std::optional<FinishedRun> finished_;
    QPointer<QWidget> window_;  // a RideReportWindow; deleted when closed
    QRect geometry_;      // where the last report was, for the next one
    std::function<QString()> export_folder_;
    bool reopen_ = false;
};

}  // namespace torvix::app
