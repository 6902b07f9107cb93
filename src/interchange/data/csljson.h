// CSL-JSON files: an array of items as the Citation Style Language defines them, read into
// references and written from them. Values CSL has no variable for travel in an item's
// "custom" object.
#pragma once

#include "interchange/data/parseresult.h"
#include "interchange/data/reference.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <vector>

namespace quirelle::interchange::csljson {

ParseResult read(const QString& text);

// Appends the item, UTF-8, as an indented JSON object with its members in the order of their
// names: an element of the file's array.
void appendItem(QByteArray& out, const Reference& reference);

} // namespace quirelle::interchange::csljson
