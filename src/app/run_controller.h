// Heartline runs for the window and its ride report (and, with a controller of
// its own, the refined try beside a literal run): one at a time, each on the
// worker's thread, with its progress for the window's bar, its friction once
// the speeds pass, its outcome and, when asked, the new track's ride, all
// handed back on the window's thread.
#pragma once

#include <QObject>
#include <QString>
#include <atomic>
#include <functional>
#include <optional>

#include "app/worker.h"
#include "heartline/solver.h"
#include "heartline/valley.h"
#include "refined/solver_modes.h"
#include "ride/ride_report.h"
#include "track/track.h"

namespace torvix::app {

struct RunRequest {
    track::Track track;  // solved in place by the run
    double track_length = 0;  // as measured at load
    refined::SolverMode mode = refined::SolverMode::kLiteral;
    heartline::HeartlineParams params;
    // When the run valleys, also find where the train stops and what clears it.
    bool find_valley = false;
    // When set and the run succeeds, the new track's ride is measured with
    // these parameters against the track as given (its colours and rolls).
    std::optional<ride::RideParams> measure = std::nullopt;
};

struct RunOutcome {
    heartline::SolveResult result;
    bool cancelled = false;  // stopped by Cancel: a failure whatever the solver said
    track::Track track;             // the new track when the run succeeded, otherwise as it was given
    std::optional<heartline::SolverValley> valley;
    std::optional<ride::RideReport> ride;  // as RunRequest::measure asked
    bool ok() const { return result.status.ok() && !cancelled; }
};

// For a run that valleyed: where the train stops and the start speed that
// clears the track; empty for any other outcome.
QString ValleyHint(const RunOutcome& outcome, refined::SolverMode mode);

class RunController : public QObject {
    Q_OBJECT
public:
    explicit RunController(QObject* parent = nullptr);
    ~RunController() override;

    // Starts a run. `friction` (once, when the speeds pass) and `done` are
    // called on the window's thread, and only while `receiver` exists. Refused
    // (false) while another run is in progress.
    bool Start(RunRequest request, QObject* receiver, std::function<void(RunOutcome&)> done,
               std::function<void(double)> friction = {});

    bool running() const { return worker_.busy(); }
    // Stops the run at its next counted step; it fails with kCancelledMessage.
    void Cancel() { worker_.Cancel(); }

    // Written by the run, read by the window's timers; 0 of 10 between runs.
    long progress_count() const { return progress_count_.load(); }
    long progress_total() const { return progress_total_.load(); }

signals:
    // A run has ended, after its outcome was handed on (or dropped).
    void finished();

private:
    void ResetProgress();

    std::atomic<long> progress_count_{0};
    std::atomic<long> progress_total_{10};
    Worker worker_;  // last: waits for a run before the counters it writes go
};

}  // namespace torvix::app
