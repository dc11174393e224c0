#pragma once

#include "convert/colourdifference.h"

#include <algorithm>

namespace mosaiq {

// The smallest box holding some L*a*b* colours, a side to a channel.
class LabBox {
public:
    explicit LabBox(const LabColour& lab)
        : m_low(lab)
        , m_high(lab)
    {
    }
    void add(const LabColour& lab)
    {
        m_low = { std::min(m_low.l, lab.l), std::min(m_low.a, lab.a), std::min(m_low.b, lab.b) };
        m_high
            = { std::max(m_high.l, lab.l), std::max(m_high.a, lab.a), std::max(m_high.b, lab.b) };
    }
    LabColour centre() const
    {
        return { (m_low.l + m_high.l) / 2, (m_low.a + m_high.a) / 2, (m_low.b + m_high.b) / 2 };
    }

private:
    LabColour m_low, m_high;
};

} // namespace mosaiq
