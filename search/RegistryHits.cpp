// TRegForm's side of "Find in all registries": each registry is searched by the
// same engine and matching as the window's own search, over a read-only copy of
// its files, on the chooser's worker threads.
#include "app/TRegForm.h"
#include "search/Matcher.h"
#include "search/RegistryCopySearch.h"
#include "search/SearchCheck.h"
#include "search/SearchRefusalText.h"
#include "search/SearchRunState.h"

#include <QCheckBox>

namespace {

class CountingSink : public SearchSink
{
public:
    explicit CountingSink(const std::atomic<bool> &stop) : m_stop(stop) {}
    void found(const ResultRowView &) override { ++hits; }
    bool nextValue(std::size_t, std::size_t) override { return !m_stop; }
    bool goOn() override { return !m_stop; }
    std::uint64_t hits = 0;

private:
    const std::atomic<bool> &m_stop;
};

} // namespace

bool TRegForm::SearchRunning() const
{
    return searchrun::g_activeRuns > 0;
}

RegistryHitCounter TRegForm::AllRegistriesCounter() const
{
    // The scope of a search started now with no key selected in the tree.
    const SearchScope scope = SearchScope::defaultRoots(ckbmirr->isChecked());
    // Checked as the window's own search is, with the options chosen for it; a text
    // refused is not searched for in any registry, and each says why.
    const SearchRequest chosen = ChosenSearch();
    // Called on several threads at once: each call checks a request of its own.
    return [scope, chosen](const std::string &folder, const std::string &text,
                           const std::atomic<bool> &stop) {
        CountingSink sink(stop);
        RegistryHits result;
        SearchRequest request = chosen;
        request.text = text;
        const CheckedSearch checked = checkSearch(request);
        if (checked.refusal) {
            result.ok = false;
            result.error = windowRefusalText(checked.refusal);
            return result;
        }
        const Matcher &matcher = *checked.matcher;
        result.ok = searchRegistryCopy(folder, matcher, scope, sink, result.error);
        result.hits = sink.hits;
        return result;
    };
}
