// The search run: Button1 starts and stops it, BrowseReg walks the roots in scope.
#include "app/TRegForm.h"

void TRegForm::Button1Click() {}

void TRegForm::BrowseReg() {}
