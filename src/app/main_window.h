// The skinned main window: parameter fields, result displays, status lights,
// the three commands and the animations, all on the one GUI thread.
#pragma once

#include <QElapsedTimer>
#include <QFont>
#include <QImage>
#include <QPointer>
#include <QRegion>
#include <QString>
#include <QTimer>
#include <QWidget>
#include <memory>
#include <optional>
#include <string>

#include "app/animations.h"
#include "app/twips.h"
#include "refined/solver_modes.h"
#include "track/track.h"

class QLabel;
class QLineEdit;

namespace torvix {

class ClickLabel;
class FileDialogs;
class MessageBoxes;
class ParameterField;
class RideReportWindow;
class RunController;
class ShapeWidget;

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

    // Commands, run by clicks on the labels over the painted buttons.
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

    // Read-only views for the program's tests and screenshots.
    bool track_loaded() const { return track_loaded_; }
    bool track_modified() const { return track_modified_; }
    bool run_in_progress() const;
    double track_length() const;
    const Track& current_track() const;
    const Track& loaded_track() const;
    long progress_count() const;
    long progress_total() const;
    const QString& proposed_save_file() const { return save_file_; }
    bool ignores_next_mouse_move() const { return ignore_mouse_move_; }
    const QRegion& shape() const { return region_; }
    QTimer* timer(const char* name) const;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void StartUp();
    void BuildControls();
    ParameterField* AddParameterField(const char* name, const TwipRect& r, bool allow_decimal,
                                      bool allow_negative, const char* tooltip);
    QLineEdit* AddResultField(const char* name, const TwipRect& r, const char* text);
    ClickLabel* AddLabel(const char* name, const TwipRect& r);
    ShapeWidget* AddShape(const char* name, bool circle, const TwipRect& r);
    QTimer* AddTimer(const char* name, int interval_ms, void (MainWindow::*tick)());
    void SetTextColour(const QColor& colour);
    void FitMessageLine();
    void ShowProgressBar();
    void ShowBubble();
    void OnPrecisionFocusLost();
    void ShowEndMeasures();
    QString Setting(const char* section, const char* entry, const QString& fallback) const;
    void SaveSetting(const char* section, const char* entry, const QString& value);
    void ReportSettingsFailure();

    WindowServices services_;
    QImage skin_;
    QRegion region_;

    // Controls, owned by the widget tree.
    ParameterField* segments_field_ = nullptr;
    ParameterField* heartline_field_ = nullptr;
    ParameterField* start_speed_field_ = nullptr;
    ParameterField* end_speed_field_ = nullptr;
    ParameterField* precision_field_ = nullptr;
    ParameterField* filter_field_ = nullptr;
    QLineEdit* slope_in_field_ = nullptr;
    QLineEdit* radius_in_field_ = nullptr;
    QLineEdit* tilt_in_field_ = nullptr;
    QLineEdit* slope_out_field_ = nullptr;
    QLineEdit* radius_out_field_ = nullptr;
    QLineEdit* tilt_out_field_ = nullptr;
    ClickLabel* length_label_ = nullptr;
    ClickLabel* friction_label_ = nullptr;
    ClickLabel* message_label_ = nullptr;
    ShapeWidget* status_light1_ = nullptr;
    ShapeWidget* status_light2_ = nullptr;
    ShapeWidget* status_light3_ = nullptr;
    ShapeWidget* progress_bar_ = nullptr;
    ShapeWidget* bubble_shape_ = nullptr;
    QTimer* fade_timer_ = nullptr;
    QTimer* bubble_timer_ = nullptr;
    QTimer* slot_machine_timer_ = nullptr;
    QTimer* message_timer_ = nullptr;

    // Window state; the tracks and the run belong to the run controller.
    RunController* run_ = nullptr;
    bool track_loaded_ = false;
    bool track_modified_ = false;
    FadeState fade_state_;
    BubbleState bubble_state_;
    RandomSequence random_;
    double drag_x_ = 0;
    double drag_y_ = 0;
    bool ignore_mouse_move_ = false;
    QString load_file_;
    QString load_folder_;
    QString save_folder_;
    QString save_file_;

    // While a run is in progress the commands are ignored; a close request
    // cancels the run and closes once it has unwound.
    bool close_after_run_ = false;
    QFont message_font_;

    // A track to load without the open dialog (OpenTrack), and whether an
    // unwritable settings file has been reported already (it is, once).
    QString open_path_;
    bool settings_failure_reported_ = false;

    // ---- Ride report, banking mode and valley hint (main_window_ride.cpp).
public:
    // The report control (Ctrl+R): the ride report of the last successful run.
    void OpenRideReport();
    // The mode switch (Ctrl+B); remembered in Torvix.ini.
    void SetBankingMode(SolverMode mode);
    SolverMode banking_mode() const { return banking_mode_; }
    RideReportWindow* ride_report_window() const;

private:
    struct FinishedRun {
        HeartlineParams params;
        SolverMode mode = SolverMode::kLiteral;
    };
    void BuildRideControls();
    void ReadBankingMode();
    // The loaded track is about to change or a run starts: the last run's report no longer applies.
    void RideTrackChanged(const QString& new_file = {});
    void RideRunFinished(bool ok, const HeartlineParams& params);
    // For a run that valleyed: where the train stops and the start speed that clears the track.
    QString ValleyHint(const SolveResult& result, const HeartlineParams& params) const;

    ClickLabel* report_button_ = nullptr;
    ClickLabel* mode_button_ = nullptr;
    QLabel* run_mode_label_ = nullptr;
    SolverMode banking_mode_ = SolverMode::kLiteral;
    std::optional<FinishedRun> finished_run_;
    QPointer<RideReportWindow> ride_report_;
    QRect ride_report_geometry_;
    bool reopen_ride_report_ = false;
    QString ride_track_file_;

    // ---- Suggested settings (main_window_suggest.cpp).
public:
    // The suggest control (Ctrl+G): tries a modest grid of Segments, Precision
    // and Filter on the loaded track, off the window's thread, and fills the
    // three fields with the combination that rides best.
    void SuggestSettings();
    bool suggesting() const { return suggest_job_ != nullptr; }

private:
    void BuildSuggestControl();
    ClickLabel* suggest_button_ = nullptr;
    std::shared_ptr<class SuggestJob> suggest_job_;  // shared_ptr: the job's type stays private to its file
};

}  // namespace torvix
