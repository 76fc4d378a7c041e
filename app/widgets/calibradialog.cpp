#include "widgets/calibradialog.h"

#include "settings/settings.h"

#include <QDebug>
#include <QDoubleSpinBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

CalibRaDialog::CalibRaDialog(QWidget *parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("CalibRaDialog"));
    setMinimumWidth(300);
    setWindowTitle(QStringLiteral("Калибровка"));
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(QStringLiteral("Введите эталонное Ra:"), this));

    auto *spinBox = new QDoubleSpinBox(this);
    spinBox->setObjectName(QStringLiteral("raSpinBox"));
    spinBox->setRange(0.001, 99.999);
    spinBox->setDecimals(3);
    spinBox->setSingleStep(0.001);
    spinBox->setSuffix(QStringLiteral(" мкм"));
    spinBox->setValue(Settings::instance().calibration_Ra_value);
    layout->addWidget(spinBox);

    auto *buttons = new QHBoxLayout;
    auto *acceptButton = new QPushButton(QStringLiteral("Принять"), this);
    acceptButton->setObjectName(QStringLiteral("acceptButton"));
    auto *cancelButton = new QPushButton(QStringLiteral("Отмена"), this);
    cancelButton->setObjectName(QStringLiteral("cancelButton"));
    buttons->addWidget(acceptButton);
    buttons->addWidget(cancelButton);
    layout->addLayout(buttons);

    auto onAcceptClicked = [this, spinBox] {
        qDebug() << "Эталонное Ra:" << spinBox->value();
        Settings &settings = Settings::instance();
        settings.calibration_Ra_value = spinBox->value();
        settings.save();
        accept();
    };
    auto onCancelClicked = [this] { reject(); };
    connect(acceptButton, &QPushButton::clicked, this, onAcceptClicked);
    connect(cancelButton, &QPushButton::clicked, this, onCancelClicked);
}
