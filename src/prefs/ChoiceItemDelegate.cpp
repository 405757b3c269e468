#include "prefs/ChoiceItemDelegate.h"

#include <QComboBox>

namespace quorvel {

ChoiceItemDelegate::ChoiceItemDelegate(QStringList choices, QObject* parent)
    : QStyledItemDelegate(parent)
    , choices(std::move(choices))
{
}

QWidget* ChoiceItemDelegate::createEditor(
    QWidget* parent, const QStyleOptionViewItem&, const QModelIndex&) const
{
    auto* popUp = new QComboBox(parent);
    popUp->addItems(choices);
    // The choice counts as made when it is picked, not when the cell loses the focus.
    connect(popUp, &QComboBox::activated, this,
        [this, popUp] { Q_EMIT const_cast<ChoiceItemDelegate*>(this)->commitData(popUp); });
    return popUp;
}

void ChoiceItemDelegate::setEditorData(QWidget* editor, const QModelIndex& index) const
{
    static_cast<QComboBox*>(editor)->setCurrentIndex(index.data(Qt::EditRole).toInt());
}

void ChoiceItemDelegate::setModelData(
    QWidget* editor, QAbstractItemModel* model, const QModelIndex& index) const
{
    model->setData(index, static_cast<QComboBox*>(editor)->currentIndex(), Qt::EditRole);
}

} // namespace quorvel
