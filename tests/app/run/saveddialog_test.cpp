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
