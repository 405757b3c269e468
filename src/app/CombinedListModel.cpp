#include "app/CombinedListModel.h"

#include "search/InteractiveList.h"

namespace quorvel {

namespace {
constexpr int rowBadgeSize = 16;
}

void CombinedListModel::setList(InteractiveList* newList)
{
    beginResetModel();
    list = newList;
    endResetModel();
}

void CombinedListModel::setBadges(const QPixmap& folder, const QPixmap& app, const QPixmap& pref, const QPixmap& doc)
{
    const auto small = [](const QPixmap& badge) {
        return badge.isNull() ? badge : badge.scaled(rowBadgeSize, rowBadgeSize, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    };
    folderBadge = small(folder);
    appBadge = small(app);
    prefBadge = small(pref);
    docBadge = small(doc);
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
    if (role == Qt::DisplayRole)
        return list->tableViewObjectValueForTableColumnRow(index.row());
    if (role == Qt::DecorationRole) {
        const QString type = list->matchingTypeAt(index.row());
        if (type == QLatin1String("fold"))
            return folderBadge;
        if (type == QLatin1String("app"))
            return appBadge;
        if (type == QLatin1String("pref"))
            return prefBadge;
        return docBadge;
    }
    return {};
}

} // namespace quorvel
