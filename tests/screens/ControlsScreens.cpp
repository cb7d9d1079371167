// Galleries of the custom controls in each of their states: the flat button (normal, hovered,
// pressed, disabled, checked), the labels and link label, the styled menu with its side bar.
#include "ScreenRegistry.h"

#include "controls/StyledMenu.h"
#include "controls/vk_Button.h"
#include "controls/vk_Component.h"

#include <QActionGroup>
#include <QApplication>
#include <QGridLayout>
#include <QLabel>
#include <QPainter>
#include <QStyle>

namespace {

// A glyph strip of four 16-pixel cells drawn here: up (a blue disc), disabled (gray), down (the
// disc moved), exclusive (a gold disc). Magenta is the transparent colour of its bottom-left pixel.
QPixmap demoGlyph()
{
    QPixmap strip(64, 16);
    strip.fill(Qt::magenta);
    QPainter p(&strip);
    p.setRenderHint(QPainter::Antialiasing, false);
    const QColor fills[4] = {QColor(40, 90, 200), QColor(150, 150, 150), QColor(20, 60, 160), QColor(220, 170, 20)};
    for (int i = 0; i < 4; ++i) {
        p.setPen(fills[i].darker(150));
        p.setBrush(fills[i]);
        p.drawEllipse(QRect(i * 16 + 2, 2, 11, 11));
        p.fillRect(QRect(i * 16 + 6, 6, 4, 4), Qt::white);
    }
    return strip;
}

enum State
{
    Normal,
    Hovered,
    Pressed,
    Disabled,
    Checked
};

void applyState(TvkButton* b, State s)
{
    switch (s) {
    case Normal:
        break;
    case Hovered:
        b->SetHot(true);
        break;
    case Pressed:
        b->SetHot(true);
        b->setDown(true);
        break;
    case Disabled:
        b->setEnabled(false);
        break;
    case Checked:
        b->setCheckable(true);
        b->setChecked(true);
        break;
    }
}

QWidget* gallery(TScreenContext& ctx, const QStringList& rows,
                 const std::function<QWidget*(int row, State state, QWidget* parent)>& make)
{
    auto* page = new QWidget;
    page->setAutoFillBackground(true);
    auto* grid = new QGridLayout(page);
    grid->setHorizontalSpacing(12);
    grid->setVerticalSpacing(8);
    const QString headers[5] = {ctx.Tr("Normal", "Normal"), ctx.Tr("Hovered", "Survolé"), ctx.Tr("Pressed", "Enfoncé"),
                                ctx.Tr("Disabled", "Désactivé"), ctx.Tr("Checked", "Coché")};
    for (int c = 0; c < 5; ++c)
        grid->addWidget(new QLabel(headers[c], page), 0, c + 1, Qt::AlignCenter);
    for (int r = 0; r < rows.size(); ++r) {
        grid->addWidget(new QLabel(rows[r], page), r + 1, 0);
        for (int c = 0; c < 5; ++c) {
            if (QWidget* w = make(r, static_cast<State>(c), page))
                grid->addWidget(w, r + 1, c + 1, Qt::AlignCenter);
        }
    }
    page->adjustSize();
    return page;
}

} // namespace

VORLAND_SCREEN(controls_button)
{
    const QPixmap glyph = demoGlyph();
    const QStringList rows{ctx.Tr("Single frame", "Cadre simple"),      ctx.Tr("Flat", "Plat"),
                           ctx.Tr("Raised, glyph", "En relief, image"), ctx.Tr("Toolbar glyph", "Image de barre"),
                           ctx.Tr("Glyph on top", "Image en haut"),     ctx.Tr("Shadowed text", "Texte ombré")};
    QWidget* page = gallery(ctx, rows, [&](int row, State state, QWidget* parent) -> QWidget* {
        auto* b = new TvkButton(parent);
        b->setFixedSize(90, 27);
        switch (row) {
        case 0:
            b->SetCaption(ctx.Tr("&OK", "&OK"));
            break;
        case 1:
            b->SetCaption(ctx.Tr("&Cancel", "&Annuler"));
            b->SetBorderMode(TvkButton::bmFlat);
            break;
        case 2:
            b->SetCaption(ctx.Tr("&Open", "&Ouvrir"));
            b->SetGlyph(glyph);
            b->SetNumGlyphs(4);
            b->SetGlyphSpace(4);
            b->SetBorderMode(TvkButton::bmRaised);
            b->SetBevelWidth(2);
            break;
        case 3:
            b->SetGlyph(glyph);
            b->SetNumGlyphs(4);
            b->SetLayout(TvkButton::lyCenter);
            b->SetFlat(true);
            b->SetHint(ctx.Tr("Open a batch file", "Ouvrir un fichier batch"));
            b->setFixedSize(26, 26);
            break;
        case 4:
            b->SetCaption(ctx.Tr("Zip it", "Zipper"));
            b->SetGlyph(glyph);
            b->SetNumGlyphs(4);
            b->SetLayout(TvkButton::lyTop);
            b->SetGlyphSpace(2);
            b->SetFlat(true);
            b->setFixedSize(70, 44);
            break;
        case 5:
            b->SetCaption(ctx.Tr("&Abort", "&Interrompre"));
            b->SetTextStyle(TvkButton::txShadowed);
            break;
        default:
            break;
        }
        applyState(b, state);
        return b;
    });
    ctx.Save(QStringLiteral("states"), page);
    delete page;
}

VORLAND_SCREEN(controls_label)
{
    auto* page = new QWidget;
    page->setAutoFillBackground(true);
    auto* grid = new QGridLayout(page);
    grid->setHorizontalSpacing(16);
    grid->setVerticalSpacing(10);
    int row = 0;
    auto add = [&](const QString& what, QWidget* w) {
        grid->addWidget(new QLabel(what, page), row, 0);
        grid->addWidget(w, row, 1, Qt::AlignLeft | Qt::AlignVCenter);
        ++row;
    };
    QFont big = QApplication::font();
    big.setPixelSize(20);

    auto* plain = new TvkLabel(ctx.Tr("&Plain label", "&Étiquette simple"), page);
    add(ctx.Tr("Normal", "Normal"), plain);

    auto* shadow = new TvkLabel(ctx.Tr("Vorland", "Vorland"), page);
    shadow->setFont(big);
    shadow->SetOptions(TvkLabel::loShadow);
    shadow->SetShadowX(3);
    shadow->SetShadowY(3);
    add(ctx.Tr("Shadow", "Ombre"), shadow);

    auto* disabled = new TvkLabel(ctx.Tr("Vorland", "Vorland"), page);
    disabled->setFont(big);
    disabled->SetOptions(TvkLabel::loShadow);
    disabled->setEnabled(false);
    add(ctx.Tr("Disabled, shadow set", "Désactivée, avec ombre"), disabled);

    auto* heavy = new TvkLabel(ctx.Tr("Weight 9", "Graisse 9"), page);
    heavy->SetWeight(9);
    add(ctx.Tr("Weight", "Graisse"), heavy);

    auto* sunken = new TvkLabel(QStringLiteral("/home/user/backup/archive.zip"), page);
    sunken->SetAutoSize(false);
    sunken->SetBorderStyle(TvkLabel::lbsSunken);
    sunken->SetBorderWidth(1);
    sunken->SetLayout(TvkLabel::tlCenter);
    sunken->setFixedSize(240, 21);
    add(ctx.Tr("Sunken border", "Bordure en creux"), sunken);

    auto* raised = new TvkLabel(ctx.Tr("Centred", "Centré"), page);
    raised->SetAutoSize(false);
    raised->SetBorderStyle(TvkLabel::lbsRaise);
    raised->SetBorderWidth(2);
    raised->SetAlignment(TvkLabel::taCenter);
    raised->SetLayout(TvkLabel::tlCenter);
    raised->setFixedSize(120, 26);
    add(ctx.Tr("Raised border", "Bordure en relief"), raised);

    auto* turned = new TvkLabel(ctx.Tr("Rotated 90", "Tourné 90"), page);
    turned->SetAutoSize(false);
    turned->SetRotation(90);
    turned->SetLayout(TvkLabel::tlBottom);
    turned->setFixedSize(24, 90);
    add(ctx.Tr("Rotation 90", "Rotation 90"), turned);

    auto* slanted = new TvkLabel(ctx.Tr("Rotated 30", "Tourné 30"), page);
    slanted->SetAutoSize(false);
    slanted->SetRotation(30);
    slanted->SetAlignment(TvkLabel::taCenter);
    slanted->SetLayout(TvkLabel::tlCenter);
    slanted->setFixedSize(120, 60);
    add(ctx.Tr("Rotation 30", "Rotation 30"), slanted);

    auto* link = new TvkLabelLink(QStringLiteral("www.example.org"), page);
    link->SetLinkKind(TvkLabelLink::lkHttp);
    add(ctx.Tr("Link", "Lien"), link);

    auto* hovered = new TvkLabelLink(QStringLiteral("info@example.org"), page);
    hovered->SetLinkKind(TvkLabelLink::lkMailTo);
    hovered->SetMouseOver(true);
    add(ctx.Tr("Link, hovered", "Lien survolé"), hovered);

    auto* focused = new TvkLabelLink(QStringLiteral("www.example.org"), page);
    add(ctx.Tr("Link, focused", "Lien avec le focus"), focused);

    auto* offLink = new TvkLabelLink(QStringLiteral("www.example.org"), page);
    offLink->setEnabled(false);
    add(ctx.Tr("Link, disabled", "Lien désactivé"), offLink);

    page->adjustSize();
    page->show();
    focused->setFocus();
    ctx.Save(QStringLiteral("states"), page);
    delete page;
}

VORLAND_SCREEN(controls_menu)
{
    QStyle* style = QApplication::style();
    TvkStyledMenu menu;
    menu.SetBarCaption(QStringLiteral("V o r l a n d"));
    QFont barFont = QApplication::font();
    barFont.setBold(true);
    barFont.setPixelSize(19);
    menu.SetBarFont(barFont);
    menu.SetBarWidth(0);
    menu.addAction(style->standardIcon(QStyle::SP_MessageBoxInformation), ctx.Tr("&About", "À &propos"));
    menu.addAction(style->standardIcon(QStyle::SP_DialogHelpButton), ctx.Tr("Online &Help", "&Aide en ligne"));
    QMenu* languages = menu.addMenu(ctx.Tr("&Languages", "&Langues"));
    auto* group = new QActionGroup(languages);
    for (const char* name : {"English", "Français", "Deutsch"}) {
        QAction* a = languages->addAction(QString::fromUtf8(name));
        a->setCheckable(true);
        group->addAction(a);
    }
    group->actions().at(ctx.French() ? 1 : 0)->setChecked(true);
    languages->addSeparator();
    languages->addAction(ctx.Tr("Edit the language", "Modifier la langue"));
    QAction* newLanguage = languages->addAction(ctx.Tr("Add a new language", "Ajouter une langue"));
    newLanguage->setEnabled(false);
    menu.addSeparator();
    QAction* wrap = menu.addAction(ctx.Tr("&Wrap lines", "&Renvoi à la ligne"));
    wrap->setCheckable(true);
    wrap->setChecked(true);
    QAction* saveAs = menu.addAction(ctx.Tr("Save &as...", "Enregistrer &sous..."));
    saveAs->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S));
    saveAs->setShortcutVisibleInContextMenu(true);
    QAction* disabled = menu.addAction(ctx.Tr("Zip &section", "Zipper la &section"));
    disabled->setEnabled(false);
    menu.addSeparator();
    menu.addAction(style->standardIcon(QStyle::SP_DialogCloseButton), ctx.Tr("&Close", "&Fermer"));

    menu.popup(QPoint(20, 20));
    ctx.Save(QStringLiteral("normal"), &menu);
    menu.setActiveAction(menu.actions().at(1));
    ctx.Save(QStringLiteral("hovered-icon"), &menu);
    menu.setActiveAction(wrap);
    ctx.Save(QStringLiteral("hovered-checked"), &menu);
    menu.setActiveAction(disabled);
    ctx.Save(QStringLiteral("hovered-disabled"), &menu);
    menu.setActiveAction(nullptr);

    languages->popup(QPoint(200, 20));
    languages->setActiveAction(group->actions().at(2));
    ctx.Save(QStringLiteral("submenu"), languages);
    languages->hide();

    TvkStyledMenu flat;
    flat.SetFlatMenu(true);
    flat.SetGradient(true);
    flat.addAction(ctx.Tr("&New", "&Nouveau"));
    flat.addAction(ctx.Tr("&Open...", "&Ouvrir..."));
    flat.addSeparator();
    flat.addAction(ctx.Tr("&Save", "&Enregistrer"));
    flat.popup(QPoint(20, 20));
    flat.setActiveAction(flat.actions().at(1));
    ctx.Save(QStringLiteral("flat-gradient"), &flat);
    flat.hide();
    menu.hide();
}
