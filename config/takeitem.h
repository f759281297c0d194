#pragma once

#include <QString>

// Takes the first blank-separated (or double-quoted) item off text into item
// and returns what is left, starting right after the item.
QString takeItem(const QString &text, QString &item);

// The line up to the first "#" that is not inside quotes. Double quotes and
// apostrophes flip one shared flag, so either kind hides a "#".
QString stripComment(const QString &line);
