#include "app/ProgramWindows.h"

#include "app/ClockHost.h"
#include "app/JoystickHost.h"
#include "app/KeysHost.h"
#include "app/LocoControlHost.h"
#include "app/PhoneThrottleHost.h"
#include "app/ProgramHost.h"
#include "app/RouteEditorHost.h"
#include "app/SessionHost.h"
#include "app/TMainForm.h"
#include "app/TSetupForm.h"
#include "app/TrackPanelHost.h"
#include "app/WindowPlacement.h"
#include "base/C_language.h"
#include "ui/widgets/TAssistForm.h"
#include "ui/widgets/TDebugForm.h"
#include "ui/widgets/TInfoForm.h"

ProgramWindows::ProgramWindows(TMainForm& form, UserDialogs& dialogs)
{
    m_trackPanel = new TrackPanelHost(form);   // the hosts are owned by the main window
    new RouteEditorHost(form, *m_trackPanel);  // before the session host, which hands route switches on
    new SessionHost(form);
    auto* loco = new LocoControlHost(form);
    new JoystickHost(form, *loco);
    new KeysHost(form, *loco);
    new ClockHost(form);          // after the session host
    new ProgramHost(form);        // after the session host
    new PhoneThrottleHost(form);  // after the session and loco hosts
    m_debugForm = std::make_unique<TDebugForm>();
    DebugForm = m_debugForm.get();
    m_setupForm = std::make_unique<TSetupForm>(&form);
    SetupForm = m_setupForm.get();
    TMainForm* f = &form;
    m_assistForm = std::make_unique<TAssistForm>(
        [f](int id) { return Lang ? Lang->getmessage(id, f->Lang_id) : QString(); },
        [f](const QString& name) { return f->action(name); }, dialogs);
    AssistForm = m_assistForm.get();
    form.showAssistant = [f, assist = m_assistForm.get()] {
        if (!assist->isVisible())
            placeAssistant(*assist, *f);
        assist->show();
        assist->raise();
    };
    m_infoForm = std::make_unique<TInfoForm>(&form);
    InfoForm = m_infoForm.get();
}

ProgramWindows::~ProgramWindows()
{
    InfoForm = nullptr;
    m_infoForm.reset();
    AssistForm = nullptr;
    m_assistForm.reset();
    SetupForm = nullptr;
    m_setupForm.reset();
    DebugForm = nullptr;
    m_debugForm.reset();
}
