#pragma once
// Edits a table cell whose integer value is one of a few named choices with a pop-up button.

#include <QStringList>
#include <QStyledItemDelegate>

namespace quorvel {

class ChoiceItemDelegate final : public QStyledItemDelegate {
    Q_OBJECT
public:
    ChoiceItemDelegate(QStringList choices, QObject* parent);

    QWidget* createEditor(
        QWidget* parent, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    void setEditorData(QWidget* editor, const QModelIndex& index) const override;
    void setModelData(QWidget* editor, QAbstractItemModel* model, const QModelIndex& index) const override;

private:
    const QStringList choices;
};

} // namespace quorvel
