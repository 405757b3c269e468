#pragma once
// The application's settings store: registered defaults (memory only, never written) under a
// persistent domain, the file "<application identifier>.plist" in the Preferences folder.
// Typed getters behave as the platform's: a string "YES" reads as true, a real read as an integer
// truncates toward zero, a missing key answers the registered default, then 0 / false / "".

#include <QSet>
#include <QString>
#include <QVariant>
#include <QVariantMap>

namespace quorvel {

class UserDefaults final {
public:
    // The shared instance, for the main bundle's identifier; created on first use.
    static UserDefaults& standardUserDefaults();
    // Tests: replace the shared instance (nullptr returns to a fresh default one on next use).
    static void resetStandardUserDefaults();

    explicit UserDefaults(const QString& applicationIdentifier);

    void registerDefaults(const QVariantMap& defaults);
    QVariantMap registeredDefaults() const { return registered; }

    // Persistent value if present, else registered value, else an invalid QVariant.
    QVariant objectForKey(const QString& key) const;
    qint64 integerForKey(const QString& key) const;
    float floatForKey(const QString& key) const;
    double doubleForKey(const QString& key) const;
    bool boolForKey(const QString& key) const;
    QString stringForKey(const QString& key) const; // "" when missing or not a string/number
    QVariantMap dictionaryForKey(const QString& key) const;

    void setObject(const QString& key, const QVariant& value);
    void setInteger(const QString& key, qint64 value);
    void setFloat(const QString& key, float value);
    void setBool(const QString& key, bool value);
    void setString(const QString& key, const QString& value);
    void removeObjectForKey(const QString& key);

    // Under a cross-process lock: re-reads the domain file, lays the keys changed here since the
    // last synchronize over it, writes it back atomically, and keeps the merged result. With
    // nothing changed here it only re-reads, without the lock. Keys other processes wrote since
    // are seen afterwards. Answers whether the file could be written (true when nothing needed
    // writing).
    bool synchronize();

    QString domainFilePath() const;

private:
    QVariantMap storedValues(const QString& path) const;

    QString identifier;
    QVariantMap registered;
    QVariantMap persistent;
    QSet<QString> changedKeys; // set or removed here since the last synchronize
};

} // namespace quorvel
