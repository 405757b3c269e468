// The search panel's behaviour: the match table, filtering as the user types, the item display,
// stepping through matches, modes and tabs, launching and cancelling.

#include "app/AppController.h"

#include "app/CombinedListModel.h"
#include "app/ElidingLabel.h"
#include "platform/widgets/Application.h"
#include "search/InteractiveCombinedList.h"

#include <QComboBox>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QTabWidget>
#include <QTableView>

namespace quorvel {

void AppController::reloadInteractiveList()
{
    refreshListDisplay();
    // The table's data source follows the current list; it is made when the first list is shown.
    if (!tableModel) {
        tableModel
            = std::make_unique<CombinedListModel>([this](const QString& type) { return badgeForType(type); });
        outlets.combinedTable->setModel(tableModel.get());
        Q_EMIT tableGotItsModel();
    }
    tableModel->setList(interactiveCombinedList.get());
}

void AppController::controlTextDidChange()
{
    const int mode = outlets.combinedMatchingModePopUp->currentIndex();
    interactiveCombinedList->setFilterWithMode(outlets.combinedInputTextField->text(), mode);
    if (tableModel)
        tableModel->reloadData();
    updateCombinedLaunchItem();
}

void AppController::refreshInteractiveList()
{
    controlTextDidChange();
}

void AppController::updateCombinedLaunchItem()
{
    InteractiveCombinedList& list = *interactiveCombinedList;
    if (list.isEmpty()) {
        outlets.combinedImageView->clear();
        outlets.combinedImageView->setAccessibleName(QString());
        outlets.combinedFileTypeImageView->setAccessibleName(QString());
        outlets.combinedOutputTextField->setText(QStringLiteral("No match."));
        outlets.combinedPathNameTextField->setText(QString());
        outlets.combinedOutputTextField->setToolTip(QString());
        outlets.combinedPathNameTextField->setToolTip(QString());
        outlets.combinedFileTypeImageView->clear();
    } else {
        outlets.combinedFileTypeImageView->setPixmap(badgeForType(list.typeOfSelectedItem()));
        const QSize iconSize = outlets.combinedImageView->size();
        outlets.combinedImageView->setPixmap(list.iconOfSelectedFile().pixmap(iconSize));
        // The pictures, in words: the item's name and the badge's kind.
        outlets.combinedImageView->setAccessibleName(list.nameOfSelectedItem());
        outlets.combinedFileTypeImageView->setAccessibleName(
            CombinedListModel::kindOfType(list.typeOfSelectedItem()));
        outlets.combinedOutputTextField->setText(list.nameOfSelectedItem());
        // The labels draw the direction controls as marks; their tips must not draw them raw.
        outlets.combinedOutputTextField->setToolTip(
            ElidingLabel::withDirectionMarks(list.nameOfSelectedItem()));
        outlets.combinedPathNameTextField->setText(list.pathOfSelectedItem());
        outlets.combinedPathNameTextField->setToolTip(
            ElidingLabel::withDirectionMarks(list.pathOfSelectedItem()));
    }
    outlets.combinedResultsCountTextField->setText(list.resultCountString());
    if (!list.isEmpty())
        selectTableRow(list.indexOfSelectedItem());
}

const QPixmap& AppController::badgeForType(const QString& type) const
{
    loadTypeBadges();
    if (type == LaunchItemType::folder)
        return folderIcon;
    if (type == LaunchItemType::application)
        return appIcon;
    if (type == LaunchItemType::preferencePane)
        return prefIcon;
    return docIcon;
}

void AppController::selectTableRow(int row)
{
    QTableView* table = outlets.combinedTable;
    if (!table->model())
        return;
    const QModelIndex index = table->model()->index(row, 0);
    table->selectionModel()->setCurrentIndex(
        index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
}

void AppController::tableViewSelectionDidChange()
{
    const int t = getTab();
    QTableView* table = tableOfTab(t);
    InteractiveList* list = listOfTab(t);
    if (!table || !list)
        return;
    const QModelIndexList selected = table->selectionModel()->selectedRows();
    const int row = selected.isEmpty() ? 0 : selected.first().row();
    list->selectItemAtIndex(row);
    if (t == 0)
        updateCombinedLaunchItem();
}

void AppController::launch()
{
    InteractiveList* list = listOfTab(getTab());
    if (list && list->isEmpty()) {
        outlets.combinedInputTextField->setFocus();
        outlets.combinedInputTextField->selectAll();
        Application::sharedApplication().beep();
        return;
    }
    if (list)
        list->launchSelectedItem();
    Application::sharedApplication().hide();
}

void AppController::tableDoubleClick()
{
    launch();
}

void AppController::cancel()
{
    Application::sharedApplication().hide();
}

void AppController::upInTable()
{
    stepTableSelection([](int r, int rows) { return r > 0 ? r - 1 : rows - 1; });
}

void AppController::downInTable()
{
    stepTableSelection([](int r, int rows) { return r < rows - 1 ? r + 1 : 0; });
}

void AppController::stepTableSelection(int (*nextRow)(int selectedRow, int rows))
{
    QTableView* table = tableOfTab(getTab());
    if (!table || !table->model())
        return;
    const int rows = table->model()->rowCount();
    if (rows == 0)
        return;
    const QModelIndexList selected = table->selectionModel()->selectedRows();
    const int newRow = nextRow(selected.isEmpty() ? -1 : selected.first().row(), rows);
    table->scrollTo(table->model()->index(newRow, 0));
    selectTableRow(newRow);
}

void AppController::upInMatchingModePopup()
{
    if (getTab() != 0)
        return;
    QComboBox* popUp = outlets.combinedMatchingModePopUp;
    const int i = popUp->currentIndex();
    if (i > 0) {
        combinedMatchingMode -= 1;
        popUp->setCurrentIndex(i - 1);
    } else {
        popUp->setCurrentIndex(popUp->count() - 1);
        combinedMatchingMode = popUp->currentIndex();
    }
    controlTextDidChange();
}

void AppController::downInMatchingModePopup()
{
    if (getTab() != 0)
        return;
    QComboBox* popUp = outlets.combinedMatchingModePopUp;
    const int i = popUp->currentIndex();
    if (i < popUp->count() - 1) {
        combinedMatchingMode += 1;
        popUp->setCurrentIndex(i + 1);
    } else {
        popUp->setCurrentIndex(0);
        combinedMatchingMode = 0;
    }
    controlTextDidChange();
}

int AppController::getTab() const
{
    return outlets.tabView->currentIndex();
}

void AppController::leftTab()
{
    QTabWidget* tabs = outlets.tabView;
    const int current = tabs->currentIndex();
    tabs->setCurrentIndex(current != 0 ? current - 1 : tabs->count() - 1);
}

void AppController::rightTab()
{
    QTabWidget* tabs = outlets.tabView;
    const int current = tabs->currentIndex();
    tabs->setCurrentIndex(current < tabs->count() - 1 ? current + 1 : 0);
}

void AppController::changeTab()
{
}

void AppController::tabViewDidSelectTabViewItem(int index)
{
    if (index != 0)
        return;
    outlets.combinedInputTextField->setFocus();
    outlets.combinedInputTextField->selectAll();
}

QTableView* AppController::tableOfTab(int t) const
{
    return t >= 0 && t < static_cast<int>(tables.size()) ? tables[static_cast<std::size_t>(t)] : nullptr;
}

InteractiveList* AppController::listOfTab(int t) const
{
    return t >= 0 && t < static_cast<int>(interactiveList.size())
        ? interactiveList[static_cast<std::size_t>(t)]
        : nullptr;
}

} // namespace quorvel
