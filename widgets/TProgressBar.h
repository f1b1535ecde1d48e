// A progress bar from 0 with Max/Position/Step. An empty range (Max 0) shows an
// empty bar: Qt would show its busy animation there.
#pragma once

#include <QProgressBar>

class TProgressBar : public QProgressBar
{
    Q_OBJECT

public:
    explicit TProgressBar(QWidget *parent = nullptr);

    int max() const { return m_max; }
    int position() const { return m_position; }
    int step() const { return m_step; }

    void setMax(int max);
    // Clamped to the range.
    void setPosition(int position);
    void setStep(int step) { m_step = step; }
    // Advances by Step; past Max the bar starts over from Min.
    void stepIt();

private:
    void apply();

    int m_min = 0;
    int m_max = 100;
    int m_position = 0;
    int m_step = 10;
};
