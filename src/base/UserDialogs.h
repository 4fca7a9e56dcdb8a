#pragma once
// Every message box, input query, file dialog and font dialog goes through this interface, so the
// program shows real dialogs and tests answer them from a script without blocking.

#include <QFont>
#include <QString>
#include <QStringList>

#include <optional>

class UserDialogs {
public:
    enum class Icon { None, Information, Warning, Error, Question };
    // Buttons are flags; messageBox returns the one that was pressed.
    enum Button : int { Ok = 1, Cancel = 2, Yes = 4, No = 8 };

    virtual ~UserDialogs() = default;

    virtual int messageBox(const QString& text, const QString& caption, Icon icon, int buttons = Ok) = 0;
    // The application's default error dialog for errors no handler catches.
    virtual void showError(const QString& text) = 0;
    // Returns the edited text, or nothing when cancelled.
    virtual std::optional<QString> inputQuery(const QString& caption, const QString& prompt,
                                              const QString& initial) = 0;
    virtual std::optional<QString> openFileName(const QString& title, const QString& folder,
                                                const QString& filter) = 0;
    virtual std::optional<QString> saveFileName(const QString& title, const QString& folder,
                                                const QString& filter) = 0;
    virtual std::optional<QFont> chooseFont(const QFont& initial) = 0;
    // A question with buttons of the given texts, the first the default. Returns the index of the
    // button pressed, or `escape` when the dialog is closed without one. The plain version maps
    // three buttons onto Yes, No and Cancel.
    virtual int choice(const QString& text, const QString& caption, Icon icon, const QStringList& buttons,
                       int escape)
    {
        const int b = messageBox(text, caption, icon, Yes | No | Cancel);
        const int index = b == Yes ? 0 : b == No ? 1 : escape;
        return index < int(buttons.size()) ? index : escape;
    }
};
