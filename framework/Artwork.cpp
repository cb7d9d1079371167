#include "framework/Artwork.h"

#include "framework/Picture.h"

#include <QDir>
#include <QtGlobal>

// Resources compiled into a static library are registered only when asked for by name.
static void registerArtwork()
{
    static const bool registered = [] {
        Q_INIT_RESOURCE(artwork);
        return true;
    }();
    (void)registered;
}

QString ArtworkPath(const QString& name)
{
    registerArtwork();
    return QStringLiteral(":/vorland/artwork/") + name;
}

QImage ArtworkImage(const QString& name)
{
    return LoadPicture(ArtworkPath(name));
}

QIcon ApplicationIcon()
{
    registerArtwork();
    QIcon icon;
    const QDir sizes(QStringLiteral(":/vorland/artwork/icons"));
    for (const QString& name : sizes.entryList({QStringLiteral("vorland-*.png")})) {
        icon.addFile(sizes.filePath(name));
    }
    return icon;
}
