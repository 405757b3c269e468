#pragma once
// An item in the desktop's status area (the system tray) that shows a menu. The real item is a
// SystemTrayStatusItem; tests replace the factory to count the items that exist.

#include <QString>

#include <functional>
#include <memory>

class QMenu;

namespace quorvel {

class StatusItem {
public:
    using Factory = std::function<std::unique_ptr<StatusItem>()>;

    // A new item in the status area, of variable length; it stays there until destroyed.
    static std::unique_ptr<StatusItem> statusItemWithVariableLength();
    // Tests: items come from this factory instead; an empty one restores the real items.
    static void setFactory(Factory factory);

    virtual ~StatusItem() = default;
    StatusItem(const StatusItem&) = delete;
    StatusItem& operator=(const StatusItem&) = delete;

    // The item's name: its tool tip in the tray, where items are icons.
    virtual void setTitle(const QString& title) = 0;
    // Shown when the item is clicked; not owned.
    virtual void setMenu(QMenu* menu) = 0;

protected:
    StatusItem() = default;
};

} // namespace quorvel
