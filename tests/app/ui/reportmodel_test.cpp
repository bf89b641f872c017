#include "runtypes.h"
#include "ui/reportmodel.h"

#include <QBrush>
#include <QIcon>
#include <QSignalSpy>
#include <algorithm>
#include <gtest/gtest.h>
#include <numeric>

using corvanta::ReportModel;

namespace {

QString Cell(const ReportModel& model, int row, int column)
{
    return model.data(model.index(row, column), Qt::DisplayRole).toString();
}

QColor Foreground(const ReportModel& model, int row, int column)
{
    return model.data(model.index(row, column), Qt::ForegroundRole).value<QBrush>().color();
}

bool Shaded(const ReportModel& model, int row)
{
    const QVariant background = model.data(model.index(row, 0), Qt::BackgroundRole);
    if (!background.isValid())
        return false;
    // Every cell of a row carries the same shade.
    for (int column = 1; column < ReportModel::ColumnCount; ++column)
        EXPECT_EQ(model.data(model.index(row, column), Qt::BackgroundRole), background);
    EXPECT_EQ(background.value<QBrush>().color(), QColor(240, 253, 255));
    return true;
}

void Load(ReportModel& model, std::initializer_list<const char*> addresses)
{
    for (const char* address : addresses)
        model.addRecord(QByteArrayView(address));
    model.rebuildRows();
}

} // namespace

TEST(ReportModel, RecordsShowAtTheRebuildNumberedShadedColouredAndWithTheirResults)
{
    ReportModel model;
    QSignalSpy inserted(&model, &QAbstractItemModel::rowsInserted);
    for (const char* address : {"one@x.test", "two@x.test", "three@x.test"})
        model.addRecord(QByteArrayView(address));
    EXPECT_EQ(model.rowCount(), 0);
    EXPECT_EQ(inserted.count(), 0);
    // Not shown yet, but already readable and writable by index.
    EXPECT_EQ(model.address(1), QByteArray("two@x.test"));
    model.rebuildRows();
    ASSERT_EQ(model.rowCount(), 3);
    EXPECT_EQ(inserted.count(), 1);
    model.rebuildRows(); // nothing new: no second insertion
    EXPECT_EQ(inserted.count(), 1);

    for (int row = 0; row < 3; ++row) {
        EXPECT_EQ(Cell(model, row, 0), QString::number(row + 1));
        EXPECT_TRUE(Cell(model, row, 2).isEmpty());
        EXPECT_TRUE(Cell(model, row, 3).isEmpty());
        EXPECT_EQ(Foreground(model, row, 0), QColor(0, 0, 153));
        EXPECT_EQ(Foreground(model, row, 3), QColor(0, 0, 102));
        // The address keeps the grid's own colour.
        EXPECT_FALSE(model.data(model.index(row, 1), Qt::ForegroundRole).isValid());
    }
    EXPECT_EQ(Cell(model, 1, 1), QStringLiteral("two@x.test"));
    EXPECT_TRUE(Shaded(model, 0));
    EXPECT_FALSE(Shaded(model, 1));
    EXPECT_TRUE(Shaded(model, 2));

    // Two more continue the numbering.
    Load(model, {"four@x.test", "five@x.test"});
    EXPECT_EQ(Cell(model, 3, 0), QStringLiteral("4"));
    EXPECT_EQ(Cell(model, 4, 0), QStringLiteral("5"));

    // A result shows its word, colour and icon, and a message its text.
    QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);
    model.setResult(0, QStringLiteral("Validating..."), corvanta::kColourValidating,
                    corvanta::kIconValidating);
    EXPECT_EQ(Cell(model, 0, 2), QStringLiteral("Validating..."));
    EXPECT_EQ(Foreground(model, 0, 2), QColor(0, 0, 255)); // 0x00BBGGRR decoded
    EXPECT_EQ(model.ResultIcon(0), 1);
    EXPECT_FALSE(model.data(model.index(0, 2), Qt::DecorationRole).value<QIcon>().isNull());
    EXPECT_GE(changed.count(), 1);
    // (The final outcomes are read after a real run by the end-to-end picture test.)
    model.setMessage(0, QStringLiteral("550 no such user"));
    EXPECT_EQ(Cell(model, 0, 3), QStringLiteral("550 no such user"));
    model.setMessage(0, QString());
    EXPECT_TRUE(Cell(model, 0, 3).isEmpty());
    EXPECT_FALSE(model.data(model.index(1, 2), Qt::DecorationRole).isValid()); // no result yet
}

TEST(ReportModel, ColumnsAreReadOnlyAndTheVerdictColumnComesAndGoesWithItsOutcome)
{
    ReportModel model;
    Load(model, {"a@x.test", "b@x.test"});
    model.setStoredCode(0, corvanta::verifyValid);
    model.setVerdict(0, {corvanta::Verdict::Risky, corvanta::Reason::AcceptAll});
    EXPECT_EQ(model.columnCount(), 4);
    model.SetVerdictsShown(true);
    ASSERT_EQ(model.columnCount(), 5);
    const char* captions[] = {"No", "Email", "Result", "Message", "Verdict"};
    for (int column = 0; column < 5; ++column) {
        EXPECT_EQ(model.headerData(column, Qt::Horizontal, Qt::DisplayRole).toString(),
                  QString::fromLatin1(captions[column]));
        EXPECT_FALSE(model.flags(model.index(0, column)) & Qt::ItemIsEditable);
        EXPECT_FALSE(model.setData(model.index(0, column), QStringLiteral("x")));
    }
    EXPECT_EQ(Cell(model, 0, 4), "risky (accept_all)");
    EXPECT_TRUE(Cell(model, 1, 4).isEmpty());
    model.sort(4, Qt::DescendingOrder);
    EXPECT_EQ(model.RecordAtRow(0), 0);
    model.RestoreRecordOrder();

    // A retry stores a new code; the verdict of the old outcome goes with it.
    model.setStoredCode(0, corvanta::verifyBadUser);
    EXPECT_FALSE(model.verdict(0).has_value());
    EXPECT_TRUE(Cell(model, 0, 4).isEmpty());
    model.SetVerdictsShown(false);
    EXPECT_EQ(model.columnCount(), 4);
}

TEST(ReportModel, AddressBytesSurviveUnchangedAcrossStorageBlocks)
{
    ReportModel model;
    const QByteArray huge(3 << 20, 'h'); // longer than a storage chunk
    constexpr int kCount = 70000;        // several blocks of records
    for (int i = 0; i < kCount; ++i) {
        if (i == 40000)
            model.addRecord(huge);
        else
            model.addRecord(QByteArray::number(i) + "@x.test");
    }
    model.setMessage(kCount - 1, QStringLiteral("last"));
    model.addRecord("after@x.test"); // messages keep pace with records
    // Latin-1 bytes that are not valid UTF-8, an empty line and a stray
    // carriage return come back byte for byte too.
    const QByteArray odd("m\xFCller@x.test", 13);
    for (const QByteArray& bytes : {odd, QByteArray(""), QByteArray("tail@x.test\r")})
        model.addRecord(bytes);
    model.rebuildRows();
    ASSERT_EQ(model.rowCount(), kCount + 4);
    EXPECT_EQ(model.address(kCount + 1), odd);
    EXPECT_EQ(model.address(kCount + 2), QByteArray());
    EXPECT_EQ(model.address(kCount + 3), QByteArray("tail@x.test\r"));
    EXPECT_EQ(Cell(model, kCount + 1, 1), QString::fromLocal8Bit(odd));
    for (int i : {0, 16384, 39999, 40001})
        EXPECT_EQ(model.address(i), QByteArray::number(i) + "@x.test") << i;
    EXPECT_EQ(model.address(40000), huge);
    EXPECT_EQ(model.address(kCount), QByteArray("after@x.test"));
    EXPECT_EQ(model.Message(kCount - 1), QStringLiteral("last"));
    EXPECT_TRUE(model.Message(kCount).isEmpty());
    EXPECT_EQ(Cell(model, kCount - 1, 0), QString::number(kCount));
}

TEST(ReportModel, OutcomeCodesAreAbsentUntilStoredAndGoWithTheRecords)
{
    ReportModel model;
    Load(model, {"a@x.test", "b@x.test"});
    EXPECT_FALSE(model.storedCode(0).has_value());
    EXPECT_EQ(model.data(model.index(0, 1), ReportModel::OutcomeCodeRole).toInt(), 0);
    // A retry that succeeds stores 0, which is a stored code, not an absent one.
    model.setStoredCode(1, corvanta::verifyValid);
    EXPECT_EQ(model.storedCode(1), std::optional<qint32>(0));
    EXPECT_FALSE(model.storedCode(0).has_value());

    // Removing all records empties the grid and restarts the numbering.
    model.setMessage(1, QStringLiteral("kept?"));
    model.removeAllRecords();
    EXPECT_EQ(model.recordCount(), 0);
    EXPECT_EQ(model.rowCount(), 0);

    Load(model, {"c@x.test"});
    EXPECT_EQ(Cell(model, 0, 0), QStringLiteral("1"));
    EXPECT_TRUE(Cell(model, 0, 3).isEmpty());
    EXPECT_FALSE(model.storedCode(0).has_value());
}

TEST(ReportModel, IndexesOutOfRangeAreHarmless)
{
    ReportModel model;
    Load(model, {"a@x.test"});
    for (qsizetype row : {qsizetype(-1), qsizetype(1), qsizetype(1) << 40}) {
        EXPECT_TRUE(model.address(row).isEmpty());
        EXPECT_FALSE(model.storedCode(row).has_value());
        model.setStoredCode(row, 2);
        model.setResult(row, QStringLiteral("x"), 255, 3);
        model.setMessage(row, QStringLiteral("x"));
        model.bringIntoView(row);
    }
    EXPECT_EQ(model.recordCount(), 1);
    EXPECT_TRUE(Cell(model, 0, 2).isEmpty());
}

TEST(ReportModel, SortingReordersRowsAndRestoringPutsRecordsBackByPosition)
{
    ReportModel model;
    Load(model, {"c@x.test", "a@x.test", "b@x.test"});
    model.setResult(0, QStringLiteral("Valid"), corvanta::kColourGood, 2);

    model.Arrange(ReportModel::ColAddress);
    EXPECT_TRUE(model.IsSorted());
    EXPECT_EQ(Cell(model, 0, 1), QStringLiteral("a@x.test"));
    EXPECT_EQ(Cell(model, 0, 0), QStringLiteral("2")); // a record keeps its number
    EXPECT_EQ(model.RecordAtRow(0), 1);
    // Shading follows the display row, not the record.
    EXPECT_TRUE(Shaded(model, 0));

    // A write by record index lands on that record wherever it is displayed.
    model.setMessage(1, QStringLiteral("for a"));
    EXPECT_EQ(Cell(model, 0, 3), QStringLiteral("for a"));

    QSignalSpy restored(&model, &ReportModel::RecordOrderRestored);
    model.RestoreRecordOrder();
    EXPECT_FALSE(model.IsSorted());
    EXPECT_EQ(restored.count(), 1);
    for (int row = 0; row < 3; ++row) {
        EXPECT_EQ(model.RecordAtRow(row), row);
        EXPECT_EQ(Cell(model, row, 0), QString::number(row + 1));
    }
    EXPECT_EQ(Cell(model, 0, 2), QStringLiteral("Valid"));
}

TEST(ReportModel, BringingARowIntoViewNamesItsDisplayRow)
{
    ReportModel model;
    Load(model, {"b@x.test", "a@x.test"});
    model.addRecord("hidden@x.test"); // not shown yet: nothing to scroll to
    QSignalSpy show(&model, &ReportModel::RowShowRequested);
    model.bringIntoView(1);
    model.bringIntoView(2);
    ASSERT_EQ(show.count(), 1);
    EXPECT_EQ(show.at(0).at(0).toInt(), 1);

    model.Arrange(ReportModel::ColAddress);
    model.bringIntoView(1);
    EXPECT_EQ(show.last().at(0).toInt(), 0);
}

TEST(ReportModel, SortedOrderIsAStableSortByTheColumnAlsoAfterRecordsAreAdded)
{
    // Long shared beginnings, duplicates, a prefix of another address, bytes
    // above 127, texts beyond ASCII.
    const QByteArray shared(40, 'p');
    const QList<QByteArray> addresses{"b@x",  shared + "2@x", "a@x",    shared + "1@x",
                                      "b@x",  "b@x.test",     "\xff@x", shared + "1@x",
                                      shared, "A@x",          "c@x"};
    const QStringList words{"Valid", "Bad User", "", "Valid", "MX failed"};
    const QStringList messages{QString(),
                               "550 <" + shared + "2>",
                               "250 Ok",
                               "550 <" + shared + "1>",
                               QString::fromUtf8("\xc3\xa9t\xc3\xa9"),
                               "250 Ok",
                               "250 Ok2"};
    ReportModel model;
    const auto add = [&](qsizetype count) {
        for (qsizetype i = 0; i < count; ++i) {
            const qsizetype r = model.AddRecord(addresses[model.RecordCount() % addresses.size()]);
            model.SetResult(r, words[r % words.size()], {}, 0);
            model.setMessage(r, messages[r % messages.size()]);
            if (r % 3 != 0)
                model.setVerdict(
                    r, {r % 2 ? corvanta::Verdict::Risky : corvanta::Verdict::Unknown,
                        r % 4 ? corvanta::Reason::AcceptAll : corvanta::Reason::Greylisted});
        }
    };
    // The order a plain stable sort of the cells gives.
    const auto expected = [&](int column, Qt::SortOrder order) {
        std::vector<qsizetype> records(size_t(model.RecordCount()));
        std::iota(records.begin(), records.end(), 0);
        const auto less = [&](qsizetype a, qsizetype b) {
            if (column == ReportModel::ColAddress)
                return model.address(a) < model.address(b);
            if (column == ReportModel::ColNumber)
                return a < b;
            const auto text = column == ReportModel::ColResult    ? &ReportModel::ResultText
                              : column == ReportModel::ColMessage ? &ReportModel::Message
                                                                  : &ReportModel::VerdictText;
            return (model.*text)(a) < (model.*text)(b);
        };
        std::stable_sort(records.begin(), records.end(), [&](qsizetype a, qsizetype b) {
            return order == Qt::AscendingOrder ? less(a, b) : less(b, a);
        });
        return records;
    };
    const auto shown = [&] {
        std::vector<qsizetype> records;
        for (int row = 0; row < model.rowCount(); ++row)
            records.push_back(model.RecordAtRow(row));
        return records;
    };

    model.SetVerdictsShown(true);
    add(20);
    model.Populate();
    for (int column = 0; column <= ReportModel::ColVerdict; ++column) {
        for (Qt::SortOrder order : {Qt::AscendingOrder, Qt::DescendingOrder}) {
            model.sort(column, order);
            EXPECT_EQ(shown(), expected(column, order)) << column << " " << order;
            // Records added to a sorted grid are merged in at the next rebuild.
            add(7);
            EXPECT_EQ(model.rowCount(), model.RecordCount() - 7);
            model.Populate();
            EXPECT_EQ(shown(), expected(column, order)) << column << " " << order << " after Add";
        }
    }
    // A rebuild with nothing new leaves the sorted rows alone.
    QSignalSpy reset(&model, &QAbstractItemModel::modelReset);
    model.Populate();
    EXPECT_EQ(reset.count(), 0);
}
