// Times typed into a valve's countdown fields: the first line of the input
// goes into the time to open, the rest into the time to close, each ended
// as the operator ends it.
#include "fuzz/fuzzsupport.h"
#include "nodes/ticktimer.h"
#include "valves/avalve.h"

#include <QApplication>
#include <QLineEdit>

namespace {

aValve *valve = nullptr;

void type(QLineEdit *field, const QString &text)
{
    field->setText(text);
    emit field->editingFinished();
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    fuzz::quietMessages();
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static int argc = 1;
    static char name[] = "fuzz_typedtime";
    static char *argv[] = {name, nullptr};
    new QApplication(argc, argv); // lives as long as the run
    valve = new aValve(QStringLiteral("1"), 0, QStringLiteral("N2"), 1.0, QStringLiteral("Main"),
                       QStringLiteral("Dev1"), QStringLiteral("1"), 0, 0, 10, 10, nullptr, QString());
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString input = fuzz::text(data, size);
    const qsizetype lf = input.indexOf(QLatin1Char('\n'));
    type(valve->timeToOpenField(), input.left(lf));
    type(valve->timeToCloseField(), lf < 0 ? input : input.mid(lf + 1));

    for (const TickTimer *timer : {valve->openTimer, valve->closeTimer})
        FUZZ_CHECK(timer->interval() >= 0);
    // Closed, so only the opening countdown may run.
    FUZZ_CHECK(!valve->closeTimer->isActive());
    FUZZ_CHECK(valve->openTimer->isActive() == valve->timeToOpenOn);

    // Back to rest for the next input.
    type(valve->timeToOpenField(), QStringLiteral("0"));
    type(valve->timeToCloseField(), QStringLiteral("0"));
    return 0;
}
