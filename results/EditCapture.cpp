#include "results/EditCapture.h"

#include "registry/UndoCapture.h"
#include "results/BulkEditRules.h"
#include "search/Matching.h"

void captureDeleteOf(UndoCapture &capture, const ResultRow &row)
{
    if (row.name.empty())
        capture.captureKey(row.root, row.branch);
    else
        capture.captureValue(row.root, row.branch, row.valueName());
}

void captureReplaceOf(UndoCapture &capture, const ResultRow &row, std::string_view loweredSearch,
                      std::string_view replacement)
{
    if (!row.name.empty()) {
        capture.captureValue(row.root, row.branch, row.valueName());
        // The default value keeps its (empty) name.
        std::string newName = row.name;
        if (!row.defaultValue && replaceFirstHit(newName, loweredSearch, replacement))
            capture.captureNewValueName(row.root, row.branch, newName);
    }
    std::string newBranch = row.branch;
    if (replaceInOwnName(newBranch, loweredSearch, replacement) &&
        ownNameSpan(newBranch).length > 0) {
        capture.captureKey(row.root, row.branch);
        capture.captureNewKeyPath(row.root, newBranch);
    }
}
