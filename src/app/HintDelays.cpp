#include "app/HintDelays.h"

int HintDelayStyle::styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                              QStyleHintReturn* returnData) const
{
    if (hint == SH_ToolTip_WakeUpDelay)
        return HintPause;
    if (hint == SH_ToolTip_FallAsleepDelay)
        return HintShortPause;
    return QProxyStyle::styleHint(hint, option, widget, returnData);
}
