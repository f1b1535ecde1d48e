// Deleting what the selected result rows stand for.
#include "app/TRegForm.h"

void TRegForm::Button3Click() {}

void TRegForm::Delete1Click()
{
    DeleteSelected();
}

void TRegForm::DeleteSelected() {}
