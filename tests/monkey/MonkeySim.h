#pragma once
// The monkey's server: srcp-sim on ports of 127.0.0.1 it picked at the first start, and the faults
// the monkey injects: drop every connection, mute, freeze, refuse, stop greeting, power and feedback
// changes, and a kill with a restart on the same ports some time later.

#include "session/SimProcess.h"

#include <chrono>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <thread>

class MonkeySim {
public:
    MonkeySim(std::string protocol, std::string logFile)
        : m_protocol(std::move(protocol)), m_log(std::move(logFile))
    {
        m_sim = std::make_unique<SimProcess>(SRCP_SIM_PATH, m_protocol, m_log, args(0));
        m_port = m_sim->port();
    }

    int port() const { return m_port; }
    bool running() const { return m_sim != nullptr; }
    std::map<std::string, int> injected;  // faults by kind

    // One random fault; `step` is the monkey's step count, which schedules a pending restart.
    void injectRandom(std::mt19937_64& rng, long step)
    {
        auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
        if (!m_sim) {
            if (step >= m_restartAt)
                restart();
            return;
        }
        switch (pick(0, 9)) {
        case 0: send("drop"); break;
        case 1: send("freeze " + std::to_string(pick(100, 2500)), "freeze"); break;
        case 2: send("refuse " + std::to_string(pick(100, 3000)), "refuse"); break;
        case 3: send(m_greetOff ? "greet on" : "greet off"); m_greetOff = !m_greetOff; break;
        case 4:
            if (m_protocol == "0.8.2") {
                send(m_muted ? "unmute" : "mute");
                m_muted = !m_muted;
            }
            break;
        case 5: send(std::string("power 1 ") + (pick(0, 1) ? "on" : "off"), "power"); break;
        case 6:
        case 7:
            send("fb 1 " + std::to_string(pick(1, 128)) + " " + std::to_string(pick(0, 1)), "fb");
            break;
        default:
            ++injected["kill"];
            m_sim->kill();  // SIGKILL: a crash closes nothing politely
            m_sim.reset();
            m_restartAt = step + pick(0, 60);
            break;
        }
    }
    // Back to a server that answers, for the end of a run.
    void heal()
    {
        if (!m_sim)
            restart();
        for (const char* c : {"greet on", "freeze 0", "unmute"})
            m_sim->command(c);
        m_greetOff = m_muted = false;
    }

private:
    std::vector<std::string> args(int port) const
    {
        std::vector<std::string> a{"--contacts", "128", "--demo"};
        if (port) {
            a.push_back("--port");
            a.push_back(std::to_string(port));
        }
        return a;
    }
    void send(const std::string& line, const std::string& kind = {})
    {
        ++injected[kind.empty() ? line : kind];
        try {
            m_sim->command(line);
        } catch (const std::exception&) {
        }
    }
    void restart()
    {
        // The ports may still be held a moment by the dying process.
        for (int attempt = 0; attempt < 50 && !m_sim; ++attempt) {
            try {
                m_sim = std::make_unique<SimProcess>(SRCP_SIM_PATH, m_protocol, m_log, args(m_port));
            } catch (const std::exception&) {
                std::this_thread::sleep_for(std::chrono::milliseconds(100));
            }
        }
        ++injected["restart"];
        m_greetOff = m_muted = false;
    }

    std::string m_protocol;
    std::string m_log;
    std::unique_ptr<SimProcess> m_sim;
    int m_port = 0;
    long m_restartAt = 0;
    bool m_greetOff = false;
    bool m_muted = false;
};
