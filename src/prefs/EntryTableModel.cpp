#include "prefs/EntryTableModel.h"

#include "index/IndexingList.h"
#include "search/WildCardMatcher.h"

#include <QApplication>
#include <QBrush>
#include <QColor>
#include <QStyle>

#include <mutex>

namespace quorvel {

namespace {

bool flagValue(const QVariant& value)
{
    if (value.typeId() == QMetaType::QString) {
        const QString text = value.toString().trimmed();
        return text.startsWith(QLatin1Char('Y'), Qt::CaseInsensitive)
            || text.startsWith(QLatin1Char('T'), Qt::CaseInsensitive) || text.toInt() != 0;
    }
    return value.toBool();
}

} // namespace

EntryTableModel::EntryTableModel(
    IndexingList& list, std::vector<Column> columns, QVariantMap newEntry, QObject* parent)
    : QAbstractTableModel(parent)
    , list(list)
    , columns(std::move(columns))
    , newEntry(std::move(newEntry))
{
}

int EntryTableModel::rowCount(const QModelIndex& parent) const
{
    if (parent.isValid())
        return 0;
    const std::lock_guard<std::mutex> guard(list.lock());
    return static_cast<int>(std::as_const(list.contents()).size());
}

int EntryTableModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(columns.size());
}

QVariant EntryTableModel::valueAt(int row, const QString& key) const
{
    const std::lock_guard<std::mutex> guard(list.lock());
    const QVariantList& entries = std::as_const(list.contents());
    if (row < 0 || row >= entries.size())
        return {};
    return entries.at(row).toMap().value(key);
}

QVariant EntryTableModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid())
        return {};
    const Column& shown = column(index.column());
    const QVariant value = valueAt(index.row(), shown.key);
    switch (shown.kind) {
    case Kind::Flag:
        if (role == Qt::CheckStateRole)
            return flagValue(value) ? Qt::Checked : Qt::Unchecked;
        return {};
    case Kind::Choice: {
        const int choice = value.toInt();
        if (role == Qt::EditRole)
            return choice;
        if (role == Qt::DisplayRole)
            return choice >= 0 && choice < shown.choices.size() ? shown.choices.at(choice)
                                                                : QString::number(choice);
        return {};
    }
    case Kind::Pattern:
        if ((role == Qt::ForegroundRole || role == Qt::ToolTipRole || role == Qt::DecorationRole)
            && !patternCompiles(value.toString())) {
            if (role == Qt::ToolTipRole)
                return invalidPatternExplanation();
            if (role == Qt::DecorationRole)
                return QApplication::style()->standardIcon(QStyle::SP_MessageBoxWarning);
            return QBrush(QColor(0xc0, 0x1c, 0x28));
        }
        [[fallthrough]];
    case Kind::Text:
        if (role == Qt::DisplayRole || role == Qt::EditRole)
            return value.toString();
        return {};
    }
    return {};
}

QVariant EntryTableModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0
        || section >= static_cast<int>(columns.size()))
        return {};
    return column(section).title;
}

Qt::ItemFlags EntryTableModel::flags(const QModelIndex& index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    const Qt::ItemFlags flags = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    if (column(index.column()).kind == Kind::Flag)
        return flags | Qt::ItemIsUserCheckable;
    return flags | Qt::ItemIsEditable;
}

bool EntryTableModel::setData(const QModelIndex& index, const QVariant& value, int role)
{
    if (!index.isValid())
        return false;
    const Column& edited = column(index.column());
    QVariant stored;
    if (edited.kind == Kind::Flag) {
        if (role != Qt::CheckStateRole)
            return false;
        stored = value.toInt() == Qt::Checked;
    } else if (role == Qt::EditRole) {
        stored = edited.kind == Kind::Choice ? QVariant::fromValue<qint64>(value.toInt())
                                             : QVariant(value.toString());
    } else {
        return false;
    }
    setValueForKeyAtRow(edited.key, stored, index.row());
    return true;
}

void EntryTableModel::setValueForKeyAtRow(const QString& key, const QVariant& value, int row)
{
    {
        const std::lock_guard<std::mutex> guard(list.lock());
        QVariantList& entries = list.contents();
        if (row < 0 || row >= entries.size())
            return;
        QVariantMap entry = entries.at(row).toMap();
        entry.insert(key, value);
        entries[row] = entry;
    }
    Q_EMIT dataChanged(index(row, 0), index(row, static_cast<int>(columns.size()) - 1));
}

int EntryTableModel::addEntry(const QVariantMap& entry)
{
    QVariantMap added = newEntry;
    added.insert(entry);
    const int row = rowCount();
    beginInsertRows({}, row, row);
    {
        const std::lock_guard<std::mutex> guard(list.lock());
        list.contents().append(added);
    }
    endInsertRows();
    return row;
}

bool EntryTableModel::removeRows(int row, int count, const QModelIndex& parent)
{
    if (parent.isValid() || count <= 0 || row < 0 || row + count > rowCount())
        return false;
    beginRemoveRows({}, row, row + count - 1);
    {
        const std::lock_guard<std::mutex> guard(list.lock());
        list.contents().remove(row, count);
    }
    endRemoveRows();
    return true;
}

QVariantMap EntryTableModel::entryAtRow(int row) const
{
    const std::lock_guard<std::mutex> guard(list.lock());
    const QVariantList& entries = std::as_const(list.contents());
    if (row < 0 || row >= entries.size())
        return {};
    return entries.at(row).toMap();
}

QString EntryTableModel::invalidPatternExplanation()
{
    return QStringLiteral("This pattern cannot be compiled, so it excludes nothing. Look for an "
                          "unbalanced parenthesis, a backslash at the end, or a + or { with "
                          "nothing before it.");
}

bool EntryTableModel::patternCompiles(const QString& pattern) const
{
    const auto known = patternCompilesCache.constFind(pattern);
    if (known != patternCompilesCache.constEnd())
        return *known;
    const bool compiles = WildCardMatcher::patternCompiles(pattern);
    patternCompilesCache.insert(pattern, compiles);
    return compiles;
}

} // namespace quorvel
