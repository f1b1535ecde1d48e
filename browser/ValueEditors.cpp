#include "browser/ValueEditors.h"

#include "app/Dialogs.h"
#include "registry/text/ValueText.h"
#include "widgets/QtText.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFontDatabase>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QVBoxLayout>

#include <limits>

using namespace ValueEditText;

namespace {

// A line field cuts what is set or pasted at 32,767 characters unless told
// otherwise: a longer text is taken whole, or OK would write less than was shown.
QLineEdit *wholeLine(const std::string &text)
{
    auto *line = new QLineEdit;
    line->setMaxLength(std::numeric_limits<int>::max());
    line->setText(toQt(text));
    return line;
}

QPlainTextEdit *fixedPitch(QPlainTextEdit *edit)
{
    edit->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    edit->setLineWrapMode(QPlainTextEdit::NoWrap);
    // Tab leaves the field, as in every other field of a dialog.
    edit->setTabChangesFocus(true);
    return edit;
}

} // namespace

ValueEditDialog::ValueEditDialog(const std::string &shownName, DWORD regType,
                                 ValueEditText::Bytes stored, QWidget *parent)
    : QDialog(parent), m_type(regType), m_stored(std::move(stored)),
      m_editor(editorFor(regType, m_stored.size())), m_newType(regType)
{
    setObjectName(QStringLiteral("ValueEditDialog"));
    setWindowTitle(QStringLiteral("Edit Value"));
    auto *layout = new QVBoxLayout(this);
    auto *form = new QFormLayout;
    auto *name = new QLineEdit(toQt(shownName));
    name->setObjectName(QStringLiteral("ValueName"));
    name->setReadOnly(true);
    form->addRow(QStringLiteral("Value &name:"), name);
    layout->addLayout(form);
    auto *body = new QWidget;
    layout->addWidget(body, 1);
    switch (m_editor) {
    case Editor::Text: buildText(body); break;
    case Editor::MultiText: buildMultiText(body); break;
    case Editor::Number: buildNumber(body); break;
    case Editor::Hex: buildHex(body); break;
    }
    // Typing goes to the data at once.
    if (m_line)
        m_line->setFocus();
    else
        m_lines->setFocus();
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    buttons->setObjectName(QStringLiteral("ValueButtons"));
    buttons->button(QDialogButtonBox::Cancel)->setText(QString::fromUtf8(Dialogs::kCancel));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
}

void ValueEditDialog::buildText(QWidget *body)
{
    auto *form = new QFormLayout(body);
    form->setContentsMargins(0, 0, 0, 0);
    m_line = wholeLine(textOf(m_stored));
    // As the field holds it: a text the field cannot show (a lone surrogate) must
    // not make an unchanged OK a change.
    m_shownText = fromQt(m_line->text());
    m_line->setObjectName(QStringLiteral("ValueData"));
    m_line->selectAll();
    form->addRow(QStringLiteral("Value &data:"), m_line);
    m_typeChoice = new QComboBox;
    m_typeChoice->setObjectName(QStringLiteral("ValueType"));
    for (const DWORD type : {REG_SZ, REG_EXPAND_SZ})
        m_typeChoice->addItem(toQt(TypeText(type)));
    m_typeChoice->setCurrentIndex(m_type == REG_EXPAND_SZ ? 1 : 0);
    form->addRow(QStringLiteral("&Type:"), m_typeChoice);
    resize(420, sizeHint().height());
}

void ValueEditDialog::buildMultiText(QWidget *body)
{
    auto *form = new QVBoxLayout(body);
    form->setContentsMargins(0, 0, 0, 0);
    form->addWidget(new QLabel(QStringLiteral("Value data (one entry a line):")));
    m_lines = fixedPitch(new QPlainTextEdit(toQt(joinLines(linesOf(m_stored)))));
    m_shownText = fromQt(m_lines->toPlainText());
    m_lines->setObjectName(QStringLiteral("ValueData"));
    form->addWidget(m_lines);
    resize(460, 320);
}

void ValueEditDialog::buildNumber(QWidget *body)
{
    auto *form = new QFormLayout(body);
    form->setContentsMargins(0, 0, 0, 0);
    m_shownText = formatNumber(numberOf(m_stored, m_type), true);
    m_line = wholeLine(m_shownText);
    m_line->setObjectName(QStringLiteral("ValueData"));
    m_line->selectAll();
    form->addRow(QStringLiteral("Value &data:"), m_line);
    auto *bases = new QWidget;
    auto *row = new QHBoxLayout(bases);
    row->setContentsMargins(0, 0, 0, 0);
    m_hex = new QRadioButton(QStringLiteral("&Hexadecimal"));
    m_hex->setObjectName(QStringLiteral("BaseHex"));
    m_decimal = new QRadioButton(QStringLiteral("De&cimal"));
    m_decimal->setObjectName(QStringLiteral("BaseDecimal"));
    m_hex->setChecked(true);
    row->addWidget(m_hex);
    row->addWidget(m_decimal);
    form->addRow(QString::fromStdString(TypeTextOrNumber(m_type) + ":"), bases);
    connect(m_hex, &QRadioButton::toggled, this, [this](bool hex) { showBase(hex); });
    resize(380, sizeHint().height());
}

void ValueEditDialog::showBase(bool hex)
{
    if (hex == m_shownHex) return;
    m_shownHex = hex;
    // Converted, or emptied: a text left as it was would be read as another number.
    m_line->setText(toQt(otherBase(fromQt(m_line->text()), hex)));
}

void ValueEditDialog::buildHex(QWidget *body)
{
    auto *layout = new QVBoxLayout(body);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(
        new QLabel(QString::fromStdString("Value data (" + TypeTextOrNumber(m_type) + ", " +
                                          std::to_string(m_stored.size()) + " bytes):")));
    auto *row = new QHBoxLayout;
    m_offsets = fixedPitch(new QPlainTextEdit);
    m_offsets->setObjectName(QStringLiteral("HexOffsets"));
    m_lines = fixedPitch(new QPlainTextEdit(toQt(hexPairs(m_stored))));
    m_lines->setObjectName(QStringLiteral("ValueData"));
    m_printable = fixedPitch(new QPlainTextEdit);
    m_printable->setObjectName(QStringLiteral("HexText"));
    for (QPlainTextEdit *margin : {m_offsets, m_printable}) {
        margin->setReadOnly(true);
        margin->setFocusPolicy(Qt::NoFocus);
        margin->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    }
    const int digit = m_lines->fontMetrics().horizontalAdvance(QLatin1Char('0'));
    m_offsets->setFixedWidth(digit * 10 + 12);
    m_printable->setFixedWidth(digit * 18 + 12);
    m_lines->setMinimumWidth(digit * 49 + 24);
    row->addWidget(m_offsets);
    row->addWidget(m_lines, 1);
    row->addWidget(m_printable);
    layout->addLayout(row);
    connect(m_lines, &QPlainTextEdit::textChanged, this, &ValueEditDialog::updateHexMargins);
    // The margins scroll with the pairs.
    connect(m_lines->verticalScrollBar(), &QScrollBar::valueChanged, this, [this](int at) {
        m_offsets->verticalScrollBar()->setValue(at);
        m_printable->verticalScrollBar()->setValue(at);
    });
    updateHexMargins();
    resize(digit * 80 + 60, 320);
}

void ValueEditDialog::updateHexMargins()
{
    std::string error;
    const auto bytes = parseHexPairs(fromQt(m_lines->toPlainText()), error);
    if (!bytes) return; // half typed: the margins keep the last bytes that read
    m_offsets->setPlainText(toQt(offsetColumn(bytes->size())));
    m_printable->setPlainText(toQt(printableColumn(*bytes)));
    // Setting the text scrolls the margins to the top: back to the rows edited.
    const int at = m_lines->verticalScrollBar()->value();
    m_offsets->verticalScrollBar()->setValue(at);
    m_printable->verticalScrollBar()->setValue(at);
}

void ValueEditDialog::accept()
{
    std::string error;
    m_newType = m_type;
    switch (m_editor) {
    case Editor::Text: {
        const std::string text = fromQt(m_line->text());
        m_newType = m_typeChoice->currentIndex() == 1 ? REG_EXPAND_SZ : REG_SZ;
        // The text unchanged keeps its bytes, a missing NUL or an odd byte too.
        m_newBytes = text == m_shownText ? m_stored : storedText(text);
        break;
    }
    case Editor::MultiText: {
        const std::string text = fromQt(m_lines->toPlainText());
        m_newBytes = text == m_shownText ? m_stored : storedLines(splitLines(text));
        break;
    }
    case Editor::Number: {
        const auto number =
            parseNumber(fromQt(m_line->text()), m_shownHex, numberWidth(m_type), error);
        if (number) m_newBytes = storedNumber(*number, m_type);
        break;
    }
    case Editor::Hex: {
        const auto bytes = parseHexPairs(fromQt(m_lines->toPlainText()), error);
        if (bytes) m_newBytes = *bytes;
        break;
    }
    }
    if (!error.empty()) {
        Dialogs::error(error);
        return;
    }
    m_changed = m_newType != m_type || m_newBytes != m_stored;
    QDialog::accept();
}

GoToKeyDialog::GoToKeyDialog(std::function<std::string(const std::string &)> go, QWidget *parent)
    : QDialog(parent), m_go(std::move(go))
{
    setObjectName(QStringLiteral("GoToKeyDialog"));
    setWindowTitle(QStringLiteral("Go to key"));
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(QStringLiteral("&Key (HKEY_CURRENT_USER\\Software, HKCU\\...):")));
    m_path = new QLineEdit;
    m_path->setObjectName(QStringLiteral("GoToKeyPath"));
    layout->addWidget(m_path);
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    buttons->button(QDialogButtonBox::Cancel)->setText(QString::fromUtf8(Dialogs::kCancel));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
    resize(480, sizeHint().height());
}

void GoToKeyDialog::accept()
{
    if (const std::string missing = m_go(fromQt(m_path->text())); !missing.empty()) {
        Dialogs::error(missing);
        return;
    }
    QDialog::accept();
}

namespace EditFiles {

namespace {
Chooser &chooser()
{
    static Chooser set;
    return set;
}
} // namespace

void setChooser(Chooser c)
{
    chooser() = std::move(c);
}

std::string choose(QWidget *parent, bool save, const std::string &suggested)
{
    if (chooser()) return chooser()(save, suggested);
    const QString filter = QStringLiteral("Registry files (*.reg);;All files (*)");
    const QString file =
        save ? QFileDialog::getSaveFileName(parent, QStringLiteral("Export key"), toQt(suggested),
                                            filter)
             : QFileDialog::getOpenFileName(parent, QStringLiteral("Import registry file"),
                                            toQt(suggested), filter);
    return file.toStdString();
}

} // namespace EditFiles
