#include "wire.h"

#include <QPointF>
#include <QStringList>
#include <gtest/gtest.h>

using namespace corvanta;
using namespace corvanta::wire;

namespace {

QByteArray frameOf(const QByteArray& body)
{
    QByteArray f(4, '\0');
    const quint32 n = quint32(body.size());
    f[0] = char(n >> 24);
    f[1] = char(n >> 16);
    f[2] = char(n >> 8);
    f[3] = char(n);
    return f + body;
}

Message roundTrip(const Message& m)
{
    const auto frame = encode(m);
    EXPECT_TRUE(frame.has_value());
    FrameReader reader;
    reader.append(*frame);
    Message out;
    EXPECT_EQ(reader.next(&out), FrameReader::Result::Message);
    EXPECT_EQ(reader.buffered(), 0);
    return out;
}

} // namespace

TEST(Wire, EveryPlainKindCrossesUnchanged)
{
    const ValueList values{QVariant(),
                           true,
                           qint32(-2147483647 - 1),
                           qint64(1) << 40,
                           2.5,
                           QString(),
                           QStringLiteral("Grüße <a@b.c>\r\n"),
                           QByteArray("\x00\xff\x01", 3),
                           QStringList{QStringLiteral("10.0.0.1"), QString()},
                           quint32(4000000000u)};
    const Message m = roundTrip(CallRequest{77, 19, values});
    const auto& call = std::get<CallRequest>(m);
    EXPECT_EQ(call.id, 77u);
    EXPECT_EQ(call.member, 19);
    ASSERT_EQ(call.args.size(), values.size());
    for (qsizetype i = 0; i < values.size(); ++i) {
        EXPECT_EQ(call.args[i], values[i]) << i;
        // Unsigned 32-bit numbers widen to 64 bits; every other kind keeps its own.
        if (values[i].typeId() != QMetaType::UInt) {
            EXPECT_EQ(call.args[i].typeId(), values[i].typeId()) << i;
        }
    }
    EXPECT_EQ(call.args[9].toLongLong(), 4000000000LL);
}

TEST(Wire, ValuesThatCannotCrossAreRefusedWithTypeMismatch)
{
    for (const QVariant& v : {QVariant(QPointF(1, 2)), QVariant(QVariantMap{{"a", 1}}),
                              QVariant(QVariantList{1, 2}), QVariant(quint64(1) << 63)}) {
        BrokerError error;
        EXPECT_FALSE(encode(CallRequest{1, 0, {v}}, &error).has_value()) << v.typeName();
        EXPECT_EQ(error.number, brokererr::TypeMismatch);
    }
}

TEST(Wire, FramesCutAnywhereArriveWholeAndKeepTheirChaining)
{
    // A sequence goes out in one write; the server holds its answers while
    // another whole frame is waiting, and never for half of one.
    const QByteArray first = *encode(CallRequest{7, 1, {QStringLiteral("a")}, false});
    const QByteArray stream = first + *encode(CallRequest{8, 2, {}, true});
    FrameReader reader;
    Message m;
    std::vector<CallRequest> calls;
    for (qsizetype i = 0; i < stream.size(); ++i) {
        reader.append(stream.mid(i, 1));
        EXPECT_EQ(reader.hasFrame(), i + 1 == first.size() || i + 1 == stream.size()) << i;
        while (reader.next(&m) == FrameReader::Result::Message)
            calls.push_back(std::get<CallRequest>(m));
    }
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_FALSE(calls[0].chained);
    EXPECT_EQ(calls[0].args, ValueList{QStringLiteral("a")});
    EXPECT_TRUE(calls[1].chained);
    EXPECT_EQ(calls[1].id, 8u);
    EXPECT_EQ(calls[1].member, 2);
}

TEST(Wire, BadFramesFailTheReaderForGood)
{
    const QByteArray good = *encode(StatePush{1, false, {}});
    struct Case
    {
        const char* what;
        QByteArray bytes;
    };
    QByteArray hugeString;
    hugeString.append(char(4));                           // reply
    hugeString.append(QByteArray(4, '\0'));               // id
    hugeString.append(char(1));                           // ok
    hugeString.append(char(5));                           // string value
    hugeString.append(QByteArray("\x7f\xff\xff\xff", 4)); // claims 2 GB

    const Case cases[] = {
        {"length above the cap", QByteArray("\xff\xff\xff\xf0", 4)},
        {"empty frame", QByteArray(4, '\0')},
        {"unknown message kind", frameOf(QByteArray("\x63", 1))},
        {"trailing bytes", frameOf(good.mid(4) + "x")},
        {"truncated body", frameOf(good.mid(4).chopped(1))},
        {"string longer than its frame", frameOf(hugeString)},
        {"unknown value kind", frameOf(QByteArray("\x03\0\0\0\1\0\0\0\0\0\0\0\1\x42", 14))},
        {"too many values", frameOf(QByteArray("\x03\0\0\0\1\0\0\0\0\xff\xff\xff\xff", 13))},
    };
    for (const Case& c : cases) {
        FrameReader reader;
        reader.append(c.bytes);
        Message m;
        EXPECT_EQ(reader.next(&m), FrameReader::Result::Failed) << c.what;
        // Nothing after a bad frame is trusted, not even a good one.
        reader.append(good);
        EXPECT_EQ(reader.next(&m), FrameReader::Result::Failed) << c.what;
    }
}
