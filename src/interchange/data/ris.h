// RIS files: `TY  - ` ... `ER  - ` records of tagged lines, read into references and written
// from them.
#pragma once

#include "interchange/data/parseresult.h"
#include "interchange/data/reference.h"

#include <QString>
#include <QStringView>

namespace quirelle::interchange::ris {

ParseResult read(QStringView text);

// The record as RIS lines (CR LF ends), ending in `ER  - `.
QString write(const Reference& reference);

} // namespace quirelle::interchange::ris
