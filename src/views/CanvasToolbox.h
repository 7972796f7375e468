#pragma once

#include "CanvasTool.h"

#include <QList>
#include <QObject>
#include <QPointer>

// The tools a canvas offers, in sections (the annotation tools, the cut-out corrections), and which
// one is active. Canvases route their gestures to the active tool; a tool picker shows one segment per
// tool. Several canvases may share one toolbox, so that the small preview and the large editing view
// always have the same tool in hand.
class CanvasToolbox : public QObject
{
    Q_OBJECT

public:
    explicit CanvasToolbox(QObject *parent = nullptr);

    // Adds a section of tools after the others; the toolbox takes ownership of the tools. The first
    // tool added becomes the active one.
    void addSection(const QList<CanvasTool *> &tools);
    QList<QList<CanvasTool *>> sections() const;
    QList<CanvasTool *> tools() const;
    // The tool with that identifier, or null.
    CanvasTool *tool(const QString &toolId) const;

    CanvasTool *activeTool() const { return m_active; }
    // Makes `tool` (one of the toolbox's) the active one; ignores any other.
    void setActiveTool(CanvasTool *tool);
    void setActiveTool(const QString &toolId) { setActiveTool(tool(toolId)); }

signals:
    // The active tool is now `tool`; `previous` was active before (either may be null).
    void activeToolChanged(CanvasTool *tool, CanvasTool *previous);
    void toolsChanged();

private:
    QList<QList<CanvasTool *>> m_sections;
    QPointer<CanvasTool> m_active;
};
