// Suggested settings: a modest sweep of Segments, Precision and Filter over
// the loaded track, run off the window's thread, whose best combination fills
// the three fields. It runs nothing the three commands rely on: the fields
// are only filled, and a result for a track that has since been replaced is
// dropped.
#include <QKeySequence>
#include <QShortcut>
#include <atomic>
#include <functional>
#include <thread>

#include "app/click_label.h"
#include "app/main_window.h"
#include "app/parameter_field.h"
#include "app/run_controller.h"
#include "app/window_logic.h"
#include "sweep/sweep.h"

namespace torvix {

// One sweep on a thread of its own; destroying the job stops it after the
// runs in progress and waits for them.
class SuggestJob {
public:
    SuggestJob(Track track, double length, sweep::SweepSettings settings,
               std::function<void(const sweep::SweepResult&)> done)
        : track_(std::move(track)) {
        thread_ = std::thread([this, length, settings = std::move(settings), done = std::move(done)] {
            const sweep::SweepResult result = sweep::RunSweep(track_, length, settings, &cancel_);
            if (!cancel_.load()) done(result);
        });
    }
    ~SuggestJob() {
        cancel_.store(true);
        if (thread_.joinable()) thread_.join();
    }
    SuggestJob(const SuggestJob&) = delete;
    SuggestJob& operator=(const SuggestJob&) = delete;
    const Track& track() const { return track_; }

private:
    const Track track_;
    std::atomic<bool> cancel_{false};
    std::thread thread_;
};

namespace {

// On the parameters panel's title bar, right of its title.
constexpr TwipRect kSuggestRect{1905, 735, 810, 240};

QString Fixed(double v, int digits) { return QString::number(v, 'f', digits); }

}  // namespace

void MainWindow::BuildSuggestControl() {
    suggest_button_ = AddLabel("btnSuggest", kSuggestRect);
    suggest_button_->setText("Suggest");
    suggest_button_->setStyleSheet(mode_button_->styleSheet());
    suggest_button_->setAlignment(Qt::AlignCenter);
    suggest_button_->setCursor(Qt::PointingHandCursor);
    suggest_button_->setToolTip(
        "Suggest Segments, Precision and Filter for the loaded track (Ctrl+G): tries a modest grid with\n"
        "your heartline, speeds and banking method and picks the lowest lateral RMS whose heart line\n"
        "stays within 0.25 m of the path you drew. The fields are only filled; run Heartline as usual.");
    connect(suggest_button_, &ClickLabel::clicked, this, &MainWindow::SuggestSettings);
    auto* key = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_G), this);
    connect(key, &QShortcut::activated, this, &MainWindow::SuggestSettings);
}

void MainWindow::SuggestSettings() {
    if (run_->running() || suggest_job_ || !track_loaded_) {
        if (!track_loaded_) ShowMessage("Load first", 1500, "Load a track to have settings suggested for it.");
        return;
    }
    // Heartline and speeds as Modify would read them; the three swept fields may hold anything.
    const ModifyRequest request = ReadModifyParameters(ModifyFieldTexts{
        "60", "6", "15", heartline_field_->text().toStdString(), start_speed_field_->text().toStdString(),
        end_speed_field_->text().toStdString()});
    if (!request.parameters) {
        ShowMessage(QString::fromStdString(request.refusal), 3000, QString::fromStdString(request.refusal_detail));
        return;
    }
    sweep::SweepSettings settings = sweep::SuggestionGrid(run_->track_length());
    settings.heartline = request.parameters->heartline;
    settings.start_speed = request.parameters->start_speed;
    settings.end_speed = request.parameters->end_speed;
    settings.mode = banking_mode_;
    const std::size_t runs = settings.segments.size() * settings.precision.size() * settings.filter.size();
    ShowMessage("Trying...", 60000, QString("Trying %1 combinations of Segments, Precision and Filter.").arg(runs));
    suggest_button_->setEnabled(false);

    suggest_job_ = std::make_shared<SuggestJob>(run_->loaded_track(), run_->track_length(), settings, [this](const sweep::SweepResult& r) {
        // Back on the window's thread; dropped with the window.
        QMetaObject::invokeMethod(this, [this, r] {
            const bool same_track = suggest_job_ && suggest_job_->track() == run_->loaded_track();
            suggest_job_.reset();
            suggest_button_->setEnabled(true);
            if (!same_track) return;
            const std::optional<sweep::SweepEntry> best = sweep::PickSuggestion(r.entries);
            if (!best) {
                const QString why = r.entries.empty() ? QString("No combination ran.")
                                                      : QString::fromStdString(r.entries.front().message);
                ShowMessage("No suggestion", 3000, "No combination ran through: " + why);
                return;
            }
            segments_field_->setText(QString::number(best->segments));
            precision_field_->setText(QString::number(best->precision));
            filter_field_->setText(QString::number(best->filter));
            const bool close = best->heart_deviation_max <= sweep::kSuggestDeviation;
            ShowMessage("Suggested", 3000,
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
        }, Qt::QueuedConnection);
    });
}

}  // namespace torvix
