#include "base/Windows1252.h"

#include <gtest/gtest.h>

TEST(Windows1252, EncodesLatin1AndTheHighControlRange) {
    struct Case {
        QString text;
        QByteArray bytes;
    };
    const Case cases[] = {
        {QStringLiteral("abc"), QByteArray("abc")},
        {QString::fromUtf8("ä"), QByteArray("\xE4")},
        {QString::fromUtf8("€"), QByteArray("\x80")},
        {QString::fromUtf8("Arrèt d'urgence"), QByteArray("Arr\xE8t d'urgence")},
        {QString::fromUtf8("„Š“ – ™"), QByteArray("\x84\x8A\x93 \x96 \x99")},
        {QString::fromUtf8("ÿ"), QByteArray("\xFF")},
    };
    for (const Case& c : cases) {
        EXPECT_TRUE(isWindows1252(c.text)) << c.text.toStdString();
        EXPECT_EQ(toWindows1252(c.text), c.bytes) << c.text.toStdString();
        EXPECT_EQ(fromWindows1252(c.bytes), c.text) << c.text.toStdString();
    }
}

TEST(Windows1252, ReplacesWhatTheCodePageCannotHold) {
    // An arrow, a Cyrillic letter, a C1 control without a code point here, and one character
    // outside the basic plane (two UTF-16 units, one replacement).
    const QString text = QString::fromUtf8("a→bЖc") + QChar(0x0080) + QString::fromUtf8("😀");
    EXPECT_FALSE(isWindows1252(text));
    EXPECT_EQ(toWindows1252(text), QByteArray("a?b?c??"));
}

TEST(Windows1252, EveryByteSurvivesTheRoundTrip) {
    QByteArray all;
    for (int b = 0; b < 256; ++b)
        all.append(static_cast<char>(b));
    const QString decoded = fromWindows1252(all);
    EXPECT_EQ(decoded.size(), 256);
    EXPECT_TRUE(isWindows1252(decoded));
    EXPECT_EQ(toWindows1252(decoded), all);
}

// Part of a larger text converts exactly its own bytes (a reader hands over one line at a time).
TEST(Windows1252, ConvertsAPartOfALargerText) {
    const QByteArray all("ab\x80" "cd");
    EXPECT_EQ(fromWindows1252(QByteArrayView(all).sliced(1, 2)), QString::fromUtf8("b€"));
    EXPECT_TRUE(fromWindows1252(QByteArrayView(all).sliced(2, 0)).isEmpty());
    const QString text = QString::fromUtf8("x€y");
    EXPECT_EQ(toWindows1252(QStringView(text).sliced(1)), QByteArray("\x80y"));
}
