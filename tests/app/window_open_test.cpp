// Tracks that reach the window without the open dialog: named on the command
// line (OpenTrack) or dropped on it; and a settings file that cannot be kept.
#include <QDropEvent>
#include <QMimeData>
#include <QUrl>
#include <filesystem>
#include <fstream>

#include "texts/display_texts.h"
#include "analysis/track_ends.h"
#include "heartline/track_length.h"
#include "settings/settings_file.h"
#include "window_fixture.h"

using namespace torvix::analysis;
using namespace torvix::app;
using namespace torvix::heartline;
using namespace torvix::settings;
using namespace torvix::texts;

namespace torvix::test {
namespace {

namespace fs = std::filesystem;

class OpenTrackTest : public WindowTest {
protected:
    void SetUp() override {
        fs::create_directories(dir / "My Tracks");
        sample = dir / "My Tracks" / "sample.nltrack";
        fs::copy_file(test::SampleTrackPath(), sample);
    }

    std::string Stored(const char* section, const char* entry) {
        return GetINISetting(SettingsFile(SettingsPath()), section, entry, "<none>");
    }
    bool Lit(const char* light) { return !Control(light)->isHidden(); }

    // Sends a drag and, when it is accepted, the drop of `urls` onto the window.
    bool Drop(const QList<QUrl>& urls) {
        QMimeData data;
        data.setUrls(urls);
        const QPoint at(200, 150);
        QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(&Window(), &enter);
        if (!enter.isAccepted()) return false;
        QDropEvent drop(QPointF(at), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(&Window(), &drop);
        return drop.isAccepted();
    }

    fs::path sample;
};

TEST_F(OpenTrackTest, CommandLineTrackLoadsAsTheLoadCommandWould) {
    MainWindow& w = Window();
    w.OpenTrack(QString::fromStdString(sample.string()));

    EXPECT_TRUE(dialogs.opened.empty()) << "no dialog for a named track";
    ASSERT_TRUE(w.track_loaded());
    EXPECT_TRUE(Lit("statuslight1"));
    EXPECT_FALSE(Lit("statuslight2"));
    double length = 0;
    length = TrackLength(w.current_track()).value();
    EXPECT_DOUBLE_EQ(w.track_length(), length);
    EXPECT_EQ(Control<QLabel>("Lengthlabel")->text().toStdString(), FormatLength(length));
    const EndMeasureTexts ends = FormatEndMeasures(AnalyzeTrackEnds(w.current_track()));
    EXPECT_EQ(Field("str_radius_in")->text().toStdString(), ends.radius_in);
    EXPECT_EQ(Field("str_tilt_out")->text().toStdString(), ends.tilt_out);
    EXPECT_EQ(w.proposed_save_file().toStdString(), (dir / "My Tracks" / "sample_Torvix.nltrack").string());
    EXPECT_EQ(Stored("File_IO", "LoadPath"), (dir / "My Tracks").string());
    EXPECT_EQ(Stored("Preferences", "WantSL"), "0");

    // The next Load dialog starts where that track was.
    dialogs.open_answers.push_back(std::nullopt);
    w.OnLoadClicked();
    ASSERT_EQ(dialogs.opened.size(), 1u);
    EXPECT_EQ(dialogs.opened[0].initial_dir, (dir / "My Tracks").string());
    EXPECT_EQ(dialogs.opened[0].file_name, sample.string());
}

TEST_F(OpenTrackTest, UnreadableCommandLineTrackWarnsAsLoadDoes) {
    std::ofstream(dir / "broken.nltrack") << "not a track";
    Window().OpenTrack(QString::fromStdString((dir / "broken.nltrack").string()));
    EXPECT_FALSE(Window().track_loaded());
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].text.toStdString().rfind("Error Loading Track File!", 0), 0u);
    EXPECT_EQ(Stored("File_IO", "LoadPath"), "<none>");
}

TEST_F(OpenTrackTest, DroppedTrackLoadsOthersAreRefused) {
    std::ofstream(dir / "notes.txt") << "x";
    EXPECT_FALSE(Drop({QUrl::fromLocalFile(QString::fromStdString((dir / "notes.txt").string()))}));
    EXPECT_FALSE(Drop({QUrl("https://example.org/a.nltrack")}));
    const QUrl track = QUrl::fromLocalFile(QString::fromStdString(sample.string()));
    EXPECT_FALSE(Drop({track, track})) << "one track at a time";
    EXPECT_FALSE(Window().track_loaded());

    EXPECT_TRUE(Drop({track}));
    EXPECT_TRUE(Window().track_loaded());
    EXPECT_TRUE(dialogs.opened.empty());
    EXPECT_EQ(Window().proposed_save_file().toStdString(), (dir / "My Tracks" / "sample_Torvix.nltrack").string());
}

TEST_F(OpenTrackTest, UnwritableSettingsAreReportedOnceOnTheMessageLine) {
    std::ofstream(dir / "plain") << "a file where the settings folder should be";
    WindowServices services;
    services.settings_file = (dir / "plain" / "Torvix" / "Torvix.ini").string();
    services.app_folder = dir.path().string();
    services.message_boxes = &boxes;
    services.dialogs = &dialogs;
    services.skin = TestSkin();
    window = std::make_unique<MainWindow>(services);
    auto* message = Control<QLabel>("Message_Label");

    window->OpenTrack(QString::fromStdString(sample.string()));
    ASSERT_TRUE(window->track_loaded()) << "the track loads all the same";
    EXPECT_EQ(message->text(), "Settings not saved");
    EXPECT_NE(message->toolTip().indexOf(QString::fromStdString(services.settings_file)), -1);

    window->OnMessageTimeout();
    window->OpenTrack(QString::fromStdString(sample.string()));
    EXPECT_EQ(message->text(), "") << "reported once, not at every write";
}

}  // namespace
}  // namespace torvix::test
