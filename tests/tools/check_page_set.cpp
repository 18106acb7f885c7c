// Checks a written page set the way a newcomer's browser would use it: the
// page is whole, every image it names sits beside it, and every one of those
// GIFs decodes to at least one frame.
//
//   velmora_check_page_set PAGE.htm
//
// Prints what it found; exit status 0 when the set is complete, 1 otherwise.
#include "core/imaging/gif_reader.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QUrl>

#include <cstdio>

namespace {

int Fail(const QString& message) {
    std::fprintf(stderr, "check-page-set: %s\n", message.toLocal8Bit().constData());
    return 1;
}

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() != 2)
        return Fail(QStringLiteral("usage: velmora_check_page_set PAGE.htm"));
    const QString pagePath = args[1];
    QFile file(pagePath);
    if (!file.open(QIODevice::ReadOnly))
        return Fail(QStringLiteral("cannot read %1: %2").arg(pagePath, file.errorString()));
    const QByteArray page = file.readAll();
    if (!page.startsWith("<!DOCTYPE HTML") || !page.endsWith("</html>\r\n"))
        return Fail(QStringLiteral("%1 is not a whole page").arg(pagePath));

    static const QRegularExpression background(QStringLiteral("background=\"([^\"]*)\""));
    QStringList names;
    for (auto it = background.globalMatch(QString::fromLatin1(page)); it.hasNext();)
        names << QUrl::fromPercentEncoding(it.next().captured(1).toLatin1());
    if (names.isEmpty())
        return Fail(QStringLiteral("%1 names no background image").arg(pagePath));

    const QString folder = QFileInfo(pagePath).absolutePath();
    for (const QString& name : names) {
        const QString gifPath = folder + QLatin1Char('/') + name;
        if (!QFileInfo(gifPath).isFile())
            return Fail(QStringLiteral("%1 names %2, which is missing").arg(pagePath, name));
        GifAnimation gif;
        if (Status s = ReadGif(gifPath, &gif); !s)
            return Fail(s.message());
        if (gif.frames.empty() || gif.width < 1 || gif.height < 1)
            return Fail(QStringLiteral("%1 holds no picture").arg(gifPath));
        std::printf("%s: %d x %d, %d frames\n", name.toLocal8Bit().constData(), gif.width,
                    gif.height, int(gif.frames.size()));
    }
    std::printf("%s: complete page set\n", pagePath.toLocal8Bit().constData());
    return 0;
}
