#include "RegistryStore.h"

#ifndef _WIN32
#include "platform/KeyStore.h"
#endif

void SelectRegistryStore()
{
#ifndef _WIN32
    // The in-memory store for now; a Wine prefix's files take its place later.
    (void)quarnel::platform::activeStore();
#endif
}
