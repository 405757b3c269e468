#pragma once
// The launcher's own command line, read before anything starts: --help and --version are
// answered there and then, with nothing made, read or claimed; Qt's options pass on to Qt; other
// words (a desktop may hand over file paths) are left alone, as the launcher has no use for them;
// any other option is refused, since a mistyped option must not start the application.

#include <QString>
#include <QStringList>

namespace quorvel {

class LauncherCommandLine final {
public:
    struct Answer {
        bool startsTheApplication = true;
        int exitStatus = 0;
        QString output; // for standard output
        QString errors; // for standard error
    };

    // What the arguments (the program's name first) ask for.
    static Answer answerTo(const QStringList& arguments);
    // The same for main's own arguments; an answer that does not start the application is printed.
    static Answer answerTo(int argc, char** argv);

private:
    static QString helpText();
};

} // namespace quorvel
