#include "app/form_about.h"

#include "common/kw_common.h"
#include "controls/kw_img_panel.h"
#include "controls/kw_line_panel.h"
#include "skin/artwork.h"

#include <QLabel>
#include <QMouseEvent>

QString TFormAbout::HomePage() {
    return QStringLiteral("https://framecatch.example.org/");
}

TFormAbout::TFormAbout(QWidget* owner) : QDialog(owner, Qt::FramelessWindowHint | Qt::Dialog) {
    setObjectName(QStringLiteral("FormAbout"));
    setWindowTitle(QStringLiteral("About Framecatch"));
    setFixedSize(396, 233);
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, Qt::white);
    setPalette(pal);
    setFont(kw::Tahoma(8));

    panel_help = new TKWImgPanel(this);
    panel_help->setObjectName(QStringLiteral("panel_help"));
    panel_help->setGeometry(1, 1, 394, 160);
    panel_help->SetPicture(ArtAboutPicture());
    panel_help->SetDrawStyle(TKWDrawStyle::suiStretch);

    panel_main = new TKWLinePanel(this);
    panel_main->setObjectName(QStringLiteral("panel_main"));
    panel_main->setGeometry(1, 161, 394, 71);
    panel_main->SetColor(Qt::white);
    // The box is white: its labels are dark, whatever the skin gives labels elsewhere.
    panel_main->setStyleSheet(
        QStringLiteral("QLabel { color: #333333; background: transparent; }"));

    auto* homeLabel = new QLabel(QStringLiteral("Homepage:"), panel_main);
    homeLabel->move(16, 10);
    lb_homepage = new QLabel(panel_main);
    lb_homepage->setObjectName(QStringLiteral("lb_homepage"));
    lb_homepage->setText(
        QStringLiteral("<a href=\"%1\" style=\"color:#0000FF; text-decoration:none\">%1</a>")
            .arg(HomePage()));
    lb_homepage->setFont(kw::Tahoma(8, true));
    lb_homepage->setTextInteractionFlags(Qt::LinksAccessibleByMouse);
    lb_homepage->setCursor(Qt::PointingHandCursor);
    connect(lb_homepage, &QLabel::linkActivated, this,
            kw::Guard([this](const QString& link) { kw::OpenWithShell(this, link); }));
    lb_homepage->move(80, 10);

    auto* contactLabel = new QLabel(QStringLiteral("Contact:"), panel_main);
    contactLabel->move(16, 28);
    lb_contact = new QLabel(QStringLiteral("support@framecatch.example.org"), panel_main);
    lb_contact->setObjectName(QStringLiteral("lb_contact"));
    lb_contact->move(80, 28);

    auto* notice =
        new QLabel(QStringLiteral("Grab, edit and export the frames of your videos."), panel_main);
    notice->setFont(kw::Tahoma(7));
    notice->setStyleSheet(QStringLiteral("color: #707070;"));
    notice->move(16, 50);

    lb_version = new QLabel(panel_main);
    lb_version->setObjectName(QStringLiteral("lb_version"));
    lb_version->setFont(kw::Tahoma(7));
    lb_version->setStyleSheet(QStringLiteral("color: #707070;"));
    lb_version->setGeometry(284, 50, 100, 14);
    lb_version->setAlignment(Qt::AlignRight | Qt::AlignVCenter);

    // A click on either part closes the box.
    connect(panel_help, &TKWImgPanel::Clicked, this, kw::Guard([this] { close(); }));
    connect(panel_main, &TKWLinePanel::Clicked, this, kw::Guard([this] { close(); }));
}

void TFormAbout::showEvent(QShowEvent* event) {
    lb_version->setText(QStringLiteral("Version:  ") + QStringLiteral(FC_VERSION));
    QDialog::showEvent(event);
}
