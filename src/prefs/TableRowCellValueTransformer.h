#pragma once
// Turns a table row number into the number shown in the preferences window's row cells: the
// row's integer value plus 4. One way only.

#include "platform/settings/ValueTransformer.h"

namespace quorvel {

class TableRowCellValueTransformer final : public ValueTransformer {
public:
    QVariant transformedValue(const QVariant& value) const override;
    bool allowsReverseTransformation() const override { return false; }
};

} // namespace quorvel
