// The keyword editor: the project's keywords with their definitions, and the boxes to add one.
#pragma once

#include "editors/grideditor.h"

namespace quirelle {

class frmAddKeyword final : public GridEditor, public SingleInstance<frmAddKeyword>
{
    Q_OBJECT

public:
    frmAddKeyword();
};

} // namespace quirelle
