#include "registry/api/DeleteCount.h"

#include "registry/api/TRegistry.h"

namespace {

std::string counted(uint64_t n, const char *one, const char *many)
{
    return std::to_string(n) + ' ' + (n == 1 ? one : many);
}

} // namespace

bool DeleteCount::addKey(TRegistry &reg, const std::string &path)
{
    if (!reg.HasKey(path)) return false;
    const TRegistry::TreeCount tree = reg.CountTree(path);
    ++keys;
    subkeys += tree.subkeys;
    keyValues += tree.values;
    return true;
}

std::string DeleteCount::text() const
{
    if (keys == 0) return "Removes " + counted(values, "value", "values");
    std::string text = "Removes " + counted(keys, "key", "keys") + " with " +
                       counted(subkeys, "subkey", "subkeys") + " and " +
                       counted(keyValues, "value", "values") + (keys == 1 ? " in it" : " in them");
    if (values > 0) text += ", and " + counted(values, "other value", "other values");
    return text;
}
