#include "CutoutToolSection.h"

#include "CutoutAddTool.h"
#include "CutoutBrushTool.h"
#include "CutoutDropTool.h"

QList<CanvasTool *> CutoutToolSection::make(const CutoutTarget &target)
{
    return {new CutoutDropTool(target), new CutoutAddTool(target),
            new CutoutBrushTool(CutoutBrushTool::Mode::Erase, target),
            new CutoutBrushTool(CutoutBrushTool::Mode::Restore, target)};
}
