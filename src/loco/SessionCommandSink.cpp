#include "loco/SessionCommandSink.h"

#include "app/AppState.h"
#include "session/ServerSession.h"

bool SessionCommandSink::connected() const
{
    return m_main.Session && m_main.Session->commandConnected();
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
