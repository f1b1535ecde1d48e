#include "search/PaintPacer.h"

#include <QCoreApplication>
#include <QEvent>

PaintPacer::PaintPacer(QWidget &window, qint64 gapNs) : m_window(&window), m_gapNs(gapNs)
{
    m_timer.setSingleShot(true);
    m_timer.setTimerType(Qt::PreciseTimer);
    connect(&m_timer, &QTimer::timeout, this, &PaintPacer::paintWaiting);
    window.installEventFilter(this);
}

PaintPacer::~PaintPacer()
{
    if (!m_window) return;
    m_window->removeEventFilter(this);
    // Qt asks a window to paint once and waits for that request to be served
    // before it asks again: a request held back is asked for anew.
    if (m_waiting)
        QCoreApplication::postEvent(m_window, new QEvent(QEvent::UpdateRequest),
                                    Qt::LowEventPriority);
}

bool PaintPacer::due() const
{
    return !m_sincePaint.isValid() || m_sincePaint.nsecsElapsed() >= m_gapNs;
}

bool PaintPacer::paintNow()
{
    if (!m_window || !due()) return false;
    QEvent request(QEvent::UpdateRequest);
    QCoreApplication::sendEvent(m_window, &request);
    return true;
}

void PaintPacer::paintWaiting()
{
    if (m_waiting) paintNow();
}

bool PaintPacer::eventFilter(QObject *watched, QEvent *event)
{
    if (watched != m_window || event->type() != QEvent::UpdateRequest) return false;
    if (m_sincePaint.isValid()) {
        const qint64 left = m_gapNs - m_sincePaint.nsecsElapsed();
        if (left > 0) {
            m_waiting = true;
            if (!m_timer.isActive()) m_timer.start(int((left + 999'999) / 1'000'000));
            return true;
        }
    }
    m_waiting = false;
    m_timer.stop();
    m_sincePaint.start();
    return false;
}
