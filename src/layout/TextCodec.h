#pragma once
// The one place where layout and catalogue strings cross the file boundary (8-bit code page).

#include <QByteArray>
#include <QString>

QByteArray toFileText(const QString& s);
QString fromFileText(const QByteArray& b);
