// The settings dialog's notes beside the fields whose text the program cannot use, and the "Save"
// that refuses such text.
#include "app/TSetupForm.h"

#include "base/C_language.h"
#include "base/MessageTexts.h"

#include <QFormLayout>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QVBoxLayout>

namespace {

// The English text of a message, for a dialog shown before any language was given.
QString englishText(int id)
{
    for (const MessageRow& row : MessageRows)
        if (row.id == id)
            return QString::fromUtf8(row.text[1].data(), static_cast<qsizetype>(row.text[1].size()));
    return {};
}

// Puts `note` beside `field` in the layout that holds the field.
void placeBeside(QWidget* field, QLabel* note)
{
    QWidget* page = field->parentWidget();
    if (!page || !page->layout())
        return;
    if (auto* grid = qobject_cast<QGridLayout*>(page->layout())) {
        int row = 0, column = 0, rowSpan = 0, columnSpan = 0;
        const int index = grid->indexOf(field);
        if (index < 0)
            return;
        grid->getItemPosition(index, &row, &column, &rowSpan, &columnSpan);
        grid->addWidget(note, row, column + columnSpan);
    } else if (auto* form = qobject_cast<QFormLayout*>(page->layout())) {
        int row = -1;
        QFormLayout::ItemRole role{};
        form->getWidgetPosition(field, &row, &role);
        if (row < 0)
            return;
        form->removeWidget(field);
        auto* both = new QWidget(page);
        auto* h = new QHBoxLayout(both);
        h->setContentsMargins(0, 0, 0, 0);
        field->setParent(both);
        h->addWidget(field);
        h->addWidget(note);
        h->addStretch();
        form->setWidget(row, QFormLayout::FieldRole, both);
    }
}

}  // namespace

void TSetupForm::addChecks()
{
    const auto add = [this](QWidget* field, SetupField kind) {
        auto* note = new QLabel(field->parentWidget());
        note->setObjectName(field->objectName() + QStringLiteral("_note"));
        note->setStyleSheet(QStringLiteral("color: #b00000;"));
        note->setWordWrap(true);
        note->hide();
        placeBeside(field, note);
        m_checks.push_back({field, note, kind});
        if (auto* edit = qobject_cast<QLineEdit*>(field))
            connect(edit, &QLineEdit::textChanged, this, [this] { updateChecks(); });
        else if (auto* spin = qobject_cast<QSpinBox*>(field)) {
            connect(spin, &QSpinBox::textChanged, this, [this] { updateChecks(); });
            // Losing the focus, a spin box puts its value back in place of a text it cannot take,
            // without a word: the note goes with it.
            connect(spin, &QSpinBox::editingFinished, this, [this] { updateChecks(); });
            if (auto* text = spin->findChild<QLineEdit*>())  // every key, also one the value ignores
                connect(text, &QLineEdit::textChanged, this, [this] { updateChecks(); });
        }
    };
    add(Edithost, SetupField::Host);
    add(Editport, SetupField::Port);
    for (QSpinBox* bus : busUpDowns)
        add(bus, SetupField::Bus);
    add(udPhonePort, SetupField::PhonePort);
    add(EditPhoneAddress, SetupField::PhoneAddress);
    add(EditPhoneAllow, SetupField::PhoneAllow);
    add(udPhoneLimit, SetupField::PhoneLimit);
    // A spin box takes only the digits of its range, but an emptied field or a 0 stands until it
    // loses the focus: the note says why it will not be taken.
    updateChecks();
}

QString TSetupForm::fieldText(const FieldCheck& c) const
{
    if (const auto* edit = qobject_cast<const QLineEdit*>(c.field))
        return edit->text();
    if (const auto* spin = qobject_cast<const QSpinBox*>(c.field)) {
        const auto* text = spin->findChild<const QLineEdit*>();
        return text ? text->text().trimmed() : spin->cleanText();
    }
    return {};
}

bool TSetupForm::updateChecks()
{
    bool fine = true;
    for (const FieldCheck& c : m_checks) {
        const int problem = setupFieldProblem(c.kind, fieldText(c));
        fine = fine && problem == 0;
        if (problem == 0) {
            c.note->clear();
            c.note->hide();
            continue;
        }
        c.note->setText(m_noteLang ? m_noteLang->getmessage(problem, m_noteLangId) : englishText(problem));
        c.note->show();
    }
    Ok_button->setEnabled(fine);
    return fine;
}

QString TSetupForm::noteFor(const QWidget* field) const
{
    for (const FieldCheck& c : m_checks)
        if (c.field == field)
            return c.note->isHidden() ? QString() : c.note->text();
    return {};
}

void TSetupForm::accept()
{
    if (!updateChecks()) {
        // Show the first field that cannot be taken.
        for (const FieldCheck& c : m_checks) {
            if (setupFieldProblem(c.kind, fieldText(c)) == 0)
                continue;
            for (int page = 0; page < PageControl->count(); ++page)
                if (PageControl->widget(page)->isAncestorOf(c.field))
                    PageControl->setCurrentIndex(page);
            c.field->setFocus();
            break;
        }
        return;
    }
    QDialog::accept();
}
