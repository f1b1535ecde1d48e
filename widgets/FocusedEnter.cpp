#include "widgets/FocusedEnter.h"

#include <QAbstractButton>
#include <QKeyEvent>
#include <QLabel>
#include <QRegularExpression>

namespace FocusedEnter {

namespace {

// The target of a label's first link, or empty.
QString firstLink(const QLabel *label)
{
    static const QRegularExpression link(QStringLiteral(R"(<a\s[^>]*href\s*=\s*"([^"]*)\")"),
                                         QRegularExpression::CaseInsensitiveOption);
    return link.match(label->text()).captured(1);
}

class Filter : public QObject
{
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        return event->type() == QEvent::KeyPress && watched->isWidgetType() &&
               press(static_cast<QWidget *>(watched), static_cast<QKeyEvent *>(event));
    }
};

} // namespace

bool press(QWidget *focused, const QKeyEvent *event)
{
    if (!focused || !focused->isEnabled() ||
        (event->key() != Qt::Key_Return && event->key() != Qt::Key_Enter))
        return false;
    if (auto *button = qobject_cast<QAbstractButton *>(focused)) {
        button->click();
        return true;
    }
    auto *label = qobject_cast<QLabel *>(focused);
    if (!label || !(label->textInteractionFlags() & Qt::LinksAccessibleByKeyboard)) return false;
    // Tab gives the label the focus before it marks a link: Enter then means the
    // first one. A marked link the label opens itself.
    if (label->hasSelectedText()) return false;
    const QString link = firstLink(label);
    if (link.isEmpty()) return false;
    emit label->linkActivated(link);
    return true;
}

void install(QWidget *window)
{
    auto *filter = new Filter(window);
    for (QWidget *control : window->findChildren<QWidget *>())
        if (control->focusPolicy() & Qt::TabFocus) control->installEventFilter(filter);
}

} // namespace FocusedEnter
