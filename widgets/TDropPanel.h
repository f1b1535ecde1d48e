// A panel that drops down below a button, closing like a menu when the user
// clicks elsewhere or presses Escape (a popup window of its own). Screen readers
// walk the accessibility tree from the application's windows, which leaves popups
// out: while a drop panel is open it is listed as a child of its window, so its
// controls can be found there.
#pragma once

#include <QFrame>

class TDropPanel : public QFrame
{
    Q_OBJECT

public:
    // `window` holds the panel; it must be a window made directly from QWidget.
    explicit TDropPanel(QWidget *window);
};
