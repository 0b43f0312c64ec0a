#include <QLocale>
#include <QMouseEvent>
#include <algorithm>
#include <clocale>
#include <QRegularExpression>
#include <QTest>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "app/shape_widget.h"
#include "app/window_logic.h"
#include "heartline/solver.h"
#include "heartline/track_length.h"
#include "nl2/element.h"
#include "nl2/element_export.h"
#include "settings/settings_file.h"
#include "support/test_support.h"
#include "track/track_io.h"
#include "window_fixture.h"

using namespace torvix::analysis;
using namespace torvix::app;
using namespace torvix::geometry;
using namespace torvix::heartline;
using namespace torvix::settings;
using namespace torvix::texts;
using namespace torvix::track;

namespace torvix::test {
namespace {

namespace fs = std::filesystem;

// A track along x: `hill` metres up and down again in the middle, `side`
// metres of sideways swing, smooth control points.
Track MakeTrack(double length, double hill, double side, int vertex_count = 12) {
    Track t;
    ResetTrack(t);
    t.version = {1, 3, 0, 0};
    std::vector<Vector3> p;
    for (int i = 0; i < vertex_count; ++i) {
        const double x = length * i / (vertex_count - 1);
        const double s = std::sin(3.14159265358979 * x / length);
        p.push_back(Vector3{static_cast<float>(x), static_cast<float>(1.0 + hill * s * s),
                            static_cast<float>(side * std::sin(2 * 3.14159265358979 * x / length))});
    }
    for (int i = 0; i < vertex_count; ++i) {
        const Vector3& before = p[static_cast<std::size_t>(std::max(i - 1, 0))];
        const Vector3& after = p[static_cast<std::size_t>(std::min(i + 1, vertex_count - 1))];
        const double f = (i == 0 || i == vertex_count - 1) ? 1.0 / 3.0 : 1.0 / 6.0;
        const Vector3 d{static_cast<float>((after.x - before.x) * f), static_cast<float>((after.y - before.y) * f),
                        static_cast<float>((after.z - before.z) * f)};
        BezierVertex v;
        v.position = p[static_cast<std::size_t>(i)];
        v.control_next = Vector3{v.position.x + d.x, v.position.y + d.y, v.position.z + d.z};
        v.control_prev = Vector3{v.position.x - d.x, v.position.y - d.y, v.position.z - d.z};
        t.bezr.vertices.push_back(v);
        Segment seg;
        seg.color_1 = 16777215;
        seg.color_2 = 16777215;
        t.segm.segments.push_back(seg);
    }
    t.bezr.vertex_count = vertex_count;
    t.segm.segment_count = vertex_count;
    return t;
}

class CommandsTest : public WindowTest {
protected:
    std::string WriteTrack(const std::string& name, Track track) {
        const std::string path = (dir / name).string();
        EXPECT_TRUE(WriteTrackFile(path, track)) << path;
        return path;
    }

    std::string Stored(const char* section, const char* entry) {
        return GetINISetting(SettingsFile(SettingsPath()), section, entry, "<none>");
    }
    void Store(const char* section, const char* entry, const std::string& value) {
        ASSERT_TRUE(SaveINISetting(SettingsFile(SettingsPath()), section, entry, value));
    }

    void Load(const std::string& path) {
        dialogs.open_answers.push_back(path);
        Window().OnLoadClicked();
    }
    void Modify() { RunModify(); }
    void SetField(const char* name, const char* text) { Field(name)->setText(text); }

    bool Lit(const char* light) { return !Control(light)->isHidden(); }
    QString Message() { return Control<QLabel>("Message_Label")->text(); }
    QString Text(const char* name) { return Field(name)->text(); }

    std::string ReadFile(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        std::stringstream ss;
        ss << in.rdbuf();
        return ss.str();
    }
};

// ---- load

TEST_F(CommandsTest, LoadLightsTheTrackAndProposesTheResultName) {
    const Track track = MakeTrack(120, 4, 6);
    const std::string path = WriteTrack("Loop.nltrack", track);
    Load(path);
    MainWindow& w = Window();

    ASSERT_TRUE(w.track_loaded());
    EXPECT_FALSE(w.track_modified());
    EXPECT_TRUE(Lit("statuslight1"));
    EXPECT_FALSE(Lit("statuslight2"));
    EXPECT_FALSE(Lit("statuslight3"));
    EXPECT_FALSE(w.timer("Slotmachine")->isActive());

    ASSERT_EQ(dialogs.opened.size(), 1u);
    EXPECT_EQ(dialogs.opened[0].title, "Load Track...");
    EXPECT_EQ(dialogs.opened[0].initial_dir, dir.path().string());  // no LoadPath yet: the program's folder
    EXPECT_EQ(dialogs.opened[0].file_name, "");

    double expected_length = 0;
    expected_length = TrackLength(w.current_track()).value();
    EXPECT_DOUBLE_EQ(w.track_length(), expected_length);
    EXPECT_EQ(Control<QLabel>("Lengthlabel")->text().toStdString(), FormatLength(expected_length));
    EXPECT_TRUE(w.loaded_track() == w.current_track());

    const EndMeasureTexts ends = FormatEndMeasures(AnalyzeTrackEnds(w.current_track()));
    EXPECT_EQ(Text("str_radius_in").toStdString(), ends.radius_in);
    EXPECT_EQ(Text("str_slope_in").toStdString(), ends.slope_in);
    EXPECT_EQ(Text("str_tilt_in").toStdString(), ends.tilt_in);
    EXPECT_EQ(Text("str_radius_out").toStdString(), ends.radius_out);
    EXPECT_EQ(Text("str_slope_out").toStdString(), ends.slope_out);
    EXPECT_EQ(Text("str_tilt_out").toStdString(), ends.tilt_out);
    EXPECT_NE(ends.radius_in, "straight");

    EXPECT_EQ(w.proposed_save_file().toStdString(), (dir / "Loop_Torvix.nltrack").string());
    EXPECT_EQ(Stored("File_IO", "LoadPath"), dir.path().string());
    EXPECT_EQ(Stored("Preferences", "WantSL"), "0");
    EXPECT_EQ(Text("str_segments"), "60");
}

TEST_F(CommandsTest, StoredSavePathAndLastLoadFolderAreUsed) {
    const fs::path out = dir / "out";
    fs::create_directory(out);
    Store("File_IO", "SavePath", out.string());
    const std::string path = WriteTrack("Loop.nltrack", MakeTrack(80, 0, 3));
    Load(path);
    EXPECT_EQ(Window().proposed_save_file().toStdString(), (out / "Loop_Torvix.nltrack").string());
    // The next open dialog starts in the stored folder and proposes the last file.
    dialogs.open_answers.push_back(std::nullopt);
    Window().OnLoadClicked();
    ASSERT_EQ(dialogs.opened.size(), 2u);
    EXPECT_EQ(dialogs.opened[1].initial_dir, dir.path().string());
    EXPECT_EQ(dialogs.opened[1].file_name, path);
}

// The proposal is never the loaded file itself, whatever the letter case of its extension.
TEST_F(CommandsTest, ResultNameReplacesTheFinalExtensionInAnyCase) {
    for (const char* name : {"Loop.NLTRACK", "x.NlTrack"}) {
        const std::string input = WriteTrack(name, MakeTrack(80, 0, 3));
        Load(input);
        ASSERT_TRUE(Window().track_loaded());
        const std::string stem = std::string(name).substr(0, std::string(name).size() - 8);
        EXPECT_EQ(Window().proposed_save_file().toStdString(), (dir / (stem + "_Torvix.nltrack")).string());
        EXPECT_NE(Window().proposed_save_file().toStdString(), input);
    }
    Load(WriteTrack("a.nltrack.nltrack", MakeTrack(80, 0, 3)));
    ASSERT_TRUE(Window().track_loaded());
    EXPECT_EQ(Window().proposed_save_file().toStdString(), (dir / "a.nltrack_Torvix.nltrack").string());
}

TEST_F(CommandsTest, WantSegmentLengthProposesSegments) {
    Store("Preferences", "WantSL", "1");
    Store("Preferences", "SL", "2");
    Load(WriteTrack("t.nltrack", MakeTrack(123, 0, 0)));
    const double length = Window().track_length();
    ASSERT_GT(length, 100);
    EXPECT_EQ(Text("str_segments"), " " + QString::number(static_cast<int>(std::floor(length / 2))));
    EXPECT_EQ(Stored("Preferences", "WantSL"), "1");

    // A stored length of 0 cannot propose anything; Segments stays.
    SetField("str_segments", "42");
    Store("Preferences", "SL", "0");
    Load(WriteTrack("t.nltrack", MakeTrack(123, 0, 0)));
    EXPECT_EQ(Text("str_segments"), "42");
}

TEST_F(CommandsTest, CancelledLoadChangesNothingAndWritesNothing) {
    dialogs.open_answers.push_back(std::nullopt);
    Window().OnLoadClicked();
    EXPECT_FALSE(Window().track_loaded());
    EXPECT_FALSE(Lit("statuslight1"));
    EXPECT_TRUE(Window().timer("Slotmachine")->isActive());
    EXPECT_FALSE(fs::exists(SettingsPath()));
}

TEST_F(CommandsTest, FailedLoadWarnsAndEmptiesTheWindowState) {
    const std::string good = WriteTrack("good.nltrack", MakeTrack(100, 2, 5));
    const std::string bad = (dir / "bad.nltrack").string();
    std::ofstream(bad) << "NLIM but not really a track";

    Load(bad);
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].title, "Load Error");
    EXPECT_EQ(boxes.shown[0].text, "Error Loading Track File!");
    EXPECT_FALSE(Window().track_loaded());
    EXPECT_TRUE(Window().timer("Slotmachine")->isActive());
    EXPECT_FALSE(fs::exists(SettingsPath()));

    Load(good);
    ASSERT_TRUE(Window().track_loaded());
    const QString length = Control<QLabel>("Lengthlabel")->text();
    const QString proposed = Window().proposed_save_file();
    Load(bad);
    EXPECT_FALSE(Window().track_loaded());
    EXPECT_FALSE(Window().track_modified());
    // Lights, fields and paths keep showing the earlier track.
    EXPECT_TRUE(Lit("statuslight1"));
    EXPECT_EQ(Control<QLabel>("Lengthlabel")->text(), length);
    EXPECT_EQ(Window().proposed_save_file(), proposed);
    EXPECT_EQ(Stored("File_IO", "LoadPath"), dir.path().string());
    // Empty again: modify does nothing.
    const std::string settings_before = ReadFile(SettingsPath());
    Modify();
    EXPECT_FALSE(Lit("statuslight2"));
    EXPECT_EQ(ReadFile(SettingsPath()), settings_before);
}

TEST_F(CommandsTest, LoadSaysWhyItFailedAndWhatWillNotBeSaved) {
    const std::string bad = (dir / "bad.nltrack").string();
    std::ofstream(bad) << "NLIM but not really a track";
    Load(bad);
    EXPECT_TRUE(Message().startsWith("unexpected end of data")) << Message().toStdString();
    EXPECT_TRUE(Message().endsWith("(at byte offset 12)")) << Message().toStdString();
    EXPECT_TRUE(Control<QLabel>("Message_Label")->toolTip().endsWith(QString::fromStdString(bad)));

    // A spline no park holds is a failed load, not a length of 0.
    Track far = MakeTrack(100, 2, 5);
    far.bezr.vertices[1].control_next.x = 1e7f;
    Load(WriteTrack("far.nltrack", far));
    ASSERT_EQ(boxes.shown.size(), 2u);
    EXPECT_EQ(boxes.shown[1].title, "Load Error");
    EXPECT_FALSE(Window().track_loaded());
    EXPECT_TRUE(Message().contains("beyond 100 km")) << Message().toStdString();

    const auto demo = test::DemoTrackPath();
    if (demo.empty()) GTEST_SKIP() << "demo track not found beside the checkout";
    Load(demo.string());
    ASSERT_TRUE(Window().track_loaded());
    EXPECT_EQ(Message(), "Not saved: CSTM (28 bytes)");
    EXPECT_EQ(Control<QLabel>("Message_Label")->toolTip(),
              "skipped unknown chunk CSTM (28 bytes at offset 744894); it will not be saved");
}

void SendMouse(QWidget* target, QEvent::Type type, QPoint local, Qt::MouseButton button,
               Qt::MouseButtons buttons) {
    QMouseEvent event(type, QPointF(local), QPointF(target->mapToGlobal(local)), button, buttons,
                      Qt::NoModifier);
    QApplication::sendEvent(target, &event);
}

TEST_F(CommandsTest, FirstMoveAfterTheOpenDialogIsIgnored) {
    MainWindow& w = Window();
    w.show();
    w.move(100, 100);
    const QPoint start = w.pos();
    SendMouse(&w, QEvent::MouseButtonPress, {200, 40}, Qt::LeftButton, Qt::LeftButton);
    dialogs.open_answers.push_back(std::nullopt);
    w.OnLoadClicked();
    EXPECT_TRUE(w.ignores_next_mouse_move());
    SendMouse(&w, QEvent::MouseMove, {220, 50}, Qt::NoButton, Qt::LeftButton);
    EXPECT_EQ(w.pos(), start);
    EXPECT_FALSE(w.ignores_next_mouse_move());
    SendMouse(&w, QEvent::MouseMove, {210, 45}, Qt::NoButton, Qt::LeftButton);
    EXPECT_EQ(w.pos(), start + QPoint(10, 5));
}

// ---- modify

TEST_F(CommandsTest, ModifyBeforeLoadDoesNothing) {
    Modify();
    EXPECT_FALSE(fs::exists(SettingsPath()));
    EXPECT_FALSE(Lit("statuslight2"));
    EXPECT_EQ(Message(), "Ready");
    EXPECT_EQ(Control<QLabel>("SLopeLabel")->text(), "---");
}

TEST_F(CommandsTest, ModifyRunsTheSolverAndShowsTheResult) {
    Load(WriteTrack("Loop.nltrack", MakeTrack(150, 3, 8)));
    ASSERT_TRUE(Window().track_loaded());
    SetField("str_segments", "20");
    SetField("str_heartline", "1,2");  // not typed: stored as it stands, read as 1
    SetField("str_filter", "7");
    Modify();
    MainWindow& w = Window();

    ASSERT_TRUE(w.track_modified()) << (boxes.shown.empty() ? "" : boxes.shown[0].text.toStdString());
    EXPECT_TRUE(boxes.shown.empty());
    EXPECT_EQ(Message(), "OK");
    EXPECT_EQ(w.timer("message_timer")->interval(), 1500);
    EXPECT_TRUE(Lit("statuslight1"));
    EXPECT_TRUE(Lit("statuslight2"));
    EXPECT_FALSE(Lit("statuslight3"));
    EXPECT_TRUE(QRegularExpression("^-?\\d+\\.\\d{6}$").match(Control<QLabel>("SLopeLabel")->text()).hasMatch())
        << Control<QLabel>("SLopeLabel")->text().toStdString();
    EXPECT_EQ(w.current_track().bezr.vertex_count, 21);
    EXPECT_EQ(w.loaded_track().bezr.vertex_count, 12);

    const EndMeasureTexts ends = FormatEndMeasures(AnalyzeTrackEnds(w.current_track()));
    EXPECT_EQ(Text("str_radius_in").toStdString(), ends.radius_in);
    EXPECT_EQ(Text("str_slope_out").toStdString(), ends.slope_out);
    EXPECT_EQ(Text("str_tilt_out").toStdString(), ends.tilt_out);

    // Bar empty at its fixed bottom, animations back to rest.
    auto* bar = Control<ShapeWidget>("Progressbar");
    EXPECT_TRUE(bar->isHidden());
    EXPECT_EQ(bar->Twips().height, 0);
    EXPECT_EQ(bar->Twips().top, 4080);
    EXPECT_EQ(w.progress_count(), 0);
    EXPECT_EQ(w.progress_total(), 10);
    EXPECT_FALSE(w.timer("Slotmachine")->isActive());
    EXPECT_TRUE(w.timer("bubble")->isActive());
    EXPECT_FALSE(Control("bubbleshape")->isHidden());
    // Back at the bottom (4000); the bubble's 50 ms timer may have lifted it a few ticks since.
    EXPECT_LE(Control<ShapeWidget>("bubbleshape")->Twips().top, 4000);
    EXPECT_GE(Control<ShapeWidget>("bubbleshape")->Twips().top, 3900);

    // The six texts as typed, in the order they are written, and "SL".
    const std::string ini = ReadFile(SettingsPath());
    std::size_t at = 0;
    for (const char* line : {"Segments=20", "Heartline=1,2", "SpeedIn=20", "SpeedOut=17", "Precision=6", "Filter=7"}) {
        const std::size_t found = ini.find(line, at);
        EXPECT_NE(found, std::string::npos) << line << "\n" << ini;
        if (found != std::string::npos) at = found;
    }
    const std::string sl = SegmentLengthText(w.track_length(), "20");
    ASSERT_EQ(sl.front(), ' ');
    EXPECT_NE(ini.find("\nSL=" + sl + "\n"), std::string::npos) << ini;
    // The length label keeps the loaded track's length.
    EXPECT_EQ(Control<QLabel>("Lengthlabel")->text().toStdString(), FormatLength(w.track_length()));
}

TEST_F(CommandsTest, PointSeparatorWhateverTheLocale) {
    const std::string saved = std::setlocale(LC_NUMERIC, nullptr);
    if (!std::setlocale(LC_NUMERIC, "de_DE.UTF-8")) GTEST_SKIP() << "no German locale here";
    const QLocale saved_qt;
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    Load(WriteTrack("t.nltrack", MakeTrack(150, 3, 8)));
    SetField("str_segments", "7");
    Modify();
    const std::string ini = ReadFile(SettingsPath());
    const QString length = Control<QLabel>("Lengthlabel")->text();
    const QString friction = Control<QLabel>("SLopeLabel")->text();
    const QString slope = Text("str_slope_in");
    std::setlocale(LC_NUMERIC, saved.c_str());
    QLocale::setDefault(saved_qt);

    ASSERT_TRUE(Window().track_modified());
    for (const QString& shown : {length, friction, slope}) {
        EXPECT_TRUE(shown.contains('.')) << shown.toStdString();
        EXPECT_FALSE(shown.contains(',')) << shown.toStdString();
    }
    const std::size_t sl = ini.find("\nSL=");
    ASSERT_NE(sl, std::string::npos);
    const std::string sl_line = ini.substr(sl + 1, ini.find('\n', sl + 1) - sl - 1);
    EXPECT_NE(sl_line.find('.'), std::string::npos) << sl_line;
    EXPECT_EQ(sl_line.find(','), std::string::npos) << sl_line;
}

TEST_F(CommandsTest, EveryRunStartsFromTheLoadedTrack) {
    Load(WriteTrack("t.nltrack", MakeTrack(150, 3, 8)));
    SetField("str_segments", "10");
    Modify();
    ASSERT_TRUE(Window().track_modified());
    const Track first = Window().current_track();
    SetField("str_segments", "25");
    Modify();
    ASSERT_TRUE(Window().track_modified());
    EXPECT_EQ(Window().current_track().bezr.vertex_count, 26);
    SetField("str_segments", "10");
    Modify();
    ASSERT_TRUE(Window().track_modified());
    EXPECT_TRUE(Window().current_track() == first);
}

TEST_F(CommandsTest, FailedRunAfterAGoodOneRefusesSave) {
    Load(WriteTrack("hill.nltrack", MakeTrack(200, 30, 0)));
    SetField("str_startspeed", "30");
    SetField("str_endspeed", "28");
    Modify();
    ASSERT_TRUE(Window().track_modified());
    ASSERT_TRUE(Lit("statuslight2"));

    SetField("str_startspeed", "2");
    SetField("str_endspeed", "2");
    Modify();
    EXPECT_FALSE(Window().track_modified());
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].title, "Horrible!");
    EXPECT_EQ(boxes.shown[0].text, kValleyMessage);
    EXPECT_EQ(Message(), "- ERROR -");
    EXPECT_EQ(Window().timer("message_timer")->interval(), 3000);
    EXPECT_FALSE(Lit("statuslight2"));
    EXPECT_TRUE(Lit("statuslight1"));
    EXPECT_TRUE(Control("Progressbar")->isHidden());
    EXPECT_EQ(Window().progress_total(), 10);
    // The parameters of the failed run were still stored.
    EXPECT_EQ(Stored("Settings", "SpeedIn"), "2");

    Window().OnSaveClicked();
    EXPECT_TRUE(dialogs.saved.empty());
}

TEST_F(CommandsTest, RefusedParametersWriteNothing) {
    Load(WriteTrack("t.nltrack", MakeTrack(100, 0, 5)));
    SetField("str_segments", "10");
    Modify();
    ASSERT_TRUE(Window().track_modified());
    const std::string settings_before = ReadFile(SettingsPath());

    SetField("str_segments", "");
    Modify();
    EXPECT_FALSE(Window().track_modified());
    EXPECT_FALSE(Lit("statuslight2"));
    EXPECT_EQ(Message(), "Segments >= 1");
    EXPECT_EQ(Control<QLabel>("Message_Label")->toolTip(), "Segments must be at least 1");
    EXPECT_EQ(Window().timer("message_timer")->interval(), 3000);
    EXPECT_EQ(ReadFile(SettingsPath()), settings_before);
    EXPECT_TRUE(boxes.shown.empty());
    // What is in memory now is the loaded track, so there is nothing to save.
    Window().OnSaveClicked();
    EXPECT_TRUE(dialogs.saved.empty());

    SetField("str_segments", "99999");
    Modify();
    EXPECT_EQ(Window().timer("message_timer")->interval(), 3000);
    EXPECT_EQ(ReadFile(SettingsPath()), settings_before);
}

TEST_F(CommandsTest, StraightEndsShowStraightAndNone) {
    Load(WriteTrack("straight.nltrack", MakeTrack(100, 0, 0)));
    EXPECT_EQ(Text("str_radius_in"), "straight");
    EXPECT_EQ(Text("str_tilt_in"), "none");
    EXPECT_EQ(Text("str_radius_out"), "straight");
    EXPECT_EQ(Text("str_tilt_out"), "none");
    EXPECT_EQ(Text("str_slope_in"), "0.000");
    EXPECT_EQ(Text("str_slope_out"), "0.000");
}

// ---- save

TEST_F(CommandsTest, SaveWritesTheModifiedTrack) {
    Load(WriteTrack("Loop.nltrack", MakeTrack(150, 3, 8)));
    Window().OnSaveClicked();  // nothing to save before a successful run
    EXPECT_TRUE(dialogs.saved.empty());

    SetField("str_segments", "15");
    Modify();
    ASSERT_TRUE(Window().track_modified());
    const std::string proposed = (dir / "Loop_Torvix.nltrack").string();
    dialogs.save_answers.push_back(proposed);
    Window().OnSaveClicked();
    ASSERT_EQ(dialogs.saved.size(), 1u);
    EXPECT_EQ(dialogs.saved[0].file_name, proposed);
    EXPECT_EQ(dialogs.saved[0].title, "Save Track As...");
    EXPECT_EQ(dialogs.saved[0].initial_dir, dir.path().string());
    EXPECT_TRUE(Lit("statuslight3"));
    EXPECT_TRUE(Window().track_modified());
    EXPECT_EQ(Stored("File_IO", "SavePath"), dir.path().string());

    Track back;
    ASSERT_TRUE(ReadTrackFile(proposed, back));
    EXPECT_EQ(back.bezr.vertex_count, 16);
    const auto& written = Window().current_track().bezr.vertices;
    ASSERT_GE(written.size(), 16u);
    EXPECT_TRUE(std::equal(back.bezr.vertices.begin(), back.bezr.vertices.end(), written.begin()));

    // A second save proposes the path used the first time.
    const fs::path other = dir / "second.nltrack";
    dialogs.save_answers.push_back(other.string());
    Window().OnSaveClicked();
    ASSERT_EQ(dialogs.saved.size(), 2u);
    EXPECT_EQ(dialogs.saved[1].file_name, proposed);
    EXPECT_TRUE(fs::exists(other));
}

TEST_F(CommandsTest, CancelledSaveForgetsTheProposedName) {
    Load(WriteTrack("Loop.nltrack", MakeTrack(150, 3, 8)));
    Modify();
    ASSERT_TRUE(Window().track_modified());
    dialogs.save_answers.push_back(std::nullopt);
    Window().OnSaveClicked();
    EXPECT_FALSE(Lit("statuslight3"));
    dialogs.save_answers.push_back(std::nullopt);
    Window().OnSaveClicked();
    ASSERT_EQ(dialogs.saved.size(), 2u);
    EXPECT_EQ(dialogs.saved[1].file_name, "");
}

TEST_F(CommandsTest, FailedSaveWarnsAndKeepsTheLightDark) {
    Load(WriteTrack("Loop.nltrack", MakeTrack(150, 3, 8)));
    Modify();
    ASSERT_TRUE(Window().track_modified());
    // A folder stands where the file should go; what is in it must survive.
    const fs::path target = dir / "taken.nltrack";
    fs::create_directory(target);
    std::ofstream(target / "keep.txt") << "old";
    dialogs.save_answers.push_back(target.string());
    Window().OnSaveClicked();
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].title, "Save Error");
    EXPECT_TRUE(boxes.shown[0].text.startsWith("Error Saving Track File!"));
    EXPECT_GT(boxes.shown[0].text.size(), QString("Error Saving Track File!").size());
    EXPECT_FALSE(Lit("statuslight3"));
    EXPECT_TRUE(fs::is_directory(target));
    EXPECT_EQ(ReadFile((target / "keep.txt").string()), "old");

    // Into a folder that does not exist.
    dialogs.save_answers.push_back((dir / "missing" / "x.nltrack").string());
    Window().OnSaveClicked();
    EXPECT_EQ(boxes.shown.size(), 2u);
    EXPECT_FALSE(Lit("statuslight3"));
}

// The element is the new track's heart line at the height of the run that
// built its rails, whatever the field says by now; it lies on the drawn path.
TEST_F(CommandsTest, SaveAsElementWritesTheHeartLineOfTheRun) {
    const Track drawn = MakeTrack(150, 3, 8);
    Load(WriteTrack("Loop.nltrack", drawn));
    SetField("str_heartline", "1.2");
    Modify();
    ASSERT_TRUE(Window().track_modified());
    SetField("str_heartline", "3");

    // A folder where the file should go: the save fails and the light stays dark.
    fs::create_directory(dir / "taken.nl2elem");
    dialogs.save_answers.push_back((dir / "taken.nl2elem").string());
    Window().OnSaveClicked();
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_FALSE(Lit("statuslight3"));
    ASSERT_EQ(dialogs.saved.size(), 1u);
    EXPECT_EQ(dialogs.saved[0].file_name, (dir / "Loop_Torvix.nltrack").string());
    EXPECT_NE(dialogs.saved[0].filter.find("*.nl2elem"), std::string::npos);

    const std::string element_path = (dir / "Loop_Torvix.nl2elem").string();
    dialogs.save_answers.push_back(element_path);
    Window().OnSaveClicked();
    EXPECT_TRUE(Lit("statuslight3"));
    EXPECT_TRUE(Message().contains("1.20 m")) << Message().toStdString();
    const base::Result<nl2::Element> read = nl2::ReadElementFile(element_path);
    ASSERT_TRUE(read.ok()) << read.error();
    const nl2::Element& element = *read;
    EXPECT_EQ(element.rolls.size(), nl2::ExportElement(Window().current_track(), {1.2, 2.0}).samples.size());
    const Vector3 start = drawn.bezr.vertices.front().position;
    EXPECT_NEAR(std::hypot(element.vertices[0].x - start.x, element.vertices[0].y - start.y,
                           element.vertices[0].z - start.z), 0, 0.05);
}

// ---- during a run

TEST_F(CommandsTest, CommandsWaitAndCloseEndsTheRun) {
    Load(WriteTrack("long.nltrack", MakeTrack(3000, 10, 60, 40)));
    MainWindow& w = Window();
    w.show();
    SetField("str_segments", "300");
    SetField("str_precision", "16");
    SetField("str_filter", "200");
    bool saw_run = false;
    // Fires from the solver's event processing.
    QTimer poke;
    poke.setInterval(5);
    QObject::connect(&poke, &QTimer::timeout, [&] {
        if (!w.run_in_progress()) return;
        saw_run = true;
        dialogs.open_answers.push_back(std::nullopt);
        w.OnLoadClicked();
        w.OnSaveClicked();
        w.OnModifyClicked();
        w.OnCloseClicked();
    });
    poke.start();
    Modify();
    poke.stop();
    ASSERT_TRUE(saw_run) << "the run ended before the window processed events";
    EXPECT_TRUE(dialogs.opened.size() == 1u) << "load ran during the run";
    EXPECT_TRUE(dialogs.saved.empty());
    EXPECT_FALSE(w.run_in_progress());
    EXPECT_FALSE(w.track_modified());
    EXPECT_TRUE(boxes.shown.empty());
    EXPECT_TRUE(w.isVisible());
    QTest::qWait(20);
    EXPECT_FALSE(w.isVisible());
}

TEST_F(CommandsTest, DestroyingTheWindowDuringARunStopsTheRun) {
    Load(WriteTrack("long.nltrack", MakeTrack(3000, 10, 60, 40)));
    SetField("str_segments", "300");
    SetField("str_precision", "16");
    SetField("str_filter", "200");
    Window().OnModifyClicked();
    ASSERT_TRUE(Window().run_in_progress());
    window.reset();  // waits for the run's thread; its result goes nowhere

    // A new window on the same settings file works as before.
    Load(WriteTrack("short.nltrack", MakeTrack(150, 3, 8)));
    Modify();
    EXPECT_TRUE(Window().track_modified());
    EXPECT_EQ(Text("str_segments"), "300") << "the settings of the dropped run were stored when it started";
}

// ---- animations on the widgets

TEST_F(CommandsTest, FadeStopsAfter36Ticks) {
    MainWindow& w = Window();
    w.OnFadeTick();
    EXPECT_EQ(Field("str_filter")->palette().color(QPalette::Text), QColor(5, 25, 45));
    EXPECT_EQ(Control("SLopeLabel")->palette().color(QPalette::WindowText), QColor(5, 25, 45));
    for (int i = 2; i < 36; ++i) w.OnFadeTick();
    EXPECT_TRUE(w.timer("fade")->isActive());
    w.OnFadeTick();
    EXPECT_FALSE(w.timer("fade")->isActive());
    for (const char* name : {"str_segments", "str_slope_in", "str_tilt_out"})
        EXPECT_EQ(Field(name)->palette().color(QPalette::Text), QColor(180, 200, 220)) << name;
    EXPECT_EQ(Control("Lengthlabel")->palette().color(QPalette::WindowText), QColor(180, 200, 220));
}

TEST_F(CommandsTest, SlotMachineCirclesTheNameAndVersion) {
    MainWindow& w = Window();
    w.OnSlotMachineTick();
    EXPECT_EQ(Text("str_radius_in"), "Torvix");
    EXPECT_EQ(Text("str_slope_in"), "");
    EXPECT_EQ(Text("str_slope_out"), "");
    EXPECT_EQ(Text("str_radius_out"), "V1.6");
    for (int i = 1; i < 6; ++i) w.OnSlotMachineTick();
    EXPECT_EQ(Text("str_slope_in"), "Torvix");
    EXPECT_EQ(Text("str_tilt_out"), "V1.6");
    auto* bar = Control<ShapeWidget>("Progressbar");
    EXPECT_EQ(bar->Twips().height, 0);
    EXPECT_EQ(bar->Twips().top, 4080);
}

TEST_F(CommandsTest, BubbleRisesInTheTube) {
    MainWindow& w = Window();
    auto* bubble = Control<ShapeWidget>("bubbleshape");
    for (int i = 0; i < 400; ++i) {
        w.OnBubbleTick();
        const TwipRect r = bubble->Twips();
        ASSERT_GE(r.left, 2920 - 40);
        ASSERT_LE(r.top, 4000);
        ASSERT_EQ(bubble->geometry(), TwipsToPixels(r));
    }
}

// ---- the real track

TEST_F(CommandsTest, DemoTrackCycle) {
    const fs::path demo = DemoTrackPath();
    if (demo.empty()) GTEST_SKIP() << "demo track not found beside the checkout";
    Load(demo.string());
    ASSERT_TRUE(Window().track_loaded());
    // The lift hill is 22 m high: 20 m/s at the start would not carry the train over it.
    Modify();
    EXPECT_FALSE(Window().track_modified());
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].text, kValleyMessage);
    boxes.shown.clear();
    SetField("str_startspeed", "25");
    SetField("str_endspeed", "20");
    Modify();
    EXPECT_TRUE(Window().track_modified()) << (boxes.shown.empty() ? "" : boxes.shown[0].text.toStdString());
    const std::string out = (dir / "demo_Torvix.nltrack").string();
    dialogs.save_answers.push_back(out);
    Window().OnSaveClicked();
    Track back;
    ASSERT_TRUE(ReadTrackFile(out, back));
    EXPECT_EQ(back.bezr.vertex_count, 61);
    EXPECT_TRUE(back.tera == Window().loaded_track().tera);
}

}  // namespace
}  // namespace torvix::test
