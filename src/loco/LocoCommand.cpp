#include "loco/LocoCommand.h"

#include "base/AppState.h"
#include "base/TLok.h"
#include "srcp/TcpLineClient.h"

#include <cstdio>
#include <exception>

bool TcpCommandSink::connected() const
{
    return m_socket.connected();
}

void TcpCommandSink::writeLine(std::string_view line)
{
    std::lock_guard guard(m_lock);
    m_socket.writeLine(line, "\r\n");
}

std::string glLine73(const TLok& lok, int Loknummer)
{
    const Dekod_Funcs f = lok.get_F(Loknummer);
    const auto onOff = [](std::uint8_t code) { return code > 10 ? "1 " : "0 "; };
    const int functions = lok.get_nrof(Loknummer);

    char head[160];
    std::snprintf(head, sizeof head, "%d %d %d %d ", lok.get_addr(Loknummer), lok.get_direction(Loknummer),
                  lok.get_speed(Loknummer), lok.get_speedmax(Loknummer));
    std::string line = "SET GL ";
    line += lok.get_protocol(Loknummer).toLatin1().toStdString();
    line += ' ';
    line += head;
    line += onOff(f[0]);
    line += std::to_string(functions);
    line += ' ';
    for (int k = 1; k <= functions && k < static_cast<int>(f.size()); ++k)
        line += onOff(f[static_cast<std::size_t>(k)]);
    return line;
}

void LocoCommand::gl_out(int Loknummer)
{
    if (m_main.SrcpVer != 73) {
        if (srcp08Out)
            srcp08Out(Loknummer);
        return;
    }
    const std::string line = glLine73(m_lok, Loknummer);
    if (m_main.Debug && debugLine)
        debugLine(QString::fromLatin1(line));
    if (!sink || !sink->connected())
        return;
    try {
        sink->writeLine(line);
    } catch (const std::exception& e) {
        if (writeFailed)
            writeFailed(QString::fromLocal8Bit(e.what()));
    }
}
