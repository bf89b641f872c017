#include "harness.h"
#include "resultfiles.h"

#include <gtest/gtest.h>

using namespace corvanta;
using namespace corvanta::test;

// Each list is opened, checked ("bad" in an address fails) and saved; the
// report shows the addresses and the result files hold the header and the
// rows exactly as the list has them.
TEST(CsvList, ColumnsRowsAndByteExactResultFiles)
{
    const struct
    {
        const char* name;
        QByteArray list;
        std::optional<qsizetype> pick; // the user's answer, when asked
        QList<QByteArray> addresses;
        QByteArray valid;
        QByteArray errors;
    } cases[] = {
        {"quoted fields, CR LF",
         "Name,E-Mail,Note\r\n\"Doe, Ann\",ann@x.org,\"said \"\"hi\"\"\"\r\n"
         "Bob,\"bad@x.org\",\r\n",
         {},
         {"ann@x.org", "bad@x.org"},
         "Name,E-Mail,Note\r\n\"Doe, Ann\",ann@x.org,\"said \"\"hi\"\"\"\r\n",
         "Name,E-Mail,Note\r\nBob,\"bad@x.org\",\r\n"},
        {"line break inside quotes, LF, blank line",
         "id,EMAIL ADDRESS\n1,\"a@x.org\"\n\n2,\"bad\nline\",x\n3,bad@x.org\n",
         {},
         {"a@x.org", "bad\nline", "bad@x.org"},
         "id,EMAIL ADDRESS\n1,\"a@x.org\"\n",
         "id,EMAIL ADDRESS\n2,\"bad\nline\",x\n3,bad@x.org\n"},
        {"byte-order mark, last row without line end",
         "\xEF\xBB\xBFmail,n\r\nc@x.org,1\r\nbad@x.org,2",
         {},
         {"c@x.org", "bad@x.org"},
         "\xEF\xBB\xBFmail,n\r\nc@x.org,1\r\n",
         "\xEF\xBB\xBFmail,n\r\nbad@x.org,2\r\n"},
        {"column found by its values",
         "Who,Contact\r\nAnn,a@x.org\r\nBob,bad@x.org\r\nCy,badnone\r\n",
         {},
         {"a@x.org", "bad@x.org", "badnone"},
         "Who,Contact\r\nAnn,a@x.org\r\n",
         "Who,Contact\r\nBob,bad@x.org\r\nCy,badnone\r\n"},
        {"no header: the first row is data",
         "a@x.org,1\nbad@x.org,2\n",
         {},
         {"a@x.org", "bad@x.org"},
         "a@x.org,1\n",
         "bad@x.org,2\n"},
        {"no address column: the user picks one",
         "a,b\r\n1,x@y\r\n2,bad@y\r\n",
         1,
         {"x@y", "bad@y"},
         "a,b\r\n1,x@y\r\n",
         "a,b\r\n2,bad@y\r\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Harness h;
        h.shell.nextColumn = c.pick;
        h.shell.nextFile = h.writeFile("people.CSV", c.list);
        h.loader.OpenList();
        EXPECT_EQ(!h.shell.columnNames.isEmpty(), c.pick.has_value());
        EXPECT_EQ(h.report.addresses(), c.addresses);
        EXPECT_EQ(h.state.LoadedCount, c.addresses.size());
        runToEnd(h);
        SaveResults(h.ctx);
        EXPECT_EQ(h.shell.saved, (QStringList{h.dir.filePath("people_Valid.csv"),
                                              h.dir.filePath("people_Errors.csv")}));
        EXPECT_EQ(readAll(h.dir.filePath("people_Valid.csv")), c.valid);
        EXPECT_EQ(readAll(h.dir.filePath("people_Errors.csv")), c.errors);
    }
}

// A cancelled column question changes nothing; a plain list opened after a
// CSV one saves plain again; a CSV list added to a CSV list keeps its rows.
TEST(CsvList, CancelAddAndPlainListsAfterwards)
{
    Harness h;
    h.openList({"keep@x.org"});
    h.shell.nextFile = h.writeFile("odd.csv", "a,b\r\n1,2\r\n");
    h.loader.OpenList();
    EXPECT_EQ(h.shell.columnNames, (QStringList{"a", "b"}));
    EXPECT_EQ(h.report.addresses(), QList<QByteArray>{"keep@x.org"});
    EXPECT_TRUE(h.state.ListFile.endsWith("list.txt"));

    h.shell.nextFile = h.writeFile("one.csv", "Email,n\r\na@x.org,1\r\n");
    h.loader.OpenList();
    h.shell.nextFile = h.writeFile("two.csv", "n,email\n\"2\",b@x.org\n");
    h.loader.AddList();
    EXPECT_EQ(h.report.addresses(), (QList<QByteArray>{"a@x.org", "b@x.org"}));
    runToEnd(h);
    SaveResults(h.ctx);
    EXPECT_EQ(readAll(h.dir.filePath("one_Valid.csv")), "Email,n\r\na@x.org,1\r\n\"2\",b@x.org\n");

    h.openList({"c@x.org"}, "plain.txt");
    runToEnd(h);
    SaveResults(h.ctx);
    EXPECT_EQ(readAll(h.dir.filePath("plain_Valid.txt")), "c@x.org\r\n");
}
