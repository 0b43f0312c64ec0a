#include "app/refined_check.h"

using namespace torvix::heartline;
using namespace torvix::refined;
using namespace torvix::track;

namespace torvix::app {

RefinedCheck::RefinedCheck(QObject* parent) : QObject(parent) {
    connect(&runs_, &RunController::finished, this, [this] {
        if (pending_) Run(*std::exchange(pending_, std::nullopt));
    });
}

void RefinedCheck::Start(const Track& loaded, double track_length, const HeartlineParams& params,
                         const ride::RideReport& literal) {
    Drop();
    Check check;
    check.request.track = loaded;
    check.request.track_length = track_length;
    check.request.mode = SolverMode::kRefined;
    check.request.params = params;
    check.request.measure = literal.params;
    check.literal = ride::JudgeRide(literal).level;
    check.literal_rms = literal.summary.lateral_rms;
    if (runs_.running()) pending_ = std::move(check);
    else Run(std::move(check));
}

void RefinedCheck::Drop() {
    ++generation_;
    pending_.reset();
    runs_.Cancel();
}

void RefinedCheck::Run(Check check) {
    const unsigned generation = generation_;
    runs_.Start(std::move(check.request), this,
                [this, generation, literal = check.literal, rms = check.literal_rms](RunOutcome& outcome) {
                    if (generation == generation_) Done(outcome, literal, rms);
                });
}

void RefinedCheck::Done(const RunOutcome& outcome, ride::VerdictLevel literal, double literal_rms) {
    if (!outcome.ok() || !outcome.ride) return;
    const ride::RideVerdict verdict = ride::JudgeRide(*outcome.ride);
    const double rms = outcome.ride->summary.lateral_rms;
    const int better = ride::VerdictRank(literal) - ride::VerdictRank(verdict.level);
    if (better > 0 || (better == 0 && rms < literal_rms)) emit ridesBetter(verdict, rms);
}

}  // namespace torvix::app
