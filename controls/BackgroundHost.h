// What a child that paints its host's background under itself asks of the
// host: the background bitmap of the window behind it (null: nothing to
// copy).
#pragma once

#include "Gdi.h"

class CBackgroundHost {
public:
    virtual WTL::CBitmap* GetParentBackground() = 0;

protected:
    ~CBackgroundHost() = default;
};
