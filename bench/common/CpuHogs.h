#pragma once
// Processes that do nothing but compute, until the object goes: load for the timing benchmarks
// (two of them keep a 2-core machine fully busy).

#include <csignal>
#include <vector>

#include <sys/wait.h>
#include <unistd.h>

class CpuHogs {
public:
    explicit CpuHogs(int n)
    {
        for (int i = 0; i < n; ++i) {
            const pid_t pid = ::fork();
            if (pid == 0) {
                volatile unsigned long x = 0;
                for (;;)
                    x = x + 1;
            }
            if (pid > 0)
                m_pids.push_back(pid);
        }
    }
    ~CpuHogs()
    {
        for (pid_t p : m_pids) {
            ::kill(p, SIGKILL);
            ::waitpid(p, nullptr, 0);
        }
    }
    CpuHogs(const CpuHogs&) = delete;
    CpuHogs& operator=(const CpuHogs&) = delete;

private:
    std::vector<pid_t> m_pids;
};
