#include "loco/ThrottleKeys.h"

#include "loco/ThrottleModel.h"

#include <algorithm>

namespace {

// Where the slider of a centre-zero regulator stands still (as the stop-all puts it).
int middle(int max)
{
    return max - max / 2;
}

}  // namespace

void ThrottleKeys::select(int Device)
{
    if (Device >= 0 && Device < ThrottleModel::Count)
        m_selected = Device;
}

int ThrottleKeys::step(int max)
{
    return std::max(1, (max + 10) / 20);
}

void ThrottleKeys::faster()
{
    const RegulatorView& r = m_model.regulator(m_selected);
    const int s = step(r.Max);
    int target = r.Position - s;  // upwards: faster in normal operation
    if (r.Checked && r.Position > middle(r.Max))
        target = r.Position + s;  // lower half: direction 1, faster downwards
    m_model.moveSlider(m_selected, std::clamp(target, 0, r.Max));
}

void ThrottleKeys::slower()
{
    const RegulatorView& r = m_model.regulator(m_selected);
    const int s = step(r.Max);
    int target = std::min(r.Position + s, r.Max);
    if (r.Checked) {
        const int mid = middle(r.Max);
        target = r.Position < mid ? std::min(r.Position + s, mid) : std::max(r.Position - s, mid);
    }
    m_model.moveSlider(m_selected, std::clamp(target, 0, r.Max));
}

void ThrottleKeys::stop()
{
    const RegulatorView& r = m_model.regulator(m_selected);
    m_model.moveSlider(m_selected, r.Checked ? middle(r.Max) : r.Max);
}

void ThrottleKeys::reverse()
{
    m_model.SpeedButton1Click(m_selected);
}

void ThrottleKeys::function(int k)
{
    if (k == 0)
        m_model.Func_pic1Click(m_selected);
    else if (k >= 1 && k <= 4)
        m_model.FuncPicClick(k, m_selected + 1);
}
