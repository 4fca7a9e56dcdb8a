#include "ui/WidgetDialogs.h"

#include <QApplication>
#include <QFileDialog>
#include <QFontDialog>
#include <QInputDialog>
#include <QMessageBox>

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

std::optional<QString> WidgetDialogs::openFileName(const QString& title, const QString& folder,
                                                   const QString& filter)
{
    const QString name = QFileDialog::getOpenFileName(m_parent, title, folder, filter);
    if (name.isEmpty())
        return std::nullopt;
    return name;
}

std::optional<QString> WidgetDialogs::saveFileName(const QString& title, const QString& folder,
                                                   const QString& filter)
{
    const QString name = QFileDialog::getSaveFileName(m_parent, title, folder, filter);
    if (name.isEmpty())
        return std::nullopt;
    return name;
}

std::optional<QFont> WidgetDialogs::chooseFont(const QFont& initial)
{
    bool ok = false;
    const QFont font = QFontDialog::getFont(&ok, initial, m_parent);
    if (!ok)
        return std::nullopt;
    return font;
}
