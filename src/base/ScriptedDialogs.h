#pragma once
// A UserDialogs that never shows anything: it records every request and answers from queues that a
// test fills beforehand. An empty queue answers with the default (first button / cancel).

#include "base/UserDialogs.h"

#include <QStringList>

#include <deque>
#include <vector>

class ScriptedDialogs : public UserDialogs {
public:
    struct Shown {
        QString kind;     // "message", "error", "input", "open", "save", "font"
        QString text;     // message text, prompt or dialog title
        QString caption;  // caption, or the folder of a file dialog
        Icon icon = Icon::None;
    };

    std::deque<int> buttonAnswers;
    std::deque<std::optional<QString>> textAnswers;  // input queries and file dialogs
    std::deque<std::optional<QFont>> fontAnswers;
    std::vector<Shown> shown;

    int messageBox(const QString& text, const QString& caption, Icon icon, int buttons = Ok) override;
    void showError(const QString& text) override;
    std::optional<QString> inputQuery(const QString& caption, const QString& prompt,
                                      const QString& initial) override;
    std::optional<QString> openFileName(const QString& title, const QString& folder,
                                        const QString& filter) override;
    std::optional<QString> saveFileName(const QString& title, const QString& folder,
                                        const QString& filter) override;
    std::optional<QFont> chooseFont(const QFont& initial) override;
    // Kind "choice"; answers with the next entry of choiceAnswers (a button index), and with
    // `escape` (nothing chosen) when the queue is empty.
    int choice(const QString& text, const QString& caption, Icon icon, const QStringList& buttons,
               int escape) override;
    std::deque<int> choiceAnswers;
    QStringList lastChoiceButtons;

    // Number of requests of one kind, e.g. count("message").
    int count(const QString& kind) const;
    const Shown* last(const QString& kind) const;

private:
    std::optional<QString> nextText();
};
