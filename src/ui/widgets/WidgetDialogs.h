#pragma once
// The program's real dialogs: message boxes, input queries, file and font dialogs.

#include "base/UserDialogs.h"

class QWidget;

class WidgetDialogs : public UserDialogs {
public:
    explicit WidgetDialogs(QWidget* parent = nullptr) : m_parent(parent) {}
    void setParent(QWidget* parent) { m_parent = parent; }

    int messageBox(const QString& text, const QString& caption, Icon icon, int buttons = Ok) override;
    void showError(const QString& text) override;
    std::optional<QString> inputQuery(const QString& caption, const QString& prompt,
                                      const QString& initial) override;
    // File dialogs take filters in the form "Quarn files (*.pln);;All Files (*)".
    std::optional<QString> openFileName(const QString& title, const QString& folder,
                                        const QString& filter) override;
    std::optional<QString> saveFileName(const QString& title, const QString& folder,
                                        const QString& filter) override;
    std::optional<QFont> chooseFont(const QFont& initial) override;
    int choice(const QString& text, const QString& caption, Icon icon, const QStringList& buttons,
               int escape) override;

    // False: Qt's own file dialog also where the desktop offers one of its own.
    bool nativeFileDialogs = true;

private:
    std::optional<QString> fileName(const QString& title, const QString& folder, const QString& filter, bool save);
    QWidget* m_parent;
};
