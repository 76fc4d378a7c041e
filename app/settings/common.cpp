#include "settings/common.h"

namespace {

QPen makePen(Qt::GlobalColor color, int width, Qt::PenStyle style = Qt::SolidLine)
{
    return QPen(QBrush(color, Qt::SolidPattern), width, style, Qt::SquareCap, Qt::BevelJoin);
}

} // namespace

namespace Common {

const QString kUnknownText = QStringLiteral("неизвестно");
const QString kConfirmQuestion = QStringLiteral("Вы уверены?");
const QString kOrganizationName = QStringLiteral("Ортана");
const QString kProductName = QStringLiteral("Профилометр модели Vantor");
const QString kContourVersion = QStringLiteral("2.0.3");
const QString kProfilometerVersion = QStringLiteral("10.0.0");

const QFont kMonospaceFont(QStringLiteral("Monospace"), -1, -1, false);

const QPen kBlackPen = makePen(Qt::black, 0);
const QPen kDarkGreenPen = makePen(Qt::darkGreen, 1);
const QPen kGreenPen = makePen(Qt::green, 0);
const QPen kRedPen = makePen(Qt::red, 2);
const QPen kMagentaDashPen = makePen(Qt::magenta, 1, Qt::DashLine);
const QPen kBluePen = makePen(Qt::blue, 2);

const QVector<double> kCutOffLengths = {8000, 2500, 800, 250, 80};

int validCutOffIndex(int index)
{
    return (index >= 0 && index < kCutOffLengths.size()) ? index : 1;
}

double cutOffLength(int index)
{
    return kCutOffLengths.at(validCutOffIndex(index));
}

bool isProfileDevice(int deviceType)
{
    return deviceType == 2 || deviceType == 3;
}

} // namespace Common

const QVector<double> kTraceSpeedValues = { 0.25, 0.5, 1.0, 2.0 };

const QMap<int, QString> kParamIndexNames = [] {
    const char *const names[] = {
        "Ra", "Rmax", "Rp", "Rv", "Rz", "R3z", "Rz10", "Rc", "Rt", "Rq",
        "Rsk", "Rku", "RSm", "Rm", "RΔq(Δq)", "RΔa(Δa)", "S", "D", "Dp", "L0",
        "l0", "λq", "λa", "ηp", "tp", "Rk", "Rpk", "Rvk", "Mr1(tp1)", "Mr2(tp2)",
        "Wa", "Wmax", "Wp", "Wv", "Wz", "Wc", "Wt", "Wq", "Wsk", "Wku",
        "WSm", "WΔq", "WΔa", "Pa", "Pmax", "Pp", "Pv", "Pz", "Pc", "Pt",
        "Pq", "Psk", "Pku", "PSm", "PΔq", "PΔa"};
    QMap<int, QString> map;
    int index = 0;
    for (const char *name : names)
        map.insert(index++, QString::fromUtf8(name));
    return map;
}();

const QString kDefaultGraphColor = QStringLiteral("#0048ba");
const QString kDefaultSelectedGraphColor = QStringLiteral("#ff0000");
const QString kDefaultVisualObjectsColor = QStringLiteral("#9b870c");
