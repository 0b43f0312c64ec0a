#include <QClipboard>
#include <QFile>
#include <QMouseEvent>
#include <QTest>
#include <QTimer>
#include <filesystem>
#include <fstream>

#include "app/click_label.h"
#include "app/shape_widget.h"
#include "window_fixture.h"

using namespace torvix::app;

namespace torvix::test {
namespace {

struct Placement {
    const char* name;
    QRect pixels;
};

// Twips of the design divided by 15, each edge rounded.
const Placement kPlacements[] = {
    {"str_segments", {140, 100, 41, 21}},   {"str_heartline", {140, 130, 41, 21}},
    {"str_startspeed", {140, 160, 41, 21}}, {"str_endspeed", {140, 190, 41, 21}},
    {"str_precision", {140, 220, 41, 21}},  {"str_filter", {140, 250, 41, 21}},
    {"str_slope_in", {240, 220, 51, 21}},   {"str_radius_in", {300, 220, 51, 21}},
    {"str_tilt_in", {360, 220, 51, 21}},    {"str_slope_out", {240, 250, 51, 21}},
    {"str_radius_out", {300, 250, 51, 21}}, {"str_tilt_out", {360, 250, 51, 21}},
    {"Lengthlabel", {260, 184, 60, 21}},    {"SLopeLabel", {330, 184, 60, 21}},
    {"statuslight1", {218, 178, 6, 6}},     {"statuslight2", {228, 178, 6, 6}},
    {"statuslight3", {238, 178, 6, 6}},     {"Progressbar", {195, 160, 9, 112}},
    {"bubbleshape", {197, 264, 2, 3}},      {"btnLoad", {36, 308, 89, 17}},
    {"btnMod", {156, 308, 89, 17}},         {"btnSave", {276, 308, 89, 17}},
    {"minimizeme", {352, 12, 33, 21}},      {"closeme", {388, 12, 29, 21}},
    {"Message_Label", {52, 281, 109, 21}},
};

TEST_F(WindowTest, ControlsSitWhereTheSkinPaintsThem) {
    for (const Placement& p : kPlacements) {
        QWidget* w = Control(p.name);
        ASSERT_NE(w, nullptr);
        EXPECT_EQ(w->geometry(), p.pixels) << p.name;
        EXPECT_EQ(w->parentWidget(), &Window()) << p.name;
    }
}

TEST_F(WindowTest, WindowIsFramelessSkinSizedAndShaped) {
    MainWindow& w = Window();
    EXPECT_EQ(w.objectName(), "frmMain");
    EXPECT_EQ(w.windowTitle(), "NL-Torvix V1.6");
    EXPECT_TRUE(w.windowFlags() & Qt::FramelessWindowHint);
    EXPECT_EQ(w.size(), QSize(440, 340));
    EXPECT_EQ(w.mask(), w.shape());
    EXPECT_FALSE(w.mask().contains(QPoint(5, 5)));
    EXPECT_FALSE(w.mask().contains(QPoint(435, 335)));
    EXPECT_TRUE(w.mask().contains(QPoint(25, 5)));
    EXPECT_TRUE(w.mask().contains(QPoint(220, 170)));
}

TEST_F(WindowTest, InitialTextsAndVisibility) {
    EXPECT_EQ(Field("str_slope_in")->text(), "Torvix");
    EXPECT_EQ(Field("str_tilt_out")->text(), "V1.6");
    for (const char* name : {"str_radius_in", "str_tilt_in", "str_slope_out", "str_radius_out"})
        EXPECT_EQ(Field(name)->text(), "") << name;
    EXPECT_EQ(Control<QLabel>("Lengthlabel")->text(), "---");
    EXPECT_EQ(Control<QLabel>("SLopeLabel")->text(), "---");
    EXPECT_EQ(Control<QLabel>("Message_Label")->text(), "Ready");
    EXPECT_EQ(Control<QLabel>("closeme")->text(), "    ");
    EXPECT_EQ(Control<QLabel>("Message_Label")->alignment(), Qt::AlignCenter);
    EXPECT_EQ(Control<QLabel>("Message_Label")->font().pointSize(), 9);
    for (const char* name : {"statuslight1", "statuslight2", "statuslight3", "Progressbar"})
        EXPECT_TRUE(Control(name)->isHidden()) << name;
    EXPECT_FALSE(Control("bubbleshape")->isHidden());
    EXPECT_EQ(Control<ShapeWidget>("bubbleshape")->BorderStyle(), OutlineStyle::kSolid);
    EXPECT_FALSE(Control<ShapeWidget>("bubbleshape")->FillColour().isValid());
    EXPECT_EQ(Control<ShapeWidget>("bubbleshape")->BorderColour(), QColor(180, 200, 220));
    EXPECT_EQ(Control<ShapeWidget>("statuslight2")->FillColour(), QColor(0, 192, 0));
    EXPECT_EQ(Control<ShapeWidget>("Progressbar")->FillColour(), QColor(255, 0, 0));
}

TEST_F(WindowTest, FieldAndLabelColours) {
    for (const char* name : {"str_segments", "str_filter", "str_slope_in", "str_tilt_out"}) {
        const QPalette p = Field(name)->palette();
        EXPECT_EQ(p.color(QPalette::Base), QColor(33, 37, 41)) << name;
        EXPECT_EQ(p.color(QPalette::Text), QColor(180, 200, 220)) << name;
    }
    for (const char* name : {"Lengthlabel", "SLopeLabel"}) {
        const QPalette p = Control(name)->palette();
        EXPECT_EQ(p.color(QPalette::Window), QColor(33, 37, 41)) << name;
        EXPECT_EQ(p.color(QPalette::WindowText), QColor(180, 200, 220)) << name;
    }
    EXPECT_EQ(Control("Message_Label")->palette().color(QPalette::WindowText), QColor(180, 200, 220));
}

TEST_F(WindowTest, Tooltips) {
    const std::pair<const char*, const char*> tips[] = {
        {"str_segments", "Number of Segments the heartlined Track should have."},
        {"str_heartline", "Position of heartline. See the recommended values on the right."},
        {"str_startspeed",
         "Speed of the train at the start of the track. Note that this must be measured in meters per second "
         "(m/s)."},
        {"str_endspeed",
         "Speed of the train at the end of the track. Note that this must be measured in meters per second "
         "(m/s)."},
        {"str_precision", "Number of points used to determine the shape of each segment. Usually 6 points or ok."},
        {"str_filter",
         "Specifies how often the filter is being applied. The higher this value the smoother the transitions "
         "and the more precision is lost."},
        {"Lengthlabel", " Length of track (m)"},
        {"SLopeLabel", "Average Friction Coefficient"},
    };
    for (const auto& [name, tip] : tips) EXPECT_EQ(Control(name)->toolTip(), tip) << name;
}

TEST_F(WindowTest, TabOrderRunsDownTheParametersThenTheResults) {
    const char* order[] = {"str_segments",   "str_heartline", "str_startspeed", "str_endspeed",
                           "str_precision",  "str_filter",    "str_slope_in",   "str_radius_in",
                           "str_tilt_in",    "str_slope_out", "str_radius_out", "str_tilt_out"};
    QWidget* w = Control(order[0]);
    for (std::size_t i = 1; i < std::size(order); ++i) {
        do {
            w = w->nextInFocusChain();
        } while (!(w->focusPolicy() & Qt::TabFocus));
        EXPECT_EQ(w->objectName(), order[i]);
    }
    for (const char* name : {"btnLoad", "btnMod", "Lengthlabel", "Message_Label"})
        EXPECT_FALSE(Control(name)->focusPolicy() & Qt::TabFocus) << name;
}

TEST_F(WindowTest, TimersRunFromTheStart) {
    const std::pair<const char*, int> timers[] = {
        {"fade", 20}, {"bubble", 50}, {"Slotmachine", 100}, {"message_timer", 1500}};
    for (const auto& [name, interval] : timers) {
        QTimer* t = Window().timer(name);
        ASSERT_NE(t, nullptr) << name;
        EXPECT_EQ(t->interval(), interval) << name;
        EXPECT_TRUE(t->isActive()) << name;
    }
}

// ---- start-up from the settings file

TEST_F(WindowTest, FirstStartShowsDefaultsAndCreatesNoFile) {
    EXPECT_EQ(Field("str_segments")->text(), "60");
    EXPECT_EQ(Field("str_heartline")->text(), "1.0");
    EXPECT_EQ(Field("str_startspeed")->text(), "20");
    EXPECT_EQ(Field("str_endspeed")->text(), "17");
    EXPECT_EQ(Field("str_precision")->text(), "6");
    EXPECT_EQ(Field("str_filter")->text(), "15");
    window.reset();
    EXPECT_FALSE(std::filesystem::exists(SettingsPath()));
}

TEST_F(WindowTest, StoredValuesAreShownUnchecked) {
    std::ofstream(SettingsPath()) << "[Settings]\nSegments=80\nHeartline=-1.2\nSpeedIn=25.5\n"
                                     "SpeedOut=9\nPrecision=2\nFilter=x7\n";
    EXPECT_EQ(Field("str_segments")->text(), "80");
    EXPECT_EQ(Field("str_heartline")->text(), "-1.2");
    EXPECT_EQ(Field("str_startspeed")->text(), "25.5");
    EXPECT_EQ(Field("str_endspeed")->text(), "9");
    EXPECT_EQ(Field("str_precision")->text(), "2");
    EXPECT_EQ(Field("str_filter")->text(), "x7");
}

// ---- focus, typing and the Precision clamp

class ShownWindowTest : public WindowTest {
protected:
    void SetUp() override {
        Window().show();
        QApplication::setActiveWindow(&Window());
        ASSERT_TRUE(QTest::qWaitForWindowActive(&Window()));
    }
    QLabel* Message() { return Control<QLabel>("Message_Label"); }
};

TEST_F(ShownWindowTest, TabSelectsTheWholeText) {
    Field("str_segments")->setFocus(Qt::OtherFocusReason);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    QLineEdit* heartline = Field("str_heartline");
    ASSERT_EQ(QApplication::focusWidget(), heartline);
    EXPECT_EQ(heartline->selectedText(), "1.0");
    QTest::keyClick(heartline, Qt::Key_7);
    EXPECT_EQ(heartline->text(), "7");
}

TEST_F(ShownWindowTest, ClickSelectsTheWholeText) {
    QLineEdit* filter = Field("str_filter");
    QTest::mouseClick(filter, Qt::LeftButton, {}, QPoint(30, 10));
    ASSERT_EQ(QApplication::focusWidget(), filter);
    EXPECT_EQ(filter->selectedText(), "15");
    QTest::keyClick(filter, Qt::Key_3);
    EXPECT_EQ(filter->text(), "3");
    // A second click inside the focused field places the caret as usual.
    QTest::mouseClick(filter, Qt::LeftButton, {}, QPoint(30, 10));
    EXPECT_EQ(filter->selectedText(), "");
}

TEST_F(ShownWindowTest, KeysPassTheFieldsFilter) {
    QLineEdit* heartline = Field("str_heartline");
    heartline->setFocus(Qt::TabFocusReason);
    heartline->clear();
    QTest::keyClicks(heartline, "1,5,.x ");
    EXPECT_EQ(heartline->text(), "1.5");
    heartline->setCursorPosition(0);
    QTest::keyClick(heartline, Qt::Key_Minus);
    EXPECT_EQ(heartline->text(), "-1.5");
    heartline->setCursorPosition(0);
    QTest::keyClick(heartline, Qt::Key_Minus);
    EXPECT_EQ(heartline->text(), "-1.5");
    QTest::keyClick(heartline, Qt::Key_Backspace);
    EXPECT_EQ(heartline->text(), "-1.5");  // caret at 0: nothing before it
    heartline->end(false);
    QTest::keyClick(heartline, Qt::Key_Backspace);
    EXPECT_EQ(heartline->text(), "-1.");

    QLineEdit* speed = Field("str_startspeed");
    speed->setFocus(Qt::TabFocusReason);
    QTest::keyClicks(speed, "-3.5,");
    EXPECT_EQ(speed->text(), "3.5");
    QLineEdit* segments = Field("str_segments");
    segments->setFocus(Qt::TabFocusReason);
    QTest::keyClicks(segments, "4.5,-x");
    EXPECT_EQ(segments->text(), "45");
}

TEST_F(ShownWindowTest, PasteGoesThroughTheFilter) {
    QLineEdit* heartline = Field("str_heartline");
    heartline->setFocus(Qt::TabFocusReason);
    QApplication::clipboard()->setText("-2,5 m.7");
    QTest::keyClick(heartline, Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(heartline->text(), "-2.57");
}

TEST_F(ShownWindowTest, PrecisionClampOnLeaving) {
    QLineEdit* precision = Field("str_precision");
    auto leave_with = [&](const char* text) {
        precision->setFocus(Qt::TabFocusReason);
        precision->setText(text);
        QTest::keyClick(precision, Qt::Key_Tab);
        EXPECT_NE(QApplication::focusWidget(), precision);
    };
    QTimer* message_timer = Window().timer("message_timer");

    leave_with("");
    EXPECT_EQ(precision->text(), "4");
    EXPECT_EQ(Message()->text(), "Precision has been adjusted to 4");
    EXPECT_EQ(message_timer->interval(), 1500);
    EXPECT_TRUE(message_timer->isActive());

    leave_with("20");
    EXPECT_EQ(precision->text(), "16");
    EXPECT_EQ(Message()->text(), "Precision has been adjusted to 16");

    Window().OnMessageTimeout();
    EXPECT_EQ(Message()->text(), "");
    EXPECT_FALSE(message_timer->isActive());
    for (const char* kept : {"4", "16", "9"}) {
        leave_with(kept);
        EXPECT_EQ(precision->text(), kept);
        EXPECT_EQ(Message()->text(), "") << kept;
    }
}

TEST_F(ShownWindowTest, MessageReplacesAndRestartsTheTimer) {
    Window().ShowMessage("- ERROR -", 3000);
    EXPECT_EQ(Message()->text(), "- ERROR -");
    EXPECT_EQ(Window().timer("message_timer")->interval(), 3000);
    Window().ShowMessage("OK", 1500);
    EXPECT_EQ(Message()->text(), "OK");
    EXPECT_EQ(Window().timer("message_timer")->interval(), 1500);
    QTest::qWait(1700);
    EXPECT_EQ(Message()->text(), "");
    EXPECT_FALSE(Window().timer("message_timer")->isActive());
}

// A message is never cut: whatever does not fit on the short line is wrapped
// and set smaller, and an ordinary one keeps the line's own font.
TEST_F(ShownWindowTest, MessagesFitTheMessageLine) {
    QLabel* line = Message();
    const QFont own = line->font();
    for (const char* text : {"Precision has been adjusted to 16", "Precision has been adjusted to 4",
                             "Segments >= 1", "Precision >= 1", "Filter >= 0", "Lower Segments or Precision",
                             "Lower Segments, Precision or Filter", "Refined banking rides better here: 0.16 g RMS",
                             "Set spline position to Heart Line, -1.20 m", "- ERROR -", "OK"}) {
        Window().ShowMessage(text, 1500);
        const QRect box = line->contentsRect();
        const int flags = Qt::AlignCenter | (line->wordWrap() ? Qt::TextWordWrap : 0);
        const QRect needed = QFontMetrics(line->font()).boundingRect(box, flags, text);
        EXPECT_LE(needed.width(), box.width()) << text;
        EXPECT_LE(needed.height(), box.height()) << text;
        EXPECT_GE(QFontInfo(line->font()).pixelSize(), 7) << text;
    }
    EXPECT_EQ(line->font(), own);
    EXPECT_FALSE(line->wordWrap());
    EXPECT_EQ(line->toolTip(), "");
    Window().ShowMessage("Segments >= 1", 3000, "Segments must be at least 1");
    EXPECT_EQ(line->text(), "Segments >= 1");
    EXPECT_EQ(line->toolTip(), "Segments must be at least 1");
}

// Results are set smaller rather than cut, so a sign or a leading digit is
// never lost; ordinary ones keep the window's font.
TEST_F(ShownWindowTest, ResultsFitTheirFields) {
    const QFont own = Window().font();
    for (const char* name : {"str_slope_in", "str_radius_in", "str_tilt_in", "str_slope_out", "str_radius_out",
                             "str_tilt_out"}) {
        QLineEdit* field = Field(name);
        for (const char* text : {"-123.456", "12345.678", "-1234.567"}) {
            field->setText(text);
            EXPECT_LE(QFontMetrics(field->font()).horizontalAdvance(text), field->contentsRect().width() - 6)
                << name << " " << text;
            EXPECT_EQ(field->cursorPosition(), 0) << name;
        }
        field->setText("none");
        EXPECT_EQ(field->font(), own) << name;
    }
    Window().ShowFriction("-0.012345");
    Window().ShowLength(12345.678);
    for (const char* name : {"SLopeLabel", "Lengthlabel"}) {
        QLabel* label = Control<QLabel>(name);
        EXPECT_LE(QFontMetrics(label->font()).horizontalAdvance(label->text()), label->contentsRect().width())
            << name << " " << label->text().toStdString();
    }
    Window().ShowFriction("0.011665");
    EXPECT_EQ(Control<QLabel>("SLopeLabel")->font(), own);
}

// ---- dragging, minimize and close

void SendMouse(QWidget* target, QEvent::Type type, QPoint local, Qt::MouseButton button,
               Qt::MouseButtons buttons) {
    QMouseEvent event(type, QPointF(local), QPointF(target->mapToGlobal(local)), button, buttons,
                      Qt::NoModifier);
    QApplication::sendEvent(target, &event);
}

TEST_F(ShownWindowTest, LeftDragMovesTheWindowByTheSameAmount) {
    MainWindow& w = Window();
    w.move(100, 100);
    const QPoint start = w.pos();
    SendMouse(&w, QEvent::MouseButtonPress, {200, 40}, Qt::LeftButton, Qt::LeftButton);
    SendMouse(&w, QEvent::MouseMove, {213, 47}, Qt::NoButton, Qt::LeftButton);
    EXPECT_EQ(w.pos(), start + QPoint(13, 7));
    // The skin moved with the window, so the grip is back under the pointer.
    SendMouse(&w, QEvent::MouseMove, {195, 40}, Qt::NoButton, Qt::LeftButton);
    EXPECT_EQ(w.pos(), start + QPoint(8, 7));
}

TEST_F(ShownWindowTest, OtherButtonsDoNotDrag) {
    MainWindow& w = Window();
    w.move(100, 100);
    const QPoint start = w.pos();
    SendMouse(&w, QEvent::MouseButtonPress, {200, 40}, Qt::RightButton, Qt::RightButton);
    SendMouse(&w, QEvent::MouseMove, {230, 60}, Qt::NoButton, Qt::RightButton);
    SendMouse(&w, QEvent::MouseMove, {230, 60}, Qt::NoButton, Qt::LeftButton | Qt::RightButton);
    SendMouse(&w, QEvent::MouseMove, {230, 60}, Qt::NoButton, Qt::NoButton);
    EXPECT_EQ(w.pos(), start);
}

TEST_F(ShownWindowTest, LabelsAndFieldsDoNotDrag) {
    MainWindow& w = Window();
    w.move(100, 100);
    const QPoint start = w.pos();
    for (const char* name : {"btnLoad", "Lengthlabel", "str_segments"}) {
        QWidget* c = Control(name);
        SendMouse(c, QEvent::MouseButtonPress, {3, 3}, Qt::LeftButton, Qt::LeftButton);
        SendMouse(c, QEvent::MouseMove, {20, 15}, Qt::NoButton, Qt::LeftButton);
        SendMouse(c, QEvent::MouseButtonRelease, {20, 15}, Qt::LeftButton, Qt::NoButton);
        EXPECT_EQ(w.pos(), start) << name;
    }
}

TEST_F(ShownWindowTest, CloseLabelClosesTheWindow) {
    QTest::mouseClick(Control("closeme"), Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_FALSE(Window().isVisible());
}

}  // namespace
}  // namespace torvix::test
