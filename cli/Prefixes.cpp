#include "cli/Prefixes.h"

#include "cli/RowWriter.h"
#include "prefixes/HomeFiles.h"
#include "search/Matcher.h"
#include "search/RegistryCopySearch.h"

#include <cstdlib>
#include <optional>

namespace quarnel::cli {

namespace {

using prefixes::FoundRegistry;
using prefixes::RegistryMatch;

std::string candidateLines(const std::vector<FoundRegistry> &candidates)
{
    std::string lines;
    for (const FoundRegistry &r : candidates)
        lines += "\n  " + r.id + "  " + r.name + " (" + prefixes::kindName(r.kind) + ", " +
                 r.folder + ")";
    return lines;
}

class AllRegistriesSink : public SearchSink
{
public:
    AllRegistriesSink(RowWriter &writer) : m_writer(writer) {}
    void setRegistry(const std::string &id) { m_id = id; }
    void found(const ResultRowView &row) override
    {
        ++m_rows;
        Cells cells{m_id};
        for (std::string_view cell : cellsOf(row))
            cells.push_back(cell);
        m_writer.add(cells);
    }
    std::size_t rows() const { return m_rows; }

private:
    RowWriter &m_writer;
    std::string m_id;
    std::size_t m_rows = 0;
};

} // namespace

bool choosePrefixAmong(const std::vector<FoundRegistry> &registries, const std::string &text,
                       const std::string &home, FoundRegistry &chosen, std::string &error)
{
    RegistryMatch match = prefixes::matchRegistry(registries, text, home);
    // A folder named as before, relative to here, is still that folder.
    if (match.status == RegistryMatch::NoMatch && match.candidates.empty() &&
        text.find('/') == std::string::npos && prefixes::isFolder(text))
        match = prefixes::matchRegistry(registries, "./" + text, home);
    switch (match.status) {
    case RegistryMatch::Found: chosen = match.registry; return true;
    case RegistryMatch::Several:
        error = "\"" + text + "\" names " + std::to_string(match.candidates.size()) +
                " registries; give the id of one:" + candidateLines(match.candidates);
        return false;
    case RegistryMatch::NoMatch: break;
    }
    // A text read as a path names a folder that is not there (or no folder).
    if (text.find('/') != std::string::npos || text.starts_with('~')) {
        error = "there is no folder " + text;
        return false;
    }
    error = "no registry is named \"" + text + "\"";
    if (match.candidates.empty())
        error += " ('quarnel prefixes' lists them; a folder needs a '/')";
    else
        error += "; did you mean one of these?" + candidateLines(match.candidates);
    return false;
}

bool choosePrefix(const std::string &text, FoundRegistry &chosen, std::string &error)
{
    const char *home = std::getenv("HOME");
    return choosePrefixAmong(prefixes::findRegistriesOnThisMachine(), text, home ? home : "",
                             chosen, error);
}

int runPrefixes(Session &session)
{
    RowWriter writer(chosenFormat(session.invocation()), {"Id", "Name", "Kind", "Path"});
    for (const FoundRegistry &r : prefixes::findRegistriesOnThisMachine())
        writer.add({r.id, r.name, prefixes::kindName(r.kind), r.folder});
    writer.finish();
    return kDone;
}

int runSearchAll(Session &session)
{
    const Invocation &inv = session.invocation();
    const auto checked = checkedSearch(session);
    if (!checked) return kTrouble;
    const Matcher &matcher = *checked;
    std::optional<SearchScope> scope =
        inv.hasKey ? SearchScope::parse(inv.key) : SearchScope::defaultRoots(inv.mirrored);
    if (!scope) return session.fail("\"" + inv.key + "\" does not start with a root");
    std::vector<std::string> headers{"Registry"};
    for (const std::string &h : rowHeaders())
        headers.push_back(h);
    RowWriter writer(chosenFormat(inv), headers);
    AllRegistriesSink sink(writer);
    bool troubled = false;
    bool beyondDepth = false;
    for (const FoundRegistry &r : prefixes::findRegistriesOnThisMachine()) {
        sink.setRegistry(r.id);
        std::string error;
        SearchStatistics statistics;
        if (!searchRegistryCopy(r.folder, matcher, *scope, sink, error, &statistics)) {
            session.note(r.id + ": " + error);
            troubled = true;
        }
        beyondDepth = beyondDepth || statistics.keysBeyondDepth;
    }
    writer.finish();
    if (beyondDepth) session.note(SearchEngine::keysBeyondDepthText());
    if (troubled) return kTrouble; // as grep: trouble outweighs a find
    return sink.rows() > 0 ? kDone : kNothingFound;
}

} // namespace quarnel::cli
