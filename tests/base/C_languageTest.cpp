#include "base/Windows1252.h"
#include "base/C_language.h"
#include "base/MessageTexts.h"

#include <gtest/gtest.h>

#include <map>
#include <ostream>
#include <set>

// Readable failure output for texts.
void PrintTo(const QString& text, std::ostream* os) { *os << '"' << text.toStdString() << '"'; }

namespace {

enum LangId { German = 1, English = 2, Swedish = 3, Spanish = 4, Italian = 5, Dutch = 6, French = 7 };

QString u8(const char* text) { return QString::fromUtf8(text); }

class C_languageTest : public ::testing::Test {
protected:
    C_language lang;

    QString captionOf(int l, const char* form, const char* control) const {
        for (const C_language::Caption& c : lang.setup(l)) {
            if (c.form == QLatin1String(form) && c.control == QLatin1String(control))
                return c.text;
        }
        ADD_FAILURE() << "no caption for " << form << "." << control;
        return {};
    }
};

}  // namespace

TEST_F(C_languageTest, GetmessageRefusesIdsOutsideOneTo499) {
    struct Case {
        int id, l;
        const char* expected;
    };
    const Case cases[] = {
        {0, English, ""},  // id 0 holds "&File" but only setup reads it
        {500, English, ""},
        {-1, English, ""},
        {501, English, ""},
        {100000, English, ""},
        {1, English, "&New"},
        {499, English, ""},
        {300, English, ""},
        {421, Italian, ""},
        {138, English, " "},
        {138, German, "Es wurde(n) "},
        {102, Dutch, "Foutr"},
        {1, 0, ""},  // columns 0 and 8 stay empty
        {1, 8, ""},
        {1, 9, ""},  // outside the table
        {1, -1, ""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(lang.getmessage(c.id, c.l), u8(c.expected)) << "id " << c.id << " lang " << c.l;
    EXPECT_EQ(lang.translation(0, English), u8("&File"));
    EXPECT_EQ(lang.translation(501, English), QString());
    EXPECT_EQ(lang.translation(0, 9), QString());
}

TEST_F(C_languageTest, Exactly248IdsAreFilledInAllSevenLanguages) {
    const std::set<int> emptyIds = {400, 421, 443};
    std::set<int> tableIds;
    for (const MessageRow& row : MessageRows)
        if (row.id < C_language::FirstAddedId)
            tableIds.insert(row.id);
    EXPECT_EQ(tableIds.size(), 248u);

    int filled = 0;
    for (int id = 0; id < C_language::FirstAddedId; ++id) {
        const bool expectText = tableIds.count(id) && !emptyIds.count(id);
        for (int column = 0; column < C_language::Columns; ++column) {
            const bool isLanguage = column >= German && column <= French;
            EXPECT_EQ(lang.translation(id, column).isEmpty(), !(expectText && isLanguage))
                << "id " << id << " column " << column;
        }
        filled += expectText;
    }
    EXPECT_EQ(filled, 245);

    // Every id the other parts of the program ask for is there.
    for (int id : {40, 41, 72, 73, 74, 75, 90, 91, 100, 101, 102, 103, 104, 105, 106, 107, 108, 109,
                   110, 111, 120, 121, 122, 123, 124, 125, 126, 127, 128, 129, 130, 138, 139, 140, 141,
                   142, 200, 225, 250, 275, 414, 444, 465, 466, 488})
        EXPECT_TRUE(tableIds.count(id)) << id;
}

TEST_F(C_languageTest, RowsGivenInAllLanguagesAreExact) {
    const std::map<int, std::array<const char*, 7>> given = {
        {0, {"&Datei", "&File", "Arkiv", "Fichero", "&File", "&Bestand", "&Fichier"}},
        {12, {"&Betrieb", "&Drive", "Kör", "Controlar", "Condu&zione", "Be&drijf", "&Drive"}},
        {102, {"Fehler", "Error", "Fel", "Error", "Errore", "Foutr", "Erreur"}},
        {122, {"Regler ", "Controler ", "Controler ", "Controlador ", "Controllore ", "Regelaar ", "Controler "}},
        {138, {"Es wurde(n) ", " ", " ", " ", " ", "Er werden(n) ", " "}},
        {139, {"Joystick(s) gefunden", "Joystick(s) is(are) detected", "Joystick(s) är detecterad(e)",
               "Se ha(n) detectado Joystick(s)", "Joystick rilevato(i)", "Joystick(s) gevonden",
               "un ou plusieurs Joystick(s) détectés"}},
        {422, {"Notstop", "Emergency stop", "Nödstopp", "Emergency stop", "Stop Emergenza", "Noodstop",
               "Arrèt d'urgence"}},
    };
    for (const auto& [id, texts] : given) {
        for (int l = German; l <= French; ++l)
            EXPECT_EQ(lang.translation(id, l), u8(texts[l - 1])) << "id " << id << " lang " << l;
    }
}

TEST_F(C_languageTest, EnglishSpotChecks) {
    const std::map<int, const char*> english = {
        {10, "Decoder &addresses"},
        {31, "&Automatic"},
        {35, "S88 modules"},
        {82, "What would you like to do next? Please choose from list:"},
        {104, "   Layout: "},
        {126, "Quarn is still connected to Server verbunden. Please disconnect first!"},
        {263, "Select menu Feedback modules->Start feedback.  You have to configure the feedback "
              "contacts first (Options->S88 modules)!"},
        {275, "Select menu Help->DirectX aus"},
        {414, "Turnout, horizontally"},
        {444, "Light switch"},
        {465, "Feedback detector"},
        {466, "Route switch"},
        {477, "Track, straight "},
        {479, "Diamond crossing perpendicularly"},
        {488, "Route switch"},
    };
    for (const auto& [id, text] : english)
        EXPECT_EQ(lang.getmessage(id, English), u8(text)) << id;
}

TEST_F(C_languageTest, BlanksAroundTextsAreKeptInEveryLanguage) {
    for (int l = German; l <= French; ++l) {
        for (int id : {104, 122, 138, 477})
            EXPECT_TRUE(lang.getmessage(id, l).endsWith(' ')) << "id " << id << " lang " << l;
        EXPECT_TRUE(lang.getmessage(104, l).startsWith(QLatin1String("   "))) << l;
        // Nothing else begins or ends in a blank by accident.
        for (const MessageRow& row : MessageRows) {
            if (row.id == 104 || row.id == 122 || row.id == 138 || row.id == 477)
                continue;
            if (row.id == 916)  // the settings dialog's label "S88 feedback " ends in a blank
                continue;
            const QString text = lang.translation(row.id, l);
            EXPECT_EQ(text, text.trimmed()) << "id " << row.id << " lang " << l;
        }
    }
}

TEST_F(C_languageTest, MenuCaptionsKeepOneAcceleratorUniqueWithinTheFileMenu) {
    // The captions the table gives without an accelerator.
    const std::set<std::pair<int, int>> withoutAccelerator = {
        {0, Swedish}, {0, Spanish}, {12, Swedish}, {12, Spanish}};
    for (int l = German; l <= French; ++l) {
        for (int id = 0; id <= 34; ++id) {
            const QString text = lang.translation(id, l);
            const int expected = withoutAccelerator.count({id, l}) ? 0 : 1;
            EXPECT_EQ(text.count(QLatin1Char('&')), expected) << "id " << id << " lang " << l;
            if (expected) {
                EXPECT_FALSE(text.endsWith(QLatin1Char('&'))) << "id " << id << " lang " << l;
            }
        }
        EXPECT_FALSE(lang.translation(35, l).contains(QLatin1Char('&'))) << l;

        std::set<QChar> keys;
        for (int id = 1; id <= 7; ++id) {
            const QString text = lang.translation(id, l);
            keys.insert(text.at(text.indexOf(QLatin1Char('&')) + 1).toLower());
        }
        EXPECT_EQ(keys.size(), 7u) << "File menu accelerators collide in lang " << l;
    }
}

TEST_F(C_languageTest, EveryTextFitsWindows1252) {
    for (const MessageRow& row : MessageRows) {
        for (int l = German; l <= French; ++l) {
            const QString text = lang.translation(row.id, l);
            EXPECT_TRUE(isWindows1252(text)) << "id " << row.id << " lang " << l;
            EXPECT_EQ(fromWindows1252(toWindows1252(text)), text) << "id " << row.id << " lang " << l;
        }
    }
}

TEST_F(C_languageTest, SetupNamesTheControlsOfAllFourWindows) {
    const auto english = lang.setup(English);
    ASSERT_EQ(english.size(), 76u);
    EXPECT_EQ(english.front().control, QLatin1String("FileMenu"));
    EXPECT_EQ(english.front().text, u8("&File"));  // id 0, refused by getmessage
    EXPECT_EQ(english.back().control, QLatin1String("Assist_label1"));

    std::set<std::pair<QString, QString>> seen;
    for (const auto& c : english) {
        EXPECT_TRUE(seen.insert({c.form, c.control}).second) << c.control.toStdString();
        const bool cleared = c.control == QLatin1String("LabelFahrerst2") ||
                             c.control == QLatin1String("LabelFahrerst4");
        EXPECT_EQ(c.text.isEmpty(), cleared) << c.control.toStdString();
    }

    struct Case {
        int l;
        const char *form, *control, *text;
    };
    const Case cases[] = {
        {French, "MainForm", "FileMenu", "&Fichier"},
        {French, "LocoForm", "Fertig_button", "Enregistrer"},
        {English, "MainForm", "S88modules1", "S88 modules"},
        {English, "MainForm", "Betrieb1", "&Drive"},
        {English, "MainForm", "automatisch1", "&Automatic"},
        {English, "MainForm", "Info1", "&Info"},
        {English, "MainForm", "LabelFahrdel2", "Track number"},
        {English, "MainForm", "ButtonDel_del", "Delete"},
        {English, "LocoForm", "RadioGroup2", "Maerklin decoder"},
        {English, "LocoForm", "Cancel_button", "Cancel"},
        {English, "LocoForm", "GroupBox2", "Protocol"},
        {English, "SetupForm", "SetupForm", "Quarn setup"},
        {English, "SetupForm", "Ok_button", "Save"},
        {English, "AssistForm", "Select_button", "Select this option"},
        {German, "MainForm", "FileMenu", "&Datei"},
        {German, "SetupForm", "Cancel_button", "Abbrechen"},
        {Italian, "MainForm", "Betrieb1", "Condu&zione"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(captionOf(c.l, c.form, c.control), u8(c.text)) << c.form << "." << c.control;

    // A language outside the table reads nothing outside it: every text comes back empty.
    for (const auto& c : lang.setup(42))
        EXPECT_TRUE(c.text.isEmpty()) << c.control.toStdString();
}

// Texts the program gives in English (system errors, the reasons of the layout reader) come out in
// the user's language, with their filled-in parts (also those the table knows) put in place.
TEST(C_languageLocalize, EnglishTextsAndFilledInTemplatesInEveryLanguage)
{
    const C_language lang;
    const QString missing = QStringLiteral("Cannot open file \"/data/Icon0101.bmp\". No such file or directory");
    EXPECT_EQ(lang.localize(missing, 1),
              QStringLiteral("Die Datei \"/data/Icon0101.bmp\" kann nicht geöffnet werden. Datei oder Verzeichnis nicht gefunden"));
    EXPECT_EQ(lang.localize(missing, 2), missing);
    EXPECT_EQ(lang.localize(QStringLiteral("Permission denied"), 7), QStringLiteral("Permission refusée"));

    // the layout load message: several lines, each put into the language on its own
    const QString reasons = QStringLiteral("Element record 3 (line 40): position (27, 54) is taken again by a later "
                                           "record\nText labels: the file ends at line 700: the text-label count is "
                                           "missing\nElement record 9: element records 9 to 12 of 12 are missing");
    EXPECT_EQ(lang.localize(reasons, 1),
              QStringLiteral("Elementdatensatz 3 (Zeile 40): die Position (27, 54) wird von einem späteren Datensatz "
                             "erneut belegt\nTexte: die Datei endet in Zeile 700: die Anzahl der Texte fehlt\n"
                             "Elementdatensatz 9: Elementdatensätze 9 bis 12 von 12 fehlen"));
    // every language has its own text for each line; none stays English
    for (int l : {1, 3, 4, 5, 6, 7}) {
        const QStringList lines = lang.localize(reasons, l).split(QLatin1Char('\n'));
        const QStringList english = reasons.split(QLatin1Char('\n'));
        ASSERT_EQ(lines.size(), 3);
        for (int i = 0; i < 3; ++i)
            EXPECT_NE(lines[i], english[i]) << l;
    }
    // a text the table does not know, and a language outside the table, leave the text as it is
    EXPECT_EQ(lang.localize(QStringLiteral("Bahnhof Süd"), 1), QStringLiteral("Bahnhof Süd"));
    EXPECT_EQ(lang.localize(QStringLiteral("Permission denied"), 9), QStringLiteral("Permission denied"));
    // the table's own texts are found too
    EXPECT_EQ(lang.localize(QStringLiteral("Error"), 5), QStringLiteral("Errore"));
    EXPECT_EQ(lang.idOfEnglish(QStringLiteral("Global settings")) >= C_language::FirstFixedText, true);
    // the program's fixed English texts are not messages: they stay as they are in every language
    for (int l = 1; l <= 7; ++l)
        for (const char* fixed : {"WorkDir: /opt/quarn/", "Power on", "Power off", "Power mixed", "not connected to server",
                                  "Loco data could not sent do server", "Quarn Assistent", "true", "false"})
            EXPECT_EQ(lang.localize(QString::fromUtf8(fixed), l), QString::fromUtf8(fixed)) << l;
}
