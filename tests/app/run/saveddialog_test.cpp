#include "saveddialog.h"

#include <QPushButton>
#include <gtest/gtest.h>

using namespace corvanta;

TEST(SavedDialog, ShowsBothPathsTheLeftOutCountAndClosesOnOk)
{
    SavedDialog dialog("/l/march_Valid.txt", "/l/march_Errors.txt", 3);
    EXPECT_EQ(dialog.windowTitle(), "Saved");
    EXPECT_EQ(dialog.validFileText(), "/l/march_Valid.txt");
    EXPECT_EQ(dialog.invalidFileText(), "/l/march_Errors.txt");
    EXPECT_TRUE(dialog.leftOutText().startsWith("3 "));
    dialog.show();
    ASSERT_TRUE(dialog.isVisible());
    dialog.okButton()->click();
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(dialog.result(), QDialog::Accepted);

    SavedDialog complete("/a_Valid.txt", "/a_Errors.txt", 0);
    EXPECT_TRUE(complete.leftOutText().isEmpty());
}

TEST(SavedDialog, AfterASaveByVerdictNamesTheThreeFilesWithTheirCounts)
{
    const SavedDialog dialog(
        SavedFiles{"/l/m_Valid.txt", "/l/m_Errors.txt", "/l/m_Unknown.txt", 5, 2, 3, 0});
    EXPECT_EQ(dialog.validFileText(), "/l/m_Valid.txt");
    EXPECT_EQ(dialog.invalidFileText(), "/l/m_Errors.txt");
    EXPECT_EQ(dialog.unknownFileText(), "/l/m_Unknown.txt");
    const QStringList captions = dialog.captions();
    ASSERT_EQ(captions.size(), 3);
    EXPECT_TRUE(captions[0].startsWith("5 valid"));
    EXPECT_TRUE(captions[1].startsWith("2 invalid"));
    EXPECT_TRUE(captions[2].startsWith("3 doubtful"));
}
