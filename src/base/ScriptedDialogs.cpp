#include "base/ScriptedDialogs.h"

int ScriptedDialogs::messageBox(const QString& text, const QString& caption, Icon icon, int buttons)
{
    shown.push_back({QStringLiteral("message"), text, caption, icon});
    if (!buttonAnswers.empty()) {
        int b = buttonAnswers.front();
        buttonAnswers.pop_front();
        return b;
    }
    for (int b : {Ok, Yes, No, Cancel})
        if (buttons & b)
            return b;
    return Ok;
}

void ScriptedDialogs::showError(const QString& text)
{
    shown.push_back({QStringLiteral("error"), text, QString(), Icon::Error});
}

std::optional<QString> ScriptedDialogs::nextText()
{
    if (textAnswers.empty())
        return std::nullopt;
    std::optional<QString> t;
    t.swap(textAnswers.front());
    textAnswers.pop_front();
    return t;
}

std::optional<QString> ScriptedDialogs::inputQuery(const QString& caption, const QString& prompt,
                                                   const QString&)
{
    shown.push_back({QStringLiteral("input"), prompt, caption, Icon::None});
    return nextText();
}

std::optional<QString> ScriptedDialogs::openFileName(const QString& title, const QString& folder,
                                                     const QString&)
{
    shown.push_back({QStringLiteral("open"), title, folder, Icon::None});
    return nextText();
}

std::optional<QString> ScriptedDialogs::saveFileName(const QString& title, const QString& folder,
                                                     const QString&)
{
    shown.push_back({QStringLiteral("save"), title, folder, Icon::None});
    return nextText();
}

std::optional<QFont> ScriptedDialogs::chooseFont(const QFont&)
{
    shown.push_back({QStringLiteral("font"), QString(), QString(), Icon::None});
    if (fontAnswers.empty())
        return std::nullopt;
    auto f = fontAnswers.front();
    fontAnswers.pop_front();
    return f;
}

int ScriptedDialogs::choice(const QString& text, const QString& caption, Icon icon, const QStringList& buttons,
                            int escape)
{
    shown.push_back({QStringLiteral("choice"), text, caption, icon});
    lastChoiceButtons = buttons;
    if (choiceAnswers.empty())
        return escape;
    const int b = choiceAnswers.front();
    choiceAnswers.pop_front();
    return b;
}

int ScriptedDialogs::count(const QString& kind) const
{
    int n = 0;
    for (const auto& s : shown)
        n += s.kind == kind;
    return n;
}

const ScriptedDialogs::Shown* ScriptedDialogs::last(const QString& kind) const
{
    for (auto it = shown.rbegin(); it != shown.rend(); ++it)
        if (it->kind == kind)
            return &*it;
    return nullptr;
}
