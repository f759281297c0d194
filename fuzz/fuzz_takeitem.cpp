// Item splitting and comment stripping over any text: every call makes
// progress, so callers that split a line item by item always end.
#include "config/takeitem.h"
#include "fuzz/fuzzsupport.h"

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    fuzz::quietMessages();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString line = fuzz::text(data, size);

    const QString content = stripComment(line);
    FUZZ_CHECK(line.startsWith(content));

    for (const QString &start : {line, content}) {
        QString rest = start;
        for (;;) {
            QString item;
            const QString next = takeItem(rest, item);
            if (next.isEmpty())
                break;
            FUZZ_CHECK(next.size() < rest.size());
            FUZZ_CHECK(rest.endsWith(next));
            rest = next;
        }
    }
    return 0;
}
