// "Commands > Program decoders" through the real main window against the simulator's programming
// track: read the common CVs, write a new long address (CV 17/18 and CV 29 bit 5 on the wire), verify
// it, take the new address into the loco record, cancel a "Read all" midway, and the refusals of a
// real programming track as messages. In SRCP 0.7.3 mode the function stays unavailable.

#include "app/LocoControlHost.h"
#include "app/ProgramHost.h"
#include "app/Srcp08Host.h"
#include "base/CommandChannel.h"
#include "base/TLok.h"
#include "loco/widgets/TProgramForm.h"
#include "moba/TMoBaSRCPClient.h"

#include "integration/SimFixture.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSpinBox>

#include "common/WaitFor.h"

using testsupport::waitFor;

namespace {

constexpr int MsgNotAvailable = 124, MsgNoLoco = 728, MsgNoAck = 729, MsgWrongValue = 730;

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
};

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

    // Verify it, byte and bit, from the any-CV row.
    p->anyCvBox()->setValue(17);
    p->anyValueBox()->setValue(196);
    click(p->anyButton(SmOp::Verify));
    ASSERT_TRUE(idle(*p));
    EXPECT_TRUE(w.sent("VERIFY 1 SM 0 CV 17 196"));
    EXPECT_TRUE(p->statusText().contains(QStringLiteral("196"))) << p->statusText().toStdString();
    p->anyCvBox()->setValue(29);
    p->anyBitEdit()->setText(QStringLiteral("5"));
    click(p->anyButton(SmOp::Read));
    ASSERT_TRUE(idle(*p));
    EXPECT_TRUE(w.sent("GET 1 SM 0 CVBIT 29 5"));

    // Cancel a slow "Read all" midway: it stops after the CV in progress.
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
        {nullptr, SmOp::Verify, 17, 197, MsgWrongValue},
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

TEST(DecoderProgramming, StaysUnavailableInSrcp073Mode)
{
    ProgrammingWindow w("0.7.3");
    ASSERT_TRUE(w.connect());
    w.d.shown.clear();
    EXPECT_EQ(w.openProgramming(), nullptr);
    ASSERT_EQ(w.d.count(QStringLiteral("message")), 1);
    EXPECT_EQ(w.d.last("message")->text, w.msg(MsgNotAvailable));
}
