#include "platform/plist/ShortStringCache.h"

#include "platform/plist/Utf8.h"

#include <cstring>

namespace quorvel {

QString ShortStringCache::string(const char* data, qsizetype size)
{
    if (size > longest)
        return Utf8::decoded(data, size);
    quint32 hash = 2166136261u;
    for (qsizetype i = 0; i < size; ++i)
        hash = (hash ^ uchar(data[i])) * 16777619u;
    Slot& slot = slots[hash % slotCount];
    if (slot.size != size || std::memcmp(slot.bytes, data, size_t(size)) != 0) {
        slot.size = size;
        std::memcpy(slot.bytes, data, size_t(size));
        slot.string = Utf8::decoded(data, size);
    }
    return slot.string;
}

} // namespace quorvel
