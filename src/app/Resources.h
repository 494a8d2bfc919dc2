#pragma once

// The pictures and icons compiled into the program.

#include <QIcon>
#include <QString>

#include <cstdint>

namespace norvane {

// Registers the compiled-in resources; safe to call more than once.
void InitResources();

// ":/images/schematic-<id>.png".
QString SchematicPicturePath(std::uint16_t schematicId);

// The program's icon in all the sizes it comes in.
QIcon ApplicationIcon();

inline const QString StartPicturePath = QStringLiteral(":/images/start.png");

} // namespace norvane
