// The author editor: the project's authors in surname order, and the boxes to add one.
#pragma once

#include "editors/grideditor.h"

namespace quirelle {

class frmAddAuthor final : public GridEditor, public SingleInstance<frmAddAuthor>
{
    Q_OBJECT

public:
    frmAddAuthor();
};

} // namespace quirelle
