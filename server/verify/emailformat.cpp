#include "emailformat.h"

#include <QRegularExpression>

namespace corvanta {
namespace {

const QRegularExpression& emailPattern()
{
    // The trailing anchor is \z rather than $: PCRE's $ also matches before a
    // final newline, which would let "a@b.com\n" through. No Unicode
    // properties, so \w stays ASCII.
    static const QRegularExpression pattern = [] {
        QRegularExpression re(QStringLiteral(
            R"(^\w+((-\w+)|(\.\w+))*\@[A-Za-z0-9]+((\.|-)[A-Za-z0-9]+)*\.[A-Za-z0-9]+\z)"));
        re.optimize(); // compile now, not lazily on first use from some thread
        return re;
    }();
    return pattern;
}

} // namespace

bool isValidEmail(const QString& myEmail)
{
    // Every match in the text counts; anything but exactly one fails.
    int count = 0;
    QRegularExpressionMatchIterator it = emailPattern().globalMatch(myEmail);
    while (it.hasNext() && count < 2) {
        it.next();
        ++count;
    }
    return count == 1;
}

} // namespace corvanta
