// The "Open registry" dialog: every registry found on the machine with its
// name, kind, id, folder, size, the time its files last changed and a mark
// where Wine runs on it; typing filters by name or id; the recently opened come
// first; "Add folder..." takes one found nowhere. "Find in all registries"
// searches a text in every registry, read-only, on worker threads, and lists
// the registries by their hits, most first, while it goes on.
#pragma once

#include "app/RegistryHitCounter.h"
#include "prefixes/RegistryFinder.h"

#include <QDialog>
#include <atomic>
#include <cstdint>
#include <string>
#include <thread>
#include <utility>
#include <vector>

class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;

class RegistryChooser : public QDialog
{
    Q_OBJECT

public:
    // `recent`: ids, newest first (Settings::recentRegistries()).
    RegistryChooser(std::vector<quarnel::prefixes::FoundRegistry> registries,
                    const std::vector<std::string> &recent, RegistryHitCounter counter,
                    QWidget *parent = nullptr);
    // Stops a search still going on and waits for its threads.
    ~RegistryChooser() override;

    // The registry to open, once the dialog was accepted.
    const quarnel::prefixes::FoundRegistry &chosen() const { return m_chosen; }
    // The text of "Find in all registries" when the registry was opened from its
    // list of hits, else "".
    const std::string &searchText() const { return m_chosenSearch; }

    // What the controls do, also for tests.
    void setFilter(const QString &text);
    // Rows shown in the registry list, top to bottom: their ids.
    std::vector<std::string> shownIds() const;
    // Adds a folder as "Add folder..." does after its folder dialog; false after
    // a message when it holds no registry. The folder is kept in the settings.
    bool addFolder(const std::string &folder);
    void startFinding(const QString &text);
    void stopFinding();
    bool isFinding() const { return !m_workers.empty(); }
    // The list of hits, top to bottom: id and count (registries that could not
    // be read are left out).
    std::vector<std::pair<std::string, std::uint64_t>> hitRows() const;
    // Opens the row with this id of the registry list (or, with `fromHits`, of
    // the hits list) as a double click does.
    void openRow(const std::string &id, bool fromHits);

private:
    void buildControls();
    void fillList();
    void addRow(const quarnel::prefixes::FoundRegistry &registry);
    void applyFilter();
    void addFolderClick();
    void findClick();
    void openCurrent();
    void openItem(QTreeWidgetItem *item, bool fromHits);
    // A worker's answer, on the dialog's thread; `round` tells a stale one.
    void hitsCounted(unsigned round, std::size_t index, const RegistryHits &hits);
    void joinWorkers();

    std::vector<quarnel::prefixes::FoundRegistry> m_registries;
    RegistryHitCounter m_counter;
    quarnel::prefixes::FoundRegistry m_chosen;
    std::string m_chosenSearch;

    QLineEdit *m_filter = nullptr;
    QTreeWidget *m_list = nullptr;
    QPushButton *m_addFolder = nullptr;
    QPushButton *m_open = nullptr;
    QLineEdit *m_findText = nullptr;
    QPushButton *m_find = nullptr;
    QProgressBar *m_progress = nullptr;
    QLabel *m_findStatus = nullptr;
    QTreeWidget *m_hits = nullptr;
    bool m_hitsLast = false; // the hits list had the focus last: "Open" opens its row
    bool m_wineRuns = false; // some wineserver runs: each row asks whether on its prefix

    std::vector<std::thread> m_workers;
    std::atomic<bool> m_stop{false};
    std::atomic<std::size_t> m_next{0};
    unsigned m_round = 0;
    std::size_t m_done = 0;
    std::string m_findingText;
};
