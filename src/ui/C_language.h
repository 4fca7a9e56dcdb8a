#pragma once
// The message table: every user-visible text in seven languages, built into the program.
// Column = Lang_id: 1 German, 2 English, 3 Swedish, 4 Spanish, 5 Italian, 6 Dutch, 7 French.

#include <QString>

#include <vector>

class C_language {
public:
    static constexpr int Rows = 501;     // ids 0..500
    static constexpr int Columns = 9;    // 0 and 8 stay empty

    C_language();

    // Translation[id][lang] for 1 <= id <= 499, otherwise empty.
    QString getmessage(int id, int lang) const;

    // One caption that setup() assigns: the control's object name and its text.
    struct Caption {
        QString control;
        QString text;
    };
    // The captions of the main window and the dialogs for language `lang`, in table order. The GUI
    // applies them to the controls (actions, labels, buttons) whose objectName equals `control`.
    std::vector<Caption> setup(int lang) const;

    // Direct table access (setup reads id 0 this way).
    const QString& translation(int id, int column) const;

private:
    std::vector<QString> Translation;  // Rows * Columns, row-major
};

extern C_language* Lang;
