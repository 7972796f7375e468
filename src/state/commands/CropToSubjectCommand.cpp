#include "CropToSubjectCommand.h"

CropToSubjectCommand::CropToSubjectCommand(CaptureDocument *document, bool crop)
    : DocumentCommand(document, tr("recadrage sur le sujet"), tr("le recadrage sur le sujet")), m_crop(crop)
{}
