#pragma once

// Where the result view puts each part of a drawing; pure arithmetic over
// the client size, so that it can be checked without painting. Every text
// point is the top-left corner of the text's line box.

#include <QPoint>
#include <QSize>

#include <vector>

namespace norvane {

inline constexpr int ViewLeftMargin = 10;
inline constexpr int ViewTitleTop = 15;
inline constexpr int ViewLinePitch = 20;
inline constexpr int ViewCaptionGap = 30;
inline constexpr int ViewSchematicMinLeft = 150;
inline constexpr int ViewSchematicMinTop = 75;
inline constexpr int ViewComponentGap = 20;

struct ResultLayout {
    QPoint m_Schematic;          // top-left corner of the schematic
    QPoint m_Title;              // "Transistor amplifier, type: ..."
    std::vector<QPoint> m_Notes; // one line each, below the title
    QPoint m_ResultCaption;      // "Result:"
    std::vector<QPoint> m_Components;
    QPoint m_InputCaption; // "Input data:"
    std::vector<QPoint> m_Inputs;
    QPoint m_OperationCaption; // "Operation point:"
    std::vector<QPoint> m_Operations;
};

// The start picture centred in the client area, never left of or above
// its top-left corner.
QPoint StartPicturePosition(QSize client, QSize picture);

// Every note line moves the rest of the result down by a line where the
// window is too small to keep the captions clear of them.
ResultLayout ComputeResultLayout(QSize client, QSize schematic, int componentCount, int inputCount,
                                 int operationCount, int noteCount = 0);

} // namespace norvane
