// A panel: a plain container with a one-pixel raised bevel.
#pragma once

#include <QWidget>

class TPanel : public QWidget
{
    Q_OBJECT

public:
    explicit TPanel(QWidget *parent = nullptr);

    // Aligned children keep this far from the edges.
    static constexpr int kBevelWidth = 1;

protected:
    void paintEvent(QPaintEvent *event) override;
};
