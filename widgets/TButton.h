// A push button with the two dialog-key roles of the window: `default` (Enter
// presses it) and `cancel` (Escape presses it). The window routes the keys.
#pragma once

#include <QPushButton>

class TButton : public QPushButton
{
    Q_OBJECT
    Q_PROPERTY(bool cancel READ isCancel WRITE setCancel)

public:
    explicit TButton(const QString &text, QWidget *parent = nullptr);

    bool isCancel() const { return m_cancel; }
    void setCancel(bool cancel) { m_cancel = cancel; }

protected:
    // Enter on a focused button presses that button, as on the classic desktop.
    void keyPressEvent(QKeyEvent *event) override;

private:
    bool m_cancel = false;
};
