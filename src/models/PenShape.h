#pragma once

#include "models/FreehandShape.h"

// A freehand stroke in its colour and line width.
class PenShape : public FreehandShape
{
public:
    QString kind() const override { return QStringLiteral("pen"); }
    QString displayName() const override;
    QString systemImage() const override { return QStringLiteral("pencil.tip"); }
};
