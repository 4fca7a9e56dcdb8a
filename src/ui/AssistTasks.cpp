#include "ui/AssistTasks.h"

#include <QAction>

const std::array<AssistTask, AssistTaskCount>& assistTasks()
{
    static const std::array<AssistTask, AssistTaskCount> tasks{{
        {"Neu1", false},                   // 0 create a new track layout
        {"Oeffnen1", false},               // 1 open an existing layout
        {"Speichern1", false},             // 2 save the current layout
        {"Hostverbinden1", false},         // 3 connect to server
        {"Hosttrennen1", false},           // 4 disconnect from server
        {"Gleisbildentwerfen1", false},    // 5 edit an existing layout
        {"DecoderAdressen1", false},       // 6 configure solenoid decoders
        {"S88modules1", false},            // 7 configure feedback contacts
        {"Text1", true},                   // 8 add text
        {"Betrieb1", false},               // 9 operate trains
        {"Fahrstrassen1", false},          // 10 create and edit routes
        {"Softregler1", false},            // 11 configure loco decoders
        {"IPAddrHost1", false},            // 12 setup Quarn
        {"Abfragestarten1", false},        // 13 start feedback
        {"Abfragebeenden1", false},        // 14 stop feedback
        {"Synchronize2", false},           // 15 synchronize feedback symbols
        {"Reset1", false},                 // 16 reset feedback symbols
        {"Synchronize1", false},           // 17 synchronize solenoids
        {"Spannungan1", false},            // 18 switch power on
        {"Spannungaus1", false},           // 19 switch power off
        {"Initialisierung1", false},       // 20 initialize server
        {"Zeit1", false},                  // 21 display central clock
        {"Decoderprogrammieren1", false},  // 22 program loco decoders
        {"FreieBefehle1", false},          // 23 input of SRCP commands
        {nullptr, false},                  // 24 change screen resolution
        {"DirectX1", false},               // 25 display the installed DirectX version
    }};
    return tasks;
}

AssistOutcome runAssistTask(int index, const std::function<QAction*(const QString& name)>& item)
{
    if (index < 0 || index >= AssistTaskCount)
        return AssistOutcome::Nothing;
    const AssistTask& task = assistTasks()[std::size_t(index)];
    if (!task.item)
        return AssistOutcome::Nothing;
    QAction* action = item ? item(QString::fromLatin1(task.item)) : nullptr;
    if (!action)
        return AssistOutcome::Nothing;
    if (!action->isEnabled())
        return task.silentWhenOff ? AssistOutcome::Nothing : AssistOutcome::NotActive;
    action->trigger();
    return AssistOutcome::Ran;
}
