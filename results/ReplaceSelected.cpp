// Replacing the search text in what the selected result rows stand for: string
// data first, then value names, then key names.
#include "app/TRegForm.h"

#include "app/Dialogs.h"
#include "app/EditSafety.h"
#include "app/QtText.h"
#include "app/TReportView.h"
#include "app/UnitState.h"
#include "registry/TRegistry.h"
#include "registry/WideText.h"
#include "results/BulkEditRules.h"
#include "results/EditCapture.h"
#include "results/MultiStringData.h"
#include "results/ResultModel.h"
#include "results/SelectedRows.h"
#include "search/Matching.h"

#include <QLabel>
#include <QLineEdit>

#include <cstdint>
#include <optional>
#include <string>
#include <unordered_set>
#include <vector>

namespace {

// Pass 1 on one data row whose key is open. Works on the value's stored bytes: not
// on the Value cell, which ends at the first NUL and may be out of date, and not
// through the 8-bit calls, which drop the last byte of string data of odd length.
// That byte is no part of any character; it stays as it is, after the text.
bool replaceInData(TRegistry &reg, const ResultRow &row)
{
    const std::string name = row.valueName();
    std::vector<uint8_t> stored;
    DWORD type = REG_NONE;
    if (!reg.FetchStored(name, stored, type)) return false; // gone
    const bool multi = type == REG_MULTI_SZ;
    if (!multi && type != REG_SZ && type != REG_EXPAND_SZ) return false; // no longer a string
    std::u16string units(stored.size() / 2, u'\0');
    for (std::size_t k = 0; k < units.size(); ++k)
        units[k] = char16_t(stored[2 * k] | stored[2 * k + 1] << 8);
    std::string text = BytesFromWide(units);
    const std::string &search = UnitState::searchText;
    const std::string &replacement = UnitState::replaceText;
    if (!(multi ? replaceInMultiString(text, search, replacement)
                : replaceInStringData(text, search, replacement)))
        return false;
    units = WideFromBytes(text);
    std::vector<uint8_t> bytes(units.size() * 2);
    for (std::size_t k = 0; k < units.size(); ++k) {
        bytes[2 * k] = uint8_t(units[k] & 0xFF);
        bytes[2 * k + 1] = uint8_t(units[k] >> 8);
    }
    if (stored.size() % 2 != 0) bytes.push_back(stored.back());
    reg.StoreStored(name, bytes, type);
    return true;
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

    rows.noteWhatIsThere(*this);

    int replaced = 0;
    bool stopped = false; // the registry refuses every change: no pass goes on
    TRegistry reg;

    // Each pass visits, in list order or in `order`, the rows still selected that
    // have work in it, with their key open. A row whose key does not open is told
    // and deselected, so later passes skip it; one whose key an earlier row took
    // along is done and stays selected.
    const auto eachOpenRow = [&](const std::vector<std::size_t> *order, auto &&hasWork,
                                 auto &&step) {
        for (std::size_t n = 0; n < rows.size() && !stopped; ++n) {
            const std::size_t i = order ? (*order)[n] : n;
            if (!rows.isSelected(i) || !hasWork(i)) continue;
            if (openRowKey(*this, reg, rows, i) != RowKey::Open) continue;
            step(i, rows.row(i));
            reg.ClosePath();
        }
    };
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

    // Pass 1: string data. Every row is visited, so that a key that does not open
    // is told here, once.
    eachOpenRow(
        nullptr, [](std::size_t) { return true; },
        [&](std::size_t i, const ResultRow &row) {
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
    eachOpenRow(
        nullptr,
        [&](std::size_t i) { return plans[i].newValueName && !renamedAlready(rows.row(i)); },
        [&](std::size_t i, const ResultRow &row) {
            const bool renamed = renameValue(reg, row.name, *plans[i].newValueName);
            // Renamed already under the key's other root: done.
            if (!renamed && rows.takenEarlier(*this, i, true)) return;
            settle(i, renamed, renamedValues, rowValueId(row), rowValueText(row), renameOrMoveLeft);
        });

    // Pass 3: key names, deeper keys first, so that each is renamed where its row
    // says before a key above it moves. The other rows of a key moved here went
    // with it: they leave the list quietly.
    const std::vector<std::size_t> order = keyMoveOrder(rows.all());
    std::vector<std::size_t> rank(order.size());
    for (std::size_t n = 0; n < order.size(); ++n)
        rank[order[n]] = n;
    std::unordered_set<std::string> movedKeys; // Root and old Branch
    const auto movedAlready = [&](const ResultRow &row) {
        return movedKeys.count(rowKeyId(row)) > 0;
    };
    const auto moveLeft = [&](std::size_t i, std::size_t j) {
        return rank[j] > rank[i] && plans[j].keyNameHit && !movedAlready(rows.row(j));
    };
    eachOpenRow(
        &order, [&](std::size_t i) { return plans[i].keyNameHit && !movedAlready(rows.row(i)); },
        [&](std::size_t i, const ResultRow &row) {
            const ReplacePlan &plan = plans[i];
            const bool moved =
                plan.newBranch && relocateKey(reg, '\\' + row.branch, '\\' + *plan.newBranch);
            settle(i, moved, movedKeys, rowKeyId(row), rowKeyText(row), moveLeft);
        });

    safety.finish(replaced > 0, std::to_string(replaced) + " items replaced");
    rows.removeStillSelected();
    lb1->setText(QString::number(replaced) + QStringLiteral(" items replaced"));
    RefreshCounter();
}
