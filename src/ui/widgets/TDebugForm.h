#pragma once
// The debug window: a text log that stays on top of the other windows. Other parts of the program
// append lines to it in debug mode; nothing clears or saves it.

#include <QWidget>

class QPlainTextEdit;

class TDebugForm : public QWidget {
    Q_OBJECT
public:
    explicit TDebugForm(QWidget* parent = nullptr);

    void append(const QString& line);
    QString text() const;

private:
    QPlainTextEdit* Memo1;
};

extern TDebugForm* DebugForm;
