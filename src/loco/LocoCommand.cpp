#include "loco/LocoCommand.h"

#include "base/AppState.h"
#include "base/C_SRCP08.h"
#include "base/TLok.h"
#include "loco/DriveReport.h"
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

bool LocoCommand::takeEcho(const DriveReport& report)
{
    const auto now = std::chrono::steady_clock::now();
    std::lock_guard lock(m_sentLock);
    while (!m_sent08.empty() && now - m_sent08.front().at > EchoWindow)
        m_sent08.pop_front();
    const auto it = std::find_if(m_sent08.begin(), m_sent08.end(), [&](const Sent08& s) {
        if (s.bus != report.bus || s.address != report.address)
            return false;
        if (report.direction >= 0 && s.direction != report.direction)
            return false;
        const int scale = report.speedMax > 0 ? report.speedMax : s.speedMax;
        if (!sameDecoderSpeed(report.speed, scale, s.speed, s.speedMax, report.steps))
            return false;
        // Functions the decoder has are compared; what only one side names is not.
        for (std::size_t k = 0; k < report.functions.size() && k < s.functions.size(); ++k)
            if ((report.functions[k] != 0) != (s.functions[k] != 0))
                return false;
        return true;
    });
    if (it == m_sent08.end())
        return false;
    m_sent08.erase(it);
    return true;
}

void LocoCommand::gl_out(int Loknummer)
{
    if (m_main.SrcpVer != 73) {
        if (!srcp08Out)
            return;
        const auto now = std::chrono::steady_clock::now();
        // A loco's announcement (INIT) carries no drive state: the one SET is this command.
        std::vector<Sent08> sent;
        Sent08 own{C_SRCP08::locoBusOf(m_main, m_lok, Loknummer), m_lok.get_addr(Loknummer),
                   m_lok.get_direction(Loknummer) == 1 ? 1 : 0, m_lok.get_speed(Loknummer), m_lok.get_speedmax(Loknummer), {}, now};
        for (std::uint8_t code : m_lok.get_F(Loknummer))
            own.functions.push_back(functionOn(code) ? 1 : 0);
        sent.push_back(std::move(own));
        {
            std::lock_guard lock(m_sentLock);
            for (Sent08& s : sent)
                m_sent08.push_back(std::move(s));
            while (m_sent08.size() > 256)
                m_sent08.pop_front();
        }
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
