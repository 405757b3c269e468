#pragma once
// The match table's data source: one row per match of the current list, showing its name with
// the type badge beside it. Names are shown as ElidingLabel::visibleText makes them (line breaks
// and tabs as spaces, direction controls as marks); the tool tip holds the whole name and the
// path, direction controls as marks there too; a screen reader hears the badge's kind as the
// row's description.

#include <QAbstractTableModel>
#include <QPixmap>
#include <functional>

namespace quorvel {

class InteractiveList;

class CombinedListModel final : public QAbstractTableModel {
    Q_OBJECT
public:
    // badgeOf answers the type badge of a type code, as the item display shows it.
    using BadgeOfType = std::function<QPixmap(const QString& type)>;
    explicit CombinedListModel(BadgeOfType badgeOf);

    void setList(InteractiveList* list); // not owned
    // The matches changed: the table asks for everything again.
    void reloadData();

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;

    // What a type badge says, in words: for screen readers, which cannot see the badge.
    static QString kindOfType(const QString& type);

private:
    InteractiveList* list = nullptr;
    BadgeOfType badgeOf;
};

} // namespace quorvel
