#include "app/main_window.h"

#include <QCloseEvent>
#include <QEventLoop>
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
#include <thread>

#include "analysis/track_ends.h"
#include "app/click_label.h"
#include "app/file_dialogs.h"
#include "app/filter_key.h"
#include "app/message_boxes.h"
#include "app/parameter_field.h"
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
    : QWidget(parent, Qt::FramelessWindowHint | Qt::Window), services_(std::move(services)) {
    setObjectName("frmMain");
    setWindowTitle(kWindowCaption);
    setMouseTracking(true);
    setAcceptDrops(true);
    BuildControls();
    Form_Load();
}

MainWindow::~MainWindow() = default;

QTimer* MainWindow::timer(const char* name) const { return findChild<QTimer*>(name); }

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
    auto* shape = new ShapeWidget(circle ? ShapeWidget::Kind::Circle : ShapeWidget::Kind::Rectangle, this);
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
    str_segments_ = AddParameterField("str_segments", {2100, 1500, 615, 315}, false, false,
                                      "Number of Segments the heartlined Track should have.");
    str_heartline_ = AddParameterField("str_heartline", {2100, 1950, 615, 315}, true, true,
                                       "Position of heartline. See the recommended values on the right.");
    str_startspeed_ = AddParameterField(
        "str_startspeed", {2100, 2400, 615, 315}, true, false,
        "Speed of the train at the start of the track. Note that this must be measured in meters per "
        "second (m/s).");
    str_endspeed_ = AddParameterField(
        "str_endspeed", {2100, 2850, 615, 315}, true, false,
        "Speed of the train at the end of the track. Note that this must be measured in meters per second "
        "(m/s).");
    str_precision_ = AddParameterField(
        "str_precision", {2100, 3300, 615, 315}, false, false,
        "Number of points used to determine the shape of each segment. Usually 6 points or ok.");
    str_filter_ = AddParameterField("str_filter", {2100, 3750, 615, 315}, false, false,
                                    "Specifies how often the filter is being applied. The higher this value "
                                    "the smoother the transitions and the more precision is lost.");
    // The fields' design texts; start-up replaces them with the stored settings.
    str_segments_->setText("60");
    str_heartline_->setText("1.1");
    str_startspeed_->setText("20");
    str_endspeed_->setText("17");
    str_precision_->setText("6");
    str_filter_->setText("12");
    connect(str_precision_, &ParameterField::focusLost, this, &MainWindow::str_precision_LostFocus);

    str_slope_in_ = AddResultField("str_slope_in", {3600, 3300, 765, 315}, "Torvix");
    str_radius_in_ = AddResultField("str_radius_in", {4500, 3300, 765, 315}, "");
    str_tilt_in_ = AddResultField("str_tilt_in", {5400, 3300, 765, 315}, "");
    str_slope_out_ = AddResultField("str_slope_out", {3600, 3750, 765, 315}, "");
    str_radius_out_ = AddResultField("str_radius_out", {4500, 3750, 765, 315}, "");
    str_tilt_out_ = AddResultField("str_tilt_out", {5400, 3750, 765, 315}, "V1.6");

    Lengthlabel_ = AddLabel("Lengthlabel", {3905, 2760, 900, 315});
    Lengthlabel_->setText("---");
    Lengthlabel_->setToolTip(" Length of track (m)");
    SLopeLabel_ = AddLabel("SLopeLabel", {4950, 2760, 900, 315});
    SLopeLabel_->setText("---");
    SLopeLabel_->setToolTip("Average Friction Coefficient");
    for (ClickLabel* label : {Lengthlabel_, SLopeLabel_}) {
        label->setAutoFillBackground(true);
        label->setAlignment(Qt::AlignCenter);
        SetColours(label, kFieldBackground, kTextColour);
    }

    statuslight1_ = AddShape("statuslight1", true, {3272, 2664, 94, 94});
    statuslight2_ = AddShape("statuslight2", true, {3420, 2664, 94, 94});
    statuslight3_ = AddShape("statuslight3", true, {3570, 2664, 94, 94});
    for (ShapeWidget* light : {statuslight1_, statuslight2_, statuslight3_}) {
        light->SetFill(kLightGreen);
        light->SetBorderColour(kLightGreen);
        light->hide();
    }
    Progressbar_ = AddShape("Progressbar", false, {2920, 2400, 145, 1680});
    Progressbar_->SetFill(kBarRed);
    Progressbar_->SetBorderColour(kBarRed);
    Progressbar_->hide();
    bubbleshape_ = AddShape("bubbleshape", true, {2950, 3960, 40, 40});
    bubbleshape_->SetBorderColour(kTextColour);
    bubbleshape_->SetBorderStyle(ShapeWidget::kSolid);

    auto* load = AddLabel("btnLoad", {540, 4620, 1335, 255});
    auto* mod = AddLabel("btnMod", {2340, 4620, 1335, 255});
    auto* save = AddLabel("btnSave", {4140, 4620, 1335, 255});
    auto* minimize = AddLabel("minimizeme", {5280, 180, 495, 315});
    auto* close = AddLabel("closeme", {5820, 180, 435, 315});
    close->setText("    ");
    connect(load, &ClickLabel::clicked, this, &MainWindow::btnLoad_Click);
    connect(mod, &ClickLabel::clicked, this, &MainWindow::btnMod_Click);
    connect(save, &ClickLabel::clicked, this, &MainWindow::btnSave_Click);
    connect(minimize, &ClickLabel::clicked, this, &MainWindow::minimizeme_Click);
    connect(close, &ClickLabel::clicked, this, &MainWindow::closeme_Click);

    Message_Label_ = AddLabel("Message_Label", {780, 4220, 1635, 315});
    Message_Label_->setText("Ready");
    QFont message_font("Fixedsys");
    message_font.setPointSize(9);
    message_font.setWeight(QFont::Normal);
    message_font.setStyleHint(QFont::TypeWriter);
    Message_Label_->setFont(message_font);
    message_font_ = message_font;
    Message_Label_->setAlignment(Qt::AlignCenter);
    SetTextOnlyColour(Message_Label_, kTextColour);

    fade_ = AddTimer("fade", 20, &MainWindow::fade_Timer);
    bubble_ = AddTimer("bubble", 50, &MainWindow::bubble_Timer);
    Slotmachine_ = AddTimer("Slotmachine", 100, &MainWindow::Slotmachine_Timer);
    message_timer_ = AddTimer("message_timer", 1500, &MainWindow::message_timer_Timer);

    BuildRideControls();
}

void MainWindow::Form_Load() {
    track_modified_ = false;
    track_loaded_ = false;
    fade_state_ = FadeState{};
    progress_count_ = 0;
    progress_total_ = 10;

    skin_ = services_.skin;
    if (skin_.isNull()) {
        // Without its artwork the window is still usable: a plain dark panel.
        skin_ = QImage(440, 340, QImage::Format_RGB32);
        skin_.fill(kFieldBackground);
    }
    region_ = MakeFormTransparent(this, skin_, kSkinKeyColour);

    const ParameterTexts texts = LoadParameterTexts(SettingsFile(services_.settings_file));
    str_segments_->setText(FromStd(texts.segments));
    str_heartline_->setText(FromStd(texts.heartline));
    str_startspeed_->setText(FromStd(texts.start_speed));
    str_endspeed_->setText(FromStd(texts.end_speed));
    str_precision_->setText(FromStd(texts.precision));
    str_filter_->setText(FromStd(texts.filter));
    ReadBankingMode();

    for (QTimer* t : {fade_, bubble_, Slotmachine_, message_timer_}) t->start();
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
    if (running_) {
        // Unwind the run first; the window closes when it has.
        cancel_requested_ = true;
        cancel_run_.store(true);
        close_after_run_ = true;
        event->ignore();
        return;
    }
    event->accept();
}

void MainWindow::closeme_Click() { close(); }

void MainWindow::minimizeme_Click() { setWindowState(windowState() | Qt::WindowMinimized); }

void MainWindow::show_message(const QString& text, int duration_ms, const QString& full_text) {
    Message_Label_->setText(text);
    Message_Label_->setToolTip(full_text == text ? QString() : full_text);
    FitMessageLine();
    Message_Label_->setEnabled(true);
    message_timer_->setInterval(duration_ms);
    message_timer_->start();
}

// The message line is short: a text too long for one line is wrapped and set
// smaller until it fits, so no message is ever cut.
void MainWindow::FitMessageLine() {
    const QString text = Message_Label_->text();
    const QRect box = Message_Label_->contentsRect();
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
    Message_Label_->setWordWrap(wrap);
    Message_Label_->setFont(font);
}

void MainWindow::message_timer_Timer() {
    Message_Label_->setText(QString());
    message_timer_->stop();
}

void MainWindow::str_precision_LostFocus() {
    const PrecisionCheck check = ClampPrecision(ToStd(str_precision_->text()));
    if (check.message.empty()) return;
    str_precision_->setText(FromStd(check.text));
    show_message(FromStd(check.message), kPrecisionMessageMs);
}

void MainWindow::SetTextColour(const QColor& colour) {
    for (QWidget* w : std::initializer_list<QWidget*>{
             str_segments_, str_heartline_, str_startspeed_, str_endspeed_, str_precision_, str_filter_,
             str_slope_in_, str_radius_in_, str_tilt_in_, str_slope_out_, str_radius_out_, str_tilt_out_,
             Lengthlabel_, SLopeLabel_})
        SetTextOnlyColour(w, colour);
}

void MainWindow::fade_Timer() {
    setEnabled(true);
    const Rgb c = FadeTick(fade_state_);
    if (!fade_state_.running) fade_->stop();
    SetTextColour(QColor(c.red, c.green, c.blue));
}

void MainWindow::Slotmachine_Timer() {
    QLineEdit* const ring_fields[] = {str_slope_in_,  str_radius_in_,  str_tilt_in_,
                                      str_tilt_out_,  str_radius_out_, str_slope_out_};
    SlotRing ring;
    for (std::size_t i = 0; i < ring.size(); ++i) ring[i] = ToStd(ring_fields[i]->text());
    RotateSlotRing(ring);
    for (std::size_t i = 0; i < ring.size(); ++i) ring_fields[i]->setText(FromStd(ring[i]));
    ShowProgressBar();
}

void MainWindow::ShowProgressBar() {
    const BarGeometry bar = ProgressBarGeometry(static_cast<std::int32_t>(progress_count_),
                                                static_cast<std::int32_t>(progress_total_));
    const TwipRect now = Progressbar_->Twips();
    Progressbar_->SetTwips({now.left, bar.top, now.width, bar.height});
}

void MainWindow::bubble_Timer() {
    BubbleTick(bubble_state_, random_);
    ShowBubble();
}

void MainWindow::ShowBubble() {
    bubbleshape_->SetTwips({bubble_state_.left, bubble_state_.top, bubble_state_.width, bubble_state_.height});
    bubbleshape_->SetBorderStyle(static_cast<int>(bubble_state_.outline));
}

void MainWindow::display_length(double length) {
    Lengthlabel_->setText(FromStd(FormatLength(length)));
    Lengthlabel_->setFont(FontToFit(font(), Lengthlabel_->text(), Lengthlabel_->contentsRect().width() - 2));
    Lengthlabel_->setEnabled(true);
}

void MainWindow::display_gradient(const QString& text) {
    SLopeLabel_->setText(text);
    SLopeLabel_->setFont(FontToFit(font(), text, SLopeLabel_->contentsRect().width() - 2));
    SLopeLabel_->setEnabled(true);
}

// ---- commands

namespace {

// Thrown from the solver's progress callback to end a run the user closed the
// window on; caught by the modify command.

constexpr const char* kOpenTitle = "Load Track...";
constexpr const char* kSaveTitle = "Save Track As...";

}  // namespace

void MainWindow::btnLoad_Click() {
    if (running_) return;
    // The dialog closes over the window; the mouse move that follows is no drag.
    ignore_mouse_move_ = true;
    load_folder_ = Setting("File_IO", "LoadPath", FromStd(services_.app_folder));

    std::string file = ToStd(load_file_);
    std::string file_title;
    std::string filter(kTrackFilter);
    std::int32_t filter_index = 1;
    std::int32_t flags = 0;
    bool read_only = false;
    if (!open_path_.isEmpty()) file = ToStd(open_path_);
    const bool chosen = !open_path_.isEmpty() ||
                        (services_.dialogs != nullptr &&
                         services_.dialogs->ShowOpenDialog(file, file_title, true, read_only, true, filter,
                                                          filter_index, ToStd(load_folder_), kOpenTitle,
                                                          std::string(kTrackExtension), this, flags));
    load_file_ = chosen ? FromStd(file) : QString();
    if (!chosen) return;

    RideTrackChanged(FromStd(file));
    // A file that cannot be read, or whose spline cannot be measured, is a
    // failed load; the message line says why (the whole text as its tooltip).
    TrackIoError error;
    std::vector<SkippedChunk> skipped;
    TrackLengthResult measured;
    const bool read = ReadTrackFile(file, CurrentTrack, &error, &skipped);
    if (read) measured = TrackLength(CurrentTrack);
    if (!read || !measured.ok()) {
        if (services_.message_boxes != nullptr)
            services_.message_boxes->Warning(this, "Load Error", "Error Loading Track File!");
        track_modified_ = false;
        track_loaded_ = false;
        const std::string reason = read ? "the track's length cannot be measured: " + measured.message
                                        : error.message + (error.offset >= 0
                                                               ? " (at byte offset " + std::to_string(error.offset) + ")"
                                                               : std::string());
        show_message(FromStd(reason), 3000, FromStd(reason + "\n" + file));
        return;
    }

    Slotmachine_->stop();
    track_modified_ = false;
    track_loaded_ = true;
    statuslight1_->show();
    statuslight2_->hide();
    statuslight3_->hide();
    display_analysis();

    if (!WantsSegmentLength(ToStd(Setting("Preferences", "WantSL", "0")))) {
        SaveSetting("Preferences", "WantSL", "0");
        publiclength = measured.length;
    } else {
        const QString sl = Setting("Preferences", "SL", "2");
        publiclength = measured.length;
        if (const auto segments = ProposedSegmentsText(publiclength, ToStd(sl)))
            str_segments_->setText(FromStd(*segments));
    }
    if (!skipped.empty()) {
        std::string all;
        for (const SkippedChunk& s : skipped) {
            if (!all.empty()) all += '\n';
            all += SkippedChunkText(s);
        }
        show_message(FromStd(SkippedChunksMessage(skipped)), 3000, FromStd(all));
    }

    LoadedTrack = CurrentTrack;
    display_length(publiclength);

    load_folder_ = FromStd(GetFilePath(file));
    SaveSetting("File_IO", "LoadPath", load_folder_);
    save_folder_ = FromStd(ProposedSaveFolder(ToStd(Setting("File_IO", "SavePath", load_folder_)),
                                              ToStd(load_folder_)));
    save_file_ = FromStd(ProposedSavePath(ToStd(save_folder_), file));
}

void MainWindow::btnSave_Click() {
    if (running_ || !track_modified_) return;

    std::string file = ToStd(save_file_);
    std::string file_title;
    std::string filter(kTrackFilter);
    std::int32_t filter_index = 1;
    std::int32_t flags = 0;
    const bool chosen = services_.dialogs != nullptr &&
                        services_.dialogs->ShowSaveDialog(file, file_title, true, filter, filter_index,
                                                          ToStd(save_folder_), kSaveTitle,
                                                          std::string(kTrackExtension), this, flags);
    save_file_ = chosen ? FromStd(file) : QString();
    if (!chosen) return;

    SaveSetting("File_IO", "SavePath", FromStd(GetFilePath(file)));
    TrackIoError error;
    if (!WriteTrackFile(file, CurrentTrack, &error)) {
        // The writer replaces the target only once the new file is whole, so
        // the old file is still there; the light stays dark.
        if (services_.message_boxes != nullptr)
            services_.message_boxes->Warning(this, "Save Error",
                                             "Error Saving Track File!\n\n" + FromStd(error.message));
        return;
    }
    statuslight3_->show();
}

void MainWindow::btnMod_Click() {
    if (running_) return;
    CurrentTrack = LoadedTrack;
    if (!track_loaded_) return;
    statuslight2_->hide();
    RideTrackChanged();

    const ModifyRequest request = ReadModifyParameters(ModifyFieldTexts{
        ToStd(str_segments_->text()), ToStd(str_precision_->text()), ToStd(str_filter_->text()),
        ToStd(str_heartline_->text()), ToStd(str_startspeed_->text()), ToStd(str_endspeed_->text())});
    if (!request.parameters) {
        // CurrentTrack is the loaded track again, so there is nothing to save.
        track_modified_ = false;
        show_message(FromStd(request.refusal), 3000, FromStd(request.refusal_detail));
        return;
    }
    const ModifyParameters& p = *request.parameters;

    const SettingsFile settings(services_.settings_file);
    SaveParameterTexts(settings, ParameterTexts{ToStd(str_segments_->text()), ToStd(str_heartline_->text()),
                                                ToStd(str_startspeed_->text()), ToStd(str_endspeed_->text()),
                                                ToStd(str_precision_->text()), ToStd(str_filter_->text())});
    SaveSetting("Preferences", "SL",
                FromStd(SegmentLengthText(publiclength,
                                          ToStd(str_segments_->text()))));

    Progressbar_->show();
    bubble_->stop();
    bubbleshape_->hide();
    Slotmachine_->start();

    SolverObserver observer;
    // The solver runs on a thread of its own: what it reports reaches the widgets through the event queue.
    observer.display_gradient = [this](double friction) {
        QMetaObject::invokeMethod(
            this, [this, friction] { display_gradient(FromStd(FormatFriction(friction))); }, Qt::QueuedConnection);
    };
    observer.progress = [this](long count, long total) { OnSolverProgress(count, total); };
    observer.cancel = &cancel_run_;
    HeartlineParams params;
    params.segments = p.segments;
    params.precision = p.precision;
    params.heartline = p.heartline;
    params.start_speed = p.start_speed;
    params.end_speed = p.end_speed;
    params.filter = p.filter;

    running_ = true;
    cancel_requested_ = false;
    cancel_run_.store(false);
    SolveResult result;
    {
        // The window keeps its events (timers, repaints, close) in a local
        // loop while the solver works; the commands stay locked by running_.
        QEventLoop loop;
        const SolverMode mode = banking_mode_;
        std::thread solver([&] {
            result = SolveHeartlineWith(mode, CurrentTrack, publiclength, params, observer);
            QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
        });
        loop.exec();
        solver.join();
    }
    running_ = false;
    const bool cancelled = cancel_requested_;
    if (!result.ok && !cancelled && services_.message_boxes != nullptr) {
        // The valley is the expected failure and comes with its own text; the
        // solver's other refusals say what is wrong instead of blaming speeds.
        const QString text = result.message.empty() ? QString(kValleyMessage) : FromStd(result.message);
        services_.message_boxes->Warning(this, "Horrible!", text);
    }

    Slotmachine_->stop();
    ResetBubbleAfterRun(bubble_state_);
    ShowBubble();
    bubbleshape_->show();
    bubble_->start();
    display_analysis();
    progress_count_ = 0;
    progress_total_ = 10;
    Progressbar_->hide();
    ShowProgressBar();

    if (result.ok && !cancelled) {
        show_message("OK", 1500);
        track_modified_ = true;
        statuslight2_->show();
        statuslight3_->hide();
    } else {
        track_modified_ = false;
        show_message("- ERROR -", 3000, ValleyHint(result, params));
    }
    RideRunFinished(result.ok && !cancelled, params);
    if (close_after_run_) QTimer::singleShot(0, this, &QWidget::close);
}

void MainWindow::OnSolverProgress(long count, long total) {
    // On the solver's thread: only the counts, which the progress bar's timer reads.
    progress_count_.store(count);
    progress_total_.store(total);
}

void MainWindow::display_analysis() {
    const EndMeasureTexts t = FormatEndMeasures(AnalyzeTrackEnds(CurrentTrack));
    str_radius_in_->setText(FromStd(t.radius_in));
    str_tilt_in_->setText(FromStd(t.tilt_in));
    str_radius_out_->setText(FromStd(t.radius_out));
    str_tilt_out_->setText(FromStd(t.tilt_out));
    str_slope_in_->setText(FromStd(t.slope_in));
    str_slope_out_->setText(FromStd(t.slope_out));
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
    if (running_ || path.isEmpty()) return;
    // Qt hands out "C:/a/b.nltrack"; the folder rules read the system's own separators.
    open_path_ = QDir::toNativeSeparators(path);
    btnLoad_Click();
    open_path_.clear();
}

void MainWindow::dragEnterEvent(QDragEnterEvent* event) {
    if (!running_ && !DroppedTrack(event->mimeData()).isEmpty()) event->acceptProposedAction();
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
    show_message("Settings not saved", 3000,
                 "Settings not saved: cannot write " + QString::fromStdString(services_.settings_file));
}

}  // namespace torvix
