// Configuration file text as the panel reads it. The text is the file
// self.cfg in the current folder, so "INCLUDE self.cfg" includes itself.
#include "config/config.h"
#include "fuzz/fuzzsupport.h"

#include <QFile>

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    fuzz::quietMessages();
    fuzz::enterScratchDir();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    {
        QFile file(QStringLiteral("self.cfg"));
        FUZZ_CHECK(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        FUZZ_CHECK(file.write(reinterpret_cast<const char *>(data), qint64(size)) == qint64(size));
    }

    config.clear();
    FUZZ_CHECK(config.readFile(QStringLiteral("self.cfg")));
    const qsizetype count = config.allEntries().size();
    for (const ConfigEntry &entry : config.allEntries()) {
        FUZZ_CHECK(config.contains(entry.key));
        FUZZ_CHECK(!config.entries(entry.key).isEmpty());
        config.value(entry.key, QString());
    }

    // Nothing of one reading stays behind to change the next one.
    config.clear();
    FUZZ_CHECK(config.readFile(QStringLiteral("self.cfg")));
    FUZZ_CHECK(config.allEntries().size() == count);
    return 0;
}
