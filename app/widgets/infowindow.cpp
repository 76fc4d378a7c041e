#include "widgets/infowindow.h"
#include "ui_infowindow.h"

#include "settings/common.h"
#include "settings/settings.h"

namespace {

// The profilometer version for device types 2 and 3, the contour version for
// every other type.
QString versionText(int deviceType)
{
    return QStringLiteral("Версия: ")
        + (Common::isProfileDevice(deviceType) ? Common::kProfilometerVersion : Common::kContourVersion);
}

} // namespace

InfoWindow::InfoWindow(QWidget *parent)
    : QDialog(parent)
    , ui(std::make_unique<Ui::InfoWindow>())
{
    setupContent();
}

InfoWindow::~InfoWindow() = default;

void InfoWindow::setupContent()
{
    ui->setupUi(this);
    setFixedSize(300, 200);
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    setModal(true);
    ui->versionLabel->setText(versionText(Settings::instance().device_type));
    connect(ui->closeButton, &QPushButton::clicked, this, &QDialog::accept);
}
