#include "journalsession.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QRegularExpression>
#include <csignal>

using namespace corvanta;
using namespace corvanta::test;

namespace {

QString writeList(const QTemporaryDir& dir, const QString& name, const QByteArray& bytes)
{
    const QString path = dir.filePath(name);
    QFile f(path);
    f.open(QIODevice::WriteOnly);
    f.write(bytes);
    return path;
}

const QRegularExpression kQuestion(
    QStringLiteral("^This list was checked before: (\\d+) of (\\d+) addresses have an outcome "
                   "\\(last on .+\\)\\. Continue with those outcomes\\?$"));

} // namespace

// Yes brings every outcome back as it was shown, with the counters, and
// Start checks only the rest; No starts afresh and forgets the journal. The
// first session runs twice: a run lets the journal's thread go at its end,
// and the next run of the session records on.
TEST(Journal, AnotherSessionContinuesWithYesAndStartsAfreshWithNo)
{
    QTemporaryDir dir;
    const QString list = writeList(dir, "list.txt", numberedList(10));
    const QString journals = dir.filePath("journals");
    std::vector<FakeReport::Row> before;
    {
        JournalSession first(journals);
        first.h.settings.ReadReplyCodes = true;
        first.open(list);
        EXPECT_TRUE(first.h.shell.questions.isEmpty());
        EXPECT_TRUE(first.h.shell.notices.isEmpty())
            << first.h.shell.notices.join("|").toStdString();
        first.h.state.ThreadCount = 1;
        first.h.factory.onVerify = [&](FakeVerifier&) {
            const qsizetype n = first.h.factory.dispatched.size();
            if (n == 3 || n == 6)
                first.h.run.RequestStop();
        };
        first.start();
        ASSERT_EQ(first.h.state.ValidatedCount, 3);
        first.start();
        ASSERT_EQ(first.h.state.ValidatedCount, 6);
        before = first.h.report.rows;
    }
    {
        JournalSession second(journals);
        second.h.settings.ReadReplyCodes = true;
        second.h.shell.nextAnswer = Answer::Yes;
        second.open(list);
        ASSERT_EQ(second.h.shell.questions.size(), 1);
        const auto match = kQuestion.match(second.h.shell.questions[0]);
        ASSERT_TRUE(match.hasMatch()) << second.h.shell.questions[0].toStdString();
        EXPECT_EQ(match.captured(1), "6");
        EXPECT_EQ(match.captured(2), "10");
        const auto shown = [](const FakeReport::Row& r) {
            return std::tuple(r.code, r.word, r.colour, r.icon, r.message, r.verdict);
        };
        for (size_t i = 0; i < 6; ++i) {
            EXPECT_EQ(shown(second.h.report.rows[i]), shown(before[i])) << i;
            EXPECT_TRUE(second.h.report.rows[i].verdict.has_value()) << i;
        }
        EXPECT_EQ(counts(second.h), std::tuple(6, 5, 1));
        EXPECT_EQ(second.h.status.label(StatusLabel::Validated), "6");
        EXPECT_EQ(second.h.status.label(StatusLabel::Percent), "60%");
        second.start();
        EXPECT_EQ(second.h.factory.dispatched,
                  (QStringList{"a6@x.org", "a7@x.org", "a8@x.org", "bad9@x.org"}));
        EXPECT_EQ(second.h.state.ValidatedCount, 10);
    }
    {
        JournalSession third(journals);
        third.open(list);
        ASSERT_EQ(third.h.shell.questions.size(), 1);
        EXPECT_EQ(kQuestion.match(third.h.shell.questions[0]).captured(1), "10");
        EXPECT_EQ(third.withOutcome(), 0) << "No restores nothing";
        EXPECT_EQ(third.h.state.ValidatedCount, 0);
    }
    JournalSession fourth(journals);
    fourth.open(list);
    EXPECT_TRUE(fourth.h.shell.questions.isEmpty()) << "No cleared the journal";
}

// A journal belongs to one version of one list; added lists keep journals
// of their own and are never asked about.
TEST(Journal, EditedListsAreNotMatchedAndAddedListsAreJournaled)
{
    QTemporaryDir dir;
    const QString journals = dir.filePath("journals");
    const QString list = writeList(dir, "list.txt", numberedList(4));
    const QString extra = writeList(dir, "extra.txt", "e1@x.org\r\ne2@x.org\r\n");
    {
        JournalSession s(journals);
        s.open(list);
        s.add(extra);
        s.start();
        EXPECT_TRUE(s.h.shell.questions.isEmpty());
    }
    writeList(dir, "list.txt", numberedList(4).replace("a1@", "a9@"));
    {
        JournalSession s(journals);
        s.h.shell.nextAnswer = Answer::Yes;
        s.open(list);
        EXPECT_TRUE(s.h.shell.questions.isEmpty()) << "an edited list has no past";
        s.add(extra);
        EXPECT_TRUE(s.h.shell.questions.isEmpty()) << "Add never asks";
        EXPECT_EQ(s.withOutcome(), 0);
    }
    JournalSession s(journals);
    s.h.shell.nextAnswer = Answer::Yes;
    s.open(extra);
    ASSERT_EQ(s.h.shell.questions.size(), 1);
    EXPECT_EQ(kQuestion.match(s.h.shell.questions[0]).captured(1), "2");
    EXPECT_EQ(s.h.report.rows[1].message, "rcpt:e2@x.org");
}

// A session killed with SIGKILL in the middle of a run: the child process
// below records outcomes and prints each count with its time; after the
// kill, a new session restores everything recorded up to a second before
// it, each row once, and Start completes the rest.
TEST(Journal, KilledSessionLosesAtMostTheLastSecond)
{
    QTemporaryDir dir;
    const QString list = writeList(dir, "list.txt", numberedList(3000));
    const QString journals = dir.filePath("journals");
    QProcess child;
    child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("CORVANTA_JOURNAL_CHILD"), list + QLatin1Char('|') + journals);
    child.setProcessEnvironment(env);
    child.start(QCoreApplication::applicationFilePath(), {});
    ASSERT_TRUE(child.waitForStarted());
    QElapsedTimer clock;
    clock.start();
    // counts[t] = outcomes the child had recorded at ms t since start.
    std::vector<std::pair<qint64, int>> counts;
    QByteArray pending;
    while (clock.elapsed() < 2500 && child.state() == QProcess::Running) {
        child.waitForReadyRead(50);
        pending += child.readAllStandardOutput();
        qsizetype nl;
        while ((nl = pending.indexOf('\n')) >= 0) {
            counts.emplace_back(clock.elapsed(), pending.left(nl).toInt());
            pending.remove(0, nl + 1);
        }
    }
    ASSERT_EQ(child.state(), QProcess::Running) << "the child ended before it was killed";
    ::kill(pid_t(child.processId()), SIGKILL);
    const qint64 killedAt = clock.elapsed();
    child.waitForFinished();
    int surelyWritten = 0;
    for (const auto& [at, count] : counts)
        if (at < killedAt - 1000 - 100) // a second, and the pipe's own delay
            surelyWritten = count;
    ASSERT_GT(surelyWritten, 100) << "the child recorded too little to judge";

    JournalSession s(journals);
    s.h.shell.nextAnswer = Answer::Yes;
    s.open(list);
    ASSERT_EQ(s.h.shell.questions.size(), 1);
    const int restored = kQuestion.match(s.h.shell.questions[0]).captured(1).toInt();
    EXPECT_GE(restored, surelyWritten);
    EXPECT_EQ(s.withOutcome(), restored);
    EXPECT_EQ(s.h.state.ValidatedCount, restored) << "each row counted once";
    s.h.state.ThreadCount = 50;
    s.h.factory.delayMs = 0;
    s.start();
    EXPECT_EQ(s.h.factory.dispatched.size(), 3000 - restored);
    EXPECT_EQ(s.h.state.ValidatedCount, 3000);
}
