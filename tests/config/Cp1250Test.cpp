// SPDX-License-Identifier: MIT
#include "config/Cp1250.h"

#include <gtest/gtest.h>

#include <set>

namespace cp = kx9::cp1250;

TEST(Cp1250, PolishLettersHaveTheirBytes) {
    const QString letters = QStringLiteral("ĄĆĘŁŃÓŚŹŻąćęłńóśźż");
    const QByteArray bytes("\xA5\xC6\xCA\xA3\xD1\xD3\x8C\x8F\xAF\xB9\xE6\xEA\xB3\xF1\xF3\x9C\x9F\xBF");
    ASSERT_EQ(letters.size(), 18);
    EXPECT_EQ(cp::FromUnicode(letters), bytes);
    EXPECT_EQ(cp::ToUnicode(bytes), letters);
}

struct Pair {
    char16_t unicode;
    uint8_t byte;
};

class KnownCharacters : public testing::TestWithParam<Pair> {};

TEST_P(KnownCharacters, MapBothWays) {
    const QString text(QChar(GetParam().unicode));
    const QByteArray byte(1, static_cast<char>(GetParam().byte));
    EXPECT_TRUE(cp::CanEncode(QChar(GetParam().unicode)));
    EXPECT_EQ(cp::FromUnicode(text), byte);
    EXPECT_EQ(cp::ToUnicode(byte), text);
}

INSTANTIATE_TEST_SUITE_P(Table, KnownCharacters,
                         testing::Values(Pair{u'A', 0x41}, Pair{u' ', 0x20}, Pair{u'~', 0x7E},
                                         Pair{0x0000, 0x00}, Pair{u'€', 0x80}, Pair{u'„', 0x84},
                                         Pair{u'–', 0x96}, Pair{u'™', 0x99}, Pair{0x00A0, 0xA0},
                                         Pair{u'§', 0xA7}, Pair{u'°', 0xB0}, Pair{u'Ä', 0xC4},
                                         Pair{u'ß', 0xDF}, Pair{u'ű', 0xFB}, Pair{u'˙', 0xFF}));

TEST(Cp1250, EveryByteSurvivesARoundTrip) {
    QByteArray all;
    for (int b = 0; b < 256; ++b)
        all.append(static_cast<char>(b));
    const QString text = cp::ToUnicode(all);
    ASSERT_EQ(text.size(), 256);
    EXPECT_FALSE(text.contains(QChar(0xFFFD)));
    std::set<char16_t> distinct;
    for (QChar c : text)
        distinct.insert(c.unicode());
    EXPECT_EQ(distinct.size(), 256u);
    EXPECT_EQ(cp::FromUnicode(text), all);
}

TEST(Cp1250, RefusesWhatItCannotHold) {
    for (const QString& s : {QStringLiteral("ж"), QStringLiteral("日"), QStringLiteral("😀"),
                             QStringLiteral("\uFFFD"), QStringLiteral("ĀĀ"), QStringLiteral("ő€Ő")}) {
        const bool expected = s == QStringLiteral("ő€Ő");
        EXPECT_EQ(cp::FromUnicode(s).has_value(), expected) << s.toStdString();
    }
    EXPECT_FALSE(cp::FromUnicode(QStringLiteral("Zażółć gęślą jaźń ж")).has_value());
    EXPECT_EQ(cp::FromUnicode(QStringLiteral("Zażółć gęślą jaźń")).value().size(), 17);
    EXPECT_FALSE(cp::CanEncode(QChar(0x0436)));
    EXPECT_FALSE(cp::CanEncode(QChar(0x0100)));
    EXPECT_TRUE(cp::FromUnicode(QString()).has_value());
}
