#include "results/BulkEdits.h"

#include "registry/api/KeyPath.h"
#include "registry/api/MultiStringSplitter.h"
#include "registry/api/RootTable.h"
#include "registry/api/TRegistry.h"
#include "registry/text/ValueText.h"
#include "registry/win32/WideText.h"
#include "results/MultiStringData.h"
#include "search/Matcher.h"
#include "search/Matching.h"

#include <cstdint>
#include <functional>
#include <unordered_set>

DeleteStep deleteStepOf(const ResultRow &row)
{
    if (!row.name.empty()) return row.defaultValue ? DeleteStep::EmptyDefault : DeleteStep::Value;
    return row.branch.empty() ? DeleteStep::RootRefused : DeleteStep::KeyTree;
}

BulkReplacePlan planBulkReplace(const std::vector<ResultRow> &rows, std::string_view searchTyped,
                                std::string_view replacement, const SearchOptions &options)
{
    BulkReplacePlan plan;
    plan.matcher = std::make_shared<const Matcher>(searchTyped, options);
    plan.replacement = std::string(replacement);
    plan.rows.reserve(rows.size());
    for (const ResultRow &row : rows)
        plan.rows.push_back(planReplace(row, *plan.matcher, plan.replacement));
    plan.keyMoves = keyMoveOrder(rows);
    return plan;
}

namespace {

// A string value's data as stored, and as 8-bit text. Works on the stored bytes:
// not on the Value cell, which ends at the first NUL and may be out of date, and
// not through the 8-bit calls, which drop the last byte of string data of odd
// length. That byte is no part of any character; it stays as it is, after the text.
struct StoredText
{
    std::vector<uint8_t> stored;
    DWORD type = REG_NONE;
    std::string text;
};

// False when the value is gone or no longer a string.
bool readStoredText(TRegistry &reg, const std::string &name, StoredText &value)
{
    if (!reg.FetchStored(name, value.stored, value.type)) return false;
    if (value.type != REG_MULTI_SZ && !IsTextKind(KindOfRegType(value.type))) return false;
    value.text = BytesFromWide(utf16leUnits(value.stored));
    return true;
}

// Reads the value's text and replaces in it; false when there is nothing to
// change (no value, no hit, or a replacement that gives the same text back).
bool replacedStoredText(TRegistry &reg, const std::string &name, const BulkReplacePlan &plan,
                        StoredText &value)
{
    if (!readStoredText(reg, name, value)) return false;
    const std::string before = value.text;
    const bool replaced = value.type == REG_MULTI_SZ
                              ? replaceInMultiString(value.text, *plan.matcher, plan.replacement)
                              : replaceInStringData(value.text, *plan.matcher, plan.replacement);
    return replaced && value.text != before;
}

void writeStoredText(TRegistry &reg, const std::string &name, const StoredText &value)
{
    std::vector<uint8_t> bytes = utf16leBytes<std::vector<uint8_t>>(WideFromBytes(value.text));
    if (value.stored.size() % 2 != 0) bytes.push_back(value.stored.back());
    reg.StoreStored(name, bytes, value.type);
}

std::string keyPathOf(const ResultRow &row)
{
    return KeyPath::fromBranch(row.branch).walkerPath();
}

// One edit's run over the rows: which rows' keys and values were there when it
// began, which rows stay in the list, and whether the registry stopped it.
class EditRun
{
public:
    EditRun(const std::vector<ResultRow> &rows, BulkEditObserver &observer)
        : m_rows(rows), m_observer(observer)
    {
        m_result.rows.resize(rows.size());
        noteWhatIsThere();
    }

    const ResultRow &row(std::size_t i) const { return m_rows[i]; }
    std::size_t size() const { return m_rows.size(); }
    bool stopped() const { return m_result.stopped; }
    bool listed(std::size_t i) const { return !m_result.rows[i].staysListed(); }

    void count(std::size_t i)
    {
        ++m_result.rows[i].counted;
        ++m_result.counted;
        m_result.changed = true;
    }
    void emptied(std::size_t i)
    {
        m_result.rows[i].emptied = true;
        m_result.changed = true;
    }
    void taken(std::size_t i)
    {
        if (m_result.rows[i].state == BulkRowOutcome::State::Done)
            m_result.rows[i].state = BulkRowOutcome::State::Taken;
    }

    // Whether row i's key (with `valueToo`, or its value) was there when the edit
    // began and is gone now: an earlier row of the edit took it along (a key above
    // it deleted or moved, the same key under another root, the other row of the
    // same value). Such a row is done, not failed.
    bool takenEarlier(std::size_t i, bool valueToo) const
    {
        if (!m_keyThere[i]) return false;
        const ResultRow &row = m_rows[i];
        TRegistry reg;
        reg.SelectRoot(RootHandleByName(row.root));
        // Gone, not merely refused: a key that is there but does not open for a change
        // is a failure of its own.
        if (!reg.HasKey(keyPathOf(row))) return true;
        return valueToo && m_valueThere[i] && reg.OpenPath(keyPathOf(row)) &&
               !reg.HasValue(row.valueName());
    }

    // Opens row i's key in reg with full access. A key an earlier row took along is
    // Taken, quietly; any other key that does not open is told and the row kept.
    enum class Key
    {
        Open,
        Taken,
        NotOpened
    };
    Key open(TRegistry &reg, std::size_t i)
    {
        const ResultRow &row = m_rows[i];
        if (OpenWithAllAccess(reg, RootHandleByName(row.root), keyPathOf(row))) return Key::Open;
        if (takenEarlier(i, false)) {
            taken(i);
            return Key::Taken;
        }
        const std::string message = "not opened: " + rowKeyText(row);
        m_observer.tell(message);
        keep(i, BulkRowOutcome::State::Failed, message);
        return Key::NotOpened;
    }

    // After what row i stands for could not be changed. While the registry still
    // takes changes, the message is told and the row stays in the list. Once it
    // refuses every change, the observer says why instead, the rows `workLeft`
    // names (j ≠ i) stay too, and the edit stops.
    void failed(std::size_t i, const std::string &message,
                const std::function<bool(std::size_t)> &workLeft)
    {
        keep(i, BulkRowOutcome::State::Failed, message);
        if (!m_observer.refusesFromNowOn()) {
            m_observer.tell(message);
            return;
        }
        for (std::size_t j = 0; j < m_rows.size(); ++j)
            if (j != i && workLeft(j)) keep(j, BulkRowOutcome::State::Left, {});
        m_result.stopped = true;
    }

    // Row i is not for this edit (a replace of a number row): told and kept, and the
    // edit goes on, as the registry refused nothing.
    void refused(std::size_t i, const std::string &message)
    {
        keep(i, BulkRowOutcome::State::Failed, message);
        m_observer.refuse(message);
    }

    BulkEditResult take() { return std::move(m_result); }

private:
    void noteWhatIsThere()
    {
        m_keyThere.assign(m_rows.size(), 0);
        m_valueThere.assign(m_rows.size(), 0);
        TRegistry reg;
        for (std::size_t i = 0; i < m_rows.size(); ++i) {
            const ResultRow &row = m_rows[i];
            // Opened as the edit opens it: a key that does not open then was never there for it.
            if (!OpenWithAllAccess(reg, RootHandleByName(row.root), keyPathOf(row))) continue;
            m_keyThere[i] = 1;
            m_valueThere[i] = !row.name.empty() && reg.HasValue(row.valueName());
        }
    }

    void keep(std::size_t i, BulkRowOutcome::State state, const std::string &why)
    {
        BulkRowOutcome &outcome = m_result.rows[i];
        if (outcome.staysListed()) return;
        outcome.state = state;
        outcome.why = why;
        m_observer.rowKept(i);
    }

    const std::vector<ResultRow> &m_rows;
    BulkEditObserver &m_observer;
    BulkEditResult m_result;
    std::vector<char> m_keyThere, m_valueThere;
};

} // namespace

std::vector<ReplacePreview> previewReplace(const std::vector<ResultRow> &rows,
                                           const BulkReplacePlan &plan)
{
    std::vector<ReplacePreview> previews;
    previews.reserve(rows.size());
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const ResultRow &row = rows[i];
        const ReplacePlan &rowPlan = plan.rows[i];
        ReplacePreview preview{row, row};
        // A refused row changes nothing of itself.
        if (!rowPlan.refusal.empty()) {
            previews.push_back(std::move(preview));
            continue;
        }
        if (rowPlan.newValueName) preview.after.name = *rowPlan.newValueName;
        if (rowPlan.newBranch) preview.after.branch = *rowPlan.newBranch;
        TRegistry reg;
        reg.SelectRoot(RootHandleByName(row.root));
        reg.SetAccessMask(TRegistry::kReadAccess);
        StoredText value;
        if (rowPlan.rewritesData && reg.OpenPath(keyPathOf(row)) &&
            replacedStoredText(reg, row.valueName(), plan, value)) {
            preview.dataChanges = true;
            // The cell as the search shows such data.
            if (value.type == REG_MULTI_SZ)
                preview.after.value = MultiStringText(
                    SplitMultiString(value.text.data(), static_cast<int>(value.text.size())));
            else
                preview.after.value = value.text.substr(0, value.text.find('\0'));
        }
        previews.push_back(std::move(preview));
    }
    return previews;
}

BulkEditResult deleteRows(const std::vector<ResultRow> &rows, BulkEditObserver &observer)
{
    EditRun run(rows, observer);
    // Stopped there, the later rows keep their work unless an earlier row took
    // what they stand for along.
    const auto notDeleted = [&](std::size_t i, const std::string &path) {
        run.failed(i, "not deleted: " + path,
                   [&](std::size_t j) { return j > i && !run.takenEarlier(j, true); });
    };
    for (std::size_t i = 0; i < run.size() && !run.stopped(); ++i) {
        const ResultRow &row = run.row(i);
        TRegistry reg;
        // A row whose key went with an earlier row is done: it leaves the list
        // quietly, uncounted.
        if (run.open(reg, i) != EditRun::Key::Open) continue;
        switch (deleteStepOf(row)) {
        case DeleteStep::EmptyDefault:
        case DeleteStep::Value:
            switch (DeleteOrEmptyValue(reg, row.valueName())) {
            case ValueRemoval::Emptied: run.emptied(i); break;
            case ValueRemoval::Deleted: run.count(i); break;
            case ValueRemoval::Failed:
                if (run.takenEarlier(i, true))
                    run.taken(i);
                else
                    notDeleted(i, rowValueText(row));
                break;
            }
            break;
        case DeleteStep::KeyTree:
            if (reg.DeleteTree(keyPathOf(row)))
                run.count(i);
            else
                notDeleted(i, rowKeyText(row));
            break;
        case DeleteStep::RootRefused: notDeleted(i, rowKeyText(row)); break;
        }
        reg.ClosePath();
    }
    return run.take();
}

BulkEditResult replaceInRows(const std::vector<ResultRow> &rows, const BulkReplacePlan &plan,
                             BulkEditObserver &observer)
{
    EditRun run(rows, observer);
    const std::vector<ReplacePlan> &plans = plan.rows;
    TRegistry reg;

    // Each pass visits, in list order or in `order`, the rows still listed that
    // have work in it, with their key open. A row whose key does not open is told
    // and kept, so later passes skip it; one whose key an earlier row took along is
    // done and leaves the list.
    const auto eachOpenRow = [&](const std::vector<std::size_t> *order, auto &&hasWork,
                                 auto &&step) {
        for (std::size_t n = 0; n < run.size() && !run.stopped(); ++n) {
            const std::size_t i = order ? (*order)[n] : n;
            if (!run.listed(i) || !hasWork(i)) continue;
            if (run.open(reg, i) != EditRun::Key::Open) continue;
            step(i, run.row(i));
            reg.ClosePath();
        }
    };
    // A rename or move that did not happen is told with why and not counted; the
    // row stays. Should the edit stop there, the rows with work left stay too:
    // `workLeft(i, j)`.
    const auto settle = [&](std::size_t i, const std::string &why,
                            std::unordered_set<std::string> &dealtWith, std::string id,
                            const std::string &path, auto &&workLeft) {
        if (why.empty()) {
            run.count(i);
            dealtWith.insert(std::move(id));
            return;
        }
        run.failed(i, "not replaced: " + path + ": " + why,
                   [&](std::size_t j) { return workLeft(i, j); });
    };

    // Pass 1: string data. Every row is visited, so that a key that does not open
    // is told here, once.
    eachOpenRow(
        nullptr, [](std::size_t) { return true; },
        [&](std::size_t i, const ResultRow &row) {
            if (!plans[i].refusal.empty()) {
                run.refused(i, "not replaced: " + rowValueText(row) + ": " + plans[i].refusal);
                return;
            }
            if (!plans[i].rewritesData) return;
            StoredText value;
            const std::string name = row.valueName();
            if (!replacedStoredText(reg, name, plan, value)) return;
            writeStoredText(reg, name, value);
            run.count(i);
        });

    // Pass 2: value names. The second row of a value renamed above has been dealt
    // with already.
    std::unordered_set<std::string> renamedValues; // Root, Branch and old Name
    const auto renamedAlready = [&](std::size_t i) {
        if (renamedValues.count(rowValueId(run.row(i))) == 0) return false;
        run.taken(i);
        return true;
    };
    // Stopped here, a later row's rename is left, and every row's move.
    const auto renameOrMoveLeft = [&](std::size_t i, std::size_t j) {
        return (j > i && plans[j].newValueName && !renamedValues.count(rowValueId(run.row(j)))) ||
               plans[j].keyNameHit;
    };
    eachOpenRow(
        nullptr, [&](std::size_t i) { return plans[i].newValueName && !renamedAlready(i); },
        [&](std::size_t i, const ResultRow &row) {
            const std::string why = reg.RenameValue(row.name, *plans[i].newValueName);
            // Renamed already under the key's other root: done.
            if (!why.empty() && run.takenEarlier(i, true)) {
                run.taken(i);
                return;
            }
            settle(i, why, renamedValues, rowValueId(row), rowValueText(row), renameOrMoveLeft);
        });

    // Pass 3: key names, deeper keys first, so that each is renamed where its row
    // says before a key above it moves. The other rows of a key moved here went
    // with it: they leave the list quietly.
    const std::vector<std::size_t> &order = plan.keyMoves;
    std::vector<std::size_t> rank(order.size());
    for (std::size_t n = 0; n < order.size(); ++n)
        rank[order[n]] = n;
    std::unordered_set<std::string> movedKeys; // Root and old Branch
    const auto movedAlready = [&](std::size_t i) {
        if (movedKeys.count(rowKeyId(run.row(i))) == 0) return false;
        run.taken(i);
        return true;
    };
    const auto moveLeft = [&](std::size_t i, std::size_t j) {
        return rank[j] > rank[i] && plans[j].keyNameHit && !movedKeys.count(rowKeyId(run.row(j)));
    };
    eachOpenRow(
        // A hit without a new Branch was refused in pass 1.
        &order, [&](std::size_t i) { return plans[i].newBranch && !movedAlready(i); },
        [&](std::size_t i, const ResultRow &row) {
            const std::string why =
                reg.MoveKey(keyPathOf(row), KeyPath::fromBranch(*plans[i].newBranch).walkerPath());
            settle(i, why, movedKeys, rowKeyId(row), rowKeyText(row), moveLeft);
        });

    return run.take();
}
