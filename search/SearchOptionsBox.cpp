// The search options in the window: the "Options" button in the top row with its
// drop-down panel, checking them before a run, and remembering them with the last
// search texts in the settings file (section "search").
#include "app/TRegForm.h"

#include "app/Dialogs.h"
#include "app/UnitState.h"
#include "prefixes/Settings.h"
#include "search/Matcher.h"
#include "search/Matching.h"
#include "search/SearchCheck.h"
#include "search/SearchOptions.h"
#include "search/SearchRefusalText.h"
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

using quarnel::prefixes::Settings;

namespace {

constexpr const char *kSection = "search";
constexpr std::size_t kRecentKept = 20;

QCheckBox *optionBox(const QWidget *panel, const SearchOptionRow &row)
{
    return panel->findChild<QCheckBox *>(QString::fromUtf8(row.objectName));
}

QLineEdit *optionField(const QWidget *panel, const SearchOptionRow &row)
{
    return panel->findChild<QLineEdit *>(QString::fromUtf8(row.objectName));
}

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
    int line = 0;
    int group = searchOptionRows().front().group;
    for (const SearchOptionRow &option : searchOptionRows()) {
        // The groups: how the text matches, where, which data beside strings, when.
        if (option.group != group) {
            auto *rule = new QFrame(OptionsPanel);
            rule->setFrameShape(QFrame::HLine);
            grid->addWidget(rule, line++, 0, 1, 2);
            group = option.group;
        }
        const QString name = QString::fromUtf8(option.label);
        QWidget *control = nullptr;
        if (option.kind == SearchOptionRow::Kind::Time) {
            auto *edit = new QLineEdit(OptionsPanel);
            edit->setPlaceholderText(QStringLiteral("2026-12-01, 3d, 12h"));
            // Room for the example dates and the clear button.
            edit->setMinimumWidth(edit->fontMetrics().horizontalAdvance(edit->placeholderText()) +
                                  edit->height());
            auto *label = new QLabel(name + QLatin1Char(':'), OptionsPanel);
            label->setBuddy(edit);
            grid->addWidget(label, line, 0);
            grid->addWidget(edit, line++, 1);
            connect(edit, &QLineEdit::textChanged, this, [this] { UpdateOptionsCaption(); });
            control = edit;
        } else {
            auto *box = new QCheckBox(name, OptionsPanel);
            box->setChecked(SearchOptions{}.*option.flag);
            grid->addWidget(box, line++, 0, 1, 2);
            connect(box, &QCheckBox::toggled, this, [this] { UpdateOptionsCaption(); });
            control = box;
        }
        control->setObjectName(QString::fromUtf8(option.objectName));
        control->setAccessibleName(name);
        if (*option.toolTip) control->setToolTip(QString::fromUtf8(option.toolTip));
    }
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
    for (QLineEdit *field : OptionsPanel->findChildren<QLineEdit *>())
        field->setClearButtonEnabled(true);
    OptionsPanel->adjustSize();
    OptionsPanel->move(OptionsButton->mapToGlobal(QPoint(0, OptionsButton->height())));
    OptionsPanel->show();
    optionBox(OptionsPanel, searchOptionRows().front())->setFocus();
}

SearchRequest TRegForm::ChosenSearch() const
{
    SearchRequest request;
    request.text = fromQt(Edit1->text());
    for (const SearchOptionRow &option : searchOptionRows()) {
        if (option.kind == SearchOptionRow::Kind::Time)
            request.optionTexts.emplace_back(
                &option, fromQt(optionField(OptionsPanel, option)->text().trimmed()));
        else
            request.options.*option.flag = optionBox(OptionsPanel, option)->isChecked();
    }
    return request;
}

void TRegForm::UpdateOptionsCaption()
{
    SearchRequest request = ChosenSearch();
    request.text.clear(); // a text that is no pattern does not make the options other
    const CheckedSearch checked = checkSearch(request);
    const bool plain = !checked.refusal && checked.options == SearchOptions{};
    // A star says that the next search is not the plain one.
    OptionsButton->setText(plain ? QStringLiteral("Options") : QStringLiteral("Options *"));
}

bool TRegForm::PrepareSearchRun()
{
    const SearchRequest request = ChosenSearch();
    CheckedSearch checked = checkSearch(request);
    if (checked.refusal) {
        Dialogs::error(windowRefusalText(checked.refusal));
        return false;
    }
    m_runMatcher = std::move(checked.matcher);
    RememberSearch(request.text, checked.options);
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
    SearchRequest request = ChosenSearch();
    request.replacement = replacement;
    const CheckedSearch checked = checkSearch(request);
    if (checked.refusal) {
        Dialogs::error(windowRefusalText(checked.refusal));
        return false;
    }
    options = checked.options;
    return true;
}

void TRegForm::LoadSearchMemory()
{
    FillRecentSearches(); // the arrow hidden also when there is no settings file
    const std::string path = Settings::defaultPath();
    if (path.empty()) return;
    const Settings settings = Settings::load(path);
    for (const SearchOptionRow &option : searchOptionRows()) {
        if (option.kind == SearchOptionRow::Kind::Time)
            optionField(OptionsPanel, option)
                ->setText(toQt(settings.text(kSection, option.key).value_or("")));
        else if (const std::optional<bool> on = settings.flag(kSection, option.key))
            optionBox(OptionsPanel, option)->setChecked(*on);
    }
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
    for (const SearchOptionRow &option : searchOptionRows()) {
        if (option.kind == SearchOptionRow::Kind::Time)
            settings.setText(kSection, option.key,
                             fromQt(optionField(OptionsPanel, option)->text().trimmed()));
        else
            settings.setFlag(kSection, option.key, options.*option.flag);
    }
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
