// The browser's editing dialogs: a value's editor fitting its type, the field
// that takes a key path to go to, and the file chooser of export and import
// (which tests replace).
#pragma once

#include "registry/text/ValueEditText.h"

#include <QDialog>

#include <functional>
#include <string>

class QComboBox;
class QLineEdit;
class QPlainTextEdit;
class QRadioButton;

// Modify…: one line for REG_SZ and REG_EXPAND_SZ (the type switchable between
// the two), one entry a line for REG_MULTI_SZ, decimal or hexadecimal for the
// number types, a hex editor for everything else (the type number kept). OK
// with nothing changed changes nothing: bytes the editor does not show (a
// string without its NUL, an odd last byte) stay as they were.
class ValueEditDialog : public QDialog
{
    Q_OBJECT

public:
    ValueEditDialog(const std::string &shownName, DWORD regType, ValueEditText::Bytes stored,
                    QWidget *parent = nullptr);

    // After OK: whether the value is to be written, and as what.
    bool changed() const { return m_changed; }
    DWORD regType() const { return m_newType; }
    const ValueEditText::Bytes &bytes() const { return m_newBytes; }

    // Reads the fields; a text that does not read says why and keeps the dialog open.
    void accept() override;

private:
    void buildText(QWidget *body);
    void buildMultiText(QWidget *body);
    void buildNumber(QWidget *body);
    void buildHex(QWidget *body);
    void showBase(bool hex);
    void updateHexMargins();

    const DWORD m_type;
    const ValueEditText::Bytes m_stored;
    const ValueEditText::Editor m_editor;
    std::string m_shownText; // what the editor showed at first (text, lines, number)
    QLineEdit *m_line = nullptr;
    QPlainTextEdit *m_lines = nullptr;
    QComboBox *m_typeChoice = nullptr;
    QRadioButton *m_hex = nullptr;
    QRadioButton *m_decimal = nullptr;
    QPlainTextEdit *m_offsets = nullptr;
    QPlainTextEdit *m_printable = nullptr;
    bool m_shownHex = true; // the base the number field holds now

    bool m_changed = false;
    DWORD m_newType;
    ValueEditText::Bytes m_newBytes;
};

// Go to key (Ctrl+L): one field for a key path; OK asks `go`, which unfolds the
// tree and returns "" or what is missing; the dialog stays open to mend the path.
class GoToKeyDialog : public QDialog
{
    Q_OBJECT

public:
    GoToKeyDialog(std::function<std::string(const std::string &)> go, QWidget *parent = nullptr);
    void accept() override;

private:
    std::function<std::string(const std::string &)> m_go;
    QLineEdit *m_path = nullptr;
};

namespace EditFiles {
// `save` true for a file to write (export), false for one to read (import);
// "" when the user chose none.
using Chooser = std::function<std::string(bool save, const std::string &suggested)>;
// Tests answer instead of the file dialog; an empty function brings it back.
void setChooser(Chooser chooser);
std::string choose(QWidget *parent, bool save, const std::string &suggested);
} // namespace EditFiles
