#include "app/Dialogs.h"

#include "widgets/FocusedEnter.h"
#include "widgets/QtText.h"

#include <QApplication>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFontMetrics>
#include <QLabel>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>
#include <algorithm>
#include <string_view>
#include <vector>

namespace Dialogs {

namespace {

// Characters a box shows on one line before it wraps, roughly.
constexpr std::size_t kLineWidth = 80;

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

// A word wider than the screen's room, such as a very deep key path, would widen
// the box past the screen: it gets an invisible break chance every line width, so
// it wraps there. Every other word stays as it is.
QString breakable(const QString &text, const QFontMetrics &metrics, int room)
{
    QString out;
    out.reserve(text.size());
    for (qsizetype at = 0; at < text.size();) {
        qsizetype end = at;
        while (end < text.size() && !text.at(end).isSpace())
            ++end;
        const QString word = text.mid(at, end - at);
        if (word.size() > qsizetype(kLineWidth) && metrics.horizontalAdvance(word) > room) {
            for (qsizetype piece = 0; piece < word.size();) {
                qsizetype size = std::min(qsizetype(kLineWidth), word.size() - piece);
                if (piece + size < word.size() && word.at(piece + size).isLowSurrogate())
                    ++size; // pairs stay whole
                if (piece > 0) out += QChar(0x200B);
                out += QStringView(word).mid(piece, size);
                piece += size;
            }
        } else {
            out += word;
        }
        for (; end < text.size() && text.at(end).isSpace(); ++end)
            out += text.at(end);
        at = end;
    }
    return out;
}

// What a question will do, item by item, however long: a list to scroll.
void showList(QWidget *parent, const std::string &details)
{
    QDialog dialog(parent);
    dialog.setObjectName(QStringLiteral("ListDialog"));
    dialog.setWindowTitle(QStringLiteral("What will be done"));
    auto *list = new QPlainTextEdit(toQt(details), &dialog);
    list->setReadOnly(true);
    list->setLineWrapMode(QPlainTextEdit::NoWrap);
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Close, &dialog);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    auto *layout = new QVBoxLayout(&dialog);
    layout->addWidget(list);
    layout->addWidget(buttons);
    dialog.resize(720, 420);
    dialog.exec();
}

std::string showBox(const TDialogRecord &record)
{
    QMessageBox box(iconFor(record.kind), toQt(record.caption), QString(), QMessageBox::NoButton,
                    QApplication::activeWindow());
    // Texts carry registry names, which may look like markup; they show as written.
    box.setTextFormat(Qt::PlainText);
    // The icon and the margins take about this much of the screen's width.
    const int room = (box.screen() ? box.screen()->availableGeometry().width() : 800) - 160;
    box.setText(breakable(toQt(boxText(record.text)), box.fontMetrics(), room));
    // The counts below the question, and a link to the whole list: a button of its
    // own would change the question's row of buttons.
    if (!record.informative.empty() || !record.details.empty()) {
        QString below = breakable(toQt(boxText(record.informative)), box.fontMetrics(), room);
        if (!record.details.empty()) {
            below = below.toHtmlEscaped().replace(QLatin1Char('\n'), QLatin1String("<br>"));
            below += QStringLiteral(" <a href=\"list\">Show the list\u2026</a>");
        }
        box.setInformativeText(below);
        if (auto *label = box.findChild<QLabel *>(QStringLiteral("qt_msgbox_informativelabel"));
            label && !record.details.empty()) {
            label->setTextFormat(Qt::RichText);
            label->setTextInteractionFlags(Qt::LinksAccessibleByMouse |
                                           Qt::LinksAccessibleByKeyboard);
            label->setOpenExternalLinks(false);
            QObject::connect(label, &QLabel::linkActivated, &box,
                             [&box, &record] { showList(&box, record.details); });
        }
    }
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
    FocusedEnter::install(&box);
    box.exec();
    const QAbstractButton *clicked = box.clickedButton();
    return clicked ? fromQt(clicked->text()) : std::string();
}

// UTF-8 characters: bytes that do not continue a character.
std::size_t characters(std::string_view text)
{
    std::size_t count = 0;
    for (const char byte : text)
        if ((static_cast<unsigned char>(byte) & 0xC0) != 0x80) ++count;
    return count;
}

// The longest start of `text` with at most `limit` characters, whole characters only.
std::string_view firstCharacters(std::string_view text, std::size_t limit)
{
    std::size_t count = 0;
    for (std::size_t at = 0; at < text.size(); ++at)
        if ((static_cast<unsigned char>(text[at]) & 0xC0) != 0x80 && count++ == limit)
            return text.substr(0, at);
    return text;
}

// The box lines a text line takes once wrapped.
std::size_t boxLines(std::string_view line)
{
    return std::max<std::size_t>(1, (characters(line) + kLineWidth - 1) / kLineWidth);
}

} // namespace

std::string boxText(const std::string &text)
{
    std::vector<std::string_view> lines;
    for (std::size_t start = 0;;) {
        const std::size_t end = text.find('\n', start);
        lines.push_back(std::string_view(text).substr(start, end - start));
        if (end == std::string::npos) break;
        start = end + 1;
    }
    if (lines.size() > 1 && lines.back().empty()) lines.pop_back(); // a closing line break
    std::size_t used = 0, shown = 0;
    for (; shown < lines.size(); ++shown) {
        used += boxLines(lines[shown]);
        if (used > kBoxLines) break;
    }
    if (shown == lines.size()) return text;

    // One box line goes to the count of the lines left out.
    std::string cut;
    used = 0;
    shown = 0;
    for (; shown < lines.size() && used + boxLines(lines[shown]) < kBoxLines; ++shown) {
        used += boxLines(lines[shown]);
        cut.append(lines[shown]);
        cut += '\n';
    }
    if (shown == 0) {
        cut.append(firstCharacters(lines[0], (kBoxLines - 1) * kLineWidth));
        cut += "...\n";
        shown = 1;
    }
    const std::size_t left = lines.size() - shown;
    if (left == 0) {
        cut.pop_back();
        return cut;
    }
    return cut + "and " + std::to_string(left) + (left == 1 ? " more line" : " more lines");
}

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

bool confirmShowing(const std::string &text, const std::string &informative,
                    const std::string &details)
{
    TDialogRecord record = recordFor(TDialogKind::Confirmation, text);
    record.informative = informative;
    record.details = details;
    return show(record) == kOk;
}

std::string listText(const std::string &heading, const std::vector<std::string> &items)
{
    return listText(heading, items, items.size());
}

std::string listText(const std::string &heading, const std::vector<std::string> &items,
                     std::size_t total)
{
    constexpr std::size_t kShown = 5;
    std::string text = heading;
    std::size_t shown = 0;
    for (; shown < items.size() && shown < kShown; ++shown)
        text += "\n\r" + items[shown];
    if (total > shown) text += "\n\rand " + std::to_string(total - shown) + " more";
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
