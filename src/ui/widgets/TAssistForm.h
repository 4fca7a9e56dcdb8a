#pragma once
// The assistant: a small window that lists the program's main tasks, explains the one chosen and
// runs its menu command on request. Texts come from the message table in the current language.

#include <QWidget>

#include <functional>

class QAction;
class QComboBox;
class QLabel;
class QPlainTextEdit;
class QPushButton;
class UserDialogs;

class TAssistForm : public QWidget {
    Q_OBJECT
public:
    // `message(id)` gives a text in the current language; `item(name)` a menu item of the main
    // window. Messages go through `dialogs`.
    TAssistForm(std::function<QString(int id)> message, std::function<QAction*(const QString&)> item,
                UserDialogs& dialogs, QWidget* parent = nullptr);

    int Auswahl = 0;
    QLabel* Assist_label1;
    QComboBox* ComboBoxAssist;
    QPlainTextEdit* MemoA;
    QPushButton* Close_button;
    QPushButton* Select_button;

    void ComboBoxAssistChange(int index);
    void Select_buttonClick();
    void Close_buttonClick();
    int showmessage1(const QString& text);

protected:
    void showEvent(class QShowEvent* event) override;

private:
    void FormShow();

    std::function<QString(int)> m_message;
    std::function<QAction*(const QString&)> m_item;
    UserDialogs& m_dialogs;
};

extern TAssistForm* AssistForm;
