#pragma once

#include "CutoutTarget.h"

#include <QList>

class CanvasTool;

// The cut-out correction tools of the preview canvas, in picker order: "Retirer un sujet",
// "Ajouter un sujet", "Effacer", "Restaurer".
namespace CutoutToolSection {

QList<CanvasTool *> make(const CutoutTarget &target);

} // namespace CutoutToolSection
