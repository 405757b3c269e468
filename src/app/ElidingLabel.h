#pragma once
// A label of a fixed number of lines whose text never makes it wider or taller: the text wraps
// up to the last line, and what does not fit is elided there. The text is always shown as plain
// text, with its line breaks and tabs as spaces and its direction controls as visible marks;
// text() answers the text as it was set. The layout decides the label's width, never the text.

#include <QLabel>
#include <QStringList>

namespace quorvel {

class ElidingLabel final : public QLabel {
    Q_OBJECT
public:
    explicit ElidingLabel(QWidget* parent = nullptr);

    void setMaximumLineCount(int lines);
    // Where the last line leaves out what does not fit (the end of a name, the middle of a path).
    void setElideMode(Qt::TextElideMode mode);

    // The lines as drawn, and the rectangle they take (for checks that the text fits).
    QStringList shownLines() const;
    QRect textRect() const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

    // Line breaks, tabs and other control characters become spaces: a name holding a line break
    // is shown whole on a line rather than cut at the break. The characters that set the
    // direction of the text after them (embeddings, overrides, isolates, direction marks) show
    // as a mark naming each, "[RLO]", so that no name can reorder how its extension reads.
    static QString visibleText(const QString& text);
    // Only the marks for the direction controls, line breaks kept: for tool tips, which show
    // text over several lines.
    static QString withDirectionMarks(const QString& text);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    int maximumLines = 1;
    Qt::TextElideMode elideMode = Qt::ElideRight;
};

} // namespace quorvel
