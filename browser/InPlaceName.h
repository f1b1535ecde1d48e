// A name edited in place over a tree node or a value row (F2, and after "New"):
// Enter or leaving the field keeps the text, Escape drops it. It says so once,
// then goes.
#pragma once

#include <QLineEdit>

#include <functional>
#include <string>

class InPlaceName : public QLineEdit
{
    Q_OBJECT

public:
    // `done` runs once: whether the text is kept, and the text.
    InPlaceName(QWidget *viewport, const QRect &where, const std::string &name,
                std::function<void(bool, const std::string &)> done);

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;

private:
    void end(bool keep);

    std::function<void(bool, const std::string &)> m_done;
    bool m_ended = false;
};
