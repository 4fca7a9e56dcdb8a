#include "loco/DecoderCvFile.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

QString writeText(const QTemporaryDir& dir, const QByteArray& text)
{
    const QString path = dir.filePath(QStringLiteral("decoder.cv"));
    QFile f(path);
    EXPECT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(text);
    return path;
}

}  // namespace

TEST(DecoderCvFile, WrittenValuesReadBackWhole)
{
    QTemporaryDir dir;
    DecoderCvs cvs;
    cvs.values = {{1, 3}, {17, 200}, {18, 100}, {29, 38}, {1024, 255}};
    cvs.comment = QStringLiteral("BR 89 \u00fcber\nzwei Zeilen");
    const QString path = dir.filePath(QStringLiteral("br89.cv"));
    ASSERT_TRUE(writeDecoderCvFile(path, cvs).isEmpty());

    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QByteArray text = f.readAll();
    EXPECT_TRUE(text.startsWith("; Quarn decoder CVs\r\n; BR 89 \xc3\xbc" "ber zwei Zeilen\r\nCV1=3\r\n")) << text.constData();

    QString why;
    const auto back = readDecoderCvFile(path, &why);
    ASSERT_TRUE(back) << why.toStdString();
    EXPECT_EQ(back->values, cvs.values);
    EXPECT_EQ(back->comment, QStringLiteral("BR 89 \u00fcber zwei Zeilen"));
}

TEST(DecoderCvFile, HandEditedFilesAreReadAndBadLinesNamed)
{
    QTemporaryDir dir;
    auto ok = readDecoderCvFile(writeText(dir, " cv 3 = 12 \n\n; note\ncv29=6\r\n"));
    ASSERT_TRUE(ok);
    EXPECT_EQ(ok->values, (std::map<int, int>{{3, 12}, {29, 6}}));

    const struct {
        const char* text;
        const char* named;
    } bad[] = {
        {"CV1=3\nCV2=256\n", "line 2"},
        {"CV0=1\n", "line 1"},
        {"CV1025=1\n", "line 1"},
        {"CV1=3\nhello\n", "line 2"},
        {"CV1=-1\n", "line 1"},
    };
    for (const auto& b : bad) {
        QString why;
        EXPECT_FALSE(readDecoderCvFile(writeText(dir, b.text), &why)) << b.text;
        EXPECT_TRUE(why.contains(QLatin1String(b.named))) << why.toStdString();
    }
    QString why;
    EXPECT_FALSE(readDecoderCvFile(dir.filePath(QStringLiteral("missing.cv")), &why));
    EXPECT_FALSE(why.isEmpty());
}

TEST(DecoderCvFile, AValueOutOfRangeIsNotWrittenAndTheOldFileStays)
{
    QTemporaryDir dir;
    const QString path = writeText(dir, "CV1=3\n");
    DecoderCvs cvs;
    cvs.values = {{1, 4}, {2, 300}};
    EXPECT_FALSE(writeDecoderCvFile(path, cvs).isEmpty());
    const auto back = readDecoderCvFile(path);
    ASSERT_TRUE(back);
    EXPECT_EQ(back->values, (std::map<int, int>{{1, 3}}));
}
