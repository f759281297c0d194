#pragma once

#include <QList>

class aNode;

// One term of an open/close condition: node must (flowing) or must not have
// gas flowing through it.
struct CondTerm
{
    aNode *node = nullptr;
    bool flowing = false;
};

// All terms must hold.
using Condition = QList<CondTerm *>;
