// Spaces the window's paints in time while a search walks.
//
// The walk lets the message loop run every few milliseconds so that input is
// handled; each such pass also painted whatever had changed (the counters,
// the progress bar, merged rows), and a paint that goes to an X server costs
// a few milliseconds: a rare search spent as long painting as walking. While a
// pacer is installed, the window paints at most once per gap; a paint asked for
// sooner waits until the gap is over (a timer, so it also comes during a
// dialog a handler opens). Input is not held back, only the paint.
#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QPointer>
#include <QTimer>
#include <QWidget>

class PaintPacer final : public QObject
{
public:
    PaintPacer(QWidget &window, qint64 gapNs);
    // Lets a paint that waits go out at the next message-loop pass.
    ~PaintPacer() override;

    // Whether a paint would go out now.
    bool due() const;
    // Paints every changed control of the window now, as one paint, unless the
    // last paint went out less than the gap ago. True when it painted.
    bool paintNow();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void paintWaiting();

    QPointer<QWidget> m_window;
    qint64 m_gapNs;
    QElapsedTimer m_sincePaint;
    bool m_waiting = false; // a paint was held back and has not gone out yet
    QTimer m_timer;
};
