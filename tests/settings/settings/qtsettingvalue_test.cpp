// The bridge the windows use between registry values and QVariant.
#include "qtsettingvalue.h"
#include "settings.h"

#include <gtest/gtest.h>

namespace corvanta {
namespace {

TEST(QtSettingValue, ValuesCrossBothWays)
{
    const RegValue values[] = {RegValue{},
                               true,
                               std::int32_t{-7},
                               1.5f,
                               2.25,
                               std::string("Gr\xC3\xBC\xC3\x9F"
                                           "e"),
                               ByteArray{0, 255}};
    for (const RegValue& v : values)
        EXPECT_EQ(FromQVariant(ToQVariant(v)), v) << ValueText(v);

    EXPECT_EQ(ToQVariant(std::string("Gr\xC3\xBC\xC3\x9F"
                                     "e"))
                  .toString(),
              QString::fromUtf8("Grüße"));
    // Whole numbers that fit 32 bits stay whole so a DWORD write accepts them.
    EXPECT_EQ(FromQVariant(QVariant(qlonglong{5})), RegValue(std::int32_t{5}));
    EXPECT_EQ(FromQVariant(QVariant(qlonglong{1} << 40)), RegValue(1099511627776.0));
    EXPECT_EQ(FromQVariant(QVariant(QStringLiteral("5"))), RegValue(std::string("5")));
    EXPECT_EQ(FromQVariant(QVariant(QString())), RegValue(std::string()));
}

} // namespace
} // namespace corvanta
