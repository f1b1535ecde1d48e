// Cases about symbolic links, made through the calls themselves: a key created
// with REG_OPTION_CREATE_LINK whose SymbolicLinkValue names another key.
#include "tests/conformance/Cases.h"

#include <string>
#include <vector>

namespace conformance {

namespace {

// A link target is an NT path in UTF-16LE, stored without terminator.
std::vector<unsigned char> ntPath(const std::string &path)
{
    std::vector<unsigned char> data;
    for (char c : path) {
        data.push_back(static_cast<unsigned char>(c));
        data.push_back(0);
    }
    return data;
}

const char *const kUserScratch =
    "\\Registry\\User\\S-1-5-21-0-0-0-1000\\Software\\QuarnelConformance\\Links\\";

} // namespace

void linkCases(const Key &s)
{
    section("links");
    Key l = createKey(s, "Links", "links");
    closeKey(createKey(l, "Target\\Inside", "inside"));
    Key t = openKey(l, "Target", "target");
    setValue(t, "here", REG_DWORD, "\x01\x00\x00\x00", 4);
    closeKey(t);

    Key link = createKey(l, "Link", "link", CreateArgs{REG_OPTION_CREATE_LINK});
    const auto target = ntPath(std::string(kUserScratch) + "Target");
    setValue(link, "SymbolicLinkValue", REG_LINK, target.data(), static_cast<DWORD>(target.size()));
    queryInfo(link);
    closeKey(link);
    listKeys(l);

    Key through = openKey(l, "Link", "through");
    queryInfo(through);
    queryValue(through, "here", QueryArgs{4});
    listKeys(through);
    closeKey(through);
    closeKey(openKey(l, "link\\inside", "inside"));
    Key self = openKey(l, "Link", "self", OpenArgs{REG_OPTION_OPEN_LINK});
    queryInfo(self);
    queryValue(self, "SymbolicLinkValue", QueryArgs{8});
    closeKey(self);
    closeKey(createKey(l, "Link", "again"));
    closeKey(createKey(l, "Link\\Made", "made"));
    Key tt = openKey(l, "Target", "target");
    listKeys(tt);
    closeKey(tt);
    createKey(l, "Link", "x", CreateArgs{REG_OPTION_CREATE_LINK});
    createKey(l, "Target", "x", CreateArgs{REG_OPTION_CREATE_LINK});

    // Links to nowhere and to themselves.
    Key dangling = createKey(l, "Dangling", "dangling", CreateArgs{REG_OPTION_CREATE_LINK});
    const auto nowhere = ntPath(std::string(kUserScratch) + "Nowhere");
    setValue(dangling, "SymbolicLinkValue", REG_LINK, nowhere.data(),
             static_cast<DWORD>(nowhere.size()));
    closeKey(dangling);
    openKey(l, "Dangling", "x");
    createKey(l, "Dangling", "x");
    Key loop = createKey(l, "Loop", "loop", CreateArgs{REG_OPTION_CREATE_LINK});
    const auto itself = ntPath(std::string(kUserScratch) + "Loop");
    setValue(loop, "SymbolicLinkValue", REG_LINK, itself.data(), static_cast<DWORD>(itself.size()));
    closeKey(loop);
    openKey(l, "Loop", "x");
    Key empty = createKey(l, "Empty", "empty", CreateArgs{REG_OPTION_CREATE_LINK});
    closeKey(empty);
    openKey(l, "Empty", "x");
    closeKey(openKey(l, "Empty", "emptyself", OpenArgs{REG_OPTION_OPEN_LINK}));

    // Deleting by name goes through the link.
    deleteKey(l, "Link\\Made");
    deleteKey(l, "Link\\Inside");
    deleteKey(l, "Link");
    listKeys(l);
    deleteKey(l, "Link");
    deleteKey(l, "Dangling");
    deleteKey(l, "Loop");
    Key del = openKey(l, "Dangling", "dangling", OpenArgs{REG_OPTION_OPEN_LINK});
    deleteKey(del, "");
    closeKey(del);
    listKeys(l);
    closeKey(l);
}

} // namespace conformance
