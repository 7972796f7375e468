#include "CanvasToolSegments.h"

#include "CanvasTool.h"
#include "CanvasToolbox.h"

#include <QButtonGroup>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QToolButton>

namespace {
constexpr int sectionSpacing = 8;
// A row of more segments than this takes two lines, so that a narrow panel keeps every one.
constexpr int segmentsPerRow = 6;
} // namespace

CanvasToolSegments::CanvasToolSegments(CanvasToolbox *toolbox, QWidget *parent)
    : CanvasToolSegments(toolbox, -1, Qt::Horizontal, parent)
{}

CanvasToolSegments::CanvasToolSegments(CanvasToolbox *toolbox, int section, Qt::Orientation orientation,
                                       QWidget *parent)
    : QWidget(parent)
    , m_toolbox(toolbox)
    , m_buttons(new QButtonGroup(this))
    , m_section(section)
    , m_orientation(orientation)
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
        const qsizetype lines = m_orientation == Qt::Horizontal && section.size() > segmentsPerRow ? 2 : 1;
        const qsizetype perLine = (section.size() + lines - 1) / lines;
        auto *grid = new QGridLayout;
        grid->setSpacing(0);
        row->addLayout(grid);
        qsizetype place = 0;
        for (CanvasTool *tool : section) {
            auto *button = new QToolButton(this);
            button->setCheckable(true);
            button->setIcon(tool->icon());
            button->setToolTip(tool->displayName());
            button->setAccessibleName(tool->displayName());
            m_buttons->addButton(button, index++);
            m_segments.append(button);
            if (m_orientation == Qt::Horizontal)
                grid->addWidget(button, int(place / perLine), int(place % perLine));
            else
                grid->addWidget(button, int(place), 0);
            ++place;
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
