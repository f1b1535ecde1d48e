// Conformance run of the registry calls: built once against our layer and once
// against the real API (run under Wine); the two traces must be equal.
#include "tests/conformance/Cases.h"

#include <cstdio>

using namespace conformance;

namespace {
const char *const kScratch = "Software\\QuarnelConformance";
const char *const kClassesScratch = "QuarnelConformance.Test";
const char *const kConfigScratch = "QuarnelConformance";
} // namespace

int main()
{
    // Leftovers of an interrupted run would change the figures.
    removeTreeQuietly(HKEY_CURRENT_USER, kScratch);
    removeTreeQuietly(HKEY_CLASSES_ROOT, kClassesScratch);
    removeTreeQuietly(HKEY_CURRENT_CONFIG, kConfigScratch);

    section("scratch");
    Key s = createKey(HKCU, kScratch, "S");
    if (!s.h) return 1;
    pathCases(s);
    depthAndLengthCases(s);
    infoCases(s);
    orderCases(s);
    typeCases(s);
    queryBufferCases(s);
    valueNameCases(s);
    nonAsciiCases(s);
    dataCases(s);
    nestingCases(s);
    optionCases(s);
    wideValueCases(s);
    deleteCases(s);
    rootCases(s);
    accessCases(s);
    linkCases(s);
    badHandleCases();
    closeKey(s);

    removeTreeQuietly(HKEY_CURRENT_USER, kScratch);
    removeTreeQuietly(HKEY_CLASSES_ROOT, kClassesScratch);
    removeTreeQuietly(HKEY_CURRENT_CONFIG, kConfigScratch);
    section("cleaned up");
    openKey(HKCU, kScratch, "x");
    openKey(HKCR, kClassesScratch, "x");
    openKey(HKCC, kConfigScratch, "x");
    std::fflush(stdout);
    std::fprintf(stderr, "%d trace lines\n", lineCount() + 1);
    return 0;
}
