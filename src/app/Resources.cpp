#include "app/Resources.h"

#include <QtGlobal>

// Outside any namespace, as the resource initialiser requires.
static void InitNorvaneResources()
{
    Q_INIT_RESOURCE(norvane);
}

namespace norvane {

void InitResources()
{
    static const bool done = [] {
        InitNorvaneResources();
        return true;
    }();
    (void)done;
}

QIcon ApplicationIcon()
{
    InitResources();
    QIcon icon;
    for (int size : {32, 48, 64, 256}) {
        icon.addFile(QStringLiteral(":/icons/norvane-%1.png").arg(size), QSize(size, size));
    }
    return icon;
}

QString SchematicPicturePath(std::uint16_t schematicId)
{
    return QStringLiteral(":/images/schematic-%1.png").arg(schematicId);
}

} // namespace norvane
