#include "search/RegistryCopySearch.h"

#include "registry/TRegistry.h"
#include "registry/platform/KeyStore.h"
#include "registry/platform/RegistryFiles.h"
#include "search/Matching.h"

#include <memory>

bool searchRegistryCopy(const std::string &folder, std::string_view searchText,
                        const SearchScope &scope, SearchSink &sink, std::string &error,
                        SearchStatistics *statistics)
{
    const std::string lowered = asciiLower(searchText);
    // Only the keys that may hold the text are read, where that finds the same rows.
    std::shared_ptr<quarnel::platform::KeyStore> copy =
        quarnel::platform::readRegistryCopy(folder, error, lowered);
    if (!copy) return false;
    bool walked = true;
    {
        // The scope ends before the copy goes: its handles hold the copy's keys.
        const quarnel::platform::ThreadStoreScope onThisThread(std::move(copy));
        SearchEngine engine(lowered, sink);
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
