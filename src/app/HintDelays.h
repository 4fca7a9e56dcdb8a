#pragma once
// The program's hint timing: a hint appears 500 ms after the mouse came to rest on a control, and
// moving on to the next control within 400 ms shows its hint at once.

#include <QProxyStyle>

class HintDelayStyle : public QProxyStyle {
public:
    static constexpr int HintPause = 500;
    static constexpr int HintShortPause = 400;

    using QProxyStyle::QProxyStyle;
    int styleHint(StyleHint hint, const QStyleOption* option = nullptr, const QWidget* widget = nullptr,
                  QStyleHintReturn* returnData = nullptr) const override;
};
