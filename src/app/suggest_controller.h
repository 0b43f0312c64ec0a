// Suggested settings: a modest sweep of Segments, Precision and Filter over
// the loaded track, run by the worker off the window's thread, whose best
// combination is offered for the three fields. It touches nothing the three
// commands rely on, and a result for a track that has since been replaced is
// dropped.
#pragma once

#include <QObject>
#include <QString>

#include "app/worker.h"
#include "refined/solver_modes.h"
#include "settings/settings_file.h"
#include "sweep/sweep.h"

namespace torvix::app {

class TrackSession;

class SuggestController : public QObject {
    Q_OBJECT
public:
    SuggestController(const TrackSession& session, QObject* parent);

    // Tries the suggestion grid on the loaded track with the heartline, speeds
    // and mode of `base`. Refused (false) while a sweep runs.
    bool Start(const sweep::SweepSettings& base);
    // The Suggest control: the heartline and speeds read from the window's
    // fields as a run would read them (the three swept fields may hold
    // anything); a refusal, or no track loaded, is said on the message line.
    void Request(const settings::ParameterTexts& fields, refined::SolverMode mode);
    bool running() const { return worker_.busy(); }

signals:
    void message(const QString& text, int duration_ms, const QString& full_text);
    // The combination that rides best.
    void suggested(int segments, int precision, int filter);
    void runningChanged(bool running);

private:
    void Finished(const track::Track& swept, const sweep::SweepResult& result);

    const TrackSession& session_;
    Worker worker_;
};

}  // namespace torvix::app
