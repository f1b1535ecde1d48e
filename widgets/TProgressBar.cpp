#include "widgets/TProgressBar.h"

#include <algorithm>

TProgressBar::TProgressBar(QWidget *parent) : QProgressBar(parent)
{
    setTextVisible(false);
    apply();
}

void TProgressBar::setMax(int max)
{
    m_max = max;
    m_min = std::min(m_min, m_max);
    apply();
}

void TProgressBar::setPosition(int position)
{
    m_position = position;
    apply();
}

void TProgressBar::stepIt()
{
    int next = m_position + m_step;
    if (next > m_max) next = m_max > m_min ? m_min + (next - m_min) % (m_max - m_min) : m_min;
    setPosition(next);
}

void TProgressBar::apply()
{
    m_position = std::clamp(m_position, m_min, m_max);
    if (m_max == m_min) {
        // Qt treats an empty range as "busy"; a one-step range at its start draws nothing.
        setRange(0, 1);
        setValue(0);
    } else {
        setRange(m_min, m_max);
        setValue(m_position);
    }
}
