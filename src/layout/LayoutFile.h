#pragma once
// The layout file: element count, 13-line element records, label count, 6-line label records; one
// value per line, lines ended by CR LF.

#include "layout/PositionTable.h"

#include <QByteArray>

#include <functional>
#include <memory>
#include <vector>

class C_Position;

QByteArray writeLayoutText(const C_Position& table, const std::vector<std::unique_ptr<TTextEntry>>& labels);

struct LayoutReadHooks {
    std::function<void(int count)> started;                         // N is known
    std::function<void(tPosEntry& entry, int kept)> elementAdded;   // entry is in the table already
    std::function<void(int count)> labelsStarted;                   // T is known
    std::function<void(TTextEntry& label)> labelAdded;              // label is in the list already
};

// Reads a layout text, appending kept elements to `table` and labels to `labels`. Returns N
// (the element count from the file) through `count` as soon as it is known and T through
// `labelCount`. Throws FileReadError or FontConversionError; what was added before stays.
void readLayoutText(const QByteArray& text, C_Position& table, std::vector<std::unique_ptr<TTextEntry>>& labels,
                    int& count, int& labelCount, const LayoutReadHooks& hooks);
