// The verdict after a run, and the refined method tried beside a literal run.
#include <QRegularExpression>
#include <QTest>

#include "refined/solver_modes.h"
#include "ride/verdict.h"
#include "window_fixture.h"

using namespace torvix::refined;
using namespace torvix::track;

namespace torvix::test {
namespace {

class VerdictTest : public WindowTest {
protected:
    void SetUp() override {
        dialogs.open_answers.assign(2, SampleTrackPath().string());
        Window().OnLoadClicked();
    }
    // The ride of `track` as torvix-cli heartline judges it after a default run.
    ride::RideReport Ride(const Track& track) {
        return ride::MeasureRide(track, {1.0, 20, 17, 0.5}, &Window().loaded_track());
    }
    QString Message() { return Control<QLabel>("Message_Label")->text(); }
    QLabel* Report() { return Control<QLabel>("btnReport"); }
};

TEST_F(VerdictTest, LiteralSampleRidesHarshAndOnlyTheLiteralRunOffersTheRefinedMethod) {
    RunModify();
    EXPECT_EQ(Message(), "OK");  // the run's own message first
    const ride::RideVerdict literal = ride::JudgeRide(Ride(Window().current_track()));
    EXPECT_EQ(literal.level, ride::VerdictLevel::kHarsh);
    EXPECT_TRUE(Report()->text().contains("harsh")) << Report()->text().toStdString();
    EXPECT_TRUE(Report()->toolTip().startsWith("Ride: " + QString::fromStdString(literal.text)));

    Track refined = Window().loaded_track();
    ASSERT_TRUE(SolveHeartlineWith(SolverMode::kRefined, refined, Window().track_length(), {}).status.ok());
    const double rms = Ride(refined).summary.lateral_rms;
    QTRY_VERIFY_WITH_TIMEOUT(Message().startsWith("Refined banking rides better here: "), 120000);
    const QRegularExpressionMatch figure = QRegularExpression(R"(: (0\.\d\d) g RMS$)").match(Message());
    ASSERT_TRUE(figure.hasMatch()) << Message().toStdString();
    EXPECT_NEAR(figure.captured(1).toDouble(), rms, 0.005);
    EXPECT_TRUE(Report()->toolTip().contains(Message()));
    EXPECT_EQ(Window().banking_mode(), SolverMode::kLiteral) << "only offered";

    Window().SetBankingMode(SolverMode::kRefined);
    RunModify();
    EXPECT_FALSE(Window().checking_refined());
    EXPECT_TRUE(Report()->text().contains("comfortable"));
    EXPECT_FALSE(Report()->toolTip().contains("Refined banking"));
}

TEST_F(VerdictTest, ANewLoadDropsTheTryAndItsOffer) {
    RunModify();
    ASSERT_TRUE(Window().checking_refined());
    // Nothing has reached the window's thread since the run ended: the try cannot have reported yet.
    Window().OnLoadClicked();
    EXPECT_EQ(Report()->text(), "Ride report...");
    QTRY_VERIFY_WITH_TIMEOUT(!Window().checking_refined(), 120000);
    Window().OnMessageTimeout();
    EXPECT_FALSE(Message().contains("Refined")) << Message().toStdString();
    EXPECT_FALSE(Report()->toolTip().contains("Refined"));
}

TEST_F(VerdictTest, ClosingTheWindowWhileTheRefinedMethodIsTriedIsSafe) {
    Field("str_segments")->setText("400");
    Field("str_precision")->setText("16");
    Field("str_filter")->setText("200");
    Window().show();
    RunModify();
    ASSERT_TRUE(Window().checking_refined());
    Window().OnCloseClicked();
    EXPECT_FALSE(Window().isVisible()) << "the try does not hold the window open";
    window.reset();  // waits for the stopped try, whose result goes nowhere
}

}  // namespace
}  // namespace torvix::test
