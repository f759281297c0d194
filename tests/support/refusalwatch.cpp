#include "support/refusalwatch.h"

#include "valves/avalve.h"

RefusalWatch::RefusalWatch(bool closeBoxes)
{
    aValve::refusalShown = [this, closeBoxes](QMessageBox *box) {
        boxes.append({box->windowTitle(), box->text(), box->parentWidget(),
                      box->isVisible() && box->windowModality() != Qt::NonModal, box});
        if (closeBoxes)
            box->close();
    };
}

RefusalWatch::~RefusalWatch()
{
    aValve::refusalShown = nullptr;
    for (const Box &b : std::as_const(boxes))
        if (b.box)
            b.box->close();
}
