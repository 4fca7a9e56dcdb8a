#pragma once
// Prints where the GUI thread stands, from another thread: the watch thread sends SIGUSR2 to it and
// the handler, interrupting the GUI thread wherever it is, prints its stack to standard error.
// Under AddressSanitizer the sanitizer's printer names file and line.

#include <csignal>
#include <execinfo.h>
#include <pthread.h>
#include <unistd.h>

#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#include <sanitizer/common_interface_defs.h>
#define QUARN_STALL_SANITIZER_STACK 1
#endif
#endif

namespace stallwatch {

// Runs on the GUI thread, interrupted wherever it stands.
inline void printStack(int)
{
#ifdef QUARN_STALL_SANITIZER_STACK
    __sanitizer_print_stack_trace();
#else
    void* frames[64];
    const int n = ::backtrace(frames, 64);
    ::backtrace_symbols_fd(frames, n, STDERR_FILENO);
#endif
}

// Call on the thread whose stack is wanted later; returns its handle.
inline pthread_t watchThisThread()
{
    std::signal(SIGUSR2, printStack);
    return ::pthread_self();
}

// Any thread: the thread `gui` prints its stack.
inline void printStackOf(pthread_t gui)
{
    ::pthread_kill(gui, SIGUSR2);
}

// The program under test runs with the sanitizers (several times slower than a plain build).
constexpr bool sanitized()
{
#if defined(__SANITIZE_ADDRESS__)
    return true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(undefined_behavior_sanitizer)
    return true;
#else
    return false;
#endif
#else
    return false;
#endif
}

}  // namespace stallwatch
