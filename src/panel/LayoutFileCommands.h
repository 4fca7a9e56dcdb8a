#pragma once
// The "&File" menu's layout commands without the window: dialogs, names, tables and file. Each
// returns what the window has to do next (menus, mode, title), so the window stays a thin layer.

#include <QString>

class LayoutPanel;
class LayoutHistory;
struct AppState;
class UserDialogs;

struct LayoutFileResult {
    bool done = false;           // a layout was created, opened or saved
    bool enterDesignMode = false;
    bool enterOperateMode = false;
    bool enableLayoutMenus = false;  // and disable the screen menu
    bool resetScrollBars = false;
    QString windowTitle;         // non-empty: set the window title
    QString statusText;          // non-empty: status bar panel 1
};

class LayoutFileCommands {
public:
    LayoutFileCommands(AppState& main, LayoutPanel& panel, UserDialogs& dialogs);

    // With a history set, "&New" and "&Open" first ask about unsaved changes and clear it when
    // they succeed; a save marks the saved state.
    LayoutHistory* history = nullptr;

    LayoutFileResult Neu1Click();
    LayoutFileResult Oeffnen1Click();         // errors are shown with the default error dialog
    LayoutFileResult Speichern1Click();       // without a name: asks as "Save as" does
    LayoutFileResult Speichernals1Click();

    // Unsaved changes: "Save" (saves; false when that fails or is cancelled), "Discard" or
    // "Cancel" (false). True at once when nothing is unsaved. Used before "&New", "&Open" and
    // closing the program.
    bool askToSaveChanges();
    // The window title for the layout: Infostring, "   Layout: " and the name, with the mark that
    // the window shows while there are unsaved changes.
    static QString titleFor(const AppState& main);

    // File dialog filters, in the form the file dialogs read.
    static QString NewFilter() { return QStringLiteral("Quarn files (*.pln);;All Files (*)"); }
    static QString OpenFilter() { return QStringLiteral("Quarn Layout Files (*.pln);;All Files (*)"); }
    // A name typed without an extension gets ".pln".
    static QString withLayoutSuffix(const QString& path);
    // "\"%1\" is not a layout file (*.pln)."
    static constexpr int MsgNotALayout = 514;
    static constexpr int MsgUnsaved = 515, MsgUnsavedCaption = 516, MsgSave = 517, MsgDiscard = 518,
                         MsgCancel = 519, MsgUntitled = 520;

private:
    void takeName(const QString& path);
    AppState& m_main;
    LayoutPanel& m_panel;
    UserDialogs& m_dialogs;
};
