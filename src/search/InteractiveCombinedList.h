#pragma once
// The list of the whole index: every application, document, preference pane and folder the
// scanner found, read from the index file.

#include "search/InteractiveList.h"

namespace quorvel {

class InteractiveCombinedList final : public InteractiveList {
public:
    InteractiveCombinedList();
    QString getFilePath() const override;
};

} // namespace quorvel
