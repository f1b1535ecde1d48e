// The result list's own behaviour: order, selection, keys, mouse and counter.
#include "app/TRegForm.h"

#include "app/UnitState.h"
#include "registry/text/ListOrder.h"
#include "results/ResultModel.h"
#include "widgets/TButton.h"
#include "widgets/TPanel.h"
#include "widgets/TReportView.h"

#include <QLabel>
#include <QMenu>

void TRegForm::AttachResultModel()
{
    m_foundModel = new ResultModel(&UnitState::sortColumn, this);
    FoundLV->setModel(m_foundModel);
    SetUpFoundLVColumns();
}

void TRegForm::FoundLVMouseDown(Qt::MouseButton button, Qt::KeyboardModifiers shift, int X, int Y)
{
    (void)shift;
    if (button != Qt::RightButton || m_foundModel->totalRows() == 0) return;
    // Placed from the window's client origin and the browser's height, so the menu
    // follows Splitter1.
    const QPoint origin = mapToGlobal(QPoint(0, 0));
    pm1->popup(QPoint(origin.x() + X, origin.y() + PanelReg->height() + 110 + Y));
}

void TRegForm::FoundLVMenuKey(QPoint pos)
{
    // The keys come up in the menu, not here: Shift+F10 would leave Shift counted as held.
    UnitState::modifierFlag = false;
    if (m_foundModel->totalRows() == 0) return;
    pm1->popup(FoundLV->viewport()->mapToGlobal(pos));
}

void TRegForm::FoundLVKeyDown(int key, Qt::KeyboardModifiers shift)
{
    // Pressing Shift or Ctrl itself counts, whatever the platform reports as held.
    if ((shift & (Qt::ShiftModifier | Qt::ControlModifier)) || key == Qt::Key_Shift ||
        key == Qt::Key_Control)
        UnitState::modifierFlag = true;
}

void TRegForm::FoundLVKeyUp(int key, Qt::KeyboardModifiers shift)
{
    UnitState::modifierFlag = false;
    if (key == Qt::Key_Delete)
        DeleteSelected();
    else if (key == Qt::Key_A && (shift & Qt::ControlModifier))
        FoundLVSelectAll();
}

int TRegForm::FoundLVCompare(const std::vector<std::string> &row1,
                             const std::vector<std::string> &row2) const
{
    const auto cellOf = [](const std::vector<std::string> &row, int column) -> std::string_view {
        return std::size_t(column) < row.size() ? std::string_view(row[std::size_t(column)])
                                                : std::string_view();
    };
    const int column = m_foundModel->sortColumn();
    return compareListText(cellOf(row1, column), cellOf(row2, column));
}

void TRegForm::FoundLVColumnClick(int column)
{
    m_foundModel->sortByColumn(column);
}

void TRegForm::FoundLVClick()
{
    RefreshCounter();
}

void TRegForm::SelectAll1Click()
{
    FoundLVSelectAll();
}

void TRegForm::ClearList1Click()
{
    m_foundModel->clear();
    RefreshCounter();
}

void TRegForm::RefreshCounter()
{
    // Rows the model has not merged yet count as found (and never as selected).
    const int found = m_foundModel->totalRows();
    const bool any = found > 0;
    if (Button3->isEnabled() != any) Button3->setEnabled(any);
    if (Button4->isEnabled() != any) Button4->setEnabled(any);
    const int selected = ResultModel::selectedCount(*FoundLV->selectionModel());
    lb6->setText(QStringLiteral("%1 selected / %2 found").arg(selected).arg(found));
}

void TRegForm::FoundLVSelectAll()
{
    m_foundModel->selectAll(*FoundLV->selectionModel());
}

void TRegForm::AddFoundRow(const ResultRowView &row)
{
    m_foundModel->appendRow(row);
}

void TRegForm::MergeFoundRows(bool whenDue)
{
    if (!whenDue) {
        m_foundModel->flush();
        return;
    }
    const QModelIndex last = FoundLV->indexAt(QPoint(0, FoundLV->viewport()->height() - 1));
    m_foundModel->setLastShownRow(last.isValid() ? last.row() : -1);
    m_foundModel->flushIfDue();
}

void TRegForm::ClearFoundRows()
{
    m_foundModel->clear();
}

int TRegForm::FoundRowCount() const
{
    return m_foundModel->totalRows();
}
