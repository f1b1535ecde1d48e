// Opening the browser at a result row's key and value.
#include "app/TRegForm.h"

void TRegForm::FoundLVDblClick() {}
