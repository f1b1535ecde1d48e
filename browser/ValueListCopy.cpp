// The value list's Copy: the selected rows' Name, Type and Value as the list shows
// them, tab separated (registry/CellText), one line each.
#include "app/TRegForm.h"

#include "browser/ValueListModel.h"
#include "registry/text/CellText.h"
#include "widgets/QtText.h"
#include "widgets/TListView.h"

#include <QAction>
#include <QClipboard>
#include <QGuiApplication>
#include <QMenu>

#include <algorithm>

void TRegForm::CreateValueListMenu()
{
    pmValues = new QMenu(this);
    pmValues->setObjectName(QStringLiteral("pmValues"));
    CopyValues1 = pmValues->addAction(QStringLiteral("&Copy"));
    CopyValues1->setObjectName(QStringLiteral("CopyValues1"));
    CopyValues1->setShortcut(QKeySequence::Copy);
    CopyValues1->setShortcutContext(Qt::WidgetShortcut);
    RegLV->addAction(CopyValues1);
    connect(CopyValues1, &QAction::triggered, this, &TRegForm::CopyValues1Click);
    RegLV->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(RegLV, &QWidget::customContextMenuRequested, this,
            [this](const QPoint &at) { pmValues->popup(RegLV->viewport()->mapToGlobal(at)); });
}

void TRegForm::CopyValues1Click()
{
    std::vector<int> selected;
    for (const QModelIndex &index : RegLV->selectionModel()->selectedRows())
        selected.push_back(index.row());
    if (selected.empty()) return;
    std::sort(selected.begin(), selected.end());
    std::string text;
    for (int row : selected) {
        std::vector<std::string> cells;
        for (int column = 0; column < 3; ++column)
            cells.push_back(fromQt(m_valueList->index(row, column).data().toString()));
        text += tsvLine({cells[0], cells[1], cells[2]});
    }
    QGuiApplication::clipboard()->setText(toQt(text));
}
