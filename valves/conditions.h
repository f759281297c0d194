#pragma once

#include "nodes/condterm.h"

#include <QList>
#include <QString>

// The state word of a configured term: "ON" in any letter case requires
// flowing gas, every other word requires none.
bool flowingFromWord(const QString &word);

// Whether the term's node is in the state the term asks for. Writes one
// debug trace line per evaluation.
bool termHolds(const CondTerm *term);

// "Valve N2 Line1": the node's type name and label.
QString termText(const CondTerm *term);

// "[Valve N2 Line1]:[1], " per term, for the diagnostic log.
QString describeTerms(const Condition &condition);

// The condition in words, for the operator.
QString describeCondition(const Condition &condition);

// Checks a list of alternative conditions before a valve opens or closes
// (operation "Open" or "Close"), logging each condition evaluated. Returns
// true when the list is empty or one condition holds; otherwise false, with
// the operator's refusal text in message.
bool checkConditions(const QList<Condition> &conditions, const QString &label, const QString &operation,
                     QString &message);
