#include "components/shared/GnomeCustomShortcut.h"

#include "components/shared/CustomKeybindingList.h"
#include "components/shared/HotKeySettings.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <gio/gio.h>
#include <gtest/gtest.h>

using namespace quorvel;

namespace {

const char* const listSchema = "org.gnome.settings-daemon.plugins.media-keys";

// GNOME's schemas stand in from a compiled copy of the test's own, over settings kept in memory.
// GIO reads both variables once per process; each test case runs in a process of its own.
class GnomeSettings : public testing::Test {
protected:
    void SetUp() override
    {
        const QString compiler = QStandardPaths::findExecutable(QStringLiteral("glib-compile-schemas"));
        if (compiler.isEmpty())
            GTEST_SKIP() << "glib-compile-schemas is not installed";
        QFile::copy(QStringLiteral(QUORVEL_SOURCE_DIR "/tests/components/media-keys.gschema.xml"),
            schemas.filePath(QStringLiteral("media-keys.gschema.xml")));
        ASSERT_EQ(QProcess::execute(compiler, { schemas.path() }), 0);
        qputenv("GSETTINGS_SCHEMA_DIR", QFile::encodeName(schemas.path()));
        qputenv("GSETTINGS_BACKEND", "memory");
    }

    static QStringList list()
    {
        GSettings* settings = g_settings_new(listSchema);
        gchar** values = g_settings_get_strv(settings, "custom-keybindings");
        QStringList paths;
        for (gchar** value = values; *value; ++value)
            paths.append(QString::fromUtf8(*value));
        g_strfreev(values);
        g_object_unref(settings);
        return paths;
    }

    static QString ours(const char* key)
    {
        const QByteArray path = CustomKeybindingList::quorvelPath().toUtf8();
        GSettings* settings = g_settings_new_with_path(
            "org.gnome.settings-daemon.plugins.media-keys.custom-keybinding", path.constData());
        gchar* value = g_settings_get_string(settings, key);
        const QString text = QString::fromUtf8(value);
        g_free(value);
        g_object_unref(settings);
        return text;
    }

    QTemporaryDir schemas;
};

} // namespace

TEST_F(GnomeSettings, TheShortcutIsAddedBesideTheUsersOwnAndRemovedWithoutThem)
{
    ASSERT_TRUE(GnomeCustomShortcut::isOffered());
    GSettings* settings = g_settings_new(listSchema);
    const gchar* users[]
        = { "/org/gnome/settings-daemon/plugins/media-keys/custom-keybindings/custom0/", nullptr };
    g_settings_set_strv(settings, "custom-keybindings", users);
    g_object_unref(settings);
    EXPECT_FALSE(GnomeCustomShortcut::isAdded());

    ASSERT_TRUE(GnomeCustomShortcut::add(*HotKeySettings::fromText("Control+Alt+Q")));
    ASSERT_TRUE(GnomeCustomShortcut::add(*HotKeySettings::fromText("Super+F2"))); // the key changed
    EXPECT_EQ(list(), (QStringList { users[0], CustomKeybindingList::quorvelPath() }));
    EXPECT_TRUE(GnomeCustomShortcut::isAdded());
    EXPECT_EQ(ours("binding"), "<Super>F2");
    EXPECT_TRUE(ours("command").startsWith("dbus-send --session --type=signal"))
        << ours("command").toStdString();
    EXPECT_TRUE(ours("command").contains("'string:wake up'"));

    ASSERT_TRUE(GnomeCustomShortcut::remove());
    EXPECT_EQ(list(), QStringList { users[0] });
    EXPECT_EQ(ours("binding"), "");
}
