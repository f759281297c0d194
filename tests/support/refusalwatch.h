#pragma once

#include <QList>
#include <QMessageBox>
#include <QPointer>
#include <QString>

class QWidget;

// Records every refusal box a valve shows while it lives, and closes each one
// at once unless told to leave them open.
class RefusalWatch
{
public:
    struct Box
    {
        QString title;
        QString text;
        QWidget *parent = nullptr;
        bool shownModal = false; // on screen, and modal for the operator
        QPointer<QMessageBox> box;
    };

    explicit RefusalWatch(bool closeBoxes = true);
    ~RefusalWatch();

    QList<Box> boxes;

private:
    Q_DISABLE_COPY(RefusalWatch)
};
