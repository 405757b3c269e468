#include "platform/widgets/StatusItem.h"

#include "platform/widgets/SystemTrayStatusItem.h"

namespace quorvel {

namespace {
StatusItem::Factory& replacementFactory()
{
    static StatusItem::Factory factory;
    return factory;
}
} // namespace

std::unique_ptr<StatusItem> StatusItem::statusItemWithVariableLength()
{
    if (const Factory& factory = replacementFactory())
        return factory();
    return std::make_unique<SystemTrayStatusItem>();
}

void StatusItem::setFactory(Factory factory)
{
    replacementFactory() = std::move(factory);
}

} // namespace quorvel
