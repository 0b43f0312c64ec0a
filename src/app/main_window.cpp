#include "app/main_window.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QFont>
#include <QFontInfo>
#include <QFontMetrics>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>

#include "analysis/track_ends.h"
#include "app/click_label.h"
#include "app/file_dialogs.h"
#include "app/filter_key.h"
#include "app/message_boxes.h"
#include "app/parameter_field.h"
#include "app/run_controller.h"
#include "app/shape_widget.h"
#include "app/window_logic.h"
#include "app/window_region.h"
#include "heartline/solver.h"
#include "heartline/track_length.h"
#include "settings/settings_file.h"
#include "track/track_io.h"

namespace torvix {
namespace {

const QColor kFieldBackground(33, 37, 41);
const QColor kTextColour(180, 200, 220);
const QColor kLightGreen(0, 192, 0);
const QColor kBarRed(255, 0, 0);

QString FromStd(const std::string& s) { return QString::fromStdString(s); }
std::string ToStd(const QString& s) { return s.toStdString(); }

void SetColours(QWidget* w, const QColor& background, const QColor& text) {
    QPalette p = w->palette();
    for (auto role : {QPalette::Base, QPalette::Window}) p.setColor(role, background);
    for (auto role : {QPalette::Text, QPalette::WindowText}) p.setColor(role, text);
    w->setPalette(p);
}

// Texts too wide for their box are set smaller, down to this size, rather
// than cut: a cut-off sign or leading digit would show a wrong number.
constexpr int kSmallestPixelSize = 7;

QFont FontToFit(const QFont& base, const QString& text, int width) {
    QFont font = base;
    if (QFontMetrics(font).horizontalAdvance(text) <= width) return font;
    for (int size = QFontInfo(base).pixelSize() - 1; size >= kSmallestPixelSize; --size) {
        font.setPixelSize(size);
        if (QFontMetrics(font).horizontalAdvance(text) <= width) break;
    }
    return font;
}

// Room for text inside a frameless line edit: it keeps a small margin on
// each side and one pixel for the caret.
int LineEditTextWidth(const QLineEdit* field) { return field->contentsRect().width() - 6; }

void SetTextOnlyColour(QWidget* w, const QColor& text) {
    QPalette p = w->palette();
    for (auto role : {QPalette::Text, QPalette::WindowText}) p.setColor(role, text);
    w->setPalette(p);
}

}  // namespace

MainWindow::MainWindow(WindowServices services, QWidget* parent)
    : QWidget(parent, Qt::FramelessWindowHint | Qt::Window),
      services_(std::move(services)),
      run_(new RunController(this)) {
    setObjectName("frmMain");
    setWindowTitle(kWindowCaption);
    setMouseTracking(true);
    setAcceptDrops(true);
    // A close asked for during any run (this window's or its report's) happens once the run has unwound.
    connect(run_, &RunController::finished, this, [this] {
        if (close_after_run_) QTimer::singleShot(0, this, &QWidget::close);
    });
    BuildControls();
    StartUp();
}

MainWindow::~MainWindow() = default;

QTimer* MainWindow::timer(const char* name) const { return findChild<QTimer*>(name); }
bool MainWindow::run_in_progress() const { return run_->running(); }
double MainWindow::track_length() const { return run_->track_length(); }
const Track& MainWindow::current_track() const { return run_->current_track(); }
const Track& MainWindow::loaded_track() const { return run_->loaded_track(); }
long MainWindow::progress_count() const { return run_->progress_count(); }
long MainWindow::progress_total() const { return run_->progress_total(); }

ParameterField* MainWindow::AddParameterField(const char* name, const TwipRect& r, bool allow_decimal,
                                              bool allow_negative, const char* tooltip) {
    auto* field = new ParameterField(allow_decimal, allow_negative, this);
    field->setObjectName(name);
    field->setGeometry(TwipsToPixels(r));
    field->setToolTip(tooltip);
    field->setFrame(false);
    SetColours(field, kFieldBackground, kTextColour);
    return field;
}

QLineEdit* MainWindow::AddResultField(const char* name, const TwipRect& r, const char* text) {
    auto* field = new QLineEdit(this);
    field->setObjectName(name);
    field->setGeometry(TwipsToPixels(r));
    field->setFrame(false);
    field->setText(text);
    SetColours(field, kFieldBackground, kTextColour);
    connect(field, &QLineEdit::textChanged, this, [this, field](const QString& now) {
        field->setFont(FontToFit(font(), now, LineEditTextWidth(field)));
        // Whatever still does not fit is shown from its start, sign first;
        // someone typing in the field keeps the caret where it is.
        if (!field->hasFocus()) field->setCursorPosition(0);
    });
    return field;
}

ClickLabel* MainWindow::AddLabel(const char* name, const TwipRect& r) {
    auto* label = new ClickLabel(this);
    label->setObjectName(name);
    label->setGeometry(TwipsToPixels(r));
    return label;
}

ShapeWidget* MainWindow::AddShape(const char* name, bool circle, const TwipRect& r) {
    auto* shape = new ShapeWidget(circle ? ShapeWidget::Kind::kCircle : ShapeWidget::Kind::kRectangle, this);
    shape->setObjectName(name);
    shape->SetTwips(r);
    return shape;
}

QTimer* MainWindow::AddTimer(const char* name, int interval_ms, void (MainWindow::*tick)()) {
    auto* t = new QTimer(this);
    t->setObjectName(name);
    t->setInterval(interval_ms);
    connect(t, &QTimer::timeout, this, tick);
    return t;
}

void MainWindow::BuildControls() {
    // Hidden holder of the skin, kept for its name and place; the window
    // paints the skin as its own background.
    auto* picture = new QWidget(this);
    picture->setObjectName("Picture1");
    picture->setGeometry(TwipsToPixels(TwipRect{6360, 120, 6600, 5100}));
    picture->hide();

    // Creation order is the tab order: the six parameter fields, then the results.
    segments_field_ = AddParameterField("str_segments", {2100, 1500, 615, 315}, false, false,
                                        "Number of Segments the heartlined Track should have.");
    heartline_field_ = AddParameterField("str_heartline", {2100, 1950, 615, 315}, true, true,
                                         "Position of heartline. See the recommended values on the right.");
    start_speed_field_ = AddParameterField(
        "str_startspeed", {2100, 2400, 615, 315}, true, false,
        "Speed of the train at the start of the track. Note that this must be measured in meters per "
        "second (m/s).");
    end_speed_field_ = AddParameterField(
        "str_endspeed", {2100, 2850, 615, 315}, true, false,
        "Speed of the train at the end of the track. Note that this must be measured in meters per second "
        "(m/s).");
    precision_field_ = AddParameterField(
        "str_precision", {2100, 3300, 615, 315}, false, false,
        "Number of points used to determine the shape of each segment. Usually 6 points or ok.");
    filter_field_ = AddParameterField("str_filter", {2100, 3750, 615, 315}, false, false,
                                      "Specifies how often the filter is being applied. The higher this value "
                                      "the smoother the transitions and the more precision is lost.");
    // The fields' design texts; start-up replaces them with the stored settings.
    segments_field_->setText("60");
    heartline_field_->setText("1.1");
    start_speed_field_->setText("20");
    end_speed_field_->setText("17");
    precision_field_->setText("6");
    filter_field_->setText("12");
    connect(precision_field_, &ParameterField::focusLost, this, &MainWindow::OnPrecisionFocusLost);

    slope_in_field_ = AddResultField("str_slope_in", {3600, 3300, 765, 315}, "Torvix");
    radius_in_field_ = AddResultField("str_radius_in", {4500, 3300, 765, 315}, "");
    tilt_in_field_ = AddResultField("str_tilt_in", {5400, 3300, 765, 315}, "");
    slope_out_field_ = AddResultField("str_slope_out", {3600, 3750, 765, 315}, "");
    radius_out_field_ = AddResultField("str_radius_out", {4500, 3750, 765, 315}, "");
    tilt_out_field_ = AddResultField("str_tilt_out", {5400, 3750, 765, 315}, "V1.6");

    length_label_ = AddLabel("Lengthlabel", {3905, 2760, 900, 315});
    length_label_->setText("---");
    length_label_->setToolTip(" Length of track (m)");
    friction_label_ = AddLabel("SLopeLabel", {4950, 2760, 900, 315});
    friction_label_->setText("---");
    friction_label_->setToolTip("Average Friction Coefficient");
    for (ClickLabel* label : {length_label_, friction_label_}) {
        label->setAutoFillBackground(true);
        label->setAlignment(Qt::AlignCenter);
        SetColours(label, kFieldBackground, kTextColour);
    }

    status_light1_ = AddShape("statuslight1", true, {3272, 2664, 94, 94});
    status_light2_ = AddShape("statuslight2", true, {3420, 2664, 94, 94});
    status_light3_ = AddShape("statuslight3", true, {3570, 2664, 94, 94});
    for (ShapeWidget* light : {status_light1_, status_light2_, status_light3_}) {
        light->SetFill(kLightGreen);
        light->SetBorderColour(kLightGreen);
        light->hide();
    }
    progress_bar_ = AddShape("Progressbar", false, {2920, 2400, 145, 1680});
    progress_bar_->SetFill(kBarRed);
    progress_bar_->SetBorderColour(kBarRed);
    progress_bar_->hide();
    bubble_shape_ = AddShape("bubbleshape", true, {2950, 3960, 40, 40});
    bubble_shape_->SetBorderColour(kTextColour);
    bubble_shape_->SetBorderStyle(OutlineStyle::kSolid);

    auto* load = AddLabel("btnLoad", {540, 4620, 1335, 255});
    auto* mod = AddLabel("btnMod", {2340, 4620, 1335, 255});
    auto* save = AddLabel("btnSave", {4140, 4620, 1335, 255});
    auto* minimize = AddLabel("minimizeme", {5280, 180, 495, 315});
    auto* close = AddLabel("closeme", {5820, 180, 435, 315});
    close->setText("    ");
    connect(load, &ClickLabel::clicked, this, &MainWindow::OnLoadClicked);
    connect(mod, &ClickLabel::clicked, this, &MainWindow::OnModifyClicked);
    connect(save, &ClickLabel::clicked, this, &MainWindow::OnSaveClicked);
    connect(minimize, &ClickLabel::clicked, this, &MainWindow::OnMinimizeClicked);
    connect(close, &ClickLabel::clicked, this, &MainWindow::OnCloseClicked);

    message_label_ = AddLabel("Message_Label", {780, 4220, 1635, 315});
    message_label_->setText("Ready");
    QFont message_font("Fixedsys");
    message_font.setPointSize(9);
    message_font.setWeight(QFont::Normal);
    message_font.setStyleHint(QFont::TypeWriter);
    message_label_->setFont(message_font);
    message_font_ = message_font;
    message_label_->setAlignment(Qt::AlignCenter);
    SetTextOnlyColour(message_label_, kTextColour);

    fade_timer_ = AddTimer("fade", 20, &MainWindow::OnFadeTick);
    bubble_timer_ = AddTimer("bubble", 50, &MainWindow::OnBubbleTick);
    slot_machine_timer_ = AddTimer("Slotmachine", 100, &MainWindow::OnSlotMachineTick);
    message_timer_ = AddTimer("message_timer", 1500, &MainWindow::OnMessageTimeout);

    BuildRideControls();
}

void MainWindow::StartUp() {
    track_modified_ = false;
    track_loaded_ = false;
    fade_state_ = FadeState{};

    skin_ = services_.skin;
    if (skin_.isNull()) {
        // Without its artwork the window is still usable: a plain dark panel.
        skin_ = QImage(440, 340, QImage::Format_RGB32);
        skin_.fill(kFieldBackground);
    }
    region_ = MakeFormTransparent(this, skin_, kSkinKeyColour);

    const ParameterTexts texts = LoadParameterTexts(SettingsFile(services_.settings_file));
    segments_field_->setText(FromStd(texts.segments));
    heartline_field_->setText(FromStd(texts.heartline));
    start_speed_field_->setText(FromStd(texts.start_speed));
    end_speed_field_->setText(FromStd(texts.end_speed));
    precision_field_->setText(FromStd(texts.precision));
    filter_field_->setText(FromStd(texts.filter));
    ReadBankingMode();

    for (QTimer* t : {fade_timer_, bubble_timer_, slot_machine_timer_, message_timer_}) t->start();
}

QString MainWindow::Setting(const char* section, const char* entry, const QString& fallback) const {
    return FromStd(GetINISetting(SettingsFile(services_.settings_file), section, entry, ToStd(fallback)));
}

void MainWindow::SaveSetting(const char* section, const char* entry, const QString& value) {
    if (!SaveINISetting(SettingsFile(services_.settings_file), section, entry, ToStd(value))) ReportSettingsFailure();
}

void MainWindow::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.drawImage(0, 0, skin_);
}

void MainWindow::mousePressEvent(QMouseEvent* event) {
    drag_x_ = event->position().x();
    drag_y_ = event->position().y();
}

void MainWindow::mouseMoveEvent(QMouseEvent* event) {
    if (ignore_mouse_move_) {
        ignore_mouse_move_ = false;
        return;
    }
    if (event->buttons() != Qt::LeftButton) return;
    const int dx = static_cast<int>(std::lround(event->position().x() - drag_x_));
    const int dy = static_cast<int>(std::lround(event->position().y() - drag_y_));
    move(x() + dx, y() + dy);
}

void MainWindow::closeEvent(QCloseEvent* event) {
    if (run_->running()) {
        // Unwind the run first; the window closes when it has.
        run_->Cancel();
        close_after_run_ = true;
        event->ignore();
        return;
    }
    event->accept();
}

void MainWindow::OnCloseClicked() { close(); }

void MainWindow::OnMinimizeClicked() { setWindowState(windowState() | Qt::WindowMinimized); }

void MainWindow::ShowMessage(const QString& text, int duration_ms, const QString& full_text) {
    message_label_->setText(text);
    message_label_->setToolTip(full_text == text ? QString() : full_text);
    FitMessageLine();
    message_label_->setEnabled(true);
    message_timer_->setInterval(duration_ms);
    message_timer_->start();
}

// The message line is short: a text too long for one line is wrapped and set
// smaller until it fits, so no message is ever cut.
void MainWindow::FitMessageLine() {
    const QString text = message_label_->text();
    const QRect box = message_label_->contentsRect();
    QFont font = message_font_;
    bool wrap = QFontMetrics(font).horizontalAdvance(text) > box.width();
    if (wrap) {
        const int start = QFontInfo(message_font_).pixelSize();
        for (int size = start; size >= kSmallestPixelSize; --size) {
            font.setPixelSize(size);
            const QRect needed =
                QFontMetrics(font).boundingRect(box, Qt::AlignCenter | Qt::TextWordWrap, text);
            if (needed.width() <= box.width() && needed.height() <= box.height()) break;
        }
    }
    message_label_->setWordWrap(wrap);
    message_label_->setFont(font);
}

void MainWindow::OnMessageTimeout() {
    message_label_->setText(QString());
    message_timer_->stop();
}

void MainWindow::OnPrecisionFocusLost() {
    const PrecisionCheck check = ClampPrecision(ToStd(precision_field_->text()));
    if (check.message.empty()) return;
    precision_field_->setText(FromStd(check.text));
    ShowMessage(FromStd(check.message), kPrecisionMessageMs);
}

void MainWindow::SetTextColour(const QColor& colour) {
    for (QWidget* w : std::initializer_list<QWidget*>{
             segments_field_, heartline_field_, start_speed_field_, end_speed_field_, precision_field_, filter_field_,
             slope_in_field_, radius_in_field_, tilt_in_field_, slope_out_field_, radius_out_field_, tilt_out_field_,
             length_label_, friction_label_})
        SetTextOnlyColour(w, colour);
}

void MainWindow::OnFadeTick() {
    setEnabled(true);
    const Rgb c = FadeTick(fade_state_);
    if (!fade_state_.running) fade_timer_->stop();
    SetTextColour(QColor(c.red, c.green, c.blue));
}

void MainWindow::OnSlotMachineTick() {
    QLineEdit* const ring_fields[] = {slope_in_field_,  radius_in_field_,  tilt_in_field_,
                                      tilt_out_field_,  radius_out_field_, slope_out_field_};
    SlotRing ring;
    for (std::size_t i = 0; i < ring.size(); ++i) ring[i] = ToStd(ring_fields[i]->text());
    RotateSlotRing(ring);
    for (std::size_t i = 0; i < ring.size(); ++i) ring_fields[i]->setText(FromStd(ring[i]));
    ShowProgressBar();
}

void MainWindow::ShowProgressBar() {
    const BarGeometry bar = ProgressBarGeometry(static_cast<std::int32_t>(run_->progress_count()),
                                                static_cast<std::int32_t>(run_->progress_total()));
    const TwipRect now = progress_bar_->Twips();
    progress_bar_->SetTwips({now.left, bar.top, now.width, bar.height});
}

void MainWindow::OnBubbleTick() {
    BubbleTick(bubble_state_, random_);
    ShowBubble();
}

void MainWindow::ShowBubble() {
    bubble_shape_->SetTwips({bubble_state_.left, bubble_state_.top, bubble_state_.width, bubble_state_.height});
    bubble_shape_->SetBorderStyle(bubble_state_.outline);
}

void MainWindow::ShowLength(double length) {
    length_label_->setText(FromStd(FormatLength(length)));
    length_label_->setFont(FontToFit(font(), length_label_->text(), length_label_->contentsRect().width() - 2));
    length_label_->setEnabled(true);
}

void MainWindow::ShowFriction(const QString& text) {
    friction_label_->setText(text);
    friction_label_->setFont(FontToFit(font(), text, friction_label_->contentsRect().width() - 2));
    friction_label_->setEnabled(true);
}

// ---- commands

void MainWindow::OnLoadClicked() {
    if (run_->running()) return;
    // The dialog closes over the window; the mouse move that follows is no drag.
    ignore_mouse_move_ = true;
    load_folder_ = Setting("File_IO", "LoadPath", FromStd(services_.app_folder));

    std::optional<std::string> chosen;
    if (!open_path_.isEmpty()) chosen = ToStd(open_path_);
    else if (services_.dialogs != nullptr)
        chosen = services_.dialogs->Choose(OpenTrackRequest(ToStd(load_file_), ToStd(load_folder_)), this);
    load_file_ = chosen ? FromStd(*chosen) : QString();
    if (!chosen) return;
    const std::string& file = *chosen;

    RideTrackChanged(FromStd(file));
    // A file that cannot be read, or whose spline cannot be measured, is a
    // failed load; the message line says why (the whole text as its tooltip).
    TrackIoError error;
    std::vector<SkippedChunk> skipped;
    TrackLengthResult measured;
    Track& track = run_->current_track();
    const bool read = ReadTrackFile(file, track, &error, &skipped);
    if (read) measured = TrackLength(track);
    if (!read || !measured.ok()) {
        if (services_.message_boxes != nullptr)
            services_.message_boxes->Warning(this, "Load Error", "Error Loading Track File!");
        track_modified_ = false;
        track_loaded_ = false;
        const std::string reason = read ? "the track's length cannot be measured: " + measured.message
                                        : error.message + (error.offset >= 0
                                                               ? " (at byte offset " + std::to_string(error.offset) + ")"
                                                               : std::string());
        ShowMessage(FromStd(reason), 3000, FromStd(reason + "\n" + file));
        return;
    }

    slot_machine_timer_->stop();
    track_modified_ = false;
    track_loaded_ = true;
    status_light1_->show();
    status_light2_->hide();
    status_light3_->hide();
    ShowEndMeasures();

    if (!WantsSegmentLength(ToStd(Setting("Preferences", "WantSL", "0")))) {
        SaveSetting("Preferences", "WantSL", "0");
    } else {
        const QString sl = Setting("Preferences", "SL", "2");
        if (const auto segments = ProposedSegmentsText(measured.length, ToStd(sl)))
            segments_field_->setText(FromStd(*segments));
    }
    if (!skipped.empty()) {
        std::string all;
        for (const SkippedChunk& s : skipped) {
            if (!all.empty()) all += '\n';
            all += SkippedChunkText(s);
        }
        ShowMessage(FromStd(SkippedChunksMessage(skipped)), 3000, FromStd(all));
    }

    run_->KeepLoaded(measured.length);
    ShowLength(measured.length);

    load_folder_ = FromStd(GetFilePath(file));
    SaveSetting("File_IO", "LoadPath", load_folder_);
    save_folder_ = FromStd(ProposedSaveFolder(ToStd(Setting("File_IO", "SavePath", load_folder_)),
                                              ToStd(load_folder_)));
    save_file_ = FromStd(ProposedSavePath(ToStd(save_folder_), file));
}

void MainWindow::OnSaveClicked() {
    if (run_->running() || !track_modified_) return;

    std::optional<std::string> chosen;
    if (services_.dialogs != nullptr)
        chosen = services_.dialogs->Choose(SaveRequest(ToStd(save_file_), ToStd(save_folder_), "Save Track As...",
                                                       std::string(kTrackFilter), std::string(kTrackExtension)),
                                           this);
    save_file_ = chosen ? FromStd(*chosen) : QString();
    if (!chosen) return;
    const std::string& file = *chosen;

    SaveSetting("File_IO", "SavePath", FromStd(GetFilePath(file)));
    TrackIoError error;
    if (!WriteTrackFile(file, run_->current_track(), &error)) {
        // The writer replaces the target only once the new file is whole, so
        // the old file is still there; the light stays dark.
        if (services_.message_boxes != nullptr)
            services_.message_boxes->Warning(this, "Save Error",
                                             "Error Saving Track File!\n\n" + FromStd(error.message));
        return;
    }
    status_light3_->show();
}

void MainWindow::OnModifyClicked() {
    if (run_->running()) return;
    run_->RestoreLoaded();
    if (!track_loaded_) return;
    status_light2_->hide();
    RideTrackChanged();

    const ModifyRequest request = ReadModifyParameters(ModifyFieldTexts{
        ToStd(segments_field_->text()), ToStd(precision_field_->text()), ToStd(filter_field_->text()),
        ToStd(heartline_field_->text()), ToStd(start_speed_field_->text()), ToStd(end_speed_field_->text())});
    if (!request.parameters) {
        // The current track is the loaded track again, so there is nothing to save.
        track_modified_ = false;
        ShowMessage(FromStd(request.refusal), 3000, FromStd(request.refusal_detail));
        return;
    }
    const ModifyParameters& p = *request.parameters;

    const SettingsFile settings(services_.settings_file);
    SaveParameterTexts(settings, ParameterTexts{ToStd(segments_field_->text()), ToStd(heartline_field_->text()),
                                                ToStd(start_speed_field_->text()), ToStd(end_speed_field_->text()),
                                                ToStd(precision_field_->text()), ToStd(filter_field_->text())});
    SaveSetting("Preferences", "SL",
                FromStd(SegmentLengthText(run_->track_length(), ToStd(segments_field_->text()))));

    progress_bar_->show();
    bubble_timer_->stop();
    bubble_shape_->hide();
    slot_machine_timer_->start();

    HeartlineParams params;
    params.segments = p.segments;
    params.precision = p.precision;
    params.heartline = p.heartline;
    params.start_speed = p.start_speed;
    params.end_speed = p.end_speed;
    params.filter = p.filter;
    const SolveResult result = run_->RunCurrent(
        banking_mode_, params, [this](double friction) { ShowFriction(FromStd(FormatFriction(friction))); });
    const bool cancelled = run_->cancelled();
    if (!result.ok && !cancelled && services_.message_boxes != nullptr) {
        // The valley is the expected failure and comes with its own text; the
        // solver's other refusals say what is wrong instead of blaming speeds.
        const QString text = result.message.empty() ? QString(kValleyMessage) : FromStd(result.message);
        services_.message_boxes->Warning(this, "Horrible!", text);
    }

    slot_machine_timer_->stop();
    ResetBubbleAfterRun(bubble_state_);
    ShowBubble();
    bubble_shape_->show();
    bubble_timer_->start();
    ShowEndMeasures();
    progress_bar_->hide();
    ShowProgressBar();

    if (result.ok && !cancelled) {
        ShowMessage("OK", 1500);
        track_modified_ = true;
        status_light2_->show();
        status_light3_->hide();
    } else {
        track_modified_ = false;
        ShowMessage("- ERROR -", 3000, ValleyHint(result, params));
    }
    RideRunFinished(result.ok && !cancelled, params);
}

void MainWindow::ShowEndMeasures() {
    const EndMeasureTexts t = FormatEndMeasures(AnalyzeTrackEnds(run_->current_track()));
    radius_in_field_->setText(FromStd(t.radius_in));
    tilt_in_field_->setText(FromStd(t.tilt_in));
    radius_out_field_->setText(FromStd(t.radius_out));
    tilt_out_field_->setText(FromStd(t.tilt_out));
    slope_in_field_->setText(FromStd(t.slope_in));
    slope_out_field_->setText(FromStd(t.slope_out));
}

// ---- Opening a track without the dialog; settings that cannot be kept -------

namespace {

// The one local .nltrack file a drag carries, or an empty text.
QString DroppedTrack(const QMimeData* data) {
    if (data == nullptr || !data->hasUrls() || data->urls().size() != 1) return {};
    const QUrl url = data->urls().front();
    if (!url.isLocalFile()) return {};
    const QString path = url.toLocalFile();
    return path.endsWith(".nltrack", Qt::CaseInsensitive) ? path : QString();
}

}  // namespace

void MainWindow::OpenTrack(const QString& path) {
    if (run_->running() || path.isEmpty()) return;
    // Qt hands out "C:/a/b.nltrack"; the folder rules read the system's own separators.
    open_path_ = QDir::toNativeSeparators(path);
    OnLoadClicked();
    open_path_.clear();
}

void MainWindow::dragEnterEvent(QDragEnterEvent* event) {
    if (!run_->running() && !DroppedTrack(event->mimeData()).isEmpty()) event->acceptProposedAction();
}

void MainWindow::dropEvent(QDropEvent* event) {
    const QString path = DroppedTrack(event->mimeData());
    if (path.isEmpty()) return;
    event->acceptProposedAction();
    OpenTrack(path);
}

void MainWindow::ReportSettingsFailure() {
    if (settings_failure_reported_) return;
    settings_failure_reported_ = true;
    ShowMessage("Settings not saved", 3000,
                 "Settings not saved: cannot write " + QString::fromStdString(services_.settings_file));
}

}  // namespace torvix
