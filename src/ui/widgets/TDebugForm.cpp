#include "ui/widgets/TDebugForm.h"

#include <QPlainTextEdit>
#include <QVBoxLayout>

TDebugForm* DebugForm = nullptr;

TDebugForm::TDebugForm(QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::WindowStaysOnTopHint), Memo1(new QPlainTextEdit(this))
{
    setObjectName(QStringLiteral("DebugForm"));
    setWindowTitle(QStringLiteral("DebugForm"));
    // A helper window: closing the main window ends the program even while this one is open.
    setAttribute(Qt::WA_QuitOnClose, false);
    Memo1->setObjectName(QStringLiteral("Memo1"));
    Memo1->setReadOnly(true);
    Memo1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(Memo1);
    resize(400, 300);
}

void TDebugForm::append(const QString& line)
{
    Memo1->appendPlainText(line);
}

QString TDebugForm::text() const
{
    return Memo1->toPlainText();
}
