#pragma once
// Help > About: the product, its version and the maker's addresses. Links go through the
// launcher like every address the program hands to the desktop.
#include "base/UserInteraction.h"

#include <QDialog>

class QLabel;

namespace aboutmsg {
inline const QString kCaption = QStringLiteral("About DizirOvi");
inline const QString kProduct = QStringLiteral("DizirOvi");
inline const QString kPurpose = QStringLiteral("A program for Slope Stability Analysis");
// The maker's addresses, in one place.
inline const QString kWebPage = QStringLiteral("https://www.orvane.com/dizirovi/");
inline const QString kSupportMail = QStringLiteral("mailto:support@orvane.com?subject=DizirOvi%202015");
inline const QString kUpdatePage = QStringLiteral("https://www.orvane.com/dizirovi/update.php?");
} // namespace aboutmsg

class TAboutBox : public QDialog {
    Q_OBJECT
public:
    TAboutBox(Launcher& launcher, const QPixmap& icon, QWidget* parent = nullptr);
    QLabel* version() const { return m_version; }

protected:
    void showEvent(QShowEvent* event) override;

private:
    QLabel* m_version;
};
