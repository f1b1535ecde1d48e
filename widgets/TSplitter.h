// A splitter bar between two aligned controls: dragging it changes the size
// of the control it is attached to (the one on its left or above it).
#pragma once

#include <QWidget>

class TSplitter : public QWidget
{
    Q_OBJECT

public:
    // Vertical moves a horizontal bar up and down (resizes heights).
    TSplitter(Qt::Orientation resizes, QWidget *parent = nullptr);

    void setControl(QWidget *control) { m_control = control; }
    QWidget *control() const { return m_control; }

    // Neither side may shrink below this while dragging.
    static constexpr int kMinSize = 30;

signals:
    // The new width or height of the attached control.
    void moved(int extent);

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    int along(const QPointF &global) const;

    Qt::Orientation m_resizes;
    QWidget *m_control = nullptr;
    bool m_dragging = false;
    int m_startPos = 0;
    int m_startExtent = 0;
    int m_maxExtent = 0;
};
