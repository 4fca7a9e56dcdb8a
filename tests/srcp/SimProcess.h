#pragma once
// Runs the project's simulator `srcp-sim` on 127.0.0.1 with a port of its own choosing, reads the
// port from its first output line and drives it through its standard input.

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

extern char** environ;

class SimProcess {
public:
    // Starts `path` with `args`; port() is 0 when the simulator did not report one.
    SimProcess(const std::string& path, const std::vector<std::string>& args)
    {
        if (::access(path.c_str(), X_OK) != 0)
            return;
        int in[2], out[2];
        if (::pipe2(in, O_CLOEXEC) != 0 || ::pipe2(out, O_CLOEXEC) != 0)
            return;
        posix_spawn_file_actions_t fa;
        posix_spawn_file_actions_init(&fa);
        posix_spawn_file_actions_adddup2(&fa, in[0], 0);
        posix_spawn_file_actions_adddup2(&fa, out[1], 1);
        std::vector<std::string> all{path};
        all.insert(all.end(), args.begin(), args.end());
        std::vector<char*> argv;
        for (auto& a : all)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        if (posix_spawn(&m_pid, path.c_str(), &fa, nullptr, argv.data(), environ) != 0)
            m_pid = -1;
        posix_spawn_file_actions_destroy(&fa);
        ::close(in[0]);
        ::close(out[1]);
        m_stdin = in[1];
        m_stdout = out[0];
        if (m_pid <= 0)
            return;
        std::string first = readLine(10000);
        // "PORT 40123"
        if (first.rfind("PORT ", 0) == 0)
            m_port = std::atoi(first.c_str() + 5);
        m_firstLine = first;
        // keep reading what it prints, so that a full pipe never stalls it
        m_drain = std::thread([fd = m_stdout] {
            char buf[4096];
            while (::read(fd, buf, sizeof buf) > 0) {
            }
        });
    }
    ~SimProcess()
    {
        if (m_pid > 0) {
            command("quit");
            for (int i = 0; i < 100; ++i) {
                if (::waitpid(m_pid, nullptr, WNOHANG) == m_pid) {
                    m_pid = -1;
                    break;
                }
                ::usleep(20000);
            }
            if (m_pid > 0) {
                ::kill(m_pid, SIGKILL);
                ::waitpid(m_pid, nullptr, 0);
            }
        }
        if (m_stdin >= 0)
            ::close(m_stdin);
        if (m_drain.joinable())
            m_drain.join();
        if (m_stdout >= 0)
            ::close(m_stdout);
    }
    int port() const { return m_port; }
    const std::string& firstLine() const { return m_firstLine; }
    void command(std::string_view line)
    {
        std::string l(line);
        l += '\n';
        (void)!::write(m_stdin, l.data(), l.size());
    }

private:
    std::string readLine(int timeoutMs)
    {
        std::string line;
        auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        for (;;) {
            auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
            pollfd p{m_stdout, POLLIN, 0};
            if (left.count() <= 0 || ::poll(&p, 1, static_cast<int>(left.count())) <= 0)
                return line;
            char c;
            if (::read(m_stdout, &c, 1) != 1 || c == '\n')
                return line;
            line += c;
        }
    }

    pid_t m_pid = -1;
    int m_stdin = -1;
    int m_stdout = -1;
    int m_port = 0;
    std::string m_firstLine;
    std::thread m_drain;
};
