#include "SelectedFilterCommand.h"

SelectedFilterCommand::SelectedFilterCommand(CaptureDocument *document, FilterStyle before, FilterStyle after)
    : DocumentCommand(document, tr("choix du style"), tr("le choix du style"))
    , m_before(before)
    , m_after(after)
{}
