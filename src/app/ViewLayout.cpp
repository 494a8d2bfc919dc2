#include "app/ViewLayout.h"

#include <algorithm>

namespace norvane {

QPoint StartPicturePosition(QSize client, QSize picture)
{
    // Integer division truncates toward zero, as the layout wants.
    const int x = (client.width() - picture.width()) / 2;
    const int y = (client.height() - picture.height()) / 2;
    return QPoint(std::max(0, x), std::max(0, y));
}

ResultLayout ComputeResultLayout(QSize client, QSize schematic, int componentCount, int inputCount,
                                 int operationCount, int noteCount)
{
    const int w = schematic.width();
    const int h = schematic.height();
    const int x0 = std::max(ViewSchematicMinLeft, (client.width() - w) / 2);
    const int y0 = std::max(ViewSchematicMinTop + ViewLinePitch * noteCount,
                            (client.height() - (h + ViewCaptionGap)) / 2 + ViewCaptionGap);

    ResultLayout layout;
    layout.m_Schematic = QPoint(x0, y0);
    layout.m_Title = QPoint(ViewLeftMargin, ViewTitleTop);
    for (int i = 0; i < noteCount; ++i) {
        layout.m_Notes.emplace_back(ViewLeftMargin, ViewTitleTop + ViewLinePitch * (i + 1));
    }
    layout.m_ResultCaption = QPoint(x0, y0 - ViewCaptionGap);
    for (int i = 0; i < componentCount; ++i) {
        layout.m_Components.emplace_back(x0 + w + ViewComponentGap, y0 + ViewLinePitch * i);
    }
    layout.m_InputCaption = QPoint(ViewLeftMargin, y0 - ViewCaptionGap);
    for (int i = 0; i < inputCount; ++i) {
        layout.m_Inputs.emplace_back(ViewLeftMargin, y0 + ViewLinePitch * i);
    }
    const int y1 = y0 + ViewLinePitch * (inputCount + 2);
    layout.m_OperationCaption = QPoint(ViewLeftMargin, y1);
    for (int i = 0; i < operationCount; ++i) {
        layout.m_Operations.emplace_back(ViewLeftMargin, y1 + ViewCaptionGap + ViewLinePitch * i);
    }
    return layout;
}

} // namespace norvane
