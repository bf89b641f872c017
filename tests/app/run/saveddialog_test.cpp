#include "saveddialog.h"

#include <QPushButton>
#include <gtest/gtest.h>

using namespace corvanta;

TEST(SavedDialog, NamesTheFilesTheCountsAndTheLeftOutAndClosesOnOk)
{
    SavedDialog dialog("/l/march_Valid.txt", "/l/march_Errors.txt", 3);
    EXPECT_EQ(dialog.windowTitle(), "Saved");
    EXPECT_EQ(dialog.validFileText(), "/l/march_Valid.txt");
    EXPECT_EQ(dialog.invalidFileText(), "/l/march_Errors.txt");
    EXPECT_TRUE(dialog.leftOutText().startsWith("3 "));
    dialog.show();
    dialog.okButton()->click();
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_TRUE(SavedDialog("/a_Valid.txt", "/a_Errors.txt", 0).leftOutText().isEmpty());

    // After a save by verdict: three files, each caption with its count.
    const SavedDialog byVerdict(
        SavedFiles{"/l/m_Valid.txt", "/l/m_Errors.txt", "/l/m_Unknown.txt", 5, 2, 3, 0});
    EXPECT_EQ(byVerdict.validFileText(), "/l/m_Valid.txt");
    EXPECT_EQ(byVerdict.invalidFileText(), "/l/m_Errors.txt");
    EXPECT_EQ(byVerdict.unknownFileText(), "/l/m_Unknown.txt");
    const QStringList captions = byVerdict.captions();
    ASSERT_EQ(captions.size(), 3);
    EXPECT_TRUE(captions[0].startsWith("5 valid"));
    EXPECT_TRUE(captions[1].startsWith("2 invalid"));
    EXPECT_TRUE(captions[2].startsWith("3 doubtful"));
}
