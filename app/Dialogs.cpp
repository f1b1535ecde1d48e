#include "app/Dialogs.h"

#include "app/QtText.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>

namespace Dialogs {

namespace {

TAnswerer &answerer()
{
    static TAnswerer current;
    return current;
}

QMessageBox::Icon iconFor(TDialogKind kind)
{
    switch (kind) {
    case TDialogKind::Warning: return QMessageBox::Warning;
    case TDialogKind::Information: return QMessageBox::Information;
    case TDialogKind::Confirmation: return QMessageBox::Question;
    case TDialogKind::Error:
    case TDialogKind::ErrorDisplay: return QMessageBox::Critical;
    }
    return QMessageBox::NoIcon;
}

std::string showBox(const TDialogRecord &record)
{
    QMessageBox box(iconFor(record.kind), toQt(record.caption), QString(), QMessageBox::NoButton,
                    QApplication::activeWindow());
    // Texts carry registry names, which may look like markup; they show as written.
    box.setTextFormat(Qt::PlainText);
    box.setText(toQt(record.text));
    QPushButton *escape = nullptr;
    for (const std::string &text : record.buttons) {
        const bool cancel = text == kCancel;
        QPushButton *button =
            box.addButton(toQt(text), cancel ? QMessageBox::RejectRole : QMessageBox::AcceptRole);
        if (!escape || cancel) escape = button;
    }
    if (!record.buttons.empty())
        box.setDefaultButton(qobject_cast<QPushButton *>(box.buttons().first()));
    // Escape and the close button act like the last button that cancels (or the only one).
    box.setEscapeButton(escape);
    box.exec();
    const QAbstractButton *clicked = box.clickedButton();
    return clicked ? fromQt(clicked->text()) : std::string();
}

} // namespace

void setAnswerer(TAnswerer next)
{
    answerer() = std::move(next);
}

TDialogRecord recordFor(TDialogKind kind, const std::string &text)
{
    TDialogRecord record;
    record.kind = kind;
    record.text = text;
    record.buttons = {kOk};
    switch (kind) {
    case TDialogKind::Warning: record.caption = "Warnung"; break;
    case TDialogKind::Information: record.caption = "Informationen"; break;
    case TDialogKind::Confirmation:
        record.caption = "Best\xC3\xA4tigung";
        record.buttons = {kOk, kCancel};
        break;
    case TDialogKind::Error: record.caption = "Fehler"; break;
    case TDialogKind::ErrorDisplay:
        record.caption = fromQt(QCoreApplication::applicationName());
        break;
    }
    return record;
}

std::string show(const TDialogRecord &record)
{
    if (answerer()) return answerer()(record);
    return showBox(record);
}

void warning(const std::string &text)
{
    show(recordFor(TDialogKind::Warning, text));
}

void information(const std::string &text)
{
    show(recordFor(TDialogKind::Information, text));
}

void error(const std::string &text)
{
    show(recordFor(TDialogKind::Error, text));
}

bool confirm(const std::string &text)
{
    return show(recordFor(TDialogKind::Confirmation, text)) == kOk;
}

std::string listText(const std::string &heading, const std::vector<std::string> &items)
{
    constexpr std::size_t kShown = 5;
    std::string text = heading;
    for (std::size_t i = 0; i < items.size() && i < kShown; ++i)
        text += "\n\r" + items[i];
    if (items.size() > kShown) text += "\n\rand " + std::to_string(items.size() - kShown) + " more";
    return text;
}

std::string errorDisplayText(const std::string &message)
{
    // Byte compare: a multi-byte last character also gets its period.
    if (!message.empty() && static_cast<unsigned char>(message.back()) > '.') return message + '.';
    return message;
}

void errorDisplay(const std::string &message)
{
    show(recordFor(TDialogKind::ErrorDisplay, errorDisplayText(message)));
}

} // namespace Dialogs
