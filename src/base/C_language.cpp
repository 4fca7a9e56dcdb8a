#include "base/C_language.h"

#include <algorithm>

#include "base/MessageTexts.h"

#include <array>

C_language* Lang = nullptr;

namespace {

// What setup() assigns: window, control, message id (-1: the control is cleared).
struct CaptionSource {
    const char* form;
    const char* control;
    int id;
};

constexpr std::array<CaptionSource, 76> CaptionSources{{
    // Main menu
    {"MainForm", "FileMenu", 0},
    {"MainForm", "Neu1", 1},
    {"MainForm", "Oeffnen1", 2},
    {"MainForm", "Speichern1", 3},
    {"MainForm", "Speichernals1", 4},
    {"MainForm", "Hostverbinden1", 5},
    {"MainForm", "Hosttrennen1", 6},
    {"MainForm", "Ende1", 7},
    {"MainForm", "Optionen1", 8},
    {"MainForm", "Gleisbildentwerfen1", 9},
    {"MainForm", "DecoderAdressen1", 10},
    {"MainForm", "Text1", 11},
    {"MainForm", "S88modules1", 35},
    {"MainForm", "Betrieb1", 12},
    {"MainForm", "Fahrstrassen1", 13},
    {"MainForm", "Softregler1", 14},
    {"MainForm", "Joystickeinrichten1", 15},
    {"MainForm", "Einstellungen1", 16},
    {"MainForm", "IPAddrHost1", 17},
    {"MainForm", "Joystickcalibrieren1", 18},
    {"MainForm", "Rckmeldemodule1", 19},
    {"MainForm", "Abfragestarten1", 20},
    {"MainForm", "Abfragebeenden1", 21},
    {"MainForm", "Reset1", 22},
    {"MainForm", "Befehle1", 23},
    {"MainForm", "Spannungan1", 24},
    {"MainForm", "Spannungaus1", 25},
    {"MainForm", "Initialisierung1", 26},
    {"MainForm", "Zeit1", 27},
    {"MainForm", "Decoderprogrammieren1", 28},
    {"MainForm", "FreieBefehle1", 29},
    {"MainForm", "Bildschirm1", 30},
    {"MainForm", "automatisch1", 31},
    {"MainForm", "Hilfe1", 32},
    {"MainForm", "QuarnHilfe1", 33},
    {"MainForm", "Info1", 34},
    // Decoder-address panel
    {"MainForm", "Decod_label", 40},
    {"MainForm", "Daten_label", 41},
    {"MainForm", "Protokoll_label", 42},
    {"MainForm", "Speichern_button", 43},
    // Route editor
    {"MainForm", "TabSheet1", 50},
    {"MainForm", "TabSheet2", 51},
    {"MainForm", "LabelFahrerst1", 52},
    {"MainForm", "LabelFahrerst3", 53},
    {"MainForm", "LabelFahrdel1", 52},
    {"MainForm", "LabelFahrdel2", 53},
    {"MainForm", "LabelFahrerst2", -1},
    {"MainForm", "LabelFahrerst4", -1},
    {"MainForm", "Buttonverbinden", 54},
    {"MainForm", "ButtonFahrerst_speichern", 55},
    {"MainForm", "ButtonFahrerst_cancel", 56},
    {"MainForm", "ButtonDel_del", 57},
    // Loco setup dialog
    {"LocoForm", "Maerklin_label", 64},
    {"LocoForm", "RadioGroup2", 64},
    {"LocoForm", "DCC_label", 65},
    {"LocoForm", "RadioGroup1", 65},
    {"LocoForm", "Adresse_label", 60},
    {"LocoForm", "Beschreibung_label", 61},
    {"LocoForm", "Joystick_label", 63},
    {"LocoForm", "Fertig_button", 66},
    {"LocoForm", "Cancel_button", 67},
    {"LocoForm", "Zeigen_button", 68},
    {"LocoForm", "GroupBox2", 42},
    // Settings dialog
    {"SetupForm", "Labelhost", 77},
    {"SetupForm", "Infokanal_label", 70},
    {"SetupForm", "SetupForm", 71},
    {"SetupForm", "Cancel_button", 56},
    {"SetupForm", "Ok_button", 55},
    {"SetupForm", "Labellang", 76},
    {"SetupForm", "LabelSRCPVersion", 78},
    {"SetupForm", "LabelJoymod", 79},
    {"SetupForm", "LabelReconnect", 530},
    {"SetupForm", "LabelPowerReconnect", 650},
    // Assistant
    {"AssistForm", "Close_button", 80},
    {"AssistForm", "Select_button", 81},
    {"AssistForm", "Assist_label1", 82},
}};

}  // namespace

// Every row of the built-in table has a place in it.
static_assert(std::all_of(MessageRows.begin(), MessageRows.end(),
                          [](const MessageRow& row) { return row.id >= 0 && row.id < C_language::Rows; }),
              "a message id beyond C_language::Rows");

C_language::C_language() : Translation(static_cast<std::size_t>(Rows) * Columns) {
    for (const MessageRow& row : MessageRows) {
        for (std::size_t lang = 0; lang < row.text.size(); ++lang) {
            const std::string_view text = row.text[lang];
            Translation[static_cast<std::size_t>(row.id) * Columns + lang + 1] =
                QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
        }
    }
    static const QRegularExpression placeholder(QStringLiteral("%[1-9]"));
    for (int id = 1; id < Rows; ++id) {
        if (id > 499 && id < FirstAddedId)
            continue;
        const QString& english = translation(id, 2);
        if (english.trimmed().isEmpty())
            continue;
        if (!english.contains(placeholder)) {
            m_english.insert(english, m_english.value(english, id));
            for (int column = 1; column <= 7; ++column)
                if (const QString& text = translation(id, column); !text.trimmed().isEmpty() && !m_anyText.contains(text))
                    m_anyText.insert(text, id);
            continue;
        }
        QString pattern = QRegularExpression::escape(english);
        static const QRegularExpression escapedPlaceholder(QStringLiteral("\\\\%[1-9]"));
        pattern.replace(escapedPlaceholder, QStringLiteral("(.*?)"));
        m_templates.push_back({QRegularExpression(QLatin1Char('^') + pattern + QLatin1Char('$'),
                                                  QRegularExpression::DotMatchesEverythingOption),
                               id});
    }
    // The most specific template first: the one with the most fixed text.
    std::stable_sort(m_templates.begin(), m_templates.end(), [this](const Template& a, const Template& b) {
        return translation(a.id, 2).size() > translation(b.id, 2).size();
    });
}

QString C_language::localize(const QString& english, int lang) const
{
    if (lang < 1 || lang > 7 || english.isEmpty())
        return english;
    const QStringList lines = english.split(QLatin1Char('\n'));
    QStringList out;
    out.reserve(lines.size());
    for (const QString& line : lines)
        out.push_back(localizeLine(line, lang, 0));
    return out.join(QLatin1Char('\n'));
}

QString C_language::localizeLine(const QString& english, int lang, int depth) const
{
    if (english.isEmpty() || depth > 3)
        return english;
    if (const int id = m_english.value(english, -1); id >= 0) {
        const QString& text = translation(id, lang);
        return text.isEmpty() ? english : text;
    }
    // a whole text of the table in another language (a caption set before the language changed)
    if (const int id = m_anyText.value(english, -1); id >= 0) {
        const QString& text = translation(id, lang);
        return text.isEmpty() ? english : text;
    }
    if (lang == 2)
        return english;
    for (const Template& t : m_templates) {
        const QRegularExpressionMatch m = t.pattern.match(english);
        if (!m.hasMatch())
            continue;
        const QString& text = translation(t.id, lang);
        if (text.isEmpty())
            return english;
        // Each %n of the translation takes the n-th part of the English template.
        static const QRegularExpression number(QStringLiteral("%[1-9]"));
        const QString& source = translation(t.id, 2);
        QStringList order;  // placeholders in the order they appear in the English text
        for (auto it = number.globalMatch(source); it.hasNext();)
            order.push_back(it.next().captured());
        QString result;
        qsizetype at = 0;
        for (auto it = number.globalMatch(text); it.hasNext();) {
            const QRegularExpressionMatch p = it.next();
            result += text.mid(at, p.capturedStart() - at);
            const qsizetype k = order.indexOf(p.captured());
            result += k >= 0 ? localizeLine(m.captured(int(k) + 1), lang, depth + 1) : p.captured();
            at = p.capturedEnd();
        }
        result += text.mid(at);
        return result;
    }
    return english;
}

const QString& C_language::translation(int id, int column) const {
    static const QString empty;
    if (id < 0 || id >= Rows || column < 0 || column >= Columns)
        return empty;
    return Translation[static_cast<std::size_t>(id) * Columns + static_cast<std::size_t>(column)];
}

QString C_language::getmessage(int id, int lang) const {
    if (id < 1 || (id > 499 && id < FirstAddedId))
        return {};
    return translation(id, lang);
}

std::vector<C_language::Caption> C_language::setup(int lang) const {
    std::vector<Caption> captions;
    captions.reserve(CaptionSources.size());
    for (const CaptionSource& source : CaptionSources) {
        captions.push_back({QString::fromLatin1(source.control),
                            source.id < 0 ? QString() : translation(source.id, lang),
                            QString::fromLatin1(source.form)});
    }
    return captions;
}
