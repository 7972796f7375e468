#include "CanvasToolSegments.h"

#include "CanvasTool.h"
#include "CanvasToolbox.h"

#include <QButtonGroup>
#include <QHBoxLayout>
#include <QToolButton>

namespace {
constexpr int sectionSpacing = 8;
} // namespace

CanvasToolSegments::CanvasToolSegments(CanvasToolbox *toolbox, QWidget *parent)
    : CanvasToolSegments(toolbox, -1, Qt::Horizontal, parent)
{}

CanvasToolSegments::CanvasToolSegments(CanvasToolbox *toolbox, int section, Qt::Orientation orientation,
                                       QWidget *parent)
    : QWidget(parent), m_toolbox(toolbox), m_buttons(new QButtonGroup(this)), m_section(section)
{
    m_buttons->setExclusive(true);
    auto *row = new QBoxLayout(
        orientation == Qt::Horizontal ? QBoxLayout::LeftToRight : QBoxLayout::TopToBottom, this);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(0);
    connect(m_buttons, &QButtonGroup::idClicked, this, [this](int index) {
        const QList<CanvasTool *> tools = m_toolbox->tools();
        if (index >= 0 && index < tools.size())
            m_toolbox->setActiveTool(tools.at(index));
    });
    connect(m_toolbox, &CanvasToolbox::toolsChanged, this, &CanvasToolSegments::rebuild);
    connect(m_toolbox, &CanvasToolbox::activeToolChanged, this, &CanvasToolSegments::showActive);
    rebuild();
}

QToolButton *CanvasToolSegments::segment(const CanvasTool *tool) const
{
    const qsizetype index = m_toolbox->tools().indexOf(tool);
    return index >= 0 && index < m_segments.size() ? m_segments.at(index) : nullptr;
}

void CanvasToolSegments::rebuild()
{
    qDeleteAll(m_segments);
    m_segments.clear();
    auto *row = static_cast<QBoxLayout *>(layout());
    while (QLayoutItem *item = row->takeAt(0))
        delete item;

    int index = 0;
    const QList<QList<CanvasTool *>> sections = m_toolbox->sections();
    for (qsizetype number = 0; number < sections.size(); ++number) {
        const QList<CanvasTool *> &section = sections.at(number);
        if (m_section >= 0 && number != m_section) {
            for (qsizetype i = 0; i < section.size(); ++i, ++index)
                m_segments.append(nullptr);
            continue;
        }
        if (!row->isEmpty())
            row->addSpacing(sectionSpacing);
        for (CanvasTool *tool : section) {
            auto *button = new QToolButton(this);
            button->setCheckable(true);
            button->setIcon(tool->icon());
            button->setToolTip(tool->displayName());
            button->setAccessibleName(tool->displayName());
            m_buttons->addButton(button, index++);
            m_segments.append(button);
            row->addWidget(button);
        }
    }
    showActive();
}

void CanvasToolSegments::showActive()
{
    if (QToolButton *button = segment(m_toolbox->activeTool())) {
        button->setChecked(true);
    } else if (QAbstractButton *checked = m_buttons->checkedButton()) {
        // An exclusive group keeps one button checked: let go of it for a moment.
        m_buttons->setExclusive(false);
        checked->setChecked(false);
        m_buttons->setExclusive(true);
    }
}
