// What a scan puts into the index for real trees: classification, the walk's rules, exclusions
// and the order of the index.

#include "index/ScanFixture.h"
#include "support/LogCapture.h"

#include "platform/plist/PropertyList.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>

#include <fcntl.h>
#include <unistd.h>

using namespace quorvel;
using quorvel::test::LogCapture;
using quorvel::test::ScanFixture;
using quorvel::test::TemporaryTree;

namespace {

class Walk : public ScanFixture { };

QVariantMap application(const QString& executable)
{
    return { { "CFBundleExecutable", executable } };
}

} // namespace

TEST_F(Walk, EachKindIsIndexedOnceAndNeverWalkedIntoAndHiddenEntriesNeverAppear)
{
    setDocumentExtensions({ "pdf", "pkgdoc" });
    tree.bundle("Mail.app", application("Mail"));
    tree.file("Mail.app/Contents/Resources/help.pdf");
    tree.bundle("Sound.prefPane", { { "NSPrefPaneIconLabel", "Sound\nand Music" } });
    tree.file("Sound.prefPane/Contents/Resources/help.pdf");
    tree.folder("Plain.prefPane");
    tree.file("Report.pkgdoc/inner.pdf");
    tree.file("notes/todo.pdf");
    tree.file(".secret.pdf");
    tree.file(".hidden/visible.pdf");
    tree.file("notes/readme.md");

    EXPECT_EQ(scanAndDescribe(),
        (QStringList {
            "app Mail ~/Mail.app",
            "fold notes ~/notes",
            "pref Plain ~/Plain.prefPane",
            "fold " + QDir(tree.path()).dirName() + " ~/",
            "doc Report.pkgdoc ~/Report.pkgdoc",
            "pref Sound and Music ~/Sound.prefPane",
            "doc todo.pdf ~/notes/todo.pdf",
        }));
}

TEST_F(Walk, FilesAreApplicationsByTheirCodesDesktopEntriesAndExecutableAppImages)
{
    const QString tool = tree.file("tool");
    const bool hasAttributes = TemporaryTree::setCodes(tool, "APPL", "????");
    tree.desktopEntry("editor.desktop", "Text Editor");
    tree.desktopEntry("hidden.desktop", "Hidden Tool", "NoDisplay=true\n");
    tree.desktopEntry("removed.desktop", "Removed Tool", "Hidden=true\n");
    tree.file(
        "broken.desktop", "[Desktop Entry]\nType=Application\nName=Broken\nthis is not a key file line\n");
    tree.file("link.desktop", "[Desktop Entry]\nType=Link\nName=A Link\nURL=https://example.org\n");
    const QString appImage = tree.file("Player-1.2.AppImage",
        "\x7f"
        "ELF");
    QFile::setPermissions(appImage, QFileDevice::ReadOwner | QFileDevice::ExeOwner);
    tree.file("Viewer.AppImage",
        "\x7f"
        "ELF");

    QStringList expected
        = { "app Player-1.2.AppImage ~/Player-1.2.AppImage", "app Text Editor ~/editor.desktop" };
    if (hasAttributes)
        expected.append("app tool ~/tool");
    EXPECT_EQ(scanAndDescribe().filter(QRegularExpression("^app ")), expected);
}

TEST_F(Walk, AFolderLookingLikeABundleThatHoldsItsOwnNameIsWalkedUnlessItHasContents)
{
    // Flat bundles: Info.plist and the executable at the top.
    auto flatBundle = [&](const QString& name) {
        PropertyList::writeFile(tree.folder(name) + "/Info.plist", application("run"));
        QFile::setPermissions(tree.file(name + "/run"), QFileDevice::ReadOwner | QFileDevice::ExeOwner);
    };
    flatBundle("Tool");
    tree.file("Tool/Tool");
    tree.file("Tool/manual.pdf");
    flatBundle("Other");
    flatBundle("Packaged");
    tree.file("Packaged/Packaged");
    tree.folder("Packaged/Contents");
    tree.bundle("Broken", application("missing"));
    QFile::remove(tree.path("Broken/Contents/MacOS/missing"));
    tree.file("Broken/Contents/help.pdf");
    tree.file("Garbled/Contents/Info.plist", "<plist><dict><key>CFBundleExecutable");

    EXPECT_EQ(scanAndDescribe(),
        (QStringList {
            "fold Broken ~/Broken",
            "fold Contents ~/Broken/Contents",
            "fold Contents ~/Garbled/Contents",
            "fold Garbled ~/Garbled",
            "doc help.pdf ~/Broken/Contents/help.pdf",
            "fold MacOS ~/Broken/Contents/MacOS",
            "doc manual.pdf ~/Tool/manual.pdf",
            "app Other ~/Other",
            "app Packaged ~/Packaged",
            "fold " + QDir(tree.path()).dirName() + " ~/",
            "fold Tool ~/Tool",
        }));
}

TEST_F(Walk, LocationsFollowTheirFlagsAndOverlapsGiveDuplicates)
{
    tree.file("top.pdf");
    tree.file("sub/inner.pdf");
    tree.bundle("sub/Calc.app", application("calc"));
    tree.file("sub/deeper/deep.pdf");
    tree.file("off/ignored.pdf");
    setLocations({ location(tree.path("sub/"), false), location(tree.path(), true),
        location(tree.path("off"), true, false), location(tree.path("missing/"), true),
        QVariantMap { { "enabled", true }, { "includeSubFolders", true } }, location("relative/", true) });

    const QString root = QDir(tree.path()).dirName();
    EXPECT_EQ(scanAndDescribe(),
        (QStringList {
            "app Calc ~/sub/Calc.app",
            "app Calc ~/sub/Calc.app",
            "doc deep.pdf ~/sub/deeper/deep.pdf",
            "fold deeper ~/sub/deeper",
            "doc ignored.pdf ~/off/ignored.pdf",
            "doc inner.pdf ~/sub/inner.pdf",
            "doc inner.pdf ~/sub/inner.pdf",
            "fold off ~/off",
            "fold " + root + " ~",
            "fold sub ~/sub",
            "fold sub ~/sub/",
            "doc top.pdf ~/top.pdf",
        }));
}

TEST_F(Walk, SameNamesSortPaneApplicationFolderDocumentThenByPathIgnoringCase)
{
    setDocumentExtensions({ "" });
    tree.bundle("b/Mail.app", application("Mail"));
    tree.bundle("A/Mail.app", application("Mail"));
    tree.folder("c/mail");
    tree.file("d/MAIL");
    tree.folder("e/Mail.prefPane");
    // A location's own folder is a folder item even where a document rule would match it.
    setLocations({ location(tree.path("b")), location(tree.path("A")), location(tree.path("c/mail")),
        location(tree.path("d")), location(tree.path("e")) });

    QStringList found = scanAndDescribe();
    found = found.filter(QRegularExpression("^\\w+ (mail|Mail|MAIL) "));
    EXPECT_EQ(found,
        (QStringList { "pref Mail ~/e/Mail.prefPane", "app Mail ~/A/Mail.app", "app Mail ~/b/Mail.app",
            "fold mail ~/c/mail", "doc MAIL ~/d/MAIL" }));
}

TEST_F(Walk, ExclusionsMatchThePathsAsFormedAndAFileExcludedFolderIsStillWalked)
{
    tree.file("keep/a.pdf");
    tree.file("skip/b.pdf");
    tree.file("hide/c.pdf");
    tree.file("hide/d.txt");
    setFolderExclusions({ "*/skip" });
    setFileExclusions({ tree.path("hide"), "*.txt", tree.path() });

    const QString root = QDir(tree.path()).dirName();
    EXPECT_EQ(scanAndDescribe(),
        (QStringList {
            "doc a.pdf ~/keep/a.pdf",
            "doc c.pdf ~/hide/c.pdf",
            "fold keep ~/keep",
            "fold " + root + " ~/",
        }));

    setFileExclusions({ tree.path() + "/" });
    EXPECT_FALSE(scanAndDescribe().contains("fold " + root + " ~/"));
}

TEST_F(Walk, LinkCyclesEndAndLinksElsewhereAreFollowed)
{
    tree.file("a/b/doc.pdf");
    tree.symbolicLink("a/b/up", tree.path("a"));
    tree.symbolicLink("a/self", ".");
    tree.file("elsewhere/far.pdf");
    tree.symbolicLink("a/far", tree.path("elsewhere"));
    tree.symbolicLink("a/dangling", tree.path("nothing"));
    setLocations({ location(tree.path("a")) });
    LogCapture log;

    EXPECT_EQ(scanAndDescribe(),
        (QStringList { "fold a ~/a", "fold b ~/a/b", "doc doc.pdf ~/a/b/doc.pdf", "fold far ~/a/far",
            "doc far.pdf ~/a/far/far.pdf" }));
    EXPECT_EQ(log.linesContaining("leads back to a folder being indexed").size(), 2);
}

TEST_F(Walk, NamesTheIndexCannotHoldAreLeftOutWithOneLogLineEach)
{
    tree.folder("names");
    const QByteArray folder = QFile::encodeName(tree.path("names")) + "/";
    for (const QByteArray& name : { QByteArray("bad\xff.pdf"), QByteArray("bell\x07.pdf"),
             QByteArray("caf\xc3\xa9.pdf"), QByteArray("tab\tand\rreturn.pdf") }) {
        const int descriptor = ::open((folder + name).constData(), O_CREAT | O_WRONLY, 0644);
        ASSERT_GE(descriptor, 0);
        ::close(descriptor);
    }
    setLocations({ location(tree.path("names")) });
    LogCapture log;

    const QVariantList items = scan();
    EXPECT_EQ(describe(items),
        (QStringList { "doc café.pdf ~/names/café.pdf", "fold names ~/names",
            "doc tab\tand\rreturn.pdf ~/names/tab\tand\rreturn.pdf" }));
    for (const QVariant& item : items)
        EXPECT_TRUE(QFile::exists(item.toMap().value("path").toString()));
    EXPECT_EQ(log.linesContaining("is not valid UTF-8").size(), 1);
    EXPECT_EQ(log.linesContaining("holds control characters").size(), 1);
    ::unlink((folder + "bad\xff.pdf").constData()); // beyond what QTemporaryDir can remove
}

// The codes are read wherever a rule or the application test could ask for them, whatever the
// extension says: a code rule makes a file without a known extension a document, and a file's
// 'APPL' code makes it an application even where its extension names a document type.
TEST_F(Walk, CodesDecideWhereTheyCanWhateverTheExtension)
{
    const QString codedNotes = tree.file("notes");
    const QString plainNotes = tree.file("plain");
    const QString codedReport = tree.file("report.pdf");
    const QString codedText = tree.file("draft.txt");
    const QString codedSource = tree.file("main.c");
    if (!TemporaryTree::setCodes(codedNotes, "TEXT", "ttxt")
        || !TemporaryTree::setCodes(codedReport, "APPL", "????")
        || !TemporaryTree::setCodes(codedText, "TEXT", "R*ch")
        || !TemporaryTree::setCodes(codedSource, "TEXT", "ttxt"))
        GTEST_SKIP() << "the file system refuses user attributes";
    QVariantList rules = {
        QVariantMap { { "enabled", true }, { "fileExtension", "pdf" }, { "type", "pdf" } },
        QVariantMap { { "enabled", true }, { "identificationMode", 1 }, { "useTypeCode", true },
            { "typeCode", "TEXT" }, { "useCreatorCode", true }, { "creatorCode", "ttxt" } },
    };
    {
        const std::lock_guard<std::mutex> guard(documentTypes->lock());
        documentTypes->contents() = rules;
    }
    EXPECT_EQ(scanAndDescribe(),
        (QStringList { "doc main.c ~/main.c", "doc notes ~/notes",
            "fold " + QDir(tree.path()).dirName() + " ~/", "app report.pdf ~/report.pdf" }));

    // The same by extension alone: the codes of documents no longer matter, an application's do.
    setDocumentExtensions({ "pdf", "txt" });
    EXPECT_EQ(scanAndDescribe(),
        (QStringList { "doc draft.txt ~/draft.txt", "fold " + QDir(tree.path()).dirName() + " ~/",
            "app report.pdf ~/report.pdf" }));
}
