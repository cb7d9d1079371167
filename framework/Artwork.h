#pragma once
// The program's own pictures, compiled in as resources (drawn by framework/artwork/MakeArtwork.cpp):
// "Vorland.png" (application icon), "AboutBrand.jpg", "AboutBanner.jpg", "WizardSide.jpg",
// "MenuBar.png", and the icon at the icon theme's sizes ("icons/vorland-N.png").

#include <QIcon>
#include <QImage>
#include <QString>

// The resource path of a picture, e.g. ArtworkPath("WizardSide.jpg"); makes the resources available.
QString ArtworkPath(const QString& name);
// The decoded picture (JPEG through the picture layer); empty when the name is unknown.
QImage ArtworkImage(const QString& name);
// The application icon with every size drawn for it, for windows.
QIcon ApplicationIcon();
