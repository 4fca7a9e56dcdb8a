#include "ui/widgets/TAssistForm.h"

#include "ui/AssistTasks.h"
#include "base/UserDialogs.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QShowEvent>
#include <QVBoxLayout>

TAssistForm* AssistForm = nullptr;

TAssistForm::TAssistForm(std::function<QString(int id)> message, std::function<QAction*(const QString&)> item,
                         UserDialogs& dialogs, QWidget* parent)
    : QWidget(parent, Qt::Window), m_message(std::move(message)), m_item(std::move(item)), m_dialogs(dialogs)
{
    setObjectName(QStringLiteral("AssistForm"));
    setWindowTitle(QStringLiteral("Quarn Assistent"));
    // A helper window: closing the main window ends the program even while this one is open.
    setAttribute(Qt::WA_QuitOnClose, false);

    Assist_label1 = new QLabel(this);
    Assist_label1->setObjectName(QStringLiteral("Assist_label1"));
    Assist_label1->setWordWrap(true);
    ComboBoxAssist = new QComboBox(this);
    ComboBoxAssist->setObjectName(QStringLiteral("ComboBoxAssist"));
    ComboBoxAssist->setMaxVisibleItems(26);
    MemoA = new QPlainTextEdit(this);
    MemoA->setObjectName(QStringLiteral("MemoA"));
    MemoA->setReadOnly(true);
    MemoA->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    Close_button = new QPushButton(this);
    Close_button->setObjectName(QStringLiteral("Close_button"));
    Select_button = new QPushButton(this);
    Select_button->setObjectName(QStringLiteral("Select_button"));
    Select_button->setDefault(true);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(Close_button);
    buttons->addStretch(1);
    buttons->addWidget(Select_button);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(Assist_label1);
    layout->addWidget(ComboBoxAssist);
    layout->addWidget(MemoA, 1);
    layout->addLayout(buttons);

    connect(ComboBoxAssist, &QComboBox::activated, this, &TAssistForm::ComboBoxAssistChange);
    connect(Select_button, &QPushButton::clicked, this, &TAssistForm::Select_buttonClick);
    connect(Close_button, &QPushButton::clicked, this, &TAssistForm::Close_buttonClick);

    // Until the language captions arrive.
    Assist_label1->setText(m_message(82));
    Close_button->setText(m_message(80));
    Select_button->setText(m_message(81));
    resize(420, 260);
}

void TAssistForm::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (!event->spontaneous())
        FormShow();
}

void TAssistForm::FormShow()
{
    Auswahl = 0;
    ComboBoxAssist->clear();
    for (int i = 0; i < AssistTaskCount; ++i)
        ComboBoxAssist->addItem(m_message(AssistListFirstId + i));
    ComboBoxAssist->setCurrentIndex(-1);
    MemoA->clear();
}

void TAssistForm::ComboBoxAssistChange(int index)
{
    if (index < 0 || index >= AssistTaskCount)
        return;
    Auswahl = index;
    MemoA->clear();
    MemoA->setPlainText(m_message(AssistTextFirstId + Auswahl));
}

void TAssistForm::Select_buttonClick()
{
    if (runAssistTask(Auswahl, m_item) == AssistOutcome::NotActive)
        showmessage1(m_message(AssistNotActiveId));
}

void TAssistForm::Close_buttonClick()
{
    close();
}

int TAssistForm::showmessage1(const QString& text)
{
    return m_dialogs.messageBox(text, QStringLiteral("Info"), UserDialogs::Icon::Error,
                                UserDialogs::Ok | UserDialogs::Cancel);
}
