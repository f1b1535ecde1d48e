// The search options in the window: the "Options" button in the top row with its
// drop-down panel, checking them before a run, and remembering them with the last
// search texts in the settings file (section "search").
#include "app/TRegForm.h"

#include "app/Dialogs.h"
#include "app/UnitState.h"
#include "prefixes/Settings.h"
#include "search/Matcher.h"
#include "search/Matching.h"
#include "search/SearchOptions.h"
#include "widgets/QtText.h"
#include "widgets/TAlignLayout.h"
#include "widgets/TButton.h"
#include "widgets/TDropPanel.h"
#include "widgets/TPanel.h"

#include <QAction>
#include <QCheckBox>
#include <QFrame>
#include <QGridLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPainter>
#include <QRadialGradient>
#include <QToolButton>

#include <algorithm>
#include <tuple>

using quarnel::prefixes::Settings;

namespace {

constexpr const char *kSection = "search";
constexpr std::size_t kRecentKept = 20;

// Each option's box, accessible name and settings key.
struct OptionBox
{
    QCheckBox *TRegForm::*box;
    const char *objectName;
    const char *name;
    const char *key;
    bool SearchOptions::*field;
};

const OptionBox kOptionBoxes[] = {
    {&TRegForm::ckbMatchCase, "ckbMatchCase", "Match case", "matchCase", &SearchOptions::matchCase},
    {&TRegForm::ckbWholeText, "ckbWholeText", "Whole text", "wholeText", &SearchOptions::wholeText},
    {&TRegForm::ckbRegex, "ckbRegex", "Regular expression", "pattern", &SearchOptions::pattern},
    {&TRegForm::ckbKeys, "ckbKeys", "Keys", "keys", &SearchOptions::keys},
    {&TRegForm::ckbNames, "ckbNames", "Value names", "names", &SearchOptions::names},
    {&TRegForm::ckbData, "ckbData", "Data", "data", &SearchOptions::data},
    {&TRegForm::ckbNumbers, "ckbNumbers", "Numbers", "numbers", &SearchOptions::numbers},
    {&TRegForm::ckbBinary, "ckbBinary", "Binary", "binary", &SearchOptions::binary},
};

// Alt+Down in Edit1 opens the last texts, as in a combo box.
class RecentKey : public QObject
{
public:
    RecentKey(QObject *parent, QAction *action) : QObject(parent), m_action(action) {}
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::KeyPress && m_action->isVisible()) {
            const auto *key = static_cast<QKeyEvent *>(event);
            if (key->key() == Qt::Key_Down && key->modifiers() == Qt::AltModifier) {
                m_action->trigger();
                return true;
            }
        }
        return QObject::eventFilter(watched, event);
    }

private:
    QAction *m_action;
};

// The recent searches' arrow, drawn like the window's other small pictures: the
// style's arrow is a picture read from a file, and the first such read loads Qt's
// image plugins (0.3 MB resident). A white arrow on a green disc, as the style's.
QIcon recentArrow()
{
    QPixmap pixmap(16, 16);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    QRadialGradient disc(QPointF(6.5, 5.5), 9);
    disc.setColorAt(0, QColor(140, 200, 90));
    disc.setColorAt(1, QColor(40, 120, 30));
    p.setPen(QPen(QColor(30, 95, 25), 1));
    p.setBrush(disc);
    p.drawEllipse(QRectF(0.5, 0.5, 15, 15));
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::white);
    const QPointF arrow[] = {{6.5, 3}, {9.5, 3}, {9.5, 8}, {12, 8}, {8, 12.5}, {4, 8}, {6.5, 8}};
    p.drawPolygon(arrow, 7);
    return QIcon(pixmap);
}

} // namespace

void TRegForm::CreateSearchOptions(TAlignLayout &panel1)
{
    // The room between "Registry…" and "Search for:".
    OptionsButton = new TButton(QStringLiteral("Options"), Panel1);
    OptionsButton->setObjectName(QStringLiteral("OptionsButton"));
    OptionsButton->setGeometry(209, 1, 96, 21);
    OptionsButton->setToolTip(QStringLiteral("How and where to search"));
    panel1.add(OptionsButton, TAlignLayout::alNone);

    OptionsPanel = new TDropPanel(this);
    OptionsPanel->setObjectName(QStringLiteral("OptionsPanel"));
    OptionsPanel->setAccessibleName(QStringLiteral("Search options"));
    auto *grid = new QGridLayout(OptionsPanel);
    int row = 0;
    for (const OptionBox &option : kOptionBoxes) {
        auto *box = new QCheckBox(QString::fromUtf8(option.name), OptionsPanel);
        box->setObjectName(QString::fromUtf8(option.objectName));
        box->setAccessibleName(QString::fromUtf8(option.name));
        box->setChecked(SearchOptions{}.*option.field);
        this->*option.box = box;
        // The three groups: how the text matches, where, which data beside strings.
        if (row == 3 || row == 7) {
            auto *line = new QFrame(OptionsPanel);
            line->setFrameShape(QFrame::HLine);
            grid->addWidget(line, row++, 0, 1, 2);
        }
        grid->addWidget(box, row++, 0, 1, 2);
        connect(box, &QCheckBox::toggled, this, [this] { UpdateOptionsCaption(); });
    }
    ckbRegex->setToolTip(QStringLiteral("The text is a pattern in RE2's syntax"));
    ckbNumbers->setToolTip(QStringLiteral("REG_DWORD and REG_QWORD equal to the text as a number "
                                          "(1920 or 0x780)"));
    ckbBinary->setToolTip(QStringLiteral("Binary data holding the text (as 8-bit or UTF-16 text), "
                                         "or hexadecimal bytes (DE AD BE EF)"));
    const auto timeField = [&](QLineEdit *&edit, const char *objectName, const QString &name) {
        edit = new QLineEdit(OptionsPanel);
        edit->setObjectName(QString::fromUtf8(objectName));
        edit->setAccessibleName(name);
        edit->setPlaceholderText(QStringLiteral("2026-12-01, 3d, 12h"));
        // Room for the example dates and the clear button.
        edit->setMinimumWidth(edit->fontMetrics().horizontalAdvance(edit->placeholderText()) +
                              edit->height());
        auto *label = new QLabel(name + QLatin1Char(':'), OptionsPanel);
        label->setBuddy(edit);
        grid->addWidget(label, row, 0);
        grid->addWidget(edit, row++, 1);
        connect(edit, &QLineEdit::textChanged, this, [this] { UpdateOptionsCaption(); });
    };
    auto *line = new QFrame(OptionsPanel);
    line->setFrameShape(QFrame::HLine);
    grid->addWidget(line, row++, 0, 1, 2);
    timeField(edChangedSince, "edChangedSince", QStringLiteral("Changed since"));
    timeField(edChangedBefore, "edChangedBefore", QStringLiteral("Changed before"));
    connect(OptionsButton, &QPushButton::clicked, this, [this] { ShowOptionsPanel(); });

    RecentSearches = Edit1->addAction(recentArrow(), QLineEdit::TrailingPosition);
    RecentSearches->setObjectName(QStringLiteral("RecentSearches"));
    // No text: the arrow shows none, and a text would count as cut off.
    RecentSearches->setToolTip(QStringLiteral("Recent searches (Alt+Down)"));
    // The arrow's button (Edit1 holds the action too): a screen reader's name for it.
    for (QObject *shown : RecentSearches->associatedObjects())
        if (auto *button = qobject_cast<QToolButton *>(shown))
            button->setAccessibleName(QStringLiteral("Recent searches"));
    RecentSearchesMenu = new QMenu(Edit1);
    RecentSearchesMenu->setObjectName(QStringLiteral("RecentSearchesMenu"));
    connect(RecentSearches, &QAction::triggered, this,
            [this] { RecentSearchesMenu->popup(Edit1->mapToGlobal(QPoint(0, Edit1->height()))); });
    Edit1->installEventFilter(new RecentKey(Edit1, RecentSearches));

    LoadSearchMemory();
}

void TRegForm::ShowOptionsPanel()
{
    // Their clear buttons only now: the button's icon is the first image the window
    // would read from a file, and reading one loads Qt's image plugins (0.3 MB
    // resident) for a panel that many never open.
    edChangedSince->setClearButtonEnabled(true);
    edChangedBefore->setClearButtonEnabled(true);
    OptionsPanel->adjustSize();
    OptionsPanel->move(OptionsButton->mapToGlobal(QPoint(0, OptionsButton->height())));
    OptionsPanel->show();
    ckbMatchCase->setFocus();
}

bool TRegForm::ChosenSearchOptions(SearchOptions &options, std::string &error) const
{
    options = {};
    for (const OptionBox &option : kOptionBoxes)
        options.*option.field = (this->*option.box)->isChecked();
    const std::uint64_t now = fileTimeNow();
    for (const auto &[edit, bound, name] :
         {std::tuple{edChangedSince, &SearchOptions::changedSince, "Changed since"},
          std::tuple{edChangedBefore, &SearchOptions::changedBefore, "Changed before"}}) {
        const std::string text = fromQt(edit->text().trimmed());
        if (text.empty()) continue;
        std::string why;
        options.*bound = parseChangedTime(text, now, why);
        if (!(options.*bound)) {
            error = std::string(name) + ": " + why;
            return false;
        }
    }
    error = optionsProblem(options);
    return error.empty();
}

void TRegForm::UpdateOptionsCaption()
{
    SearchOptions options;
    std::string ignored;
    const bool plain = ChosenSearchOptions(options, ignored) && options == SearchOptions{};
    // A star says that the next search is not the plain one.
    OptionsButton->setText(plain ? QStringLiteral("Options") : QStringLiteral("Options *"));
}

bool TRegForm::PrepareSearchRun()
{
    SearchOptions options;
    std::string error;
    if (!ChosenSearchOptions(options, error)) {
        Dialogs::error(error);
        return false;
    }
    const std::string text = fromQt(Edit1->text());
    auto matcher = std::make_shared<const Matcher>(text, options);
    if (!matcher->valid()) {
        Dialogs::error("The regular expression is not valid: " + matcher->error());
        return false;
    }
    m_runMatcher = std::move(matcher);
    RememberSearch(text, options);
    return true;
}

const Matcher &TRegForm::SearchRunMatcher()
{
    if (!m_runMatcher || asciiLower(m_runMatcher->text()) != UnitState::searchText)
        m_runMatcher = std::make_shared<const Matcher>(UnitState::searchText);
    return *m_runMatcher;
}

bool TRegForm::ReplaceOptions(const std::string &replacement, SearchOptions &options)
{
    std::string error;
    if (!ChosenSearchOptions(options, error)) options.changedSince = options.changedBefore = {};
    const Matcher matcher(fromQt(Edit1->text()), options);
    if (!matcher.valid())
        error = "The regular expression is not valid: " + matcher.error();
    else if (const std::string problem = matcher.replacementProblem(replacement); !problem.empty())
        error = "The new text does not suit the regular expression: " + problem;
    else
        return true;
    Dialogs::error(error);
    return false;
}

void TRegForm::LoadSearchMemory()
{
    FillRecentSearches(); // the arrow hidden also when there is no settings file
    const std::string path = Settings::defaultPath();
    if (path.empty()) return;
    const Settings settings = Settings::load(path);
    for (const OptionBox &option : kOptionBoxes)
        if (const std::optional<bool> on = settings.flag(kSection, option.key))
            (this->*option.box)->setChecked(*on);
    edChangedSince->setText(toQt(settings.text(kSection, "changedSince").value_or("")));
    edChangedBefore->setText(toQt(settings.text(kSection, "changedBefore").value_or("")));
    m_recentSearches = settings.textList(kSection, "recent");
    if (m_recentSearches.size() > kRecentKept) m_recentSearches.resize(kRecentKept);
    FillRecentSearches();
    UpdateOptionsCaption();
}

void TRegForm::RememberSearch(const std::string &text, const SearchOptions &options)
{
    if (!text.empty()) {
        std::erase(m_recentSearches, text);
        m_recentSearches.insert(m_recentSearches.begin(), text);
        if (m_recentSearches.size() > kRecentKept) m_recentSearches.resize(kRecentKept);
        FillRecentSearches();
    }
    const std::string path = Settings::defaultPath();
    if (path.empty()) return;
    // Read afresh: other parts of the program keep their own sections in the file.
    Settings settings = Settings::load(path);
    for (const OptionBox &option : kOptionBoxes)
        settings.setFlag(kSection, option.key, options.*option.field);
    settings.setText(kSection, "changedSince", fromQt(edChangedSince->text().trimmed()));
    settings.setText(kSection, "changedBefore", fromQt(edChangedBefore->text().trimmed()));
    settings.setTextList(kSection, "recent", m_recentSearches);
    std::string error;
    // A settings file that cannot be written costs only the memory; the search runs.
    settings.save(error);
}

void TRegForm::FillRecentSearches()
{
    RecentSearchesMenu->clear();
    for (const std::string &text : m_recentSearches) {
        QAction *pick = RecentSearchesMenu->addAction(toQt(text));
        connect(pick, &QAction::triggered, this, [this, text] {
            Edit1->setText(toQt(text));
            Edit1->setFocus();
        });
    }
    RecentSearches->setVisible(!m_recentSearches.empty());
}
