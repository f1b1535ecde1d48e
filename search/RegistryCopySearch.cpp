#include "search/RegistryCopySearch.h"

#include "registry/api/TRegistry.h"
#include "registry/kinds/SourceKinds.h"
#include "registry/win32/KeyStore.h"
#include "search/Matcher.h"

#include <memory>

bool searchRegistryCopy(const std::string &folder, const Matcher &matcher, const SearchScope &scope,
                        SearchSink &sink, std::string &error, SearchStatistics *statistics)
{
    // Only the keys that may hold what every hit holds are read, where that finds the same rows.
    std::shared_ptr<quarnel::platform::KeyStore> copy =
        quarnel::platform::readRegistryCopy(folder, error, matcher.textEveryHitHolds());
    if (!copy) return false;
    bool walked = true;
    {
        // The scope ends before the copy goes: its handles hold the copy's keys.
        const quarnel::platform::ThreadStoreScope onThisThread(std::move(copy));
        SearchEngine engine(matcher, sink);
        try {
            engine.run(scope);
        } catch (const ERegistryException &e) {
            error = e.what();
            walked = false;
        }
        if (statistics) *statistics = engine.statistics();
    }
    return walked;
}

bool searchRegistryCopy(const std::string &folder, std::string_view searchText,
                        const SearchScope &scope, SearchSink &sink, std::string &error,
                        SearchStatistics *statistics)
{
    return searchRegistryCopy(folder, Matcher(searchText), scope, sink, error, statistics);
}
