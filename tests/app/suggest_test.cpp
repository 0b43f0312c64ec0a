// The suggest control: a sweep over the loaded track that fills Segments,
// Precision and Filter and leaves the three commands as they were.
#include <QTest>
#include <filesystem>

#include "app/click_label.h"
#include "sweep/sweep.h"
#include "window_fixture.h"

namespace torvix::test {
namespace {

TEST_F(WindowTest, SuggestFillsTheFieldsWithACombinationFromTheGrid) {
    Field("str_segments")->setText("3");
    Window().SuggestSettings();
    EXPECT_FALSE(Window().suggesting());  // nothing loaded: nothing to try
    EXPECT_EQ(Field("str_segments")->text(), "3");

    dialogs.open_answers.push_back(test::SampleTrackPath().string());
    Window().OnLoadClicked();
    ASSERT_TRUE(Window().track_loaded());
    Window().SuggestSettings();
    ASSERT_TRUE(Window().suggesting());
    QTRY_VERIFY_WITH_TIMEOUT(!Window().suggesting(), 120000);

    const sweep::SweepSettings grid = sweep::SuggestionGrid(Window().track_length());
    auto in = [](const std::vector<int>& values, const QString& text) {
        return std::find(values.begin(), values.end(), text.toInt()) != values.end();
    };
    EXPECT_TRUE(in(grid.segments, Field("str_segments")->text())) << Field("str_segments")->text().toStdString();
    EXPECT_TRUE(in(grid.precision, Field("str_precision")->text()));
    EXPECT_TRUE(in(grid.filter, Field("str_filter")->text()));
    const QLabel* message = Control<QLabel>("Message_Label");
    EXPECT_EQ(message->text(), "Suggested");
    EXPECT_TRUE(message->toolTip().contains("lateral RMS")) << message->toolTip().toStdString();

    // The commands work on as before: a run with the suggested settings goes through.
    RunModify();
    EXPECT_TRUE(Window().track_modified());
}

TEST_F(WindowTest, DestroyingTheWindowDuringSuggestStopsTheSweep) {
    dialogs.open_answers.push_back(test::SampleTrackPath().string());
    Window().OnLoadClicked();
    Window().SuggestSettings();
    ASSERT_TRUE(Window().suggesting());
    window.reset();  // waits for the sweep, whose result goes nowhere
    EXPECT_EQ(Field("str_segments")->text(), "60") << "a new window starts from the stored settings";
}

}  // namespace
}  // namespace torvix::test
