#include "ui/WizardPicture.h"

#include <QFile>

static void InitEditorPictures()
{
    Q_INIT_RESOURCE(editor_pictures);
}

QImage WizardPicture()
{
    InitEditorPictures();
    QFile file(QStringLiteral(":/vorland/wizard.jpg"));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QImage::fromData(file.readAll(), "JPEG");
}
