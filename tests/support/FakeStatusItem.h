#pragma once
// Status items that stay out of the desktop: while one lives, the factory knows it, with its
// title and menu.

#include "platform/widgets/StatusItem.h"

#include <QString>

namespace quorvel::test {

class FakeStatusItems final {
public:
    class Item final : public StatusItem {
    public:
        explicit Item(FakeStatusItems& owner)
            : owner(owner)
        {
            ++owner.living;
            ++owner.created;
        }
        ~Item() override { --owner.living; }
        void setTitle(const QString& title) override { owner.title = title; }
        void setMenu(QMenu* menu) override { owner.menu = menu; }

    private:
        FakeStatusItems& owner;
    };

    FakeStatusItems()
    {
        StatusItem::setFactory([this] { return std::make_unique<Item>(*this); });
    }
    ~FakeStatusItems() { StatusItem::setFactory({}); }

    int living = 0;
    int created = 0;
    QString title;
    QMenu* menu = nullptr;
};

} // namespace quorvel::test
