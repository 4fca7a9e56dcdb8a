#pragma once
// The panel's accessory commands whose outcome is not known yet. An element's picture and state
// change only when the railway confirms a command (the server's OK or its report); until then the
// command waits here, and a command that is refused, times out or loses its connection is taken
// back. Pure bookkeeping: the service object draws and reports.

#include <chrono>
#include <cstdint>
#include <optional>
#include <vector>

class AccessoryPending {
public:
    using Clock = std::chrono::steady_clock;
    // How long an answer may take before the element shows that it waits for one.
    static constexpr std::chrono::milliseconds MarkAfter{150};
    // SRCP 0.7.3: how long the server's report of a written command is waited for.
    static constexpr std::chrono::milliseconds ReportWithin{3000};

    struct Command {
        std::uint64_t id = 0;
        int x = 0, y = 0;  // the element's cell
        int n = 0;         // the element's number there
        int target = 0;    // the state the element takes when the command is confirmed
        bool momentary = false;  // shows the switched picture for the pulse only
        bool motorola = true;
        int address = 0, port = 0;
        int route = 0;     // the route that sent it (0: a click)
        Clock::time_point since{};  // given
        bool written = false;       // SRCP 0.7.3: the line went out, the report is awaited
        Clock::time_point writtenAt{};
    };

    // Adds a command; returns its id (never 0). Ids grow in the order things were given.
    std::uint64_t add(Command c);
    // An id for a step that is not waited for (an element drawn only), in the same order.
    std::uint64_t reserve() { return m_next++; }
    const Command* find(std::uint64_t id) const;
    // Removes and returns the command.
    std::optional<Command> take(std::uint64_t id);
    bool markWritten(std::uint64_t id, Clock::time_point now);

    // The state the element at (x, y) is on its way to: the target of its last command.
    std::optional<int> heading(int x, int y) const;
    bool pendingAt(int x, int y) const;
    // The oldest command on this port of this accessory address (a report confirms it).
    std::optional<std::uint64_t> onPort(bool motorola, int address, int port) const;
    // Written commands whose report did not come within ReportWithin.
    std::vector<std::uint64_t> unreported(Clock::time_point now) const;
    // Cells of commands older than MarkAfter: they show the waiting mark.
    std::vector<std::pair<int, int>> slowCells(Clock::time_point now) const;
    bool empty() const { return m_commands.empty(); }
    std::size_t size() const { return m_commands.size(); }
    const std::vector<Command>& commands() const { return m_commands; }
    // Forgets everything (a new layout): returns what was pending.
    std::vector<Command> clear();

private:
    std::vector<Command> m_commands;  // in the order given
    std::uint64_t m_next = 1;
};
