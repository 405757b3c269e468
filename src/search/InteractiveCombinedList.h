#pragma once
// The list of the whole index: every application, document, preference pane and folder the
// scanner found, read from the index file.

#include "search/InteractiveList.h"

namespace quorvel {

// "Quorvel Launcher Index" in the data folder; the scanner writes it, the list reads it.
QString _combinedListPath();

class InteractiveCombinedList final : public InteractiveList {
public:
    InteractiveCombinedList();
    QString getFilePath() const override;
};

} // namespace quorvel
