#include "platform/desktop/Bundle.h"
#include "platform/files/Folders.h"

#include "support/TemporaryHome.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QStringEncoder>
#include <gtest/gtest.h>

#include <thread>

using namespace quorvel;

// Readable failure messages.
static void PrintTo(const QString& text, std::ostream* out)
{
    *out << '"' << text.toStdString() << '"';
}

namespace {

void writeFile(const QString& path, const QByteArray& content)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(content);
}

QByteArray infoPlist(const QByteArray& entries)
{
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
           "<!DOCTYPE plist PUBLIC \"-//Apple//DTD PLIST 1.0//EN\" "
           "\"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">\n"
           "<plist version=\"1.0\"><dict>"
        + entries + "</dict></plist>\n";
}

QString makeBundle(const QString& name, const QByteArray& entries)
{
    const QString path = Folders::homeFolder() + "/" + name;
    writeFile(path + "/Contents/Info.plist", infoPlist(entries));
    return path;
}

// The default locale decides the localisation; every test leaves it as it found it.
class LocaleScope final {
public:
    explicit LocaleScope(const QString& name) { QLocale::setDefault(QLocale(name)); }
    ~LocaleScope() { QLocale::setDefault(saved); }

private:
    QLocale saved;
};

} // namespace

TEST(Bundle, ReadsTheInformationDictionaryAndFindsTheExecutableOnlyWhenItExists)
{
    const QString path = makeBundle("Tool.app",
        "<key>CFBundleIdentifier</key><string>org.example.tool</string>"
        "<key>CFBundleExecutable</key><string>tool</string>");
    const std::optional<Bundle> bundle = Bundle::bundleWithPath(path + "/");
    ASSERT_TRUE(bundle);
    EXPECT_EQ(bundle->bundlePath(), path);
    EXPECT_EQ(bundle->bundleIdentifier(), "org.example.tool");
    EXPECT_EQ(bundle->resourcePath(), path + "/Contents/Resources");
    EXPECT_EQ(bundle->executablePath(), "");

    writeFile(path + "/Contents/MacOS/tool", "#!/bin/sh\n");
    EXPECT_EQ(bundle->executablePath(), path + "/Contents/MacOS/tool");
}

TEST(Bundle, AFlatBundleKeepsItsInformationAndExecutableAtTheTop)
{
    const QString path = Folders::homeFolder() + "/Flat.prefPane";
    writeFile(path + "/Info.plist",
        infoPlist("<key>CFBundleExecutable</key><string>pane</string>"
                  "<key>CFBundleIconFile</key><string>pane</string>"));
    writeFile(path + "/pane", "");
    writeFile(path + "/pane.png", "");
    const Bundle bundle(path);
    EXPECT_EQ(bundle.executablePath(), path + "/pane");
    EXPECT_EQ(bundle.pathForImageResource("pane"), path + "/pane.png");
}

TEST(Bundle, MissingOrMalformedInformationGivesAnEmptyDictionaryAndNoExecutable)
{
    const QString empty = Folders::homeFolder() + "/Empty.app";
    QDir().mkpath(empty);
    EXPECT_TRUE(Bundle(empty).infoDictionary().isEmpty());
    EXPECT_EQ(Bundle(empty).executablePath(), "");

    const QString truncated = Folders::homeFolder() + "/Truncated.app";
    writeFile(truncated + "/Contents/Info.plist",
        infoPlist("<key>CFBundleExecutable</key><string>x</string>").left(150));
    writeFile(truncated + "/Contents/MacOS/x", "");
    EXPECT_TRUE(Bundle(truncated).infoDictionary().isEmpty());
    EXPECT_EQ(Bundle(truncated).executablePath(), "");

    const QString arrayRoot = Folders::homeFolder() + "/Array.app";
    writeFile(arrayRoot + "/Contents/Info.plist",
        "<?xml version=\"1.0\"?><plist version=\"1.0\"><array><string>a</string></array></plist>");
    EXPECT_TRUE(Bundle(arrayRoot).infoDictionary().isEmpty());
    EXPECT_FALSE(Bundle(arrayRoot).objectForInfoDictionaryKey("CFBundleName").isValid());
}

TEST(Bundle, OnlyExistingFoldersOpenAsBundles)
{
    EXPECT_FALSE(Bundle::bundleWithPath(Folders::homeFolder() + "/Nothing.app"));
    EXPECT_FALSE(Bundle::bundleWithPath(""));
    writeFile(Folders::homeFolder() + "/plain.txt", "text");
    EXPECT_FALSE(Bundle::bundleWithPath(Folders::homeFolder() + "/plain.txt"));
    EXPECT_TRUE(Bundle::bundleWithPath(Folders::homeFolder()));
}

TEST(Bundle, LocalisedValuesComeFromTheUsersLanguageAndWinOverTheInformationDictionary)
{
    const QString path = makeBundle("Pane.prefPane",
        "<key>CFBundleName</key><string>Pane</string>"
        "<key>CFBundleGetInfoString</key><string>Info</string>");
    writeFile(path + "/Contents/Resources/de.lproj/InfoPlist.strings",
        "/* German */\n"
        "CFBundleName = \"Bereich \\\"Tasten\\\"\";\n"
        "// a line comment with \"quotes\" = \"x\";\n"
        "\"NSHumanReadableCopyright\" = \"Zeile 1\\nZeile 2 \\\\ Ende\";\n");
    writeFile(
        path + "/Contents/Resources/English.lproj/InfoPlist.strings", "\"CFBundleName\" = \"Keys pane\";");

    {
        LocaleScope german("de_CH");
        const Bundle bundle(path);
        EXPECT_EQ(bundle.objectForInfoDictionaryKey("CFBundleName").toString(), "Bereich \"Tasten\"");
        EXPECT_EQ(bundle.objectForInfoDictionaryKey("NSHumanReadableCopyright").toString(),
            "Zeile 1\nZeile 2 \\ Ende");
        EXPECT_EQ(bundle.objectForInfoDictionaryKey("CFBundleGetInfoString").toString(), "Info");
        EXPECT_EQ(bundle.infoDictionary().value("CFBundleName").toString(), "Pane");
    }
    {
        LocaleScope french("fr_FR"); // no French: English by its old folder name
        EXPECT_EQ(Bundle(path).objectForInfoDictionaryKey("CFBundleName").toString(), "Keys pane");
    }
}

TEST(Bundle, StringsFilesInUtf16AreReadAndMalformedOnesAreIgnored)
{
    LocaleScope english("en_US");
    const QString utf16 = makeBundle("Wide.app", "<key>CFBundleName</key><string>Wide</string>");
    QStringEncoder encoder(QStringEncoder::Utf16LE);
    const QByteArray wide
        = "\xff\xfe" + QByteArray(encoder(QString::fromUtf8("\"CFBundleName\" = \"Größe ✓\";\n")));
    writeFile(utf16 + "/Contents/Resources/en.lproj/InfoPlist.strings", wide);
    EXPECT_EQ(
        Bundle(utf16).objectForInfoDictionaryKey("CFBundleName").toString(), QString::fromUtf8("Größe ✓"));

    const QString broken = makeBundle("Broken.app", "<key>CFBundleName</key><string>Broken</string>");
    writeFile(
        broken + "/Contents/Resources/en.lproj/InfoPlist.strings", "\"CFBundleName\" = \"never closed;\n");
    EXPECT_TRUE(Bundle(broken).localizedInfoDictionary().isEmpty());
    EXPECT_EQ(Bundle(broken).objectForInfoDictionaryKey("CFBundleName").toString(), "Broken");

    const QString unterminatedComment = makeBundle("Comment.app", "");
    writeFile(
        unterminatedComment + "/Contents/Resources/Base.lproj/InfoPlist.strings", "\"a\" = \"b\"; /* no end");
    EXPECT_TRUE(Bundle(unterminatedComment).localizedInfoDictionary().isEmpty());
}

TEST(Bundle, ResourcesAreFoundByNameAndTypeButNeverOutsideTheResourcesFolder)
{
    const QString path = makeBundle("Res.app", "");
    const QString resources = path + "/Contents/Resources";
    writeFile(resources + "/Defaults.xml", "x");
    writeFile(resources + "/README", "x");
    writeFile(resources + "/folder.svg", "x");
    writeFile(resources + "/folder.png", "x");
    writeFile(resources + "/doc.icns", "x");
    writeFile(path + "/Contents/secret.png", "x");
    const Bundle bundle(path);

    EXPECT_EQ(bundle.pathForResource("Defaults", "xml"), resources + "/Defaults.xml");
    EXPECT_EQ(bundle.pathForResource("README", ""), resources + "/README");
    EXPECT_EQ(bundle.pathForResource("Defaults", "plist"), "");
    EXPECT_EQ(bundle.pathForImageResource("folder"), resources + "/folder.png");
    EXPECT_EQ(bundle.pathForImageResource("folder.svg"), resources + "/folder.svg");
    EXPECT_EQ(bundle.pathForImageResource("doc"), resources + "/doc.icns");
    EXPECT_EQ(bundle.pathForImageResource("folder.tiff"), resources + "/folder.png");
    EXPECT_EQ(bundle.pathForImageResource("missing"), "");
    EXPECT_EQ(bundle.pathForImageResource("../secret"), "");
    EXPECT_EQ(bundle.pathForResource("../secret", "png"), "");
}

TEST(Bundle, TheMainBundleIsTheBuiltApplicationAndCanBeReplacedWhileAnotherThreadReadsIt)
{
    const Bundle& built = Bundle::mainBundle();
    EXPECT_EQ(built.bundlePath(), QDir::cleanPath(test::builtBundlePath()));
    EXPECT_EQ(built.bundleIdentifier(), "org.quorvel.launcher");

    const QString other = makeBundle("Other.app", "<key>CFBundleIdentifier</key><string>org.other</string>");
    std::thread reader([] {
        for (int i = 0; i < 200; ++i)
            (void)Bundle::mainBundle().pathForImageResource("app");
    });
    Bundle::setMainBundlePath(other);
    reader.join();
    EXPECT_EQ(Bundle::mainBundle().bundleIdentifier(), "org.other");
    EXPECT_EQ(built.bundleIdentifier(), "org.quorvel.launcher"); // still a valid reference
    Bundle::setMainBundlePath(test::builtBundlePath());
}

TEST(Bundle, VersionNumbersOrderAsTheReleasesDo)
{
    const char* releases[] = { "0.9", "1.0d1", "1.0a2", "1.0b1", "1.0b12", "1.0fc1", "1.0", "1.0.1", "1.0.15",
        "1.1", "1.15", "2", "2.0.1", "10.0", "255.15.15" };
    for (std::size_t i = 1; i < std::size(releases); ++i)
        EXPECT_LT(Bundle::packedVersionNumber(releases[i - 1]), Bundle::packedVersionNumber(releases[i]))
            << releases[i - 1] << " < " << releases[i];
    EXPECT_EQ(Bundle::packedVersionNumber("2"), Bundle::packedVersionNumber("2.0.0"));
    for (const char* unusable : { "", "abc", "1.16", "256", "1.0b256", "1.0.0.1", "-1", "1.0 beta" })
        EXPECT_EQ(Bundle::packedVersionNumber(unusable), 0u) << unusable;

    QTemporaryDir dir;
    writeFile(dir.filePath("P.app/Contents/Info.plist"),
        "<plist version=\"1.0\"><dict><key>CFBundleVersion</key><string>2.1b3</string></dict></plist>");
    EXPECT_EQ(Bundle(dir.filePath("P.app")).versionNumber(), Bundle::packedVersionNumber("2.1b3"));
    EXPECT_EQ(Bundle(dir.filePath("none")).versionNumber(), 0u);
}
