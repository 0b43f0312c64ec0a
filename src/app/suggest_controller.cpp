#include "app/suggest_controller.h"

#include <memory>

#include "app/track_session.h"
#include "app/window_logic.h"
#include "app/window_settings.h"

using namespace torvix::track;

namespace torvix::app {

namespace {

QString Fixed(double v, int digits) { return QString::number(v, 'f', digits); }

}  // namespace

SuggestController::SuggestController(const TrackSession& session, QObject* parent)
    : QObject(parent), session_(session) {}

void SuggestController::Request(const settings::ParameterTexts& fields, refined::SolverMode mode) {
    if (!session_.loaded()) {
        emit message("Load first", 1500, "Load a track to have settings suggested for it.");
        return;
    }
    if (worker_.busy()) return;
    const settings::ParameterTexts swept = DefaultParameterTexts();
    const ModifyRequest request = ReadModifyParameters(ModifyFieldTexts{
        swept.segments, swept.precision, swept.filter, fields.heartline, fields.start_speed, fields.end_speed});
    if (!request.parameters) {
        emit message(QString::fromStdString(request.refusal), 3000, QString::fromStdString(request.refusal_detail));
        return;
    }
    sweep::SweepSettings base;
    base.heartline = request.parameters->heartline;
    base.start_speed = request.parameters->start_speed;
    base.end_speed = request.parameters->end_speed;
    base.mode = mode;
    (void)Start(base);  // refused only while a sweep runs, checked above
}

bool SuggestController::Start(const sweep::SweepSettings& base) {
    if (worker_.busy()) return false;
    sweep::SweepSettings settings = sweep::SuggestionGrid(session_.length());
    settings.heartline = base.heartline;
    settings.start_speed = base.start_speed;
    settings.end_speed = base.end_speed;
    settings.mode = base.mode;
    // The sweep works on its own copy; what it found is offered only for that track.
    auto track = std::make_shared<const Track>(session_.loaded_track());
    auto result = std::make_shared<sweep::SweepResult>();
    const double length = session_.length();
    worker_.Start(
        [track, result, length, settings](const std::atomic<bool>& cancel) {
            *result = sweep::RunSweep(*track, length, settings, &cancel);
        },
        this, [this, track, result] { Finished(*track, *result); });
    const std::size_t runs = settings.segments.size() * settings.precision.size() * settings.filter.size();
    emit message("Trying...", 60000, QString("Trying %1 combinations of Segments, Precision and Filter.").arg(runs));
    emit runningChanged(true);
    return true;
}

void SuggestController::Finished(const Track& swept, const sweep::SweepResult& r) {
    emit runningChanged(false);
    if (!(swept == session_.loaded_track())) return;
    const std::optional<sweep::SweepEntry> best = sweep::PickSuggestion(r.entries);
    if (!best) {
        const QString why =
            r.entries.empty() ? QString("No combination ran.") : QString::fromStdString(r.entries.front().status.message());
        emit message("No suggestion", 3000, "No combination ran through: " + why);
        return;
    }
    emit suggested(best->segments, best->precision, best->filter);
    const bool close = best->heart_deviation_max <= sweep::kSuggestDeviation;
    emit message("Suggested", 3000,
                 QString("Suggested from %1 runs: Segments %2, Precision %3, Filter %4.\n"
                         "Optimised for the lowest lateral RMS (%5 g, largest %6 g)%7; the heart line "
                         "strays at most %8 m from your path.")
                     .arg(r.entries.size())
                     .arg(best->segments)
                     .arg(best->precision)
                     .arg(best->filter)
                     .arg(Fixed(best->lateral_rms, 3))
                     .arg(Fixed(best->lateral_max, 2))
                     .arg(close ? " among runs that follow your path within 0.25 m" : "")
                     .arg(Fixed(best->heart_deviation_max, 3)));
}

}  // namespace torvix::app
