#include "app/LocoControlHost.h"

#include "base/ParameterFile.h"
#include "app/TMainForm.h"
#include "loco/Flookup.h"
#include "loco/LocoCommand.h"
#include "loco/LocoIcons.h"
#include "loco/widgets/ReglerPanel.h"
#include "loco/SessionCommandSink.h"
#include "loco/ThrottleModel.h"
#include "loco/widgets/TLocoForm.h"
#include "base/TLok.h"
#include "base/C_SRCP08.h"
#include "app/SessionHost.h"
#include "base/C_language.h"
#include "ui/widgets/TDebugForm.h"
#include "base/UserDialogs.h"

#include <QVBoxLayout>

LocoControlHost::LocoControlHost(TMainForm& form) : QObject(&form), m_form(form)
{
    if (!Lok)
        return;  // no loco table: nothing to drive
    TLok& lok = *Lok;
    UserDialogs& dialogs = form.dialogs();
    const auto message = [&form](int id) { return Lang ? Lang->getmessage(id, form.Lang_id) : QString(); };
    const auto debug = [](const QString& line) {
        if (DebugForm)
            DebugForm->append(line);
    };

    m_icons = std::make_unique<LocoIcons>([&form] { return ParameterFile::dataPath(form); });
    m_sink = std::make_unique<SessionCommandSink>(form);
    m_command = std::make_unique<LocoCommand>(form, lok);
    m_command->sink = m_sink.get();
    m_command->debugLine = debug;
    m_command->writeFailed = [&form](const QString& text) { form.setStatusText(1, text); };
    m_command->srcp08Out = [](int Loknummer) {
        if (SRCP08)
            SRCP08->locoCommand(Loknummer);
    };

    m_model = std::make_unique<ThrottleModel>(form, lok, *m_command, *m_icons, dialogs);
    m_model->message = message;
    m_model->debugLine = debug;
    m_model->saveParameters = [this] { saveParameters(); };

    m_panel = new ReglerPanel(*m_model, form.Regler_panel);
    auto* box = new QVBoxLayout(form.Regler_panel);
    box->setContentsMargins(0, 0, 0, 0);
    box->addWidget(m_panel);
    m_model->regulatorChanged = [this](int d) { m_panel->refresh(d); };

    // Owned here only (no Qt parent), so it goes before the icons and the loco command it uses.
    m_locoForm = std::make_unique<TLocoForm>(lok, *m_icons, dialogs);
    LocoForm = m_locoForm.get();
    m_locoForm->Debug = form.Debug;
    m_locoForm->onDamagedCode = [this](int nr) { repairDamaged(nr); };
    LocoSetupModel& setup = m_locoForm->model();
    setup.message = message;
    setup.saveParameters = [this] { saveParameters(); };
    setup.prepareRegulators = [this] { m_model->setupAll(); };
    m_model->setuplok = [this](int nr) {
        m_form.Regler_nr = nr;
        m_locoForm->Debug = m_form.Debug;
        m_locoForm->setuplok(nr);
    };

    if (auto* session = form.findChild<SessionHost*>())
        session->stopAllLocos = [this] { m_model->setall_lokostop(); };

    connect(&form, &TMainForm::operateModeEntered, this, [this] { m_model->setupAll(); });
    // Loco setup mode shows the regulators' addresses too; outside operate mode nothing is sent.
    connect(&form, &TMainForm::locoSetupModeEntered, this, [this] { m_model->setupAll(); });
}

LocoControlHost::~LocoControlHost()
{
    if (LocoForm == m_locoForm.get())
        LocoForm = nullptr;
}

void LocoControlHost::saveParameters()
{
    ParameterFile::save(ParameterFile::filePath(m_form), m_form, *Lok);
}

void LocoControlHost::repairDamaged(int nr)
{
    const auto message = [this](int id) { return Lang ? Lang->getmessage(id, m_form.Lang_id) : QString(); };
    reportRepairedCodes(*Lok, nr, m_form.dialogs(), message(MsgFunctionCodesRepaired), message(102),
                        [this] { saveParameters(); });
}
