#include "app/RegistryChooser.h"

#include "app/Dialogs.h"
#include "prefixes/RegistryFinder.h"
#include "prefixes/Settings.h"

#include <QDateTime>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QMetaObject>
#include <QProgressBar>
#include <QPushButton>
#include <QThread>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <algorithm>
#include <cstdlib>
#include <functional>

using quarnel::prefixes::FoundRegistry;

namespace {

enum Column
{
    kName,
    kKind,
    kId,
    kPath,
    kSize,
    kChanged,
    kWine,
    kColumns
};

enum HitColumn
{
    kHitCount,
    kHitName,
    kHitId,
    kHitColumns
};

// Where in m_registries a row's registry is.
constexpr int kIndexRole = Qt::UserRole;

QString qt(const std::string &text)
{
    return QString::fromStdString(text);
}

// Enter in a list opens its current row; a list takes Enter itself otherwise.
class OpeningList : public QTreeWidget
{
public:
    using QTreeWidget::QTreeWidget;
    std::function<void()> onEnter;

protected:
    void keyPressEvent(QKeyEvent *event) override
    {
        if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) && onEnter) {
            onEnter();
            return;
        }
        QTreeWidget::keyPressEvent(event);
    }
};

// The hits list sorts by count, most first, and by the listing's order among equals.
class HitItem : public QTreeWidgetItem
{
public:
    HitItem(std::uint64_t hits, std::size_t index) : m_hits(hits), m_index(index) {}
    bool operator<(const QTreeWidgetItem &other) const override
    {
        const auto &o = static_cast<const HitItem &>(other);
        // Ascending order of this is "most first".
        if (m_hits != o.m_hits) return m_hits > o.m_hits;
        return m_index < o.m_index;
    }

private:
    std::uint64_t m_hits;
    std::size_t m_index;
};

} // namespace

RegistryChooser::RegistryChooser(std::vector<FoundRegistry> registries,
                                 const std::vector<std::string> &recent, RegistryHitCounter counter,
                                 QWidget *parent)
    : QDialog(parent), m_counter(std::move(counter))
{
    // The recently opened first, newest first; the rest in the order found.
    for (const std::string &id : recent)
        for (FoundRegistry &r : registries)
            if (!r.id.empty() && r.namedBy(id)) {
                m_registries.push_back(r);
                r.id.clear(); // taken
                break;
            }
    for (FoundRegistry &r : registries)
        if (!r.id.empty()) m_registries.push_back(std::move(r));
    m_wineRuns = quarnel::prefixes::anyWineServerRunning();
    buildControls();
    fillList();
}

RegistryChooser::~RegistryChooser()
{
    joinWorkers();
}

void RegistryChooser::buildControls()
{
    setObjectName(QStringLiteral("RegistryChooser"));
    setWindowTitle(QStringLiteral("Open registry"));
    resize(820, 560);
    auto *layout = new QVBoxLayout(this);

    auto *filterRow = new QHBoxLayout;
    auto *filterLabel = new QLabel(QStringLiteral("&Filter:"), this);
    m_filter = new QLineEdit(this);
    m_filter->setObjectName(QStringLiteral("RegistryFilter"));
    m_filter->setPlaceholderText(QStringLiteral("name or app ID"));
    m_filter->setClearButtonEnabled(true);
    filterLabel->setBuddy(m_filter);
    filterRow->addWidget(filterLabel);
    filterRow->addWidget(m_filter);
    layout->addLayout(filterRow);
    connect(m_filter, &QLineEdit::textChanged, this, [this] { applyFilter(); });

    auto *list = new OpeningList(this);
    list->onEnter = [this] { openItem(m_list->currentItem(), false); };
    m_list = list;
    m_list->setObjectName(QStringLiteral("RegistryList"));
    m_list->setColumnCount(kColumns);
    m_list->setHeaderLabels({QStringLiteral("Name"), QStringLiteral("Kind"), QStringLiteral("Id"),
                             QStringLiteral("Path"), QStringLiteral("Size"),
                             QStringLiteral("Changed"), QStringLiteral("Wine")});
    m_list->setRootIsDecorated(false);
    m_list->setUniformRowHeights(true);
    m_list->setAllColumnsShowFocus(true);
    m_list->header()->setStretchLastSection(false);
    m_list->header()->setSectionResizeMode(kPath, QHeaderView::Stretch);
    layout->addWidget(m_list, 3);
    connect(m_list, &QTreeWidget::itemDoubleClicked, this,
            [this](QTreeWidgetItem *item) { openItem(item, false); });
    connect(m_list, &QTreeWidget::currentItemChanged, this, [this] { m_hitsLast = false; });

    auto *findRow = new QHBoxLayout;
    auto *findLabel = new QLabel(QStringLiteral("Find in &all registries:"), this);
    m_findText = new QLineEdit(this);
    m_findText->setObjectName(QStringLiteral("FindAllEdit"));
    findLabel->setBuddy(m_findText);
    m_find = new QPushButton(QStringLiteral("F&ind"), this);
    m_find->setObjectName(QStringLiteral("FindAllButton"));
    m_find->setAutoDefault(false);
    m_progress = new QProgressBar(this);
    m_progress->setObjectName(QStringLiteral("FindAllProgress"));
    m_progress->setRange(0, 1);
    m_progress->setValue(0);
    m_progress->setMaximumWidth(160);
    findRow->addWidget(findLabel);
    findRow->addWidget(m_findText, 1);
    findRow->addWidget(m_find);
    findRow->addWidget(m_progress);
    layout->addLayout(findRow);
    connect(m_find, &QPushButton::clicked, this, &RegistryChooser::findClick);
    connect(m_findText, &QLineEdit::returnPressed, this, [this] {
        if (!isFinding()) findClick();
    });

    m_findStatus = new QLabel(this);
    m_findStatus->setObjectName(QStringLiteral("FindAllStatus"));
    m_findStatus->setTextFormat(Qt::PlainText);
    layout->addWidget(m_findStatus);

    auto *hits = new OpeningList(this);
    hits->onEnter = [this] { openItem(m_hits->currentItem(), true); };
    m_hits = hits;
    m_hits->setObjectName(QStringLiteral("HitsList"));
    m_hits->setColumnCount(kHitColumns);
    m_hits->setHeaderLabels({QStringLiteral("Hits"), QStringLiteral("Name"), QStringLiteral("Id")});
    m_hits->setRootIsDecorated(false);
    m_hits->setAllColumnsShowFocus(true);
    m_hits->header()->setSectionResizeMode(kHitCount, QHeaderView::ResizeToContents);
    m_hits->header()->setSectionResizeMode(kHitName, QHeaderView::ResizeToContents);
    layout->addWidget(m_hits, 2);
    connect(m_hits, &QTreeWidget::itemDoubleClicked, this,
            [this](QTreeWidgetItem *item) { openItem(item, true); });
    connect(m_hits, &QTreeWidget::currentItemChanged, this, [this] { m_hitsLast = true; });

    auto *buttons = new QHBoxLayout;
    m_addFolder = new QPushButton(QStringLiteral("A&dd folder\u2026"), this);
    m_addFolder->setObjectName(QStringLiteral("AddFolderButton"));
    m_addFolder->setAutoDefault(false);
    m_open = new QPushButton(QStringLiteral("&Open"), this);
    m_open->setObjectName(QStringLiteral("OpenRegistryButton"));
    m_open->setAutoDefault(false);
    auto *cancel = new QPushButton(QStringLiteral("Cancel"), this);
    cancel->setObjectName(QStringLiteral("CancelButton"));
    cancel->setAutoDefault(false);
    buttons->addWidget(m_addFolder);
    buttons->addStretch(1);
    buttons->addWidget(m_open);
    buttons->addWidget(cancel);
    layout->addLayout(buttons);
    connect(m_addFolder, &QPushButton::clicked, this, &RegistryChooser::addFolderClick);
    connect(m_open, &QPushButton::clicked, this, &RegistryChooser::openCurrent);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);

    setTabOrder(m_filter, m_list);
    setTabOrder(m_list, m_findText);
    setTabOrder(m_findText, m_find);
    setTabOrder(m_find, m_hits);
    setTabOrder(m_hits, m_addFolder);
    setTabOrder(m_addFolder, m_open);
    setTabOrder(m_open, cancel);
    m_filter->setFocus();
}

void RegistryChooser::fillList()
{
    m_list->clear();
    for (const FoundRegistry &r : m_registries)
        addRow(r);
    for (const int column : {kName, kKind, kId, kSize, kChanged, kWine})
        m_list->resizeColumnToContents(column);
    if (m_list->topLevelItemCount() > 0) m_list->setCurrentItem(m_list->topLevelItem(0));
    applyFilter();
}

void RegistryChooser::addRow(const FoundRegistry &r)
{
    using namespace quarnel::prefixes;
    const RegistryFileFacts facts = registryFileFacts(r.folder);
    auto *item = new QTreeWidgetItem;
    item->setText(kName, qt(r.name));
    item->setText(kKind, QString::fromLatin1(kindName(r.kind)));
    item->setText(kId, qt(r.id));
    item->setText(kPath, qt(r.folder));
    item->setToolTip(kPath, qt(r.folder));
    item->setText(kSize, QLocale().formattedDataSize(static_cast<qint64>(facts.bytes)));
    item->setTextAlignment(kSize, Qt::AlignRight | Qt::AlignVCenter);
    if (facts.changedAt > 0)
        item->setText(kChanged, QDateTime::fromSecsSinceEpoch(facts.changedAt)
                                    .toString(QStringLiteral("yyyy-MM-dd HH:mm")));
    if (m_wineRuns && wineRunningOn(r.folder)) {
        item->setText(kWine, QStringLiteral("running"));
        item->setToolTip(kWine, QStringLiteral("Wine runs on this prefix: Quarnel shows it "
                                               "read-only while it does."));
    }
    const auto index =
        std::find(m_registries.begin(), m_registries.end(), r) - m_registries.begin();
    item->setData(kName, kIndexRole, static_cast<qulonglong>(index));
    m_list->addTopLevelItem(item);
}

void RegistryChooser::setFilter(const QString &text)
{
    m_filter->setText(text);
}

void RegistryChooser::applyFilter()
{
    const QString wanted = m_filter->text().trimmed();
    QTreeWidgetItem *firstShown = nullptr;
    for (int i = 0; i < m_list->topLevelItemCount(); ++i) {
        QTreeWidgetItem *item = m_list->topLevelItem(i);
        const bool shown = wanted.isEmpty() ||
                           item->text(kName).contains(wanted, Qt::CaseInsensitive) ||
                           item->text(kId).contains(wanted, Qt::CaseInsensitive);
        item->setHidden(!shown);
        if (shown && !firstShown) firstShown = item;
    }
    if (!m_list->currentItem() || m_list->currentItem()->isHidden())
        m_list->setCurrentItem(firstShown);
}

std::vector<std::string> RegistryChooser::shownIds() const
{
    std::vector<std::string> ids;
    for (int i = 0; i < m_list->topLevelItemCount(); ++i)
        if (!m_list->topLevelItem(i)->isHidden())
            ids.push_back(m_list->topLevelItem(i)->text(kId).toStdString());
    return ids;
}

bool RegistryChooser::addFolder(const std::string &folder)
{
    using namespace quarnel::prefixes;
    const char *home = std::getenv("HOME");
    const std::string path = folder.starts_with('/') || folder.starts_with('~')
                                 ? folder
                                 : "./" + folder; // matchRegistry takes a path by its '/'
    const RegistryMatch match = matchRegistry(m_registries, path, home ? home : "");
    if (match.status == RegistryMatch::NoMatch ||
        (match.status == RegistryMatch::Found && !holdsRegistry(match.registry.folder))) {
        Dialogs::error(folder + " holds no registry: a Wine prefix's folder has system.reg and "
                                "user.reg.");
        return false;
    }
    stopFinding(); // the workers read the list that grows here
    FoundRegistry added =
        match.status == RegistryMatch::Found ? match.registry : match.candidates.front();
    const bool known =
        std::find(m_registries.begin(), m_registries.end(), added) != m_registries.end();
    if (!known) {
        added.kind = RegistryKind::Added;
        // Kept in the settings so that it is listed from now on.
        Settings settings = Settings::load(Settings::defaultPath());
        settings.addFolder(added.folder);
        std::string error;
        if (!settings.save(error))
            Dialogs::error("Quarnel could not keep the folder in its settings: " + error);
        added.id = added.folder;
        m_registries.push_back(added);
        addRow(added);
    }
    m_filter->clear();
    for (int i = 0; i < m_list->topLevelItemCount(); ++i)
        if (m_list->topLevelItem(i)->text(kId) == qt(added.id))
            m_list->setCurrentItem(m_list->topLevelItem(i));
    return true;
}

void RegistryChooser::addFolderClick()
{
    const QString folder = QFileDialog::getExistingDirectory(
        this, QStringLiteral("Add a registry folder"), QString::fromLocal8Bit(std::getenv("HOME")));
    if (!folder.isEmpty()) addFolder(folder.toStdString());
}

void RegistryChooser::findClick()
{
    if (isFinding())
        stopFinding();
    else
        startFinding(m_findText->text());
}

void RegistryChooser::startFinding(const QString &text)
{
    joinWorkers();
    m_findText->setText(text);
    m_hits->clear();
    m_findingText = text.toStdString();
    if (m_findingText.empty() || m_registries.empty()) return;
    ++m_round;
    m_done = 0;
    m_stop = false;
    m_next = 0;
    m_progress->setRange(0, static_cast<int>(m_registries.size()));
    m_progress->setValue(0);
    m_find->setText(QStringLiteral("St&op"));
    m_findStatus->setText(QStringLiteral("Searching %1 registries\u2026").arg(m_registries.size()));
    // One registry a thread at a time: each holds a whole registry in memory.
    const std::size_t threads =
        std::min<std::size_t>(m_registries.size(), std::max(1, QThread::idealThreadCount()));
    const unsigned round = m_round;
    for (std::size_t t = 0; t < threads; ++t)
        m_workers.emplace_back([this, round] {
            for (;;) {
                const std::size_t index = m_next++;
                if (index >= m_registries.size() || m_stop) return;
                RegistryHits hits;
                try {
                    hits = m_counter(m_registries[index].folder, m_findingText, m_stop);
                } catch (const std::exception &e) {
                    hits.ok = false;
                    hits.error = e.what();
                }
                QMetaObject::invokeMethod(
                    this, [this, round, index, hits] { hitsCounted(round, index, hits); },
                    Qt::QueuedConnection);
            }
        });
}

void RegistryChooser::hitsCounted(unsigned round, std::size_t index, const RegistryHits &hits)
{
    if (round != m_round) return;
    ++m_done;
    m_progress->setValue(static_cast<int>(m_done));
    const FoundRegistry &r = m_registries[index];
    if (!m_stop || hits.ok) {
        auto *item = new HitItem(hits.ok ? hits.hits : 0, index);
        item->setText(kHitCount, hits.ok ? QString::number(hits.hits) : QStringLiteral("?"));
        item->setTextAlignment(kHitCount, Qt::AlignRight | Qt::AlignVCenter);
        item->setText(kHitName, qt(r.name));
        item->setText(kHitId, qt(r.id));
        item->setData(kHitCount, kIndexRole, static_cast<qulonglong>(index));
        if (!hits.ok) item->setToolTip(kHitCount, qt("Not searched: " + hits.error));
        item->setData(kHitName, kIndexRole, hits.ok);
        m_hits->addTopLevelItem(item);
        m_hits->sortItems(kHitCount, Qt::AscendingOrder);
    }
    if (m_done == m_registries.size() || (m_stop && m_next >= m_registries.size())) {
        joinWorkers();
        m_find->setText(QStringLiteral("F&ind"));
        m_findStatus->setText(QStringLiteral("%1 of %2 registries searched for \u201c%3\u201d%4")
                                  .arg(m_done)
                                  .arg(m_registries.size())
                                  .arg(qt(m_findingText))
                                  .arg(m_stop ? QStringLiteral(" (stopped)") : QString()));
    }
}

void RegistryChooser::stopFinding()
{
    if (!isFinding()) return;
    m_stop = true;
    joinWorkers();
    // The answers still queued belong to this round; they arrive but list nothing new.
    ++m_round;
    m_find->setText(QStringLiteral("F&ind"));
    m_findStatus->setText(
        QStringLiteral("%1 of %2 registries searched for \u201c%3\u201d (stopped)")
            .arg(m_hits->topLevelItemCount())
            .arg(m_registries.size())
            .arg(qt(m_findingText)));
}

void RegistryChooser::joinWorkers()
{
    if (m_workers.empty()) return;
    if (m_done < m_registries.size()) m_stop = true;
    for (std::thread &worker : m_workers)
        worker.join();
    m_workers.clear();
}

std::vector<std::pair<std::string, std::uint64_t>> RegistryChooser::hitRows() const
{
    std::vector<std::pair<std::string, std::uint64_t>> rows;
    for (int i = 0; i < m_hits->topLevelItemCount(); ++i) {
        const QTreeWidgetItem *item = m_hits->topLevelItem(i);
        if (!item->data(kHitName, kIndexRole).toBool()) continue;
        rows.emplace_back(item->text(kHitId).toStdString(), item->text(kHitCount).toULongLong());
    }
    return rows;
}

void RegistryChooser::openRow(const std::string &id, bool fromHits)
{
    QTreeWidget *list = fromHits ? m_hits : m_list;
    const int idColumn = fromHits ? int(kHitId) : int(kId);
    for (int i = 0; i < list->topLevelItemCount(); ++i)
        if (list->topLevelItem(i)->text(idColumn) == qt(id)) {
            openItem(list->topLevelItem(i), fromHits);
            return;
        }
}

void RegistryChooser::openCurrent()
{
    if (m_hitsLast && m_hits->currentItem())
        openItem(m_hits->currentItem(), true);
    else
        openItem(m_list->currentItem(), false);
}

void RegistryChooser::openItem(QTreeWidgetItem *item, bool fromHits)
{
    if (!item || item->isHidden()) return;
    const auto index = item->data(fromHits ? int(kHitCount) : int(kName), kIndexRole).toULongLong();
    if (index >= m_registries.size()) return;
    stopFinding();
    m_chosen = m_registries[index];
    m_chosenSearch = fromHits ? m_findingText : std::string();
    accept();
}
