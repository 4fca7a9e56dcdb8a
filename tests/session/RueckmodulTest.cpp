#include "session/C_rueckmodul.h"

#include "base/AppState.h"
#include "panel/Cbahn.h"
#include "layout/C_Element.h"
#include "layout/C_Position.h"
#include "base/PositionTable.h"
#include "base/TLok.h"
#include "session/FeedbackLine.h"
#include "base/ScriptedDialogs.h"

#include <QImage>

#include <gtest/gtest.h>

namespace {

class RueckmodulTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        main.WorkDir = QStringLiteral(QUARN_PROGRAM_DIR);
        main.Quarn_bitmap = QImage(980, 680, QImage::Format_RGB32);
        main.Quarn_bitmap.fill(Qt::gray);
        main.Cache = QImage(27, 27, QImage::Format_RGB32);
    }
    tPosEntry* detector(int n, int x, int y, int module, int port)
    {
        bahn.Quarnliste_eintragen(x, y, n);
        tPosEntry* e = postable.getEntryByKor(x, y);
        e->Decod1 = module;
        e->Daten1 = port;
        return e;
    }
    // 0 free, 1 occupied, -1 anything else (grey, never drawn).
    int shown(int x, int y, int n)
    {
        QImage cell = main.Quarn_bitmap.copy(x, y, 27, 27).convertToFormat(QImage::Format_RGB32);
        for (int state : {1, 2}) {
            QImage icon(bahn.getDataPath() + QStringLiteral("Icon%1%2.bmp").arg(n).arg(state, 2, 10, QLatin1Char('0')));
            if (!icon.isNull() && icon.convertToFormat(QImage::Format_RGB32) == cell)
                return state - 1;
        }
        return -1;
    }

    AppState main;
    ScriptedDialogs dialogs;
    C_Position postable;
    C_Element element;
    TLok lok;
    Cbahn bahn{main, postable, element, lok, dialogs};
    C_rueckmodul rueck{main, postable, bahn.iconChanger()};
};

} // namespace

TEST_F(RueckmodulTest, ContactLinesDrawTheirDetector)
{
    detector(65, 0, 0, 1, 16);
    detector(87, 27, 0, 2, 1);
    detector(65, 54, 0, 1, 2);
    detector(65, 81, 0, 2, 3);
    rueck.fbport_auswerten("INFO FB S88 16 1");
    rueck.fbport_auswerten("INFO FB S88 17 1");
    EXPECT_EQ(shown(0, 0, 65), 1);
    EXPECT_EQ(shown(27, 0, 87), 1);
    EXPECT_EQ(shown(54, 0, 65), -1);

    rueck.fball_auswerten("INFO FB S88 * 0100000000000000001");
    EXPECT_EQ(shown(0, 0, 65), 0);   // module 1 port 16 freed
    EXPECT_EQ(shown(27, 0, 87), 0);  // module 2 port 1 freed
    EXPECT_EQ(shown(54, 0, 65), 1);  // module 1 port 2
    EXPECT_EQ(shown(81, 0, 65), 1);  // module 2 port 3

    // Contacts far beyond the layout and malformed lines change nothing.
    rueck.fbport_auswerten("INFO FB S88 4000000000 1");
    EXPECT_THROW(rueck.fbport_auswerten("INFO FB S88 12"), FeedbackLineError);
    EXPECT_THROW(rueck.fbport_auswerten("INFO FB S88 ab 1"), FeedbackLineError);
    EXPECT_EQ(shown(54, 0, 65), 1);
}

TEST_F(RueckmodulTest, OnlyTheFirstOfTwoEqualDetectorsChanges)
{
    detector(65, 0, 27, 3, 4);
    detector(65, 27, 27, 3, 4);
    rueck.iconrefresh(3, 4, 1);
    EXPECT_EQ(shown(0, 27, 65), 1);
    EXPECT_EQ(shown(27, 27, 65), -1);
    EXPECT_THROW(rueck.iconrefresh(3, 4, 2), std::exception);  // no icon for value 2
}

TEST_F(RueckmodulTest, ResetDrawsEveryDetectorFreeEvenWithoutPort)
{
    detector(65, 0, 54, 1, 0);  // port 0: never refreshed
    detector(87, 27, 54, 1, 5);
    rueck.iconrefresh(1, 0, 1);
    EXPECT_EQ(shown(0, 54, 65), -1);
    rueck.iconrefresh(1, 5, 1);
    rueck.iconreset();
    EXPECT_EQ(shown(0, 54, 65), 0);
    EXPECT_EQ(shown(27, 54, 87), 0);
}
