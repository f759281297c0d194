#pragma once

#include <QString>

// One VALVE, MFC or NODE entry of the configuration with its items read.
struct PlantNode
{
    // Node references name a kind by its type word; a word that is not one
    // of "NODE", "VALVE" or "MFC" (letter case as written) names no node.
    enum Kind { Plain = 0, Valve = 1, Mfc = 2, NoKind = 3 };

    static Kind kindOfWord(const QString &word);
    static QString kindWord(int kind);
    // "VALVE 3": how the configuration names a node of kind and number.
    static QString reference(int kind, int number);

    // Where an MFC's device answers: "hwNode.channel", or hwNode alone.
    QString address() const;

    Kind kind = Plain;
    QString file;
    int line = 0;
    QString name;
    // The name as a whole number: what every reference to the node names.
    int number = 0;
    // The panel column of a valve or MFC; a plain node's number.
    int column = 0;
    QString gas;
    double cf = 0.0;
    // The label of an MFC or plain node; a valve's line name (its label is
    // the gas, a blank and the line name).
    QString label;
    QString hwNode;
    QString channel;
    int x = 0;
    int y = 0;
    int w = 0;
    int h = 0;
    // A valve's flag word; "N_ON" in any letter case makes it normally on.
    QString flag;
    bool normallyOn = false;
    // An MFC's minimum flow and its factor.
    double minFlowA = 0.0;
    double minFlowB = 0.0;
    // An MFC whose label is exactly "DUMMY": a placeholder without a name.
    bool dummy = false;
};
Q_DECLARE_TYPEINFO(PlantNode, Q_RELOCATABLE_TYPE);
