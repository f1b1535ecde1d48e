// The key walker: the window drives the search engine below a key and lists its rows.
#include "app/TRegForm.h"

#include "app/UnitState.h"
#include "registry/api/TRegistry.h"
#include "registry/text/ValueText.h"
#include "search/PaintPacer.h"
#include "search/SearchEngine.h"
#include "search/SearchRunState.h"
#include "widgets/QtText.h"
#include "widgets/TButton.h"
#include "widgets/TProgressBar.h"

#include <QCoreApplication>
#include <QLabel>
#include <QPointer>
#include <QScopeGuard>

#include <chrono>
#include <cstdint>
#include <string_view>

namespace {

// Message-loop passes the walk has made: a key opened before the last of them may
// have been changed by a handler and is opened afresh.
std::uint64_t g_messagePasses = 0;

// Message-loop steps since the walker last read the clock.
unsigned g_stepsSinceClock = 0;

qint64 nowNs()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

} // namespace

void TRegForm::WalkerMessageStep()
{
    // A message-loop pass costs about 20 microseconds even when nothing waits (one
    // per value made a 610,000-value walk take 13 s instead of 1.3 s), and about a
    // millisecond when it repaints the progress. Passes closer together than the
    // gap (10 ms) are skipped; input waits at most that long longer, and the first
    // value of a run always gets a pass.
    // Reading the clock costs as much as testing a value, and thousands of values
    // go by in a gap: it is read at every eighth step only.
    const std::int64_t gap = searchrun::messageStepGapNs();
    if (m_lastMessageStepNs >= 0 && gap > 0 && ++g_stepsSinceClock % 8 != 0) return;
    const qint64 now = nowNs();
    if (m_lastMessageStepNs >= 0 && now - m_lastMessageStepNs < gap) return;
    // Rows found since the last merge reach the view before it repaints, and the
    // handlers that run see the progress as it is.
    MergeFoundRows(true);
    ShowWalkProgress();
    QPointer<TRegForm> alive(this);
    ++g_messagePasses;
    QCoreApplication::processEvents();
    if (!alive) throw searchrun::TWindowGone{};
    m_lastMessageStepNs = nowNs();
}

void TRegForm::PaintWalkProgress()
{
    // No message loop runs between the subkeys of a big key: the progress is
    // painted here, with whatever else changed, at the pace of the run's paints.
    if (!m_paintPacer || !m_paintPacer->due()) return;
    ShowWalkProgress();
    m_paintPacer->paintNow();
}

void TRegForm::ShowWalkProgress()
{
    // Setting the bar costs microseconds (it formats its text and tells the
    // accessibility layer), and a big key sets it once per subkey: 37,000 times
    // in a walk of the benchmark registry, a sixth of the walk. It is set when it
    // can be seen or read instead. It would also repaint itself at once; it is
    // painted with the rest of the window.
    if (m_walkBarChanged) {
        m_walkBarChanged = false;
        pb2->setUpdatesEnabled(false);
        pb2->setMax(m_walkBarMax);
        pb2->setPosition(m_walkBarPosition);
        pb2->setUpdatesEnabled(true);
    }
    // Formatting the counter per row took a tenth of a search that finds 200,000.
    if (m_walkCounterDue) {
        m_walkCounterDue = false;
        RefreshCounter();
    }
}

void TRegForm::BrowseSubKeys(const std::string &keyPath, HKEY root)
{
    // The window's face of the walk: rows go to the result list, the message loop
    // runs between values, big keys show their path and a progress bar. A local
    // class, so that it reaches the window's members as this member does.
    class WindowSink : public SearchSink
    {
    public:
        explicit WindowSink(TRegForm &form) : m_form(form) {}
        const SearchStatistics *counts = nullptr;

        void found(const ResultRowView &row) override
        {
            m_form.AddFoundRow(row);
            // No counter refresh for multi-string rows; the next refresh catches up.
            if (row.type != TypeText(REG_MULTI_SZ)) m_form.m_walkCounterDue = true;
        }

        bool nextValue(std::size_t index, std::size_t count) override
        {
            m_form.WalkerMessageStep();
            if (!m_form.Button1->isCancel()) return false;
            if (index > 0 && index % 50 == 0)
                m_form.lb2->setText(QStringLiteral("%1 Values %2 Keys (%3/%4)")
                                        .arg(counts->values)
                                        .arg(counts->keys)
                                        .arg(index)
                                        .arg(count));
            return true;
        }

        bool goOn() override { return m_form.Button1->isCancel(); }

        // A key opened before the last message-loop pass may have been changed by a
        // handler and is opened afresh.
        std::uint64_t changeMark() override { return g_messagePasses; }

        void bigKeyListed(std::string_view path, std::size_t) override
        {
            m_form.lb1->setText(toQt(UnitState::currentRootName + std::string(path)));
            m_form.lb2->setText(
                QStringLiteral("%1 Values %2 Keys").arg(counts->values).arg(counts->keys));
            // No message loop runs between subkeys, so the labels are painted here.
            m_form.PaintWalkProgress();
        }

        void bigKeyStep(std::size_t index, std::size_t subkeys) override
        {
            m_form.m_walkBarMax = int(subkeys);
            m_form.m_walkBarPosition = int(index);
            m_form.m_walkBarChanged = true;
            m_form.PaintWalkProgress();
        }

    private:
        TRegForm &m_form;
    };

    WindowSink sink(*this);
    // The run's text under its options.
    SearchEngine engine(SearchRunMatcher(), sink);
    sink.counts = &engine.statistics();
    // The run's counters go on from where they are, and are where the walk left
    // them however it ends.
    engine.statistics() = {UnitState::keysCounter, UnitState::valuesCounter, UnitState::byteTotal,
                           searchrun::g_keysBeyondDepth};
    const QPointer<TRegForm> alive(this);
    const auto keepCounts = qScopeGuard([this, alive, &engine] {
        // What waited for the next paint is shown also when the walk ends early,
        // unless the window is gone.
        if (alive) ShowWalkProgress();
        const SearchStatistics &counts = engine.statistics();
        UnitState::keysCounter = counts.keys;
        UnitState::valuesCounter = counts.values;
        UnitState::byteTotal = counts.bytes;
        searchrun::g_keysBeyondDepth = counts.keysBeyondDepth;
    });
    engine.walk(root, UnitState::currentRootName, keyPath);
}
