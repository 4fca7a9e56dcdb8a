#pragma once
// Puts loco control into the main window: the loco command, the ten throttles in Regler_panel and
// the loco setup dialog LocoForm. Entering operate mode prepares the throttles; in loco setup mode
// a direction button opens the dialog. Create it after the session host.

#include <QObject>

#include <memory>

class TMainForm;
class LocoCommand;
class LocoIcons;
class ReglerPanel;
class SessionCommandSink;
class ThrottleModel;
class TLocoForm;

class LocoControlHost : public QObject {
    Q_OBJECT
public:
    explicit LocoControlHost(TMainForm& form);
    ~LocoControlHost() override;

    ThrottleModel* throttles() const { return m_model.get(); }
    LocoCommand* command() const { return m_command.get(); }
    ReglerPanel* panel() const { return m_panel; }
    TLocoForm* locoForm() const { return m_locoForm.get(); }

private:
    void saveParameters();
    void repairDamaged(int nr);

    TMainForm& m_form;
    std::unique_ptr<LocoIcons> m_icons;
    std::unique_ptr<SessionCommandSink> m_sink;
    std::unique_ptr<LocoCommand> m_command;
    std::unique_ptr<ThrottleModel> m_model;
    std::unique_ptr<TLocoForm> m_locoForm;
    ReglerPanel* m_panel = nullptr;
};
