#include "support/messagecapture.h"

namespace {

QStringList captured;
QtMessageHandler passOn = nullptr;

void handler(QtMsgType type, const QMessageLogContext &context, const QString &msg)
{
    captured << msg;
    if (passOn && qEnvironmentVariableIsSet("KESTRUNE_TEST_VERBOSE"))
        passOn(type, context, msg);
}

} // namespace

MessageCapture::MessageCapture()
{
    captured.clear();
    previous = qInstallMessageHandler(handler);
    passOn = previous;
}

MessageCapture::~MessageCapture()
{
    qInstallMessageHandler(previous);
    passOn = nullptr;
}

QStringList MessageCapture::messages() const
{
    return captured;
}
