// Exports the full report of 1,000,000 checked rows (the real report store,
// each row with a message and both replies) and prints the seconds it takes.
//
//   cv_run_bench_export [rows]

#include "replystore.h"
#include "reportexport.h"
#include "statistics.h"
#include "ui/reportmodel.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <cstdio>

using namespace corvanta;

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    const int rows = argc > 1 ? std::atoi(argv[1]) : 1000000;
    ReportModel report;
    ReplyStore replies;
    for (int i = 0; i < rows; ++i) {
        report.addRecord("subscriber" + QByteArray::number(i).rightJustified(7, '0') +
                         "@example.org");
        const qint32 code = i % 5 == 0 ? verifyBadUser : verifyValid;
        OutcomeRecord outcome;
        outcome.code = code;
        outcome.word = OutcomeWord(code);
        outcome.recptReply = code == verifyValid ? QStringLiteral("250 2.1.5 Ok")
                                                 : QStringLiteral("550 5.1.1 <subscriber> User "
                                                                  "unknown, \"no such mailbox\"");
        outcome.fromReply = QStringLiteral("250 2.1.0 Ok");
        outcome.message = outcome.recptReply;
        report.setStoredCode(i, code);
        report.setResult(i, outcome.word, code == verifyValid ? kColourGood : kColourBad,
                         code == verifyValid ? kIconGood : kIconBad);
        report.setMessage(i, outcome.message);
        replies.outcomeRecorded(i, outcome);
    }
    report.rebuildRows();

    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("report.csv"));
    QElapsedTimer timer;
    timer.start();
    const auto error = writeFullReport(report, &replies, path, {}, {});
    const double seconds = double(timer.nsecsElapsed()) / 1e9;
    if (error) {
        std::fprintf(stderr, "%s\n", qPrintable(error->text()));
        return 1;
    }
    std::printf("export: %d rows, %.1f MB, %.3f s\n", rows,
                double(QFile(path).size()) / (1024.0 * 1024.0), seconds);
    return 0;
}
