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

    CvFileProblem why;
    const auto back = readDecoderCvFile(path, &why);
    ASSERT_TRUE(back) << why.text.toStdString();
    EXPECT_EQ(back->values, cvs.values);
    EXPECT_EQ(back->comment, QStringLiteral("BR 89 \u00fcber zwei Zeilen"));
}

TEST(DecoderCvFile, HandEditedFilesAreReadAndBadLinesNamed)
{
    QTemporaryDir dir;
    auto ok = readDecoderCvFile(writeText(dir, " cv 3 = 12 \n\n; note\ncv29=6\r\n"));
    ASSERT_TRUE(ok);
    EXPECT_EQ(ok->values, (std::map<int, int>{{3, 12}, {29, 6}}));

    // Each bad line is named with what is wrong: the CV and its range for a value out of it.
    using Kind = CvFileProblem::Kind;
    const struct {
        const char* text;
        Kind kind;
        int line, cv, value, min, max;
    } bad[] = {
        {"CV1=3\nCV2=256\n", Kind::OutOfRange, 2, 2, 256, 0, 255},
        {"; x\nCV1=300\n", Kind::OutOfRange, 2, 1, 300, 1, 127},
        {"CV1=0\n", Kind::OutOfRange, 1, 1, 0, 1, 127},
        {"CV1=-1\n", Kind::OutOfRange, 1, 1, -1, 1, 127},
        {"CV0=1\n", Kind::NoSuchCv, 1, 0, 0, 0, 0},
        {"CV1025=1\n", Kind::NoSuchCv, 1, 1025, 0, 0, 0},
        {"CV1=3\nhello\n", Kind::NotAValue, 2, 0, 0, 0, 0},
    };
    for (const auto& b : bad) {
        CvFileProblem why;
        EXPECT_FALSE(readDecoderCvFile(writeText(dir, b.text), &why)) << b.text;
        EXPECT_EQ(why.kind, b.kind) << b.text;
        EXPECT_EQ(why.line, b.line) << b.text;
        EXPECT_EQ(why.cv, b.cv) << b.text;
        if (b.kind == Kind::OutOfRange) {
            EXPECT_EQ(why.value, b.value) << b.text;
            EXPECT_EQ(std::make_pair(why.min, why.max), std::make_pair(b.min, b.max)) << b.text;
        }
    }
    auto unusedLong = readDecoderCvFile(writeText(dir, "CV17=0\n"));  // no long address in use
    ASSERT_TRUE(unusedLong);
    CvFileProblem why;
    EXPECT_FALSE(readDecoderCvFile(dir.filePath(QStringLiteral("missing.cv")), &why));
    EXPECT_EQ(why.kind, Kind::CannotOpen);
    EXPECT_FALSE(why.text.isEmpty());
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
