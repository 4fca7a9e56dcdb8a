#include "loco/LocoCommand.h"

#include "base/AppState.h"
#include "base/TLok.h"
#include "srcp/TcpLineClient.h"

#include <algorithm>
#include <cstdio>
#include <sstream>
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
    const auto onOff = [](std::uint8_t code) { return functionOn(code) ? "1 " : "0 "; };
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

namespace {

constexpr std::chrono::milliseconds EchoWindow{3000};

std::string normalised(std::string_view text)
{
    std::istringstream in{std::string(text)};
    std::string out, w;
    while (in >> w)
        out += (out.empty() ? "" : " ") + w;
    return out;
}

}  // namespace

bool LocoCommand::takeEcho(std::string_view report)
{
    const std::string words = normalised(report);
    const auto now = std::chrono::steady_clock::now();
    std::lock_guard lock(m_sentLock);
    while (!m_sent.empty() && now - m_sent.front().at > EchoWindow)
        m_sent.pop_front();
    const auto it = std::find_if(m_sent.begin(), m_sent.end(), [&](const Sent& s) { return s.words == words; });
    if (it == m_sent.end())
        return false;
    m_sent.erase(it);
    return true;
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
        std::lock_guard lock(m_sentLock);
        m_sent.push_back({normalised(std::string_view(line).substr(7)), std::chrono::steady_clock::now()});
        if (m_sent.size() > 256)
            m_sent.pop_front();
    } catch (const std::exception& e) {
        if (writeFailed)
            writeFailed(QString::fromLocal8Bit(e.what()));
    }
}
