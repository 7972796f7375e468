#include "CanvasToolbox.h"

#include "CanvasTool.h"

CanvasToolbox::CanvasToolbox(QObject *parent) : QObject(parent) {}

void CanvasToolbox::addSection(const QList<CanvasTool *> &tools)
{
    if (tools.isEmpty())
        return;
    for (CanvasTool *tool : tools)
        tool->setParent(this);
    m_sections.append(tools);
    emit toolsChanged();
    if (!m_active)
        setActiveTool(tools.first());
}

QList<QList<CanvasTool *>> CanvasToolbox::sections() const
{
    return m_sections;
}

QList<CanvasTool *> CanvasToolbox::tools() const
{
    QList<CanvasTool *> all;
    for (const QList<CanvasTool *> &section : m_sections)
        all += section;
    return all;
}

CanvasTool *CanvasToolbox::tool(const QString &toolId) const
{
    for (const QList<CanvasTool *> &section : m_sections) {
        for (CanvasTool *tool : section) {
            if (tool->toolId() == toolId)
                return tool;
        }
    }
    return nullptr;
}

void CanvasToolbox::setActiveTool(CanvasTool *tool)
{
    if (!tool || tool == m_active || !tools().contains(tool))
        return;
    CanvasTool *previous = m_active;
    m_active = tool;
    emit activeToolChanged(tool, previous);
}
