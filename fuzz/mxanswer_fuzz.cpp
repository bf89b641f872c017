// The resolver's own handling of DNS names and MX answers. The raw answer is
// parsed by c-ares (its parser is c-ares's affair); what it parsed is fed to
// our conversion, sorting and null-MX rule, and so are records made straight
// from the input, which reach orderings no well-formed answer would.
//
// Input: a name up to the first NUL byte, then the answer bytes.

#include "componenterror.h"
#include "fuzzcheck.h"
#include "mxanswer.h"

#include <ares.h>
#include <cstddef>
#include <cstdint>
#include <cstring>

using namespace corvanta;

namespace {

void checkOrder(const QList<MxRecord>& records)
{
    IDnsResolver::MxLists lists;
    try {
        lists = orderMxRecords(records);
    } catch (const ComponentException& e) {
        // Only a set made entirely of root exchanges is refused.
        FUZZ_CHECK(e.number() == ARES_ENODATA);
        for (const auto& record : records)
            FUZZ_CHECK(record.second.isEmpty());
        return;
    }
    FUZZ_CHECK(lists.hosts == lists.alternates);
    qsizetype named = 0;
    for (const auto& record : records)
        named += record.second.isEmpty() ? 0 : 1;
    FUZZ_CHECK(lists.hosts.size() == named);
    // Ascending preference: each host's preference is the least among the
    // records not yet listed.
    QList<MxRecord> rest = records;
    for (const QString& host : lists.hosts) {
        FUZZ_CHECK(!host.isEmpty());
        int best = INT32_MAX;
        for (const auto& record : rest)
            if (!record.second.isEmpty())
                best = qMin(best, record.first);
        qsizetype at = -1;
        for (qsizetype i = 0; i < rest.size() && at < 0; ++i)
            if (rest[i].first == best && !rest[i].second.isEmpty())
                at = i;
        FUZZ_CHECK(at >= 0 && rest[at].second == host);
        rest.removeAt(at);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const char* text = reinterpret_cast<const char*>(data);
    const auto* nul = static_cast<const char*>(std::memchr(text, 0, size));
    const std::size_t nameSize = nul ? std::size_t(nul - text) : size;
    const QString name = QString::fromUtf8(text, qsizetype(nameSize));

    const QByteArray ace = dnsQueryName(name);
    FUZZ_CHECK(ace.size() <= 253);
    FUZZ_CHECK(!ace.contains('\\') && !ace.contains('\0'));
    FUZZ_CHECK(ace.isEmpty() || !name.isEmpty());

    if (!nul)
        return 0;
    const auto* answer = data + nameSize + 1;
    const int answerSize = int(size - nameSize - 1);

    ares_mx_reply* reply = nullptr;
    if (ares_parse_mx_reply(answer, answerSize, &reply) == ARES_SUCCESS) {
        const QList<MxRecord> records = mxRecordsFrom(reply);
        ares_free_data(reply);
        checkOrder(records);
    }

    // The answer bytes again, as records: two bytes of preference, one of
    // name length, then the name.
    QList<MxRecord> records;
    for (int at = 0; at + 3 <= answerSize;) {
        const int preference = (answer[at] << 8) | answer[at + 1];
        const int length = qMin(int(answer[at + 2]) % 8, answerSize - at - 3);
        records.append({preference, QString::fromLatin1(
                                        reinterpret_cast<const char*>(answer + at + 3), length)});
        at += 3 + length;
    }
    checkOrder(records);
    return 0;
}
