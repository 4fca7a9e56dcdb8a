#include "ui/WidgetDialogs.h"

#include <QApplication>
#include <QFileDialog>
#include <QFontDialog>
#include <QInputDialog>
#include <QMessageBox>
#include <QRegularExpression>

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
