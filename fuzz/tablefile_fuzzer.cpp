// Feeds arbitrary bytes to the table-file reader. Besides crashes, hangs and
// sanitizer reports it stops on a file that reads but whose saved form does
// not read back to the same content: a save must always be loadable.
#include "errors.h"
#include "tablefile.h"

#include <QByteArray>

#include <cstdint>
#include <cstdio>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    QByteArray written;
    try {
        written = kiv::TableFile::serialize(kiv::TableFile::parse(bytes, QStringLiteral("fuzz.cds")));
    } catch (const kiv::KivError &) {
        return 0;
    }
    try {
        const QByteArray again =
            kiv::TableFile::serialize(kiv::TableFile::parse(written, QStringLiteral("saved.cds")));
        if (again != written) {
            std::fprintf(stderr, "saved form changes on a second save\n");
            std::abort();
        }
    } catch (const kiv::KivError &error) {
        std::fprintf(stderr, "saved form does not read back: %s\n",
                     error.message().toUtf8().constData());
        std::abort();
    }
    return 0;
}
