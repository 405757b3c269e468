#include "SyntheticTree.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QStringList>

#include <random>

namespace quorvel::bench {

namespace {

const QStringList words = {
    "Budget",
    "report",
    "Notes",
    "draft",
    "Invoice",
    "photo",
    "Meeting",
    "minutes",
    "Project",
    "plan",
    "Résumé",
    "letter",
    "Q3",
    "summary",
    "Holiday",
    "list",
    "Thesis",
    "chapter",
    "Recipe",
    "scan",
    "Contract",
    "final",
    "Talk",
    "slides",
    "Data",
    "export",
    "Tax",
    "2023",
    "Garden",
    "ideas",
};
const QStringList extensions
    = { "pdf", "txt", "odt", "md", "png", "jpg", "csv", "c", "h", "json", "docx", "xlsx" };

class TreeWriter final {
public:
    explicit TreeWriter(std::uint32_t seed)
        : random(seed)
    {
    }

    QString name()
    {
        QString text = pick(words);
        for (int i = int(random() % 3); i > 0; --i)
            text += (random() % 2 ? " " : "_") + pick(words);
        return text + QString::number(random() % 1000);
    }
    QString fileName() { return name() + "." + pick(extensions); }

    static void folder(const QString& path) { QDir().mkpath(path); }
    static void file(const QString& path, const QByteArray& contents = QByteArray())
    {
        QFile output(path);
        if (output.open(QIODevice::WriteOnly))
            output.write(contents);
    }
    void files(const QString& folderPath, int count)
    {
        folder(folderPath);
        for (int i = 0; i < count; ++i)
            file(folderPath + "/" + QString::number(i) + " " + fileName());
    }

private:
    const QString& pick(const QStringList& list) { return list.at(int(random() % list.size())); }
    std::mt19937 random;
};

void writeBundles(TreeWriter& writer, const QString& root, const SyntheticTreeShape& shape)
{
    for (int i = 0; i < shape.applicationBundles; ++i) {
        const QString name = writer.name();
        const QString bundle = root + "/Applications/" + name + QString::number(i) + ".app/Contents";
        TreeWriter::folder(bundle + "/MacOS");
        TreeWriter::file(bundle + "/Info.plist",
            "<?xml version=\"1.0\"?><plist version=\"1.0\"><dict><key>CFBundleExecutable</key>"
            "<string>run</string></dict></plist>");
        TreeWriter::file(bundle + "/MacOS/run");
        writer.files(bundle + "/Resources", 8);
    }
    for (int i = 0; i < shape.preferencePanes; ++i)
        writer.files(root + "/PreferencePanes/" + writer.name() + ".prefPane/Contents", 3);
}

void writeDesktopEntries(TreeWriter& writer, const QString& root, const SyntheticTreeShape& shape)
{
    const QString folder = root + "/share/applications";
    TreeWriter::folder(folder);
    for (int i = 0; i < shape.desktopEntries; ++i) {
        const QByteArray text = "[Desktop Entry]\nType=Application\nName=" + writer.name().toUtf8()
            + "\nExec=true\nIcon=application-x-executable\n" + (i % 10 == 0 ? "NoDisplay=true\n" : "");
        TreeWriter::file(folder + "/app" + QString::number(i) + ".desktop", text);
    }
    for (int i = 0; i < 20; ++i) {
        const QString image = root + "/Applications/Tool" + QString::number(i) + ".AppImage";
        TreeWriter::file(image,
            "\x7f"
            "ELF");
        QFile::setPermissions(
            image, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    }
}

void writeDocuments(TreeWriter& writer, const QString& root, const SyntheticTreeShape& shape)
{
    for (int f = 0; f < shape.documentFolders; ++f) {
        const QString top = root + "/Documents/" + writer.name() + " " + QString::number(f);
        for (int s = 0; s < shape.subfoldersPerFolder; ++s)
            writer.files(top + "/" + writer.name() + QString::number(s), shape.filesPerSubfolder);
    }
    QString deep = root + "/Documents/deep";
    for (int level = 0; level < shape.deepChainLength; ++level) {
        deep += "/level " + QString::number(level);
        writer.files(deep, 20);
    }
    for (int i = 0; i < shape.excludedFolders; ++i)
        writer.files(root + "/Documents/code" + QString::number(i) + "/node_modules/pkg", 150);
}

} // namespace

QString syntheticTree(const QString& parentFolder, const SyntheticTreeShape& shape)
{
    const QString root = parentFolder + "/quorvel-synthetic-tree-"
        + QString("%1-%2-%3-%4")
              .arg(shape.documentFolders)
              .arg(shape.subfoldersPerFolder)
              .arg(shape.filesPerSubfolder)
              .arg(shape.applicationBundles);
    const QString complete = root + "/.complete";
    if (QFile::exists(complete))
        return root;
    QDir(root).removeRecursively();
    TreeWriter writer(20240501);
    writeBundles(writer, root, shape);
    writeDesktopEntries(writer, root, shape);
    writeDocuments(writer, root, shape);
    TreeWriter::file(complete);
    return root;
}

std::size_t countEntries(const QString& root)
{
    std::size_t count = 1;
    QDirIterator it(root, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
        QDirIterator::Subdirectories);
    while (it.hasNext()) {
        it.next();
        ++count;
    }
    return count;
}

} // namespace quorvel::bench
