// The index file a scan writes, byte for byte, for a tree with every kind of entry and every
// awkward name the walk and the sort meet; the status texts of that scan in walk order; and the
// sort against the plain comparison function on names that fold in unusual ways.

#include "index/ScanFixture.h"

#include "platform/files/FileManager.h"
#include "platform/plist/PropertyList.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <algorithm>
#include <random>

using namespace quorvel;
using quorvel::test::ScanFixture;
using quorvel::test::TemporaryTree;

namespace {

class ScannedIndex : public ScanFixture {
protected:
    // Folders the walk enters, relative to the tree ("" is the location's own folder).
    QStringList makeTree()
    {
        tree.bundle("Mail.app", { { "CFBundleExecutable", "Mail" } });
        tree.file("Mail.app/Contents/Resources/help.pdf");
        tree.bundle("Zed & Co <Beta>.app", { { "CFBundleExecutable", "zed" } });
        tree.bundle("Sound.prefPane", { { "NSPrefPaneIconLabel", "Sound\nand Music" } });
        tree.folder("Plain.prefPane");
        tree.folder("Notes.prefPane");
        tree.bundle("Notes.app", { { "CFBundleExecutable", "notes" } });
        tree.file("notes/NOTES.txt");
        tree.file("notes/notes.PDF");
        tree.desktopEntry("editor.desktop", "Text Editor");
        tree.desktopEntry("hidden.desktop", "Hidden Tool", "NoDisplay=true\n");
        QFile::setPermissions(tree.file("Player.AppImage",
                                  "\x7f"
                                  "ELF"),
            QFileDevice::ReadOwner | QFileDevice::ExeOwner);
        const QString tool = tree.file("tool");
        if (!TemporaryTree::setCodes(tool, "APPL", "????"))
            QFile::remove(tool); // the index is the same either way
        tree.file("Ünïcode/Straße.pdf");
        tree.file("Ünïcode/a\"quote'&>.txt");
        tree.file("Ünïcode/ΑΣ.txt");
        tree.file("Ünïcode/ας.pdf");
        tree.file("Ünïcode/\u212A.txt"); // Kelvin sign
        tree.file("Ünïcode/k.pdf");
        tree.file("A/Émile.txt");
        tree.file("b/émile.txt");
        tree.file("A/\U00010400.txt"); // a Deseret capital and its small letter
        tree.file("b/\U00010428.txt");
        tree.file("b/\U0001D49C.txt"); // no case at all
        tree.file("b/file10.txt");
        tree.file("b/file9.txt");
        tree.file("b/tab\tand\rreturn.pdf");
        tree.file("b/.hidden.pdf");
        tree.file("b/readme.md");
        tree.file("skip/inside.pdf");
        tree.file("keep/drop.tmp.txt");
        tree.file("keep/kept.txt");
        PropertyList::writeFile(
            tree.folder("Tool") + "/Info.plist", QVariantMap { { "CFBundleExecutable", "run" } });
        QFile::setPermissions(tree.file("Tool/run"), QFileDevice::ReadOwner | QFileDevice::ExeOwner);
        tree.file("Tool/Tool");
        tree.symbolicLink("linked", tree.path("notes"));
        tree.symbolicLink("gone.pdf", tree.path("nothing"));
        tree.symbolicLink("loop", ".");
        tree.file("deep/1/2/3/bottom.txt");
        setFolderExclusions({ "*/skip" });
        setFileExclusions({ "*.tmp.txt" });
        return { "", "notes", "Ünïcode", "A", "b", "keep", "Tool", "linked", "deep", "deep/1", "deep/1/2",
            "deep/1/2/3" };
    }

    // "Indexing" texts for the walked folders, depth first in the order the folders list them.
    QStringList indexingTexts(const QString& folder, const QStringList& walked) const
    {
        const QString path = folder.isEmpty() ? tree.path() + "/" : tree.path() + "/" + folder;
        QStringList texts = { "Indexing " + path + ".." };
        for (const QString& name : FileManager::directoryContentsAtPath(path)) {
            const QString child = folder.isEmpty() ? name : folder + "/" + name;
            if (walked.contains(child))
                texts += indexingTexts(child, walked);
        }
        return texts;
    }
};

// The index file around its items.
const char* const expectedIndex = R"(<?xml version="1.0" encoding="UTF-8"?>
<!DOCTYPE plist PUBLIC "-//Apple//DTD PLIST 1.0//EN" "http://www.apple.com/DTDs/PropertyList-1.0.dtd">
<plist version="1.0">
<array>
@ITEMS@</array>
</plist>
)";

QString itemXml(const QString& name, const QString& path, const QString& type)
{
    return "\t<dict>\n\t\t<key>name</key>\n\t\t<string>" + name
        + "</string>\n\t\t<key>path</key>\n\t\t<string>" + path
        + "</string>\n\t\t<key>type</key>\n\t\t<string>" + type + "</string>\n\t</dict>\n";
}

} // namespace

TEST_F(ScannedIndex, HoldsExactlyTheseBytesAndTheStatusTextsFollowTheWalk)
{
    const QStringList walked = makeTree();
    scan();

    const QString t = tree.path();
    const QString n = QDir(t).dirName();
    const bool hasTool = QFile::exists(tree.path("tool"));
    // name, path and type as written (escaped), in index order.
    const QList<QStringList> items = {
        { "1", t + "/deep/1", "fold" },
        { "2", t + "/deep/1/2", "fold" },
        { "3", t + "/deep/1/2/3", "fold" },
        { "A", t + "/A", "fold" },
        { "a\"quote'&amp;&gt;.txt", t + "/Ünïcode/a\"quote'&amp;&gt;.txt", "doc" },
        { "b", t + "/b", "fold" },
        { "bottom.txt", t + "/deep/1/2/3/bottom.txt", "doc" },
        { "deep", t + "/deep", "fold" },
        { "file10.txt", t + "/b/file10.txt", "doc" },
        { "file9.txt", t + "/b/file9.txt", "doc" },
        { "gone.pdf", t + "/gone.pdf", "doc" },
        { "k.pdf", t + "/Ünïcode/k.pdf", "doc" },
        { "\u212A.txt", t + "/Ünïcode/\u212A.txt", "doc" },
        { "keep", t + "/keep", "fold" },
        { "kept.txt", t + "/keep/kept.txt", "doc" },
        { "linked", t + "/linked", "fold" },
        { "Mail", t + "/Mail.app", "app" },
        { "Notes", t + "/Notes.prefPane", "pref" },
        { "Notes", t + "/Notes.app", "app" },
        { "notes", t + "/notes", "fold" },
        { "notes.PDF", t + "/linked/notes.PDF", "doc" },
        { "notes.PDF", t + "/notes/notes.PDF", "doc" },
        { "NOTES.txt", t + "/linked/NOTES.txt", "doc" },
        { "NOTES.txt", t + "/notes/NOTES.txt", "doc" },
        { "Plain", t + "/Plain.prefPane", "pref" },
        { "Player.AppImage", t + "/Player.AppImage", "app" },
        { n, t + "/", "fold" },
        { "Sound and Music", t + "/Sound.prefPane", "pref" },
        { "Straße.pdf", t + "/Ünïcode/Straße.pdf", "doc" },
        { "tab\tand&#13;return.pdf", t + "/b/tab\tand&#13;return.pdf", "doc" },
        { "Text Editor", t + "/editor.desktop", "app" },
        { "tool", t + "/tool", "app" },
        { "Tool", t + "/Tool", "fold" },
        { "Zed &amp; Co &lt;Beta&gt;", t + "/Zed &amp; Co &lt;Beta&gt;.app", "app" },
        { "Émile.txt", t + "/A/Émile.txt", "doc" },
        { "émile.txt", t + "/b/émile.txt", "doc" },
        { "Ünïcode", t + "/Ünïcode", "fold" },
        { "ας.pdf", t + "/Ünïcode/ας.pdf", "doc" },
        { "ΑΣ.txt", t + "/Ünïcode/ΑΣ.txt", "doc" },
        { "\U00010400.txt", t + "/A/\U00010400.txt", "doc" },
        { "\U00010428.txt", t + "/b/\U00010428.txt", "doc" },
        { "\U0001D49C.txt", t + "/b/\U0001D49C.txt", "doc" },
    };
    QString xml;
    for (const QStringList& item : items) {
        if (item[1] != t + "/tool" || hasTool)
            xml += itemXml(item[0], item[1], item[2]);
    }
    QFile index(indexPath());
    ASSERT_TRUE(index.open(QIODevice::ReadOnly));
    const QString written = QString::fromUtf8(index.readAll());
    EXPECT_EQ(written, QString(expectedIndex).replace("@ITEMS@", xml));

    QStringList expectedStatuses = { "Starting scan..." };
    expectedStatuses += indexingTexts("", walked);
    const QStringList statuses = delegate.statuses();
    ASSERT_FALSE(statuses.isEmpty());
    EXPECT_EQ(statuses.mid(0, statuses.size() - 1), expectedStatuses);
    EXPECT_TRUE(statuses.last().startsWith("Last disk scan was completed at "));
}

TEST(SortOrder, IsThePermutationTheComparisonFunctionGivesForNamesThatFoldUnusually)
{
    // Case pairs, letters that fold to the same letter, letters outside the basic plane with and
    // without case, unpaired surrogates, prefixes, digits and empty names.
    const QStringList pieces = { "a", "A", "ä", "Ä", "ς", "σ", "Σ", "\u212A", "k", "K", "ß", "SS",
        "\U00010400", "\U00010428", "\U0001D49C", QString(QChar(0xD801)), QString(QChar(0xDC00)), "\uFF21",
        "\uFF41", "1", "10", "9", " ", "_", "Z", "z", "İ", "i", "ı", "I", "" };
    const QStringList types = { "pref", "app", "fold", "doc" };
    std::mt19937 random(7);
    auto text = [&] {
        QString s;
        for (int i = int(random() % 4); i >= 0; --i)
            s += pieces.at(int(random() % pieces.size()));
        return s;
    };
    FileList::ItemArray items;
    for (int i = 0; i < 6000; ++i)
        items.push_back(LaunchItem { text(), types.at(int(random() % types.size())), "/" + text() });
    // Long names that differ only past their first units.
    const QStringList prefixes
        = { "Budget ", "budget r", "BUDGET RE", "Budget réport", "Résumé 10", "résumé 1" };
    for (int i = 0; i < 3000; ++i)
        items.push_back(LaunchItem { prefixes.at(int(random() % prefixes.size())) + text(),
            types.at(int(random() % types.size())), "/" + text() });

    FileList::ItemArray expected = items;
    std::sort(expected.begin(), expected.end(),
        [](const LaunchItem& a, const LaunchItem& b) { return _sortAlphabetically(a, b) < 0; });
    FileList::sortAlphabetically(items);
    ASSERT_EQ(items.size(), expected.size());
    for (std::size_t i = 0; i < items.size(); ++i) {
        ASSERT_EQ(items[i].name, expected[i].name) << i;
        ASSERT_EQ(items[i].type, expected[i].type) << i;
        ASSERT_EQ(items[i].path, expected[i].path) << i;
    }
}

TEST(IndexFileData, IsWhatThePropertyListWriterWritesForTheItemsDictionaries)
{
    auto asPropertyList = [](const FileList::ItemArray& items) {
        QVariantList array;
        for (const LaunchItem& item : items)
            array.append(QVariantMap { { "name", item.name }, { "path", item.path }, { "type", item.type } });
        return PropertyList::toData(array);
    };
    EXPECT_EQ(IndexFile::data({}), asPropertyList({}));

    // Every unit of the basic plane once, the markup characters, pairs, unpaired surrogates and
    // the noncharacters XML cannot carry, in names, paths and types.
    FileList::ItemArray items;
    QString all;
    for (char32_t c = 1; c <= 0xFFFF; ++c) {
        all.append(QChar(char16_t(c)));
        if (all.size() == 300) {
            items.push_back(LaunchItem { all, "doc", "/" + all });
            all.clear();
        }
    }
    items.push_back(LaunchItem { all, "fold", all });
    const QString awkward = QString("a&b<c>d\"e'f\rg\th\ni") + QChar(0xD800) + "j" + QChar(0xDFFF)
        + "\U0001F600" + QChar(0xFFFE) + QChar(0xFFFF) + QChar(0x1) + "\U0010FFFF" + QChar(0xDBFF);
    items.push_back(LaunchItem { awkward, awkward, awkward });
    items.push_back(LaunchItem { "", "", "" });
    EXPECT_EQ(IndexFile::data(items), asPropertyList(items));
}

// An index large enough to be made in parts on several threads is the same bytes as one writer
// makes, and the table handed on with it is what reading the file back gives.
TEST(IndexFileData, WrittenWithItsCacheFromManyItemsIsTheSameBytesAsOneWriterMakes)
{
    const QString awkward = QString("a&b<c>\r\t\n") + QChar(0xD800) + QChar(0xFFFE) + "\U0001F600é";
    FileList::ItemArray items;
    for (int i = 0; i < 12001; ++i) {
        const QString name = QString::number(i) + (i % 1000 == 0 ? awkward : QString(" Nötes"));
        items.push_back(LaunchItem { name, i % 3 ? "doc" : "app", "/t/" + name });
    }
    QTemporaryDir folder;
    const QString path = folder.filePath("index");
    const std::optional<WrittenIndex> written = IndexFile::writeWithCache(path, items);
    ASSERT_TRUE(written && written->table);
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), IndexFile::data(items));
    const std::shared_ptr<const LaunchItemTable> read = IndexFile::readWithoutCache(path);
    ASSERT_TRUE(read);
    EXPECT_EQ(written->table->image().toByteArray(), read->image().toByteArray());
}
