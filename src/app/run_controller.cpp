#include "app/run_controller.h"

#include <QPointer>
#include <memory>

#include "texts/valley_texts.h"

using namespace torvix::heartline;
using namespace torvix::refined;
using namespace torvix::track;

namespace torvix::app {

QString ValleyHint(const RunOutcome& outcome, SolverMode mode) {
    if (outcome.result.status.ok() || outcome.result.status.message() != kValleyMessage) return {};
    if (!outcome.valley) return QString::fromLatin1(kValleyMessage);
    const SolverValley& v = *outcome.valley;
    QString hint = QString::fromStdString(
        texts::ValleySentence(v.s, "curve " + std::to_string(v.curve) + " of the loaded track", v.min_start_speed));
    if (mode != SolverMode::kLiteral) hint += "\n(Found with the literal method's speeds.)";
    return hint;
}

RunController::RunController(QObject* parent) : QObject(parent) {
    connect(&worker_, &Worker::finished, this, [this] {
        ResetProgress();
        emit finished();
    });
}

RunController::~RunController() = default;

void RunController::ResetProgress() {
    progress_count_.store(0);
    progress_total_.store(10);
}

bool RunController::Start(RunRequest request, QObject* receiver, std::function<void(RunOutcome&)> done,
                          std::function<void(double)> friction) {
    if (worker_.busy()) return false;
    // The job owns everything it touches, so nothing it needs can go away under it.
    auto outcome = std::make_shared<RunOutcome>();
    outcome->track = std::move(request.track);
    auto job = [this, outcome, request = std::move(request), receiver = QPointer<QObject>(receiver),
                friction = std::move(friction)](const std::atomic<bool>& cancel) {
        SolverObserver observer;
        if (friction) {
            observer.display_gradient = [this, receiver, friction](double value) {
                QMetaObject::invokeMethod(
                    this, [receiver, friction, value] { if (receiver != nullptr) friction(value); },
                    Qt::QueuedConnection);
            };
        }
        observer.progress = [this](long count, long total) {
            progress_count_.store(count);
            progress_total_.store(total);
        };
        observer.cancel = &cancel;
        // The colours and rolls the ride is judged against: the track as given.
        Track drawn;
        if (request.measure) {
            drawn.bezr = outcome->track.bezr;
            drawn.segm = outcome->track.segm;
        }
        outcome->result = SolveHeartlineWith(request.mode, outcome->track, request.track_length, request.params,
                                             observer);
        // A run that failed left its track as it was: the valley is looked for on that.
        if (request.find_valley && !outcome->result.status.ok() && outcome->result.status.message() == kValleyMessage)
            outcome->valley = FindSolverValley(outcome->track, request.track_length, request.params);
        if (request.measure && outcome->result.status.ok() && !cancel.load())
            outcome->ride = ride::MeasureRide(outcome->track, *request.measure, &drawn);
    };
    return worker_.Start(std::move(job), receiver, [this, outcome, done = std::move(done)] {
        ResetProgress();  // the outcome is shown with the bar empty again
        outcome->cancelled = worker_.cancelled();
        done(*outcome);
    });
}

}  // namespace torvix::app
