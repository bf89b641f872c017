// The format check, fed any text: as UTF-8, and as raw UTF-16 code units
// (lone surrogates included). It must never crash, and it accepts only what
// the documented pattern allows: ASCII word characters, ".", "-" and one
// "@", so never a CR, LF or NUL.

#include "emailformat.h"
#include "fuzzcheck.h"

#include <cstddef>
#include <cstdint>

using namespace corvanta;

namespace {

void check(const QString& text)
{
    if (!isValidEmail(text))
        return;
    FUZZ_CHECK(text.count(QLatin1Char('@')) == 1);
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        const bool allowed = (u >= 'a' && u <= 'z') || (u >= 'A' && u <= 'Z') ||
                             (u >= '0' && u <= '9') || u == '_' || u == '.' || u == '-' || u == '@';
        FUZZ_CHECK(allowed);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    check(QString::fromUtf8(reinterpret_cast<const char*>(data), qsizetype(size)));
    check(QString::fromLatin1(reinterpret_cast<const char*>(data), qsizetype(size)));
    QString units(qsizetype(size / 2), Qt::Uninitialized);
    for (std::size_t i = 0; i + 1 < size; i += 2)
        units[qsizetype(i / 2)] = QChar(char16_t(data[i] | (data[i + 1] << 8)));
    check(units);
    return 0;
}
