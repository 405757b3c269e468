#include "index/DocumentTypes.h"

#include "index/IndexLog.h"
#include "platform/core/Log.h"
#include "platform/files/FileManager.h"
#include "platform/files/Folders.h"

#include <algorithm>

namespace quorvel {

namespace {

const QString listFileName = QStringLiteral("Quorvel Launcher Document Types List");
const QString enabledKey = QStringLiteral("enabled");
const QString typeKey = QStringLiteral("type");

std::optional<QString> optionalString(const QVariantMap& entry, const QString& key)
{
    const QVariant value = entry.value(key);
    if (value.typeId() != QMetaType::QString)
        return std::nullopt;
    return value.toString();
}

} // namespace

QString _documentTypesPath()
{
    return Folders::pathInPreferencesFolder(listFileName);
}

// What the rules ask of one file, each looked up once and only when a rule needs it.
class DocumentTypes::File final {
public:
    explicit File(const QString& path)
        : path(path)
    {
    }

    // Whether the upper-cased extension equals upperRule (an upper-cased rule extension).
    bool upperExtensionEquals(const QString& upperRule)
    {
        findExtension();
        if (!ascii) {
            if (!upperExtension)
                upperExtension = extension->toString().toUpper();
            return *upperExtension == upperRule;
        }
        // ASCII upper-cases letter by letter, without a copy.
        if (extension->size() != upperRule.size())
            return false;
        for (qsizetype i = 0; i < upperRule.size(); ++i) {
            const char16_t c = extension->at(i).unicode();
            const char16_t upper = c >= u'a' && c <= u'z' ? char16_t(c - 32) : c;
            if (upper != upperRule.at(i).unicode())
                return false;
        }
        return true;
    }
    // The extension upper-cased into buffer when it is ASCII and fits; nullopt otherwise.
    std::optional<QStringView> asciiUpperExtension(char16_t* buffer, qsizetype capacity)
    {
        findExtension();
        if (!ascii || extension->size() > capacity)
            return std::nullopt;
        for (qsizetype i = 0; i < extension->size(); ++i) {
            const char16_t c = extension->at(i).unicode();
            buffer[i] = c >= u'a' && c <= u'z' ? char16_t(c - 32) : c;
        }
        return QStringView(buffer, extension->size());
    }
    // The codes as bare four-character texts; "" for a file without codes. Links are not followed.
    const QString& creatorCode()
    {
        if (!creator)
            creator = codeText(FileManager::creatorCodeAtPath(path, false));
        return *creator;
    }
    const QString& typeCode()
    {
        if (!type)
            type = codeText(FileManager::typeCodeAtPath(path, false));
        return *type;
    }

private:
    void findExtension()
    {
        if (extension)
            return;
        const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
        const qsizetype dot = path.lastIndexOf(QLatin1Char('.'));
        extension = dot > slash ? QStringView(path).mid(dot + 1) : QStringView();
        ascii = std::all_of(extension->begin(), extension->end(), [](QChar c) { return c.unicode() < 0x80; });
    }
    static QString codeText(std::uint32_t code)
    {
        return DocumentTypes::extractCodeString(FileManager::fileTypeForHFSTypeCode(code));
    }

    const QString& path;
    std::optional<QStringView> extension;
    bool ascii = true;
    std::optional<QString> upperExtension;
    std::optional<QString> creator;
    std::optional<QString> type;
};

DocumentTypes::DocumentTypes()
    : IndexingList(listFileName)
{
    load();
}

void DocumentTypes::load()
{
    loadFromFileOrDefaults(QStringLiteral("Document Types Defaults"),
        QStringLiteral("could not find any docuement types defaults!"), __FILE__);
}

void DocumentTypes::removeAtIndex(int index)
{
    const std::lock_guard<std::mutex> guard(lock());
    mutableEntries().removeAt(index);
}

QString DocumentTypes::typeAtIndex(int index) const
{
    if (!isLegalIndex(index))
        return {};
    return stringValue(entryMap(entries().at(index)).value(typeKey));
}

void DocumentTypes::updateTypeAtIndex(const QString& type, int index)
{
    if (!isLegalIndex(index))
        return;
    const std::lock_guard<std::mutex> guard(lock());
    mutableEntries()[index] = QVariantMap { { typeKey, type } };
}

// Asked of every entry a scan meets: the rules are read again only after they changed. Only
// the thread that owns the instance asks (the scan asks its own snapshot).
bool DocumentTypes::shouldIndexDocument(const QString& path) const
{
    File file(path);
    const std::vector<Rule>& rules = enabledRules();
    if (extensionsAlone) {
        char16_t buffer[32];
        if (const std::optional<QStringView> upper = file.asciiUpperExtension(buffer, std::size(buffer)))
            return std::binary_search(extensionsAlone->begin(), extensionsAlone->end(), *upper,
                [](QStringView a, QStringView b) { return a.compare(b) < 0; });
    }
    return std::any_of(rules.begin(), rules.end(), [&](const Rule& rule) { return ruleMatches(rule, file); });
}

const std::vector<DocumentTypes::Rule>& DocumentTypes::enabledRules() const
{
    const QVariantList& live = entries();
    if (preparedRules && preparedFrom.constData() == live.constData() && preparedFrom.size() == live.size())
        return *preparedRules;
    preparedFrom = live;
    preparedRules.emplace();
    for (const QVariant& entry : live) {
        const QVariantMap rule = entryMap(entry);
        if (boolValue(rule.value(enabledKey)))
            preparedRules->push_back(ruleFrom(rule));
    }
    extensionsAlone = extensionsDecidingAlone(*preparedRules);
    return *preparedRules;
}

std::optional<std::vector<QString>> DocumentTypes::extensionsDecidingAlone(const std::vector<Rule>& rules)
{
    std::vector<QString> extensions;
    for (const Rule& rule : rules) {
        const bool readsCodes = rule.useCreatorCode || rule.useTypeCode;
        switch (static_cast<IdentificationMode>(rule.mode)) {
        case IdentificationMode::byExtension:
            break;
        case IdentificationMode::byCodes:
        case IdentificationMode::byCodesAndExtension:
            if (readsCodes)
                return std::nullopt;
            continue; // matches nothing
        case IdentificationMode::byCodesOrExtension:
            if (readsCodes)
                return std::nullopt;
            break;
        default:
            continue; // matches nothing
        }
        if (rule.upperExtension)
            extensions.push_back(*rule.upperExtension);
    }
    std::sort(extensions.begin(), extensions.end());
    extensions.erase(std::unique(extensions.begin(), extensions.end()), extensions.end());
    return extensions;
}

bool DocumentTypes::matchFileExtensionWithValues(const QString& path, const QVariantMap& rule) const
{
    File file(path);
    return extensionMatches(ruleFrom(rule), file);
}

bool DocumentTypes::matchMacOS9InfoWithValues(const QString& path, const QVariantMap& rule) const
{
    File file(path);
    return codesMatch(ruleFrom(rule), file);
}

QString DocumentTypes::extractCodeString(const QString& quotedCode)
{
    if (quotedCode.size() != 6)
        return {};
    return quotedCode.mid(1, 4);
}

QString DocumentTypes::tableViewObjectValueForTableColumnRow(int row) const
{
    return QStringLiteral("all files with the file extension: *.%1")
        .arg(stringValue(entryMap(entries().at(row)).value(typeKey)));
}

DocumentTypes::Rule DocumentTypes::ruleFrom(const QVariantMap& entry)
{
    Rule rule;
    rule.mode = integerValue(entry.value(QStringLiteral("identificationMode")));
    if (std::optional<QString> extension = optionalString(entry, QStringLiteral("fileExtension")))
        rule.upperExtension = extension->toUpper();
    rule.useCreatorCode = boolValue(entry.value(QStringLiteral("useCreatorCode")));
    rule.useTypeCode = boolValue(entry.value(QStringLiteral("useTypeCode")));
    rule.creatorCode = optionalString(entry, QStringLiteral("creatorCode"));
    rule.typeCode = optionalString(entry, QStringLiteral("typeCode"));
    return rule;
}

bool DocumentTypes::ruleMatches(const Rule& rule, File& file)
{
    switch (static_cast<IdentificationMode>(rule.mode)) {
    case IdentificationMode::byExtension:
        return extensionMatches(rule, file);
    case IdentificationMode::byCodes:
        return codesMatch(rule, file);
    case IdentificationMode::byCodesAndExtension:
        return codesMatch(rule, file) && extensionMatches(rule, file);
    case IdentificationMode::byCodesOrExtension:
        return codesMatch(rule, file) || extensionMatches(rule, file);
    }
    return false;
}

bool DocumentTypes::extensionMatches(const Rule& rule, File& file)
{
    return rule.upperExtension && file.upperExtensionEquals(*rule.upperExtension);
}

bool DocumentTypes::codesMatch(const Rule& rule, File& file)
{
    if (!rule.useCreatorCode && !rule.useTypeCode)
        return false;
    const bool creatorMatches = rule.creatorCode && *rule.creatorCode == file.creatorCode();
    const bool typeMatches = rule.typeCode && *rule.typeCode == file.typeCode();
    if (rule.useCreatorCode && rule.useTypeCode)
        return creatorMatches && typeMatches;
    return rule.useCreatorCode ? creatorMatches : typeMatches;
}

bool DocumentTypes::isLegalIndex(int index) const
{
    if (index >= 0 && index < count())
        return true;
    Log::line(indexLog(), QStringLiteral("Illegal index in document types!"));
    return false;
}

} // namespace quorvel
