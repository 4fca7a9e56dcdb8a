#pragma once
// The integration tests' one fixture: a program folder of the test's own, `srcp-sim` on a free port
// of 127.0.0.1, and the main window with scripted dialogs, its track panel and session hosts,
// showing the demo layout. Plus what the tests read back: the lines the simulator received and the
// icons the panel shows.

#include "app/SessionHost.h"
#include "app/TMainForm.h"
#include "app/TrackPanelHost.h"
#include "base/C_language.h"
#include "session/ServerSession.h"
#include "base/ScriptedDialogs.h"
#include "layout/C_Element.h"
#include "layout/C_Position.h"
#include "base/PositionTable.h"
#include "panel/widgets/PanelView.h"

#include "common/ProgramFolder.h"
#include "common/WaitFor.h"
#include "session/SimProcess.h"

#include <QAction>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <regex>
#include <string>
#include <vector>

namespace simfixture {

struct LogLine {
    double ms = 0;           // when the simulator received it
    std::string text;        // the line without its end
    std::string connection;  // the simulator's number of the connection it came on
};

// The lines the simulator logged as received ("<ms> <connection> R <line>") that start with `prefix`.
inline std::vector<LogLine> received(const std::string& logFile, const std::string& prefix = {})
{
    std::vector<LogLine> out;
    static const std::regex line(R"(^(\d+\.\d+) (\d+) R (.*)$)");
    for (const std::string& l : SimProcess::readLines(logFile)) {
        std::smatch m;
        if (std::regex_match(l, m, line) && m[3].str().rfind(prefix, 0) == 0)
            out.push_back({std::stod(m[1].str()), m[3].str(), m[2].str()});
    }
    return out;
}

// The connections the simulator logged as opened on its listener `listener` (0 the command port,
// 1 feedback, 2 info), oldest first.
inline std::vector<std::string> openedConnections(const std::string& logFile, int listener)
{
    std::vector<std::string> out;
    static const std::regex line(R"(^\S+ (\d+) O listener (\d+)( ungreeted)?$)");
    for (const std::string& l : SimProcess::readLines(logFile)) {
        std::smatch m;
        if (std::regex_match(l, m, line) && std::stoi(m[2].str()) == listener)
            out.push_back(m[1].str());
    }
    return out;
}

// Every line the simulator received on a connection other than `other`: what the program sent
// while another client (on connection `other`) talked to the same server.
inline std::vector<LogLine> receivedExcept(const std::string& logFile, const std::string& other)
{
    std::vector<LogLine> out;
    for (LogLine& l : received(logFile))
        if (l.connection != other)
            out.push_back(std::move(l));
    return out;
}

inline int receivedCount(const std::string& logFile, const std::string& prefix)
{
    return static_cast<int>(received(logFile, prefix).size());
}

// The layout picture shows element e's icon for `state` in its cell.
inline bool cellShowsIcon(const TMainForm& form, const tPosEntry& e, int state)
{
    QImage icon(form.WorkDir + QStringLiteral("Data/Icon%1%2.bmp")
                                   .arg(e.Enummer, 2, 10, QLatin1Char('0'))
                                   .arg(state, 2, 10, QLatin1Char('0')));
    return !icon.isNull() && form.Quarn_bitmap.copy(e.Posx, e.Posy, 27, 27).convertToFormat(QImage::Format_RGB32) ==
                                 icon.convertToFormat(QImage::Format_RGB32);
}

// SRCP 0.7.3: connecting and starting feedback return at once and open their connections on
// threads of their own; true once every connection asked for is open or has failed.
inline bool sessionSettled(TMainForm& form, int timeoutMs = 10000)
{
    return testsupport::waitFor([&] { return !form.serverSession() || !form.serverSession()->opening(); }, timeoutMs);
}

// The first placed element (in table order) that `pred` accepts.
inline tPosEntry* findEntry(const std::function<bool(tPosEntry&)>& pred)
{
    for (int i = 0; i < Postable->getNumbofEntries(); ++i)
        if (tPosEntry* e = Postable->getEntryByNum(i); pred(*e))
            return e;
    return nullptr;
}

// A straight demo turnout in the visible part of the panel with both decoder addresses set.
inline bool isVisibleTurnout(const tPosEntry& e)
{
    return Element->get_art(e.Enummer - 1) == 2 && e.Decod1 > 0 && e.Decod2 > 0 && e.Posx < 800 && e.Posy < 400 &&
           e.Stellung == 1 && e.Enummer != 44;
}

// The window with the demo layout open, pointed at a simulator of `protocol` ("0.7.3", "0.8.2").
// Tests that need more hosts create them in `moreHosts`, which runs after the session host.
struct SimWindow {
    SimWindow(const std::string& protocol, const std::vector<std::string>& simArgs = {},
              const std::function<void(TMainForm&)>& moreHosts = {})
    {
        work = dir.path() + QLatin1Char('/');
        EXPECT_TRUE(testsupport::makeProgramFolder(work));
        QFile::remove(work + QStringLiteral("Data/parmc.dat"));
        logFile = (work + QStringLiteral("sim.log")).toStdString();
        sim = std::make_unique<SimProcess>(SRCP_SIM_PATH, protocol, logFile, simArgs);
        form = std::make_unique<TMainForm>(d, work);
        panelHost = new TrackPanelHost(*form);  // owned by the window
        sessionHost = new SessionHost(*form);
        if (moreHosts)
            moreHosts(*form);
        form->resize(1000, 720);
        form->show();
        d.shown.clear();  // the fresh start's parameter-file message
        d.textAnswers.push_back(work + QStringLiteral("Layouts/Demo.pln"));
        form->action(QStringLiteral("Oeffnen1"))->trigger();
        d.shown.clear();  // the file dialog
        form->Iphostchar = QStringLiteral("127.0.0.1");
        form->Ipport = sim->port();
    }

    QString msg(int id) const { return Lang ? Lang->getmessage(id, form->Lang_id) : QString(); }
    int shownCount(int id) const
    {
        int n = 0;
        for (const auto& s : d.shown)
            n += s.text == msg(id);
        return n;
    }
    // A left click on element e's cell of the panel.
    void click(const tPosEntry& e)
    {
        QTest::mouseClick(panelHost->panelView(), Qt::LeftButton, {},
                          QPoint(e.Posx - form->Hpos_alt + 5, e.Posy - form->Vpos_alt + 5));
    }

    QTemporaryDir dir;
    QString work;
    std::string logFile;
    std::unique_ptr<SimProcess> sim;
    ScriptedDialogs d;
    std::unique_ptr<TMainForm> form;
    TrackPanelHost* panelHost = nullptr;
    SessionHost* sessionHost = nullptr;
};

}  // namespace simfixture
