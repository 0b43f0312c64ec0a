// The skinned main window: it lays out the controls on the skin and wires
// them to the parts that do the work, all on the one GUI thread. The track
// lives in a TrackSession, the settings in WindowSettings; heartline runs go
// through the RunController, the ride report through its controller and
// Suggest through its own; each runs its work off this thread and reports back.
#pragma once

#include <QFont>
#include <QImage>
#include <QRegion>
#include <QString>
#include <QTimer>
#include <QWidget>
#include <array>
#include <memory>
#include <string>

#include "app/track_saver.h"
#include "app/twips.h"
#include "refined/solver_modes.h"
#include "settings/settings_file.h"
#include "track/track.h"

class QLabel;
class QLineEdit;

namespace torvix::heartline {
struct HeartlineParams;
}  // namespace torvix::heartline

namespace torvix::ride {
struct RideReport;
struct RideVerdict;
}  // namespace torvix::ride

namespace torvix::app {

class ClickLabel;
class FileDialogs;
class MessageBoxes;
class MessageLine;
class ParameterField;
class RefinedCheck;
class RideReportController;
class RideReportWindow;
class RunController;
class ShapeWidget;
class SuggestController;
class TrackSession;
class VerdictButton;
class WindowAnimator;
class WindowSettings;
struct RunOutcome;

// What the window needs from outside; tests hand in their own.
struct WindowServices {
    std::string settings_file;  // full path of Torvix.ini
    std::string app_folder;     // default folder of the open dialog
    FileDialogs* dialogs = nullptr;
    MessageBoxes* message_boxes = nullptr;
    QImage skin;                // 440 x 340, magenta outside the artwork
};

inline constexpr const char* kWindowCaption = "NL-Torvix V1.6";

class MainWindow : public QWidget {
    Q_OBJECT
public:
    explicit MainWindow(WindowServices services, QWidget* parent = nullptr);
    ~MainWindow() override;

    // Commands, run by clicks on the labels over the painted buttons. Heartline
    // starts a run and returns; the window shows its outcome when it is done.
    void OnLoadClicked();
    void OnModifyClicked();
    void OnSaveClicked();
    void OnCloseClicked();
    void OnMinimizeClicked();

    // Loads `path` exactly as the Load command does once its dialog has
    // chosen a file: a track named on the command line or dropped on the window.
    void OpenTrack(const QString& path);

    // `full_text`, when it says more than `text`, becomes the message line's
    // tooltip until the next message.
    void ShowMessage(const QString& text, int duration_ms, const QString& full_text = {});
    void ShowLength(double length);
    void ShowFriction(const QString& text);

    // One tick of each timer.
    void OnFadeTick();
    void OnSlotMachineTick();
    void OnBubbleTick();
    void OnMessageTimeout();

    // The report control (Ctrl+R): the ride report of the last successful run.
    void OpenRideReport();
    // The mode switch (Ctrl+B); remembered in Torvix.ini.
    void SetBankingMode(refined::SolverMode mode);
    // The suggest control (Ctrl+G): tries a modest grid of Segments, Precision
    // and Filter on the loaded track and fills the three fields with the best.
    void SuggestSettings();

    // Read-only views for the program's tests and screenshots.
    bool track_loaded() const;
    bool track_modified() const;
    bool run_in_progress() const;
    bool suggesting() const;
    double track_length() const;
    const track::Track& current_track() const;
    const track::Track& loaded_track() const;
    long progress_count() const;
    long progress_total() const;
    const QString& proposed_save_file() const { return saver_->file(); }
    bool ignores_next_mouse_move() const { return ignore_mouse_move_; }
    const QRegion& shape() const { return region_; }
    QTimer* timer(const char* name) const;
    refined::SolverMode banking_mode() const { return banking_mode_; }
    RideReportWindow* ride_report_window() const;
    // Whether the refined method is being tried after a literal run.
    bool checking_refined() const;

signals:
    // A heartline run or a comparison has ended and its outcome is shown.
    void runFinished();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    enum Parameter { kSegments, kHeartline, kStartSpeed, kEndSpeed, kPrecision, kFilter };
    enum Result { kSlopeIn, kRadiusIn, kTiltIn, kSlopeOut, kRadiusOut, kTiltOut };

    // Layout (main_window.cpp).
    void BuildControls();
    void BuildFields();
    void BuildDisplays();
    void BuildButtons();
    void BuildAddedControls();  // main_window_ride.cpp
    void ShowBankingMode(refined::SolverMode mode);
    void OfferRefined(const ride::RideVerdict& verdict, double rms);
    // A new load or run: the last run's verdict and any offer no longer apply.
    void ForgetVerdict();
    ClickLabel* AddLabel(const char* name, const TwipRect& r);
    ClickLabel* AddSmallButton(const char* name, const TwipRect& r, const QString& text, const char* tooltip);
    ShapeWidget* AddShape(const char* name, bool circle, const TwipRect& r);
    void StartUp();
    void ShowEndMeasures();
    void OnPrecisionFocusLost();
    settings::ParameterTexts FieldTexts() const;

    // Commands (main_window_commands.cpp).
    bool Busy() const;
    void LoadFile(const std::string& file);
    void RunFinished(RunOutcome& outcome, const heartline::HeartlineParams& params);
    void RunEnded();

    WindowServices services_;
    QImage skin_;
    QRegion region_;

    // Controls, owned by the widget tree.
    std::array<ParameterField*, 6> fields_{};
    std::array<QLineEdit*, 6> results_{};
    ClickLabel* length_label_ = nullptr;
    ClickLabel* friction_label_ = nullptr;
    ClickLabel* message_label_ = nullptr;
    std::array<ShapeWidget*, 3> lights_{};
    ShapeWidget* progress_bar_ = nullptr;
    ShapeWidget* bubble_shape_ = nullptr;
    ClickLabel* mode_button_ = nullptr;
    VerdictButton* report_button_ = nullptr;
    QLabel* run_mode_label_ = nullptr;
    ClickLabel* suggest_button_ = nullptr;

    // The parts that do the work, owned by the object tree.
    MessageLine* message_ = nullptr;
    WindowAnimator* animator_ = nullptr;
    WindowSettings* settings_ = nullptr;
    TrackSession* session_ = nullptr;
    std::unique_ptr<TrackSaver> saver_;
    RunController* runs_ = nullptr;
    RideReportController* ride_ = nullptr;
    SuggestController* suggest_ = nullptr;
    RefinedCheck* refined_check_ = nullptr;

    // Window state.
    refined::SolverMode banking_mode_ = refined::SolverMode::kLiteral;
    double drag_x_ = 0;
    double drag_y_ = 0;
    bool ignore_mouse_move_ = false;
    QString open_proposal_;  // proposed by the next open dialog: the file last chosen
    double run_heartline_ = 0;  // of the run that made the current track: its element's height
    // A close asked for during a run happens once the run has unwound.
    bool close_after_run_ = false;
};

}  // namespace torvix::app
