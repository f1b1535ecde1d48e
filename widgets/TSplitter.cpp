#include "widgets/TSplitter.h"

#include "widgets/TAlignLayout.h"

#include <QMouseEvent>
#include <QPainter>
#include <algorithm>

TSplitter::TSplitter(Qt::Orientation resizes, QWidget *parent) : QWidget(parent), m_resizes(resizes)
{
    setCursor(resizes == Qt::Vertical ? Qt::SplitVCursor : Qt::SplitHCursor);
    setAutoFillBackground(true);
    setBackgroundRole(QPalette::Button);
}

int TSplitter::along(const QPointF &global) const
{
    return m_resizes == Qt::Vertical ? qRound(global.y()) : qRound(global.x());
}

void TSplitter::paintEvent(QPaintEvent *)
{
    // Beveled: a raised edge along the bar.
    QPainter painter(this);
    const QRect r = rect().adjusted(0, 0, -1, -1);
    painter.setPen(palette().color(QPalette::Light));
    painter.drawLine(r.topLeft(), m_resizes == Qt::Vertical ? r.topRight() : r.bottomLeft());
    painter.setPen(palette().color(QPalette::Dark));
    painter.drawLine(m_resizes == Qt::Vertical ? r.bottomLeft() : r.topRight(), r.bottomRight());
}

void TSplitter::mousePressEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton || !m_control || !parentWidget()) return;
    m_dragging = true;
    m_startPos = along(event->globalPosition());
    m_startExtent = m_resizes == Qt::Vertical ? m_control->height() : m_control->width();
    // Room behind the bar (inside the parent's bevel) that the other side may give up.
    const QWidget *parent = parentWidget();
    const int end = m_resizes == Qt::Vertical ? parent->height() : parent->width();
    const int barEnd = m_resizes == Qt::Vertical ? geometry().bottom() : geometry().right();
    const int room = end - 1 - (barEnd + 1);
    m_maxExtent = std::max(kMinSize, m_startExtent + room - kMinSize);
}

void TSplitter::mouseMoveEvent(QMouseEvent *event)
{
    if (!m_dragging) return;
    const int extent = std::clamp(m_startExtent + along(event->globalPosition()) - m_startPos,
                                  kMinSize, m_maxExtent);
    if (m_resizes == Qt::Vertical)
        m_control->resize(m_control->width(), extent);
    else
        m_control->resize(extent, m_control->height());
    if (auto *layout = qobject_cast<TAlignLayout *>(parentWidget()->layout())) layout->realign();
    emit moved(extent);
}

void TSplitter::mouseReleaseEvent(QMouseEvent *event)
{
    mouseMoveEvent(event);
    m_dragging = false;
}
