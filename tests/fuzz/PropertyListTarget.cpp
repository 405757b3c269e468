// The property-list reader on any bytes: it answers a value or none, and whatever it answers
// the writer must write so that it reads back to the same value (a second write gives the
// same bytes): a name with a character the writer fails to escape would otherwise change or
// vanish the next time the file is read. Characters XML cannot carry at all (most control
// characters, lone surrogates) make a file unreadable, so no value read ever holds one.

#include "fuzz/FuzzTargets.h"

#include "platform/plist/PropertyList.h"

namespace quorvel::fuzz {

void propertyListReader(const std::uint8_t* data, std::size_t size)
{
    const QVariant value = PropertyList::fromData(
        QByteArray(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size)));
    if (!value.isValid())
        return;
    check(holdsOnlyXmlText(value), "the reader answers no character XML cannot carry");
    const QByteArray written = PropertyList::toData(value);
    const QVariant reread = PropertyList::fromData(written);
    check(reread.isValid(), "what the writer wrote reads as a property list");
    if (PropertyList::toData(reread) != written)
        fail(QStringLiteral("a value changes when written and read back; written:\n")
            + QString::fromUtf8(written));
}

} // namespace quorvel::fuzz
