// Replacing the search text in what the selected result rows stand for: string
// data first, then value names, then key names.
#include "app/TRegForm.h"

#include "app/Dialogs.h"
#include "app/EditSafety.h"
#include "app/QtText.h"
#include "app/TReportView.h"
#include "app/UnitState.h"
#include "registry/TRegistry.h"
#include "results/BulkEditRules.h"
#include "results/EditCapture.h"
#include "results/MultiStringData.h"
#include "results/ResultModel.h"
#include "results/SelectedRows.h"
#include "search/Matching.h"

#include <QLabel>
#include <QLineEdit>

#include <optional>
#include <string>
#include <unordered_set>
#include <vector>

namespace {

// The value's current bytes; empty when it has none.
std::string readValueBytes(TRegistry &reg, const std::string &name)
{
    const int size = reg.QueryValueSize(name);
    if (size <= 0) return {};
    std::string bytes(static_cast<std::size_t>(size), '\0');
    TValueKind kind = TValueKind::vkUnknown;
    bytes.resize(static_cast<std::size_t>(reg.FetchData(name, bytes.data(), size, kind)));
    return bytes;
}

// Pass 1 on one data row whose key is open. Works on the value's current bytes,
// not on the Value cell: the cell ends at the first NUL and may be out of date.
bool replaceInData(TRegistry &reg, const ResultRow &row)
{
    const std::string name = row.valueName();
    TValueInfoRec info;
    reg.QueryValueInfo(name, info);
    const std::string &search = UnitState::searchText;
    const std::string &replacement = UnitState::replaceText;
    switch (info.Kind) {
    case TValueKind::vkString:
    case TValueKind::vkExpandString: {
        std::string data = readValueBytes(reg, name);
        if (!replaceInStringData(data, search, replacement)) return false;
        reg.StoreData(name, data.data(), static_cast<int>(data.size()), info.Kind);
        return true;
    }
    case TValueKind::vkMultiString: {
        const int size = reg.QueryValueSize(name);
        std::string data(static_cast<std::size_t>(size > 0 ? size : 0), '\0');
        data.resize(static_cast<std::size_t>(reg.ReadRaw(name, data.data(), size)));
        if (!replaceInMultiString(data, search, replacement)) return false;
        reg.WriteMultiText(name, data.data(), static_cast<int>(data.size()));
        return true;
    }
    default: return false; // gone, or no longer a string
    }
}

// RenameValueName and RelocateKey give no sign whether they acted; these tell.
bool renameValue(TRegistry &reg, const std::string &oldName, const std::string &newName)
{
    if (newName == oldName) return true; // nothing to change
    // A name differing only in case is the same value, so this also refuses those.
    if (!reg.HasValue(oldName) || reg.HasValue(newName)) return false;
    reg.RenameValueName(oldName, newName);
    return !reg.HasValue(oldName) && reg.HasValue(newName);
}

bool relocateKey(TRegistry &reg, const std::string &oldPath, const std::string &newPath)
{
    if (newPath == oldPath) return true; // nothing to change
    if (!reg.HasKey(oldPath) || reg.HasKey(newPath)) return false;
    // Refused silently when the new path lies below the old key.
    reg.RelocateKey(oldPath, newPath, true);
    return !reg.HasKey(oldPath) && reg.HasKey(newPath);
}

} // namespace

void TRegForm::Button4Click()
{
    ReplaceSelected();
}

void TRegForm::Replace1Click()
{
    ReplaceSelected();
}

void TRegForm::ReplaceSelected()
{
    SelectedRows rows(*m_foundModel, *FoundLV->selectionModel());
    if (!haveRowsToEdit(*this, rows)) return;
    if (EditSafety::refusesChanges()) return;
    const std::string searchTyped = fromQt(Edit1->text());
    const std::string replacementTyped = fromQt(Edit2->text());
    if (!Dialogs::confirm(replaceQuestion(searchTyped, replacementTyped))) return;
    UnitState::searchText = asciiLower(searchTyped);
    UnitState::replaceText = replacementTyped;
    if (UnitState::replaceText.empty() && !Dialogs::confirm("Replace with EMPTY String?")) {
        Edit2->setFocus();
        return;
    }
    std::vector<ReplacePlan> plans;
    plans.reserve(rows.size());
    for (std::size_t i = 0; i < rows.size(); ++i)
        plans.push_back(planReplace(rows.row(i), UnitState::searchText, UnitState::replaceText));
    EditSafety safety(m_undoHistory, "replace", "unfinished replace");
    if (!safety.prepare([&](UndoCapture &capture) {
            for (std::size_t i = 0; i < rows.size(); ++i)
                captureReplaceOf(capture, rows.row(i), plans[i]);
        }))
        return;

    int replaced = 0;
    bool stopped = false; // the registry refuses every change: no pass goes on
    TRegistry reg;

    // Each pass visits the rows still selected whose key opens, with the key open;
    // a row whose key does not open is told and deselected, so later passes skip it.
    const auto eachOpenRow = [&](auto &&passOver, auto &&step) {
        for (std::size_t i = 0; i < rows.size() && !stopped; ++i) {
            if (!rows.isSelected(i)) continue;
            const ResultRow &row = rows.row(i);
            if (passOver(row)) continue;
            if (!openRowKey(*this, reg, row)) {
                rows.deselect(i);
                continue;
            }
            step(i, row);
            reg.ClosePath();
        }
    };
    const auto never = [](const ResultRow &) { return false; };
    // A rename or move that did not happen is told and not counted; the row stays.
    // Should the edit stop there, the rows with work left stay too: `workLeft(i, j)`.
    const auto settle = [&](std::size_t i, bool done, std::unordered_set<std::string> &dealtWith,
                            std::string id, const std::string &path, auto &&workLeft) {
        if (done) {
            ++replaced;
            dealtWith.insert(std::move(id));
            return;
        }
        stopped = stopsAfterFailure(rows, i, "not replaced: " + path,
                                    [&](std::size_t j) { return workLeft(i, j); });
    };

    // Pass 1: string data.
    eachOpenRow(never, [&](std::size_t i, const ResultRow &row) {
        if (plans[i].rewritesData && replaceInData(reg, row)) ++replaced;
    });

    // Pass 2: value names. The second row of a value renamed above has been dealt
    // with already.
    std::unordered_set<std::string> renamedValues; // Root, Branch and old Name
    const auto renamedAlready = [&](const ResultRow &row) {
        return renamedValues.count(rowValueId(row)) > 0;
    };
    // Stopped here, a later row's rename is left, and every row's move.
    const auto renameOrMoveLeft = [&](std::size_t i, std::size_t j) {
        return (j > i && plans[j].newValueName && !renamedAlready(rows.row(j))) ||
               plans[j].keyNameHit;
    };
    eachOpenRow(never, [&](std::size_t i, const ResultRow &row) {
        const std::optional<std::string> &newName = plans[i].newValueName;
        if (newName && !renamedAlready(row))
            settle(i, renameValue(reg, row.name, *newName), renamedValues, rowValueId(row),
                   rowValueText(row), renameOrMoveLeft);
    });

    // Pass 3: key names. The other rows of a key moved above went with it: they
    // leave the list quietly.
    std::unordered_set<std::string> movedKeys; // Root and old Branch
    const auto movedAlready = [&](const ResultRow &row) {
        return movedKeys.count(rowKeyId(row)) > 0;
    };
    const auto moveLeft = [&](std::size_t i, std::size_t j) {
        return j > i && plans[j].keyNameHit && !movedAlready(rows.row(j));
    };
    eachOpenRow(movedAlready, [&](std::size_t i, const ResultRow &row) {
        const ReplacePlan &plan = plans[i];
        if (!plan.keyNameHit) return;
        const bool moved =
            plan.newBranch && relocateKey(reg, '\\' + row.branch, '\\' + *plan.newBranch);
        settle(i, moved, movedKeys, rowKeyId(row), rowKeyText(row), moveLeft);
    });

    safety.finish(replaced > 0, std::to_string(replaced) + " items replaced");
    rows.removeStillSelected();
    lb1->setText(QString::number(replaced) + QStringLiteral(" items replaced"));
    RefreshCounter();
}
