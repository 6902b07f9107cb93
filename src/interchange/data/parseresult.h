// What a reader makes of a file: the references it read, the entries it could not read, and
// what it read with a doubt worth telling the user.
#pragma once

#include "interchange/data/reference.h"

#include <QString>

#include <vector>

namespace quirelle::interchange {

// An entry that could not be read, or a doubt about one that was, with the line the entry
// starts on and why.
struct ParseProblem
{
    int line = 0;
    QString key;
    QString reason;
};

struct ParseResult
{
    std::vector<Reference> references;
    std::vector<ParseProblem> problems; // entries not read
    std::vector<ParseProblem> warnings; // entries read, though not quite as written
};

} // namespace quirelle::interchange
