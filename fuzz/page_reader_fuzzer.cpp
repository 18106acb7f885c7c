// libFuzzer target: any bytes as a page. The page reader may not crash, hang
// or hold more than a buffer; a page it accepts is one the table writes
// back byte for byte.
#include "core/page/page_reader.h"

#include <QCoreApplication>

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    static QCoreApplication app(*argc, *argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray bytes =
        QByteArray::fromRawData(reinterpret_cast<const char*>(data), qsizetype(size));
    const std::optional<PageContents> page = ParsePage(bytes);
    if (page) {
        const QString path =
            page->imageBase.isEmpty() ? QStringLiteral("page") : QStringLiteral("page.htm");
        if (page->table.ComposePage(path, page->imageBase) != bytes)
            std::abort();
    }
    return 0;
}
