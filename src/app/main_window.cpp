#include "app/main_window.h"

#include <QCloseEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QLineEdit>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>

#include "analysis/track_ends.h"
#include "app/click_label.h"
#include "app/filter_key.h"
#include "app/message_line.h"
#include "app/parameter_field.h"
#include "app/refined_check.h"
#include "app/ride_report_controller.h"
#include "app/run_controller.h"
#include "app/shape_widget.h"
#include "app/std_text.h"
#include "app/suggest_controller.h"
#include "app/track_saver.h"
#include "app/track_session.h"
#include "app/widget_style.h"
#include "app/window_animator.h"
#include "app/window_layout.h"
#include "app/window_region.h"
#include "app/window_settings.h"
#include "texts/display_texts.h"

using namespace torvix::analysis;
using namespace torvix::settings;
using namespace torvix::texts;
using namespace torvix::track;

namespace torvix::app {
namespace {

const QColor kLightGreen(0, 192, 0);
const QColor kBarRed(255, 0, 0);

// The one local .nltrack file a drag carries, or an empty text.
QString DroppedTrack(const QMimeData* data) {
    if (data == nullptr || !data->hasUrls() || data->urls().size() != 1) return {};
    const QUrl url = data->urls().front();
    if (!url.isLocalFile()) return {};
    const QString path = url.toLocalFile();
    return path.endsWith(".nltrack", Qt::CaseInsensitive) ? path : QString();
}

}  // namespace

MainWindow::MainWindow(WindowServices services, QWidget* parent)
    : QWidget(parent, Qt::FramelessWindowHint | Qt::Window),
      services_(std::move(services)),
      settings_(new WindowSettings(services_.settings_file, this)),
      session_(new TrackSession(this)),
      runs_(new RunController(this)) {
    setObjectName("frmMain");
    setWindowTitle(kWindowCaption);
    setMouseTracking(true);
    setAcceptDrops(true);
    saver_ = std::make_unique<TrackSaver>(*settings_, services_.dialogs, services_.message_boxes);
    ride_ = new RideReportController(*session_, *runs_, services_.dialogs, this, [this] { return saver_->folder(); });
    suggest_ = new SuggestController(*session_, this);
    refined_check_ = new RefinedCheck(this);
    connect(settings_, &WindowSettings::saveFailed, this, [this](const QString& file) {
        ShowMessage("Settings not saved", 3000, "Settings not saved: cannot write " + file);
    });
    // Any run, this window's or its report's, ends here.
    connect(runs_, &RunController::finished, this, &MainWindow::RunEnded);
    BuildControls();
    StartUp();
}

MainWindow::~MainWindow() = default;

QTimer* MainWindow::timer(const char* name) const { return findChild<QTimer*>(name); }
bool MainWindow::track_loaded() const { return session_->loaded(); }
bool MainWindow::track_modified() const { return session_->modified(); }
bool MainWindow::run_in_progress() const { return runs_->running(); }
double MainWindow::track_length() const { return session_->length(); }
const Track& MainWindow::current_track() const { return session_->current_track(); }
const Track& MainWindow::loaded_track() const { return session_->loaded_track(); }
long MainWindow::progress_count() const { return runs_->progress_count(); }
long MainWindow::progress_total() const { return runs_->progress_total(); }

// ---- layout

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

// Creation order is the tab order: the six parameter fields, then the results.
void MainWindow::BuildControls() {
    BuildFields();
    BuildDisplays();
    BuildButtons();
    WindowAnimator::Widgets animated;
    animated.window = this;
    animated.faded.assign(fields_.begin(), fields_.end());
    animated.faded.insert(animated.faded.end(), results_.begin(), results_.end());
    animated.faded.insert(animated.faded.end(), {length_label_, friction_label_});
    animated.ring = {results_[kSlopeIn], results_[kRadiusIn],  results_[kTiltIn],
                     results_[kTiltOut], results_[kRadiusOut], results_[kSlopeOut]};
    animated.bar = progress_bar_;
    animated.bubble = bubble_shape_;
    animator_ = new WindowAnimator(std::move(animated), *runs_);
    message_ = new MessageLine(message_label_, this);
    BuildAddedControls();
}

void MainWindow::BuildFields() {
    for (std::size_t i = 0; i < fields_.size(); ++i) {
        const layout::ParameterSpec& place = layout::kParameters[i];
        auto* field = new ParameterField(place.allow_decimal, place.allow_negative, this);
        field->setObjectName(place.name);
        field->setGeometry(TwipsToPixels(place.rect));
        field->setToolTip(place.tooltip);
        field->setFrame(false);
        SetColours(field, kFieldBackground, kTextColour);
        fields_[i] = field;
    }
    connect(fields_[kPrecision], &ParameterField::focusLost, this, &MainWindow::OnPrecisionFocusLost);
    for (std::size_t i = 0; i < results_.size(); ++i) {
        auto* field = new QLineEdit(this);
        field->setObjectName(layout::kResults[i].name);
        field->setGeometry(TwipsToPixels(layout::kResults[i].rect));
        field->setFrame(false);
        field->setText(layout::kResults[i].text);
        SetColours(field, kFieldBackground, kTextColour);
        connect(field, &QLineEdit::textChanged, this, [this, field](const QString& now) {
            field->setFont(FontToFit(font(), now, LineEditTextWidth(field)));
            // Whatever still does not fit is shown from its start, sign first;
            // someone typing in the field keeps the caret where it is.
            if (!field->hasFocus()) field->setCursorPosition(0);
        });
        results_[i] = field;
    }
}

void MainWindow::BuildDisplays() {
    length_label_ = AddLabel("Lengthlabel", layout::kLength);
    length_label_->setToolTip(" Length of track (m)");
    friction_label_ = AddLabel("SLopeLabel", layout::kFriction);
    friction_label_->setToolTip("Average Friction Coefficient");
    for (ClickLabel* label : {length_label_, friction_label_}) {
        label->setText("---");
        label->setAutoFillBackground(true);
        label->setAlignment(Qt::AlignCenter);
        SetColours(label, kFieldBackground, kTextColour);
    }
    const char* const light_names[] = {"statuslight1", "statuslight2", "statuslight3"};
    for (std::size_t i = 0; i < lights_.size(); ++i) {
        lights_[i] = AddShape(light_names[i], true, layout::kLights[i]);
        lights_[i]->SetFill(kLightGreen);
        lights_[i]->SetBorderColour(kLightGreen);
        lights_[i]->hide();
    }
    progress_bar_ = AddShape("Progressbar", false, layout::kProgressBar);
    progress_bar_->SetFill(kBarRed);
    progress_bar_->SetBorderColour(kBarRed);
    progress_bar_->hide();
    bubble_shape_ = AddShape("bubbleshape", true, layout::kBubble);
    bubble_shape_->SetBorderColour(kTextColour);
    bubble_shape_->SetBorderStyle(OutlineStyle::kSolid);
}

void MainWindow::BuildButtons() {
    connect(AddLabel("btnLoad", layout::kLoad), &ClickLabel::clicked, this, &MainWindow::OnLoadClicked);
    connect(AddLabel("btnMod", layout::kModify), &ClickLabel::clicked, this, &MainWindow::OnModifyClicked);
    connect(AddLabel("btnSave", layout::kSave), &ClickLabel::clicked, this, &MainWindow::OnSaveClicked);
    connect(AddLabel("minimizeme", layout::kMinimize), &ClickLabel::clicked, this, &MainWindow::OnMinimizeClicked);
    ClickLabel* close = AddLabel("closeme", layout::kClose);
    close->setText("    ");
    connect(close, &ClickLabel::clicked, this, &MainWindow::OnCloseClicked);

    message_label_ = AddLabel("Message_Label", layout::kMessage);
}

void MainWindow::StartUp() {
    skin_ = services_.skin;
    if (skin_.isNull()) {
        // Without its artwork the window is still usable: a plain dark panel.
        skin_ = QImage(440, 340, QImage::Format_RGB32);
        skin_.fill(kFieldBackground);
    }
    region_ = MakeFormTransparent(this, skin_, kSkinKeyColour);

    const ParameterTexts texts = settings_->Parameters();
    const std::pair<Parameter, const std::string*> stored[] = {
        {kSegments, &texts.segments},   {kHeartline, &texts.heartline}, {kStartSpeed, &texts.start_speed},
        {kEndSpeed, &texts.end_speed}, {kPrecision, &texts.precision}, {kFilter, &texts.filter}};
    for (const auto& [field, text] : stored) fields_[field]->setText(FromStd(*text));
    ShowBankingMode(settings_->Mode());

    animator_->Start();
    message_->Start();
}

ParameterTexts MainWindow::FieldTexts() const {
    auto text = [this](Parameter p) { return fields_[p]->text().toStdString(); };
    return ParameterTexts{text(kSegments), text(kHeartline), text(kStartSpeed),
                          text(kEndSpeed), text(kPrecision), text(kFilter)};
}

// ---- window events

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
    // Nobody will read the offer: stop trying the refined method.
    refined_check_->Drop();
    if (runs_->running()) {
        // Unwind the run first; the window closes when it has.
        runs_->Cancel();
        close_after_run_ = true;
        event->ignore();
        return;
    }
    event->accept();
}

void MainWindow::dragEnterEvent(QDragEnterEvent* event) {
    if (!Busy() && !DroppedTrack(event->mimeData()).isEmpty()) event->acceptProposedAction();
}

void MainWindow::dropEvent(QDropEvent* event) {
    const QString path = DroppedTrack(event->mimeData());
    if (path.isEmpty()) return;
    event->acceptProposedAction();
    OpenTrack(path);
}

void MainWindow::OnCloseClicked() { close(); }

void MainWindow::OnMinimizeClicked() { setWindowState(windowState() | Qt::WindowMinimized); }

// ---- what the window shows

void MainWindow::ShowMessage(const QString& text, int duration_ms, const QString& full_text) {
    message_->Show(text, duration_ms, full_text);
}

void MainWindow::OnMessageTimeout() { message_->TimeUp(); }
void MainWindow::OnFadeTick() { animator_->FadeTick(); }
void MainWindow::OnSlotMachineTick() { animator_->SlotMachineTick(); }
void MainWindow::OnBubbleTick() { animator_->BubbleTick(); }

void MainWindow::OnPrecisionFocusLost() {
    const PrecisionCheck check = ClampPrecision(fields_[kPrecision]->text().toStdString());
    if (check.message.empty()) return;
    fields_[kPrecision]->setText(FromStd(check.text));
    ShowMessage(FromStd(check.message), kPrecisionMessageMs);
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

void MainWindow::ShowEndMeasures() {
    const EndMeasureTexts t = FormatEndMeasures(AnalyzeTrackEnds(session_->current_track()));
    const std::pair<Result, const std::string*> shown[] = {
        {kRadiusIn, &t.radius_in}, {kTiltIn, &t.tilt_in},   {kRadiusOut, &t.radius_out},
        {kTiltOut, &t.tilt_out},   {kSlopeIn, &t.slope_in}, {kSlopeOut, &t.slope_out}};
    for (const auto& [result, text] : shown) results_[result]->setText(FromStd(*text));
}

}  // namespace torvix::app
