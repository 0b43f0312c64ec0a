// After a literal run, the refined method is tried on the same loaded track
// with the same settings, off the window's thread, to say whether it would
// ride better. It only offers: nothing switches methods by itself. A check
// is dropped, never reported, once a new load or run begins.
#pragma once

#include <QObject>
#include <QString>
#include <optional>

#include "app/run_controller.h"
#include "ride/verdict.h"

namespace torvix::app {

class RefinedCheck : public QObject {
    Q_OBJECT
public:
    explicit RefinedCheck(QObject* parent = nullptr);

    // Runs the refined method on `loaded` with `params` and measures its ride
    // as `literal`, the literal run's ride, was measured. Drops whatever check
    // ran before.
    void Start(const track::Track& loaded, double track_length, const heartline::HeartlineParams& params,
               const ride::RideReport& literal);
    // Drops the check in progress: its result is never reported.
    void Drop();
    bool running() const { return runs_.running() || pending_.has_value(); }

signals:
    // The refined track rides better: a better verdict level, or the same
    // level with a lower lateral RMS. `rms` is its lateral RMS in g.
    void ridesBetter(const ride::RideVerdict& verdict, double rms);

private:
    struct Check {
        RunRequest request;
        ride::VerdictLevel literal = ride::VerdictLevel::kHarsh;
        double literal_rms = 0;
    };
    void Run(Check check);
    void Done(const RunOutcome& outcome, ride::VerdictLevel literal, double literal_rms);

    RunController runs_;
    // A check asked for while a dropped one is still unwinding starts once it has.
    std::optional<Check> pending_;
    unsigned generation_ = 0;  // counts Start and Drop; a result of an older one is dropped
};

}  // namespace torvix::app
