#pragma once
// The message table: every user-visible text in seven languages, built into the program.
// Column = Lang_id: 1 German, 2 English, 3 Swedish, 4 Spanish, 5 Italian, 6 Dutch, 7 French.

#include <QHash>
#include <QRegularExpression>
#include <QString>

#include <vector>

class C_language {
public:
    static constexpr int Rows = 1200;    // ids 0..1199
    // Ids from here on are the program's own additions (texts of features the original table
    // lacks); getmessage serves them like the ids below 500.
    static constexpr int FirstAddedId = 510;
    static constexpr int Columns = 9;    // 0 and 8 stay empty

    C_language();

    // Translation[id][lang] for 1 <= id <= 499 and FirstAddedId <= id < Rows, otherwise empty
    // (also for a lang outside 0..8).
    QString getmessage(int id, int lang) const;

    // One caption that setup() assigns: the control's object name and its text.
    struct Caption {
        QString control;
        QString text;
        // objectName of the window that holds the control: "MainForm", "LocoForm", "SetupForm" or
        // "AssistForm" (the loco and settings dialogs both have a "Cancel_button"). The settings
        // dialog's own window title comes as control "SetupForm" in form "SetupForm".
        QString form;
    };
    // The captions of the main window and the dialogs for language `lang`, in table order. The GUI
    // applies them to the controls (actions, labels, buttons) whose objectName equals `control`.
    // Controls that are cleared get an empty text. A `lang` outside 0..8 gives empty texts.
    std::vector<Caption> setup(int lang) const;

    // Direct table access (setup reads id 0 this way); empty outside the table.
    const QString& translation(int id, int column) const;

    // The program's own texts that no control asks for by id (window and dialog texts, system
    // error texts, the reasons of the layout reader) have ids from here on; the windows and the
    // errors give them in English and `localize` finds them.
    static constexpr int FirstFixedText = 904;

    // An English text of the table in language `lang` (or a whole text of the table in another
    // language): a whole text, a text whose template has
    // %1, %2, ... filled in (the filled-in parts are put into the language too where the table
    // knows them), or several such lines. A text the table does not know comes back unchanged.
    QString localize(const QString& english, int lang) const;
    // The id whose English text is `english`, or -1.
    int idOfEnglish(const QString& english) const { return m_english.value(english, -1); }

private:
    QString localizeLine(const QString& english, int lang, int depth) const;
    std::vector<QString> Translation;  // Rows * Columns, row-major
    QHash<QString, int> m_english;     // English text -> its (first) id
    QHash<QString, int> m_anyText;     // text in any language -> its (first) id
    struct Template {
        QRegularExpression pattern;
        int id;
    };
    std::vector<Template> m_templates;  // English texts with %1.., longest first
};

extern C_language* Lang;
