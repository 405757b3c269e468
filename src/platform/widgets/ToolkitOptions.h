#pragma once
// The command-line options Qt takes for itself when the application object is made (-platform,
// -display, -style, -reverse, ...), so that a program reading its own options before that can
// leave these to Qt. Qt accepts each with one dash or two, a value as the next word, and -style,
// -stylesheet and -qmljsdebugger also as "-style=fusion".

#include <QStringList>

namespace quorvel {

class ToolkitOptions final {
public:
    // How many words, from arguments[index] on, form one of Qt's options: 0 when that word is
    // none, 1 for a flag or an option written with "=", 2 for an option and its value. An option
    // whose value is missing counts as none: Qt would not take it either.
    static qsizetype wordsOfOptionAt(const QStringList& arguments, qsizetype index);
};

} // namespace quorvel
