#pragma once
// Runs the project's SRCP simulator (srcp-sim) as a child process on 127.0.0.1 with ports it picks
// itself (--port 0; a "--port", "P" pair in `extra` asks for P instead), reads the ports from its
// first output line and feeds it commands on stdin.

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

extern char** environ;

class SimProcess {
public:
    // `protocol` e.g. "0.7.3"; `logFile` receives the simulator's time-stamped log.
    SimProcess(const std::string& program, const std::string& protocol, const std::string& logFile,
               const std::vector<std::string>& extra = {})
    {
        int in[2], out[2];
        if (::pipe2(in, O_CLOEXEC) != 0 || ::pipe2(out, O_CLOEXEC) != 0)
            throw std::runtime_error("pipe failed");
        posix_spawn_file_actions_t fa;
        posix_spawn_file_actions_init(&fa);
        posix_spawn_file_actions_adddup2(&fa, in[0], 0);
        posix_spawn_file_actions_adddup2(&fa, out[1], 1);
        std::vector<std::string> args = {program, "--protocol", protocol, "--port", "0", "--log", logFile};
        args.insert(args.end(), extra.begin(), extra.end());
        std::vector<char*> argv;
        for (auto& a : args)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        int rc = ::posix_spawn(&m_pid, program.c_str(), &fa, nullptr, argv.data(), environ);
        posix_spawn_file_actions_destroy(&fa);
        ::close(in[0]);
        ::close(out[1]);
        m_stdin = in[1];
        m_stdout = out[0];
        if (rc != 0)
            throw std::runtime_error("cannot start " + program);
        std::string first = readStdoutLine(10000);
        // The first line names the ports; the first number in it is the command port.
        std::istringstream words(first);
        std::string w;
        while (words >> w && m_port == 0) {
            std::string digits;
            for (char c : w)
                if (c >= '0' && c <= '9')
                    digits += c;
                else if (!digits.empty())
                    break;
            if (!digits.empty())
                m_port = std::stoi(digits);
        }
        if (m_port == 0)
            throw std::runtime_error("srcp-sim printed no port: " + first);
    }
    ~SimProcess()
    {
        if (m_stdin >= 0)
            ::close(m_stdin);
        if (m_pid > 0) {
            ::kill(m_pid, SIGTERM);
            int status = 0;
            ::waitpid(m_pid, &status, 0);
        }
        if (m_stdout >= 0)
            ::close(m_stdout);
    }
    SimProcess(const SimProcess&) = delete;
    SimProcess& operator=(const SimProcess&) = delete;

    int port() const { return m_port; }
    pid_t pid() const { return m_pid; }
    // Ends the simulator at once, as a crash or a pulled plug would (no orderly close).
    void kill()
    {
        if (m_pid <= 0)
            return;
        ::kill(m_pid, SIGKILL);
        int status = 0;
        ::waitpid(m_pid, &status, 0);
        m_pid = -1;
    }
    void command(const std::string& line)
    {
        std::string all = line + "\n";
        if (::write(m_stdin, all.data(), all.size()) != ssize_t(all.size()))
            throw std::runtime_error("srcp-sim stdin closed");
    }
    std::string readStdoutLine(int timeoutMs)
    {
        auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        std::string line;
        for (;;) {
            auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - std::chrono::steady_clock::now());
            pollfd p{m_stdout, POLLIN, 0};
            if (left.count() <= 0 || ::poll(&p, 1, int(left.count())) <= 0)
                throw std::runtime_error("srcp-sim said nothing");
            char c;
            if (::read(m_stdout, &c, 1) != 1)
                throw std::runtime_error("srcp-sim ended");
            if (c == '\n')
                return line;
            line += c;
        }
    }
    static std::vector<std::string> readLines(const std::string& file)
    {
        std::ifstream in(file);
        std::vector<std::string> lines;
        for (std::string l; std::getline(in, l);)
            lines.push_back(l);
        return lines;
    }

private:
    pid_t m_pid = -1;
    int m_stdin = -1;
    int m_stdout = -1;
    int m_port = 0;
};
