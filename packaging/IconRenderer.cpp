// quorvel_render_icon: a build step, not part of the launcher. Renders the launcher's SVG icon
// into the PNG sizes of the hicolor icon theme, so that menus which do not scale SVG icons (and
// the small sizes, where a scaled drawing blurs) get a picture of their own size.
// Usage: quorvel_render_icon SVG OUTPUT-FOLDER NAME SIZE...
// writes OUTPUT-FOLDER/<SIZE>x<SIZE>/apps/NAME.png for each size; exits 1 when anything fails.

#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QStringList>
#include <QSvgRenderer>

#include <cstdio>

namespace {

bool renderAtSize(QSvgRenderer& renderer, const QString& outputFolder, const QString& name, int size)
{
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    renderer.render(&painter, QRectF(0, 0, size, size));
    painter.end();
    const QString folder = QStringLiteral("%1/%2x%2/apps").arg(outputFolder).arg(size);
    if (!QDir().mkpath(folder))
        return false;
    return image.save(QStringLiteral("%1/%2.png").arg(folder, name), "PNG");
}

} // namespace

int main(int argc, char** argv)
{
    // No display is needed to draw into an image.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication application(argc, argv);
    const QStringList arguments = application.arguments();
    if (arguments.size() < 5) {
        std::fputs("usage: quorvel_render_icon SVG OUTPUT-FOLDER NAME SIZE...\n", stderr);
        return 2;
    }
    QSvgRenderer renderer(arguments.at(1));
    if (!renderer.isValid()) {
        std::fprintf(stderr, "quorvel_render_icon: cannot read %s\n", qPrintable(arguments.at(1)));
        return 1;
    }
    for (const QString& sizeText : arguments.mid(4)) {
        bool isNumber = false;
        const int size = sizeText.toInt(&isNumber);
        if (!isNumber || size <= 0 || !renderAtSize(renderer, arguments.at(2), arguments.at(3), size)) {
            std::fprintf(stderr, "quorvel_render_icon: cannot write the %s icon\n", qPrintable(sizeText));
            return 1;
        }
    }
    return 0;
}
