#include "platform/plist/PropertyList.h"
#include "platform/files/Folders.h"
#include "platform/plist/PropertyListScanner.h"
#include "platform/plist/StringRecordReader.h"
#include "support/FileBytes.h"
#include "support/LogCapture.h"
#include "support/PythonPlist.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QPoint>
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>

#include <dlfcn.h>
#include <malloc.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace quorvel;
using test::readBytes;
using test::writeBytes;

namespace {

QString tempPath(const QString& name)
{
    return Folders::joinPath(Folders::homeFolder(), name);
}

QByteArray wrap(const QByteArray& body)
{
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\">\n" + body + "\n</plist>\n";
}

int typeOf(const QVariant& v)
{
    return v.metaType().id();
}

// A value with every type the format carries, including the awkward corners of each.
QVariantMap everyType()
{
    QVariantMap nested { { "empty dict", QVariantMap() }, { "empty list", QVariantList() },
        { "empty string", QString() } };
    return {
        { "text", QString::fromUtf8("Tax Return (final) & <draft> \"Café\" 'Menü' 𝄞") },
        { "small", qint64(-42) },
        { "largest", std::numeric_limits<qint64>::max() },
        { "smallest", std::numeric_limits<qint64>::min() },
        { "unsigned", std::numeric_limits<qulonglong>::max() },
        { "tenth", 0.1 },
        { "whole real", 1800.0 },
        { "tiny", 5e-324 },
        { "huge", 1.7976931348623157e308 },
        { "negative zero", -0.0 },
        { "infinity", std::numeric_limits<double>::infinity() },
        { "minus infinity", -std::numeric_limits<double>::infinity() },
        { "yes", true },
        { "no", false },
        { "date", QDateTime(QDate(2026, 12, 8), QTime(1, 0, 0), Qt::UTC) },
        { "data", QByteArray("\x00\x01\xfe\xff binary", 12) },
        { "list",
            QVariantList {
                QString("a"), qint64(1), 2.5, QVariantList { QVariantMap { { "deep", true } } } } },
        { "nested", nested },
        { "key with & and <", QString("value") },
    };
}

// A rendering that keeps types apart and doubles exact, the same as the Python side's below.
QString canonical(const QVariant& v)
{
    switch (typeOf(v)) {
    case QMetaType::QVariantMap: {
        QStringList parts;
        const QVariantMap map = v.toMap();
        for (auto it = map.cbegin(); it != map.cend(); ++it)
            parts << it.key() + "=" + canonical(it.value());
        return "{" + parts.join(",") + "}";
    }
    case QMetaType::QVariantList: {
        QStringList parts;
        for (const QVariant& e : v.toList())
            parts << canonical(e);
        return "[" + parts.join(",") + "]";
    }
    case QMetaType::QString:
        return "s:" + v.toString();
    case QMetaType::Bool:
        return v.toBool() ? "b:1" : "b:0";
    case QMetaType::LongLong:
        return "i:" + QString::number(v.toLongLong());
    case QMetaType::ULongLong:
        return "i:" + QString::number(v.toULongLong());
    case QMetaType::Double: {
        const double d = v.toDouble();
        if (std::isnan(d))
            return "r:nan";
        quint64 bits;
        std::memcpy(&bits, &d, sizeof bits);
        return "r:" + QString::number(bits, 16).rightJustified(16, '0');
    }
    case QMetaType::QDateTime:
        return "t:" + v.toDateTime().toUTC().toString("yyyy-MM-dd'T'HH:mm:ss");
    case QMetaType::QByteArray:
        return "d:" + QString::fromLatin1(v.toByteArray().toHex());
    default:
        return "?" + QString::fromLatin1(v.metaType().name());
    }
}

const char* pythonCanonical = R"(
import plistlib, struct, sys, datetime
def c(v):
    if isinstance(v, dict): return '{' + ','.join(k + '=' + c(v[k]) for k in sorted(v, key=lambda k: k.encode('utf-16-be'))) + '}'
    if isinstance(v, list): return '[' + ','.join(c(e) for e in v) + ']'
    if isinstance(v, str): return 's:' + v
    if isinstance(v, bool): return 'b:1' if v else 'b:0'
    if isinstance(v, int): return 'i:' + str(v)
    if isinstance(v, float): return 'r:nan' if v != v else 'r:' + struct.pack('>d', v).hex()
    if isinstance(v, datetime.datetime): return 't:' + v.strftime('%Y-%m-%dT%H:%M:%S')
    if isinstance(v, bytes): return 'd:' + v.hex()
    return '?'
)";

bool pythonAvailable()
{
    return test::PythonPlist::available();
}

QByteArray runPython(const QString& script, const QStringList& arguments = {})
{
    const test::PythonPlist::Result python = test::PythonPlist::run(script, arguments);
    EXPECT_EQ(python.exitCode, 0) << python.errors;
    return python.output;
}

QStringList filesIn(const QString& folder)
{
    return QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::System);
}

} // namespace

TEST(PropertyList, EveryTypeSurvivesARoundTripWithIntegersAndRealsKeptApart)
{
    const QVariantMap original = everyType();
    const QString path = tempPath("every type.plist");
    ASSERT_TRUE(PropertyList::writeFile(path, original));
    const std::optional<QVariantMap> read = PropertyList::readDictionaryFile(path);
    ASSERT_TRUE(read);
    EXPECT_EQ(canonical(*read), canonical(original));
    EXPECT_EQ(typeOf(read->value("small")), QMetaType::LongLong);
    EXPECT_EQ(typeOf(read->value("whole real")), QMetaType::Double);
    EXPECT_TRUE(std::signbit(read->value("negative zero").toDouble()));

    const QVariant nan = PropertyList::fromData(PropertyList::toData(QVariantList { std::nan("") }));
    EXPECT_TRUE(std::isnan(nan.toList().value(0).toDouble()));
}

TEST(PropertyList, WriterAcceptsTheOtherQtTypesAndRefusesNonPropertyListValues)
{
    QVariantHash hash { { "b", 2 }, { "a", QStringList { "x", "y" } } };
    const QVariant read = PropertyList::fromData(PropertyList::toData(
        QVariantList { hash, int(-7), uint(7), short(3), float(0.1f), QVariant::fromValue<uchar>(200) }));
    EXPECT_EQ(canonical(read), "[{a=[s:x,s:y],b=i:2},i:-7,i:7,i:3,r:" + canonical(0.1).mid(2) + ",i:200]");
    // The float is written in its own shortest form, so it reads back as the same float.
    EXPECT_EQ(float(read.toList().value(4).toDouble()), 0.1f);

    const QString path = tempPath("kept.plist");
    ASSERT_TRUE(PropertyList::writeFile(path, QVariantMap { { "kept", true } }));
    const QByteArray before = readBytes(path);
    EXPECT_TRUE(PropertyList::toData(QVariantMap { { "point", QPoint(1, 2) } }).isEmpty());
    EXPECT_FALSE(PropertyList::writeFile(path, QVariantList { QVariant() }));
    EXPECT_FALSE(PropertyList::writeFile(path, QDateTime()));
    EXPECT_EQ(readBytes(path), before);
}

TEST(PropertyList, WrittenFileHasTheStandardHeaderTabIndentationAndEscapes)
{
    const QByteArray data = PropertyList::toData(
        QVariantMap { { "a&b", QVariantList { QString("<x>"), true } }, { "e", QVariantMap() } });
    EXPECT_EQ(data,
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        "<!DOCTYPE plist PUBLIC \"-//Apple//DTD PLIST 1.0//EN\" "
        "\"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">\n"
        "<plist version=\"1.0\">\n"
        "<dict>\n"
        "\t<key>a&amp;b</key>\n"
        "\t<array>\n"
        "\t\t<string>&lt;x&gt;</string>\n"
        "\t\t<true/>\n"
        "\t</array>\n"
        "\t<key>e</key>\n"
        "\t<dict/>\n"
        "</dict>\n"
        "</plist>\n");
}

TEST(PropertyList, CharactersXmlCannotCarryAreLeftOutAndCarriageReturnsKept)
{
    QString text = QString::fromUtf8("a\x01"
                                     "b\x1f"
                                     "c\r\nd\te");
    text += QChar(0xFFFE);
    text += QChar(0xD800); // a lone surrogate
    text += "f";
    const QVariant read = PropertyList::fromData(PropertyList::toData(QVariantMap { { "k\x02", text } }));
    EXPECT_EQ(read.toMap(), (QVariantMap { { "k", QString("abc\r\nd\tef") } }));
}

TEST(PropertyList, TextDecodesAsQtDecodesUtf8EvenWhenMalformed)
{
    const QList<QByteArray> texts = {
        "plain ascii, longer than sixteen bytes",
        "sixteen ascii b\xc3\xa9 then two-byte",
        "\xe2\x82\xac three-byte and \xf0\x9d\x84\x9e four-byte at a block edge.....\xc3\xa9",
        "overlong \xc0\x80 and \xe0\x80\xaf",
        "surrogate \xed\xa0\x80 here",
        "beyond \xf4\x90\x80\x80 and \xf5\x80\x80\x80",
        "cut short \xe2\x82",
        "\x80 lone continuation",
        "\xff\xfe",
    };
    const QString path = tempPath("utf8");
    for (const QByteArray& text : texts) {
        const QString expected = QString::fromUtf8(text);
        EXPECT_EQ(PropertyList::fromData(wrap("<string>" + text + "</string>")).toString(), expected)
            << text.toStdString();
        writeBytes(path, wrap("<array><dict><key>name</key><string>" + text + "</string></dict></array>"));
        QString streamed;
        PropertyList::readStringRecords(
            path, { "name" }, [&streamed](const QString* v, const bool*) { streamed = v[0]; });
        EXPECT_EQ(streamed, expected) << text.toStdString();
    }
}

TEST(PropertyList, EverySpecialCharacterIsWrittenRightWhereverItStands)
{
    // Long plain runs are copied in blocks; a special character at any offset must still be seen.
    const QList<QPair<QString, QString>> specials = { { "&", "&" }, { "<", "<" }, { ">", ">" },
        { "\t", "\t" }, { "\n", "\n" }, { "\r", "\r" }, { "\x01", "" }, { "\x7f", "\x7f" }, { "é", "é" },
        { "€", "€" }, { "𝄞", "𝄞" }, { QString(QChar(0xFFFF)), "" } };
    const QString plain = "/home/user/Documents/Plan";
    for (const auto& [special, expected] : specials) {
        for (qsizetype at = 0; at <= plain.size(); ++at) {
            const QString text = QString(plain).insert(at, special);
            const QVariant read = PropertyList::fromData(PropertyList::toData(text));
            ASSERT_EQ(read.toString(), QString(plain).insert(at, expected)) << "at " << at;
        }
    }
}

TEST(PropertyList, ReadsTheFormsOtherWritersProduce)
{
    // No declaration, no DOCTYPE, no indentation, comments, references, CDATA, empty elements.
    const QByteArray data
        = "<plist version=\"1.0\"><!-- c --><dict>"
          "<key>refs</key><string>&amp;&lt;&gt;&quot;&apos;&#38;&#x26;&#233;&#x1D11E;</string>"
          "<key>cdata</key><string>a<![CDATA[<b> & c]]>d</string>"
          "<key>empty</key><string/><key>d</key><dict/><key>l</key><array/>"
          "<key>t</key><true></true><key>hex</key><integer> 0x1F "
          "</integer><key>neg</key><integer>-0</integer>"
          "<key>inf</key><real>+infinity</real><key>minf</key><real>-inf</real><key>r</key><real>1e3</real>"
          "<key>date</key><date>2026-12-08T01:00:00</date>"
          "<key>data</key><data>\n\t\tAAEC\n\t\tAw==\n\t</data>"
          "<key>dup</key><string>first</string><key>dup</key><string>last</string>"
          "</dict></plist>";
    const QVariantMap map = PropertyList::fromData(data).toMap();
    EXPECT_EQ(map.value("refs").toString(), QString::fromUtf8("&<>\"'&&é𝄞"));
    EXPECT_EQ(map.value("cdata").toString(), "a<b> & cd");
    EXPECT_EQ(map.value("empty"), QVariant(QString("")));
    EXPECT_EQ(map.value("d"), QVariant(QVariantMap()));
    EXPECT_EQ(map.value("l"), QVariant(QVariantList()));
    EXPECT_EQ(map.value("t"), QVariant(true));
    EXPECT_EQ(map.value("hex"), QVariant(qint64(31)));
    EXPECT_EQ(map.value("neg"), QVariant(qint64(0)));
    EXPECT_EQ(map.value("inf").toDouble(), std::numeric_limits<double>::infinity());
    EXPECT_EQ(map.value("minf").toDouble(), -std::numeric_limits<double>::infinity());
    EXPECT_EQ(map.value("r"), QVariant(1000.0));
    EXPECT_EQ(map.value("date").toDateTime(), QDateTime(QDate(2026, 12, 8), QTime(1, 0), Qt::UTC));
    EXPECT_EQ(map.value("data").toByteArray(), QByteArray("\x00\x01\x02\x03", 4));
    EXPECT_EQ(map.value("dup").toString(), "last");
    EXPECT_EQ(map.size(), 14);
}

TEST(PropertyList, MalformedDocumentsReadAsNoValue)
{
    const QList<QByteArray> bad = {
        "",
        "   ",
        "bplist00\xd1\x01\x02QaQb\x08\x0b\x0d",
        "<dict/>", // no plist root
        wrap(""), // no value
        wrap("<string>a</string><string>b</string>"), // two values
        wrap("<dict><key>a</key></dict>"), // key without value
        wrap("<dict><string>a</string></dict>"), // value without key
        wrap("<dict><key>a</key><key>b</key><true/></dict>"),
        wrap("<color>red</color>"),
        wrap("<array><true/><nil/></array>"),
        wrap("<integer>12a</integer>"),
        wrap("<integer></integer>"),
        wrap("<integer>99999999999999999999</integer>"),
        wrap("<integer>-9223372036854775809</integer>"),
        wrap("<integer>1.5</integer>"),
        wrap("<real>1.2.3</real>"),
        wrap("<real></real>"),
        wrap("<date>2026-13-08T01:00:00Z</date>"),
        wrap("<date>yesterday</date>"),
        wrap("<data>not*base64</data>"),
        wrap("<string>a &unknown; b</string>"),
        wrap("<string>&#0;</string>"),
        wrap("<string>&#1;</string>"),
        wrap("<string>&#xD800;</string>"),
        wrap("<string>a & b</string>"),
        wrap("<string>a<b/>c</string>"),
        wrap("<array></dict>"),
        wrap("<string>a</strin>"),
        wrap("<true>x</true>"),
        wrap("<!-- never closed <true/>"),
        wrap("<true/>") + "garbage",
        wrap("<true/>") + "<plist version=\"1.0\"><true/></plist>",
    };
    for (const QByteArray& data : bad)
        EXPECT_FALSE(PropertyList::fromData(data).isValid()) << data.toStdString();
    EXPECT_TRUE(PropertyList::fromData(wrap("<true/>") + "\n<!-- trailing comment -->\n").isValid());
}

TEST(PropertyList, EveryTruncationOfAValidFileReadsAsNoValue)
{
    const QByteArray data = PropertyList::toData(everyType());
    const qsizetype end = data.lastIndexOf("</plist>") + qsizetype(std::strlen("</plist>"));
    for (qsizetype length = 0; length < end; ++length)
        ASSERT_FALSE(PropertyList::fromData(data.left(length)).isValid()) << "cut at " << length;
    EXPECT_TRUE(PropertyList::fromData(data.left(end)).isValid());
}

TEST(PropertyList, NestingIsLimitedSoHostileFilesCannotExhaustTheStack)
{
    auto nested = [](int levels) {
        return wrap(QByteArray("<array>").repeated(levels) + QByteArray("</array>").repeated(levels));
    };
    EXPECT_TRUE(PropertyList::fromData(nested(500)).isValid());
    EXPECT_FALSE(PropertyList::fromData(nested(513)).isValid());
    EXPECT_FALSE(PropertyList::fromData(wrap(QByteArray("<dict><key>k</key>").repeated(100000))).isValid());
}

TEST(PropertyList, TypedFileReadersAnswerNothingForTheWrongRootOrAMissingFile)
{
    const QString array = tempPath("array.plist");
    const QString dict = tempPath("dict.plist");
    ASSERT_TRUE(PropertyList::writeFile(array, QVariantList { QString("x") }));
    ASSERT_TRUE(PropertyList::writeFile(dict, QVariantMap { { "x", 1 } }));
    EXPECT_TRUE(PropertyList::readArrayFile(array));
    EXPECT_FALSE(PropertyList::readArrayFile(dict));
    EXPECT_TRUE(PropertyList::readDictionaryFile(dict));
    EXPECT_FALSE(PropertyList::readDictionaryFile(array));
    EXPECT_FALSE(PropertyList::readArrayFile(tempPath("missing")));
    EXPECT_FALSE(PropertyList::readFile(tempPath("missing")).isValid());
    EXPECT_FALSE(PropertyList::readFile(Folders::homeFolder()).isValid()); // a folder
    writeBytes(tempPath("empty"), "");
    EXPECT_FALSE(PropertyList::readArrayFile(tempPath("empty")));
}

TEST(PropertyList, StringRecordsStreamTheRequestedKeysOfEachDictionary)
{
    const QString path = tempPath("index");
    writeBytes(path,
        wrap("<array>"
             "<dict><key>path</key><string>/a &amp; b</string><key>name</key><string>A</string>"
             "<key>extra</key><dict><key>x</key><integer>1</integer></dict></dict>"
             "<string>not a record</string>"
             "<dict><key>name</key><integer>5</integer><key>type</key><string>app</string></dict>"
             "<dict/>"
             "<dict><key>name</key><string>old</string><key>name</key><false/>"
             "<key>t&#121;pe</key><string>doc</string></dict>"
             "</array>"));
    QStringList seen;
    const bool ok = PropertyList::readStringRecords(
        path, { "name", "type", "path" }, [&](const QString* v, const bool* has) {
            QStringList record;
            for (int i = 0; i < 3; ++i)
                record << (has[i] ? v[i] : "-");
            seen << record.join("|");
        });
    EXPECT_TRUE(ok);
    EXPECT_EQ(seen, (QStringList { "A|-|/a & b", "-|app|-", "-|-|-", "-|doc|-" }));
}

TEST(PropertyList, ReferencesAndLineEndsReadAsXmlSaysAndForbiddenCharactersMakeTheFileUnreadable)
{
    // A plain run longer than a block comes first, so the fast scan must see what follows it.
    const QByteArray run = "a plain run longer than 16 bytes ";
    auto read = [&run](const QByteArray& text) {
        return PropertyList::fromData(wrap("<dict><key>k</key><string>" + run + text + "</string></dict>"))
            .toMap()
            .value("k");
    };
    EXPECT_EQ(read("&#x0000000041;&#00065;&#x000000000001D11E;").toString(), run + QString::fromUtf8("AA𝄞"));
    // CR LF and a lone CR become LF, in CDATA too; a CR written as a reference stays a CR.
    EXPECT_EQ(read("a\r\nb\rc&#13;d<![CDATA[e\r\nf\r]]>\ng").toString(), run + "a\nb\nc\rde\nf\n\ng");
    EXPECT_EQ(
        read("\t\n\x7f\xef\xbf\xbd\xef\xbd\xb1").toString(), run + QString::fromUtf8("\t\n\x7f\uFFFD\uFF71"));
    const QList<QByteArray> forbidden
        = { QByteArray("\x00", 1), "\x01", "\x08", "\x0b", "\x0c", "\x0e", "\x1f", "&#x1F;", "&#0000;",
              "&#xD800;", "&#xDFFF;", "&#xFFFE;", "&#x110000;", "&#99999999999999999999;", "&#x;",
              "\xef\xbf\xbe", "\xef\xbf\xbf", "<![CDATA[\x02]]>", "<![CDATA[\xef\xbf\xbf]]>" };
    for (const QByteArray& bad : forbidden) {
        EXPECT_FALSE(read(bad).isValid()) << bad.toHex().toStdString();
        EXPECT_FALSE(PropertyList::fromData(wrap("<dict><key>k" + bad + "</key><true/></dict>")).isValid());
        const QString path = tempPath("forbidden");
        writeBytes(
            path, wrap("<array><dict><key>name</key><string>" + run + bad + "</string></dict></array>"));
        EXPECT_FALSE(PropertyList::readStringRecords(path, { "name" }, [](const QString*, const bool*) {}));
    }
    // What is read is what is written back: a key never changes on a round trip.
    const QByteArray tricky = wrap("<dict><key>a\r\nb&#13;\xef\xbd\xb1&#x0041;</key><true/></dict>");
    const QVariant once = PropertyList::fromData(tricky);
    EXPECT_EQ(PropertyList::fromData(PropertyList::toData(once)), once);
}

TEST(PropertyList, TheStreamingReaderGivesBackEveryLevelOfDepthItTakes)
{
    QByteArray data
        = wrap("<array><dict><key>name</key><string>a</string></dict><array><dict/></array></array>");
    PropertyListScanner scanner(data.data(), data.data() + data.size());
    EXPECT_TRUE(StringRecordReader(scanner, { "name" }).read([](const QString*, const bool*) {}));
    EXPECT_EQ(scanner.nestingDepth(), 0);
    // The root array counts as one level, as in the tree reader.
    const QString path = tempPath("deep");
    auto streams = [&path](int levels) {
        writeBytes(
            path, wrap(QByteArray("<array>").repeated(levels) + QByteArray("</array>").repeated(levels)));
        return PropertyList::readStringRecords(path, {}, [](const QString*, const bool*) {});
    };
    EXPECT_TRUE(streams(512));
    EXPECT_FALSE(streams(513));
}

TEST(PropertyList, ReadingTakesAboutThreeTimesTheFileAndRunningOutOfMemoryReadsAsNoValue)
{
    if (::dlsym(RTLD_DEFAULT, "__asan_init") || ::dlsym(RTLD_DEFAULT, "__tsan_init"))
        GTEST_SKIP() << "the sanitizers reserve the address space themselves";
    // One 8 MB name with references throughout, so that its text is decoded, not only viewed.
    const QString path = tempPath("large");
    const QByteArray name = QByteArray("/home/user/a name &amp; more ").repeated((8 << 20) / 32);
    writeBytes(path, wrap("<array><dict><key>name</key><string>" + name + "</string></dict></array>"));
    const qint64 size = QFileInfo(path).size();
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        test::LogCapture log;
        ::mallopt(M_MMAP_THRESHOLD, 1 << 20); // large blocks mapped and unmapped, never kept
        // How many of the two readers read the file with room for filesOfRoom times its size.
        auto readers = [&](double filesOfRoom) {
            long pages = 0;
            QFile statm("/proc/self/statm");
            if (statm.open(QIODevice::ReadOnly))
                pages = statm.readAll().split(' ').value(0).toLong();
            rlimit limit {};
            ::getrlimit(RLIMIT_AS, &limit);
            limit.rlim_cur
                = rlim_t(double(pages) * double(::sysconf(_SC_PAGESIZE)) + filesOfRoom * double(size));
            ::setrlimit(RLIMIT_AS, &limit);
            int visits = 0;
            const bool streamed = PropertyList::readStringRecords(
                path, { "name" }, [&visits](const QString* v, const bool*) { visits += !v[0].isEmpty(); });
            return int(streamed && visits == 1) + int(PropertyList::readFile(path).isValid());
        };
        // The bytes and the characters made of them (two bytes each), with no copy in between;
        // then room for the bytes alone.
        const bool bounded = readers(3.3) == 2;
        const bool refused = readers(1.5) == 0 && log.linesContaining("not enough memory").size() == 2;
        ::_exit(bounded && refused ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "status " << status;
}

TEST(PropertyList, StringRecordsFailAsTheFullReaderDoes)
{
    const QString path = tempPath("index");
    auto count = [&path](const QByteArray& data, int* visits = nullptr) {
        writeBytes(path, data);
        int n = 0;
        const bool ok
            = PropertyList::readStringRecords(path, { "name" }, [&n](const QString*, const bool*) { ++n; });
        if (visits)
            *visits = n;
        return ok;
    };
    int visits = -1;
    EXPECT_TRUE(count(wrap("<array/>"), &visits));
    EXPECT_EQ(visits, 0);
    EXPECT_FALSE(count(wrap("<dict/>")));
    EXPECT_FALSE(count(wrap("<array><dict><key>name</key></dict></array>")));
    EXPECT_FALSE(count(wrap("<array><dict><key>a</key><integer>x</integer></dict></array>")));
    EXPECT_FALSE(count(wrap("<array><dict><key>name</key><string>a</string></dict></array>") + "junk"));
    EXPECT_FALSE(
        PropertyList::readStringRecords(tempPath("missing"), { "name" }, [](const QString*, const bool*) {}));

    // Cut anywhere before the end: the reader says so (records already visited are the caller's to drop).
    QVariantList items;
    for (int i = 0; i < 20; ++i)
        items << QVariantMap { { "name", QString("item %1").arg(i) }, { "type", "doc" },
            { "path", QString("/p/%1").arg(i) } };
    const QByteArray whole = PropertyList::toData(items);
    const qsizetype end = whole.lastIndexOf("</plist>") + 8;
    for (qsizetype length = 0; length < end; length += 7)
        ASSERT_FALSE(count(whole.left(length))) << "cut at " << length;
    EXPECT_TRUE(count(whole, &visits));
    EXPECT_EQ(visits, 20);
}

TEST(PropertyList, FilesWrittenByPythonPlistlibReadBackEqual)
{
    if (!pythonAvailable())
        GTEST_SKIP() << "python3 not found";
    const QString path = tempPath("from python.plist");
    const QByteArray expected = runPython(QString(pythonCanonical) + R"(
import math
value = {'name': 'Café Menü.odt & <b>', 'count': 3, 'big': 2**63 - 1, 'neg': -2**63, 'ratio': 0.1,
         'whole': 1800.0, 'inf': math.inf, 'minf': -math.inf, 'ok': True, 'off': False,
         'when': datetime.datetime(2026, 12, 8, 1, 0, 0), 'blob': bytes(range(256)),
         'items': [{'name': 'Mail', 'type': 'app', 'path': '/usr/share/applications/Mail.desktop'}, [], {}, ''],
         'nested': {'deeper': {'deepest': [1, 2.5, 'three']}}}
with open(sys.argv[1], 'wb') as f:
    plistlib.dump(value, f)
print(c(value), end='')
)",
        { path });
    const QVariant read = PropertyList::readFile(path);
    ASSERT_TRUE(read.isValid());
    EXPECT_EQ(canonical(read), QString::fromUtf8(expected));
}

TEST(PropertyList, FilesWeWriteArePlistlibReadable)
{
    if (!pythonAvailable())
        GTEST_SKIP() << "python3 not found";
    QVariantMap value = everyType();
    value.insert("controls",
        QString::fromUtf8("a\x01"
                          "b\r\nc"));
    const QString path = tempPath("for python.plist");
    ASSERT_TRUE(PropertyList::writeFile(path, value));
    const QByteArray rendered = runPython(QString(pythonCanonical) + R"(
with open(sys.argv[1], 'rb') as f:
    print(c(plistlib.load(f)), end='')
)",
        { path });
    value.insert("controls", QString("ab\r\nc"));
    EXPECT_EQ(QString::fromUtf8(rendered), canonical(value));
}

TEST(PropertyList, AWriteThatFailsHalfwayLeavesTheOldFileAndNoTemporaryFile)
{
    const QString folder = tempPath("prefs");
    ASSERT_TRUE(QDir().mkpath(folder));
    const QString path = Folders::joinPath(folder, "Quorvel Launcher Index");
    ASSERT_TRUE(PropertyList::writeFile(path, QVariantList { QString("old") }));
    const QByteArray before = readBytes(path);

    QVariantList large;
    for (int i = 0; i < 5000; ++i)
        large << QString("/home/user/Documents/item number %1.pdf").arg(i);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        // The file-size limit makes the write fail with EFBIG part of the way through.
        ::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit { 4096, 4096 };
        ::setrlimit(RLIMIT_FSIZE, &limit);
        ::_exit(PropertyList::writeFile(path, large) ? 0 : 3);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 3) << "the failed write was reported as success";
    EXPECT_EQ(readBytes(path), before);
    EXPECT_EQ(filesIn(folder), QStringList { "Quorvel Launcher Index" });
}

TEST(PropertyList, AWriteIntoAReadOnlyOrMissingFolderFailsAndKeepsTheOldFile)
{
    const QString folder = tempPath("locked");
    ASSERT_TRUE(QDir().mkpath(folder));
    const QString path = Folders::joinPath(folder, "list");
    ASSERT_TRUE(PropertyList::writeFile(path, QVariantList { QString("old") }));
    ::chmod(QFile::encodeName(folder).constData(), 0500);
    const bool wrote = PropertyList::writeFile(path, QVariantList { QString("new") });
    ::chmod(QFile::encodeName(folder).constData(), 0700);
    if (::geteuid() != 0) { // root writes anyway
        EXPECT_FALSE(wrote);
        EXPECT_EQ(PropertyList::readArrayFile(path), QVariantList { QString("old") });
    }
    EXPECT_EQ(filesIn(folder), QStringList { "list" });
    EXPECT_FALSE(PropertyList::writeFile(tempPath("no such folder/list"), QVariantList()));
    EXPECT_FALSE(PropertyList::writeFile(Folders::joinPath(path, "below a file"), QVariantList()));
}
