#pragma once
// Shared pieces of the loco tests: a command sink that records lines, and a model fixture with the
// icons of the source tree.

#include "base/AppState.h"
#include "loco/LocoCommand.h"
#include "loco/LocoIcons.h"
#include "loco/ThrottleModel.h"
#include "base/TLok.h"
#include "base/ScriptedDialogs.h"

#include <string>
#include <vector>

struct RecordingSink : CommandLineSink {
    bool isConnected = true;
    std::vector<std::string> lines;
    bool connected() const override { return isConnected; }
    void writeLine(std::string_view line) override { lines.emplace_back(line); }
};

struct ThrottleFixture {
    explicit ThrottleFixture(const QString& iconFolder = QStringLiteral(QUARN_SOURCE_DIR "data/Data/"))
        : icons([iconFolder] { return iconFolder; })
    {
        command.sink = &sink;
        main.Betrieb = true;
    }

    AppState main;
    TLok lok;
    RecordingSink sink;
    LocoCommand command{main, lok};
    LocoIcons icons;
    ScriptedDialogs dialogs;
    ThrottleModel model{main, lok, command, icons, dialogs};

    std::string last() const { return sink.lines.empty() ? std::string() : sink.lines.back(); }
};
