#pragma once
// The main window's hosts and the program's other windows (debug, settings, assistant, info), wired
// as the program runs them. main() and the whole-window tests build the same program from here.

#include <memory>

class TMainForm;
class TrackPanelHost;
class TDebugForm;
class TSetupForm;
class TAssistForm;
class TInfoForm;
class UserDialogs;

class ProgramWindows {
public:
    // The hosts are owned by `form`; the other windows by this object, which also sets and clears
    // their singletons. `form` must outlive it.
    ProgramWindows(TMainForm& form, UserDialogs& dialogs);
    ~ProgramWindows();
    ProgramWindows(const ProgramWindows&) = delete;
    ProgramWindows& operator=(const ProgramWindows&) = delete;

    TrackPanelHost& trackPanel() const { return *m_trackPanel; }
    TDebugForm& debugForm() const { return *m_debugForm; }

private:
    TrackPanelHost* m_trackPanel = nullptr;
    std::unique_ptr<TDebugForm> m_debugForm;
    std::unique_ptr<TSetupForm> m_setupForm;
    std::unique_ptr<TAssistForm> m_assistForm;
    std::unique_ptr<TInfoForm> m_infoForm;
};
