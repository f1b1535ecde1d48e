#include "registry/undo/ImportEdit.h"

#include "registry/api/TRegistry.h"
#include "registry/text/RegistryPathText.h"
#include "registry/undo/UndoApply.h"
#include "registry/undo/UndoCapture.h"

namespace quarnel {

void captureImport(UndoCapture &capture, const ImportRead &read, const ImportProgress &progress)
{
    read.forEachSection(
        [&](const RegEditSection &section) {
            const RegistryPathText at = RegistryPathText::fromFull(section.path);
            TRegistry reg;
            reg.SelectRoot(at.root());
            const bool exists = reg.HasKey("\\" + at.below());
            if (section.removal) {
                if (exists) capture.captureKey(at.rootName(), at.below());
                return;
            }
            capture.captureNewKeyPath(at.rootName(), at.below());
            // A key made by the import goes again whole, with whatever it got.
            if (!exists) return;
            for (const RegEditValue &value : section.values)
                capture.captureValue(at.rootName(), at.below(), value.name);
        },
        progress);
}

std::vector<std::string> applyImport(const ImportRead &read, const std::string &description,
                                     const ImportProgress &progress)
{
    return ApplySections([&](const SectionHandler &apply) { read.forEachSection(apply, progress); },
                         description);
}

std::string exportKey(const std::string &rootName, const std::string &keyPath)
{
    UndoCapture capture;
    capture.captureKey(rootName, keyPath);
    return capture.file().write();
}

} // namespace quarnel
