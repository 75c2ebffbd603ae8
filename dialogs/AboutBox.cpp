#include "AboutBox.h"

#include "format/Release.h"

#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QUrl>

TAboutBox::TAboutBox(Launcher& launcher, const QPixmap& icon, QWidget* parent) : QDialog(parent) {
    setWindowTitle(aboutmsg::kCaption);
    setModal(true);
    auto* grid = new QGridLayout(this);
    auto* picture = new QLabel(this);
    picture->setObjectName(QStringLiteral("ProgramIcon"));
    picture->setPixmap(icon);
    auto* product = new QLabel(aboutmsg::kProduct, this);
    product->setObjectName(QStringLiteral("ProductName"));
    QFont big = product->font();
    big.setPointSizeF(big.pointSizeF() * 1.6);
    big.setBold(true);
    product->setFont(big);
    m_version = new QLabel(this);
    m_version->setObjectName(QStringLiteral("Version"));
    auto* purpose = new QLabel(aboutmsg::kPurpose, this);
    purpose->setObjectName(QStringLiteral("Comments"));
    auto link = [this, &launcher](const QString& address, const QString& text, const char* name) {
        auto* label =
            new QLabel(QStringLiteral("<a href=\"%1\">%2</a>").arg(address, text.toHtmlEscaped()), this);
        label->setObjectName(QLatin1String(name));
        label->setTextInteractionFlags(Qt::LinksAccessibleByMouse | Qt::LinksAccessibleByKeyboard);
        connect(label, &QLabel::linkActivated, this,
                [&launcher](const QString& url) { launcher.openUrl(QUrl(url)); });
        return label;
    };
    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    grid->addWidget(picture, 0, 0, 4, 1, Qt::AlignTop);
    grid->addWidget(product, 0, 1);
    grid->addWidget(m_version, 1, 1);
    grid->addWidget(purpose, 2, 1);
    grid->addWidget(link(aboutmsg::kWebPage, QStringLiteral("www.orvane.com/dizirovi"), "WebLink"), 3, 1);
    grid->addWidget(link(aboutmsg::kSupportMail, QStringLiteral("support@orvane.com"), "MailLink"), 4, 1);
    grid->addWidget(ok, 5, 0, 1, 2, Qt::AlignHCenter);
    setFixedSize(sizeHint());
}

void TAboutBox::showEvent(QShowEvent* event) {
    m_version->setText(QStringLiteral("Version ") + QLatin1String(release::kVersion) + ' ');
    QDialog::showEvent(event);
}
