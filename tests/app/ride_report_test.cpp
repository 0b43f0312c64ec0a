// The ride report control, the report window, the banking mode switch and the
// valley hint, driven through the main window.
#include <QChartView>
#include <QImage>
#include <QLineSeries>
#include <QMouseEvent>
#include <QPointer>
#include <QRegularExpression>
#include <QTest>
#include <QTimer>
#include <cmath>
#include <filesystem>
#include <functional>
#include <utility>

#include "app/click_label.h"
#include "app/ride_report_window.h"
#include "refined/solver_modes.h"
#include "ride/ride_report.h"
#include "ride/verdict.h"
#include "settings/settings_file.h"
#include "track/track_io.h"
#include "window_fixture.h"

using namespace torvix::app;
using namespace torvix::geometry;
using namespace torvix::heartline;
using namespace torvix::refined;
using namespace torvix::settings;
using namespace torvix::track;

namespace torvix::test {
namespace {

namespace fs = std::filesystem;

const fs::path kSample = test::SampleTrackPath();

// A straight along x with a hill `hill` metres high in the middle.
Track HillTrack(double hill) {
    Track t;
    ResetTrack(t);
    t.version = {1, 3, 0, 0};
    constexpr int kVertices = 9;
    constexpr double kLength = 160;
    for (int i = 0; i < kVertices; ++i) {
        const double x = kLength * i / (kVertices - 1);
        const double s = std::sin(3.14159265358979 * x / kLength);
        BezierVertex v;
        v.position = Vector3{static_cast<float>(x), static_cast<float>(1 + hill * s * s), 0};
        t.bezr.vertices.push_back(v);
        Segment seg;
        seg.color_1 = 16777215;
        seg.color_2 = 16777215;
        t.segm.segments.push_back(seg);
    }
    // Smooth control points, a third of the way to the neighbours.
    auto& v = t.bezr.vertices;
    for (int i = 0; i < kVertices; ++i) {
        const Vector3& a = v[static_cast<std::size_t>(std::max(i - 1, 0))].position;
        const Vector3& b = v[static_cast<std::size_t>(std::min(i + 1, kVertices - 1))].position;
        const float f = (i == 0 || i == kVertices - 1) ? 1.0f / 3 : 1.0f / 6;
        const Vector3 d{(b.x - a.x) * f, (b.y - a.y) * f, (b.z - a.z) * f};
        Vector3& p = v[static_cast<std::size_t>(i)].position;
        v[static_cast<std::size_t>(i)].control_next = Vector3{p.x + d.x, p.y + d.y, p.z + d.z};
        v[static_cast<std::size_t>(i)].control_prev = Vector3{p.x - d.x, p.y - d.y, p.z - d.z};
    }
    t.bezr.vertex_count = kVertices;
    t.segm.segment_count = kVertices;
    return t;
}

class RideTest : public WindowTest {
protected:
    void Load(const std::string& path) {
        dialogs.open_answers.push_back(path);
        Window().OnLoadClicked();
        ASSERT_TRUE(Window().track_loaded()) << path;
    }
    void SetField(const char* name, const QString& text) { Field(name)->setText(text); }
    HeartlineParams FieldParams() {
        HeartlineParams p;
        p.segments = Field("str_segments")->text().toInt();
        p.precision = Field("str_precision")->text().toInt();
        p.filter = Field("str_filter")->text().toInt();
        p.heartline = Field("str_heartline")->text().toDouble();
        p.start_speed = Field("str_startspeed")->text().toDouble();
        p.end_speed = Field("str_endspeed")->text().toDouble();
        return p;
    }
    // The hill track with speeds that clear it.
    void LoadHill() {
        const std::string path = (dir / "Hill.nltrack").string();
        Track hill = HillTrack(12);
        ASSERT_TRUE(WriteTrackFile(path, hill));
        Load(path);
        SetField("str_segments", "20");
        SetField("str_startspeed", "25");
        SetField("str_endspeed", "5");
    }
    std::string Stored(const char* section, const char* entry) {
        return GetINISetting(SettingsFile(SettingsPath()), section, entry, "<none>");
    }
    // A plotted line is one series per stretch its value does not wrap within.
    static std::vector<QLineSeries*> Pieces(RideReportWindow& report, const QString& name) {
        std::vector<QLineSeries*> pieces;
        for (QChartView* view : report.findChildren<QChartView*>())
            for (QAbstractSeries* s : view->chart()->series())
                if (s->objectName() == name) pieces.push_back(qobject_cast<QLineSeries*>(s));
        return pieces;
    }
    static QList<QPointF> Line(RideReportWindow& report, const QString& name) {
        QList<QPointF> points;
        for (QLineSeries* piece : Pieces(report, name)) points += piece->points();
        return points;
    }
};

constexpr const char* kPlotNames[] = {"speed", "vertical", "lateral", "roll", "roll_rate"};

TEST_F(RideTest, ReportControlIsEnabledOnlyAfterASuccessfulRun) {
    auto* control = Control<QWidget>("btnReport");
    EXPECT_FALSE(control->isEnabled());
    Window().OpenRideReport();
    EXPECT_EQ(Window().ride_report_window(), nullptr);

    LoadHill();
    EXPECT_FALSE(control->isEnabled());
    RunModify();
    ASSERT_TRUE(Window().track_modified());
    EXPECT_TRUE(control->isEnabled());
    // Ctrl+R opens it, as the control's click does.
    Window().show();
    Window().activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&Window()));
    QTest::keyClick(&Window(), Qt::Key_R, Qt::ControlModifier);
    ASSERT_NE(Window().ride_report_window(), nullptr);

    // A failed run takes the report away: it described a track that is gone.
    SetField("str_startspeed", "5");
    RunModify();
    ASSERT_FALSE(Window().track_modified());
    EXPECT_FALSE(control->isEnabled());
    EXPECT_EQ(Window().ride_report_window(), nullptr);
    Window().OpenRideReport();
    EXPECT_EQ(Window().ride_report_window(), nullptr);
}

TEST_F(RideTest, ReportOfTheSampleRunPlotsEverySampleAndEveryInputVertex) {
    Load(kSample.string());
    SetField("str_heartline", "1.1");
    RunModify();
    ASSERT_TRUE(Window().track_modified());
    // Fields edited after the run do not change what the report measures.
    SetField("str_heartline", "3");
    Window().OpenRideReport();
    RideReportWindow* report = Window().ride_report_window();
    ASSERT_NE(report, nullptr);

    const ride::RideReport expected =
        ride::MeasureRide(Window().current_track(), {1.1, 20, 17, kRideReportStep});
    ASSERT_TRUE(expected.status.ok()) << expected.status.message();
    ASSERT_GT(expected.samples.size(), 100u);
    for (const char* name : kPlotNames)
        EXPECT_EQ(std::size_t(Line(*report, name).size()), expected.samples.size()) << name;
    EXPECT_DOUBLE_EQ(Line(*report, "lateral").at(7).y(), expected.samples[7].lateral);

    const std::vector<double>& vertices = report->vertex_positions();
    ASSERT_EQ(static_cast<long>(vertices.size()), static_cast<long>(Window().loaded_track().bezr.vertex_count));
    EXPECT_NEAR(vertices.front(), 0, 0.5);
    EXPECT_NEAR(vertices.back(), expected.summary.length, 0.5);
    EXPECT_TRUE(std::is_sorted(vertices.begin(), vertices.end()));

    // The readout names the input curve between the vertices around the point.
    const double between = (vertices[3] + vertices[4]) / 2;
    report->ShowValuesAt(between);
    EXPECT_TRUE(report->readout_text().contains("input curve 3")) << report->readout_text().toStdString();
    // The worst lateral spot is in the summary.
    ASSERT_FALSE(expected.summary.peaks.empty());
    EXPECT_TRUE(report->summary_text().contains(QString::number(expected.summary.peaks[0].lateral, 'f', 2)));

    // The mouse over the middle of a plot reads the middle of the ride.
    report->resize(1000, 800);
    report->show();
    QApplication::processEvents();
    auto* view = report->findChild<QChartView*>("lateral_plot");
    ASSERT_NE(view, nullptr);
    const QPointF middle = view->mapFromScene(view->chart()->mapToScene(view->chart()->plotArea().center()));
    QMouseEvent move(QEvent::MouseMove, middle, view->viewport()->mapToGlobal(middle), Qt::NoButton, Qt::NoButton,
                     Qt::NoModifier);
    QApplication::sendEvent(view->viewport(), &move);
    const double read = report->readout_text().section(' ', 0, 0).toDouble();
    EXPECT_NEAR(read, expected.samples.back().s / 2, 0.02 * expected.samples.back().s)
        << report->readout_text().toStdString();

    // Export: the dialog's answer gets a picture, a cancelled dialog nothing.
    const std::string png = (dir / "ride.png").string();
    dialogs.save_answers.push_back(png);
    ASSERT_TRUE(report->ExportPng());
    const QImage written(QString::fromStdString(png));
    EXPECT_GT(written.width(), 500);
    EXPECT_GT(written.height(), 400);
    dialogs.save_answers.push_back(std::nullopt);
    EXPECT_FALSE(report->ExportPng());
    EXPECT_EQ(dialogs.saved.back().title, "Export Ride Report");
}

TEST_F(RideTest, ComparisonShowsTheOtherModeOrSaysWhyNot) {
    Load(kSample.string());
    RunModify();
    ASSERT_TRUE(Window().track_modified());
    Window().OpenRideReport();
    RideReportWindow* report = Window().ride_report_window();
    ASSERT_NE(report, nullptr);
    EXPECT_TRUE(Pieces(*report, "speed_other").empty());

    Track other = Window().loaded_track();
    const SolveResult direct =
        SolveHeartlineWith(SolverMode::kRefined, other, Window().track_length(), FieldParams());
    report->SetCompare(true);
    ASSERT_TRUE(WaitForRun());
    if (direct.status.ok()) {
        const ride::RideReport expected = ride::MeasureRide(other, report->report().params);
        for (const char* name : kPlotNames)
            EXPECT_EQ(std::size_t(Line(*report, QString(name) + "_other").size()), expected.samples.size()) << name;
        // Both rides are drawn on this run's distance: they end together.
        ASSERT_FALSE(report->other_positions().empty());
        EXPECT_NEAR(report->other_positions().back(), report->report().samples.back().s, 0.5);
        EXPECT_TRUE(std::is_sorted(report->other_positions().begin(), report->other_positions().end()));
    } else {
        EXPECT_TRUE(Pieces(*report, "speed_other").empty());
        EXPECT_TRUE(report->status_text().contains(QString::fromStdString(direct.status.message())))
            << report->status_text().toStdString();
    }
}

// The literal sample turns its riders over where nothing asks for it: the
// report judges it as torvix-cli heartline does, breaks the roll where it
// wraps, and lines both rides' figures up by name when the refined one is shown.
TEST_F(RideTest, ReportJudgesAsTheCommandLineAndBreaksTheRollWhereItWraps) {
    Load(kSample.string());
    RunModify();
    Window().OpenRideReport();
    RideReportWindow* report = Window().ride_report_window();
    ASSERT_NE(report, nullptr);
    const ride::RideReport cli =
        ride::MeasureRide(Window().current_track(), {1.0, 20, 17, 0.5}, &Window().loaded_track());
    const std::string verdict = ride::JudgeRide(cli).text;
    EXPECT_TRUE(report->summary_text().contains(QString::fromStdString(verdict.substr(verdict.find(": ") + 2))));
    const std::vector<QLineSeries*> pieces = Pieces(*report, "roll");
    EXPECT_GT(pieces.size(), 1u);
    for (QLineSeries* piece : pieces)
        for (qsizetype i = 1; i < piece->count(); ++i)
            ASSERT_LE(std::abs(piece->at(i).y() - piece->at(i - 1).y()), 180);
    report->SetCompare(true);
    ASSERT_TRUE(WaitForRun());
    ASSERT_NE(report->other_report(), nullptr);
    const QString text = QString(report->summary_text()).replace("&nbsp;", " ");
    const auto other_cell = [&](const QString& label) {
        return QRegularExpression(label + "</td><td>[^<]*</td><td>([^<]*)</td>").match(text).captured(1);
    };
    const double deviation = ride::HeartDeviationMax(*report->other_report(), Window().loaded_track());
    EXPECT_EQ(other_cell("Off the drawn path"), QString::number(deviation, 'f', 3) + " m");
    EXPECT_EQ(other_cell("Valley"), "none");
}

TEST_F(RideTest, BankingModeIsRememberedAndUsedByTheNextRun) {
    EXPECT_EQ(Window().banking_mode(), SolverMode::kLiteral);
    auto* mode = Control<QLabel>("btnMode");
    EXPECT_TRUE(mode->text().contains("literal"));
    emit qobject_cast<ClickLabel*>(mode)->clicked();
    EXPECT_EQ(Stored("Preferences", "Mode"), "refined");

    // A new window reads it back.
    window.reset();
    EXPECT_EQ(Window().banking_mode(), SolverMode::kRefined);
    EXPECT_TRUE(Control<QLabel>("btnMode")->text().contains("refined"));

    Load(kSample.string());
    Track direct_track = Window().loaded_track();
    const SolveResult direct =
        SolveHeartlineWith(SolverMode::kRefined, direct_track, Window().track_length(), FieldParams());
    RunModify();
    EXPECT_EQ(Window().track_modified(), direct.status.ok());
    if (direct.status.ok()) {
        EXPECT_TRUE(Window().current_track() == direct_track);
    } else {
        ASSERT_FALSE(boxes.shown.empty());
        EXPECT_EQ(boxes.shown.back().text.toStdString(), direct.status.message());
    }
    // The results panel tells which method made the run.
    EXPECT_EQ(Control<QLabel>("Mode_Label")->text(), "refined");

    // An unknown stored text falls back to the literal method.
    ASSERT_TRUE(SaveINISetting(SettingsFile(SettingsPath()), "Preferences", "Mode", "fancy"));
    window.reset();
    EXPECT_EQ(Window().banking_mode(), SolverMode::kLiteral);
}

TEST_F(RideTest, ValleyTooltipNamesAStartSpeedThatPasses) {
    LoadHill();
    SetField("str_startspeed", "5");
    RunModify();
    ASSERT_FALSE(Window().track_modified());
    ASSERT_FALSE(boxes.shown.empty());
    EXPECT_EQ(boxes.shown.back().text, QString(kValleyMessage));
    auto* message = Control<QLabel>("Message_Label");
    EXPECT_EQ(message->text(), "- ERROR -");

    const QRegularExpressionMatch where =
        QRegularExpression(R"(stops ([0-9.]+) m along the track, on curve (\d+))").match(message->toolTip());
    ASSERT_TRUE(where.hasMatch()) << message->toolTip().toStdString();
    // The hill's top is the middle of the track: the train stops on the way up.
    EXPECT_GT(where.captured(1).toDouble(), 10);
    EXPECT_LT(where.captured(1).toDouble(), 80 + 1);
    EXPECT_LT(where.captured(2).toInt(), 4);

    const QRegularExpressionMatch speed =
        QRegularExpression(R"(start speed of ([0-9.]+) m/s)").match(message->toolTip());
    ASSERT_TRUE(speed.hasMatch()) << message->toolTip().toStdString();
    EXPECT_GT(speed.captured(1).toDouble(), 15);  // the hill needs about 12 m of height in speed
    SetField("str_startspeed", speed.captured(1));
    RunModify();
    EXPECT_TRUE(Window().track_modified());
}

}  // namespace
}  // namespace torvix::test

// ---- the comparison's run

namespace torvix::test {
namespace {

class CompareTest : public RideTest {
protected:
    // Runs the comparison of a slow run, calling `during` once from the
    // window's event loop while it runs; false when the loop never saw it running.
    bool CompareWhile(const std::function<void()>& during) {
        Load(kSample.string());
        SetField("str_segments", "400");
        SetField("str_precision", "16");
        SetField("str_filter", "200");
        MainWindow& w = Window();
        RunModify();
        w.OpenRideReport();
        if (w.ride_report_window() == nullptr) return false;
        bool saw_run = false;
        QTimer poke;
        poke.setInterval(2);
        QObject::connect(&poke, &QTimer::timeout, [&] {
            if (w.run_in_progress() && !std::exchange(saw_run, true)) during();
        });
        poke.start();
        w.ride_report_window()->SetCompare(true);
        EXPECT_TRUE(WaitForRun());
        return saw_run;
    }
};

TEST_F(CompareTest, ComparisonRunsOffTheWindowThreadAndLocksTheCommands) {
    Track result;
    ASSERT_TRUE(CompareWhile([&] {
        result = Window().current_track();
        dialogs.open_answers.push_back(kSample.string());
        Window().OnLoadClicked();
        Window().OnModifyClicked();
    }));
    EXPECT_EQ(dialogs.opened.size(), 1u) << "load ran during the comparison";
    EXPECT_TRUE(Window().current_track() == result) << "modify ran, or the comparison touched the window's track";
    RideReportWindow* report = Window().ride_report_window();
    ASSERT_NE(report, nullptr);
    EXPECT_TRUE(report->other_report() != nullptr || report->status_text().contains("run failed"));
}

TEST_F(CompareTest, ClosingTheWindowCancelsTheComparison) {
    Window().show();
    ASSERT_TRUE(CompareWhile([&] { Window().OnCloseClicked(); }));
    EXPECT_EQ(Window().ride_report_window()->other_report(), nullptr);
    EXPECT_TRUE(Window().ride_report_window()->status_text().contains(kCancelledMessage));
    EXPECT_TRUE(Window().isVisible()) << "closes only once the run has unwound";
    QTest::qWait(20);
    EXPECT_FALSE(Window().isVisible());
}

// Closing the report while its comparison runs: the run stops, its result
// goes nowhere, and the window's commands come back.
TEST_F(CompareTest, ClosingTheReportDuringItsComparisonDropsTheRun) {
    QPointer<RideReportWindow> closed;
    ASSERT_TRUE(CompareWhile([&] {
        closed = Window().ride_report_window();
        closed->close();
    }));
    QTRY_VERIFY(closed.isNull());
    EXPECT_EQ(Window().ride_report_window(), nullptr);
    EXPECT_FALSE(Window().run_in_progress());

    Window().OpenRideReport();
    RideReportWindow* again = Window().ride_report_window();
    ASSERT_NE(again, nullptr);
    EXPECT_EQ(again->other_report(), nullptr);
    // And closed together with the main window: both go, the window once the run has unwound.
    Window().show();
    again->SetCompare(true);
    ASSERT_TRUE(Window().run_in_progress());
    again->close();
    Window().OnCloseClicked();
    EXPECT_TRUE(Window().isVisible());
    ASSERT_TRUE(WaitForRun());
    QTRY_VERIFY(!Window().isVisible());
    EXPECT_EQ(Window().ride_report_window(), nullptr);
}

}  // namespace
}  // namespace torvix::test
