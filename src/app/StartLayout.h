#pragma once
// A layout named on the command line ("quarn Demo.pln", as the desktop starts the program for a
// layout file) is opened at start through the ordinary "&Open" command: these dialogs answer
// that command's file question once with the file, and pass everything else on.

#include "base/UserDialogs.h"

#include <QStringList>

// What the command line asks for: the layout to open (absolute, empty for none) and debug mode.
struct StartOptions {
    QString layout;
    bool debug = false;
};
StartOptions parseStartOptions(const QStringList& arguments);

class StartLayoutDialogs : public UserDialogs {
public:
    explicit StartLayoutDialogs(UserDialogs& inner) : m_inner(inner) {}

    // The next openFileName answers `path` without asking.
    void answerNextOpen(const QString& path) { m_next = path; }

    int messageBox(const QString& text, const QString& caption, Icon icon, int buttons = Ok) override
    {
        return m_inner.messageBox(text, caption, icon, buttons);
    }
    void showError(const QString& text) override { m_inner.showError(text); }
    std::optional<QString> inputQuery(const QString& caption, const QString& prompt, const QString& initial) override
    {
        return m_inner.inputQuery(caption, prompt, initial);
    }
    std::optional<QString> openFileName(const QString& title, const QString& folder, const QString& filter) override;
    std::optional<QString> saveFileName(const QString& title, const QString& folder, const QString& filter) override
    {
        return m_inner.saveFileName(title, folder, filter);
    }
    std::optional<QFont> chooseFont(const QFont& initial) override { return m_inner.chooseFont(initial); }
    int choice(const QString& text, const QString& caption, Icon icon, const QStringList& buttons,
               int escape) override
    {
        return m_inner.choice(text, caption, icon, buttons, escape);
    }

private:
    UserDialogs& m_inner;
    std::optional<QString> m_next;
};
