#include "loco/SessionCommandSink.h"

#include "base/AppState.h"
#include "base/CommandChannel.h"

bool SessionCommandSink::connected() const
{
    if (!m_main.Session)
        return false;
    if (m_main.Session->commandConnected())
        return true;
    if (m_main.Session->reconnecting())
        m_main.Session->refuseWhileReconnecting();
    return false;
}

void SessionCommandSink::writeLine(std::string_view line)
{
    if (!m_main.Session)
        return;
    std::string text;
    text.reserve(line.size() + 2);
    text.append(line).append("\r\n");
    m_main.Session->writeCommand(text);  // false (nothing written) when it disconnected meanwhile
}
