// "Commands > Program decoders" through the real main window against the simulator's programming
// track: read the common CVs, write a new long address (CV 17/18 and CV 29 bit 5 on the wire), verify
// it (match and differ, shown in the window), take the new address into the loco record, cancel a
// "Read all" midway (what was not read is unknown), the refusals of a real programming track as
// messages in the user's language, closing the window on a slow and on a silent programming track
// (the job stops and service mode ends at once), a failed start with every control but Connect
// disabled, and a CV file's bad value. In SRCP 0.7.3 mode the menu says that it needs SRCP 0.8.

#include "app/LocoControlHost.h"
#include "app/ProgramHost.h"
#include "app/Srcp08Host.h"
#include "base/CommandChannel.h"
#include "base/TLok.h"
#include "loco/widgets/TProgramForm.h"
#include "moba/TMoBaSRCPClient.h"

#include "integration/SimFixture.h"

#include <QCheckBox>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSpinBox>

#include "common/WaitFor.h"

using testsupport::waitFor;

namespace {

constexpr int MsgNoLoco = 728, MsgNoAck = 729, MsgNeedsSrcp08 = 760, MsgUnreachable = 761;
constexpr int MsgNoTrackOnBus = 762, MsgDiffers = 764, MsgMatches = 766, MsgCancelledReads = 768;
constexpr int MsgFileOutOfRange = 772;

struct ProgrammingWindow : simfixture::SimWindow {
    explicit ProgrammingWindow(const std::string& protocol)
        : SimWindow(protocol, {}, [](TMainForm& f) {
              new LocoControlHost(f);
              new ProgramHost(f);
          })
    {
        form->SrcpVer = protocol == "0.7.3" ? 73 : 80;
    }
    bool connect()
    {
        form->action(QStringLiteral("Hostverbinden1"))->trigger();
        if (form->SrcpVer == 73)
            return simfixture::sessionSettled(*form) && form->Session && form->Session->commandConnected();
        auto* host = form->findChild<Srcp08Host*>();
        return host && waitFor([&] { return host->connected() && host->busCount() >= 2; });
    }
    TProgramForm* openProgramming()
    {
        form->action(QStringLiteral("Decoderprogrammieren1"))->trigger();
        auto* host = form->findChild<ProgramHost*>();
        return host ? host->window() : nullptr;
    }
    std::vector<std::string> smLines() const
    {
        std::vector<std::string> out;
        for (const auto& l : simfixture::received(logFile))
            if (l.text.find(" SM ") != std::string::npos)
                out.push_back(l.text);
        return out;
    }
    bool sent(const std::string& line) const
    {
        const auto lines = smLines();
        return std::find(lines.begin(), lines.end(), line) != lines.end();
    }
    int count(const std::string& prefix) const { return simfixture::receivedCount(logFile, prefix); }
};

// Every control that programs the decoder.
std::vector<QPushButton*> programmingButtons(const TProgramForm& p)
{
    return {p.readAllButton(), p.writeChangedButton(), p.anyButton(SmOp::Read), p.anyButton(SmOp::Write),
            p.anyButton(SmOp::Verify)};
}

void click(QPushButton* b)
{
    ASSERT_NE(b, nullptr);
    ASSERT_TRUE(b->isEnabled()) << b->text().toStdString();
    b->click();
}

bool idle(const TProgramForm& p)
{
    return waitFor([&] { return !p.busy(); }, 15000);
}

}  // namespace

TEST(DecoderProgramming, ReadsWritesVerifiesAndCancelsThroughTheWindow)
{
    ProgrammingWindow w("0.8.2");
    w.sim->command("sm timing 20 10");
    ASSERT_TRUE(w.connect());
    TProgramForm* p = w.openProgramming();
    ASSERT_NE(p, nullptr);
    EXPECT_TRUE(p->isVisible());
    ASSERT_TRUE(waitFor([&] { return p->ready(); })) << p->statusText().toStdString();
    EXPECT_TRUE(w.sent("INIT 1 SM NMRA"));

    // Read all: the decoder's factory values, the maker by name.
    click(p->readAllButton());
    ASSERT_TRUE(idle(*p));
    EXPECT_EQ(p->valueBox(1)->value(), 3);
    EXPECT_EQ(p->valueBox(3)->value(), 10);
    EXPECT_EQ(p->valueBox(8)->value(), 151);
    EXPECT_TRUE(p->findChildren<QLabel*>().size() > 0);
    bool makerShown = false;
    for (QLabel* l : p->findChildren<QLabel*>())
        makerShown = makerShown || l->text() == QStringLiteral("ESU");
    EXPECT_TRUE(makerShown);
    EXPECT_FALSE(p->cv29Box(5)->isChecked());
    EXPECT_TRUE(p->cv29Box(1)->isChecked());
    EXPECT_EQ(p->progress()->value(), p->progress()->maximum());
    EXPECT_TRUE(w.sent("GET 1 SM 0 CV 29"));

    // A new long address: CV 17/18, then only bit 5 of CV 29; the loco record follows.
    ASSERT_EQ(Lok->get_addr(0), 3);
    p->longAddressBox()->setValue(1234);
    p->cv29Box(5)->setChecked(true);
    w.d.buttonAnswers.push_back(UserDialogs::Yes);
    click(p->writeChangedButton());
    ASSERT_TRUE(idle(*p));
    const auto lines = w.smLines();
    const auto at = [&](const std::string& l) { return std::find(lines.begin(), lines.end(), l) - lines.begin(); };
    EXPECT_TRUE(w.sent("SET 1 SM 0 CV 17 196"));
    EXPECT_TRUE(w.sent("SET 1 SM 0 CV 18 210"));
    EXPECT_TRUE(w.sent("SET 1 SM 0 CVBIT 29 5 1"));
    EXPECT_LT(at("SET 1 SM 0 CV 18 210"), at("SET 1 SM 0 CVBIT 29 5 1"));  // address first, then switch to it
    EXPECT_FALSE(w.sent("SET 1 SM 0 CV 29 38"));                           // never the whole byte
    EXPECT_EQ(Lok->get_addr(0), 1234);
    ASSERT_NE(w.d.last("message"), nullptr);
    EXPECT_TRUE(w.d.last("message")->text.contains(QStringLiteral("1234")));

    // Verify it, byte and bit, from the any-CV row: the result shows in the window, matching or not.
    p->anyCvBox()->setValue(17);
    p->anyValueBox()->setValue(196);
    const int boxes = w.d.count(QStringLiteral("message"));
    click(p->anyButton(SmOp::Verify));
    ASSERT_TRUE(idle(*p));
    EXPECT_TRUE(w.sent("VERIFY 1 SM 0 CV 17 196"));
    EXPECT_EQ(p->statusText(), w.msg(MsgMatches).arg(17).arg(196));
    p->anyValueBox()->setValue(197);
    click(p->anyButton(SmOp::Verify));
    ASSERT_TRUE(idle(*p));
    EXPECT_TRUE(w.sent("VERIFY 1 SM 0 CV 17 197"));
    EXPECT_EQ(p->statusText(), w.msg(MsgDiffers).arg(17).arg(196).arg(197));  // the value read back
    EXPECT_EQ(w.d.count(QStringLiteral("message")), boxes);                    // and no error box
    p->anyCvBox()->setValue(29);
    p->anyBitEdit()->setText(QStringLiteral("5"));
    click(p->anyButton(SmOp::Read));
    ASSERT_TRUE(idle(*p));
    EXPECT_TRUE(w.sent("GET 1 SM 0 CVBIT 29 5"));

    // Cancel a slow "Read all" midway: it stops after the CV in progress, and every CV not read
    // shows as unknown, not as the previous decoder's value.
    w.sim->command("sm timing 200 100");
    const std::size_t before = w.smLines().size();
    click(p->readAllButton());
    ASSERT_TRUE(waitFor([&] { return p->progress()->value() >= 2; }, 5000));
    click(p->cancelButton());
    ASSERT_TRUE(idle(*p));
    const std::size_t reads = w.smLines().size() - before;
    EXPECT_GE(reads, 2u);
    EXPECT_LE(reads, 4u);  // of eleven
    QTest::qWait(600);
    EXPECT_EQ(w.smLines().size() - before, reads);  // nothing more went out
    EXPECT_EQ(p->statusText(), w.msg(MsgCancelledReads).arg(p->progress()->value()).arg(11));
    EXPECT_LT(p->progress()->value(), p->progress()->maximum());
    EXPECT_EQ(p->valueBox(1)->value(), 3);                            // read before the cancel
    EXPECT_EQ(p->valueBox(8)->value(), p->valueBox(8)->minimum());     // not read: "?"
    EXPECT_EQ(p->valueBox(8)->text(), QStringLiteral("?"));
    EXPECT_FALSE(p->cv29Box(5)->isChecked());
    w.sim->command("sm timing 20 10");

    // The refusals of a programming track, each as a message.
    p->anyBitEdit()->clear();
    const struct {
        const char* fault;
        SmOp op;
        int cv;
        int value;
        int message;
    } refusals[] = {
        {"sm noloco on", SmOp::Read, 1, 0, MsgNoLoco},
        {"sm noack on", SmOp::Write, 3, 5, MsgNoAck},
    };
    for (const auto& r : refusals) {
        w.sim->command("sm noloco off");
        w.sim->command("sm noack off");
        if (r.fault)
            w.sim->command(r.fault);
        p->anyCvBox()->setValue(r.cv);
        p->anyValueBox()->setValue(r.value);
        const int shown = w.d.count(QStringLiteral("message"));
        click(p->anyButton(r.op));
        ASSERT_TRUE(idle(*p));
        ASSERT_EQ(w.d.count(QStringLiteral("message")), shown + 1) << r.message;
        EXPECT_TRUE(w.d.last("message")->text.contains(w.msg(r.message))) << w.d.last("message")->text.toStdString();
    }
}

// Closing the window in the middle of a "Read all" stops the job and ends service mode at once:
// on a slow programming track and on one that never answers, without holding the window.
TEST(DecoderProgramming, ClosingTheWindowEndsTheJobAndServiceMode)
{
    ProgrammingWindow w("0.8.2");
    ASSERT_TRUE(w.connect());
    TProgramForm* p = w.openProgramming();
    ASSERT_NE(p, nullptr);
    for (const char* track : {"sm timing 1500 100", "sm silent on"}) {
        SCOPED_TRACE(track);
        w.sim->command("sm silent off");
        w.sim->command(track);
        if (!p->isVisible())
            w.openProgramming();
        ASSERT_TRUE(waitFor([&] { return p->ready(); })) << p->statusText().toStdString();
        const int gets = w.count("GET 1 SM"), terms = w.count("TERM 1 SM");
        click(p->readAllButton());
        ASSERT_TRUE(waitFor([&] { return w.count("GET 1 SM") > gets; }));
        QElapsedTimer held;
        held.start();
        p->findChild<QPushButton*>(QStringLiteral("ProgClose"))->click();
        EXPECT_LT(held.elapsed(), 100);
        EXPECT_FALSE(p->isVisible());
        EXPECT_FALSE(p->busy());
        // TERM goes out within the worker's wait slice, well before the read's own time.
        ASSERT_TRUE(waitFor([&] { return w.count("TERM 1 SM") > terms; }, 1000));
        QTest::qWait(1700);  // the slow read's time, and the goodbye's
        EXPECT_EQ(w.count("GET 1 SM"), gets + 1);  // nothing after the CV in progress
    }
    // Opened again, the window starts a fresh session.
    w.sim->command("sm silent off");
    w.sim->command("sm timing 20 10");
    w.openProgramming();
    ASSERT_TRUE(waitFor([&] { return p->ready(); })) << p->statusText().toStdString();
    click(p->readAllButton());
    ASSERT_TRUE(idle(*p));
    EXPECT_EQ(p->valueBox(1)->value(), 3);
}

// Failures are told in the user's language, with the reason in words; a window that has no
// session offers only "Connect"; a CV file's bad value is named with its range.
TEST(DecoderProgramming, FailuresAreToldInTheUsersLanguage)
{
    ProgrammingWindow w("0.8.2");
    w.form->Lang_id = 7;
    ASSERT_TRUE(w.connect());
    TProgramForm* p = w.openProgramming();
    ASSERT_NE(p, nullptr);
    ASSERT_TRUE(waitFor([&] { return p->ready(); })) << p->statusText().toStdString();

    // A bus the server does not have: the reason in words, not the server's line.
    w.d.shown.clear();
    p->busBox()->setValue(50);
    click(p->connectButton());
    ASSERT_TRUE(waitFor([&] { return w.d.count(QStringLiteral("message")) == 1; }));
    const QString noBus = w.d.last("message")->text;
    EXPECT_TRUE(noBus.contains(w.msg(MsgNoTrackOnBus).arg(50))) << noBus.toStdString();
    EXPECT_FALSE(noBus.contains(QStringLiteral("ERROR")) || noBus.contains(QStringLiteral("412"))) << noBus.toStdString();
    EXPECT_EQ(w.d.last("message")->caption, w.msg(102));
    EXPECT_EQ(p->statusText(), noBus);
    for (QPushButton* b : programmingButtons(*p))
        EXPECT_FALSE(b->isEnabled()) << b->text().toStdString();
    EXPECT_TRUE(p->connectButton()->isEnabled());

    // Back on bus 1 it works again; then the server goes away.
    p->busBox()->setValue(1);
    click(p->connectButton());
    ASSERT_TRUE(waitFor([&] { return p->ready(); })) << p->statusText().toStdString();
    for (QPushButton* b : programmingButtons(*p))
        EXPECT_TRUE(b->isEnabled()) << b->text().toStdString();
    const int port = w.form->Ipport;
    w.sim.reset();
    w.d.shown.clear();
    click(p->connectButton());
    ASSERT_TRUE(waitFor([&] { return w.d.count(QStringLiteral("message")) == 1; }));
    EXPECT_TRUE(w.d.last("message")->text.contains(w.msg(MsgUnreachable).arg(QStringLiteral("127.0.0.1:%1").arg(port))))
        << w.d.last("message")->text.toStdString();
    EXPECT_FALSE(p->ready());
    for (QPushButton* b : programmingButtons(*p))
        EXPECT_FALSE(b->isEnabled()) << b->text().toStdString();

    // A CV file with a value out of its CV's range.
    const QString file = w.work + QStringLiteral("bad.cv");
    QFile f(file);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("; Quarn decoder CVs\n; BR 89\nCV3=12\nCV1=300\n");
    f.close();
    w.d.textAnswers.push_back(file);
    click(p->loadButton());
    ASSERT_NE(w.d.last("message"), nullptr);
    EXPECT_TRUE(w.d.last("message")->text.contains(w.msg(MsgFileOutOfRange).arg(4).arg(1).arg(300).arg(1).arg(127)))
        << w.d.last("message")->text.toStdString();
    EXPECT_EQ(p->valueBox(3)->value(), p->valueBox(3)->minimum());  // nothing of the file was taken
}

TEST(DecoderProgramming, Srcp073ModeSaysItNeedsSrcp08)
{
    ProgrammingWindow w("0.7.3");
    ASSERT_TRUE(w.connect());
    w.d.shown.clear();
    EXPECT_EQ(w.openProgramming(), nullptr);
    ASSERT_EQ(w.d.count(QStringLiteral("message")), 1);
    EXPECT_EQ(w.d.last("message")->text, w.msg(MsgNeedsSrcp08));
    EXPECT_TRUE(w.msg(MsgNeedsSrcp08).contains(QStringLiteral("SRCP 0.8")));
}
