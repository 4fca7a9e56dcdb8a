#include "app/JoystickHost.h"

#include "base/ParameterFile.h"
#include "app/TMainForm.h"
#include "loco/widgets/JoyPanel.h"
#include "loco/widgets/JoyTestForms.h"
#include "loco/JoystickControl.h"
#include "app/LocoControlHost.h"
#include "loco/LocoIcons.h"
#include "loco/TJoystick.h"
#include "loco/ThrottleModel.h"
#include "base/TLok.h"
#include "loco/VirtualJoystick.h"
#include "base/C_language.h"
#include "ui/widgets/TDebugForm.h"

#include <QAction>
#include <QLayout>
#include <QTimer>

JoystickHost::JoystickHost(TMainForm& form, LocoControlHost& loco) : QObject(&form), m_form(form)
{
    m_joystick = std::make_unique<TJoystick>();
    Joystick = m_joystick.get();
    // Both modules need the controller service; with it, two controllers can be used.
    form.Dxpresent = m_joystick->available();
    m_virtual = VirtualJoystick::attachFromEnvironment();
    form.Joy1faktor = 100;
    form.Joy2faktor = 100;

    if (!Lok || !loco.throttles() || !loco.command())
        return;  // no throttles to drive
    ThrottleModel& throttles = *loco.throttles();
    m_icons = std::make_unique<LocoIcons>([&form] { return ParameterFile::dataPath(form); });
    m_control = std::make_unique<JoystickControl>(form, *Lok, throttles, *loco.command(), *m_icons, form.dialogs(),
                                                  *m_joystick);
    m_control->message = [&form](int id) { return Lang ? Lang->getmessage(id, form.Lang_id) : QString(); };
    m_control->debugLine = [](const QString& line) {
        if (DebugForm)
            DebugForm->append(line);
    };
    m_control->statusText = [&form](const QString& t) { form.setStatusText(2, t); };
    m_control->saveParameters = [&form] { ParameterFile::save(ParameterFile::filePath(form), form, *Lok); };

    m_timer = new QTimer(this);
    m_timer->setObjectName(QStringLiteral("JoyTimer"));
    connect(m_timer, &QTimer::timeout, this, &JoystickHost::tick);
    m_control->setPolling = [this](int ms) {
        if (ms > 0)
            m_timer->start(ms);
        else
            m_timer->stop();
    };

    m_panel = new JoyPanel(*m_control, form.Regler_panel);
    if (QLayout* box = form.Regler_panel->layout())
        box->addWidget(m_panel);
    m_control->changed = [this](int joy) { m_panel->refresh(joy); };

    // The hooks outlive this host when the main window is torn down (its children go after its own
    // fields), so they hold a guard instead of being cleared in the destructor.
    const QPointer<JoystickHost> self(this);
    throttles.setupjoybuttons = [self](int Device) {
        if (self && self->m_control)
            self->m_control->setupjoybuttons(Device);
    };
    form.joyWinSetup = [self] {
        if (self && self->m_control)
            self->m_control->JoyWinSetup();
    };
    form.joyinitsetup = [self] {
        if (self && self->m_control)
            self->m_control->Joyinitsetup();
    };

    m_dxForm = std::make_unique<TJoyDxForm>(*m_joystick, *m_control, &form);
    m_winForm = std::make_unique<TJoyWinForm>(form, form.dialogs(), *m_joystick, *m_control, &form);
    showModal = [](QDialog* d) { d->exec(); };
    if (QAction* test = form.action(QStringLiteral("Joystickcalibrieren1")))
        connect(test, &QAction::triggered, this, &JoystickHost::Joystickcalibrieren1Click);
    // "Joystick setup" looks for controllers again and starts the chosen module.
    if (QAction* setup = form.action(QStringLiteral("Joystickeinrichten1"))) {
        connect(setup, &QAction::triggered, this, [this, setup] {
            setup->setChecked(false);
            m_control->Joyinitsetup();
        });
    }
}

JoystickHost::~JoystickHost()
{
    if (m_timer)
        m_timer->stop();
    m_dxForm.reset();
    m_winForm.reset();
    m_control.reset();
    m_virtual.clear();
    if (Joystick == m_joystick.get())
        Joystick = nullptr;
}

void JoystickHost::tick()
{
    // A message box opened from a button action runs its own event loop, in which the timer
    // keeps firing: those ticks are skipped instead of stacking up.
    if (m_inTick || !m_control)
        return;
    m_inTick = true;
    m_control->JoyTimerTimer();
    m_inTick = false;
}

void JoystickHost::Joystickcalibrieren1Click()
{
    if (!m_control)
        return;
    JoyTestBase* window = m_form.Joy_Mode == 0 ? static_cast<JoyTestBase*>(m_dxForm.get())
                                               : static_cast<JoyTestBase*>(m_winForm.get());
    if (m_form.Joy_Mode == 0)
        m_dxForm->showJoysetup(m_control->Joysetup);
    if (showModal)
        showModal(window);
}
