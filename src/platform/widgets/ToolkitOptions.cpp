#include "platform/widgets/ToolkitOptions.h"

namespace quorvel {

namespace {

// QGuiApplication's, the X11 platform's and QApplication's options that take a value. -geometry,
// -title and -icon are the X11 platform's old spellings of the -qwindow... options.
const QStringList& optionsWithValue()
{
    static const QStringList names { "platform", "platformpluginpath", "platformtheme", "plugin",
        "qwindowgeometry", "geometry", "qwindowtitle", "title", "qwindowicon", "icon", "session", "display",
        "name", "visual", "style", "stylesheet" };
    return names;
}

const QStringList& flags()
{
    static const QStringList names { "reverse", "testability", "nograb", "dograb", "sync", "widgetcount",
        "qmljsdebugger" };
    return names;
}

const QStringList& optionsWithJoinedValue()
{
    static const QStringList names { "style", "stylesheet", "qmljsdebugger" };
    return names;
}

} // namespace

qsizetype ToolkitOptions::wordsOfOptionAt(const QStringList& arguments, qsizetype index)
{
    if (index < 0 || index >= arguments.size())
        return 0;
    QString word = arguments[index];
    if (word.startsWith(QLatin1String("--")))
        word.remove(0, 1);
    if (!word.startsWith(QLatin1Char('-')))
        return 0;
    word.remove(0, 1);
    if (flags().contains(word))
        return 1;
    if (optionsWithValue().contains(word))
        return index + 1 < arguments.size() ? 2 : 0;
    const qsizetype equals = word.indexOf(QLatin1Char('='));
    if (equals > 0 && optionsWithJoinedValue().contains(word.left(equals)))
        return 1;
    return 0;
}

} // namespace quorvel
