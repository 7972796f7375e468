#include "ImageFormatCommand.h"

ImageFormatCommand::ImageFormatCommand(CaptureDocument *document, ImageFormat before, ImageFormat after)
    : DocumentCommand(document, tr("choix du format"), tr("le choix du format"))
    , m_before(before)
    , m_after(after)
{}
