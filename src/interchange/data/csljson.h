// CSL-JSON files: an array of items as the Citation Style Language defines them, read into
// references and written from them. Values CSL has no variable for travel in an item's
// "custom" object.
#pragma once

#include "interchange/data/bibtex.h"
#include "interchange/data/reference.h"

#include <QByteArray>
#include <QJsonObject>
#include <QString>

#include <vector>

namespace quirelle::interchange::csljson {

ParseResult read(const QString& text);

QJsonObject item(const Reference& reference);
// The items as one indented JSON array.
QByteArray write(const std::vector<QJsonObject>& items);

} // namespace quirelle::interchange::csljson
