#pragma once
// The program's own pictures, compiled in as resources (drawn by framework/artwork/MakeArtwork.cpp):
// "Vorland.png" (application icon), "AboutBrand.jpg", "AboutBanner.jpg", "WizardSide.jpg",
// "MenuBar.png".

#include <QImage>
#include <QString>

// The resource path of a picture, e.g. ArtworkPath("WizardSide.jpg"); makes the resources available.
QString ArtworkPath(const QString& name);
// The decoded picture (JPEG through the picture layer); empty when the name is unknown.
QImage ArtworkImage(const QString& name);
