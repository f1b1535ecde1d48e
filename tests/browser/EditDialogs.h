// Driving the browser's editing dialogs from tests: the editors are modal, so a
// step is queued before the dialog opens and runs once it shows.
#pragma once

#include "browser/ValueEditors.h"

#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QTimer>

#include "registry/win32/winreg.h"

#include <functional>
#include <memory>
#include <ostream>
#include <string>
#include <string_view>

// Runs `step` on the next modal dialog as soon as it shows; `step` ends it
// (accept() or reject()). Whether it ran, `ran` says. A dialog that does not
// come within a few seconds is given up, so that the step cannot act on the
// dialog of a later case.
inline void whenDialogShows(std::function<void(QDialog &)> step, bool *ran = nullptr)
{
    auto *timer = new QTimer;
    timer->setInterval(5);
    auto ticks = std::make_shared<int>(0);
    QObject::connect(timer, &QTimer::timeout, [timer, step, ran, ticks] {
        auto *dialog = qobject_cast<QDialog *>(QApplication::activeModalWidget());
        if (!dialog || !dialog->isVisible()) {
            if (++*ticks > 1000) {
                timer->stop();
                timer->deleteLater();
            }
            return;
        }
        timer->stop();
        timer->deleteLater();
        if (ran) *ran = true;
        step(*dialog);
    });
    timer->start();
}

// The editor's data field as its text (one line, or the lines of a list or of hex pairs).
inline void setEditorText(QDialog &dialog, const std::string &text)
{
    if (auto *line = dialog.findChild<QLineEdit *>(QStringLiteral("ValueData")))
        line->setText(QString::fromStdString(text));
    else if (auto *lines = dialog.findChild<QPlainTextEdit *>(QStringLiteral("ValueData")))
        lines->setPlainText(QString::fromStdString(text));
}

inline std::string editorText(QDialog &dialog)
{
    if (auto *line = dialog.findChild<QLineEdit *>(QStringLiteral("ValueData")))
        return line->text().toStdString();
    if (auto *lines = dialog.findChild<QPlainTextEdit *>(QStringLiteral("ValueData")))
        return lines->toPlainText().toStdString();
    return "(no data field)";
}

// The step for one value's editor: its text replaced (unless `text` is null),
// the decimal base chosen first when `decimal`, the string type switched when
// `typeIndex` >= 0; then OK. `shown` gets what the editor showed at first.
inline std::function<void(QDialog &)> editTo(const char *text, bool decimal = false,
                                             int typeIndex = -1, std::string *shown = nullptr)
{
    return [=](QDialog &dialog) {
        if (shown) *shown = editorText(dialog);
        if (decimal)
            if (auto *base = dialog.findChild<QRadioButton *>(QStringLiteral("BaseDecimal")))
                base->setChecked(true);
        if (typeIndex >= 0)
            if (auto *type = dialog.findChild<QComboBox *>(QStringLiteral("ValueType")))
                type->setCurrentIndex(typeIndex);
        if (text) setEditorText(dialog, text);
        dialog.accept();
    };
}

// A value as stored: its type and bytes, printed as hex pairs when a check fails.
struct Stored
{
    DWORD type = REG_NONE;
    std::string bytes;
    bool operator==(const Stored &) const = default;
};

inline std::ostream &operator<<(std::ostream &out, const Stored &value)
{
    out << "type " << value.type << ":";
    for (const unsigned char c : value.bytes)
        out << ' ' << std::hex << int(c) << std::dec;
    return out;
}

// ASCII as UTF-16LE bytes, with the terminating NUL unless `nul` is false.
inline std::string text16(std::string_view ascii, bool nul = true)
{
    std::string bytes;
    for (const char c : ascii)
        bytes += std::string{c, '\0'};
    return nul ? bytes + std::string(2, '\0') : bytes;
}
