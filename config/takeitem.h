#pragma once

#include <QString>

// How the quotes of an item taken by takeItem were balanced.
enum class ItemQuote { Balanced, Unclosed, EndsInQuote };

// Takes the first blank-separated (or double-quoted) item off text into item
// and returns what is left, starting right after the item.
QString takeItem(const QString &text, QString &item);

// The same, but an unbalanced quote is handed to the caller in quote instead
// of being written to the debug output.
QString takeItemQuietly(const QString &text, QString &item, ItemQuote &quote);

// The debug warning takeItem writes for quote, text being the split text.
QString quoteWarning(ItemQuote quote, const QString &text);

// The line up to the first "#" that is not inside quotes. Double quotes and
// apostrophes flip one shared flag, so either kind hides a "#".
QString stripComment(const QString &line);
