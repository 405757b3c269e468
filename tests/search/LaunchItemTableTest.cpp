// The table's storage: every item comes back as it was appended, from the table being built,
// finished, and read back from its image; a name that ends its path is not stored again.

#include "search/LaunchItemTable.h"
#include "search/FoldedText.h"

#include <QFile>
#include <QStringList>
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <memory>
#include <vector>

using namespace quorvel;

namespace {

struct Item {
    QString name, type, path;
};

// Names that end their paths at a slash, within a component or as the whole path, names found
// only elsewhere in the path or not at all, an empty name, and text beyond ASCII and the basic plane.
const std::vector<Item> someItems = { { "Report.pdf", "doc", "/home/u/Report.pdf" },
    { "Mail", "app", "/Applications/Mail.app" }, { "ail.app", "app", "/Applications/Mail.app" },
    { "/only", "fold", "/only" }, { "", "doc", "/home/u/empty" }, { "u", "fold", "/home/u/x" },
    { "Straße\nzwei", "doc", "/home/u/Straße\nzwei" }, { "\U0001D11E Notes", "odd", "/home/u/\U0001D11E" },
    { "Notes \U0001D11E", "doc", "/home/u/Notes \U0001D11E" }, { "No path", "pref", "" } };

std::vector<Item> itemsOf(const LaunchItemTable& table)
{
    std::vector<Item> items;
    for (std::size_t i = 0; i < table.size(); ++i)
        items.push_back({ table.name(i).toString(), table.type(i), table.path(i).toString() });
    return items;
}

// The upper-cased names the searches compare, as FoldedText makes them.
QStringList upperNamesOf(const LaunchItemTable& table)
{
    QStringList names;
    for (std::size_t i = 0; i < table.size(); ++i)
        names.push_back(table.upperName(i));
    return names;
}

QStringList foldedNamesOf(const std::vector<Item>& items)
{
    QStringList names;
    for (const Item& item : items)
        names.push_back(FoldedText::of(item.name));
    return names;
}

bool operator==(const Item& a, const Item& b)
{
    return a.name == b.name && a.type == b.type && a.path == b.path;
}

void PrintTo(const Item& item, std::ostream* out)
{
    *out << '{' << item.name.toStdString() << ", " << item.type.toStdString() << ", "
         << item.path.toStdString() << '}';
}

std::unique_ptr<LaunchItemTable> tableOf(const std::vector<Item>& items)
{
    auto table = std::make_unique<LaunchItemTable>();
    for (const Item& item : items)
        EXPECT_TRUE(table->append(item.name, item.type, item.path));
    return table;
}

// The image copied into memory of its own, as a cache's snapshot holds it.
std::shared_ptr<const LaunchItemTable> readBack(const LaunchItemTable& table)
{
    const QByteArrayView image = table.image();
    auto words = std::make_shared<std::vector<std::uint64_t>>((std::size_t(image.size()) + 7) / 8);
    std::memcpy(words->data(), image.data(), std::size_t(image.size()));
    QString whyNot;
    auto read = LaunchItemTable::fromImage(
        words, reinterpret_cast<const unsigned char*>(words->data()), std::size_t(image.size()), &whyNot);
    EXPECT_TRUE(read) << whyNot.toStdString();
    return read;
}

} // namespace

TEST(LaunchItemTable, GivesBackEveryItemAsAppendedBeingBuiltFinishedAndReadFromItsImage)
{
    const std::unique_ptr<LaunchItemTable> table = tableOf(someItems);
    EXPECT_EQ(itemsOf(*table), someItems) << "while being built";
    table->finish();
    EXPECT_EQ(itemsOf(*table), someItems) << "finished";
    const std::shared_ptr<const LaunchItemTable> read = readBack(*table);
    ASSERT_TRUE(read);
    EXPECT_EQ(itemsOf(*read), someItems) << "read from the image";
    EXPECT_EQ(upperNamesOf(*read), foldedNamesOf(someItems));
    EXPECT_EQ(read->nameRanks().size(), someItems.size());

    // A name turns into a QString where one is wanted.
    QString shown = QStringLiteral("[%1]").arg(read->name(0));
    shown += read->name(1);
    EXPECT_EQ(shown, "[Report.pdf]Mail");
}

TEST(LaunchItemTable, ANameThatEndsItsPathTakesNoBytesOfItsOwn)
{
    // The same names and equally long paths: in one table each name ends its path, in the other
    // none does, so the images differ by the bytes of the names alone.
    std::vector<Item> ending, apart;
    std::size_t nameBytes = 0;
    for (int i = 0; i < 200; ++i) {
        const QString name = QStringLiteral("Übersicht %1.pdf").arg(i);
        ending.push_back({ name, "doc", "/home/u/Documents/" + name });
        apart.push_back({ name, "doc", "/home/u/Document/" + name + "~" });
        nameBytes += std::size_t(name.toUtf8().size());
    }
    const std::unique_ptr<LaunchItemTable> a = tableOf(ending), b = tableOf(apart);
    a->finish();
    b->finish();
    ASSERT_EQ(itemsOf(*readBack(*b)), apart);
    const auto difference = std::size_t(b->image().size() - a->image().size());
    EXPECT_LE(difference, nameBytes + 7);
    EXPECT_GE(difference + 7, nameBytes);
}

TEST(LaunchItemTable, ANameLongerThanItsCodeCanSayIsRefusedAndAddsNothing)
{
    LaunchItemTable table;
    EXPECT_FALSE(table.append(QString(32768, QLatin1Char('n')), "doc", "/d/n"));
    EXPECT_FALSE(table.append(QString(16384, QChar(0xE9)), "doc", "/d/e")) << "two bytes each in UTF-8";
    EXPECT_EQ(table.size(), 0u);
    const QString longest(32767, QLatin1Char('n'));
    EXPECT_TRUE(table.append(longest, "doc", "/d/" + longest));
    EXPECT_TRUE(table.append("Mail", "app", "/Applications/Mail.app"));
    table.finish();
    const std::shared_ptr<const LaunchItemTable> read = readBack(table);
    ASSERT_TRUE(read);
    EXPECT_EQ(itemsOf(*read),
        (std::vector<Item> {
            { longest, "doc", "/d/" + longest }, { "Mail", "app", "/Applications/Mail.app" } }));
}

TEST(LaunchItemTable, AnImageWhoseNameOrderBitsOrPathSlotsAreWrongIsRefused)
{
    // Items in name order over three words of order bits, some names equal ignoring case.
    std::vector<Item> items;
    for (int i = 0; i < 130; ++i)
        items.push_back({ QStringLiteral("%1%2").arg(i / 2, 3, 10, QLatin1Char('0')).arg(i % 2 ? "a" : "A"),
            "doc", QStringLiteral("/d/%1").arg(i) });
    const std::unique_ptr<LaunchItemTable> table = tableOf(items);
    table->finish();
    const QByteArray image = table->image().toByteArray();
    ASSERT_TRUE(readBack(*table));
    EXPECT_EQ(table->nameRanks()[129], 64u);

    // The bits follow the eight counts and the two arrays of starts; their running counts follow
    // them, then the path slots.
    const auto aligned = [](qsizetype at) { return (at + 7) & ~qsizetype(7); };
    const qsizetype bitsAt = aligned(aligned(aligned(8 * 4) + 131 * 4) + 131 * 4), countsAt = bitsAt + 3 * 8;
    const qsizetype slotsAt = aligned(countsAt + 3 * 4), slotCount = 149;
    const auto slotAt = [&](const QByteArray& bytes, bool used) {
        for (qsizetype at = slotsAt; at < slotsAt + 4 * slotCount; at += 4)
            if ((std::memcmp(bytes.constData() + at, "\0\0\0\0", 4) != 0) == used)
                return at;
        return qsizetype(-1);
    };
    ASSERT_GE(slotAt(image, false), 0);
    const auto flip = [](qsizetype at, char bits) {
        return [at, bits](QByteArray& bytes) { bytes[at] = char(bytes[at] ^ bits); };
    };
    const std::vector<std::pair<std::function<void(QByteArray&)>, QString>> flaws = {
        { flip(bitsAt, 0x01), "its name order is out of bounds" }, // a step before the first item
        { flip(bitsAt + 16, 0x08), "its name order is out of bounds" }, // a step past the last item
        { flip(countsAt + 4, 0x01), "its name order is out of bounds" }, // a running count one off
        { [&](QByteArray& bytes) {
             bytes.replace(slotAt(bytes, false), 4, bytes.mid(slotAt(bytes, true), 4));
         },
            "its path look-up does not hold every item once" }, // an item in two slots
        { [&](QByteArray& bytes) { bytes.replace(slotAt(bytes, true), 4, QByteArray("\0\0\0\x10", 4)); },
            "its path look-up does not hold every item once" }, // a slot of no item
    };
    for (std::size_t k = 0; k < flaws.size(); ++k) {
        QByteArray bad = image;
        flaws[k].first(bad);
        ASSERT_EQ(bad.size(), image.size());
        auto words = std::make_shared<std::vector<std::uint64_t>>((std::size_t(bad.size()) + 7) / 8);
        std::memcpy(words->data(), bad.constData(), std::size_t(bad.size()));
        QString whyNot;
        EXPECT_EQ(LaunchItemTable::fromImage(words, reinterpret_cast<const unsigned char*>(words->data()),
                      std::size_t(bad.size()), &whyNot),
            nullptr)
            << k;
        EXPECT_EQ(whyNot, flaws[k].second) << k;
    }
}

TEST(LaunchItemTable, TheFuzzSeedsAreImagesInTheCurrentLayout)
{
    // Seeds of another layout would only ever try the first check of an image.
    const std::vector<std::pair<const char*, std::vector<Item>>> seeds = { { "empty.image", {} },
        { "few.image",
            { { "Mail", "app", "/Applications/Mail.app" }, { "Maps", "app", "/Applications/Maps.app" },
                { "Report 2026.pdf", "doc", "/home/u/Report 2026.pdf" },
                { "Sound", "pref", "/usr/share/Sound.prefPane" }, { "Work", "fold", "/home/u/Work" } } },
        { "odd.image",
            { { "Straße\nzwei", "doc", "/home/u/Straße\nzwei" },
                { "\U0001D11E Notes", "odd", "/home/u/\U0001D11E" }, { "café au lait", "doc", "/d/café" },
                { "a", "", "/a" } } } };
    for (const auto& [file, items] : seeds) {
        QFile seed(QStringLiteral(QUORVEL_SOURCE_DIR "/tests/fuzz/corpus/cache-image/") + file);
        ASSERT_TRUE(seed.open(QIODevice::ReadOnly)) << file;
        const std::unique_ptr<LaunchItemTable> table = tableOf(items);
        table->finish();
        EXPECT_EQ(seed.readAll(), table->image().toByteArray()) << file;
    }
}
