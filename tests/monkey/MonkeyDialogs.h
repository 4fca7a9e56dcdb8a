#pragma once
// The monkey's answers to every message box, input query, file and font dialog: drawn from the
// run's random stream, so a seed repeats them. File dialogs answer with files of the folder they
// show (or a new name in it), now and then with a name that does not exist, or cancel.

#include "base/UserDialogs.h"

#include <QDir>
#include <QRegularExpression>

#include <map>
#include <random>

class MonkeyDialogs : public UserDialogs {
public:
    explicit MonkeyDialogs(std::mt19937_64& rng) : m_rng(rng) {}

    std::map<QString, int> asked;  // requests by kind

    int messageBox(const QString&, const QString&, Icon, int buttons) override
    {
        ++asked[QStringLiteral("message")];
        std::vector<int> offered;
        for (int b : {Ok, Cancel, Yes, No})
            if (buttons & b)
                offered.push_back(b);
        return offered.empty() ? Ok : offered[pick(offered.size())];
    }
    void showError(const QString&) override { ++asked[QStringLiteral("error")]; }
    std::optional<QString> inputQuery(const QString&, const QString&, const QString& initial) override
    {
        ++asked[QStringLiteral("input")];
        switch (pick(6)) {
        case 0: return std::nullopt;
        case 1: return initial;
        case 2: return QString::number(int(pick(3000)) - 100);
        case 3: return QString();
        case 4: return QStringLiteral("x\x01;\"%1\"").arg(pick(99));
        default: return QString::number(pick(90));
        }
    }
    std::optional<QString> openFileName(const QString&, const QString& folder, const QString& filter) override
    {
        ++asked[QStringLiteral("open")];
        const QString suffix = suffixOf(filter);
        const QStringList files = QDir(folder).entryList({QStringLiteral("*") + suffix}, QDir::Files, QDir::Name);
        const std::size_t n = pick(10);
        if (n == 0)
            return std::nullopt;
        if (n == 1 || files.isEmpty())
            return QDir(folder).filePath(QStringLiteral("Missing") + suffix);
        return QDir(folder).filePath(files[int(pick(std::size_t(files.size())))]);
    }
    std::optional<QString> saveFileName(const QString&, const QString& folder, const QString& filter) override
    {
        ++asked[QStringLiteral("save")];
        const std::size_t n = pick(6);
        if (n == 0)
            return std::nullopt;
        return QDir(folder).filePath(QStringLiteral("Monkey%1").arg(n) + suffixOf(filter));
    }
    std::optional<QFont> chooseFont(const QFont& initial) override
    {
        ++asked[QStringLiteral("font")];
        if (pick(3) == 0)
            return std::nullopt;
        QFont f = initial;
        f.setPointSize(int(4 + pick(40)));
        f.setBold(pick(2) == 0);
        return f;
    }
    int choice(const QString&, const QString&, Icon, const QStringList& buttons, int escape) override
    {
        ++asked[QStringLiteral("choice")];
        const std::size_t n = pick(std::size_t(buttons.size()) + 1);
        return n == std::size_t(buttons.size()) ? escape : int(n);
    }

private:
    std::size_t pick(std::size_t n) { return n == 0 ? 0 : std::uniform_int_distribution<std::size_t>(0, n - 1)(m_rng); }
    static QString suffixOf(const QString& filter)
    {
        const auto m = QRegularExpression(QStringLiteral("\\*(\\.[A-Za-z0-9]+)")).match(filter);
        return m.hasMatch() ? m.captured(1) : QStringLiteral(".pln");
    }

    std::mt19937_64& m_rng;
};
