#pragma once
// Value transformers and their registry by name, as the interface bindings use them.

#include <QString>
#include <QVariant>
#include <memory>

namespace quorvel {

class ValueTransformer {
public:
    virtual ~ValueTransformer() = default;
    virtual QVariant transformedValue(const QVariant& value) const = 0;
    virtual bool allowsReverseTransformation() const { return false; }

    // The registry owns what is registered; registering a name again replaces the transformer.
    static void setValueTransformerForName(
        std::unique_ptr<ValueTransformer> transformer, const QString& name);
    static ValueTransformer* valueTransformerForName(const QString& name);
};

} // namespace quorvel
