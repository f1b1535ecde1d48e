// search, delete and replace: the search engine's rows, and the bulk edits over them.
#include "cli/RowFormats.h"
#include "cli/RowWriter.h"
#include "cli/Session.h"
#include "registry/api/KeyPath.h"
#include "registry/api/RootTable.h"
#include "registry/api/TRegistry.h"
#include "registry/undo/SafetyNet.h"
#include "registry/undo/UndoCapture.h"
#include "results/BulkEditPreview.h"
#include "results/BulkEdits.h"
#include "results/EditCapture.h"
#include "results/RowExport.h"
#include "search/Matcher.h"
#include "search/Matching.h"
#include "search/SearchCheck.h"
#include "search/SearchEngine.h"

#include <optional>

namespace quarnel::cli {

namespace {

std::optional<SearchScope> scopeOf(const Session &session)
{
    const Invocation &inv = session.invocation();
    if (!inv.hasKey) return SearchScope::defaultRoots(inv.mirrored);
    return SearchScope::parse(inv.key);
}

// A --key that names no key is a mistake to tell, not a search that found nothing.
// Asked once the registry is open; "" when the scope is there.
std::string missingScopeKey(const Session &session, const SearchScope &scope)
{
    if (!session.invocation().hasKey) return {};
    TRegistry reg;
    reg.SelectRoot(RootTable()[scope.firstRoot].handle);
    if (reg.HasKey(scope.keyPath)) return {};
    return "there is no key " + std::string(RootTable()[scope.firstRoot].displayName) +
           KeyPath::fromWalkerPath(scope.keyPath).nodePath() + "; nothing was searched";
}

class PrintingSink : public SearchSink
{
public:
    explicit PrintingSink(RowFormat format)
    {
        if (format != RowFormat::Reg) m_writer.emplace(format, rowHeaders());
    }
    void found(const ResultRowView &row) override
    {
        ++m_rows;
        if (!m_writer) {
            ResultRow whole{std::string(row.root), std::string(row.branch), std::string(row.name),
                            std::string(row.type), std::string(row.value),  row.defaultValue};
            captureExportOf(m_capture, whole);
            return;
        }
        m_writer->add(cellsOf(row));
    }
    void finish()
    {
        if (m_writer)
            m_writer->finish();
        else if (m_rows > 0)
            out(exportFileText(m_capture));
    }
    std::size_t rows() const { return m_rows; }

private:
    std::optional<RowWriter> m_writer;
    UndoCapture m_capture;
    std::size_t m_rows = 0;
};

// Finds the rows of a delete or replace; nullopt after a message.
std::optional<std::vector<ResultRow>> findRows(Session &session, const Matcher &matcher,
                                               int &status)
{
    const Invocation &inv = session.invocation();
    const auto scope = scopeOf(session);
    if (!scope) {
        status = session.fail("\"" + inv.key + "\" does not start with a root");
        return std::nullopt;
    }
    if (const std::string missing = missingScopeKey(session, *scope); !missing.empty()) {
        status = session.fail(missing);
        return std::nullopt;
    }
    SearchStatistics statistics;
    std::vector<ResultRow> rows;
    try {
        rows = searchRows(matcher, *scope, &statistics);
    } catch (const ERegistryException &e) {
        status = session.fail(std::string("the search failed: ") + e.what());
        return std::nullopt;
    }
    if (statistics.keysBeyondDepth) session.note(SearchEngine::keysBeyondDepthText());
    if (rows.empty()) {
        session.note("nothing found for \"" + inv.operands[0] + "\"; nothing was changed");
        status = kNothingFound;
        return std::nullopt;
    }
    return rows;
}

class TellingObserver : public BulkEditObserver
{
public:
    explicit TellingObserver(const Session &session) : m_session(session) {}
    bool refusesFromNowOn() override
    {
        const std::string reason = refusalText(SafetyNet::refusalFromNowOn());
        if (reason.empty()) return false;
        m_session.fail(reason);
        return true;
    }

private:
    const Session &m_session;
};

std::string outcomeText(const BulkRowOutcome &outcome, const char *done)
{
    switch (outcome.state) {
    case BulkRowOutcome::State::Done: return outcome.emptied ? "emptied" : done;
    case BulkRowOutcome::State::Taken: return "taken along";
    case BulkRowOutcome::State::Failed: return outcome.why;
    case BulkRowOutcome::State::Left: return "left";
    }
    return {};
}

std::vector<std::string> withOutcome()
{
    std::vector<std::string> headers{"Outcome"};
    for (const std::string &h : rowHeaders())
        headers.push_back(h);
    return headers;
}

// A dry run ends as the edit would: with trouble when it would refuse items.
int wouldRefuse(Session &session, const std::vector<std::string> &refusals)
{
    std::string text = "some items would not be changed:";
    for (const std::string &refusal : refusals)
        text += "\n  " + refusal;
    return session.fail(text);
}

int report(Session &session, const std::vector<ResultRow> &rows, const BulkEditResult &result,
           const char *done, const std::string &summary)
{
    const RowFormat format = chosenFormat(session.invocation());
    RowWriter writer(format, withOutcome());
    std::string failures;
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const std::string outcome = outcomeText(result.rows[i], done);
        Cells cells{outcome};
        for (std::string_view cell : cellsOf(rows[i]))
            cells.push_back(cell);
        writer.add(cells);
        if (result.rows[i].state == BulkRowOutcome::State::Failed) failures += "\n  " + outcome;
    }
    writer.finish();
    if (format == RowFormat::Text)
        out(summary + "\n");
    else
        session.note(summary);
    if (result.stopped) return kTrouble; // the reason was said when it stopped
    if (!failures.empty()) return session.fail("some items were not changed:" + failures);
    return kDone;
}

} // namespace

std::string refusalText(const SearchRefusal &refusal)
{
    using Kind = SearchRefusal::Kind;
    switch (refusal.kind) {
    case Kind::None: return {};
    case Kind::OptionText:
        return "option '" + std::string(refusal.option->word) + "': " + refusal.detail;
    case Kind::NothingToLookIn:
    case Kind::NoTimeBetween: return optionsRefusalText(refusal.kind);
    case Kind::EmptyText: return "the search text is empty";
    case Kind::Pattern: return "invalid pattern: " + refusal.detail;
    case Kind::Replacement: return "the new text does not suit the pattern: " + refusal.detail;
    }
    return {};
}

std::shared_ptr<const Matcher> checkedSearch(const Session &session)
{
    const Invocation &inv = session.invocation();
    SearchRequest request;
    request.text = inv.operands[0];
    request.options = inv.searchOptions;
    request.textRequired = true;
    if (inv.command == Command::Replace) request.replacement = inv.operands[1];
    CheckedSearch checked = checkSearch(request);
    if (checked.refusal) session.fail(refusalText(checked.refusal));
    return std::move(checked.matcher);
}

int runSearch(Session &session)
{
    const Invocation &inv = session.invocation();
    const auto checked = checkedSearch(session);
    if (!checked) return kTrouble;
    const Matcher &matcher = *checked;
    const auto scope = scopeOf(session);
    if (!scope) return session.fail("\"" + inv.key + "\" does not start with a root");
    if (!session.open(false)) return kTrouble;
    if (const std::string missing = missingScopeKey(session, *scope); !missing.empty())
        return session.fail(missing);
    PrintingSink sink(chosenFormat(inv));
    SearchEngine engine(matcher, sink);
    try {
        engine.run(*scope);
    } catch (const ERegistryException &e) {
        sink.finish();
        return session.fail(std::string("the search failed: ") + e.what());
    }
    sink.finish();
    if (engine.statistics().keysBeyondDepth) session.note(SearchEngine::keysBeyondDepthText());
    return sink.rows() > 0 ? kDone : kNothingFound;
}

int runDelete(Session &session)
{
    const Invocation &inv = session.invocation();
    const auto checked = checkedSearch(session);
    if (!checked) return kTrouble;
    const Matcher &matcher = *checked;
    if (!scopeOf(session)) return session.fail("\"" + inv.key + "\" does not start with a root");
    if (!session.open(!inv.dryRun)) return kTrouble;
    int status = kTrouble;
    const auto rows = findRows(session, matcher, status);
    if (!rows) return status;
    const std::string count = std::to_string(rows->size());
    // What the window's question tells, told here too.
    const DeletePreview preview = previewDelete(*rows);
    if (inv.dryRun) {
        RowWriter writer(chosenFormat(inv), rowHeaders());
        for (const ResultRow &row : *rows)
            writer.add(cellsOf(row));
        writer.finish();
        session.note(preview.summary());
        return preview.refused > 0 ? wouldRefuse(session, preview.refusals) : kDone;
    }
    session.note(preview.summary());
    if (!session.confirm("Delete " + count + " items?")) return kTrouble;
    SafetyNet net("delete", "unfinished delete");
    if (const std::string failed = net.prepare([&](UndoCapture &capture) {
            for (const ResultRow &row : *rows)
                captureDeleteOf(capture, row);
        });
        !failed.empty())
        return session.fail(failed);
    TellingObserver observer(session);
    const BulkEditResult result = deleteRows(*rows, observer);
    const std::string summary = std::to_string(result.counted) + " items deleted";
    net.finish(result.changed, summary);
    return report(session, *rows, result, "deleted", summary);
}

int runReplace(Session &session)
{
    const Invocation &inv = session.invocation();
    const std::string &text = inv.operands[0];
    const std::string &replacement = inv.operands[1];
    const auto checked = checkedSearch(session);
    if (!checked) return kTrouble;
    const Matcher &matcher = *checked;
    if (!scopeOf(session)) return session.fail("\"" + inv.key + "\" does not start with a root");
    if (!session.open(!inv.dryRun)) return kTrouble;
    int status = kTrouble;
    const auto rows = findRows(session, matcher, status);
    if (!rows) return status;
    // The window's question and its checks: the rows they refuse, the replace refuses.
    BulkReplacePlan plan = planBulkReplace(*rows, text, replacement, inv.searchOptions);
    const BulkReplacePreview preview = previewBulkReplace(*rows, plan);
    if (inv.dryRun) {
        std::vector<std::string> headers = rowHeaders();
        for (const char *h : {"New Branch", "New Name", "New Value", "Outcome"})
            headers.push_back(h);
        RowWriter writer(chosenFormat(inv), headers);
        const std::vector<ReplacePreview> cells = previewReplace(*rows, plan);
        std::vector<std::string> refused;
        for (std::size_t i = 0; i < rows->size(); ++i) {
            const ReplacePreview &p = cells[i];
            const RowPreview &row = preview.rows[i];
            const std::string outcome = !row.refused.empty()  ? "refused: " + row.refused
                                        : row.takenAlong      ? "taken along"
                                        : row.changes.empty() ? "unchanged"
                                                              : "to replace";
            Cells line = cellsOf(p.before);
            line.push_back(p.after.branch);
            line.push_back(p.after.name);
            line.push_back(p.after.value);
            line.push_back(outcome);
            writer.add(line);
            if (!row.refused.empty())
                refused.push_back("not replaced: " + rowValueText((*rows)[i]) + ": " + row.refused);
        }
        writer.finish();
        session.note(preview.summary());
        return refused.empty() ? kDone : wouldRefuse(session, refused);
    }
    session.note(preview.summary());
    const std::string count = std::to_string(rows->size());
    if (!session.confirm("Replace \"" + text + "\" by \"" + replacement + "\" in " + count +
                         " items?"))
        return kTrouble;
    // As the window asks a second time: an empty text cuts the found text out.
    if (replacement.empty() && !inv.yes) {
        if (!session.confirm("The new text is empty: \"" + text +
                             "\" will be cut out of names and data. Go ahead?"))
            return kTrouble;
    }
    SafetyNet net("replace", "unfinished replace");
    if (const std::string failed = net.prepare([&](UndoCapture &capture) {
            for (std::size_t i = 0; i < rows->size(); ++i)
                captureReplaceOf(capture, (*rows)[i], plan.rows[i]);
        });
        !failed.empty())
        return session.fail(failed);
    TellingObserver observer(session);
    const BulkEditResult result = replaceInRows(*rows, plan, observer);
    const std::string summary = std::to_string(result.counted) + " items replaced";
    net.finish(result.changed, summary);
    return report(session, *rows, result, "replaced", summary);
}

} // namespace quarnel::cli
