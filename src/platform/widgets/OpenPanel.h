#pragma once
// The open panel: a modal file dialog that lets the user choose one folder or one file.
// Tests replace the shared panel with a fake that answers a chosen path.

#include <QString>

namespace quorvel {

class OpenPanel {
public:
    enum class Choose { Folders, Files };

    static OpenPanel& sharedOpenPanel();
    static void setSharedOpenPanel(OpenPanel* panel); // not owned; nullptr restores the real one

    virtual ~OpenPanel() = default;

    // Runs the panel modally; answers whether the user chose something.
    virtual bool runModal(Choose what);
    // The chosen item's full path; "" when nothing was chosen.
    virtual QString filename() const { return chosen; }
    // The chosen folder itself when folders are chosen; the folder holding the chosen file when
    // files are; "" when nothing was chosen.
    virtual QString directory() const;
    // Where the panel opens: the folder of the last choice, at first the home folder.
    QString startingFolder() const;

protected:
    QString chosen;
    Choose mode = Choose::Files;
    QString lastFolder; // of the last choice made in this run
};

} // namespace quorvel
