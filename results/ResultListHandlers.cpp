// The result list's own behaviour: order, selection, keys, mouse and counter.
#include "app/TRegForm.h"

void TRegForm::FoundLVMouseDown(Qt::MouseButton button, Qt::KeyboardModifiers shift, int X, int Y)
{
    (void)button;
    (void)shift;
    (void)X;
    (void)Y;
}

void TRegForm::FoundLVKeyDown(int key, Qt::KeyboardModifiers shift)
{
    (void)key;
    (void)shift;
}

void TRegForm::FoundLVKeyUp(int key, Qt::KeyboardModifiers shift)
{
    (void)key;
    (void)shift;
}

int TRegForm::FoundLVCompare(const std::vector<std::string> &row1,
                             const std::vector<std::string> &row2) const
{
    (void)row1;
    (void)row2;
    return 0;
}

void TRegForm::FoundLVColumnClick(int column)
{
    (void)column;
}

void TRegForm::FoundLVClick() {}

void TRegForm::SelectAll1Click() {}

void TRegForm::ClearList1Click() {}

void TRegForm::RefreshCounter() {}

void TRegForm::FoundLVSelectAll() {}
