#pragma once
// The loco command (gl_out): turns one loco record into the command that goes to the server. In
// SRCP 0.7.3 mode that is one "SET GL" line on the command connection; in SRCP 0.8 mode the record
// is handed to the 0.8 adapter through a hook.

#include <QString>

#include <chrono>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>

struct AppState;
class TLok;
class TcpLineClient;

// Where 0.7.3 command lines go. writeLine sends one line followed by CR LF as one unit while holding
// the lock that serialises all writers of the command connection; it throws when the write fails.
class CommandLineSink {
public:
    virtual ~CommandLineSink() = default;
    virtual bool connected() const = 0;
    virtual void writeLine(std::string_view line) = 0;
};

// The command connection and its lock (Command_Socket and Lock_socket of the session).
class TcpCommandSink : public CommandLineSink {
public:
    TcpCommandSink(TcpLineClient& socket, std::mutex& lock) : m_socket(socket), m_lock(lock) {}
    bool connected() const override;
    void writeLine(std::string_view line) override;

private:
    TcpLineClient& m_socket;
    std::mutex& m_lock;
};

// The 0.7.3 line of loco `Loknummer` without its line end, e.g. "SET GL M2 3 1 50 100 1 4 0 1 0 0 "
// (it ends with a blank).
std::string glLine73(const TLok& lok, int Loknummer);

class LocoCommand {
public:
    LocoCommand(AppState& main, TLok& lok) : m_main(main), m_lok(lok) {}

    // The command connection; nullptr or not connected: 0.7.3 commands are dropped silently.
    CommandLineSink* sink = nullptr;
    // SRCP 0.8 branch (SrcpVer other than 73): sends the loco through the 0.8 adapter.
    std::function<void(int Loknummer)> srcp08Out;
    // Debug window; gets the line before it is written when Debug is on.
    std::function<void(const QString& text)> debugLine;
    // A write on a connected socket failed (the connection broke); the record keeps its values.
    std::function<void(const QString& text)> writeFailed;

    void gl_out(int Loknummer);

    // The server reports a loco's drive state: `report` is the words after "INFO GL" ("M2 3 1 50
    // 100 1 4 0 1 0 0"). True (and the line used up) when it is the report of a line we sent
    // ourselves a moment ago; such a report must not move the regulators back.
    bool takeEcho(std::string_view report);

private:
    struct Sent {
        std::string words;  // the line after "SET GL ", blanks normalised
        std::chrono::steady_clock::time_point at;
    };
    std::mutex m_sentLock;
    std::deque<Sent> m_sent;

    AppState& m_main;
    TLok& m_lok;
};
