#include "platform/settings/ValueTransformer.h"

#include <map>
#include <mutex>

namespace quorvel {

namespace {
std::mutex registryLock;
std::map<QString, std::unique_ptr<ValueTransformer>>& registry()
{
    static std::map<QString, std::unique_ptr<ValueTransformer>> transformers;
    return transformers;
}
} // namespace

void ValueTransformer::setValueTransformerForName(
    std::unique_ptr<ValueTransformer> transformer, const QString& name)
{
    const std::lock_guard<std::mutex> guard(registryLock);
    registry()[name] = std::move(transformer);
}

ValueTransformer* ValueTransformer::valueTransformerForName(const QString& name)
{
    const std::lock_guard<std::mutex> guard(registryLock);
    const auto found = registry().find(name);
    return found == registry().end() ? nullptr : found->second.get();
}

} // namespace quorvel
