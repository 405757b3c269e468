#include "app/CombinedListModel.h"

#include "app/ElidingLabel.h"
#include "search/InteractiveList.h"
#include "search/LaunchItem.h"

#include <QIcon>

namespace quorvel {

CombinedListModel::CombinedListModel(BadgeOfType badgeOf)
    : badgeOf(std::move(badgeOf))
{
}

void CombinedListModel::setList(InteractiveList* newList)
{
    beginResetModel();
    list = newList;
    endResetModel();
}

void CombinedListModel::reloadData()
{
    beginResetModel();
    endResetModel();
}

int CombinedListModel::rowCount(const QModelIndex& parent) const
{
    if (parent.isValid() || !list)
        return 0;
    return list->numberOfRowsInTableView();
}

int CombinedListModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : 1;
}

QVariant CombinedListModel::data(const QModelIndex& index, int role) const
{
    if (!list || !index.isValid() || index.row() >= list->numberOfRowsInTableView())
        return {};
    // The table elides long names in the middle; the whole name and the path are in the tip.
    if (role == Qt::DisplayRole)
        return ElidingLabel::visibleText(list->tableViewObjectValueForTableColumnRow(index.row()));
    if (role == Qt::ToolTipRole)
        return ElidingLabel::withDirectionMarks(
            list->matchingNameAt(index.row()) + QLatin1Char('\n') + list->matchingFilePathAt(index.row()));
    if (role == Qt::DecorationRole)
        return QIcon(badgeOf(list->matchingTypeAt(index.row()))); // the table draws it at its icon size
    if (role == Qt::AccessibleDescriptionRole)
        return kindOfType(list->matchingTypeAt(index.row()));
    return {};
}

QString CombinedListModel::kindOfType(const QString& type)
{
    if (type == LaunchItemType::application)
        return QStringLiteral("Application");
    if (type == LaunchItemType::preferencePane)
        return QStringLiteral("Preference Pane");
    if (type == LaunchItemType::folder)
        return QStringLiteral("Folder");
    return QStringLiteral("Document"); // the badge every other type gets
}

} // namespace quorvel
