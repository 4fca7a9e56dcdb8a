#pragma once
// Reads the application's one-value-per-line text files from memory: an integer skips blanks and
// line breaks, reads a decimal number and skips the rest of its line; a string takes a whole line.
// At the end of the text an integer reads as 0 and a string as empty. Text that is not a decimal
// number throws FileReadError.

#include <QByteArray>
#include <QByteArrayView>

#include <optional>
#include <stdexcept>
#include <string>

struct FileReadError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

class LineValueReader {
public:
    explicit LineValueReader(const QByteArray& text) : m_text(text) {}

    int readInt();
    // As readInt, but a word that is not a number gives nothing (and the line is still used up);
    // `bad` then holds the word. Nothing is thrown or allocated for a number.
    std::optional<int> tryReadInt(QByteArray* bad = nullptr);
    QByteArray readLine() { return readLineView().toByteArray(); }
    // The same without a copy: the view points into the text being read.
    QByteArrayView readLineView();
    bool atEnd() const { return m_pos >= m_text.size(); }
    int lineNumber() const { return m_line; }
    // The line of the word the last tryReadInt or readInt read.
    int wordLine() const { return m_wordLine; }

private:
    void skipRestOfLine();
    const QByteArray& m_text;
    qsizetype m_pos = 0;
    int m_line = 1;
    int m_wordLine = 1;
};
