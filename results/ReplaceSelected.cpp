// Replacing the search text in what the selected result rows stand for.
#include "app/TRegForm.h"

void TRegForm::Button4Click() {}

void TRegForm::Replace1Click()
{
    ReplaceSelected();
}

void TRegForm::ReplaceSelected() {}
