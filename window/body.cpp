#include "window/body.h"

Body::Body()
    : QMainWindow(nullptr)
{
    setupUi(this);
    show();
}

Body::~Body() = default;
