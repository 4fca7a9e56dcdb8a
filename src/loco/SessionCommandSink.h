#pragma once
// Loco lines go out on the SRCP 0.7.3 command connection of the server session, under its Lock_socket.
// The session is looked up at every write, so the sink may exist before the session does.

#include "loco/LocoCommand.h"

struct AppState;

class SessionCommandSink : public CommandLineSink {
public:
    explicit SessionCommandSink(AppState& main) : m_main(main) {}
    bool connected() const override;
    void writeLine(std::string_view line) override;

private:
    AppState& m_main;
};
