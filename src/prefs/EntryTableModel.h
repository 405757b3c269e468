#pragma once
// A table over the live entries of an indexing list (what an array controller is to a bound
// table): one row per entry, one column per key. Every read and edit holds the list's lock,
// because a scan may be reading the list at the same moment; an edit changes only its own key,
// so keys the table does not show survive. Rows can be added and removed.

#include <QAbstractTableModel>
#include <QHash>
#include <QStringList>
#include <QVariantMap>

#include <vector>

namespace quorvel {

class IndexingList;

class EntryTableModel final : public QAbstractTableModel {
    Q_OBJECT
public:
    enum class Kind {
        Flag, // a check box
        Text, // an editable string
        Pattern, // a wildcard pattern: marked when it cannot be compiled (it then matches nothing)
        Choice, // an integer shown as one of the column's choices
    };
    struct Column {
        QString key;
        QString title;
        Kind kind = Kind::Text;
        QStringList choices = {};
    };

    // newEntry is what an added row starts with.
    EntryTableModel(
        IndexingList& list, std::vector<Column> columns, QVariantMap newEntry, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;
    bool removeRows(int row, int count, const QModelIndex& parent = {}) override;

    // Appends an entry (newEntry's keys under the given ones); answers its row.
    int addEntry(const QVariantMap& entry = {});
    // Sets one key of the entry at a row; nothing for a row that does not exist.
    void setValueForKeyAtRow(const QString& key, const QVariant& value, int row);
    // A copy of the entry at a row; empty for a row that does not exist.
    QVariantMap entryAtRow(int row) const;
    const Column& column(int section) const { return columns[static_cast<std::size_t>(section)]; }

    // The text shown for a pattern that cannot be compiled.
    static QString invalidPatternExplanation();

private:
    QVariant valueAt(int row, const QString& key) const;
    bool patternCompiles(const QString& pattern) const;

    IndexingList& list;
    const std::vector<Column> columns;
    const QVariantMap newEntry;
    // Whether each pattern seen compiles: painting asks again and again.
    mutable QHash<QString, bool> patternCompilesCache;
};

} // namespace quorvel
