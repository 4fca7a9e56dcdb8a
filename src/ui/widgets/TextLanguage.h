#pragma once
// Puts the texts of a window into the user's language: every label, button, group box title, tab,
// combo box item, tool tip, menu and menu item, and the window title, whose text the message table
// knows in English (see C_language::localize). Each control remembers the English text it had, so
// a later change of language starts from it again; a text the program set itself afterwards is
// taken as the new source. User data (edit fields, logs) is never touched.

#include <QObject>

#include <functional>

class C_language;
class QWidget;

void translateTexts(QWidget* root, const C_language& table, int lang);

// Translates each window when it is shown, in the language `lang()` gives at that moment.
class FollowLanguage : public QObject {
public:
    // `table` may give none (nothing is translated then).
    FollowLanguage(std::function<const C_language*()> table, std::function<int()> lang, QObject* parent = nullptr);
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    std::function<const C_language*()> m_table;
    std::function<int()> m_lang;
};
