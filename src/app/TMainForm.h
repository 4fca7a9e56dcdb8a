#pragma once
// The main window. It holds the whole application state (AppState), builds the menus, the track
// panel area, the palette, decoder and throttle panels, the route editor pages and the status bar,
// runs start-up and the close rules, and switches the operating modes.

#include "base/AppState.h"

#include <QMainWindow>

#include <functional>
#include <memory>

class C_Init;
class QLabel;
class QTabWidget;
class QVBoxLayout;
class ServerSession;
class UserDialogs;

class TMainForm : public QMainWindow, public AppState {
    Q_OBJECT
public:
    // workDir: the program folder with trailing "/"; empty means the folder of the executable.
    // All message boxes go through `dialogs`, which must outlive the window.
    explicit TMainForm(UserDialogs& dialogs, const QString& workDir = QString(), QWidget* parent = nullptr);
    // The program's files where `files` says (FileLocations::forCurrentUser decides that for an
    // installed program).
    TMainForm(UserDialogs& dialogs, const FileLocations& files, QWidget* parent = nullptr);
    ~TMainForm() override;

    UserDialogs& dialogs() { return m_dialogs; }

    // Menus and menu items by their object name (nullptr when there is none).
    QAction* action(const QString& name) const;
    QMenu* menu(const QString& name) const;

    // The track panel: a placeholder named "Quarn" until setTrackPanel puts the real one in its place.
    QWidget* trackPanel() const { return m_trackPanel; }
    void setTrackPanel(QWidget* panel);

    QWidget* Design_Panel = nullptr;   // element palette
    QWidget* Decod_panel = nullptr;    // decoder address / S88 port panel
    QWidget* Regler_panel = nullptr;   // the ten throttles
    QTabWidget* PageControl1 = nullptr;  // route editor: TabSheet1 create, TabSheet2 delete
    QWidget* Hilfsbild1 = nullptr;

    // The server session of the window (its session host's), or none before the host exists.
    ServerSession* serverSession() const;

    // Status bar panels 0..2.
    void setStatusText(int panel, const QString& text);
    QString statusText(int panel) const;

    // Services that other parts of the program provide once they exist.
    std::function<bool()> commandConnected;      // the SRCP 0.7.3 command connection is open
    std::function<void()> disconnectFromServer;  // disconnect the command and info connections
    std::function<void()> loadCatalogue;         // element catalogue (throws on a read error)
    std::function<void()> applyServerAddress;    // hand Iphostchar / Ipport to the connections
    std::function<void()> joyWinSetup;           // joystick-message window, when Joy_Mode is 1
    std::function<void()> joyinitsetup;          // joystick throttles
    std::function<void()> showAssistant;         // assistant window at start and from "Assistent"
    // Opens a local document in the desktop's browser; calls `failed` when none could be started.
    std::function<void(const QString& path, std::function<void()> failed)> openDocument;
    std::function<bool()> confirmClose;          // unsaved changes: false keeps the window open

    void setscreen(int x, int y);
    // Captions of all menus, panels and dialogs in language Lang_id.
    void applyLanguage();
    // Writes the parameter file; a failure is shown to the user. Returns whether it was written.
    bool saveParameters();
    // Keeps the damaged parameter file as a backup, writes the repaired one and says which lines
    // were replaced.
    void repairParameterFile(const QString& path, const QList<int>& replacedLines);
    // The first start of an installed program: where the user's files are, how to try the demo.
    void welcome();
    // Takes the settings dialog's values over, as on "Save".
    void applySetupForm();

    // Menu handlers.
    void Gleisbildentwerfen1Click();
    void DecoderAdressen1Click();
    void S88modules1Click();
    void Text1Click();
    void Betrieb1Click();
    void Fahrstrassen1Click();
    void Softregler1Click();
    void IPAddrHost1Click();
    void Ende1Click();
    void QuarnHilfe1Click();
    // The help page in the user's language where one ships (Hilfe/QUARN-<code>.html; German is
    // Hilfe/QUARN.html), else the English page, else the German one.
    QString helpPage() const;
    void Assistent1Click();
    // Debug mode: shows the "Debug" menu (the debug window itself is shown by the program start).
    void setDebug(bool on);
    void Info1Click();
    void DirectX1Click();
    void openDebugWindow1Click();
    void screenPresetClick(QAction* item, int x, int y);

signals:
    void designModeEntered();
    void decoderModeEntered();  // prepare the decoder panel for accessory addresses
    void s88ModeEntered();      // prepare the decoder panel for S88 ports
    void textModeEntered();
    void operateModeEntered();  // set up the throttle scroll bars
    void routeModeEntered();    // take a new route number
    void locoSetupModeEntered();
    void paletteRepaint();
    void languageApplied();
    void settingsApplied();  // the settings dialog's values were taken over and saved

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    TMainForm(UserDialogs& dialogs, const QString& workDir, QWidget* parent, const FileLocations& files);
    void buildMenus();
    void buildPanels();
    void FormCreate();
    void FormShow();
    bool FormCloseQuery();
    void enterMode(bool AppState::*flag, const QString& item, bool keepJoystickCheck = false);
    QString message(int id) const;
    QSize screenSize() const;

    UserDialogs& m_dialogs;
    std::unique_ptr<C_Init> m_init;
    std::unique_ptr<class QTranslator> m_qtTexts;  // Qt's own texts (standard buttons, file dialog)
    QWidget* m_trackPanel = nullptr;
    QVBoxLayout* m_centralLayout = nullptr;
    QLabel* m_status[3] = {};
    bool m_closeConfirmed = false;  // "&Exit" asked about unsaved changes already
};

extern TMainForm* MainForm;
