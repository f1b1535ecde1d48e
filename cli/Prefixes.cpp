#include "cli/Prefixes.h"

#include "cli/RowWriter.h"
#include "prefixes/RegistryFinder.h"
#include "search/Matcher.h"
#include "search/RegistryCopySearch.h"

#include <optional>

namespace quarnel::cli {

namespace {

using prefixes::FoundRegistry;

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
