// The key walker: matches key paths, value names and string data below a key.
#include "app/TRegForm.h"

#include "app/QtText.h"
#include "app/TButton.h"
#include "app/TProgressBar.h"
#include "app/UnitState.h"
#include "registry/MultiStringSplitter.h"
#include "registry/TRegistry.h"
#include "registry/ValueText.h"
#include "results/ResultModel.h"
#include "search/Matching.h"
#include "search/SearchRunState.h"

#include <QCoreApplication>
#include <QLabel>
#include <QPointer>
#include <QScopeGuard>
#include <QScopedValueRollback>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <string_view>
#include <vector>

namespace {

// Keys with at least this many subkeys show their path and a progress bar.
constexpr std::size_t kBigKey = 35;

// Least time between two direct paints of the progress labels and bar.
constexpr qint64 kProgressPaintGapNs = 40'000'000;

// Nesting of walks in progress. Not a window member: it is unwound by scope guards
// that also run when the window was destroyed by a handler in the middle of a walk.
int g_walkDepth = 0;

// Message-loop passes the walk has made: a key opened before the last of them may
// have been changed by a handler and is opened afresh.
std::uint64_t g_messagePasses = 0;

// The walk's buffer for value data, kept from key to key of one walk.
std::vector<char> g_valueBytes;

// Message-loop steps since the walker last read the clock.
unsigned g_stepsSinceClock = 0;

qint64 nowNs()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// Data the single lookup could not deliver, read the long way: those calls
// raise the error that ends the run, as any failed read does. Returns its size.
std::size_t RefetchData(TRegistry &registry, const std::string &name, TValueKind kind,
                        std::vector<char> &bytes)
{
    if (kind == TValueKind::vkMultiString) {
        const int size = std::max(registry.QueryValueSize(name), 0);
        if (bytes.size() < std::size_t(size)) bytes.resize(std::size_t(size));
        return std::size_t(registry.ReadRaw(name, size > 0 ? bytes.data() : nullptr, size));
    }
    const std::string text = registry.ReadText(name);
    if (bytes.size() < text.size()) bytes.resize(text.size());
    std::copy(text.begin(), text.end(), bytes.begin());
    return text.size();
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
    // Rows found since the last merge reach the view before it repaints.
    m_foundModel->flushIfDue();
    QPointer<TRegForm> alive(this);
    ++g_messagePasses;
    QCoreApplication::processEvents();
    if (!alive) throw searchrun::TWindowGone{};
    m_lastMessageStepNs = nowNs();
}

void TRegForm::PaintWalkProgress()
{
    // Painting synchronously costs about a millisecond; keys with thousands of
    // subkeys would spend most of the walk on it. Faster than the eye needs is
    // not painted.
    const qint64 now = nowNs();
    if (m_lastProgressPaintNs >= 0 && now - m_lastProgressPaintNs < kProgressPaintGapNs) return;
    lb1->repaint();
    lb2->repaint();
    pb2->repaint();
    m_lastProgressPaintNs = nowNs();
}

void TRegForm::AddFoundRow(const std::string &keyPath, std::string_view name, std::string_view type,
                           std::string_view value)
{
    // Only data rows can stand for the default value: its empty name never matches.
    const bool defaultValue = name.empty() && !type.empty();
    if (defaultValue) name = kStandardName;
    m_foundModel->appendRow(ResultRowView{UnitState::currentRootName,
                                          std::string_view(keyPath).substr(1), name, type, value,
                                          defaultValue});
}

void TRegForm::BrowseSubKeys(const std::string &keyPath, HKEY root)
{
    // The outermost walk gives the data buffer back when it ends, however it ends:
    // it grew to the largest value met.
    const auto releaseBuffer = qScopeGuard([outermost = g_walkDepth == 0] {
        if (outermost) std::vector<char>().swap(g_valueBytes);
    });
    const QScopedValueRollback<int> depth(g_walkDepth, g_walkDepth + 1);
    TRegistry registry;
    std::vector<std::string> subkeys;

    const bool opened = OpenWithAllAccess(registry, root, keyPath);
    const std::uint64_t passesAtOpen = g_messagePasses;
    if (opened) {
        if (isHit(UnitState::searchText, keyPath)) {
            AddFoundRow(keyPath);
            RefreshCounter();
        }

        std::vector<std::string> names;
        registry.ListValueNames(names);
        // Data of every value in turn; the room a long one needed serves the rest of
        // the walk (the values of a key are done before its subkeys are walked).
        std::vector<char> &bytes = g_valueBytes;
        UnitState::valuesCounter += std::int32_t(names.size());
        const std::size_t count = names.size();
        for (std::size_t i = 0; i < count; ++i) {
            WalkerMessageStep();
            if (!Button1->isCancel()) break;
            if (i > 0 && i % 50 == 0)
                lb2->setText(QStringLiteral("%1 Values %2 Keys (%3/%4)")
                                 .arg(UnitState::valuesCounter)
                                 .arg(UnitState::keysCounter)
                                 .arg(i)
                                 .arg(count));
            const std::string &name = names[i];
            // The search text is read afresh: a replace in a handler may have set it.
            if (isHit(UnitState::searchText, name)) {
                AddFoundRow(keyPath, name);
                RefreshCounter();
            }
            TValueInfoRec info;
            const bool fetched = registry.FetchValue(name, info, bytes);
            UnitState::byteTotal += info.DataSize;
            const bool textKind =
                info.Kind == TValueKind::vkString || info.Kind == TValueKind::vkExpandString;
            std::size_t size = info.DataSize;
            if (!fetched && (textKind || info.Kind == TValueKind::vkMultiString))
                size = RefetchData(registry, name, info.Kind, bytes);
            if (textKind) {
                std::string_view text(bytes.data(), size);
                text = text.substr(0, text.find('\0'));
                if (isHit(UnitState::searchText, text)) {
                    AddFoundRow(keyPath, name, TypeText(info.Kind), text);
                    RefreshCounter();
                }
            } else if (info.Kind == TValueKind::vkMultiString) {
                const std::vector<std::string> entries = SplitMultiString(bytes.data(), int(size));
                const bool hit =
                    std::any_of(entries.begin(), entries.end(), [](const std::string &e) {
                        return isHit(UnitState::searchText, e);
                    });
                // No counter refresh for these rows; the next refresh catches up.
                if (hit) AddFoundRow(keyPath, name, TypeText(info.Kind), MultiStringText(entries));
            }
        }
    }

    if (!opened || g_messagePasses != passesAtOpen) registry.OpenPath(keyPath);
    registry.ListSubkeys(subkeys);
    registry.ClosePath();

    const std::size_t count = subkeys.size();
    const bool big = count >= kBigKey;
    if (big) {
        lb1->setText(toQt(UnitState::currentRootName + keyPath));
        lb2->setText(QStringLiteral("%1 Values %2 Keys")
                         .arg(UnitState::valuesCounter)
                         .arg(UnitState::keysCounter));
        // No message loop runs in the subkey loop, so the labels are painted here.
        PaintWalkProgress();
    }
    if (g_walkDepth > searchrun::kMaxWalkDepth) {
        if (count > 0 && Button1->isCancel()) searchrun::g_keysBeyondDepth = true;
        return;
    }
    for (std::size_t j = 0; j < count; ++j) {
        const std::string &subkey = subkeys[j];
        // An empty name would repeat this key under a doubled backslash, without end.
        if (subkey.empty()) continue;
        ++UnitState::keysCounter;
        if (big) {
            // The bar would repaint itself on every visible step; it is painted with
            // the labels instead.
            pb2->setUpdatesEnabled(false);
            pb2->setMax(int(count));
            pb2->setPosition(int(j));
            pb2->setUpdatesEnabled(true);
            PaintWalkProgress();
        }
        BrowseSubKeys(keyPath + subkey + '\\', root);
        if (!Button1->isCancel()) break;
    }
}
