#include "app/file_dialogs.h"

#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <string>

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QTimer>

#include "support/test_support.h"

using namespace torvix::app;

namespace torvix {
namespace {

using namespace std::string_literals;

TEST(DialogFlagsTest, TrackCommandsGetTheirFixedFlags) {
    EXPECT_EQ(OpenDialogFlags(0, true, true, false), 0x1004);
    EXPECT_EQ(SaveDialogFlags(0, true), 0x6);
}

TEST(DialogFlagsTest, FlagsChooseTheQtModes) {
    const DialogModes open_existing = DialogModesFromFlags(0x1004, false);
    EXPECT_EQ(open_existing.accept_mode, QFileDialog::AcceptOpen);
    EXPECT_EQ(open_existing.file_mode, QFileDialog::ExistingFile);
    EXPECT_EQ(DialogModesFromFlags(0x4, false).file_mode, QFileDialog::AnyFile);

    const DialogModes save_confirm = DialogModesFromFlags(0x6, true);
    EXPECT_EQ(save_confirm.accept_mode, QFileDialog::AcceptSave);
    EXPECT_FALSE(save_confirm.options.testFlag(QFileDialog::DontConfirmOverwrite));
    EXPECT_TRUE(DialogModesFromFlags(0x4, true).options.testFlag(QFileDialog::DontConfirmOverwrite));
}

TEST(FilterSpecTest, TrackFilterKeepsItsDisplayText) {
    const QStringList expected{"NoLimits Tracks (*.nltrack)"};
    EXPECT_EQ(NameFiltersFromSpec(kTrackFilter), expected);
    EXPECT_EQ(NameFiltersFromSpec("NoLimits Tracks (*.nltrack):*.nltrack"), expected) << "colon works like a bar";
    EXPECT_EQ(NameFiltersFromSpec("NoLimits Tracks (*.nltrack)\0*.nltrack\0\0"s), expected) << "NUL separated";
}

TEST(FilterSpecTest, PatternsAreAddedToPlainDisplayTexts) {
    EXPECT_EQ(NameFiltersFromSpec("Tracks|*.nltrack;*.nlpack|All files|*.*"),
              (QStringList{"Tracks (*.nltrack *.nlpack)", "All files (*.*)"}));
}

TEST(FilterSpecTest, ColonInsideDisplayTextSplitsIt) {
    EXPECT_EQ(NameFiltersFromSpec("Tracks: NoLimits|*.nltrack"), (QStringList{"Tracks (NoLimits)"}));
}

TEST(FilterSpecTest, ListEndsAtAnEmptyPartOrAMissingPattern) {
    EXPECT_EQ(NameFiltersFromSpec("A|*.a||B|*.b"), (QStringList{"A (*.a)"}));
    EXPECT_EQ(NameFiltersFromSpec("A|*.a|B"), (QStringList{"A (*.a)"}));
    EXPECT_TRUE(NameFiltersFromSpec("").isEmpty());
}

TEST(ConfigureFileDialogTest, OpenDialogShowsTheRequestedFolderFilterAndTitle) {
    test::TempDir dir;
    QFileDialog dialog;
    DialogRequest request;
    request.initial_dir = dir.path().string();
    request.title = "Load Track...";
    request.filter_spec = "Tracks|*.nltrack|All|*.*";
    request.filter_index = 2;
    request.default_ext = "nltrack";
    request.flags = 0x1004;
    ConfigureFileDialog(dialog, request);

    EXPECT_EQ(dialog.windowTitle(), "Load Track...");
    EXPECT_EQ(dialog.acceptMode(), QFileDialog::AcceptOpen);
    EXPECT_EQ(dialog.fileMode(), QFileDialog::ExistingFile);
    EXPECT_EQ(dialog.nameFilters(), (QStringList{"Tracks (*.nltrack)", "All (*.*)"}));
    EXPECT_EQ(dialog.selectedNameFilter(), "All (*.*)");
    EXPECT_EQ(dialog.defaultSuffix(), "nltrack");
    EXPECT_EQ(QFileInfo(dialog.directory().absolutePath()), QFileInfo(QString::fromStdString(dir.path().string())));
}

TEST(ConfigureFileDialogTest, ProposedFullPathMovesTheDialogToItsFolder) {
    test::TempDir start;
    test::TempDir target;
    QFileDialog dialog;
    DialogRequest request;
    request.save = true;
    request.initial_dir = start.path().string();
    request.file_name = (target.path() / "Loop_Torvix.nltrack").string();
    request.filter_spec = std::string(kTrackFilter);
    request.filter_index = 7;
    request.default_ext = ".nltrack";
    request.flags = 0x6;
    ConfigureFileDialog(dialog, request);

    EXPECT_EQ(dialog.acceptMode(), QFileDialog::AcceptSave);
    EXPECT_EQ(dialog.selectedNameFilter(), "NoLimits Tracks (*.nltrack)") << "out-of-range index picks the first";
    EXPECT_EQ(dialog.defaultSuffix(), "nltrack");
    EXPECT_EQ(QFileInfo(dialog.directory().absolutePath()),
              QFileInfo(QString::fromStdString(target.path().string())));
}

// Answers the next modal file dialog in place of the user.
void AnswerNextDialog(std::function<void(QFileDialog&)> answer) {
    QTimer::singleShot(0, [answer]() {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        if (dialog == nullptr) {
            AnswerNextDialog(answer);  // not shown yet
            return;
        }
        answer(*dialog);
    });
}

class QtFileDialogsTest : public ::testing::Test {
protected:
    test::TempDir dir;
    QtFileDialogs dialogs;
    std::string file_name;

    std::optional<std::string> Open() {
        return dialogs.Choose(OpenTrackRequest(file_name, dir.path().string()), nullptr);
    }
    std::optional<std::string> Save() {
        return dialogs.Choose(
            SaveRequest(file_name, dir.path().string(), "Save Track As...", std::string(kTrackFilter), "nltrack"),
            nullptr);
    }
};

TEST_F(QtFileDialogsTest, ChosenFileIsHandedBack) {
    const std::string track = (dir.path() / "Loop.nltrack").string();
    std::ofstream(track) << "x";
    file_name = "old.nltrack";
    AnswerNextDialog([track](QFileDialog& dialog) {
        EXPECT_EQ(dialog.windowTitle(), "Load Track...");
        EXPECT_EQ(dialog.fileMode(), QFileDialog::ExistingFile);
        dialog.selectFile(QString::fromStdString(track));
        static_cast<QDialog&>(dialog).accept();
    });
    const std::optional<std::string> chosen = Open();
    ASSERT_TRUE(chosen);
    EXPECT_EQ(QFileInfo(QString::fromStdString(*chosen)), QFileInfo(QString::fromStdString(track)));
}

TEST_F(QtFileDialogsTest, CancelChoosesNothing) {
    file_name = (dir.path() / "Loop.nltrack").string();
    AnswerNextDialog([](QFileDialog& dialog) { dialog.reject(); });
    EXPECT_FALSE(Open());
}

TEST_F(QtFileDialogsTest, SaveDialogOpensWithTheProposedNameAndAddsTheExtension) {
    file_name = (dir.path() / "Loop_Torvix.nltrack").string();
    AnswerNextDialog([](QFileDialog& dialog) {
        EXPECT_EQ(dialog.windowTitle(), "Save Track As...");
        EXPECT_FALSE(dialog.testOption(QFileDialog::DontConfirmOverwrite));
        static_cast<QDialog&>(dialog).accept();  // the user takes the proposal
    });
    std::optional<std::string> chosen = Save();
    ASSERT_TRUE(chosen);
    EXPECT_EQ(QFileInfo(QString::fromStdString(*chosen)).fileName(), "Loop_Torvix.nltrack");

    file_name = (dir.path() / "Other").string();
    AnswerNextDialog([](QFileDialog& dialog) { static_cast<QDialog&>(dialog).accept(); });
    chosen = Save();
    ASSERT_TRUE(chosen);
    EXPECT_EQ(QFileInfo(QString::fromStdString(*chosen)).fileName(), "Other.nltrack");
}

// Choosing the element type makes its extension the one a bare name gets.
TEST(ConfigureFileDialogTest, SaveDialogFollowsTheChosenType) {
    QFileDialog dialog;
    ConfigureFileDialog(dialog, SaveRequest("Loop", "", "", std::string(kTrackSaveFilter), "nltrack"));
    ASSERT_EQ(dialog.nameFilters().size(), 2);
    emit dialog.filterSelected(dialog.nameFilters()[1]);
    EXPECT_EQ(dialog.defaultSuffix(), "nl2elem");
}

}  // namespace
}  // namespace torvix
