// The value list: its order and what happens when it gets the focus.
#include "app/TRegForm.h"

int TRegForm::RegLVCompare(QTreeWidgetItem *item1, QTreeWidgetItem *item2) const
{
    (void)item1;
    (void)item2;
    return 0;
}

void TRegForm::RegLVColumnClick(int column)
{
    (void)column;
}

void TRegForm::RegLVEnter() {}
