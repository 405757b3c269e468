#include "app/ElidingLabel.h"

#include <QFontMetrics>
#include <QPainter>
#include <QTextLayout>

#include <algorithm>

namespace quorvel {

ElidingLabel::ElidingLabel(QWidget* parent)
    : QLabel(parent)
{
    setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
    setTextFormat(Qt::PlainText);
}

void ElidingLabel::setMaximumLineCount(int lines)
{
    maximumLines = qMax(1, lines);
    updateGeometry();
    update();
}

void ElidingLabel::setElideMode(Qt::TextElideMode mode)
{
    elideMode = mode;
    update();
}

namespace {

// The mark shown for a character that changes the direction of the text after it; nullptr for
// any other character. Drawn as they are, such characters let a name pose as another one:
// "rtl-<U+202E>evil-gpj.txt" would read "rtl-txt.jpg-live". Shown as marks, they change nothing.
const char* directionMark(char16_t c)
{
    switch (c) {
    case 0x061C:
        return "[ALM]";
    case 0x200E:
        return "[LRM]";
    case 0x200F:
        return "[RLM]";
    case 0x202A:
        return "[LRE]";
    case 0x202B:
        return "[RLE]";
    case 0x202C:
        return "[PDF]";
    case 0x202D:
        return "[LRO]";
    case 0x202E:
        return "[RLO]";
    case 0x2066:
        return "[LRI]";
    case 0x2067:
        return "[RLI]";
    case 0x2068:
        return "[FSI]";
    case 0x2069:
        return "[PDI]";
    default:
        return nullptr;
    }
}

bool isBreakOrControl(QChar c)
{
    return c.category() == QChar::Other_Control || c.category() == QChar::Separator_Line
        || c.category() == QChar::Separator_Paragraph;
}

} // namespace

QString ElidingLabel::visibleText(const QString& text)
{
    QString shown = withDirectionMarks(text);
    for (QChar& c : shown) {
        if (isBreakOrControl(c))
            c = QLatin1Char(' ');
    }
    return shown;
}

QString ElidingLabel::withDirectionMarks(const QString& text)
{
    const auto firstControl = std::find_if(
        text.cbegin(), text.cend(), [](QChar c) { return directionMark(c.unicode()) != nullptr; });
    if (firstControl == text.cend())
        return text; // nearly every name
    QString shown;
    shown.reserve(text.size() + 8);
    for (const QChar c : text) {
        if (const char* mark = directionMark(c.unicode()))
            shown += QLatin1String(mark);
        else
            shown += c;
    }
    return shown;
}

QStringList ElidingLabel::shownLines() const
{
    const QString shown = visibleText(text());
    const int width = contentsRect().width();
    if (shown.isEmpty() || width <= 0)
        return {};
    QTextLayout layout(shown, font());
    QTextOption option;
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    layout.setTextOption(option);
    const QFontMetrics metrics(font());
    QStringList lines;
    layout.beginLayout();
    while (lines.size() < maximumLines - 1) {
        QTextLine line = layout.createLine();
        if (!line.isValid())
            break;
        line.setLineWidth(width);
        lines << shown.mid(line.textStart(), line.textLength()).trimmed();
    }
    QTextLine last = layout.createLine();
    if (last.isValid()) {
        // The rest of the text on the last line, shortened to fit.
        const QString rest = shown.mid(last.textStart()).trimmed();
        lines << metrics.elidedText(rest, elideMode, width);
    }
    layout.endLayout();
    return lines;
}

QRect ElidingLabel::textRect() const
{
    const QFontMetrics metrics(font());
    const QStringList lines = shownLines();
    int widest = 0;
    for (const QString& line : lines)
        widest = qMax(widest, metrics.horizontalAdvance(line));
    const int height = static_cast<int>(lines.size()) * metrics.lineSpacing();
    return QRect(contentsRect().topLeft(), QSize(widest, height));
}

QSize ElidingLabel::sizeHint() const
{
    const QMargins margins = contentsMargins();
    const int lines = QFontMetrics(font()).lineSpacing() * maximumLines;
    return QSize(margins.left() + margins.right(), lines + margins.top() + margins.bottom());
}

QSize ElidingLabel::minimumSizeHint() const
{
    return sizeHint();
}

void ElidingLabel::paintEvent(QPaintEvent* /*event*/)
{
    QPainter painter(this);
    painter.setPen(palette().color(foregroundRole()));
    painter.setFont(font());
    const QFontMetrics metrics(font());
    QRect line = contentsRect();
    line.setHeight(metrics.lineSpacing());
    for (const QString& text : shownLines()) {
        painter.drawText(line, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, text);
        line.translate(0, metrics.lineSpacing());
    }
}

} // namespace quorvel
