// The key walker: matches key paths, value names and string data below a key.
#include "app/TRegForm.h"

void TRegForm::BrowseSubKeys(const std::string &keyPath, HKEY root)
{
    (void)keyPath;
    (void)root;
}
