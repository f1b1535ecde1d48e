// Deleting a key from the tree or values from the value list with the Delete key.
#include "app/TRegForm.h"

void TRegForm::RegTVKeyUp(int key, Qt::KeyboardModifiers shift)
{
    (void)key;
    (void)shift;
}

void TRegForm::RegLVKeyUp(int key, Qt::KeyboardModifiers shift)
{
    (void)key;
    (void)shift;
}
