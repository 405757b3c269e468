#include "prefs/TableRowCellValueTransformer.h"

namespace quorvel {

QVariant TableRowCellValueTransformer::transformedValue(const QVariant& value) const
{
    if (!value.isValid() || value.isNull())
        return {};
    return QVariant::fromValue<qint64>(value.toLongLong() + 4);
}

} // namespace quorvel
