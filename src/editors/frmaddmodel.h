// The model editor: the project's models with their details, and the boxes to add one.
#pragma once

#include "editors/grideditor.h"

namespace quirelle {

class frmAddModel final : public GridEditor, public SingleInstance<frmAddModel>
{
    Q_OBJECT

public:
    frmAddModel();
};

} // namespace quirelle
