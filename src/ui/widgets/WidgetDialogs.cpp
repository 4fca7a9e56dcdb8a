#include "ui/widgets/WidgetDialogs.h"

#include <QApplication>
#include <QFileDialog>
#include <QFontDialog>
#include <QInputDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QRegularExpression>

#include <vector>

int WidgetDialogs::messageBox(const QString& text, const QString& caption, Icon icon, int buttons)
{
    QMessageBox box(m_parent);
    box.setWindowTitle(caption);
    box.setText(text);
    switch (icon) {
    case Icon::None: box.setIcon(QMessageBox::NoIcon); break;
    case Icon::Information: box.setIcon(QMessageBox::Information); break;
    case Icon::Warning: box.setIcon(QMessageBox::Warning); break;
    case Icon::Error: box.setIcon(QMessageBox::Critical); break;
    case Icon::Question: box.setIcon(QMessageBox::Question); break;
    }
    QMessageBox::StandardButtons std;
    if (buttons & Ok) std |= QMessageBox::Ok;
    if (buttons & Cancel) std |= QMessageBox::Cancel;
    if (buttons & Yes) std |= QMessageBox::Yes;
    if (buttons & No) std |= QMessageBox::No;
    if (!std)
        std = QMessageBox::Ok;
    box.setStandardButtons(std);
    switch (box.exec()) {
    case QMessageBox::Cancel: return Cancel;
    case QMessageBox::Yes: return Yes;
    case QMessageBox::No: return No;
    default: return Ok;
    }
}

namespace {
QMessageBox::Icon boxIcon(UserDialogs::Icon icon)
{
    switch (icon) {
    case UserDialogs::Icon::Information: return QMessageBox::Information;
    case UserDialogs::Icon::Warning: return QMessageBox::Warning;
    case UserDialogs::Icon::Error: return QMessageBox::Critical;
    case UserDialogs::Icon::Question: return QMessageBox::Question;
    default: return QMessageBox::NoIcon;
    }
}
}  // namespace

int WidgetDialogs::choice(const QString& text, const QString& caption, Icon icon, const QStringList& buttons,
                          int escape)
{
    QMessageBox box(m_parent);
    box.setObjectName(QStringLiteral("ChoiceBox"));
    box.setWindowTitle(caption);
    box.setText(text);
    box.setIcon(boxIcon(icon));
    std::vector<QPushButton*> pushButtons;
    for (int i = 0; i < buttons.size(); ++i) {
        const QMessageBox::ButtonRole role = i == escape ? QMessageBox::RejectRole
                                             : i == 0    ? QMessageBox::AcceptRole
                                                         : QMessageBox::DestructiveRole;
        pushButtons.push_back(box.addButton(buttons[i], role));
    }
    if (!pushButtons.empty())
        box.setDefaultButton(pushButtons.front());
    if (escape >= 0 && escape < int(pushButtons.size()))
        box.setEscapeButton(pushButtons[size_t(escape)]);
    box.exec();
    for (size_t i = 0; i < pushButtons.size(); ++i)
        if (box.clickedButton() == pushButtons[i])
            return int(i);
    return escape;
}

void WidgetDialogs::showError(const QString& text)
{
    QMessageBox::critical(m_parent, QApplication::applicationName(), text);
}

std::optional<QString> WidgetDialogs::inputQuery(const QString& caption, const QString& prompt,
                                                 const QString& initial)
{
    bool ok = false;
    const QString text = QInputDialog::getText(m_parent, caption, prompt, QLineEdit::Normal, initial, &ok);
    if (!ok)
        return std::nullopt;
    return text;
}

std::optional<QString> WidgetDialogs::fileName(const QString& title, const QString& folder, const QString& filter,
                                               bool save)
{
    QFileDialog dialog(m_parent, title, folder, filter);
    dialog.setObjectName(QStringLiteral("FileDialog"));
    dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    if (!nativeFileDialogs)
        dialog.setOption(QFileDialog::DontUseNativeDialog);
    // A name typed without an extension gets the one of the first filter, e.g. "pln".
    static const QRegularExpression firstSuffix(QStringLiteral("\\(\\*\\.(\\w+)"));
    const QRegularExpressionMatch m = firstSuffix.match(filter);
    if (save && m.hasMatch())
        dialog.setDefaultSuffix(m.captured(1));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    const QString name = dialog.selectedFiles().constFirst();
    if (name.isEmpty())
        return std::nullopt;
    return name;
}

std::optional<QString> WidgetDialogs::openFileName(const QString& title, const QString& folder,
                                                   const QString& filter)
{
    return fileName(title, folder, filter, false);
}

std::optional<QString> WidgetDialogs::saveFileName(const QString& title, const QString& folder,
                                                   const QString& filter)
{
    return fileName(title, folder, filter, true);
}

std::optional<QFont> WidgetDialogs::chooseFont(const QFont& initial)
{
    bool ok = false;
    const QFont font = QFontDialog::getFont(&ok, initial, m_parent);
    if (!ok)
        return std::nullopt;
    return font;
}
