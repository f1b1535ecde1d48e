// The search run: Button1 starts and stops it, BrowseReg walks the roots in scope.
#include "app/TRegForm.h"

#include "app/Dialogs.h"
#include "app/UnitState.h"
#include "registry/api/RootTable.h"
#include "search/Matching.h"
#include "search/PaintPacer.h"
#include "search/SearchEngine.h"
#include "search/SearchRunState.h"
#include "search/StatisticsLine.h"
#include "widgets/QtText.h"
#include "widgets/TButton.h"
#include "widgets/TProgressBar.h"
#include "widgets/TReportView.h"
#include "widgets/TTreeView.h"

#include <QCheckBox>
#include <QElapsedTimer>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QScopeGuard>
#include <QScopedValueRollback>

void TRegForm::StopSearchRun()
{
    Button1->setText(QStringLiteral("&Search"));
    Button1->setCancel(false);
    Edit1->setEnabled(true);
    Edit2->setEnabled(true);
    Edit1->setFocus();
}

void TRegForm::Button1Click()
{
    if (Button1->text() != QStringLiteral("&Search")) {
        // Stop: runs inside the walk's message-loop step.
        StopSearchRun();
        return;
    }
    // A start pressed while a stopped run still unwinds would run nested inside it
    // and mix both runs' counters and statistics; the press is dropped instead.
    if (searchrun::g_activeRuns > 0) return;
    // Options that cannot search (an invalid pattern, a wrong date) are refused here.
    if (!PrepareSearchRun()) return;
    // Counts the run from its start press until its handler returns, also when an
    // error or a destroyed window leaves the handler early.
    const QScopedValueRollback<int> active(searchrun::g_activeRuns, searchrun::g_activeRuns + 1);
    try {
        Button1->setText(QStringLiteral("St&op"));
        lb1->clear();
        Button1->setCancel(true);
        Edit1->setEnabled(false);
        Edit2->setEnabled(false);
        // Emptying does not refresh the counter: it shows the last list until a row comes.
        ClearFoundRows();
        BrowseReg();
    } catch (const searchrun::TWindowGone &) {
        return; // the window is gone: touch nothing
    }
    FoundLVSelectAll();
    RefreshCounter();
    if (Edit2->text().isEmpty() && FoundRowCount() > 0) Edit2->setFocus();
    if (searchrun::g_keysBeyondDepth) Dialogs::information(SearchEngine::keysBeyondDepthText());
}

void TRegForm::BrowseReg()
{
    QElapsedTimer started;
    started.start();
    UnitState::keysCounter = 0;
    UnitState::valuesCounter = 0;
    UnitState::byteTotal = 0;
    searchrun::g_keysBeyondDepth = false;
    pb1->setPosition(0);
    pb2->setMax(0);
    FoundLV->header()->setSectionsClickable(false);
    m_lastMessageStepNs = -1;
    m_walkBarChanged = false;
    m_walkCounterDue = false;
    PaintPacer pacer(*this, searchrun::paintGapNs());
    m_paintPacer = &pacer;
    // A handler may destroy the window during the walk: then nothing of it is touched.
    const QPointer<TRegForm> alive(this);
    const auto unpace = qScopeGuard([this, alive] {
        if (alive) m_paintPacer = nullptr;
    });

    UnitState::searchText = asciiLower(fromQt(Edit1->text()));

    std::string rootName, nodePath;
    const TTreeNode *root = NodeRootAndPath(RegTV->selectedNode(), rootName, nodePath);
    const SearchScope scope = root ? SearchScope::below(root->row(), nodePath)
                                   : SearchScope::defaultRoots(ckbmirr->isChecked());

    for (int index = scope.firstRoot; index <= scope.lastRoot; ++index) {
        const RootEntry &entry = RootTable()[std::size_t(index)];
        const std::string name(entry.displayName);
        lb1->setText(toQt(name));
        UnitState::currentRootName = name;
        BrowseSubKeys(scope.keyPath, entry.handle);
        pb1->stepIt();
        if (!Button1->isCancel()) break;
    }

    // Rows that still wait for the model's next merge are shown with the statistics.
    MergeFoundRows(false);
    lb1->setText(statisticsTimeText(double(started.elapsed()) / 1000.0, UnitState::byteTotal,
                                    QLocale::system()));
    lb2->setText(statisticsCountText(UnitState::keysCounter, UnitState::valuesCounter));

    FoundLV->header()->setSectionsClickable(true);
    Button1->setText(QStringLiteral("&Search"));
    Edit1->setEnabled(true);
    Edit2->setEnabled(true);
    Button1->setCancel(false);
    pb1->setPosition(0);
    pb2->setPosition(0);
}
