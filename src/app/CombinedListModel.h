#pragma once
// The match table's data source: one row per match of the current list, showing its name with
// the type badge beside it.

#include <QAbstractTableModel>
#include <QPixmap>

namespace quorvel {

class InteractiveList;

class CombinedListModel final : public QAbstractTableModel {
    Q_OBJECT
public:
    void setList(InteractiveList* list); // not owned
    void setBadges(const QPixmap& folder, const QPixmap& app, const QPixmap& pref, const QPixmap& doc);
    // The matches changed: the table asks for everything again.
    void reloadData();

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;

private:
    InteractiveList* list = nullptr;
    QPixmap folderBadge, appBadge, prefBadge, docBadge;
};

} // namespace quorvel
