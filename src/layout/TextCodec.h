#pragma once
// The one place where layout and catalogue strings cross the file boundary (8-bit code page).

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>

QByteArray toFileText(QStringView s);
// The same, appended to `out`.
void appendFileText(QByteArray& out, QStringView s);
QString fromFileText(QByteArrayView b);
