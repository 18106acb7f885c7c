#include "core/page/page_names.h"

qsizetype LastSeparator(const QString& path) {
    return std::max(path.lastIndexOf(QLatin1Char('\\')), path.lastIndexOf(QLatin1Char('/')));
}

PageImageNames ImageNamesFor(const QString& pagePath, const QString& imageName) {
    QString base = imageName;
    if (base.isEmpty()) {
        // The dot is searched in the whole path, so a dot that only occurs in
        // a folder name gives a negative count and an empty base.
        const qsizetype dot = pagePath.lastIndexOf(QLatin1Char('.'));
        const qsizetype sep = LastSeparator(pagePath);
        const qsizetype count = dot - sep - 1;
        if (count > 0)
            base = pagePath.mid(sep + 1, count);
    }
    return {base + QStringLiteral(".gif"), base + QStringLiteral("-cell.gif"),
            base + QStringLiteral(".webp"), base + QStringLiteral("-cell.webp")};
}

QString FolderOf(const QString& path) {
    return path.left(LastSeparator(path) + 1);
}

QString BaseNameOf(const QString& path) {
    const QString name = path.mid(LastSeparator(path) + 1);
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    return dot < 0 ? name : name.left(dot);
}

QString SeparatorsAsSlashes(const QString& path) {
    return QString(path).replace(QLatin1Char('\\'), QLatin1Char('/'));
}
